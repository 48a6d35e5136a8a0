// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillon::app {

// What the command line asks for. The same options serve both front-ends.
struct CommandLine {
    bool help = false;
    bool console = false;                   // --console
    bool acceptWizard = false;              // --yes
    bool sim = false;                       // --sim, also implied by --sim-profile
    std::string simProfile;                 // --sim-profile FILE
    std::string visaLibrary;                // --visa-library PATH
    std::optional<std::vector<int>> bands;  // --bands LIST, band indices 0-4
    std::optional<std::vector<int>> tests;  // --tests LIST, test indices 0-7
    std::optional<int> iterations;          // --iterations N, 1-100
    std::string calibrationDirectory;       // --cal-dir DIR
    std::string saveFile;                   // --save FILE

    // Any of --bands, --tests, --iterations: the options dialog's choice is made up front.
    bool hasPreset() const { return bands || tests || iterations; }
};

struct CommandLineError {
    std::string message;  // one line, names the offending option or value
};

// args are the arguments after the program name. Pure: reads nothing but args.
std::variant<CommandLine, CommandLineError> parseCommandLine(std::span<const std::string> args);

// The pieces of the parser that the console's options editor reuses. Each returns the indices,
// sorted and without repeats, or the reason the text was refused.
std::variant<std::vector<int>, std::string> parseBandList(std::string_view list);
std::variant<std::vector<int>, std::string> parseTestList(std::string_view list);
std::variant<int, std::string> parseIterations(std::string_view text);

// The text --help prints.
std::string usageText();

}  // namespace quillon::app
