// SPDX-License-Identifier: MIT
#pragma once

// The calibration backup file: the test set's four baseband generator delay tables as the
// calibration data check read them, before it wrote any, named by serial number and UTC time.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace quillon::calbackup {

// One table entry: "tdma_bbgen_delay_setting2", row 3, column 4, value 12.
struct Entry {
    std::string table;
    int row = 0;
    int column = 0;
    double value = 0.0;
    bool operator==(const Entry&) const = default;
};

struct Backup {
    std::string serialNumber;
    std::string takenUtc;  // ISO 8601 in UTC: "2026-12-06T03:25:41Z"
    std::vector<Entry> entries;
};

// The four tables, in the order the calibration data check writes them, with their sizes.
struct TableShape {
    const char* name;
    int rows;
    int columns;
};
inline constexpr TableShape kTables[] = {
    {"tdma_bbgen_delay_setting1", 5, 5},
    {"tdma_bbgen_delay_setting2", 5, 5},
    {"tdma_bbgen_data_delay1", 5, 1},
    {"tdma_bbgen_data_delay2", 5, 1},
};
inline constexpr std::size_t kEntryCount = 60;

// An entry from the check's address of it ("'tdma_bbgen_delay_setting1',1,3") and the number
// read; nothing when the address names no entry of the four tables.
std::optional<Entry> entryAt(std::string_view address, double value);

// The file's text; see the folder's README for the format.
std::string backupText(const Backup& backup);

// The backup in text, or the reason it is not one (with the line number). Entries may come in
// any order but each at most once; whether all of them are there is the restore's question.
std::variant<Backup, std::string> parseBackup(std::string_view text);

// "GB44180123-20261206T032541Z.txt": the serial number (characters a file name cannot hold
// become '_') and the time without separators.
std::string backupFileName(const std::string& serialNumber, const std::string& takenUtc);

// The current time as takenUtc wants it.
std::string utcNow();

// Where backups go without --cal-backup-dir: "calibration-backups" in the user's data folder
// for quillon (~/.local/share/quillon/... on Linux, %LOCALAPPDATA%\quillon\... on Windows).
std::string defaultBackupFolder();

// Writes backup into folder (made when missing) under backupFileName, whole or not at all, and
// puts the file's path in path. Returns the reason it could not be written, empty when it was.
std::string writeBackup(const std::string& folder, const Backup& backup, std::string& path);

}  // namespace quillon::calbackup
