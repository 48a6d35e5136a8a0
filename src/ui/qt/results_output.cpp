// SPDX-License-Identifier: MIT
#include "ui/qt/results_output.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStringList>
#include <QTableView>
#include <algorithm>

#include "testrun/saving.h"
#include "ui/qt/results_model.h"

namespace quillon::ui {
namespace {

constexpr double kPrintZoom = 0.70;
constexpr double kTwipsPerInch = 1440.0;
constexpr double kLeftTwips = 1000.0;
constexpr double kTopTwips = 500.0;
constexpr int kPictureDensity = 3;

int twipsToDevice(double twips, int resolution) {
    return static_cast<int>(twips * resolution / kTwipsPerInch + 0.5);
}

// The size the table needs to show every row and column with its header.
QSize fullTableSize(const QTableView& view) {
    const int frame = 2 * view.frameWidth();
    int width = frame;
    for (int c = 0; c < view.model()->columnCount(); ++c) width += view.columnWidth(c);
    int height = frame + view.horizontalHeader()->height();
    for (int r = 0; r < view.model()->rowCount(); ++r) height += view.rowHeight(r);
    return {width, height};
}

// The picture of the whole table, every row and column with its header, taken from a copy of
// the view on the same model so that the rows scrolled out of sight are in it too. It is drawn
// at several times the screen's pixel density so that it stays sharp on paper.
QPixmap wholeTablePicture(const QTableView& shown) {
    QTableView copy;
    copy.setAttribute(Qt::WA_DontShowOnScreen);
    copy.setModel(shown.model());
    // Set up as the view on the screen, so that no cell is cut or shortened differently.
    setUpResultsView(copy);
    copy.setFont(shown.font());
    copy.horizontalHeader()->setFont(shown.horizontalHeader()->font());
    copy.verticalHeader()->setDefaultSectionSize(shown.verticalHeader()->defaultSectionSize());
    copy.setTextElideMode(shown.textElideMode());
    copy.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    copy.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int c = 0; c < shown.model()->columnCount(); ++c) {
        copy.setColumnWidth(c, shown.columnWidth(c));
    }
    copy.horizontalHeader()->setFixedHeight(shown.horizontalHeader()->height());
    copy.show();  // not on screen: lays out the header and the viewport
    const QSize size = fullTableSize(copy);
    copy.resize(size);

    QPixmap picture(size * kPictureDensity);
    picture.setDevicePixelRatio(kPictureDensity);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    copy.render(&painter);
    return picture;
}

// "Name (*.a)|*.a|Other|*.b" (description and pattern pairs) in the file dialog's syntax,
// "Name (*.a);;Other (*.b)".
QString qtFileFilter(const char* pairedFilter) {
    const QStringList parts = QString::fromLatin1(pairedFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const bool named = description.contains(QLatin1Char('(') + patterns + QLatin1Char(')'));
        filters << (named ? description
                          : description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

// The file-save dialog: proposed name, the results filter with its first entry selected, a
// confirmation before replacing a file.
QString askSaveFileName(QWidget* owner, const QString& proposedName) {
    const QString filter = qtFileFilter(testrun::kSaveFilter);
    QString selected = filter.section(QStringLiteral(";;"), 0, 0);
    return QFileDialog::getSaveFileName(owner, QString(), proposedName, filter, &selected);
}

// The default printer, or where there is none, a PDF file the operator names.
std::unique_ptr<QPrinter> askPrinter(QWidget* owner, const QString& proposedPdf) {
    const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
    if (!defaultPrinter.isNull()) {
        return std::make_unique<QPrinter>(defaultPrinter, QPrinter::HighResolution);
    }
    const auto answer =
        QMessageBox::question(owner, QStringLiteral("No printer"),
                              QStringLiteral("No printer is set up on this computer.\n\n"
                                             "Print the results to a PDF file instead?"));
    if (answer != QMessageBox::Yes) return nullptr;
    const QString path =
        QFileDialog::getSaveFileName(owner, QStringLiteral("Print to PDF file"), proposedPdf,
                                     QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty()) return nullptr;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    return printer;
}

}  // namespace

OutputChoosers OutputChoosers::interactive() {
    return {askSaveFileName, askPrinter};
}

bool printTablePicture(QTableView& view, QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const int resolution = printer.resolution();
    const double toDevice = static_cast<double>(resolution) / view.logicalDpiX();
    const QRect page = painter.viewport();
    const QPoint origin(twipsToDevice(kLeftTwips, resolution),
                        twipsToDevice(kTopTwips, resolution));
    const QPixmap picture = wholeTablePicture(view);
    const QSizeF size = picture.deviceIndependentSize() * toDevice;
    // 70 %, or less where the whole picture would not fit on the page.
    const double zoom = std::min({kPrintZoom, (page.width() - origin.x()) / size.width(),
                                  (page.height() - origin.y()) / size.height()});
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRectF(origin, size * zoom), picture, QRectF(picture.rect()));
    return painter.end();
}

}  // namespace quillon::ui
