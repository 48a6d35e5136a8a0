// SPDX-License-Identifier: MIT
#include "testrun/calibration_data.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "instrument/conventions.h"
#include "testrun/frmDoTest.h"

namespace quillon::testrun {
namespace {

using namespace std::chrono_literals;

constexpr int kInstances = 2;  // each kind of table exists twice in the test set, numbered 1, 2
constexpr auto kAfterWritePause = 1000ms;
constexpr auto kAfterStorePause = 3000ms;

// Reads one number per line into table; any failure (missing file, too few lines) stops at
// once and leaves builtIn set, with the lines read so far already in place.
void loadTableFile(const std::filesystem::path& path, std::span<double> table, bool& builtIn) {
    std::ifstream file(path);
    if (!file) return;
    std::string line;
    for (double& entry : table) {
        if (!std::getline(file, line)) return;
        entry = instrument::readLeadingNumber(line);
    }
    builtIn = false;
}

}  // namespace

// One kind of calibration table as the test set names and addresses it.
struct frmDoTest::CalTableKind {
    const char* name;
    std::size_t columns;

    // "'tdma_bbgen_delay_setting1',1,3": instance, then row and column of entry i.
    std::string address(int instance, std::size_t i) const {
        return std::string(" '") + name + std::to_string(instance) + "'," +
               std::to_string(i / columns) + "," + std::to_string(i % columns);
    }
};

void frmDoTest::loadDelaySettingFile() {
    loadTableFile(std::filesystem::path(settings_.calibrationDirectory) / kDelaySettingFileName,
                  delaySettingTable_, delaySettingBuiltIn_);
}

void frmDoTest::loadDataDelayFile() {
    loadTableFile(std::filesystem::path(settings_.calibrationDirectory) / kDataDelayFileName,
                  dataDelayTable_, dataDelayBuiltIn_);
}

// True when any entry of either instance differs; a timed-out query ends the comparison of
// this kind, and what was compared so far decides.
bool frmDoTest::compareCalTables(instrument::ViSession vi, const CalTableKind& kind,
                                 std::span<const double> table) {
    bool differs = false;
    for (int instance = 1; instance <= kInstances; ++instance) {
        for (std::size_t i = 0; i < table.size(); ++i) {
            std::string reply;
            if (visa_.queryInstrument(vi, "PL13:CAL:DATA?" + kind.address(instance, i), reply)) {
                return differs;
            }
            if (instrument::readLeadingNumber(reply) != table[i]) differs = true;
        }
    }
    return differs;
}

// Writes every entry of both instances; a failed write does not stop the others.
void frmDoTest::writeCalTables(instrument::ViSession vi, const CalTableKind& kind,
                               std::span<const double> table) {
    for (int instance = 1; instance <= kInstances; ++instance) {
        for (std::size_t i = 0; i < table.size(); ++i) {
            visa_.sendWithStatusCheck(vi, false,
                                      "PL13:CAL:DATA" + kind.address(instance, i) + "," +
                                          instrument::tableValueText(table[i]));
        }
    }
}

// The test set answers 1 once it has stored its calibration data. A test set that keeps
// answering something else would hold the run here for good (the wait does not yield, so not
// even Exit could end it); after kMaxSyncPolls round trips on top of the 3 s pause the run
// goes on, as it does when the query times out.
void frmDoTest::waitForSync(instrument::ViSession vi) {
    for (int poll = 0; poll < kMaxSyncPolls; ++poll) {
        std::string reply;
        if (visa_.queryInstrument(vi, "SYSTem:SYNC?", reply)) return;
        if (instrument::readLeadingNumber(reply) == 1.0) return;
    }
}

bool frmDoTest::checkBbgenDelayCalData(instrument::ViSession vi, ResultsGrid& grid,
                                       std::int16_t row, std::int16_t col) {
    static constexpr CalTableKind delaySetting{"tdma_bbgen_delay_setting", 5};
    static constexpr CalTableKind dataDelay{"tdma_bbgen_data_delay", 1};

    const bool settingDiffers = compareCalTables(vi, delaySetting, delaySettingTable_);
    const bool dataDiffers = compareCalTables(vi, dataDelay, dataDelayTable_);
    if (settingDiffers) writeCalTables(vi, delaySetting, delaySettingTable_);
    ui_.pause(kAfterWritePause);
    if (dataDiffers) writeCalTables(vi, dataDelay, dataDelayTable_);
    if (!settingDiffers && !dataDiffers) return false;

    visa_.sendInstrument(vi, "PL13:CAL:STOR");
    oneSecondElapsed_ = false;
    ui_.pause(kAfterStorePause);
    waitForSync(vi);

    std::string code = "C:";
    code += delaySettingBuiltIn_ ? 'H' : 'D';
    code += dataDelayBuiltIn_ ? 'H' : 'D';
    grid.setCell(row, col, code);
    if (&grid == &grid_) publishGrid();
    return settingDiffers;
}

}  // namespace quillon::testrun
