// SPDX-License-Identifier: MIT
#include "records/pdf_report.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "records/run_record_json.h"

// QPdfWriter and QPainter rather than a charting module: Qt Gui alone (nothing more to install
// or ship) and vector output, so text stays text and the charts print sharp at any size.

namespace quillon::records {
namespace {

using testrun::ResultRecord;

// Points on A4 (the writer's resolution is set to 72 dots per inch).
constexpr double kPageWidth = 595.0;
constexpr double kPageHeight = 842.0;
constexpr double kMargin = 40.0;
constexpr double kRow = 13.0;

const QColor kPassColour(0, 140, 60);
const QColor kFailColour(200, 30, 30);

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QString number(double value) {
    return std::isfinite(value) ? QString::number(value, 'g', 6) : QStringLiteral("-");
}

QString joined(const std::vector<int>& values) {
    QStringList parts;
    for (int v : values) parts << QString::number(v);
    return parts.join(QStringLiteral(", "));
}

// Lays text and charts down the pages, starting a new page when the next block does not fit.
class Pages {
  public:
    explicit Pages(QPdfWriter& writer) : writer_(writer), painter_(&writer) {}
    QPainter& painter() { return painter_; }
    double& y() { return y_; }
    void need(double height) {
        if (y_ + height <= kPageHeight - kMargin) return;
        writer_.newPage();
        y_ = kMargin;
    }
    void font(double points, bool bold = false) {
        QFont f(QStringLiteral("Sans Serif"));
        f.setPointSizeF(points);
        f.setBold(bold);
        // No shaping: no ligatures, so "fi" stays two letters a reader can search for.
        f.setStyleStrategy(QFont::PreferNoShaping);
        painter_.setFont(f);
    }
    void line(const QString& s, double height = kRow) {
        need(height);
        painter_.drawText(QRectF(kMargin, y_, kPageWidth - 2 * kMargin, height),
                          Qt::AlignLeft | Qt::AlignVCenter, s);
        y_ += height;
    }

