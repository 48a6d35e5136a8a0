// SPDX-License-Identifier: MIT
#include <chrono>
#include <memory>
#include <utility>

#include "instrument/clsMom.h"
#include "instrument/clsVisa.h"
#include "measurements/measurement_common.h"
#include "testrun/calibration_check.h"
#include "testrun/frmDoTest.h"
#include "testrun/loopback.h"
#include "testrun/operator_interface.h"
#include "testrun/run_measurements.h"
#include "testrun/source_levels.h"

namespace quillon::testrun {
namespace {

using namespace std::chrono_literals;

constexpr auto kConfigSettle = 1000ms;
constexpr const char* kRunErrorText =
    "Error running tests.  Please check 4750 screen and try again";

const std::string kNoText;

}  // namespace

frmDoTest::frmDoTest(instrument::clsVisa& visa, instrument::ProgramValues& program,
                     OperatorInterface& ui, RunSettings settings, DisplayFormats formats)
    : visa_(visa),
      program_(program),
      ui_(ui),
      settings_(std::move(settings)),
      options_(program),
      report_(ui, std::move(formats)),
      sourceLevels_(std::make_unique<SourceLevels>(visa, program, ui)),
      calibration_(std::make_unique<CalibrationCheck>(
          visa, ui, loadCalibrationTables(settings_.calibrationDirectory))),
      measurements_(std::make_unique<RunMeasurements>()) {
    ui_.setVerdict(Verdict::Hidden);
    calibration_->beforeWrite = [this](const CalibrationOutcome& read) {
        if (!settings_.beforeCalibrationWrite) {
            return;
        }
        const std::string problem = settings_.beforeCalibrationWrite(serialNumber(), read.readings);
        if (!problem.empty()) {
            ui_.reportProblem("Calibration backup not written: " + problem);
        }
    };
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

void frmDoTest::selectDefaultOptions() {
    for (std::int16_t band = 0; band < TestOptions::kBands; ++band) {
        options_.setBand(band, true);
    }
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
        for (const int band : *preset.bands) {
            options_.setBand(static_cast<std::int16_t>(band), true);
        }
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
    if (preset.iterations) {
        options_.setSliderValue(*preset.iterations);
    }
    options_.runTestPressed();
}

void frmDoTest::runWizardAndOptions() {
    WizardOutcome outcome{true, false};  // accepted: Next, Next, Go! without Shift
    if (!settings_.acceptWizard) {
        outcome = ui_.runWizard(serialNumber());
    }
    if (!outcome.okayPressed) {
        ui_.endProgram(kExitWizardCancelled);
    }
    if (settings_.preset) {
        applyPreset(*settings_.preset);
    } else if (outcome.shiftHeld) {
        ui_.runOptions(options_);
    }
}

// The information row, the calibration data check's code in it, and the empty row.
void frmDoTest::startResults() {
    report_.addInformationRow(mom_.get());
    if (options_.getTest(TestOptions::kCalibrateSource)) {
        const CalibrationOutcome calibration = calibration_->run(vi());
        if (!calibration.gridCode.empty()) {
            report_.setCalibrationCode(calibration.gridCode);
        }
        record_.calibration = {true, calibration.settingDiffers, calibration.dataDiffers,
                               calibration.gridCode};
    }
    report_.addSeparatorRow();
}

// One error chain: after the first failure nothing further reaches the test set.
bool frmDoTest::sendChain(const std::vector<std::string>& commands) {
    return measurements::sendChain(context(), vi(), false, commands);
}

// Each configuration gets its settling pause even after a failure, so every chosen band costs
// the same time.
void frmDoTest::runSource1Configs(const Band& band, bool& runFailed) {
    const Levels& levels = sourceLevels_->levels();
    for (std::int16_t config = 0; config < kSource1Configs; ++config) {
        const std::string n = std::to_string(config);
        if (!runFailed) {
            runFailed = sendChain(configCommands(config, levels));
        }
        noteStop(band, "loopback configuration " + n, runFailed);
        ui_.pause(kConfigSettle);
        if (!runFailed) {
            runFailed = runSource1Tests(config);
        }
        noteStop(band, "source 1 tests, configuration " + n, runFailed);
    }
}

// The first step that failed, for the run's record.
void frmDoTest::noteStop(const Band& band, const std::string& stage, bool runFailed) {
    if (runFailed && !record_.stoppedBy) {
        record_.stoppedBy = RunStop{static_cast<int>(&band - kBands.data()), band.name, stage};
    }
}

// Once a step has failed, no later step of the run reaches the test set.
void frmDoTest::runBand(const Band& band, bool& runFailed) {
    if (!runFailed) {
        ui_.setLabel(FormLabel::Band, band.name);
        setStatus("Initialising source");
        runFailed = sendChain(source1Arrangement(band));
        noteStop(band, "source 1 arrangement", runFailed);
    }
    if (!runFailed) {
        runFailed = sourceLevels_->findPowerThresholds(vi(), band);
    }
    noteStop(band, "source level search", runFailed);
    if (!runFailed) {
        runFailed = sourceLevels_->measureSource1CWPowers(vi());
        noteStop(band, "source 1 CW references", runFailed);
        if (!runFailed) {
            runFailed = sourceLevels_->measureSource2CWPower(vi(), band);
        }
        noteStop(band, "source 2 CW reference", runFailed);
    }
    measurements_->createForBand(context(), sourceLevels_->levels());
    runSource1Configs(band, runFailed);
    if (!runFailed) {
        runFailed = sendChain(source2Arrangement(band, sourceLevels_->levels()));
    }
    noteStop(band, "source 2 arrangement", runFailed);
    if (!runFailed) {
        runFailed = runSource2Tests();
    }
    noteStop(band, "source 2 tests", runFailed);
    if (!runFailed) {
        report_.reportBand(band, options_, *measurements_);
    }
    measurements_->releaseBand();
}

void frmDoTest::finishRun(bool runFailed) {
    record_.end = std::chrono::system_clock::now();
    record_.results = report_.results();
    record_.pass = !runFailed && report_.failCount() == 0;
    record_.failCount = report_.failCount();
    setStatus("Test Complete");
    ui_.setResultButtonsEnabled(true);
    report_.showVerdict(!runFailed && report_.failCount() == 0);
    setProgress(0, progressMaximum_);
    if (runFailed) {
        ui_.messageBox(instrument::kProgramTitle, kRunErrorText, MessageIcon::Critical);
    }
}

// What the run measures and on which test set, once the wizard and the options are done.
void frmDoTest::recordChoiceAndIdentity() {
    record_.start = std::chrono::system_clock::now();
    if (mom_) {
        record_.testSet = {mom_->MomManufacturer(), mom_->MomModel(),
                           mom_->MomSerialNumber(), mom_->MomInstrumentFirmware(),
                           mom_->MomTA(),           mom_->MomFirmwareVersion(),
                           mom_->MomResource()};
    }
    for (std::int16_t band = 0; band < TestOptions::kBands; ++band) {
        if (options_.getBand(band)) {
            record_.choice.bands.push_back(band);
        }
    }
    for (std::int16_t test = 0; test < TestOptions::kCalibrateSource; ++test) {
        if (options_.getTest(test)) {
            record_.choice.tests.push_back(test);
        }
    }
    record_.choice.iterations = program_.measurementIterations;
}

RunOutcome frmDoTest::runTest() {
    visa_.sendInstrument(vi(), "*rst");
    visa_.sendInstrument(vi(), "*cls");
    ui_.setLabel(FormLabel::SerialNumber, serialNumber());
    setStatus("Not Started");
    measurements_->createForRun(context());
    report_.writeHeader();
    selectDefaultOptions();
    runWizardAndOptions();

    ui_.yield();
    recordChoiceAndIdentity();
    startResults();
    setProgress(0, options_.progressSteps());
    ui_.setResultButtonsEnabled(false);

    bool runFailed = false;
    for (std::size_t band = 0; band < kBands.size(); ++band) {
        ui_.yield();
        if (options_.getBand(static_cast<std::int16_t>(band))) {
            runBand(kBands[band], runFailed);
        }
    }
    finishRun(runFailed);
    return RunOutcome{runFailed, report_.failCount()};
}

}  // namespace quillon::testrun
