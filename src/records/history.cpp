// SPDX-License-Identifier: MIT
#include "records/history.h"

#include <QJsonArray>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <tuple>

namespace quillon::records {
namespace {

using RowKey = std::tuple<int, int, std::string>;  // band, source, test name

// Three decimals with a point whatever the C locale, for a table read by tools as well.
std::string fixed(double value, bool sign) {
    if (!std::isfinite(value)) return "-";
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    const std::string text = error == std::errc() ? std::string(buffer, end) : "-";
    return sign && text.front() != '-' ? "+" + text : text;
}

std::string padded(std::string text, std::size_t width, bool right) {
    if (text.size() >= width) return text;
    const std::string fill(width - text.size(), ' ');
    return right ? fill + text : text + fill;
}

QJsonValue number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

}  // namespace

HistoryReport buildHistory(const std::string& serialNumber, std::vector<HistoryRun> runs) {
    HistoryReport report{serialNumber, std::move(runs), {}};
    std::map<RowKey, std::size_t> index;
    std::vector<std::pair<RowKey, std::size_t>> order;  // key with its table position
    for (std::size_t run = 0; run < report.runs.size(); ++run) {
        std::size_t position = 0;
        for (const HistoryEntry& entry : report.runs[run].results) {
            const RowKey key{entry.band, entry.source, entry.name};
            auto found = index.find(key);
            if (found == index.end()) {
                found = index.emplace(key, report.rows.size()).first;
                order.emplace_back(key, position);
                report.rows.push_back({entry.band, entry.bandName, entry.source, entry.name,
                                       entry.unit, std::vector<DriftCell>(report.runs.size())});
            }
            DriftCell& cell = report.rows[found->second].cells[run];
            cell.present = true;
            cell.value = entry.value;
            cell.margin = entry.margin;
            ++position;
        }
    }
    // Drift against the next older run that holds the result.
    for (DriftRow& row : report.rows) {
        for (std::size_t run = 0; run < row.cells.size(); ++run) {
            DriftCell& cell = row.cells[run];
            if (!cell.present) continue;
            const auto older =
                std::find_if(row.cells.begin() + static_cast<long>(run) + 1, row.cells.end(),
                             [](const DriftCell& c) { return c.present; });
            if (older == row.cells.end()) continue;
            cell.hasDrift = std::isfinite(cell.value) && std::isfinite(older->value);
            cell.drift = cell.value - older->value;
            cell.marginShrank = older->margin > 0.0 && !(cell.margin >= older->margin / 2.0);
        }
    }
    std::stable_sort(report.rows.begin(), report.rows.end(),
                     [](const DriftRow& a, const DriftRow& b) {
                         return std::tie(a.band, a.source) < std::tie(b.band, b.source);
                     });
    return report;
}

std::string historyTable(const HistoryReport& report) {
    std::string out = "Test set " + report.serialNumber + ": " +
                      std::to_string(report.runs.size()) +
                      (report.runs.size() == 1 ? " run" : " runs") + ", newest first\n";
    if (report.runs.empty()) return out;
    out += "Run  Started (UTC)             Verdict  Program\n";
    for (std::size_t run = 0; run < report.runs.size(); ++run) {
        const HistoryRun& r = report.runs[run];
        out += padded(std::to_string(run + 1), 5, false) + padded(r.startUtc, 26, false) +
               padded(r.pass ? "Pass" : "Fail", 9, false) + r.programVersion + "\n";
    }
    std::string header = padded("Band", 8, false) + padded("Src", 4, false) +
                         padded("Test", 23, false) + padded("Unit", 6, false);
    for (std::size_t run = 0; run < report.runs.size(); ++run) {
        header +=
            padded("Run " + std::to_string(run + 1), 10, true) + padded("Drift", 10, true) + "  ";
    }
    while (header.back() == ' ') header.pop_back();
    out += "\n" + header + "\n";
    for (const DriftRow& row : report.rows) {
        std::string line = padded(row.bandName, 8, false) +
                           padded(std::to_string(row.source), 4, false) +
                           padded(row.name, 23, false) + padded(row.unit, 6, false);
        for (const DriftCell& cell : row.cells) {
            line += padded(cell.present ? fixed(cell.value, false) : "", 10, true) +
                    padded(cell.hasDrift ? fixed(cell.drift, true) : "", 10, true) +
                    (cell.marginShrank ? " !" : "  ");
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    out += "\n! margin to the nearer limit shrank by more than half since the run before\n";
    return out;
}

QJsonObject historyJson(const HistoryReport& report) {
    QJsonArray runs;
    for (const HistoryRun& r : report.runs) {
        runs.append(QJsonObject{{"run_id", QString::fromStdString(r.runId)},
                                {"start_utc", QString::fromStdString(r.startUtc)},
                                {"program_version", QString::fromStdString(r.programVersion)},
                                {"verdict", r.pass ? "Pass" : "Fail"}});
    }
    QJsonArray rows;
    for (const DriftRow& row : report.rows) {
        QJsonArray values;
        for (std::size_t run = 0; run < row.cells.size(); ++run) {
            const DriftCell& cell = row.cells[run];
            if (!cell.present) continue;
            values.append(QJsonObject{
                {"run_id", QString::fromStdString(report.runs[run].runId)},
                {"value", number(cell.value)},
                {"margin", number(cell.margin)},
                {"drift", cell.hasDrift ? number(cell.drift) : QJsonValue(QJsonValue::Null)},
                {"margin_shrank", cell.marginShrank}});
        }
        rows.append(QJsonObject{{"band", row.band},
                                {"band_name", QString::fromStdString(row.bandName)},
                                {"source", row.source},
                                {"name", QString::fromStdString(row.name)},
                                {"unit", QString::fromStdString(row.unit)},
                                {"values", values}});
    }
    return {{"kind", "quillon-history"},
            {"schema_version", 1},
            {"serial_number", QString::fromStdString(report.serialNumber)},
            {"runs", runs},
            {"results", rows}};
}

}  // namespace quillon::records
