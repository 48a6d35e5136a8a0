// SPDX-License-Identifier: MIT
// Appends result rows to a results grid on a worker thread and hands each change to the windows'
// test form through the operator interface, as a run does. Its cost per appended row is taken
// with an instruction counter over two row counts, e.g.
//   valgrind --tool=callgrind --callgrind-out-file=/dev/null quillon_grid_update_bench 100
//   valgrind --tool=callgrind --callgrind-out-file=/dev/null quillon_grid_update_bench 1100
// and (second total - first total) / 1000.

#include <QApplication>
#include <QMetaObject>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "testrun/results_grid.h"
#include "testrun/results_report.h"
#include "ui/qt/frmDoTestWindow.h"
#include "ui/qt/qt_operator.h"
#include "ui/qt/windows_session.h"

namespace {

using namespace quillon;

constexpr const char* kRow =
    " 464000000\t1\tGMSK Frequency Error\t-3.142\t-20.000\t20.000\tHz\tPass\t";

void publish(ui::QtOperator& shown, testrun::ResultsGrid& grid) {
    shown.updateGrid(grid.takeChanges());
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000;
    ui::WindowsHooks hooks;
    hooks.endProcess = [](int) {};
    ui::WindowsSession session(hooks);
    // The form is not shown: how often it paints depends on how the two threads interleave,
    // which would blur the count.
    ui::QtOperator shown(session, 0.0);
    std::thread worker([&] {
        testrun::ResultsGrid grid;
        grid.setFormatString(testrun::kHeaderFormat);
        publish(shown, grid);
        for (int i = 0; i < rows; ++i) {
            grid.appendTabbed(kRow);
            publish(shown, grid);
        }
        QMetaObject::invokeMethod(
            &application, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    QApplication::exec();
    worker.join();
    std::printf("%d rows shown\n", session.testForm().grid().rows() - 1);
    return 0;
}
