// SPDX-License-Identifier: MIT
#include "testrun/results_report.h"

#include <QDateTime>
#include <QLocale>
#include <cstdlib>
#include <optional>

#include "instrument/clsMom.h"
#include "instrument/conventions.h"
#include "measurements/measurement_common.h"
#include "testrun/display_format.h"
#include "testrun/operator_interface.h"
#include "testrun/run_measurements.h"
#include "testrun/test_options.h"

namespace quillon::testrun {

// One result as a row of the table.
struct ResultRow {
    const Band* band;
    const char* source;  // "1" or "2"
    const char* test;
    double value;
    double lowLimit;
    std::optional<double> highLimit;  // none: a floor only, shown as "---"
    std::string unit;
    std::string verdict;  // the pass/fail text; anything but "Pass" counts as a failure
    int testIndex;        // the options' test the row belongs to
    std::vector<measurements::ConfigEntry> configurations;
};

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
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
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
    if (point != std::string::npos) {
        text.replace(point, 1, locale.decimalPoint().toStdString());
    }
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
    const std::string highLimit = r.highLimit ? formats_.number(*r.highLimit) : kNoHighLimit;
    const std::string row = std::string(r.band->frequency) + "\t" + r.source + "\t" + r.test +
                            "\t" + formats_.number(r.value) + "\t" + formats_.number(r.lowLimit) +
                            "\t" + highLimit + "\t" + cellText(r.unit) + "\t" +
                            cellText(r.verdict) + "\t";
    grid_.appendTabbed(row);
    if (r.verdict != "Pass") {
        ++failCount_;
        grid_.setFailure(grid_.rows() - 1, kVerdictColumn, true);
    }
    publish();
    keepRecord(r);
}

void ResultsReport::keepRecord(const ResultRow& r) {
    ResultRecord record;
    record.band = static_cast<int>(r.band - kBands.data());
    record.bandName = r.band->name;
    record.frequencyHz = std::atoll(r.band->frequency);
    record.source = r.source[0] == '2' ? 2 : 1;
    record.test = r.testIndex;
    record.name = r.test;
    record.value = r.value;
    record.lowLimit = r.lowLimit;
    record.highLimit = r.highLimit;
    record.unit = r.unit;
    record.passFail = r.verdict;
    for (const measurements::ConfigEntry& c : r.configurations) {
        record.configurations.push_back({c.config, c.value, c.integrity});
    }
    results_.push_back(std::move(record));
}

namespace {

// The rows of each kind of measurement object, in the order the table lists them.
class BandRows {
  public:
    BandRows(const Band& band, std::int16_t index, std::function<void(const ResultRow&)> append)
        : band_(band), index_(index), append_(std::move(append)) {}

    void pfer(const char* source, int test, const measurements::clsPFERMeas& m) const {
        const std::int16_t b = index_;
        row(source, test, "GMSK Frequency Error", m.maxFreqError(), m.freqErrLowLimit(b),
            m.freqErrHighLimit(b), m.freqErrUnits(), m.freqErrByConfig(),
            [&](double v) { return m.getFreqErrPassFailString(v, b); });
        row(source, test, "GMSK RMS Phase Error", m.maxRmsPhaseError(), m.rmsPhaseErrLowLimit(b),
            m.rmsPhaseErrHighLimit(b), m.rmsPhaseErrUnits(), m.rmsPhaseErrByConfig(),
            [&](double v) { return m.getRmsPhaseErrPassFailString(v, b); });
        row(source, test, "GMSK Peak Phase Error", m.maxPeakPhaseError(), m.peakPhaseErrLowLimit(b),
            m.peakPhaseErrHighLimit(b), m.peakPhaseErrUnits(), m.peakPhaseErrByConfig(),
            [&](double v) { return m.getPeakPhaseErrPassFailString(v, b); });
    }

    void pvt(const char* source, int test, const measurements::clsPVTMeas& m) const {
        const std::int16_t b = index_;
        row(source, test, "GMSK Burst Flatness", m.worstBurstFlatness(), m.burstFlatnessLowLimit(b),
            m.burstFlatnessHighLimit(b), m.burstFlatnessUnits(), m.burstFlatnessByConfig(),
            [&](double v) { return m.getBurstFlatnessPassFailString(v, b); });
    }

