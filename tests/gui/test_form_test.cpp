// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "gui_support.h"
#include "testrun/frmDoTest.h"
#include "testrun/saving.h"
#include "ui/qt/frmDoTestWindow.h"
#include "ui/qt/results_model.h"
#include "ui/qt/results_output.h"

namespace quillon::ui {
namespace {

using testing::child;
using testrun::ResultsGrid;

ResultsGrid sampleGrid(int resultRows) {
    ResultsGrid grid;
    grid.setFormatString(testrun::frmDoTest::kHeaderFormat);
    grid.appendTabbed("SN123\t\t10:00 Monday\t\tK2210\tA.01");
    grid.setEmphasis(1, 0, true);
    grid.appendTabbed("\t");
    for (int i = 0; i < resultRows; ++i) {
        grid.appendTabbed(
            " 464000000\t1\tGMSK Frequency Error\t-3.142\t-20.000\t20.000\tHz\tPass\t");
    }
    return grid;
}

TEST(ResultsGridModel, ShowsHeaderRowsAlignmentAndEmphasis) {
    testing::guiApplication();
    ResultsGridModel model;
    ResultsGrid grid = sampleGrid(2);
    grid.setCell(1, 7, "Fail");
    grid.setEmphasis(1, 7, true);
    model.setGrid(grid);

    ASSERT_EQ(model.columnCount(), 8);
    ASSERT_EQ(model.rowCount(), 4);  // information, empty and two result rows
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Frequency   ");
    EXPECT_EQ(model.headerData(7, Qt::Horizontal, Qt::DisplayRole).toString(), "      Result");
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(), "SN123");
    EXPECT_EQ(model.data(model.index(0, 7), Qt::DisplayRole).toString(), "Fail");
    EXPECT_EQ(model.data(model.index(2, 0), Qt::DisplayRole).toString(), " 464000000");
    EXPECT_EQ(model.data(model.index(3, 3), Qt::DisplayRole).toString(), "-3.142");
    const auto align = model.data(model.index(2, 2), Qt::TextAlignmentRole).value<Qt::Alignment>();
    EXPECT_TRUE(align.testFlag(Qt::AlignRight));

    const auto font = [&](int row, int col) {
        return model.data(model.index(row, col), Qt::FontRole).value<QFont>();
    };
    EXPECT_TRUE(font(0, 0).bold());
    EXPECT_TRUE(font(0, 7).bold());
    EXPECT_FALSE(font(0, 2).bold());
    EXPECT_FALSE(font(2, 0).bold());
    EXPECT_TRUE(isMonospaced(font(2, 0)));
}

TEST(ResultsGridModel, LeftAlignedColumnsStayLeft) {
    testing::guiApplication();
    ResultsGridModel model;
    ResultsGrid grid;
    grid.setFormatString("Name|>Value");
    grid.appendTabbed("a\t1");
    model.setGrid(grid);
    const auto align = [&](int col) {
        return model.data(model.index(0, col), Qt::TextAlignmentRole).value<Qt::Alignment>();
    };
    EXPECT_TRUE(align(0).testFlag(Qt::AlignLeft));
    EXPECT_TRUE(align(1).testFlag(Qt::AlignRight));
}

TEST(ResultsGridModel, AppendedRowsAreInsertedNotReset) {
    testing::guiApplication();
    ResultsGridModel model;
    model.setGrid(sampleGrid(1));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    ResultsGrid grown = sampleGrid(3);
    grown.setCell(1, 7, "Pass");
    model.setGrid(grown);
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(inserts.count(), 1);
    EXPECT_EQ(inserts[0][1].toInt(), 3);
    EXPECT_EQ(inserts[0][2].toInt(), 4);
    EXPECT_EQ(changes.count(), 1);  // the verdict cell of an old row
    EXPECT_EQ(model.data(model.index(0, 7), Qt::DisplayRole).toString(), "Pass");
}

struct FileFilter {
    const char* paired;
    const char* qt;
};

void PrintTo(const FileFilter& value, std::ostream* out) {
    *out << '"' << value.paired << '"';
}

class QtFileFilter : public ::testing::TestWithParam<FileFilter> {};

TEST_P(QtFileFilter, ConvertsPairs) {
    EXPECT_EQ(qtFileFilter(GetParam().paired), GetParam().qt);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, QtFileFilter,
    ::testing::Values(
        FileFilter{testrun::kSaveFilter,
                   "Comma separated variables (*.csv);;Text files (*.txt);;All files (*.*)"},
        FileFilter{"Pictures|*.png;*.bmp", "Pictures (*.png *.bmp)"}, FileFilter{"Odd|", "Odd ()"},
        FileFilter{"", ""}));

// The test form with its file and printer choices replaced.
class TestForm : public ::testing::Test {
  protected:
    TestForm() {
        testing::guiApplication();
        OutputChoosers choosers;
        choosers.saveFileName = [this](QWidget*, const QString& proposed) {
            proposedName = proposed;
            return chosenFile;
        };
        choosers.printer = [this](QWidget*, const QString&) -> std::unique_ptr<QPrinter> {
            if (pdfPath.isEmpty()) return nullptr;
            auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdfPath);
            return printer;
        };
        form.emplace(choosers, [this] { exitRequests.push_back(0); });
        form->setLabel(testrun::FormLabel::SerialNumber, "GB4455");
        form->resize(800, 400);
        form->show();
    }
    template <typename Widget>
    Widget& control(const char* name) {
        return child<Widget>(*form, name);
    }

