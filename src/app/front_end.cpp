// SPDX-License-Identifier: MIT
#include "app/front_end.h"

#include <iostream>
#include <thread>

#include "testrun/operator_interface.h"
#include "testrun/saving.h"

namespace quillon::app {

bool saveRequestedResults(const FrontEndOptions& options, const testrun::ResultsGrid& grid) {
    if (options.saveFile.empty()) return true;
    std::string error;
    if (testrun::writeResultsFile(grid, options.saveFile, error)) return true;
    std::cerr << "quillon: results not saved to " + options.saveFile + ": " + error + "\n";
    return false;
}

int exitCodeAfterSaving(int verdictCode, bool resultsSaved) {
    return resultsSaved ? verdictCode : testrun::kExitResultsNotSaved;
}

void pauseScaled(std::chrono::milliseconds duration, double scale) {
    if (!(scale > 0.0)) return;
    std::this_thread::sleep_for(duration * scale);
}

}  // namespace quillon::app
