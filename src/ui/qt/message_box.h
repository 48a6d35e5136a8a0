// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "testrun/operator_interface.h"

class QWidget;

namespace quillon::ui {

// A modal message box with an OK button; returns when the operator has closed it.
void showMessageBox(QWidget* owner, const std::string& title, const std::string& text,
                    testrun::MessageIcon icon);

}  // namespace quillon::ui
