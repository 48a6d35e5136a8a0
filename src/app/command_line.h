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
    bool help = false;                       // --help, -h
    bool version = false;                    // --version
    bool console = false;                    // --console
    bool acceptWizard = false;               // --yes
    bool sim = false;                        // --sim, also implied by --sim-profile
    std::string simProfile;                  // --sim-profile FILE
    std::string visaLibrary;                 // --visa-library PATH
    std::optional<std::vector<int>> bands;   // --bands LIST, band indices 0-4
    std::optional<std::vector<int>> tests;   // --tests LIST, test indices 0-7
    std::optional<int> iterations;           // --iterations N, 1-100
    std::string calibrationDirectory;        // --cal-dir DIR
    std::string saveFile;                    // --save FILE
    std::string traceFile;                   // --trace FILE
    std::string simReplay;                   // --sim-replay FILE, implies --sim
    std::string calibrationBackupDirectory;  // --cal-backup-dir DIR
    bool noCalibrationBackup = false;        // --no-cal-backup
    std::string restoreCalibration;          // --restore-calibration FILE
    std::string jsonFile;                    // --json FILE
    std::string resultsDatabase;             // --results-db URL
    std::string historySerial;               // --history SERIAL
    std::string reportFile;                  // --report FILE.pdf

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

// What --help and the manual page say, from the tables the parser uses.
inline constexpr std::string_view kProgramSummary =
    "Verifies the RF sources of a 4750 test set over GPIB.";

struct OptionDescription {
    std::string_view name;      // "--sim-profile"
    std::string_view alias;     // a short form such as "-h", or empty
    std::string_view argument;  // the value's name, "FILE"; empty for a flag
    std::string_view help;      // one paragraph, not wrapped
};
struct ExitCodeDescription {
    int code;
    std::string_view meaning;
};
struct EnvironmentDescription {
    std::string_view name;
    std::string_view effect;
};

std::vector<OptionDescription> optionDescriptions();
std::span<const ExitCodeDescription> exitCodeDescriptions();
std::span<const EnvironmentDescription> environmentDescriptions();

// "-h, --help", "--save FILE": an option as the help texts name it.
std::string optionTerm(const OptionDescription& option);

// text with its blanks turned into line breaks where a line would grow past width; a word
// longer than width stands on a line of its own.
std::string wrapText(std::string_view text, std::size_t width);

// The text --help prints.
std::string usageText();

}  // namespace quillon::app
