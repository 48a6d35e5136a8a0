// SPDX-License-Identifier: MIT
#pragma once

// One QApplication for every GUI test of the executable, and small helpers to reach controls
// by the names the windows give them.

#include <QApplication>
#include <QDeadlineTimer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <stdexcept>
#include <string>

namespace quillon::testing {

// The application object; created on first use and kept until the process ends.
QApplication& guiApplication();

template <typename Widget>
Widget& child(const QWidget& parent, const char* name) {
    auto* found = parent.findChild<Widget*>(QString::fromLatin1(name));
    if (!found) throw std::runtime_error(std::string("no control named ") + name);
    return *found;
}

// Lets the event loop run until done() holds or the generous deadline has passed; says which.
inline bool waitUntil(const std::function<bool()>& done, int deadlineMs = 10000) {
    QDeadlineTimer deadline(deadlineMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Calls answer with the next modal window as soon as one is open (message boxes and dialogs
// that a tested action opens and waits on).
inline void whenModalOpens(std::function<void(QWidget&)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(*modal);
        }
    });
    timer->start();
}

}  // namespace quillon::testing
