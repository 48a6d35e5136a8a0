// SPDX-License-Identifier: MIT
#include <QDateTime>
#include <QLocale>
#include <chrono>
#include <utility>

#include "testrun/display_format.h"
#include "testrun/frmDoTest.h"

namespace quillon::testrun {
namespace {

using namespace std::chrono_literals;

constexpr int kSource1Configs = 4;
constexpr int kSource2Configs = 1;
constexpr auto kConfigSettle = 1000ms;
constexpr const char* kRunErrorText =
    "Error running tests.  Please check 4750 screen and try again";

const std::string kNoText;

}  // namespace

const std::array<frmDoTest::Band, 5> frmDoTest::kBands = {{
    {"GSM450", " 464000000", 276, 270},
    {"GSM850", " 882000000", 192, 198},
    {"PGSM", " 943000000", 40, 46},
    {"DCS", "1842000000", 696, 702},
    {"PCS", "1959000000", 656, 662},
}};

frmDoTest::frmDoTest(instrument::clsVisa& visa, instrument::ProgramValues& program,
                     OperatorInterface& ui, RunSettings settings)
    : visa_(visa), program_(program), ui_(ui), settings_(std::move(settings)), options_(program) {
    displayNumber = [](double value) { return displayNumberText(value, QLocale::system()); };
    startTimeText = [] { return dateTimeText(QDateTime::currentDateTime(), QLocale::system()); };
    ui_.setVerdict(Verdict::Hidden);
    loadDelaySettingFile();
    loadDataDelayFile();
}

frmDoTest::~frmDoTest() = default;

measurements::MeasurementContext frmDoTest::context() const {
    return {visa_, program_};
}

instrument::ViSession frmDoTest::vi() const {
    return mom_ ? mom_->MomVI() : 0;
}

const std::string& frmDoTest::serialNumber() const {
    return mom_ ? mom_->MomSerialNumber() : kNoText;
}

const frmDoTest::Band* frmDoTest::bandAt(std::int16_t band) {
    if (band < 0 || static_cast<std::size_t>(band) >= kBands.size()) return nullptr;
    return &kBands[static_cast<std::size_t>(band)];
}

void frmDoTest::setStatus(const std::string& text) {
    ui_.setLabel(FormLabel::TestStatus, text);
}

void frmDoTest::setProgress(int value, int maximum) {
    progressValue_ = value;
    progressMaximum_ = maximum;
    ui_.setProgress(progressValue_, progressMaximum_);
}

void frmDoTest::stepProgress() {
    setProgress(progressValue_ + 1, progressMaximum_);
}

void frmDoTest::publishGrid() {
    ui_.showGrid(grid_);
}

void frmDoTest::selectDefaultOptions() {
    for (std::int16_t band = 0; band < TestOptions::kBands; ++band) options_.setBand(band, true);
    for (std::int16_t test = 0; test < TestOptions::kCalibrateSource; ++test) {
        options_.setTest(test, true);
    }
}

// As if the operator had opened the options dialog on the defaults, made the preset's choice
// and pressed "Run Test".
void frmDoTest::applyPreset(const PresetChoice& preset) {
    if (preset.bands) {
        for (std::int16_t band = 0; band < TestOptions::kBands; ++band) {
            options_.setBand(band, false);
        }
        for (const int band : *preset.bands)
            options_.setBand(static_cast<std::int16_t>(band), true);
    }
    if (preset.tests) {
        for (std::int16_t test = 0; test < TestOptions::kCalibrateSource; ++test) {
            options_.setTest(test, false);
        }
        for (const int test : *preset.tests) {
            if (test != TestOptions::kCalibrateSource) {
                options_.setTest(static_cast<std::int16_t>(test), true);
            }
        }
    }
    if (preset.iterations) options_.setSliderValue(*preset.iterations);
    options_.runTestPressed();
}

void frmDoTest::runWizardAndOptions() {
    WizardOutcome outcome{true, false};  // accepted: Next, Next, Go! without Shift
    if (!settings_.acceptWizard) outcome = ui_.runWizard(serialNumber());
    if (!outcome.okayPressed) ui_.endProgram(kExitWizardCancelled);
    if (settings_.preset) {
        applyPreset(*settings_.preset);
    } else if (outcome.shiftHeld) {
        ui_.runOptions(options_);
    }
}

void frmDoTest::createRunMeasurements() {
    src1Pfer_ = std::make_unique<measurements::clsPFERMeas>(context());
    src1Pvt_ = std::make_unique<measurements::clsPVTMeas>(context());
    src1ModAcc_ = std::make_unique<measurements::clsModAcc>(context());
    src2Pfer_ = std::make_unique<measurements::clsPFERMeas>(context());
    src2Pvt_ = std::make_unique<measurements::clsPVTMeas>(context());
    src1Pfer_->initMeas(kSource1Configs);
    src1Pvt_->initMeas(kSource1Configs);
    src1ModAcc_->initMeas(kSource1Configs);
    src2Pfer_->initMeas(kSource2Configs);
    src2Pvt_->initMeas(kSource2Configs);
}

// The burst power checks compare against the CW references measured for this band.
void frmDoTest::createBandMeasurements() {
    src1GmskPower_ = std::make_unique<measurements::clsGmskPower>(context());
    src1EpskPower_ = std::make_unique<measurements::clsEpskPower>(context());
    src2GmskPower_ = std::make_unique<measurements::clsGmskPower>(context());
    const Levels& l = levels_;
    src1GmskPower_->initMeas(kSource1Configs, l.src1MainPower, l.src1Offset1CWPower,
                             l.src1Offset2CWPower);
    src1EpskPower_->initMeas(kSource1Configs, l.src1MainPower, l.src1Offset1CWPower,
                             l.src1Offset2CWPower);
    src2GmskPower_->initMeas(kSource2Configs, l.src2MainPower, l.src1Offset1CWPower,
                             l.src1Offset2CWPower);
}

void frmDoTest::releaseBandMeasurements() {
    src1GmskPower_.reset();
    src1EpskPower_.reset();
    src2GmskPower_.reset();
}

// Each configuration gets its settling pause even after a failure, so every chosen band costs
// the same time.
void frmDoTest::runSource1Configs(bool& runFailed) {
    for (std::int16_t config = 0; config < kSource1Configs; ++config) {
        if (!runFailed) runFailed = setupConfig(config);
        ui_.pause(kConfigSettle);
        if (!runFailed) runFailed = runSource1Tests(config);
    }
}

void frmDoTest::runBand(std::int16_t band, bool& runFailed) {
    ui_.yield();
    if (!options_.getBand(band)) return;
    if (!runFailed) {
        ui_.setLabel(FormLabel::Band, kBands[static_cast<std::size_t>(band)].name);
        setStatus("Initialising source");
        runFailed = setupBand(false, band);
    }
    if (!runFailed) runFailed = findPowerThresholds(band);
    if (!runFailed) {
        runFailed = measureSource1CWPowers();
        if (!runFailed) runFailed = measureSource2CWPower(band);
    }
    createBandMeasurements();
    runSource1Configs(runFailed);
    if (!runFailed) runFailed = setupBand(true, band);
    if (!runFailed) runFailed = runSource2Tests();
    if (!runFailed) reportBandResults(band);
    releaseBandMeasurements();
}

void frmDoTest::showVerdict(bool pass) {
    ui_.setVerdict(pass ? Verdict::Pass : Verdict::Fail);
    grid_.setCell(kInfoRow, kVerdictColumn, pass ? "Pass" : "Fail");
    grid_.setEmphasis(kInfoRow, kVerdictColumn, true);
    publishGrid();
}

RunOutcome frmDoTest::runTest() {
    const instrument::ViSession session = vi();
    visa_.sendInstrument(session, "*rst");
    visa_.sendInstrument(session, "*cls");
    ui_.setLabel(FormLabel::SerialNumber, serialNumber());
    setStatus("Not Started");
    createRunMeasurements();
    writeGridHeader();
    selectDefaultOptions();
    runWizardAndOptions();

    ui_.yield();
    runStart_ = startTimeText ? startTimeText() : std::string();
    addInformationRow();
    if (options_.getTest(TestOptions::kCalibrateSource)) {
        checkBbgenDelayCalData(session, grid_, kInfoRow, kCalCodeColumn);
    }
    grid_.appendTabbed("\t");
    publishGrid();
    setProgress(0, options_.numTests());
    ui_.setResultButtonsEnabled(false);

    bool runFailed = false;
    for (std::int16_t band = 0; band < static_cast<std::int16_t>(kBands.size()); ++band) {
        runBand(band, runFailed);
    }

    setStatus("Test Complete");
    ui_.setResultButtonsEnabled(true);
    showVerdict(!runFailed && failCount_ == 0);
    setProgress(0, progressMaximum_);
    if (runFailed)
        ui_.messageBox(instrument::clsVisa::kTitle, kRunErrorText, MessageIcon::Critical);
    return RunOutcome{runFailed, failCount_};
}

}  // namespace quillon::testrun
