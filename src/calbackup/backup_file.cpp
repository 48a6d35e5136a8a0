// SPDX-License-Identifier: MIT
#include "calbackup/backup_file.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>
#include <QString>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <sstream>

#include "instrument/conventions.h"
#include "testrun/saving.h"

namespace quillon::calbackup {
namespace {

constexpr const char* kFirstLine = "# Quillon calibration backup";

const TableShape* shapeOf(std::string_view table) {
    for (const TableShape& shape : kTables) {
        if (table == shape.name) return &shape;
    }
    return nullptr;
}

// A number exactly as written: the whole text must be one, of type T.
template <typename T>
std::optional<T> exactly(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

bool fits(const TableShape& shape, int row, int column) {
    return row >= 0 && row < shape.rows && column >= 0 && column < shape.columns;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) break;
        const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
        out.push_back(line.substr(start, end - start));
        at = end;
    }
    return out;
}

}  // namespace

std::optional<Entry> entryAt(std::string_view address, double value) {
    // 'name',row,column
    if (address.size() < 2 || address.front() != '\'') return std::nullopt;
    const std::size_t quote = address.find('\'', 1);
    if (quote == std::string_view::npos) return std::nullopt;
    const std::string_view table = address.substr(1, quote - 1);
    const std::string_view rest = address.substr(quote + 1);
    const std::size_t second = rest.find(',', 1);
    if (rest.empty() || rest.front() != ',' || second == std::string_view::npos) {
        return std::nullopt;
    }
    const auto row = exactly<int>(rest.substr(1, second - 1));
    const auto column = exactly<int>(rest.substr(second + 1));
    const TableShape* shape = shapeOf(table);
    if (!row || !column || shape == nullptr || !fits(*shape, *row, *column)) return std::nullopt;
    return Entry{std::string(table), *row, *column, value};
}

std::string backupText(const Backup& backup) {
    std::string text = std::string(kFirstLine) + "\n";
    text += "serial " + backup.serialNumber + "\n";
    text += "taken " + backup.takenUtc + "\n";
    text += "# table row column value\n";
    for (const Entry& entry : backup.entries) {
        text += entry.table + " " + std::to_string(entry.row) + " " + std::to_string(entry.column) +
                " " + instrument::shortestText(entry.value) + "\n";
    }
    return text;
}

std::variant<Backup, std::string> parseBackup(std::string_view text) {
    Backup backup;
    std::istringstream lines{std::string(text)};
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string where = "line " + std::to_string(number) + ": ";
        if (number == 1 && line != kFirstLine) return where + "not a Quillon calibration backup";
        const std::vector<std::string_view> item = words(line);
        if (item.empty() || item.front().front() == '#') continue;
        if (item.size() == 2 && item[0] == "serial") {
            backup.serialNumber = std::string(item[1]);
            continue;
        }
        if (item.size() == 2 && item[0] == "taken") {
            backup.takenUtc = std::string(item[1]);
            continue;
        }
        if (item.size() != 4) return where + "expected: table row column value";
        const TableShape* shape = shapeOf(item[0]);
        const auto row = exactly<int>(item[1]);
        const auto column = exactly<int>(item[2]);
        const auto value = exactly<double>(item[3]);
        if (shape == nullptr) return where + "unknown table '" + std::string(item[0]) + "'";
        if (!row || !column || !fits(*shape, *row, *column)) {
            return where + "no such row and column in " + shape->name;
        }
        if (!value) return where + "the value is not a number";
        const Entry entry{shape->name, *row, *column, *value};
        const bool repeated = std::any_of(
            backup.entries.begin(), backup.entries.end(), [&entry](const Entry& earlier) {
                return earlier.table == entry.table && earlier.row == entry.row &&
                       earlier.column == entry.column;
            });
        if (repeated) return where + "the entry is given twice";
        backup.entries.push_back(entry);
    }
    if (number == 0) return std::string("the file is empty");
    if (backup.serialNumber.empty()) return std::string("the file names no serial number");
    return backup;
}

std::string backupFileName(const std::string& serialNumber, const std::string& takenUtc) {
    std::string name = serialNumber.empty() ? std::string("unknown") : serialNumber;
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || std::strchr("\\/:*?\"<>| ", c) != nullptr) c = '_';
    }
    std::string time = takenUtc;
    time.erase(
        std::remove_if(time.begin(), time.end(), [](char c) { return c == '-' || c == ':'; }),
        time.end());
    return name + "-" + time + ".txt";
}

std::string utcNow() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
}

std::string defaultBackupFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(QStringLiteral("quillon/calibration-backups")).toStdString();
}

std::string writeBackup(const std::string& folder, const Backup& backup, std::string& path) {
    const QString where = QString::fromStdString(folder);
    if (!QDir().mkpath(where)) return "cannot make the folder " + folder;
    const QString name =
        QString::fromStdString(backupFileName(backup.serialNumber, backup.takenUtc));
    path = QDir(where).filePath(name).toStdString();
    std::string error;
    testrun::writeWholeFile(path, backupText(backup), error);
    return error;
}

}  // namespace quillon::calbackup
