// SPDX-License-Identifier: MIT
#include "app/modMain.h"

#include <cstdio>
#include <exception>
#include <string>

#include "app/program_info.h"
#include "calbackup/restore.h"
#include "instrument/clsMom.h"
#include "instrument/clsVisa.h"
#include "testrun/frmDoTest.h"

namespace quillon::app {
namespace {

// The major number as the character of that code, then minor and revision as two digits each:
// 65.2.1 reads A.02.01.
std::string letteredVersion() {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%c.%02d.%02d", static_cast<char>(kVersionMajor),
                  kVersionMinor, kVersionRevision);
    return buffer;
}

using testrun::MessageIcon;

constexpr const char* kCrLf = "\r\n";

std::string joinLines(std::initializer_list<const char*> lines) {
    std::string text;
    bool first = true;
    for (const char* line : lines) {
        if (!first) text += kCrLf;
        text += line;
        first = false;
    }
    return text;
}

void refuseCount(testrun::OperatorInterface& ui, std::int16_t count) {
    if (count != 0) {
        ui.messageBox("Multiple connected 4750s detected",
                      joinLines({"More than one 4750 is connected to this host", "",
                                 "This program can only work with one 4750 connected to the host "
                                 "at a time.",
                                 "Please disconnect all 4750s except the one on which you want to "
                                 "run source verification",
                                 "and run this program again."}),
                      MessageIcon::Exclamation);
    } else {
        ui.messageBox("No 4750 detected",
                      joinLines({"No 4750 detected", "",
                                 "This program could not detect an 4750 connected to this host.",
                                 "Please ensure you have a powered-up, connected 4750 and run this "
                                 "program again."}),
                      MessageIcon::Exclamation);
    }
    ui.endProgram(testrun::kExitStartupRefused);
}

void startAndRun(testrun::OperatorInterface& ui, const StartupEnvironment& environment,
                 ProgramObjects& objects) {
    objects.program.visaInitFailed = false;
    objects.program.measurementIterations = instrument::kDefaultIterations;

    ui.showSplash();
    ui.yield();
    if (environment.anotherInstanceRunning && environment.anotherInstanceRunning()) {
        ui.messageBox("Already running", "This program is already running.", MessageIcon::None);
        ui.endProgram(testrun::kExitStartupRefused);
    }
    if (environment.instanceLockRefusal) {
        if (const std::string why = environment.instanceLockRefusal(); !why.empty()) {
            ui.messageBox("Instance lock refused", why, MessageIcon::Exclamation);
            ui.endProgram(testrun::kExitStartupRefused);
        }
    }
    ui.yield();
    ui.setSplashStatus("Looking for 4750s");

    instrument::BusHooks hooks;
    hooks.yield = [&ui] { ui.yield(); };
    hooks.notify = [&ui](const std::string& title, const std::string& text) {
        ui.messageBox(title, text, MessageIcon::None);
    };
    objects.bus = std::make_unique<instrument::clsVisa>(environment.visa, environment.loadError,
                                                        std::move(hooks), objects.program);
    if (!objects.program.visaInitFailed) objects.bus->seek4750s();

    ui.setSplashStatus("Found " + std::to_string(objects.bus->num4750s()) + " 4750s");
    if (objects.bus->num4750s() != 1) refuseCount(ui, objects.bus->num4750s());

    ui.closeSplash();
    if (!environment.restoreCalibrationFile.empty()) {
        const auto testSet = objects.bus->get4750(0);
        ui.endProgram(calbackup::restoreFromFile(*objects.bus, ui, testSet->MomVI(),
                                                 testSet->MomSerialNumber(),
                                                 environment.restoreCalibrationFile));
    }
    objects.testForm = std::make_unique<testrun::frmDoTest>(*objects.bus, objects.program, ui,
                                                            environment.runSettings);
    objects.testForm->prepareForTest(0);
    ui.showTestForm();
    objects.outcome = objects.testForm->runTest();
    objects.testForm->tidyUp();
}

}  // namespace

ProgramObjects::ProgramObjects() = default;
ProgramObjects::~ProgramObjects() = default;

std::string versionText() {
    return "Version: " + letteredVersion();
}

std::string versionNumber() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}

std::string versionLine() {
    return std::string(kProgramTitle) + " " + versionNumber() + " (" + letteredVersion() + ")";
}

void runMain(testrun::OperatorInterface& ui, const StartupEnvironment& environment,
             ProgramObjects& objects) {
    try {
        startAndRun(ui, environment, objects);
    } catch (const std::exception& error) {
        // The logic throws nothing of its own; should the library throw, the program still ends
        // in order, as after an instrument error, in either front-end.
        std::fprintf(stderr, "quillon: the run stopped: %s\n", error.what());
        ui.endProgram(testrun::kExitInstrumentError);
    }
}

int exitCodeFor(const testrun::RunOutcome& outcome) {
    if (outcome.runFailed) return testrun::kExitInstrumentError;
    return outcome.failCount != 0 ? testrun::kExitFail : testrun::kExitPass;
}

}  // namespace quillon::app
