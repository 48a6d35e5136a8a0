// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>

namespace quillon::testrun {
struct RunRecord;
}

namespace quillon::app {

// The durable records the command line asks for after a run that reached its end.
struct RecordRequests {
    std::string jsonFile;         // --json FILE
    std::string resultsDatabase;  // --results-db URL or QUILLON_RESULTS_DB
    std::string outboxFolder;     // empty: the user's data folder
    std::string reportFile;       // --report FILE.pdf
};

// Hands the finished run to every requested output. Each output's line for the operator
// (a database not reached and the run kept in the outbox, a file not written) goes to notice.
// False when an output neither holds nor keeps the run: the front-end then ends with the
// results-not-saved code.
bool deliverRequestedRecords(const RecordRequests& requests, const testrun::RunRecord& record,
                             const std::function<void(const std::string&)>& notice);

// --history SERIAL: the stored runs of one test set as a table on standard output, or as JSON
// to jsonFile. 0, or kExitStartupRefused when the database cannot be read, with the reason on
// standard error; kExitResultsNotSaved when jsonFile cannot be written.
int showHistory(const std::string& serialNumber, const std::string& databaseUrl,
                const std::string& jsonFile);

}  // namespace quillon::app
