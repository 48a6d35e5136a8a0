// SPDX-License-Identifier: MIT
#include "ui/qt/qt_operator.h"

#include <QMetaObject>
#include <QThread>
#include <utility>

#include "app/front_end.h"
#include "ui/qt/frmDoTestWindow.h"
#include "ui/qt/windows_session.h"

namespace quillon::ui {

QtOperator::QtOperator(WindowsSession& session, double pauseScale)
    : session_(session), pauseScale_(pauseScale) {}

bool QtOperator::onGuiThread() const {
    return QThread::currentThread() == session_.thread();
}

template <typename Work>
std::invoke_result_t<Work> QtOperator::call(Work work) {
    using Result = std::invoke_result_t<Work>;
    if (onGuiThread()) return work();
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(&session_, std::move(work), Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(
            &session_, [&result, &work] { result = work(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

template <typename Work>
void QtOperator::post(Work work) {
    if (onGuiThread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(&session_, std::move(work), Qt::QueuedConnection);
}

void QtOperator::showSplash() {
    post([this] { session_.showSplash(); });
}

void QtOperator::setSplashStatus(const std::string& status) {
    post([this, status] { session_.setSplashStatus(status); });
}

void QtOperator::closeSplash() {
    post([this] { session_.closeSplash(); });
}

void QtOperator::messageBox(const std::string& title, const std::string& text,
                            testrun::MessageIcon icon) {
    call([&] { session_.messageBox(title, text, icon); });
}

void QtOperator::showTestForm() {
    post([this] { session_.showTestForm(); });
}

void QtOperator::setLabel(testrun::FormLabel label, const std::string& text) {
    post([this, label, text] { session_.testForm().setLabel(label, text); });
}

// In the status line, where the run's next step replaces it; also on standard error.
void QtOperator::reportProblem(const std::string& line) {
    testrun::OperatorInterface::reportProblem(line);
    setLabel(testrun::FormLabel::TestStatus, line);
}

void QtOperator::setProgress(int value, int maximum) {
    post([this, value, maximum] { session_.testForm().setProgress(value, maximum); });
}

void QtOperator::updateGrid(const testrun::GridChanges& changes) {
    post([this, changes] { session_.testForm().updateGrid(changes); });
}

void QtOperator::setVerdict(testrun::Verdict verdict) {
    post([this, verdict] { session_.testForm().setVerdict(verdict); });
}

void QtOperator::setResultButtonsEnabled(bool enabled) {
    post([this, enabled] { session_.testForm().setResultButtonsEnabled(enabled); });
}

testrun::WizardOutcome QtOperator::runWizard(const std::string& serialNumber) {
    return call([&] { return session_.runWizard(serialNumber); });
}

// The options live on the worker's side; the worker is blocked while the dialog edits them.
void QtOperator::runOptions(testrun::TestOptions& options) {
    call([&] { session_.runOptions(options); });
}

void QtOperator::pause(std::chrono::milliseconds duration) {
    app::pauseScaled(duration, pauseScale_);
}

void QtOperator::endProgram(int exitCode) {
    call([&] { session_.endProgram(exitCode); });
    throw ProgramEnded{exitCode};
}

}  // namespace quillon::ui
