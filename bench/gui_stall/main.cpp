// SPDX-License-Identifier: MIT
// How long the windows front-end's GUI thread ever stalls during a full default run (five bands,
// wizard accepted, no preset) on the simulated test set. A 2 ms timer beats on the GUI thread;
// every gap between beats from the moment the test form is shown until the run has ended is
// kept. The program reports the figures and whether the longest stays within 50 ms; it does not
// judge through its exit code.

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#define NOMINMAX
#include <windows.h>
#else
#include <time.h>
#endif

#include "app/command_line.h"
#include "app/front_end.h"
#include "app/launch.h"
#include "app/modMain.h"
#include "testrun/results_grid.h"
#include "ui/qt/frmDoTestWindow.h"
#include "ui/qt/windows_session.h"

namespace {

using namespace quillon;
using Clock = std::chrono::steady_clock;

constexpr int kBeatMs = 2;
constexpr double kTargetMs = 50.0;
constexpr double kPercentile = 0.99;
constexpr int kExitCannotMeasure = 1;
constexpr int kExitBadCommandLine = 2;

constexpr const char* kUsage =
    "usage: quillon_gui_stall_bench [--pause-scale X]\n"
    "  --pause-scale X  factor for every pause of the run (default 1: real pauses, about 26 s)\n"
    "Exit code 0 once the figures are printed, target met or not; 1 when the run could not be\n"
    "measured; 2 for a bad argument.\n";

// A run that has not ended by then is stuck (a modal window nobody answers, a hang).
int deadlineMs(double pauseScale) {
    return static_cast<int>(std::min(120000.0 + 60000.0 * pauseScale, 86400000.0));
}

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// CPU time the calling thread has used, in ms. Set against a gap's wall time it tells a GUI
// thread busy with the run's work from one that was merely not scheduled (a loaded machine).
double threadCpuMs() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0.0;
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e4;  // 100 ns ticks
#else
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return 0.0;
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
#endif
}

// Time the calling thread has spent ready to run but waiting for a CPU, in ms; NaN where the
// system does not say (only Linux does, in its scheduler statistics).
double threadWaitMs() {
    std::ifstream statistics("/proc/thread-self/schedstat");
    double runningNs = 0.0;
    double waitingNs = 0.0;
    if (!(statistics >> runningNs >> waitingNs)) return std::nan("");
    return waitingNs / 1e6;
}

// One stretch between heartbeats: when it began (ms after the start), how long it lasted, how
// much of it the GUI thread spent working and how much waiting for a CPU (NaN: unknown).
struct Gap {
    double atMs;
    double wallMs;
    double busyMs;
    double waitMs;
};

// The gaps between heartbeats from start() to stop(), counting the stretch from start() to the
// first beat and from the last beat to stop() as gaps too. Only ever called on the GUI thread.
class StallRecorder {
  public:
    void start() {
        if (started_) return;
        started_ = true;
        startedAt_ = last_ = Clock::now();
        lastCpuMs_ = threadCpuMs();
        lastWaitMs_ = threadWaitMs();
    }
    void beat() {
        if (!started_ || stopped_) return;
        ++beats_;
        noteGapUntil(Clock::now());
    }
    void stop() {
        if (!started_ || stopped_) return;
        stopped_ = true;
        stoppedAt_ = Clock::now();
        noteGapUntil(stoppedAt_);
    }

    bool started() const { return started_; }
    Clock::time_point startedAt() const { return startedAt_; }
    long beats() const { return beats_; }
    double spanMs() const { return millisecondsBetween(startedAt_, stoppedAt_); }
    Gap longest() const { return mostBy(&Gap::wallMs); }
    Gap busiest() const { return mostBy(&Gap::busyMs); }
    long countOver(double limitMs) const {
        return std::count_if(gaps_.begin(), gaps_.end(),
                             [limitMs](const Gap& gap) { return gap.wallMs > limitMs; });
    }
    // Nearest rank: the smallest gap that at least the given share of all gaps do not exceed.
    double percentileMs(double share) const {
        if (gaps_.empty()) return 0.0;
        std::vector<double> sorted;
        for (const Gap& gap : gaps_) sorted.push_back(gap.wallMs);
        std::sort(sorted.begin(), sorted.end());
        const auto rank =
            static_cast<std::size_t>(std::ceil(share * static_cast<double>(sorted.size())));
        return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
    }

