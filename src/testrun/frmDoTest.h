// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "instrument/visa_types.h"
#include "testrun/results_report.h"
#include "testrun/run_record.h"
#include "testrun/run_settings.h"
#include "testrun/test_options.h"

namespace quillon::instrument {
class clsMom;
class clsVisa;
struct ProgramValues;
}  // namespace quillon::instrument

namespace quillon::measurements {
struct MeasurementContext;
}

namespace quillon::testrun {

class CalibrationCheck;
class OperatorInterface;
class SourceLevels;
struct RunMeasurements;

// The test form: prepares the test set, runs the verification band by band and restores the
// test set. The work itself belongs to its collaborators (level search and CW references,
// calibration data check, results report, loopback command lists); the windows belong to the
// front-ends, which it talks to through OperatorInterface.
class frmDoTest {
  public:
    // Construction is the form load: the calibration tables and their files.
    frmDoTest(instrument::clsVisa& visa, instrument::ProgramValues& program, OperatorInterface& ui,
              RunSettings settings, DisplayFormats formats = DisplayFormats::regional());
    ~frmDoTest();
    frmDoTest(const frmDoTest&) = delete;
    frmDoTest& operator=(const frmDoTest&) = delete;

    // Takes test set number from the bus, refuses an unsupported test application, saves the
    // correction state and switches correction off. True when that failed.
    bool prepareForTest(std::int16_t number);
    RunOutcome runTest();
    // Restores the correction state saved by prepareForTest.
    bool tidyUp();

    const ResultsGrid& grid() const { return report_.grid(); }
    // The finished run as records keep it; complete once runTest has returned.
    const RunRecord& runRecord() const { return record_; }

  private:
    struct SequenceStep;

    measurements::MeasurementContext context() const;
    instrument::ViSession vi() const;
    const std::string& serialNumber() const;

    // The run's steps.
    void selectDefaultOptions();
    void applyPreset(const PresetChoice& preset);
    void runWizardAndOptions();
    void startResults();
    void runBand(const Band& band, bool& runFailed);
    void runSource1Configs(const Band& band, bool& runFailed);
    void finishRun(bool runFailed);
    void noteStop(const Band& band, const std::string& stage, bool runFailed);
    void recordChoiceAndIdentity();

    bool sendChain(const std::vector<std::string>& commands);
    bool runSource1Tests(std::int16_t config);
    bool runSource2Tests();
    bool runSequence(const std::vector<SequenceStep>& steps);
    void setStatus(const std::string& text);
    void setProgress(int value, int maximum);
    void stepProgress();

    instrument::clsVisa& visa_;
    instrument::ProgramValues& program_;
    OperatorInterface& ui_;
    RunSettings settings_;
    TestOptions options_;
    ResultsReport report_;
    std::unique_ptr<SourceLevels> sourceLevels_;
    std::unique_ptr<CalibrationCheck> calibration_;
    std::unique_ptr<RunMeasurements> measurements_;

    std::shared_ptr<instrument::clsMom> mom_;
    std::int16_t savedCorrectionState_ = 0;
    int progressValue_ = 0;
    int progressMaximum_ = 0;
    RunRecord record_;
};

}  // namespace quillon::testrun
