// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "instrument/clsMom.h"
#include "instrument/clsVisa.h"
#include "measurements/burst_power.h"
#include "measurements/clsModAcc.h"
#include "measurements/clsPFERMeas.h"
#include "measurements/clsPVTMeas.h"
#include "testrun/calibration_data.h"
#include "testrun/operator_interface.h"
#include "testrun/results_grid.h"
#include "testrun/test_options.h"

namespace quillon::testrun {

// Gain of the test set's internal loopback path between a source and the analyzer, in dB.
inline constexpr double kLoopbackGain = 20.0;

// A choice of bands, tests and iterations made before the run (the command line), applied as
// if the operator had opened the options dialog, started from the defaults and pressed
// "Run Test". Empty members keep the default.
struct PresetChoice {
    std::optional<std::vector<int>> bands;
    std::optional<std::vector<int>> tests;  // test 8 stays chosen
    std::optional<int> iterations;
};

struct RunSettings {
    bool acceptWizard = false;  // Next, Next, Go! without Shift, no prompts
    std::optional<PresetChoice> preset;
    std::string calibrationDirectory;  // where the two calibration data files are looked for
};

// How the run ended, for the exit code of a run that reached its end.
struct RunOutcome {
    bool runFailed = false;
    std::int16_t failCount = 0;
};

// The test form: prepares the test set, runs the verification band by band, fills the results
// grid and restores the test set. The windows themselves belong to the front-ends; this class
// talks to them through OperatorInterface.
class frmDoTest {
  public:
    struct Band {
        const char* name;
        const char* frequency;  // Hz, right-aligned in ten characters
        std::int16_t arfcn;
        std::int16_t secondArfcn;
    };
    static const std::array<Band, 5> kBands;
    static constexpr const char* kHeaderFormat =
        ">Frequency   |>Source  |>Test                      |>Value     |>Lo Lim   |>Hi Lim   "
        "|>Unit  |>      Result";

    // Construction is the form load: band table, calibration tables and their files.
    frmDoTest(instrument::clsVisa& visa, instrument::ProgramValues& program, OperatorInterface& ui,
              RunSettings settings);
    ~frmDoTest();
    frmDoTest(const frmDoTest&) = delete;
    frmDoTest& operator=(const frmDoTest&) = delete;

    // Preparation and restoration.
    bool prepareForTest(std::int16_t number);
    bool tidyUp();

    // The run.
    RunOutcome runTest();

    const ResultsGrid& grid() const { return grid_; }
    const TestOptions& options() const { return options_; }
    TestOptions& options() { return options_; }
    std::int16_t failCount() const { return failCount_; }
    const std::shared_ptr<instrument::clsMom>& mom() const { return mom_; }

    // Loopback and band configuration.
    bool setupBand(bool source2, std::int16_t band);
    bool setupConfig(std::int16_t config);

    // Source level calibration.
    bool findPowerThresholds(std::int16_t band);
    bool measureSource1CWPowers();
    bool measureSource2CWPower(std::int16_t band);

    // Source test sequences.
    bool runSource1Tests(std::int16_t config);
    bool runSource2Tests();

    // Results table.
    void writeGridHeader();
    void addInformationRow();
    void reportBandResults(std::int16_t band);

    // Baseband generator delay calibration data.
    void loadDelaySettingFile();
    void loadDataDelayFile();
    bool checkBbgenDelayCalData(instrument::ViSession vi, ResultsGrid& grid, std::int16_t row,
                                std::int16_t col);

    // Level values left by the source level calibration.
    struct Levels {
        double mainPower = 0.0;
        double offset1Power = 0.0;
        double offset2Power = 0.0;
        double src1MainPower = 0.0;
        double src1Offset1CWPower = 0.0;
        double src1Offset2CWPower = 0.0;
        double src2MainPower = 0.0;
    };
    Levels& levels() { return levels_; }

