// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "records/run_document.h"

namespace quillon::records {

// What became of a run handed to a sink.
struct Delivery {
    enum class Status {
        Written,   // the output holds the run
        Deferred,  // kept for later (the database outbox); nothing is lost
        Failed,    // the output does not hold the run and nothing keeps it
    };
    Status status = Status::Written;
    std::string message;  // one line for the operator; empty when there is nothing to say
};

// One requested output of a finished run (a JSON file, a results database, a report). The
// front-end calls deliver() once per run after the results are shown.
class RecordSink {
  public:
    virtual ~RecordSink() = default;
    virtual Delivery deliver(const RunDocument& document) = 0;
};

}  // namespace quillon::records
