// SPDX-License-Identifier: MIT
#include "calbackup/restore.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "instrument/clsVisa.h"
#include "instrument/conventions.h"
#include "testrun/calibration_data.h"
#include "testrun/operator_interface.h"

namespace quillon::calbackup {
namespace {

using namespace std::chrono_literals;

// The calibration data check's pauses after the delay setting writes and after the store.
constexpr auto kAfterSettingWrites = 1000ms;
constexpr auto kAfterStore = 3000ms;
constexpr std::uintmax_t kMaxBackupBytes = 64 * 1024;  // a real backup is about 2 KB

std::string address(const Entry& entry) {
    return "'" + entry.table + "'," + std::to_string(entry.row) + "," +
           std::to_string(entry.column);
}

const Entry* find(const Backup& backup, const std::string& table, int row, int column) {
    for (const Entry& entry : backup.entries) {
        if (entry.table == table && entry.row == row && entry.column == column) return &entry;
    }
    return nullptr;
}

// Every entry in the order the check writes them: table by table, row after row.
std::vector<Entry> inWriteOrder(const Backup& backup) {
    std::vector<Entry> ordered;
    for (const TableShape& shape : kTables) {
        for (int row = 0; row < shape.rows; ++row) {
            for (int column = 0; column < shape.columns; ++column) {
                if (const Entry* entry = find(backup, shape.name, row, column)) {
                    ordered.push_back(*entry);
                }
            }
        }
    }
    return ordered;
}

bool isDelaySetting(const Entry& entry) {
    return entry.table.starts_with("tdma_bbgen_delay_setting");
}

void waitForSync(instrument::clsVisa& visa, instrument::ViSession vi) {
    for (int poll = 0; poll < testrun::kMaxSyncPolls; ++poll) {
        std::string reply;
        if (visa.queryInstrument(vi, "SYSTem:SYNC?", reply)) return;
        if (instrument::readLeadingNumber(reply) == 1.0) return;
    }
}

std::string readFile(const std::string& path, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "there is no such file";
        return {};
    }
    if (std::filesystem::file_size(path, ec) > kMaxBackupBytes) {
        error = "it is far larger than a calibration backup";
        return {};
    }
    std::ifstream file(path, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(file), {}};
    if (file.bad()) error = "it cannot be read";
    return text;
}

}  // namespace

std::string incomplete(const Backup& backup) {
    for (const TableShape& shape : kTables) {
        for (int row = 0; row < shape.rows; ++row) {
            for (int column = 0; column < shape.columns; ++column) {
                if (find(backup, shape.name, row, column) == nullptr) {
                    return "it lacks the entry " + std::string(shape.name) + " " +
                           std::to_string(row) + " " + std::to_string(column);
                }
            }
        }
    }
    return {};
}

std::vector<std::string> restoreTables(instrument::clsVisa& visa, testrun::OperatorInterface& ui,
                                       instrument::ViSession vi, const Backup& backup) {
    const std::vector<Entry> entries = inWriteOrder(backup);
    const auto firstData = std::find_if_not(entries.begin(), entries.end(), isDelaySetting);
    const auto write = [&](const Entry& entry) {
        visa.sendWithStatusCheck(
            vi, false,
            "PL13:CAL:DATA " + address(entry) + "," + instrument::tableValueText(entry.value));
    };
    std::for_each(entries.begin(), firstData, write);
    ui.pause(kAfterSettingWrites);
    std::for_each(firstData, entries.end(), write);
    visa.sendInstrument(vi, "PL13:CAL:STOR");
    ui.pause(kAfterStore);
    waitForSync(visa, vi);

    std::vector<std::string> differences;
    for (const Entry& entry : entries) {
        std::string reply;
        const bool timedOut = visa.queryInstrument(vi, "PL13:CAL:DATA? " + address(entry), reply);
        const double read = instrument::readLeadingNumber(reply);
        if (timedOut || read != entry.value) {
            differences.push_back(address(entry) + " reads back " +
                                  (timedOut ? "nothing" : instrument::shortestText(read)) +
                                  " instead of " + instrument::shortestText(entry.value));
        }
    }
    return differences;
}

int restoreFromFile(instrument::clsVisa& visa, testrun::OperatorInterface& ui,
                    instrument::ViSession vi, const std::string& serialNumber,
                    const std::string& path) {
    const auto refuse = [&](const std::string& why) {
        ui.messageBox("Calibration not restored", path + " was not restored: " + why + ".",
                      testrun::MessageIcon::Exclamation);
        return static_cast<int>(testrun::kExitStartupRefused);
    };
    std::string error;
    const std::string text = readFile(path, error);
    if (!error.empty()) return refuse(error);
    const auto parsed = parseBackup(text);
    if (const auto* why = std::get_if<std::string>(&parsed)) return refuse(*why);
    const Backup& backup = std::get<Backup>(parsed);
    if (const std::string missing = incomplete(backup); !missing.empty()) return refuse(missing);
    if (backup.serialNumber != serialNumber) {
        return refuse("it holds the tables of the test set " + backup.serialNumber +
                      ", and the connected one is " + serialNumber);
    }

    const std::vector<std::string> differences = restoreTables(visa, ui, vi, backup);
    if (differences.empty()) {
        ui.messageBox("Calibration restored",
                      "The four calibration tables of " + serialNumber + " were written from " +
                          path + ", stored and read back: all " + std::to_string(kEntryCount) +
                          " entries match.",
                      testrun::MessageIcon::None);
        return testrun::kExitPass;
    }
    std::string lines;
    for (const std::string& difference : differences) lines += "\r\n" + difference;
    ui.messageBox("Calibration restore failed",
                  std::to_string(differences.size()) + " of " + std::to_string(kEntryCount) +
                      " entries read back differ from " + path + ":" + lines,
                  testrun::MessageIcon::Critical);
    return testrun::kExitRestoreMismatch;
}

}  // namespace quillon::calbackup
