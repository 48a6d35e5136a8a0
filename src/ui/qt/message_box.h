// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>

#include "testrun/operator_interface.h"

class QMessageBox;
class QWidget;

namespace quillon::ui {

// The message box showMessageBox shows, with exactly the line breaks of text.
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* owner, const std::string& title,
                                            const std::string& text, testrun::MessageIcon icon);
// A modal message box with an OK button; returns when the operator has closed it.
void showMessageBox(QWidget* owner, const std::string& title, const std::string& text,
                    testrun::MessageIcon icon);

}  // namespace quillon::ui