  private:
    void noteGapUntil(Clock::time_point now) {
        const double cpuMs = threadCpuMs();
        const double waitMs = threadWaitMs();
        gaps_.push_back({millisecondsBetween(startedAt_, last_), millisecondsBetween(last_, now),
                         cpuMs - lastCpuMs_, waitMs - lastWaitMs_});
        last_ = now;
        lastCpuMs_ = cpuMs;
        lastWaitMs_ = waitMs;
    }
    Gap mostBy(double Gap::*figure) const {
        const auto most = std::max_element(
            gaps_.begin(), gaps_.end(),
            [figure](const Gap& a, const Gap& b) { return a.*figure < b.*figure; });
        return most == gaps_.end() ? Gap{0.0, 0.0, 0.0, 0.0} : *most;
    }

    bool started_ = false;
    bool stopped_ = false;
    long beats_ = 0;
    Clock::time_point startedAt_;
    Clock::time_point stoppedAt_;
    Clock::time_point last_;
    double lastCpuMs_ = 0.0;
    double lastWaitMs_ = 0.0;
    std::vector<Gap> gaps_;
};

// Starts the recorder when the watched window is first shown.
class ShowWatcher : public QObject {
  public:
    explicit ShowWatcher(StallRecorder& recorder) : recorder_(recorder) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) recorder_.start();
        return QObject::eventFilter(watched, event);
    }

  private:
    StallRecorder& recorder_;
};

// Where the program would fall back to the console for want of a display, the windows go to the
// offscreen platform; an explicit platform choice stands.
void chooseOffscreenWithoutDisplay() {
    if (app::wantsConsole(app::CommandLine{}, app::processEnvironment())) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

struct BenchOptions {
    double pauseScale = 1.0;
    bool help = false;
};

// The arguments Qt has left over; nullopt (after saying why) for anything not understood.
std::optional<BenchOptions> parseArguments(int argc, char** argv) {
    BenchOptions options;
    const std::string_view flag = "--pause-scale";
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        const char* value = nullptr;
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            continue;
        }
        if (argument == flag) {
            if (i + 1 == argc) {
                std::fprintf(stderr, "quillon_gui_stall_bench: --pause-scale needs a value\n");
                return std::nullopt;
            }
            value = argv[++i];
        } else if (argument.starts_with(std::string(flag) + "=")) {
            value = argv[i] + flag.size() + 1;
        } else {
            std::fprintf(stderr, "quillon_gui_stall_bench: unknown argument '%s'\n", argv[i]);
            return std::nullopt;
        }
        const std::optional<double> scale = app::pauseScale([value](const char*) { return value; });
        if (!scale) {
            std::fprintf(stderr,
                         "quillon_gui_stall_bench: --pause-scale wants a number of 0 or more, "
                         "not '%s'\n",
                         value);
            return std::nullopt;
        }
        options.pauseScale = *scale;
    }
    return options;
}

// "25.3 ms at 0.00 s: GUI thread busy 16.2 ms, waiting for a CPU 0.4 ms"
std::string describe(const Gap& gap) {
    char text[160];
    std::snprintf(text, sizeof text, "%.1f ms at %.2f s: GUI thread busy %.1f ms", gap.wallMs,
                  gap.atMs / 1000.0, gap.busyMs);
    std::string description = text;
    if (!std::isnan(gap.waitMs)) {
        std::snprintf(text, sizeof text, ", waiting for a CPU %.1f ms", gap.waitMs);
        description += text;
    }
    return description;
}

