// SPDX-License-Identifier: MIT
#include "gui_support.h"

#include <gtest/gtest.h>

namespace quillon::testing {

QApplication& guiApplication() {
    static int argc = 1;
    static char name[] = "quillon_gui_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: widgets of finished tests may still be queued for deletion at exit.
    static auto* application = new QApplication(argc, argv);
    return *application;
}

namespace {

// Before any test, also one run alone (ctest runs each test in its own process): fixtures may
// hold widgets as members, which need the application object before the fixture's body runs.
class ApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { guiApplication(); }
};

[[maybe_unused]] ::testing::Environment* const kApplicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace

}  // namespace quillon::testing
