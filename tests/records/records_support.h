// SPDX-License-Identifier: MIT
#pragma once

// What the records tests share: a sample run record, the schema check and a throwaway
// PostgreSQL server.

#include <QByteArray>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "records/run_document.h"

namespace quillon::testing {

inline const std::string kSchema = QUILLON_SOURCE_DIR "/src/records/run-record.schema.json";

inline testrun::ResultRecord sampleResult(int source, int test, const char* name, double value,
                                          double low, std::optional<double> high, const char* unit,
                                          const char* passFail,
                                          std::vector<testrun::ConfigurationValue> values) {
    return {0,     "GSM450", 464000000, source, test,     name,
            value, low,      high,      unit,   passFail, std::move(values)};
}

// Two bands' worth of variety: a floor-only row, a failing row with an integrity, a value that
// is not a number, an instrument error in band 3.
inline records::RunDocument sampleDocument(std::string serial = "GB44180123",
                                           double frequencyError = 3.25,
                                           std::chrono::seconds startOffset = {}) {
    using namespace std::chrono;
    const double nan = std::nan("");
    records::RunDocument d;
    d.runId = records::newRunId();
    d.program = {"quillon", "65.2.1"};
    testrun::RunRecord& r = d.record;
    r.testSet = {"Maker", "4750A", serial, "B.02.07", "K2210", "A.05.12", "GPIB0::14::INSTR"};
    r.choice = {{0, 3}, {0, 4, 7}, 50};
    r.calibration = {true, true, false, "C:DH"};
    r.start = system_clock::time_point(milliseconds(1'796'000'000'250)) + startOffset;
    r.end = r.start + seconds(95);
    r.results = {
        sampleResult(1, 0, "GMSK Frequency Error", frequencyError, -20.0, 20.0, "Hz", "Pass",
                     {{0, frequencyError, 0}, {1, -1.5, 0}, {2, 0.25, 0}, {3, 1e-7, 0}}),
        sampleResult(1, 4, "EPSK Origin Offset", 41.5, 35.0, std::nullopt, "dB", "Pass",
                     {{0, 41.5, 0}, {1, 44.0, 0}, {2, 45.0, 0}, {3, 42.0, 0}}),
        sampleResult(2, 7, "GMSK Power", 1.2, -1.0, 1.0, "dB", "Fail ( 5)", {{0, 1.2, 5}}),
        sampleResult(2, 6, "GMSK Burst Flatness", nan, -1.0, 1.0, "dB", "Fail", {{0, nan, 0}}),
    };
    r.pass = false;
    r.failCount = 2;
    r.stoppedBy = testrun::RunStop{3, "DCS", "source 1 tests, configuration 2"};
    return d;
}

struct Validation {
    bool valid = false;
    std::string output;
};

// Checks JSON texts against the published schema with the system's Python jsonschema, in one
// interpreter start.
std::vector<Validation> validateAgainstSchema(const std::vector<QByteArray>& jsons);

#ifndef _WIN32
// A throwaway PostgreSQL cluster in a temporary folder, reachable only through a Unix socket
// there, started on first use and stopped when the process ends. When the tests run as root the
// server runs as the "postgres" system user (or "nobody"), as the server refuses to run as root.
class PostgresServer {
  public:
    static PostgresServer& shared();
    ~PostgresServer();

    bool started() const { return started_; }
    std::string url() const { return "postgresql:///postgres?host=" + folder_ + "&user=quillon"; }
    const std::string& log() const { return log_; }

  private:
    PostgresServer();
    int run(const std::string& command);

    QTemporaryDir dir_{"/tmp/qpg-XXXXXX"};
    std::string folder_ = dir_.path().toStdString();
    std::string asUser_;  // prefix that drops root, empty when not root
    std::string log_;
    bool started_ = false;
};
#endif

}  // namespace quillon::testing
