// SPDX-License-Identifier: MIT
#include "instrument/conventions.h"
#include "testrun/display_format.h"
#include "testrun/frmDoTest.h"

namespace quillon::testrun {
namespace {

constexpr const char* kNoHighLimit = "---";

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

void frmDoTest::writeGridHeader() {
    grid_.setFormatString(kHeaderFormat);
    publishGrid();
}

void frmDoTest::addInformationRow() {
    std::string serial;
    std::string application;
    std::string firmware;
    if (mom_) {
        serial = cellText(mom_->MomSerialNumber());
        application = cellText(mom_->MomTA());
        firmware = cellText(mom_->MomFirmwareVersion());
    }
    grid_.appendTabbed(serial + "\t\t" + cellText(runStart_) + "\t\t" + application + "\t" +
                       firmware);
    grid_.setEmphasis(kInfoRow, kSerialColumn, true);
    publishGrid();
}

void frmDoTest::appendResultRow(std::int16_t band, const char* source, const char* test,
                                double value, double lowLimit, const std::string& highLimit,
                                const std::string& unit,
                                const std::function<std::string(double)>& passFail) {
    const std::string verdict = passFail(value);
    const std::string row = std::string(kBands[static_cast<std::size_t>(band)].frequency) + "\t" +
                            source + "\t" + test + "\t" + displayNumber(value) + "\t" +
                            displayNumber(lowLimit) + "\t" + highLimit + "\t" + cellText(unit) +
                            "\t" + cellText(verdict) + "\t";
    grid_.appendTabbed(row);
    publishGrid();
    if (verdict != "Pass") ++failCount_;
}

void frmDoTest::reportPferRows(std::int16_t band, const char* source,
                               const measurements::clsPFERMeas& m) {
    appendResultRow(band, source, "GMSK Frequency Error", m.maxFreqError(), m.freqErrLowLimit(band),
                    displayNumber(m.freqErrHighLimit(band)), m.freqErrUnits(),
                    [&](double v) { return m.getFreqErrPassFailString(v, band); });
    appendResultRow(band, source, "GMSK RMS Phase Error", m.maxRmsPhaseError(),
                    m.rmsPhaseErrLowLimit(band), displayNumber(m.rmsPhaseErrHighLimit(band)),
                    m.rmsPhaseErrUnits(),
                    [&](double v) { return m.getRmsPhaseErrPassFailString(v, band); });
    appendResultRow(band, source, "GMSK Peak Phase Error", m.maxPeakPhaseError(),
                    m.peakPhaseErrLowLimit(band), displayNumber(m.peakPhaseErrHighLimit(band)),
                    m.peakPhaseErrUnits(),
                    [&](double v) { return m.getPeakPhaseErrPassFailString(v, band); });
}

void frmDoTest::reportPvtRow(std::int16_t band, const char* source,
                             const measurements::clsPVTMeas& m) {
    appendResultRow(band, source, "GMSK Burst Flatness", m.worstBurstFlatness(),
                    m.burstFlatnessLowLimit(band), displayNumber(m.burstFlatnessHighLimit(band)),
                    m.burstFlatnessUnits(),
                    [&](double v) { return m.getBurstFlatnessPassFailString(v, band); });
}

template <typename Power>
void frmDoTest::reportPowerRow(std::int16_t band, const char* source, const char* test,
                               const Power& m) {
    appendResultRow(band, source, test, m.maxPowerErr(), m.powerErrLowLimit(),
                    displayNumber(m.powerErrHighLimit()), m.powerErrUnits(),
                    [&](double v) { return m.getPowerErrPassFailString(v); });
}

void frmDoTest::reportModAccRows(std::int16_t band) {
    const measurements::clsModAcc& m = *src1ModAcc_;
    appendResultRow(band, "1", "EPSK Frequency Error", m.worstEpskFreqError(),
                    m.epskFreqErrorLowLimit(band), displayNumber(m.epskFreqErrorHighLimit(band)),
                    m.epskFreqErrorUnits(),
                    [&](double v) { return m.getEpskFreqErrorPassFailString(v, band); });
    appendResultRow(band, "1", "EPSK RMS EVM", m.worstRmsEvm(), m.rmsEvmLowLimit(band),
                    displayNumber(m.rmsEvmHighLimit(band)), m.rmsEvmUnits(),
                    [&](double v) { return m.getRmsEvmPassFailString(v, band); });
    appendResultRow(band, "1", "EPSK Origin Offset", m.worstOriginOffset(),
                    m.originOffsetLowLimit(band), kNoHighLimit, m.originOffsetUnits(),
                    [&](double v) { return m.getOriginOffsetPassFailString(v, band); });
}

// Rows only for the chosen tests whose objects exist; the driver calls this after both source
// sequences of a band completed.
void frmDoTest::reportBandResults(std::int16_t band) {
    if (bandAt(band) == nullptr) return;
    using T = TestOptions;
    const auto chosen = [&](std::int16_t test, const auto& object) {
        return options_.getTest(test) && object != nullptr;
    };
    if (chosen(T::kSrc1Pfer, src1Pfer_)) reportPferRows(band, "1", *src1Pfer_);
    if (chosen(T::kSrc1Pvt, src1Pvt_)) reportPvtRow(band, "1", *src1Pvt_);
    if (chosen(T::kSrc1GmskPower, src1GmskPower_)) {
        reportPowerRow(band, "1", "GMSK Power", *src1GmskPower_);
    }
    if (chosen(T::kSrc1EpskPower, src1EpskPower_)) {
        reportPowerRow(band, "1", "EPSK Power", *src1EpskPower_);
    }
    if (chosen(T::kSrc1ModAcc, src1ModAcc_)) reportModAccRows(band);
    if (chosen(T::kSrc2Pfer, src2Pfer_)) reportPferRows(band, "2", *src2Pfer_);
    if (chosen(T::kSrc2Pvt, src2Pvt_)) reportPvtRow(band, "2", *src2Pvt_);
    if (chosen(T::kSrc2GmskPower, src2GmskPower_)) {
        reportPowerRow(band, "2", "GMSK Power", *src2GmskPower_);
    }
}

}  // namespace quillon::testrun
