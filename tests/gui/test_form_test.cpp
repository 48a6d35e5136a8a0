// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <tuple>

#include "gui_support.h"
#include "testrun/results_report.h"
#include "testrun/saving.h"
#include "ui/qt/frmDoTestWindow.h"
#include "ui/qt/results_model.h"
#include "ui/qt/results_output.h"

namespace quillon::ui {
namespace {

using testing::child;
using testrun::ResultsGrid;

// The run's header, an information row (serial number in bold), the empty row and result rows.
ResultsGrid sampleGrid(int resultRows) {
    ResultsGrid grid;
    grid.setFormatString(testrun::kHeaderFormat);
    grid.appendTabbed("SN123\t\t10:00 Monday\t\tK2210\tA.01");
    grid.setEmphasis(1, 0, true);
    grid.appendTabbed("\t");
    for (int i = 0; i < resultRows; ++i) {
        grid.appendTabbed(
            " 464000000\t1\tGMSK Frequency Error\t-3.142\t-20.000\t20.000\tHz\tPass\t");
    }
    return grid;
}

TEST(ResultsGridModel, ShowsRowsAlignmentAndEmphasis) {
    ResultsGridModel model;
    model.setGrid(sampleGrid(2));
    const auto cell = [&model](int row, int col, int role) {
        return model.data(model.index(row, col), role);
    };
    ASSERT_EQ(model.rowCount(), 4);  // the header is the model's header
    ASSERT_EQ(model.columnCount(), 8);
    EXPECT_EQ(model.headerData(7, Qt::Horizontal, Qt::DisplayRole).toString(), "      Result");
    EXPECT_EQ(cell(3, 3, Qt::DisplayRole).toString(), "-3.142");
    EXPECT_TRUE(cell(2, 2, Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    EXPECT_TRUE(cell(0, 0, Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(cell(0, 2, Qt::FontRole).value<QFont>().bold());
}

// The test form with its file and printer choices replaced.
class TestForm : public ::testing::Test {
  protected:
    TestForm() { form.show(); }
    OutputChoosers choosers() {
        OutputChoosers chosen;
        chosen.saveFileName = [this](QWidget*, const QString&) { return chosenFile; };
        chosen.printer = [this](QWidget*, const QString&) -> std::unique_ptr<QPrinter> {
            if (pdfPath.isEmpty()) return nullptr;
            auto printer = std::make_unique<QPrinter>();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdfPath);
            return printer;
        };
        return chosen;
    }
    void clickSaveAndPrint() {
        for (const char* button : {"cmdSaveResults", "cmdPrintResults"})
            QTest::mouseClick(&child<QPushButton>(form, button), Qt::LeftButton);
    }

    QTemporaryDir folder;
    QString chosenFile, pdfPath;
    frmDoTestWindow form{choosers(), [] {}};
};

TEST_F(TestForm, VerdictLabelIsPaintedInItsColours) {
    const std::tuple<testrun::Verdict, const char*, QColor, QColor> looks[] = {
        {testrun::Verdict::Pass, "Pass", QColor(0, 255, 0), QColor(0, 0, 0)},
        {testrun::Verdict::Fail, "Fail", QColor(255, 0, 0), QColor(255, 255, 255)}};
    auto& label = child<QLabel>(form, "lblPassFail");
    for (const auto& [verdict, text, background, ink] : looks) {
        form.setVerdict(verdict);
        ASSERT_TRUE(label.isVisible());
        EXPECT_EQ(label.text(), text);
        const QImage image = label.grab().toImage();
        EXPECT_EQ(image.pixelColor(1, 1), background) << text;
        bool textDrawn = false;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) textDrawn |= image.pixelColor(x, y) == ink;
        }
        EXPECT_TRUE(textDrawn) << text;
    }
}

TEST_F(TestForm, SaveAndPrintWriteOnlyWhereChosen) {
    const ResultsGrid grid = sampleGrid(70);
    form.showGrid(grid);
    clickSaveAndPrint();  // both cancelled
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
    chosenFile = folder.filePath(QStringLiteral("out.txt"));
    pdfPath = folder.filePath(QStringLiteral("results.pdf"));
    clickSaveAndPrint();
    QFile saved(chosenFile);
    QFile pdf(pdfPath);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly) && pdf.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().toStdString(), testrun::resultsFileText(grid));
    EXPECT_EQ(pdf.read(5), "%PDF-");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace quillon::ui
