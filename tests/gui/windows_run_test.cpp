// SPDX-License-Identifier: MIT
// The windows front-end around the program's logic, against the simulated test set library.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "app/front_end.h"
#include "gui_support.h"
#include "instrument/visa_library.h"
#include "testrun/saving.h"
#include "ui/qt/frmDoTestWindow.h"
#include "ui/qt/windows_session.h"

namespace quillon::ui {
namespace {

using testing::child;

// Runs the event loop until done() holds or a generous deadline has passed (a hang fails).
bool waitUntil(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(300000);
    while (!done() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

instrument::VisaLibrary& simLibrary() {  // throws, failing the test, if it does not load
    static auto loaded = instrument::VisaLibrary::load(QUILLON_BIN_DIR "/libquillon-sim-visa.so");
    return *std::get<std::unique_ptr<instrument::VisaLibrary>>(loaded);
}

class WindowsRun : public ::testing::Test {
  protected:
    // Runs the program on the healthy profile, noting each progress value with its maximum.
    void start(const std::string& profile = "healthy") {
        const std::string path = QUILLON_BIN_DIR "/sim-profiles/" + profile + ".toml";
        ::setenv("QUILLON_SIM_PROFILE", path.c_str(), 1);
        app::StartupEnvironment environment;
        environment.visa = &simLibrary();
        environment.anotherInstanceRunning = [] { return false; };
        environment.runSettings.calibrationDirectory = folder.path().toStdString();
        environment.runSettings.acceptWizard = true;
        session = std::make_unique<WindowsSession>(hooks);
        auto& bar = child<QProgressBar>(session->testForm(), "prgMeasurement");
        auto& save = child<QPushButton>(session->testForm(), "cmdSaveResults");
        auto& print = child<QPushButton>(session->testForm(), "cmdPrintResults");
        QObject::connect(&bar, &QProgressBar::valueChanged, [this, &bar, &save, &print](int value) {
            progress.emplace_back(value, bar.maximum());
            resultButtons.push_back(save.isEnabled() || print.isEnabled());
        });
        // From the information row on, before the run's own step that disables them.
        auto& grid = child<QTableView>(session->testForm(), "grdResults");
        QObject::connect(grid.model(), &QAbstractItemModel::rowsInserted, [this, &save, &print] {
            resultButtons.push_back(save.isEnabled() || print.isEnabled());
        });
        session->start(environment, options);
    }

    QTemporaryDir folder;
    app::FrontEndOptions options{.saveFile = {}, .pauseScale = 0.0, .records = {}};
    WindowsHooks hooks;
    std::vector<std::pair<int, int>> progress;  // value and maximum, kept longer than the form
    std::vector<bool> resultButtons;            // whether Save or Print was usable, at each step
    std::unique_ptr<WindowsSession> session;
};

TEST_F(WindowsRun, DefaultFiveBandRunPassesWith115StepsAnd73Lines) {
    hooks.endProcess = [](int) {};
    options.saveFile = folder.filePath(QStringLiteral("results.csv")).toStdString();
    start();
    ASSERT_TRUE(waitUntil([this] { return session->workerFinished(); }));

    EXPECT_FALSE(session->endedWith().has_value());
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress[progress.size() - 2], std::pair(115, 115));  // before the final reset
    // Unusable at every step of the run, usable once it has ended.
    EXPECT_EQ(std::count(resultButtons.begin(), resultButtons.end(), true), 1);
    EXPECT_TRUE(resultButtons.back());
    const testrun::ResultsGrid& grid = session->testForm().grid();
    ASSERT_EQ(grid.rows(), 73);  // header, information, empty, 70 results
    for (int row = 3; row < grid.rows(); ++row) EXPECT_EQ(grid.cell(row, 7), "Pass") << row;
    EXPECT_EQ(child<QLabel>(session->testForm(), "lblPassFail").text(), "Pass");

    QFile saved(QString::fromStdString(options.saveFile));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    EXPECT_EQ(bytes.toStdString(), testrun::resultsFileText(grid));
}

// Start-up refusals in windows: the message box (answered here), then the program ends with 3.
TEST_F(WindowsRun, RefusedStartUpsShowTheirMessageAndEndWithThree) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"no-test-set", "No 4750 detected"},
        {"two-test-sets", "Multiple connected 4750s detected"},
        {"unsupported-application", "Wrong TA/LA revision"},
    };
    for (const auto& [profile, title] : cases) {
        SCOPED_TRACE(profile);
        hooks.endProcess = [](int) {};
        std::vector<std::string> titles;
        QTimer answer;  // fires inside the box's own event loop too
        QObject::connect(&answer, &QTimer::timeout, [&titles] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                titles.push_back(box->windowTitle().toStdString());
                box->accept();
            }
        });
        answer.start(20);
        start(profile);
        ASSERT_TRUE(waitUntil([this] { return session->workerFinished(); }));
        EXPECT_EQ(titles, std::vector<std::string>{title});
        EXPECT_EQ(session->endedWith(), std::optional<int>(3));
        session.reset();
    }
}

TEST_F(WindowsRun, ExitDuringTheRunEndsTheProcessAtOnceWithZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    options.pauseScale = 1000.0;  // the run's first pause blocks the worker for an hour or more
    EXPECT_EXIT(
        {
            start();
            // The information row is in: the run is under way, the worker busy or asleep.
            const auto underWay = [this] { return session->testForm().grid().rows() >= 2; };
            if (!waitUntil(underWay)) std::exit(98);
            QTest::mouseClick(&child<QPushButton>(session->testForm(), "cmdExit"), Qt::LeftButton);
            std::exit(99);  // Exit did not end the process
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace quillon::ui
