// SPDX-License-Identifier: MIT
#include "app/front_end.h"

#include <iostream>
#include <thread>

#include "testrun/saving.h"

namespace quillon::app {

void saveRequestedResults(const FrontEndOptions& options, const testrun::ResultsGrid& grid) {
    if (options.saveFile.empty()) return;
    std::string error;
    if (!testrun::writeResultsFile(grid, options.saveFile, error)) {
        std::cerr << "quillon: results not saved to " + options.saveFile + ": " + error + "\n";
    }
}

void pauseScaled(std::chrono::milliseconds duration, double scale) {
    if (!(scale > 0.0)) return;
    std::this_thread::sleep_for(duration * scale);
}

}  // namespace quillon::app