void printFigures(const StallRecorder& recorder, double startupMs, double runSeconds,
                  double pauseScale, int gridRows) {
    const Gap longest = recorder.longest();
    const Gap busiest = recorder.busiest();
    std::printf("GUI thread stalls during the default five-band run on the simulated test set\n");
    std::printf("  platform             %s\n", qPrintable(QApplication::platformName()));
    std::printf("  pause scale          %g\n", pauseScale);
    std::printf("  test form shown      %.1f ms after main began\n", startupMs);
    std::printf("  run wall time        %.2f s (watched from the test form on: %.2f s)\n",
                runSeconds, recorder.spanMs() / 1000.0);
    std::printf("  grid rows            %d\n", gridRows);
    std::printf("  heartbeats           %ld (every %d ms)\n", recorder.beats(), kBeatMs);
    std::printf("  (a gap: its length, its start after the form appeared, what it was made of)\n");
    std::printf("  longest stall        %s\n", describe(longest).c_str());
    std::printf("  busiest gap          %s\n", describe(busiest).c_str());
    std::printf("  99th percentile gap  %.1f ms\n", recorder.percentileMs(kPercentile));
    std::printf("  gaps over %.0f ms      %ld\n", kTargetMs, recorder.countOver(kTargetMs));
    std::printf("target %.0f ms: %s\n", kTargetMs, longest.wallMs <= kTargetMs ? "met" : "not met");
}

app::StartupEnvironment simulatedEnvironment(instrument::VisaLibrary& library,
                                             const std::string& calibrationDirectory) {
    app::StartupEnvironment environment;
    environment.visa = &library;
    environment.anotherInstanceRunning = [] { return false; };
    environment.runSettings.acceptWizard = true;
    environment.runSettings.calibrationDirectory = calibrationDirectory;
    return environment;
}

}  // namespace

int main(int argc, char** argv) {
    const Clock::time_point mainBegan = Clock::now();  // start-up is timed from here
    chooseOffscreenWithoutDisplay();
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    const std::optional<BenchOptions> options = parseArguments(argc, argv);
    if (!options) {
        std::fputs(kUsage, stderr);
        return kExitBadCommandLine;
    }
    if (options->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    const std::string folder = QUILLON_BIN_DIR;
    app::exportSimProfile(folder + "/sim-profiles/healthy.toml");
    const app::LoadedVisa visa = app::loadVisa(app::simulatedLibraryPath(folder));
    if (!visa.library) {
        std::fprintf(stderr, "quillon_gui_stall_bench: cannot load the simulated library: %s\n",
                     visa.error ? visa.error->description.c_str() : "unknown reason");
        return kExitCannotMeasure;
    }
    const QTemporaryDir calibration;

    StallRecorder recorder;
    ui::WindowsHooks hooks;
    hooks.endProcess = [](int) {};  // the figures are printed after the run, not at Exit
    ui::WindowsSession session(hooks);
    ShowWatcher watcher(recorder);
    session.testForm().installEventFilter(&watcher);

    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.callOnTimeout([&recorder] { recorder.beat(); });
    heartbeat.start(kBeatMs);

    QElapsedTimer runClock;
    QObject::connect(&session, &ui::WindowsSession::workerDone, [&recorder] {
        recorder.stop();
        // Not quit(): that first closes the windows, and the test form refuses to close.
        QApplication::exit(0);
    });
    const int deadline = deadlineMs(options->pauseScale);
    QTimer::singleShot(deadline, [deadline] {
        std::fprintf(stderr, "quillon_gui_stall_bench: the run has not ended after %d s\n",
                     deadline / 1000);
        ui::flushAndExit(kExitCannotMeasure);  // the worker may be stuck anywhere
    });

    runClock.start();
    session.start(simulatedEnvironment(*visa.library, calibration.path().toStdString()),
                  app::FrontEndOptions{{}, options->pauseScale, {}});
    QApplication::exec();
    const double runSeconds = static_cast<double>(runClock.nsecsElapsed()) / 1e9;
    heartbeat.stop();

    if (session.endedWith()) {
        std::fprintf(stderr, "quillon_gui_stall_bench: the program ended early with code %d\n",
                     *session.endedWith());
        return kExitCannotMeasure;
    }
    if (!recorder.started()) {
        std::fprintf(stderr, "quillon_gui_stall_bench: the test form was never shown\n");
        return kExitCannotMeasure;
    }
    printFigures(recorder, millisecondsBetween(mainBegan, recorder.startedAt()), runSeconds,
                 options->pauseScale, session.testForm().grid().rows());
    return 0;
}
