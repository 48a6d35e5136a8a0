// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QWidget>
#include <stdexcept>
#include <string>

namespace quillon::testing {

// Made before any test, also one run alone; never destroyed, as widgets of finished tests may
// still be queued for deletion at exit.
struct ApplicationEnvironment : ::testing::Environment {
    void SetUp() override {
        static int argc = 1;
        static char name[] = "quillon_gui_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
    }
};
inline ::testing::Environment* const kApplicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

template <typename Widget>
Widget& child(const QWidget& parent, const char* name) {
    auto* found = parent.findChild<Widget*>(QString::fromLatin1(name));
    if (!found) throw std::runtime_error(std::string("no control named ") + name);
    return *found;
}

}  // namespace quillon::testing
