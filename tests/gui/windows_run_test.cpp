// SPDX-License-Identifier: MIT
// The windows front-end around the program's logic, against the simulated test set library.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
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
using testing::waitUntil;

constexpr int kRunDeadlineMs = 300000;  // a hang fails the test instead of blocking the suite

instrument::VisaLibrary& simLibrary() {
    static std::unique_ptr<instrument::VisaLibrary> library = [] {
        auto loaded =
            instrument::VisaLibrary::load(std::string(QUILLON_BIN_DIR) + "/libquillon-sim-visa.so");
        auto* found = std::get_if<std::unique_ptr<instrument::VisaLibrary>>(&loaded);
        return found ? std::move(*found) : nullptr;
    }();
    if (!library) throw std::runtime_error("simulated VISA library not loadable");
    return *library;
}

// Counts the longest time between two beats of a timer on the GUI thread: how long the event
// loop was kept from running.
class Heartbeat {
  public:
    Heartbeat() {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { longest_ = std::max(longest_, sinceLast_.restart()); });
        sinceLast_.start();
        timer_.start();
    }
    qint64 longestGapMs() const { return longest_; }

  private:
    QTimer timer_;
    QElapsedTimer sinceLast_;
    qint64 longest_ = 0;
};

class WindowsRun : public ::testing::Test {
  protected:
    WindowsRun() {
        testing::guiApplication();
        environment.visa = &simLibrary();
        environment.anotherInstanceRunning = [] { return false; };
        environment.runSettings.calibrationDirectory = folder.path().toStdString();
        options.pauseScale = 0.0;
        hooks.endProcess = [this](int code) { endRequests.push_back(code); };
    }
    void useProfile(const char* name) {
        const std::string path = std::string(QUILLON_BIN_DIR) + "/sim-profiles/" + name;
        ::setenv("QUILLON_SIM_PROFILE", path.c_str(), 1);
    }
    void start() {
        session = std::make_unique<WindowsSession>(hooks);
        session->start(environment, options);
    }
    bool finishes() {
        return waitUntil([this] { return session->workerFinished(); }, kRunDeadlineMs);
    }
    QString formLabel(const char* name) { return child<QLabel>(session->testForm(), name).text(); }

    QTemporaryDir folder;
    app::StartupEnvironment environment;
    app::FrontEndOptions options;
    WindowsHooks hooks;
    std::vector<int> endRequests;
    std::unique_ptr<WindowsSession> session;
};

TEST_F(WindowsRun, HealthyTestSetPassesAndTheFormStaysOpen) {
    useProfile("healthy.toml");
    environment.runSettings.acceptWizard = true;
    environment.runSettings.preset =
        testrun::PresetChoice{std::vector<int>{2}, std::vector<int>{0, 5}, 5};
    options.saveFile = folder.filePath(QStringLiteral("results.csv")).toStdString();
    Heartbeat heartbeat;
    start();
    ASSERT_TRUE(finishes());

    EXPECT_FALSE(session->endedWith().has_value());
    EXPECT_TRUE(endRequests.empty());
    frmDoTestWindow& form = session->testForm();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(session->splash(), nullptr);
    const testrun::ResultsGrid& grid = form.grid();
    ASSERT_EQ(grid.rows(), 3 + 6);  // header, information, empty; 3 PFER rows per source
    for (int row = 3; row < grid.rows(); ++row) {
        EXPECT_EQ(grid.cell(row, 0), " 943000000") << row;
        EXPECT_EQ(grid.cell(row, 1), row < 6 ? "1" : "2") << row;
        EXPECT_EQ(grid.cell(row, 7), "Pass") << row;
    }
    EXPECT_EQ(grid.cell(1, 0), "GB44180123");
    EXPECT_EQ(grid.cell(1, 7), "Pass");
    EXPECT_EQ(formLabel("lblSerialNumber"), "GB44180123");
    EXPECT_EQ(formLabel("lblBand"), "PGSM");
    EXPECT_EQ(formLabel("lblTestStatus"), "Test Complete");
    EXPECT_EQ(formLabel("lblPassFail"), "Pass");
    EXPECT_TRUE(child<QLabel>(form, "lblPassFail").isVisible());
    EXPECT_TRUE(child<QPushButton>(form, "cmdSaveResults").isEnabled());
    EXPECT_TRUE(child<QPushButton>(form, "cmdPrintResults").isEnabled());

    std::ifstream saved(options.saveFile, std::ios::binary);
    std::stringstream text;
    text << saved.rdbuf();
    EXPECT_EQ(text.str(), testrun::resultsFileText(grid));

    std::cout << "[ STALL    ] longest GUI-thread stall during the run: "
              << heartbeat.longestGapMs() << " ms\n";
    RecordProperty("longest_gui_stall_ms", static_cast<int>(heartbeat.longestGapMs()));
}

