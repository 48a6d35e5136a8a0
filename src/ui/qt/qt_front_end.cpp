// SPDX-License-Identifier: MIT
#include "ui/qt/qt_front_end.h"

#include <QApplication>

#include "app/program_info.h"
#include "ui/qt/windows_session.h"

namespace quillon::ui {

int runWindows(int& argc, char** argv, const app::StartupEnvironment& environment,
               const app::FrontEndOptions& options) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(app::kProgramTitle));
    // The program ends through Exit or endProgram, never because a window closed.
    QApplication::setQuitOnLastWindowClosed(false);
    WindowsSession session;
    session.start(environment, options);
    const int exitCode = QApplication::exec();
    // Only reached if the event loop was told to quit; the worker may be anywhere.
    flushAndExit(exitCode);
}

}  // namespace quillon::ui