    std::array<double, 25>& delaySettingTable() { return delaySettingTable_; }
    std::array<double, 5>& dataDelayTable() { return dataDelayTable_; }
    bool delaySettingBuiltIn() const { return delaySettingBuiltIn_; }
    bool dataDelayBuiltIn() const { return dataDelayBuiltIn_; }

    // How numbers and the start time are shown in the grid (the PC's regional formats by
    // default); tests replace them.
    std::function<std::string(double)> displayNumber;
    std::function<std::string()> startTimeText;

  private:
    struct SequenceStep;
    struct CalTableKind;

    // The information row under the header: serial number, calibration code and verdict cells.
    static constexpr std::int16_t kInfoRow = 1;
    static constexpr std::int16_t kSerialColumn = 0;
    static constexpr std::int16_t kCalCodeColumn = 3;
    static constexpr std::int16_t kVerdictColumn = 7;

    measurements::MeasurementContext context() const;
    instrument::ViSession vi() const;
    const std::string& serialNumber() const;
    static const Band* bandAt(std::int16_t band);

    // Run driver.
    void createRunMeasurements();
    void createBandMeasurements();
    void releaseBandMeasurements();
    void runWizardAndOptions();
    void selectDefaultOptions();
    void applyPreset(const PresetChoice& preset);
    void setStatus(const std::string& text);
    void setProgress(int value, int maximum);
    void stepProgress();
    void publishGrid();
    void showVerdict(bool pass);
    void runBand(std::int16_t band, bool& runFailed);
    void runSource1Configs(bool& runFailed);

    // Loopback, levels and sequences.
    bool sendChain(const std::vector<std::string>& commands);
    bool searchAttenuation(double target, double& level, double* previousLevel);
    bool runSequence(const std::vector<SequenceStep>& steps);

    // Results table.
    void reportPferRows(std::int16_t band, const char* source,
                        const measurements::clsPFERMeas& meas);
    void reportPvtRow(std::int16_t band, const char* source, const measurements::clsPVTMeas& meas);
    template <typename Power>
    void reportPowerRow(std::int16_t band, const char* source, const char* test, const Power& meas);
    void reportModAccRows(std::int16_t band);
    void appendResultRow(std::int16_t band, const char* source, const char* test, double value,
                         double lowLimit, const std::string& highLimit, const std::string& unit,
                         const std::function<std::string(double)>& passFail);

    instrument::clsVisa& visa_;
    instrument::ProgramValues& program_;
    OperatorInterface& ui_;
    RunSettings settings_;
    TestOptions options_;
    ResultsGrid grid_;

    std::shared_ptr<instrument::clsMom> mom_;
    std::int16_t savedCorrectionState_ = 0;
    std::int16_t failCount_ = 0;
    int progressValue_ = 0;
    int progressMaximum_ = 0;
    bool oneSecondElapsed_ = false;

    Levels levels_;
    std::array<double, 25> delaySettingTable_ = kBuiltInDelaySetting;
    std::array<double, 5> dataDelayTable_ = kBuiltInDataDelay;
    bool delaySettingBuiltIn_ = true;
    bool dataDelayBuiltIn_ = true;

    std::unique_ptr<measurements::clsPFERMeas> src1Pfer_;
    std::unique_ptr<measurements::clsPVTMeas> src1Pvt_;
    std::unique_ptr<measurements::clsModAcc> src1ModAcc_;
    std::unique_ptr<measurements::clsPFERMeas> src2Pfer_;
    std::unique_ptr<measurements::clsPVTMeas> src2Pvt_;
    std::unique_ptr<measurements::clsGmskPower> src1GmskPower_;
    std::unique_ptr<measurements::clsEpskPower> src1EpskPower_;
    std::unique_ptr<measurements::clsGmskPower> src2GmskPower_;

    // Calibration data.
    bool compareCalTables(instrument::ViSession vi, const CalTableKind& kind,
                          std::span<const double> table);
    void writeCalTables(instrument::ViSession vi, const CalTableKind& kind,
                        std::span<const double> table);
    void waitForSync(instrument::ViSession vi);
    std::string runStart_;  // start time and date as shown in the information row
};

}  // namespace quillon::testrun
