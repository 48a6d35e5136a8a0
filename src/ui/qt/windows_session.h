// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "app/front_end.h"
#include "app/modMain.h"
#include "testrun/operator_interface.h"
#include "testrun/test_options.h"
#include "ui/qt/results_output.h"

class QWidget;

namespace quillon::ui {

class QtOperator;
class frmDoTestWindow;
class frmSplash;

// Flushes the standard streams and ends the process with exitCode at once: no destructors, no
// restoring, whatever other threads are doing.
[[noreturn]] void flushAndExit(int exitCode);

// What the windows need from outside that tests replace.
struct WindowsHooks {
    OutputChoosers choosers = OutputChoosers::interactive();
    // Ends the process (Exit, closing the test form, endProgram). The default never returns.
    std::function<void(int exitCode)> endProcess = flushAndExit;
};

// The windows of one program run and the worker thread that runs the program's logic.
//
// The logic is synchronous: it runs on its own thread and talks to the windows through a
// QtOperator, which hands each call to this object's (the GUI) thread. The GUI thread never
// waits for the worker, so the windows stay painted and Exit acts at once even while the
// worker is blocked in an instrument exchange.
class WindowsSession : public QObject {
    Q_OBJECT

  public:
    explicit WindowsSession(WindowsHooks hooks = {});
    // Waits for the worker. Only a session whose run has ended (or never started) may go away.
    ~WindowsSession() override;
    WindowsSession(const WindowsSession&) = delete;
    WindowsSession& operator=(const WindowsSession&) = delete;

    // Starts the program's logic on the worker thread. environment and options are copied;
    // options.pauseScale multiplies every pause of the run.
    void start(const app::StartupEnvironment& environment, const app::FrontEndOptions& options);

    // The worker has left the program's logic: the run reached its end, or the program was
    // ended (endedWith() then says with which code; the process itself only ends when the
    // endProcess hook does).
    bool workerFinished() const { return workerFinished_; }
    std::optional<int> endedWith() const { return endedWith_; }

    frmDoTestWindow& testForm() { return *testForm_; }

    // GUI-thread halves of the operator calls.
    void showSplash();
    void setSplashStatus(const std::string& status);
    void closeSplash();
    void messageBox(const std::string& title, const std::string& text, testrun::MessageIcon icon);
    void showTestForm();
    testrun::WizardOutcome runWizard(const std::string& serialNumber);
    void runOptions(testrun::TestOptions& options);
    void endProgram(int exitCode);

  signals:
    void workerDone();

  private:
    QWidget* dialogOwner();
    void runWorker();
    void markWorkerDone();

    WindowsHooks hooks_;
    std::unique_ptr<frmDoTestWindow> testForm_;
    std::unique_ptr<frmSplash> splash_;
    std::unique_ptr<QtOperator> operator_;
    app::StartupEnvironment environment_;
    app::FrontEndOptions options_;
    app::ProgramObjects objects_;
    std::thread worker_;
    std::atomic<bool> workerFinished_ = false;
    std::atomic<bool> resultsSaved_ = true;  // false: Exit ends with kExitResultsNotSaved
    std::optional<int> endedWith_;
};

}  // namespace quillon::ui