    QTemporaryDir folder;
    QString chosenFile;
    QString proposedName;
    QString pdfPath;
    std::vector<int> exitRequests;
    std::optional<frmDoTestWindow> form;
};

TEST_F(TestForm, HasItsCaptionsAndAccessKeys) {
    EXPECT_EQ(form->windowTitle(), "4750 8PSK Source Verification");
    EXPECT_EQ(control<QLabel>("Label1").text(),
              "Corvane Technologies 4750 EDGE Source Verification");
    EXPECT_EQ(control<QLabel>("lblSerialNumberText").text(), "Instrument Serial Number: ");
    EXPECT_EQ(control<QLabel>("lblSerialNumber").text(), "GB4455");
    EXPECT_EQ(control<QLabel>("Label5").text(), "Main Power:");
    EXPECT_EQ(control<QLabel>("Label3").text(), "Offset 1 Power:");
    EXPECT_EQ(control<QLabel>("Label4").text(), "Offset 2 Power:");
    EXPECT_EQ(control<QPushButton>("cmdSaveResults").text(), "&Save Results");
    EXPECT_EQ(control<QPushButton>("cmdPrintResults").text(), "&Print Results");
    EXPECT_EQ(control<QPushButton>("cmdExit").text(), "E&xit");
    EXPECT_FALSE(control<QLabel>("lblPassFail").isVisible());
}

TEST_F(TestForm, LabelsGoWhereTheRunSays) {
    using testrun::FormLabel;
    const std::vector<std::pair<FormLabel, const char*>> labels = {
        {FormLabel::Band, "lblBand"},
        {FormLabel::TestStatus, "lblTestStatus"},
        {FormLabel::MainPower, "lblMainPower"},
        {FormLabel::Offset1Power, "lblOffset1Power"},
        {FormLabel::Offset2Power, "lblOffset2Power"}};
    for (const auto& [label, name] : labels) {
        form->setLabel(label, name);
        EXPECT_EQ(control<QLabel>(name).text(), name);
    }
}

TEST_F(TestForm, ProgressWithoutWorkShowsAnEmptyBarNotABusyOne) {
    QProgressBar& bar = control<QProgressBar>("prgMeasurement");
    form->setProgress(3, 115);
    EXPECT_EQ(bar.maximum(), 115);
    EXPECT_EQ(bar.value(), 3);
    form->setProgress(0, 0);
    EXPECT_GT(bar.maximum(), bar.minimum());
    EXPECT_EQ(bar.value(), 0);
}

struct VerdictLook {
    testrun::Verdict verdict;
    const char* text;
    QColor background;
    QColor foreground;
};

void PrintTo(const VerdictLook& value, std::ostream* out) {
    *out << value.text;
}

class VerdictColours : public TestForm, public ::testing::WithParamInterface<VerdictLook> {};

TEST_P(VerdictColours, PaintTheVerdictLabel) {
    form->setVerdict(GetParam().verdict);
    QLabel& label = control<QLabel>("lblPassFail");
    ASSERT_TRUE(label.isVisible());
    EXPECT_EQ(label.text(), GetParam().text);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), GetParam().foreground);
    const QImage picture = label.grab().toImage();
    EXPECT_EQ(picture.pixelColor(1, 1), GetParam().background);
    bool textDrawn = false;
    for (int y = 0; y < picture.height() && !textDrawn; ++y) {
        for (int x = 0; x < picture.width() && !textDrawn; ++x) {
            textDrawn = picture.pixelColor(x, y) == GetParam().foreground;
        }
    }
    EXPECT_TRUE(textDrawn);
}

