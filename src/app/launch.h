// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "instrument/visa_library.h"
#include "testrun/run_settings.h"

namespace quillon::app {

// Looks up an environment variable; null when it is not set. Injected so the decisions below
// can be tested without touching the process environment.
using EnvironmentLookup = std::function<const char*(const char*)>;
EnvironmentLookup processEnvironment();

// The folder that holds the running executable (no trailing separator).
std::string executableDirectory();

// The simulated VISA library's file name in folder.
std::string simulatedLibraryPath(const std::string& folder);

// Whether a file exists; injected so the lookup below can be tested without files.
using FileCheck = std::function<bool(const std::string&)>;
bool fileExists(const std::string& path);

// Where the simulated library is looked for: beside the executable (the build tree, a Windows
// folder), then the installed tree's private library folder relative to the executable's, so
// that an installed tree works wherever it is moved. The first that exists; the first of all
// when none does, so that the load error names a plausible path.
std::string findSimulatedLibrary(const std::string& executableFolder,
                                 const FileCheck& exists = fileExists);

// The VISA library to load: the simulated one, the one named on the command line, or empty
// for the platform's own.
std::string visaLibraryPath(const CommandLine& line, const std::string& executableFolder,
                            const FileCheck& exists = fileExists);

// --console, or no display to open windows on.
bool wantsConsole(const CommandLine& line, const EnvironmentLookup& environment);

// The results database: --results-db, else QUILLON_RESULTS_DB, else none (empty). The URL's
// form is checked; error names where the refused URL came from.
std::optional<std::string> resultsDatabaseFor(const CommandLine& line,
                                              const EnvironmentLookup& environment,
                                              std::string& error);

// QUILLON_PAUSE_SCALE as a factor: unset gives 1; a value that is not a number from 0 to
// kMaxPauseScale gives nothing, so the caller can say so. The bound keeps the longest pause
// (3 s) within what a sleep can be asked for: 1000 makes it 50 minutes.
inline constexpr double kMaxPauseScale = 1000.0;

std::optional<double> pauseScale(const EnvironmentLookup& environment);

// The run's settings from the command line: wizard, preset choice, calibration folder.
testrun::RunSettings runSettingsFor(const CommandLine& line, const std::string& executableFolder);

// A loaded VISA library, or why there is none.
struct LoadedVisa {
    std::unique_ptr<instrument::VisaLibrary> library;
    std::optional<instrument::VisaLoadError> error;
};
LoadedVisa loadVisa(const std::string& path);

// Sets QUILLON_SIM_PROFILE for the simulated library, which reads it when the resource manager
// opens.
void exportSimProfile(const std::string& profile);
// Sets QUILLON_SIM_REPLAY, which the simulated library reads when its resource manager opens.
void exportSimReplay(const std::string& trace);

}  // namespace quillon::app
