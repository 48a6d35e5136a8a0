// SPDX-License-Identifier: MIT
#include "testrun/results_report.h"

#include <QDateTime>
#include <QLocale>

#include "instrument/clsMom.h"
#include "instrument/conventions.h"
#include "testrun/display_format.h"
#include "testrun/operator_interface.h"
#include "testrun/run_measurements.h"
#include "testrun/test_options.h"

namespace quillon::testrun {
namespace {

constexpr const char* kNoHighLimit = "---";

// The information row under the header: serial number, calibration code and verdict cells.
constexpr int kInfoRow = 1;
constexpr int kSerialColumn = 0;
constexpr int kCalCodeColumn = 3;
constexpr int kVerdictColumn = 7;

// A cell's text never holds the grid's own separator or a line break.
std::string cellText(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

bool isLineBreak(QChar c) {
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == u'\v' || u == u'\f' || u == 0x85 || u == 0x2028 ||
           u == 0x2029;
}

}  // namespace

// The command-language level text has the right shape; only its point becomes the locale's.
std::string displayNumberText(double value, const QLocale& locale) {
    std::string text = instrument::levelText(value);
    const std::size_t point = text.find('.');
    if (point != std::string::npos) text.replace(point, 1, locale.decimalPoint().toStdString());
    return text;
}

std::string dateTimeText(const QDateTime& when, const QLocale& locale) {
    QString text = locale.toString(when.time(), QLocale::ShortFormat) + QLatin1Char(' ') +
                   locale.toString(when.date(), QLocale::LongFormat);
    text.removeIf(isLineBreak);
    return text.toStdString();
}

DisplayFormats DisplayFormats::regional() {
    return {[](double value) { return displayNumberText(value, QLocale::system()); },
            [] { return dateTimeText(QDateTime::currentDateTime(), QLocale::system()); }};
}

void ResultsReport::publish() {
    ui_.updateGrid(grid_.takeChanges());
}

void ResultsReport::writeHeader() {
    grid_.setFormatString(kHeaderFormat);
    publish();
}

void ResultsReport::addInformationRow(const instrument::clsMom* mom) {
    const std::string start = formats_.startTime ? formats_.startTime() : std::string();
    std::string serial;
    std::string application;
    std::string firmware;
    if (mom != nullptr) {
        serial = cellText(mom->MomSerialNumber());
        application = cellText(mom->MomTA());
        firmware = cellText(mom->MomFirmwareVersion());
    }
    grid_.appendTabbed(serial + "\t\t" + cellText(start) + "\t\t" + application + "\t" + firmware);
    grid_.setEmphasis(kInfoRow, kSerialColumn, true);
    publish();
}

void ResultsReport::setCalibrationCode(const std::string& code) {
    grid_.setCell(kInfoRow, kCalCodeColumn, code);
    publish();
}

void ResultsReport::addSeparatorRow() {
    grid_.appendTabbed("\t");
    publish();
}

void ResultsReport::showVerdict(bool pass) {
    ui_.setVerdict(pass ? Verdict::Pass : Verdict::Fail);
    grid_.setCell(kInfoRow, kVerdictColumn, pass ? "Pass" : "Fail");
    grid_.setEmphasis(kInfoRow, kVerdictColumn, true);
    grid_.setFailure(kInfoRow, kVerdictColumn, !pass);
    publish();
}

void ResultsReport::appendRow(const ResultRow& r) {
    const std::string row = std::string(r.band->frequency) + "\t" + r.source + "\t" + r.test +
                            "\t" + formats_.number(r.value) + "\t" + formats_.number(r.lowLimit) +
                            "\t" + r.highLimit + "\t" + cellText(r.unit) + "\t" +
                            cellText(r.verdict) + "\t";
    grid_.appendTabbed(row);
    if (r.verdict != "Pass") {
        ++failCount_;
        grid_.setFailure(grid_.rows() - 1, kVerdictColumn, true);
    }
    publish();
}

namespace {

// The rows of each kind of measurement object, in the order the table lists them.
class BandRows {
  public:
    BandRows(const Band& band, std::int16_t index, const DisplayFormats& formats,
             std::function<void(const ResultRow&)> append)
        : band_(band), index_(index), number_(formats.number), append_(std::move(append)) {}

