// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "testrun/run_record.h"

namespace quillon::records {

// The program that made a record, named inside the record so that it describes itself.
struct ProgramIdentity {
    std::string name;
    std::string version;
};

// One run as every sink receives it: the record with the program that made it and an id that
// stays with the run wherever it is sent (file, database, outbox), so a run sent twice is
// recognised as the same run.
struct RunDocument {
    std::string runId;  // a UUID without braces
    ProgramIdentity program;
    testrun::RunRecord record;
};

// A fresh run id.
std::string newRunId();

}  // namespace quillon::records
