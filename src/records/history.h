// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonObject>
#include <string>
#include <vector>

#include "records/results_database.h"

namespace quillon::records {

// One result's value in one run and how it moved since the run before it (the next older run
// that holds the same result).
struct DriftCell {
    bool present = false;  // the run holds this result
    double value = 0.0;
    double margin = 0.0;
    bool hasDrift = false;
    double drift = 0.0;         // value less the older run's value
    bool marginShrank = false;  // the margin is less than half the older run's positive margin
};

struct DriftRow {
    int band = 0;
    std::string bandName;
    int source = 0;
    std::string name;
    std::string unit;
    std::vector<DriftCell> cells;  // one per run, newest first
};

struct HistoryReport {
    std::string serialNumber;
    std::vector<HistoryRun> runs;  // newest first
    std::vector<DriftRow> rows;    // by band, source and table order
};

// runs newest first, as ResultsDatabase::history gives them.
HistoryReport buildHistory(const std::string& serialNumber, std::vector<HistoryRun> runs);

// The console table: the runs, then one line per result with each run's value and drift; a
// "!" marks a margin that shrank by more than half.
std::string historyTable(const HistoryReport& report);

QJsonObject historyJson(const HistoryReport& report);

}  // namespace quillon::records
