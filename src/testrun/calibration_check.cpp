// SPDX-License-Identifier: MIT
#include "testrun/calibration_check.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <system_error>

#include "instrument/clsVisa.h"
#include "instrument/conventions.h"
#include "testrun/operator_interface.h"

namespace quillon::testrun {
namespace {

using namespace std::chrono_literals;

constexpr int kInstances = 2;  // each kind of table exists twice in the test set, numbered 1, 2
constexpr auto kAfterWritePause = 1000ms;
constexpr auto kAfterStorePause = 3000ms;

// The whole file when it is a regular file of at most kMaxCalibrationFileBytes, else nothing.
// The type is checked before opening, so that a FIFO does not block the run and a device such
// as /dev/zero is not read for ever; the size again while reading, as a file can grow.
std::optional<std::string> smallRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    std::string bytes(kMaxCalibrationFileBytes + 1, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (file.bad() || file.gcount() > static_cast<std::streamsize>(kMaxCalibrationFileBytes)) {
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

// Any failure (a file that cannot be read, too few lines) leaves builtIn set, with the lines
// read so far already in place.
void loadTableFile(const std::filesystem::path& path, std::span<double> table, bool& builtIn) {
    const std::optional<std::string> bytes = smallRegularFile(path);
    if (!bytes) {
        return;
    }
    std::istringstream file(*bytes);
    if (readCalibrationLines(file, table)) {
        builtIn = false;
    }
}

}  // namespace

CalibrationTables loadCalibrationTables(const std::string& directory) {
    CalibrationTables tables;
    const std::filesystem::path folder(directory);
    loadTableFile(folder / kDelaySettingFileName, tables.delaySetting, tables.delaySettingBuiltIn);
    loadTableFile(folder / kDataDelayFileName, tables.dataDelay, tables.dataDelayBuiltIn);
    return tables;
}

bool readCalibrationLines(std::istream& in, std::span<double> table) {
    std::string line;
    for (double& entry : table) {
        if (!std::getline(in, line)) {
            return false;
        }
        entry = instrument::readLeadingNumber(line);
    }
    return true;
}

// One kind of calibration table as the test set names and addresses it.
struct CalibrationCheck::TableKind {
    const char* name;
    std::size_t columns;

    // "'tdma_bbgen_delay_setting1',1,3": instance, then row and column of entry i.
    std::string address(int instance, std::size_t i) const {
        return std::string(" '") + name + std::to_string(instance) + "'," +
               std::to_string(i / columns) + "," + std::to_string(i % columns);
    }
};

// True when any entry of either instance differs; a timed-out query ends the comparison of
// this kind, and what was compared so far decides.
bool CalibrationCheck::compare(instrument::ViSession vi, const TableKind& kind,
                               std::span<const double> table, CalibrationOutcome& outcome) {
    bool differs = false;
    for (int instance = 1; instance <= kInstances; ++instance) {
        for (std::size_t i = 0; i < table.size(); ++i) {
            const std::string address = kind.address(instance, i);
            std::string reply;
            if (visa_.queryInstrument(vi, "PL13:CAL:DATA?" + address, reply)) {
                return differs;
            }
            const double value = instrument::readLeadingNumber(reply);
            outcome.readings.emplace_back(address.substr(1), value);
            if (value != table[i]) {
                differs = true;
            }
        }
    }
    return differs;
}

// Writes every entry of both instances; a failed write does not stop the others.
void CalibrationCheck::write(instrument::ViSession vi, const TableKind& kind,
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
void CalibrationCheck::waitForSync(instrument::ViSession vi) {
    for (int poll = 0; poll < kMaxSyncPolls; ++poll) {
        std::string reply;
        if (visa_.queryInstrument(vi, "SYSTem:SYNC?", reply)) {
            return;
        }
        if (instrument::readLeadingNumber(reply) == 1.0) {
            return;
        }
    }
}

CalibrationOutcome CalibrationCheck::run(instrument::ViSession vi) {
    static constexpr TableKind delaySetting{"tdma_bbgen_delay_setting", 5};
    static constexpr TableKind dataDelay{"tdma_bbgen_data_delay", 1};

    CalibrationOutcome outcome;
    outcome.settingDiffers = compare(vi, delaySetting, tables_.delaySetting, outcome);
    outcome.dataDiffers = compare(vi, dataDelay, tables_.dataDelay, outcome);
    if ((outcome.settingDiffers || outcome.dataDiffers) && beforeWrite) {
        beforeWrite(outcome);
    }
    if (outcome.settingDiffers) {
        write(vi, delaySetting, tables_.delaySetting);
    }
    ui_.pause(kAfterWritePause);
    if (outcome.dataDiffers) {
        write(vi, dataDelay, tables_.dataDelay);
    }
    if (!outcome.settingDiffers && !outcome.dataDiffers) {
        return outcome;
    }

    visa_.sendInstrument(vi, "PL13:CAL:STOR");
    ui_.pause(kAfterStorePause);
    waitForSync(vi);

    outcome.gridCode = "C:";
    outcome.gridCode += tables_.delaySettingBuiltIn ? 'H' : 'D';
    outcome.gridCode += tables_.dataDelayBuiltIn ? 'H' : 'D';
    return outcome;
}

}  // namespace quillon::testrun
