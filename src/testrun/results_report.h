// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "testrun/band_table.h"
#include "testrun/results_grid.h"
#include "testrun/run_record.h"

namespace quillon::instrument {
class clsMom;
}

namespace quillon::testrun {

class OperatorInterface;
class TestOptions;
struct ResultRow;
struct RunMeasurements;

// The results table's columns: "|" separates them, ">" right-aligns one.
inline constexpr const char* kHeaderFormat =
    ">Frequency   |>Source  |>Test                      |>Value     |>Lo Lim   |>Hi Lim   "
    "|>Unit  |>      Result";

// How numbers and the run's start are shown in the table.
struct DisplayFormats {
    std::function<std::string(double)> number;
    std::function<std::string()> startTime;  // read once, when the information row is added

    // The PC's regional formats and the current time.
    static DisplayFormats regional();
};

// The results table of a run: header, information row, the band results and the verdict. Every
// change is shown at once through the operator interface; the failures are counted here.
class ResultsReport {
  public:
    ResultsReport(OperatorInterface& ui, DisplayFormats formats)
        : ui_(ui), formats_(std::move(formats)) {}

    void writeHeader();
    // Serial number, start time, test application and firmware of the test set (blank without).
    void addInformationRow(const instrument::clsMom* mom);
    void setCalibrationCode(const std::string& code);
    void addSeparatorRow();
    // The rows of the chosen tests whose objects exist, in test order.
    void reportBand(const Band& band, const TestOptions& options,
                    const RunMeasurements& measurements);
    void showVerdict(bool pass);

    const ResultsGrid& grid() const { return grid_; }
    std::int16_t failCount() const { return failCount_; }
    // Every row so far with the numbers behind its texts, for the run's record.
    const std::vector<ResultRecord>& results() const { return results_; }

  private:
    void publish();
    void appendRow(const ResultRow& row);
    void keepRecord(const ResultRow& row);

    OperatorInterface& ui_;
    DisplayFormats formats_;
    ResultsGrid grid_;
    std::int16_t failCount_ = 0;
    std::vector<ResultRecord> results_;
};

}  // namespace quillon::testrun
