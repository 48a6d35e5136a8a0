// SPDX-License-Identifier: MIT
#include "ui/qt/windows_session.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/immediate_exit.h"
#include "testrun/frmDoTest.h"
#include "ui/qt/dlgConfirmWizard.h"
#include "ui/qt/frmChooseTests.h"
#include "ui/qt/frmDoTestWindow.h"
#include "ui/qt/frmSplash.h"
#include "ui/qt/message_box.h"
#include "ui/qt/qt_operator.h"

namespace quillon::ui {

void flushAndExit(int exitCode) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    app::exitImmediately(exitCode);
}

WindowsSession::WindowsSession(WindowsHooks hooks) : hooks_(std::move(hooks)) {
    testForm_ = std::make_unique<frmDoTestWindow>(hooks_.choosers, [this] {
        hooks_.endProcess(app::exitCodeAfterSaving(testrun::kExitPass, resultsSaved_));
    });
}

WindowsSession::~WindowsSession() {
    if (!worker_.joinable()) return;
    // The worker may still be handing its last calls to this thread: serve them until it says
    // it is done. Both the flag and the signal belong to this thread, so none can slip between.
    if (!workerFinished_) {
        QEventLoop loop;
        connect(this, &WindowsSession::workerDone, &loop, &QEventLoop::quit);
        loop.exec();
    }
    worker_.join();
}

void WindowsSession::start(const app::StartupEnvironment& environment,
                           const app::FrontEndOptions& options) {
    environment_ = environment;
    options_ = options;
    operator_ = std::make_unique<QtOperator>(*this, options.pauseScale);
    worker_ = std::thread([this] { runWorker(); });
}

void WindowsSession::runWorker() {
    try {
        app::runMain(*operator_, environment_, objects_);
        // On the worker, which owns the grid: the run is over, nothing changes it any more.
        const bool saved = app::saveRequestedResults(options_, objects_.testForm->grid());
        // The window's status line and standard error each get the one line an output has.
        const bool recorded = app::deliverRequestedRecords(
            options_.records, objects_.testForm->runRecord(), [this](const std::string& line) {
                operator_->setLabel(testrun::FormLabel::TestStatus, line);
                std::cerr << "quillon: " << line << "\n";
            });
        resultsSaved_ = saved && recorded;
    } catch (const QtOperator::ProgramEnded&) {
        // endProgram has closed the windows; only a test's endProcess hook gets here.
    }
    QMetaObject::invokeMethod(
        this, [this] { markWorkerDone(); }, Qt::QueuedConnection);
}

void WindowsSession::markWorkerDone() {
    workerFinished_ = true;
    emit workerDone();
}

QWidget* WindowsSession::dialogOwner() {
    if (testForm_->isVisible()) return testForm_.get();
    if (splash_ && splash_->isVisible()) return splash_.get();
    return nullptr;
}

void WindowsSession::showSplash() {
    splash_ = std::make_unique<frmSplash>();
    splash_->show();
}

void WindowsSession::setSplashStatus(const std::string& status) {
    if (splash_) splash_->setStatus(status);
}

// Deleted once control is back in the event loop, in case it is busy inside a call of its own.
void WindowsSession::closeSplash() {
    if (!splash_) return;
    splash_->hide();
    splash_.release()->deleteLater();
}

void WindowsSession::messageBox(const std::string& title, const std::string& text,
                                testrun::MessageIcon icon) {
    showMessageBox(dialogOwner(), title, text, icon);
}

void WindowsSession::showTestForm() {
    testForm_->show();
    centreOnScreen(*testForm_);
    testForm_->raise();
    testForm_->activateWindow();
}

testrun::WizardOutcome WindowsSession::runWizard(const std::string& serialNumber) {
    dlgConfirmWizard wizard(dialogOwner());
    wizard.setSerialNumber(serialNumber);
    wizard.exec();
    return {wizard.okayPressed(), wizard.shiftHeld()};
}

void WindowsSession::runOptions(testrun::TestOptions& options) {
    frmChooseTests dialog(options, dialogOwner());
    dialog.exec();
}

void WindowsSession::endProgram(int exitCode) {
    endedWith_ = exitCode;
    for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
    hooks_.endProcess(exitCode);
}

}  // namespace quillon::ui
