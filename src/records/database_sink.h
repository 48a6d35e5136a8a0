// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "records/record_sink.h"
#include "records/results_database.h"

namespace quillon::records {

// Records that could not reach the results database, one JSON file per run, waiting in a
// folder until a later run reaches the database.
class Outbox {
  public:
    explicit Outbox(std::string folder) : folder_(std::move(folder)) {}

    // The user's data folder: <data location>/quillon/outbox.
    static std::string defaultFolder();

    const std::string& folder() const { return folder_; }
    bool put(const RunDocument& document, std::string& error) const;
    std::vector<std::string> waitingFiles() const;  // oldest run first

  private:
    std::string folder_;
};

// --results-db URL: stores the run, after any runs waiting in the outbox; when the database
// cannot be reached or refuses the run, the run waits in the outbox instead.
class DatabaseSink : public RecordSink {
  public:
    DatabaseSink(DatabaseUrl url, Outbox outbox)
        : url_(std::move(url)), outbox_(std::move(outbox)) {}
    Delivery deliver(const RunDocument& document) override;

  private:
    // Sends what waits; returns how many went, and the problem with any that could not go.
    int sendWaiting(ResultsDatabase& database, std::string& problem);
    Delivery defer(const RunDocument& document, const std::string& reason);

    DatabaseUrl url_;
    Outbox outbox_;
};

}  // namespace quillon::records
