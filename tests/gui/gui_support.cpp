// SPDX-License-Identifier: MIT
#include "gui_support.h"

namespace quillon::testing {

QApplication& guiApplication() {
    static int argc = 1;
    static char name[] = "quillon_gui_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: widgets of finished tests may still be queued for deletion at exit.
    static auto* application = new QApplication(argc, argv);
    return *application;
}

}  // namespace quillon::testing
