// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <string>

#include "app/records_output.h"

namespace quillon::testrun {
class ResultsGrid;
}

namespace quillon::app {

// What the command line and the environment tell a front-end beyond the start-up environment.
struct FrontEndOptions {
    std::string saveFile;  // non-empty: write the results file there when the run reaches its end
    // Factor for every pause of the run (QUILLON_PAUSE_SCALE): 1 normally, 0 in tests.
    double pauseScale = 1.0;
    RecordRequests records;  // --json, --results-db
};

// --save after a run that reached its end: writes grid to options.saveFile when one was named.
// A file that cannot be written is reported on standard error (the results are shown already)
// and the result is false: the front-end then ends with kExitResultsNotSaved. Every output file
// the command line asks for is written here, whole or not at all.
bool saveRequestedResults(const FrontEndOptions& options, const testrun::ResultsGrid& grid);

// The exit code once the requested files have been written: kExitResultsNotSaved when one of
// them could not be, whatever the verdict, otherwise verdictCode.
int exitCodeAfterSaving(int verdictCode, bool resultsSaved);

// A pause of the run: blocks the calling thread for duration times scale; 0 skips it.
void pauseScaled(std::chrono::milliseconds duration, double scale);

}  // namespace quillon::app