TEST_F(WindowsRun, NoTestSetShowsTheMessageAndEndsTheProgram) {
    useProfile("no-test-set.toml");
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    testing::whenModalOpens([&](QWidget& modal) {
        auto& box = dynamic_cast<QMessageBox&>(modal);
        title = box.windowTitle();
        icon = box.icon();
        box.accept();
    });
    start();
    ASSERT_TRUE(finishes());
    EXPECT_EQ(title, "No 4750 detected");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(session->endedWith(), testrun::kExitStartupRefused);
    EXPECT_EQ(endRequests, std::vector<int>{testrun::kExitStartupRefused});
    EXPECT_FALSE(session->testForm().isVisible());
}

TEST_F(WindowsRun, CancelInTheWizardEndsTheProgram) {
    useProfile("healthy.toml");
    QString caption;
    testing::whenModalOpens([&caption](QWidget& wizard) {
        caption = wizard.windowTitle();
        QTest::mouseClick(&child<QPushButton>(wizard, "btnCancel"), Qt::LeftButton);
    });
    start();
    ASSERT_TRUE(finishes());
    EXPECT_EQ(caption, "Setup Wizard - Step 1 of 3");
    EXPECT_EQ(session->endedWith(), testrun::kExitWizardCancelled);
}

// Shift at "Go!" opens the options dialog; a choice without bands makes the run end after the
// calibration data check with the three fixed rows and a "Pass".
TEST_F(WindowsRun, ShiftAtGoOpensTheOptionsWhoseChoiceTheRunTakes) {
    useProfile("healthy.toml");
    bool optionsShown = false;
    testing::whenModalOpens([&optionsShown](QWidget& wizard) {
        auto& next = child<QPushButton>(wizard, "btnNext");
        QTest::mouseClick(&next, Qt::LeftButton);
        QTest::mouseClick(&next, Qt::LeftButton);
        QKeyEvent shift(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
        QApplication::sendEvent(&next, &shift);
        testing::whenModalOpens([&optionsShown](QWidget& dialog) {
            optionsShown = dialog.objectName() == "frmChooseTests";
            for (int band = 0; band < 5; ++band) {
                const std::string name = "chkBands_" + std::to_string(band);
                child<QCheckBox>(dialog, name.c_str()).setChecked(false);
            }
            QTest::mouseClick(&child<QPushButton>(dialog, "cmdOkay"), Qt::LeftButton);
        });
        QTest::mouseClick(&next, Qt::LeftButton, Qt::ShiftModifier);
    });
    start();
    ASSERT_TRUE(finishes());
    EXPECT_TRUE(optionsShown);
    EXPECT_FALSE(session->endedWith().has_value());
    EXPECT_EQ(session->testForm().grid().rows(), 3);
    EXPECT_EQ(formLabel("lblPassFail"), "Pass");
    EXPECT_EQ(formLabel("lblTestStatus"), "Test Complete");
}

// The real process endings, in a child process each: Exit while the worker is blocked, and the
// end that start-up asks for.
class WindowsRunEnds : public WindowsRun {
  protected:
    WindowsRunEnds() {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        hooks = WindowsHooks{};
    }
};

TEST_F(WindowsRunEnds, ExitDuringTheRunEndsTheProcessAtOnceWithZero) {
    useProfile("healthy.toml");
    environment.runSettings.acceptWizard = true;
    options.pauseScale = 1000.0;  // the run's first pause blocks the worker for an hour or more
    EXPECT_EXIT(
        {
            start();
            // The information row is in: the run is under way, the worker busy or asleep.
            if (!waitUntil([this] { return session->testForm().grid().rows() >= 2; })) {
                std::exit(98);
            }
            QTest::mouseClick(&child<QPushButton>(session->testForm(), "cmdExit"), Qt::LeftButton);
            std::exit(99);  // Exit did not end the process
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(WindowsRunEnds, RefusedStartUpEndsTheProcessWithItsCode) {
    useProfile("two-test-sets.toml");
    EXPECT_EXIT(
        {
            testing::whenModalOpens([](QWidget& box) { dynamic_cast<QMessageBox&>(box).accept(); });
            start();
            waitUntil([] { return false; }, kRunDeadlineMs);
            std::exit(99);
        },
        ::testing::ExitedWithCode(testrun::kExitStartupRefused), "");
}

}  // namespace
}  // namespace quillon::ui