    void pfer(const char* source, const measurements::clsPFERMeas& m) const {
        const std::int16_t b = index_;
        row(source, "GMSK Frequency Error", m.maxFreqError(), m.freqErrLowLimit(b),
            number_(m.freqErrHighLimit(b)), m.freqErrUnits(),
            [&](double v) { return m.getFreqErrPassFailString(v, b); });
        row(source, "GMSK RMS Phase Error", m.maxRmsPhaseError(), m.rmsPhaseErrLowLimit(b),
            number_(m.rmsPhaseErrHighLimit(b)), m.rmsPhaseErrUnits(),
            [&](double v) { return m.getRmsPhaseErrPassFailString(v, b); });
        row(source, "GMSK Peak Phase Error", m.maxPeakPhaseError(), m.peakPhaseErrLowLimit(b),
            number_(m.peakPhaseErrHighLimit(b)), m.peakPhaseErrUnits(),
            [&](double v) { return m.getPeakPhaseErrPassFailString(v, b); });
    }

    void pvt(const char* source, const measurements::clsPVTMeas& m) const {
        const std::int16_t b = index_;
        row(source, "GMSK Burst Flatness", m.worstBurstFlatness(), m.burstFlatnessLowLimit(b),
            number_(m.burstFlatnessHighLimit(b)), m.burstFlatnessUnits(),
            [&](double v) { return m.getBurstFlatnessPassFailString(v, b); });
    }

    template <typename Power>
    void power(const char* source, const char* test, const Power& m) const {
        row(source, test, m.maxPowerErr(), m.powerErrLowLimit(), number_(m.powerErrHighLimit()),
            m.powerErrUnits(), [&](double v) { return m.getPowerErrPassFailString(v); });
    }

    void modAcc(const measurements::clsModAcc& m) const {
        const std::int16_t b = index_;
        row("1", "EPSK Frequency Error", m.worstEpskFreqError(), m.epskFreqErrorLowLimit(b),
            number_(m.epskFreqErrorHighLimit(b)), m.epskFreqErrorUnits(),
            [&](double v) { return m.getEpskFreqErrorPassFailString(v, b); });
        row("1", "EPSK RMS EVM", m.worstRmsEvm(), m.rmsEvmLowLimit(b),
            number_(m.rmsEvmHighLimit(b)), m.rmsEvmUnits(),
            [&](double v) { return m.getRmsEvmPassFailString(v, b); });
        row("1", "EPSK Origin Offset", m.worstOriginOffset(), m.originOffsetLowLimit(b),
            kNoHighLimit, m.originOffsetUnits(),
            [&](double v) { return m.getOriginOffsetPassFailString(v, b); });
    }

  private:
    template <typename PassFail>
    void row(const char* source, const char* test, double value, double lowLimit,
             std::string highLimit, std::string unit, const PassFail& passFail) const {
        append_(ResultRow{&band_, source, test, value, lowLimit, std::move(highLimit),
                          std::move(unit), passFail(value)});
    }

    const Band& band_;
    std::int16_t index_;
    const std::function<std::string(double)>& number_;
    std::function<void(const ResultRow&)> append_;
};

}  // namespace

// Rows only for the chosen tests whose objects exist; the driver calls this after both source
// sequences of a band completed.
void ResultsReport::reportBand(const Band& band, const TestOptions& options,
                               const RunMeasurements& m) {
    const auto index = static_cast<std::int16_t>(&band - kBands.data());
    const BandRows rows(band, index, formats_, [this](const ResultRow& row) { appendRow(row); });
    using T = TestOptions;
    const auto chosen = [&](std::int16_t test, const auto& object) {
        return options.getTest(test) && object != nullptr;
    };
    if (chosen(T::kSrc1Pfer, m.src1Pfer)) rows.pfer("1", *m.src1Pfer);
    if (chosen(T::kSrc1Pvt, m.src1Pvt)) rows.pvt("1", *m.src1Pvt);
    if (chosen(T::kSrc1GmskPower, m.src1GmskPower)) {
        rows.power("1", "GMSK Power", *m.src1GmskPower);
    }
    if (chosen(T::kSrc1EpskPower, m.src1EpskPower)) {
        rows.power("1", "EPSK Power", *m.src1EpskPower);
    }
    if (chosen(T::kSrc1ModAcc, m.src1ModAcc)) rows.modAcc(*m.src1ModAcc);
    if (chosen(T::kSrc2Pfer, m.src2Pfer)) rows.pfer("2", *m.src2Pfer);
    if (chosen(T::kSrc2Pvt, m.src2Pvt)) rows.pvt("2", *m.src2Pvt);
    if (chosen(T::kSrc2GmskPower, m.src2GmskPower)) {
        rows.power("2", "GMSK Power", *m.src2GmskPower);
    }
}

}  // namespace quillon::testrun
