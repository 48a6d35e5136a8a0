// SPDX-License-Identifier: MIT
#pragma once

// What a finished run leaves for durable records (a JSON file, a results database, a report):
// plain data, filled by the test form from the values it already holds when the run ends, never
// by watching the bus.

#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace quillon::testrun {

struct TestSetIdentity {
    std::string manufacturer;             // identity reply, field 1
    std::string model;                    // identity reply, field 2
    std::string serialNumber;             // identity reply, field 3
    std::string firmware;                 // identity reply, field 4
    std::string testApplication;          // the running test application's model code
    std::string testApplicationRevision;  // its revision
    std::string resource;                 // the VISA resource the test set was opened as
};

// The bands, tests (0-7, test 8 reported as the calibration outcome) and iterations the run
// used after the wizard and the options dialog.
struct RunChoice {
    std::vector<int> bands;
    std::vector<int> tests;
    int iterations = 0;
};

struct CalibrationRecord {
    bool checked = false;              // the check ran (test 8 chosen)
    bool delaySettingWritten = false;  // both delay setting tables were written
    bool dataDelayWritten = false;     // both data delay tables were written
    std::string gridCode;              // "C:" + H/D + H/D, empty when nothing was written
};

struct ConfigurationValue {
    int config = 0;
    double value = 0.0;  // the result's quantity measured under this configuration alone
    int integrity = 0;
};

// One row of the results table, with the numbers behind its texts.
struct ResultRecord {
    int band = 0;
    std::string bandName;
    long long frequencyHz = 0;
    int source = 1;
    int test = 0;      // the options' test index the row belongs to
    std::string name;  // as in the table's Test column
    double value = 0.0;
    double lowLimit = 0.0;
    std::optional<double> highLimit;  // none: a floor only
    std::string unit;
    std::string passFail;  // the table's Result text
    std::vector<ConfigurationValue> configurations;

    bool passed() const { return passFail == "Pass"; }
    // Distance to the nearer limit, positive inside the limits, negative outside.
    double margin() const {
        const double low = value - lowLimit;
        return highLimit ? std::fmin(low, *highLimit - value) : low;
    }
};

// Where an instrument error stopped the run.
struct RunStop {
    int band = 0;
    std::string bandName;
    std::string stage;  // the step that reported the error
};

struct RunRecord {
    TestSetIdentity testSet;
    RunChoice choice;
    CalibrationRecord calibration;
    std::vector<ResultRecord> results;
    std::chrono::system_clock::time_point start;
    std::chrono::system_clock::time_point end;
    bool pass = false;
    int failCount = 0;
    std::optional<RunStop> stoppedBy;
};

}  // namespace quillon::testrun
