// SPDX-License-Identifier: MIT
#include "ui/console/console_front_end.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "testrun/frmDoTest.h"
#include "ui/console/console_operator.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace quillon::ui {
namespace {

constexpr int kInterruptedExitCode = 130;  // 128 + SIGINT, as shells report it

volatile std::sig_atomic_t stdoutIsTerminal = 0;

// Ctrl+C ends the program at once, as Exit does in the windows: nothing is restored. The
// handler only ends the live line so the shell prompt starts on a line of its own.
extern "C" void onInterrupt(int /*signal*/) {
    if (stdoutIsTerminal != 0) {
#ifdef _WIN32
        (void)_write(1, "\n", 1);
#else
        (void)!::write(STDOUT_FILENO, "\n", 1);
#endif
    }
    std::_Exit(kInterruptedExitCode);
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

}  // namespace

int runConsole(const app::StartupEnvironment& environment, const app::FrontEndOptions& options) {
    ConsoleOperator::Settings settings;
    settings.terminal = isTerminal();
    settings.pauseScale = options.pauseScale;
    settings.width = settings.terminal ? terminalWidth() : 80;
    if (settings.terminal) enableAnsi();
    stdoutIsTerminal = settings.terminal ? 1 : 0;
    std::signal(SIGINT, onInterrupt);

    ConsoleOperator ui(std::cin, std::cout, settings);
    app::ProgramObjects objects;
    app::runMain(ui, environment, objects);
    // runMain returns only for a run that reached its end; refusals and Cancel end the program.
    const testrun::ResultsGrid& grid = objects.testForm->grid();
    ui.printResults(grid);
    app::saveRequestedResults(options, grid);
    return app::exitCodeFor(objects.outcome);
}

}  // namespace quillon::ui
