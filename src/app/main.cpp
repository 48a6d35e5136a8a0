// SPDX-License-Identifier: MIT
// The program's entry: reads the command line, loads the VISA library, arranges the
// single-instance check and hands over to the console or the windows front-end.

#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "app/command_line.h"
#include "app/front_end.h"
#include "app/instance_lock.h"
#include "app/launch.h"
#include "app/modMain.h"
#include "app/parent_console.h"
#include "app/program_info.h"
#include "app/records_output.h"
#include "instrument/visa_trace.h"
#include "testrun/operator_interface.h"
#include "ui/console/console_front_end.h"
#include "ui/qt/qt_front_end.h"

namespace {

namespace app = quillon::app;
namespace testrun = quillon::testrun;
namespace ui = quillon::ui;

int refuseCommandLine(const std::string& message) {
    std::cerr << "quillon: " << message << "\nTry 'quillon --help' for the options.\n";
    return testrun::kExitBadCommandLine;
}

double pauseScaleOrDefault() {
    const std::optional<double> scale = app::pauseScale(app::processEnvironment());
    if (scale) return *scale;
    std::cerr << "quillon: QUILLON_PAUSE_SCALE is not a number from 0 to 1000; ignored\n";
    return 1.0;
}

// The lock is taken when start-up asks and then held until the process ends.
std::function<bool()> instanceCheck(app::InstanceLock& lock) {
    return [&lock] {
        lock = app::InstanceLock(app::defaultInstanceLockPath());
        if (!lock.refusal().empty()) return false;  // start-up refuses it with its own message
        if (!lock.error().empty()) {
            // Better to run unguarded than to refuse every start because /tmp is unwritable.
            std::cerr << "quillon: single-instance check skipped: " << lock.error() << '\n';
            return false;
        }
        return !lock.held();
    };
}

}  // namespace

int main(int argc, char** argv) {
    app::useParentConsole();  // Windows: the console it was started from, if any
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const auto parsed = app::parseCommandLine(args);
    if (const auto* error = std::get_if<app::CommandLineError>(&parsed)) {
        return refuseCommandLine(error->message);
    }
    const app::CommandLine& line = std::get<app::CommandLine>(parsed);
    if (line.help) {
        std::cout << app::usageText();
        return 0;
    }
    if (line.version) {
        std::cout << app::versionLine() << '\n';
        return 0;
    }

    std::string refused;
    const std::optional<std::string> database =
        app::resultsDatabaseFor(line, app::processEnvironment(), refused);
    if (!database) return refuseCommandLine(refused);
    if (!line.historySerial.empty()) {
        if (database->empty()) {
            return refuseCommandLine("--history needs --results-db URL or QUILLON_RESULTS_DB");
        }
        return app::showHistory(line.historySerial, *database, line.jsonFile);
    }

    const std::string folder = app::executableDirectory();
    if (!line.simProfile.empty()) app::exportSimProfile(line.simProfile);
    if (!line.simReplay.empty()) app::exportSimReplay(line.simReplay);
    const app::LoadedVisa visa = app::loadVisa(app::visaLibraryPath(line, folder));

    // --trace puts a recorder between the program and whatever library was loaded.
    std::ofstream traceFile;
    std::unique_ptr<quillon::instrument::TracingVisa> tracing;
    if (!line.traceFile.empty()) {
        traceFile.open(line.traceFile, std::ios::out | std::ios::trunc);
        if (!traceFile) return refuseCommandLine("--trace: cannot write " + line.traceFile);
        if (visa.library) {
            traceFile << "# library " << visa.library->path() << '\n';
            tracing = std::make_unique<quillon::instrument::TracingVisa>(*visa.library, traceFile);
        } else if (visa.error) {
            traceFile << "# not loaded: " << visa.error->description << '\n';
        }
    }

    app::InstanceLock lock;
    app::StartupEnvironment environment;
    environment.visa =
        tracing ? static_cast<quillon::instrument::VisaApi*>(tracing.get()) : visa.library.get();
    environment.loadError = visa.error;
    environment.anotherInstanceRunning = instanceCheck(lock);
    environment.instanceLockRefusal = [&lock] { return lock.refusal(); };
    environment.runSettings = app::runSettingsFor(line, folder);
    environment.restoreCalibrationFile = line.restoreCalibration;

    app::FrontEndOptions options;
    options.saveFile = line.saveFile;
    options.pauseScale = pauseScaleOrDefault();
    options.records = {line.jsonFile, *database, {}, line.reportFile};

    if (app::wantsConsole(line, app::processEnvironment())) {
        return ui::runConsole(environment, options);
    }
    return ui::runWindows(argc, argv, environment, options);
}
