// SPDX-License-Identifier: MIT
// The cost of the bus session's checked send next to the two library calls it is made of, on
// the simulated test set. The session adds a line feed, a buffer and a parse of the error
// reply; that should stay within a few percent of the library calls themselves.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "app/launch.h"
#include "instrument/clsMom.h"
#include "instrument/clsVisa.h"
#include "instrument/visa_library.h"

namespace {

using namespace quillon;

constexpr const char* kCommand = "CALL:CELL:POWer:AMPLitude -10";
constexpr const char* kCheckedName = "BM_SendWithStatusCheck";
constexpr const char* kBareName = "BM_BareLibraryCalls";

// The simulated library, loaded once, with the one test set found on its bus.
struct SimulatedBench {
    std::unique_ptr<instrument::VisaLibrary> library;
    instrument::ProgramValues program;
    std::unique_ptr<instrument::clsVisa> bus;
    instrument::ViSession vi = 0;
    std::string problem;

    SimulatedBench() {
        auto loaded = instrument::VisaLibrary::load(app::simulatedLibraryPath(QUILLON_BIN_DIR));
        if (auto* error = std::get_if<instrument::VisaLoadError>(&loaded)) {
            problem = "cannot load the simulated library: " + error->description;
            return;
        }
        library = std::move(std::get<std::unique_ptr<instrument::VisaLibrary>>(loaded));
        instrument::BusHooks hooks{
            [] {}, [this](const std::string&, const std::string& text) { problem = text; }};
        bus = std::make_unique<instrument::clsVisa>(library.get(), std::nullopt, hooks, program);
        bus->seek4750s();
        if (bus->num4750s() != 1) {
            problem = "expected one test set, found " + std::to_string(bus->num4750s());
            return;
        }
        vi = bus->get4750(0)->MomVI();
    }
};

SimulatedBench& bench() {
    static SimulatedBench instance;
    return instance;
}

// What sendWithStatusCheck hands to the library: the write, then the error queue query.
struct BareCalls {
    std::string command = std::string(kCommand) + "\n";
    std::array<char, instrument::kReplyBufferSize> reply{};

    void operator()(SimulatedBench& b) {
        b.library->printf(b.vi, command.c_str());
        b.library->printf(b.vi, "SYSTEM:ERR?\n");
        instrument::ViUInt32 received = 0;
        b.library->read(b.vi, reinterpret_cast<unsigned char*>(reply.data()),
                        static_cast<instrument::ViUInt32>(reply.size() - 1), &received);
    }
};

void BM_SendWithStatusCheck(benchmark::State& state) {
    SimulatedBench& b = bench();
    if (!b.problem.empty()) return state.SkipWithError(b.problem.c_str());
    for (auto _ : state) {
        const bool failed = b.bus->sendWithStatusCheck(b.vi, false, kCommand);
        if (failed) return state.SkipWithError("the test set reported an error");
    }
}

void BM_BareLibraryCalls(benchmark::State& state) {
    SimulatedBench& b = bench();
    if (!b.problem.empty()) return state.SkipWithError(b.problem.c_str());
    BareCalls calls;
    for (auto _ : state) {
        calls(b);
        benchmark::DoNotOptimize(calls.reply.data());
    }
}

// Each loop exactly count times, for an instruction counter that collects inside one of these
// two functions (valgrind --tool=callgrind --toggle-collect='*countedCheckedSends*'): counts
// do not vary with the machine's load as times do.
[[gnu::noinline]] bool countedCheckedSends(SimulatedBench& b, long count) {
    bool failed = false;
    for (long i = 0; i < count; ++i) failed = b.bus->sendWithStatusCheck(b.vi, failed, kCommand);
    return failed;
}

[[gnu::noinline]] void countedBareCalls(SimulatedBench& b, BareCalls& calls, long count) {
    for (long i = 0; i < count; ++i) calls(b);
}

// quillon_bench --count-instructions checked|bare N: warms up outside the counted functions
// (the first calls resolve symbols and fill caches), then runs one loop N times.
int countInstructions(const std::string& which, const std::string& countText) {
    SimulatedBench& b = bench();
    const long count = std::strtol(countText.c_str(), nullptr, 10);
    if (!b.problem.empty() || count <= 0 || (which != "checked" && which != "bare")) {
        std::fprintf(
            stderr, "quillon_bench: %s\n",
            b.problem.empty() ? "usage: --count-instructions checked|bare N" : b.problem.c_str());
        return 1;
    }
    BareCalls calls;
    constexpr int kWarmUp = 20;
    for (int i = 0; i < kWarmUp; ++i) {
        b.bus->sendWithStatusCheck(b.vi, false, kCommand);
        calls(b);
    }
    if (which == "bare") {
        countedBareCalls(b, calls, count);
        return 0;
    }
    return countedCheckedSends(b, count) ? 1 : 0;
}

BENCHMARK(BM_SendWithStatusCheck);
BENCHMARK(BM_BareLibraryCalls);

bool stdoutIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return ::isatty(STDOUT_FILENO) != 0;
#endif
}

// Prints as usual and keeps each benchmark's real time per iteration for the comparison.
class ComparingReporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal, so a saved log stays plain text.
    ComparingReporter() : ConsoleReporter(stdoutIsTerminal() ? OO_Defaults : OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            // With repetitions the median stands for the benchmark; it comes after the runs.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            if (!run.error_occurred && run.iterations > 0) {
                nanoseconds_[run.run_name.function_name] =
                    run.GetAdjustedRealTime() * nanosecondsPer(run.time_unit);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printComparison() const {
        const auto checked = nanoseconds_.find(kCheckedName);
        const auto bare = nanoseconds_.find(kBareName);
        if (checked == nanoseconds_.end() || bare == nanoseconds_.end()) return;
        std::printf(
            "sendWithStatusCheck: %.0f ns, bare viVPrintf, viVPrintf + viRead: %.0f ns, "
            "overhead %+.1f %% (target within 10 %%)\n",
            checked->second, bare->second, (checked->second / bare->second - 1.0) * 100.0);
    }

  private:
    static double nanosecondsPer(benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kSecond:
                return 1e9;
            case benchmark::kMillisecond:
                return 1e6;
            case benchmark::kMicrosecond:
                return 1e3;
            default:
                return 1.0;
        }
    }

    std::map<std::string, double> nanoseconds_;
};

// The two figures are close, and a shared machine is noisy: by default compare the medians of
// interleaved repetitions after a warm-up. Flags given on the command line come later and win.
std::vector<char*> withSteadyDefaults(int argc, char** argv) {
    static char repetitions[] = "--benchmark_repetitions=9";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    static char warmup[] = "--benchmark_min_warmup_time=0.2";
    static char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    std::vector<char*> args{argv[0], repetitions, interleave, warmup, aggregatesOnly};
    for (int at = 1; at < argc; ++at) args.push_back(argv[at]);
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--count-instructions") {
        return countInstructions(argv[2], argv[3]);
    }
    std::vector<char*> args = withSteadyDefaults(argc, argv);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    ComparingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printComparison();
    benchmark::Shutdown();
    return 0;
}
