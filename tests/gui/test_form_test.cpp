// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <tuple>

#include "gui_support.h"
#include "testrun/results_report.h"
#include "testrun/saving.h"
#include "ui/qt/frmDoTestWindow.h"
#include "ui/qt/message_box.h"
#include "ui/qt/results_model.h"
#include "ui/qt/results_output.h"

namespace quillon::ui {
namespace {

using testing::child;
using testrun::ResultsGrid;

// A start time and date longer than its column's header text.
constexpr const char* kStartTime = "10:00 AM Wednesday, September 30, 2026";

// The run's header, an information row (serial number in bold), the empty row and result rows,
// the last of which failed.
ResultsGrid sampleGrid(int resultRows) {
    ResultsGrid grid;
    grid.setFormatString(testrun::kHeaderFormat);
    grid.appendTabbed(std::string("SN123\t\t") + kStartTime + "\t\tK2210\tA.01");
    grid.setEmphasis(1, 0, true);
    grid.appendTabbed("\t");
    for (int i = 0; i < resultRows; ++i) {
        grid.appendTabbed(
            " 464000000\t1\tGMSK Frequency Error\t-3.142\t-20.000\t20.000\tHz\tPass\t");
    }
    grid.setCell(grid.rows() - 1, 7, "Fail");
    grid.setFailure(grid.rows() - 1, 7, true);
    return grid;
}

// A grid shown whole, then followed by its changes only: one insertion per new row, one notice
// per changed cell, never a notice over the rows already shown.
TEST(ResultsGridModel, ShowsAGridThenFollowsItByItsChangesOnly) {
    ResultsGridModel model;
    ResultsGrid grid = sampleGrid(2);
    grid.takeChanges();
    model.setGrid(grid);
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
    EXPECT_EQ(cell(3, 7, Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    EXPECT_FALSE(cell(2, 7, Qt::ForegroundRole).isValid());

    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    for (int row = 4; row < 30; ++row) {
        grid.appendTabbed("x\ty");
        model.applyChanges(grid.takeChanges());
        ASSERT_EQ(inserted.size(), row - 3);
        EXPECT_EQ(inserted.back().at(1).toInt(), row);  // first
        EXPECT_EQ(inserted.back().at(2).toInt(), row);  // last
    }
    grid.setCell(6, 7, "Fail");
    grid.setFailure(6, 7, true);
    model.applyChanges(grid.takeChanges());
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0].at(0).toModelIndex(), model.index(5, 7));
    EXPECT_EQ(changed[0].at(1).toModelIndex(), model.index(5, 7));
    EXPECT_EQ(cell(5, 7, Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    EXPECT_EQ(resets.size(), 0);
    EXPECT_EQ(model.rowCount(), 30);
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

// Save and Print are unusable until the run enables them, and write only where chosen.
TEST_F(TestForm, SaveAndPrintActOnlyOnceEnabledAndWriteOnlyWhereChosen) {
    const ResultsGrid grid = sampleGrid(70);
    form.showGrid(grid);
    for (const char* name : {"cmdSaveResults", "cmdPrintResults"})
        EXPECT_FALSE(child<QPushButton>(form, name).isEnabled()) << name;
    form.setResultButtonsEnabled(true);
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
    // The start time and date is whole on the screen; printing takes the screen's columns.
    const auto& view = child<QTableView>(form, "grdResults");
    EXPECT_LT(QFontMetrics(view.font()).horizontalAdvance(QString::fromLatin1(kStartTime)),
              view.columnWidth(2));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A message box shows its text with exactly the text's own line breaks, however long a line.
TEST(MessageBox, ShowsExactlyTheLinesOfItsText) {
    const std::string longLine(110, 'x');
    const std::pair<std::string, int> cases[] = {
        {"One line only.", 1},
        {"No software for GPIB seems to be installed. Specifically, the correct Visa32.dll is "
         "not installed.",
         1},
        {"First\r\n\r\nThis line is rather longer than half of a small screen would hold, "
         "or so it seems.\r\nPlease ensure this one, which is longer still than the line "
         "before it, stays whole.\r\nend",
         5},
        {"a\r\n" + longLine, 2},
    };
    for (const auto& [text, lines] : cases) {
        SCOPED_TRACE(text);
        const auto box = makeMessageBox(nullptr, "Title", text, testrun::MessageIcon::Exclamation);
        box->show();
        QCoreApplication::processEvents();
        const auto& label = *box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        const QRect laidOut =
            QFontMetrics(label.font())
                .boundingRect(label.contentsRect(), Qt::TextWordWrap | Qt::TextExpandTabs,
                              label.text());
        EXPECT_EQ(laidOut.height() / QFontMetrics(label.font()).lineSpacing(), lines);
        EXPECT_GE(label.height(), laidOut.height());
        box->hide();
    }
}

}  // namespace
}  // namespace quillon::ui
