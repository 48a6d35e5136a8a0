// SPDX-License-Identifier: MIT
#include "ui/console/console_front_end.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/modMain.h"
#include "testrun/frmDoTest.h"
#include "ui/console/console_operator.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace quillon::ui {
namespace {

volatile std::sig_atomic_t stdoutIsTerminal = 0;

// Ctrl+C, and SIGTERM and SIGHUP where they exist, end the program at once, as Exit does in the
// windows: nothing is restored. The exit code is 128 + the signal, as shells report a program
// the signal ended (130, 143, 129). The handler only ends the live line so the shell prompt
// starts on a line of its own.
extern "C" void onEndSignal(int signal) {
    if (stdoutIsTerminal != 0) {
#ifdef _WIN32
        (void)_write(1, "\n", 1);
#else
        (void)!::write(STDOUT_FILENO, "\n", 1);
#endif
    }
    std::_Exit(128 + signal);
}

void handleSignals() {
    std::signal(SIGINT, onEndSignal);
    std::signal(SIGTERM, onEndSignal);
#ifndef _WIN32
    std::signal(SIGHUP, onEndSignal);
    // A reader that has gone (| head) or a file-size limit (ulimit -f) must not end the run
    // before it restores the test set: the writes fail instead, the output is dropped, and a
    // results file that cannot be written whole is reported (exit 5).
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

bool isTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return ::isatty(STDOUT_FILENO) != 0;
#endif
}

int terminalWidth() {
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
        return info.srWindow.Right - info.srWindow.Left + 1;
    }
#else
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
    return 80;
}

#ifdef _WIN32
// ANSI sequences need virtual terminal processing on the Windows console.
void enableAnsi() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}
#else
void enableAnsi() {}
#endif

#ifndef _WIN32
// Holds SIGINT, SIGTERM and SIGHUP back while it lives, so that one that arrives while the
// results file is written ends the program only once the file is in place.
class EndSignalsHeld {
  public:
    EndSignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signal);
        sigprocmask(SIG_BLOCK, &held, &before_);
    }
    ~EndSignalsHeld() { sigprocmask(SIG_SETMASK, &before_, nullptr); }
    EndSignalsHeld(const EndSignalsHeld&) = delete;
    EndSignalsHeld& operator=(const EndSignalsHeld&) = delete;

  private:
    sigset_t before_{};
};
#else
struct EndSignalsHeld {};
#endif

bool saveResults(const app::FrontEndOptions& options, const testrun::ResultsGrid& grid) {
    const EndSignalsHeld held;
    return app::saveRequestedResults(options, grid);
}

}  // namespace

int runConsole(const app::StartupEnvironment& environment, const app::FrontEndOptions& options) {
    ConsoleOperator::Settings settings;
    settings.terminal = isTerminal();
    settings.pauseScale = options.pauseScale;
    settings.width = settings.terminal ? terminalWidth() : 80;
    if (settings.terminal) enableAnsi();
    stdoutIsTerminal = settings.terminal ? 1 : 0;
    handleSignals();

    ConsoleOperator ui(std::cin, std::cout, settings);
    app::ProgramObjects objects;
    app::runMain(ui, environment, objects);
    // runMain returns only for a run that reached its end; refusals and Cancel end the program.
    const testrun::ResultsGrid& grid = objects.testForm->grid();
    ui.printResults(grid);
    const bool saved = saveResults(options, grid);
    const bool recorded = app::deliverRequestedRecords(
        options.records, objects.testForm->runRecord(),
        [](const std::string& line) { std::cerr << "quillon: " << line << "\n"; });
    return app::exitCodeAfterSaving(app::exitCodeFor(objects.outcome), saved && recorded);
}

}  // namespace quillon::ui