    template <typename Power>
    void power(const char* source, int test, const char* name, const Power& m) const {
        row(source, test, name, m.maxPowerErr(), m.powerErrLowLimit(), m.powerErrHighLimit(),
            m.powerErrUnits(), m.powerErrByConfig(),
            [&](double v) { return m.getPowerErrPassFailString(v); });
    }

    void modAcc(int test, const measurements::clsModAcc& m) const {
        const std::int16_t b = index_;
        row("1", test, "EPSK Frequency Error", m.worstEpskFreqError(), m.epskFreqErrorLowLimit(b),
            m.epskFreqErrorHighLimit(b), m.epskFreqErrorUnits(), m.epskFreqErrorByConfig(),
            [&](double v) { return m.getEpskFreqErrorPassFailString(v, b); });
        row("1", test, "EPSK RMS EVM", m.worstRmsEvm(), m.rmsEvmLowLimit(b), m.rmsEvmHighLimit(b),
            m.rmsEvmUnits(), m.rmsEvmByConfig(),
            [&](double v) { return m.getRmsEvmPassFailString(v, b); });
        row("1", test, "EPSK Origin Offset", m.worstOriginOffset(), m.originOffsetLowLimit(b),
            std::nullopt, m.originOffsetUnits(), m.originOffsetByConfig(),
            [&](double v) { return m.getOriginOffsetPassFailString(v, b); });
    }

  private:
    template <typename PassFail>
    void row(const char* source, int test, const char* name, double value, double lowLimit,
             std::optional<double> highLimit, std::string unit,
             std::vector<measurements::ConfigEntry> configurations,
             const PassFail& passFail) const {
        append_(ResultRow{&band_, source, name, value, lowLimit, highLimit, std::move(unit),
                          passFail(value), test, std::move(configurations)});
    }

    const Band& band_;
    std::int16_t index_;
    std::function<void(const ResultRow&)> append_;
};

}  // namespace

// Rows only for the chosen tests whose objects exist; the driver calls this after both source
// sequences of a band completed.
void ResultsReport::reportBand(const Band& band, const TestOptions& options,
                               const RunMeasurements& m) {
    const auto index = static_cast<std::int16_t>(&band - kBands.data());
    const BandRows rows(band, index, [this](const ResultRow& row) { appendRow(row); });
    using T = TestOptions;
    const auto chosen = [&](std::int16_t test, const auto& object) {
        return options.getTest(test) && object != nullptr;
    };
    if (chosen(T::kSrc1Pfer, m.src1Pfer)) {
        rows.pfer("1", T::kSrc1Pfer, *m.src1Pfer);
    }
    if (chosen(T::kSrc1Pvt, m.src1Pvt)) {
        rows.pvt("1", T::kSrc1Pvt, *m.src1Pvt);
    }
    if (chosen(T::kSrc1GmskPower, m.src1GmskPower)) {
        rows.power("1", T::kSrc1GmskPower, "GMSK Power", *m.src1GmskPower);
    }
    if (chosen(T::kSrc1EpskPower, m.src1EpskPower)) {
        rows.power("1", T::kSrc1EpskPower, "EPSK Power", *m.src1EpskPower);
    }
    if (chosen(T::kSrc1ModAcc, m.src1ModAcc)) {
        rows.modAcc(T::kSrc1ModAcc, *m.src1ModAcc);
    }
    if (chosen(T::kSrc2Pfer, m.src2Pfer)) {
        rows.pfer("2", T::kSrc2Pfer, *m.src2Pfer);
    }
    if (chosen(T::kSrc2Pvt, m.src2Pvt)) {
        rows.pvt("2", T::kSrc2Pvt, *m.src2Pvt);
    }
    if (chosen(T::kSrc2GmskPower, m.src2GmskPower)) {
        rows.power("2", T::kSrc2GmskPower, "GMSK Power", *m.src2GmskPower);
    }
}

}  // namespace quillon::testrun