INSTANTIATE_TEST_SUITE_P(Verdicts, VerdictColours,
                         ::testing::Values(VerdictLook{testrun::Verdict::Pass, "Pass",
                                                       QColor(0, 255, 0), QColor(0, 0, 0)},
                                           VerdictLook{testrun::Verdict::Fail, "Fail",
                                                       QColor(255, 0, 0), QColor(255, 255, 255)}));

TEST_F(TestForm, ResultButtonsFollowTheRun) {
    form->setResultButtonsEnabled(false);
    EXPECT_FALSE(control<QPushButton>("cmdSaveResults").isEnabled());
    EXPECT_FALSE(control<QPushButton>("cmdPrintResults").isEnabled());
    EXPECT_TRUE(control<QPushButton>("cmdExit").isEnabled());
    form->setResultButtonsEnabled(true);
    EXPECT_TRUE(control<QPushButton>("cmdSaveResults").isEnabled());
    EXPECT_TRUE(control<QPushButton>("cmdPrintResults").isEnabled());
}

TEST_F(TestForm, ColumnsAreAsWideAsTheirHeaders) {
    form->showGrid(sampleGrid(1));
    auto& view = control<QTableView>("grdResults");
    const QFontMetrics metrics(view.horizontalHeader()->font());
    for (int c = 0; c < 8; ++c) {
        const QString header = view.model()->headerData(c, Qt::Horizontal).toString();
        EXPECT_GE(view.columnWidth(c), metrics.horizontalAdvance(header)) << c;
        EXPECT_LE(view.columnWidth(c), metrics.horizontalAdvance(header) + 24) << c;
    }
    // "Test" is the widest header, "Source" the narrowest but one.
    EXPECT_GT(view.columnWidth(2), view.columnWidth(1));
}

TEST_F(TestForm, ExitAndClosingAskToEndTheProgram) {
    QTest::mouseClick(&control<QPushButton>("cmdExit"), Qt::LeftButton);
    form->close();
    EXPECT_EQ(exitRequests, (std::vector<int>{0, 0}));
}

TEST_F(TestForm, SaveWritesTheGridToTheChosenFile) {
    const ResultsGrid grid = sampleGrid(3);
    form->showGrid(grid);
    chosenFile = folder.filePath(QStringLiteral("out.txt"));
    QTest::mouseClick(&control<QPushButton>("cmdSaveResults"), Qt::LeftButton);
    EXPECT_EQ(proposedName, "GB4455.csv");
    QFile file(chosenFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), testrun::resultsFileText(grid));
}

TEST_F(TestForm, CancelledSaveWritesNothing) {
    form->showGrid(sampleGrid(1));
    chosenFile.clear();
    QTest::mouseClick(&control<QPushButton>("cmdSaveResults"), Qt::LeftButton);
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
}

TEST_F(TestForm, FailedSaveSaysWhyAndKeepsTheGrid) {
    form->showGrid(sampleGrid(2));
    chosenFile = folder.filePath(QStringLiteral("missing/folder/out.csv"));
    QString shown;
    testing::whenModalOpens([&shown](QWidget& modal) {
        auto& box = dynamic_cast<QMessageBox&>(modal);
        shown = box.text();
        box.accept();
    });
    QTest::mouseClick(&control<QPushButton>("cmdSaveResults"), Qt::LeftButton);
    EXPECT_TRUE(shown.contains(chosenFile)) << shown.toStdString();
    EXPECT_EQ(form->grid().rows(), 5);
}

TEST_F(TestForm, PrintMakesAPageAndKeepsTheScrollPosition) {
    form->showGrid(sampleGrid(70));
    auto& view = control<QTableView>("grdResults");
    QApplication::processEvents();
    view.verticalScrollBar()->setValue(20);
    pdfPath = folder.filePath(QStringLiteral("results.pdf"));
    QTest::mouseClick(&control<QPushButton>("cmdPrintResults"), Qt::LeftButton);
    const QFileInfo pdf(pdfPath);
    ASSERT_TRUE(pdf.exists());
    EXPECT_GT(pdf.size(), 0);
    QFile file(pdfPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");
    EXPECT_EQ(view.verticalScrollBar()->value(), 20);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TestForm, CancelledPrintPrintsNothing) {
    form->showGrid(sampleGrid(2));
    pdfPath.clear();
    QTest::mouseClick(&control<QPushButton>("cmdPrintResults"), Qt::LeftButton);
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
}

}  // namespace
}  // namespace quillon::ui