  private:
    QPdfWriter& writer_;
    QPainter painter_;
    double y_ = kMargin;
};

void titleBlock(Pages& pages, const RunDocument& document) {
    const testrun::RunRecord& r = document.record;
    pages.font(18, true);
    pages.line(QStringLiteral("Test set verification report"), 28);
    pages.font(9);
    const auto& t = r.testSet;
    pages.line(
        QStringLiteral("Test set: %1 %2, serial number %3, firmware %4")
            .arg(text(t.manufacturer), text(t.model), text(t.serialNumber), text(t.firmware)));
    pages.line(
        QStringLiteral("Test application: %1 revision %2; resource %3")
            .arg(text(t.testApplication), text(t.testApplicationRevision), text(t.resource)));
    pages.line(QStringLiteral("Options: bands %1; tests %2; %3 iterations")
                   .arg(joined(r.choice.bands), joined(r.choice.tests))
                   .arg(r.choice.iterations));
    pages.line(
        QStringLiteral("Start %1, end %2 (UTC)").arg(text(utcText(r.start)), text(utcText(r.end))));
    QString calibration = QStringLiteral("not checked");
    if (r.calibration.checked) {
        calibration = r.calibration.gridCode.empty()
                          ? QStringLiteral("checked, nothing written")
                          : QStringLiteral("tables written (%1)").arg(text(r.calibration.gridCode));
    }
    pages.line(QStringLiteral("Calibration data: ") + calibration);
    if (r.stoppedBy) {
        pages.line(QStringLiteral("Stopped by an instrument error in %1 at: %2")
                       .arg(text(r.stoppedBy->bandName), text(r.stoppedBy->stage)));
    }
    pages.line(QStringLiteral("Program %1 %2, run %3")
                   .arg(text(document.program.name), text(document.program.version),
                        text(document.runId)));
    pages.font(14, true);
    pages.painter().setPen(r.pass ? kPassColour : kFailColour);
    pages.line(r.pass ? QStringLiteral("Verdict: Pass")
                      : QStringLiteral("Verdict: Fail (%1 failed)").arg(r.failCount),
               26);
    pages.painter().setPen(Qt::black);
    pages.y() += 8;
}

void resultsTable(Pages& pages, const std::vector<ResultRecord>& results) {
    // Column left edges; the last column ends at the right margin.
    static constexpr double kColumns[] = {0, 62, 100, 262, 330, 385, 440, 480};
    static const char* const kHeads[] = {"Band",      "Source",     "Test", "Value",
                                         "Low limit", "High limit", "Unit", "Result"};
    QPainter& p = pages.painter();
    auto row = [&](const QStringList& cells, bool bold) {
        pages.need(kRow);
        pages.font(8, bold);
        for (int i = 0; i < cells.size(); ++i) {
            const double right = i + 1 < cells.size() ? kColumns[i + 1] : kPageWidth - 2 * kMargin;
            p.drawText(QRectF(kMargin + kColumns[i], pages.y(), right - kColumns[i] - 4, kRow),
                       Qt::AlignLeft | Qt::AlignVCenter, cells[i]);
        }
        pages.y() += kRow;
    };
    pages.font(12, true);
    pages.line(QStringLiteral("Results"), 20);
    QStringList heads;
    for (const char* h : kHeads) heads << QString::fromLatin1(h);
    row(heads, true);
    for (const ResultRecord& r : results) {
        p.setPen(r.passed() ? Qt::black : kFailColour);
        row({text(r.bandName), QString::number(r.source), text(r.name), number(r.value),
             number(r.lowLimit), r.highLimit ? number(*r.highLimit) : QStringLiteral("-"),
             text(r.unit), text(r.passFail)},
            false);
        p.setPen(Qt::black);
    }
    pages.y() += 10;
}

// Where a value sits between its limits: 0 at the low limit, 1 at the high one, so every test
// lines up. A floor has no high limit; its scale is the limit's own size, or the value's
// distance from it when the limit is zero.
double position(const ResultRecord& r) {
    const double span = r.highLimit
                            ? *r.highLimit - r.lowLimit
                            : std::max(std::fabs(r.lowLimit), std::fabs(r.value - r.lowLimit));
    return span > 0.0 ? (r.value - r.lowLimit) / span : 0.5;
}

void marginChart(Pages& pages, const std::string& bandName,
                 const std::vector<const ResultRecord*>& rows) {
    constexpr double kLabelWidth = 170.0;
    constexpr double kChartRow = 14.0;
    const double left = kMargin + kLabelWidth;
    const double width = kPageWidth - kMargin - left;
    // The limits at a quarter and three quarters of the width leave room outside them.
    const double x0 = left + width * 0.25;
    const double x1 = left + width * 0.75;
    const double height = 20 + 14 + kChartRow * static_cast<double>(rows.size());
    pages.need(std::min(height, kPageHeight - 2 * kMargin));
    pages.painter().setPen(Qt::black);
    pages.font(12, true);
    pages.line(QStringLiteral("Margins, %1").arg(text(bandName)), 20);
    QPainter& p = pages.painter();
    p.setPen(Qt::black);
    pages.font(7);
    p.drawText(QRectF(x0 - 40, pages.y(), 80, 12), Qt::AlignCenter, QStringLiteral("low limit"));
    p.drawText(QRectF(x1 - 40, pages.y(), 80, 12), Qt::AlignCenter, QStringLiteral("high limit"));
    pages.y() += 14;
    for (const ResultRecord* r : rows) {
        pages.need(kChartRow);
        const double y = pages.y();
        const double mid = y + kChartRow / 2;
        pages.font(8);
        p.setPen(Qt::black);
        p.drawText(QRectF(kMargin, y, kLabelWidth - 6, kChartRow), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Source %1  %2").arg(r->source).arg(text(r->name)));
        // The allowed range: a closed bar at each limit, open to the right for a floor.
        p.setPen(QPen(Qt::gray, 1));
        const double end = r->highLimit ? x1 : left + width;
        p.drawLine(QPointF(x0, mid), QPointF(end, mid));
        p.setPen(QPen(Qt::black, 1.2));
        p.drawLine(QPointF(x0, y + 2), QPointF(x0, y + kChartRow - 2));
        if (r->highLimit) p.drawLine(QPointF(x1, y + 2), QPointF(x1, y + kChartRow - 2));
        if (std::isfinite(r->value)) {
            // Values far outside are held at the chart's edge.
            const double x = std::clamp(x0 + position(*r) * (x1 - x0), left + 4, left + width - 4);
            const QColor colour = r->passed() ? kPassColour : kFailColour;
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawEllipse(QPointF(x, mid), 3.5, 3.5);
            p.setBrush(Qt::NoBrush);
        }
        pages.y() += kChartRow;
    }
    pages.y() += 10;
}

}  // namespace

QByteArray renderPdfReport(const RunDocument& document) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72);
        writer.setTitle(QStringLiteral("Test set verification report %1")
                            .arg(text(document.record.testSet.serialNumber)));
        writer.setCreator(text(document.program.name));
        Pages pages(writer);
        titleBlock(pages, document);
        resultsTable(pages, document.record.results);
        // One chart per band, in the order the bands were run.
        std::vector<std::string> bands;
        for (const ResultRecord& r : document.record.results) {
            if (std::find(bands.begin(), bands.end(), r.bandName) == bands.end()) {
                bands.push_back(r.bandName);
            }
        }
        for (const std::string& band : bands) {
            std::vector<const ResultRecord*> rows;
            for (const ResultRecord& r : document.record.results) {
                if (r.bandName == band) rows.push_back(&r);
            }
            marginChart(pages, band, rows);
        }
    }
    return bytes;
}

Delivery PdfReportSink::deliver(const RunDocument& document) {
    // The console front-end has no application object; fonts need a gui one. Offscreen needs
    // no display and nothing set by the user.
    std::unique_ptr<QGuiApplication> offscreen;
    if (!QCoreApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "quillon";
        static char* argv[] = {name, nullptr};
        offscreen = std::make_unique<QGuiApplication>(argc, argv);
    }
    std::string error;
    if (writeWholeFile(path_, renderPdfReport(document), error)) return {};
    return {Delivery::Status::Failed, "report not saved to " + path_ + ": " + error};
}

}  // namespace quillon::records
