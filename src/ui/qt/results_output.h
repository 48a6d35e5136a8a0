// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QPrinter;
class QTableView;
class QWidget;

namespace quillon::ui {

// Where the results go: the file name for Save and the printer for Print. Each returns an
// empty name or a null printer when the operator cancelled. The defaults ask the operator;
// tests put their own in.
struct OutputChoosers {
    std::function<QString(QWidget* owner, const QString& proposedName)> saveFileName;
    std::function<std::unique_ptr<QPrinter>(QWidget* owner, const QString& proposedPdf)> printer;

    static OutputChoosers interactive();
};

// Paints the table's picture, all rows, at 70 % of its screen size, 1000 twips from the left
// and 500 twips from the top of the printable area, and ends the document. False when the
// printer could not be started.
bool printTablePicture(QTableView& view, QPrinter& printer);

}  // namespace quillon::ui
