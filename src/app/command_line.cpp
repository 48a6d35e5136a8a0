// SPDX-License-Identifier: MIT
#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <functional>

#include "testrun/band_table.h"
#include "testrun/operator_interface.h"
#include "testrun/test_options.h"

namespace quillon::app {
namespace {

using Indices = std::variant<std::vector<int>, std::string>;

// One row per option: what --help and the manual page say about it and what it does. A flag
// sets a member; a text option keeps its value, which must not be empty (needs says what it
// names), and may imply --sim; any other option hands its value to apply. apply returns an error
// message, empty when the value was accepted.
struct OptionSpec {
    OptionDescription description;
    bool CommandLine::*flag;
    std::string (*apply)(CommandLine&, std::string_view);
    std::string CommandLine::*text = nullptr;
    const char* needs = nullptr;
    bool impliesSim = false;
};

template <typename T>
std::string assignOrError(std::optional<T>& target, const std::variant<T, std::string>& parsed,
                          std::string_view option) {
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        return std::string(option) + ": " + *error;
    }
    target = std::get<T>(parsed);
    return {};
}

std::string applyBands(CommandLine& line, std::string_view value) {
    return assignOrError(line.bands, parseBandList(value), "--bands");
}

std::string applyTests(CommandLine& line, std::string_view value) {
    return assignOrError(line.tests, parseTestList(value), "--tests");
}

std::string applyIterations(CommandLine& line, std::string_view value) {
    return assignOrError(line.iterations, parseIterations(value), "--iterations");
}

// clang-format off
constexpr OptionSpec kOptions[] = {
    {{"--console", "", "",
      "run on the terminal; chosen by itself on Linux when none of DISPLAY, WAYLAND_DISPLAY and "
      "QT_QPA_PLATFORM is set"},
     &CommandLine::console, nullptr},
    {{"--yes", "", "", "accept the setup wizard without prompts: Next, Next, Go! without Shift"},
     &CommandLine::acceptWizard, nullptr},
    {{"--sim", "", "",
      "use the simulated test set: load the simulated VISA library shipped with quillon"},
     &CommandLine::sim, nullptr},
    {{"--sim-profile", "", "FILE",
      "the simulated test set's profile; implies --sim (default: healthy.toml among the "
      "simulated library's profiles)"},
     nullptr, nullptr, &CommandLine::simProfile, "a file name", true},
    {{"--sim-replay", "", "FILE",
      "the simulated test set answers from a trace written by --trace instead of a profile: "
      "every call gets the recorded reply and status, in order; where the traffic departs from "
      "the recording, standard error names the trace's line and every call fails from then on. "
      "Implies --sim"},
     nullptr, nullptr, &CommandLine::simReplay, "a file name", true},
    {{"--visa-library", "", "PATH",
      "load this VISA library instead of the platform's own; not with --sim"},
     nullptr, nullptr, &CommandLine::visaLibrary, "a file name"},
    {{"--bands", "", "LIST",
      "bands to verify, separated by commas: GSM450, GSM850, PGSM, DCS, PCS (any case) or 0-4"},
     nullptr, applyBands},
    {{"--tests", "", "LIST",
      "tests to run, indices 0-7 separated by commas: 0-4 source 1, 5-7 source 2; test 8, "
      "Calibrate source, always runs"},
     nullptr, applyTests},
    {{"--iterations", "", "N",
      "measurement count, 1-100 (default 50). --bands, --tests and --iterations make the "
      "options dialog's choice up front, starting from all bands, tests 0-7 and 50 iterations"},
     nullptr, applyIterations},
    {{"--cal-dir", "", "DIR",
      "folder of the two calibration data files (default: quillon's own folder)"},
     nullptr, nullptr, &CommandLine::calibrationDirectory, "a folder"},
    {{"--save", "", "FILE",
      "after a run that reached its end, write the results file as Save does"},
     nullptr, nullptr, &CommandLine::saveFile, "a file name"},
    {{"--trace", "", "FILE",
      "write one line per VISA call the program makes to FILE: when it started (microseconds), "
      "how long it took, the function, the session, the text written, the reply and the status "
      "with its VISA name; the bus traffic is the same with or without it"},
     nullptr, nullptr, &CommandLine::traceFile, "a file name"},
    {{"--cal-backup-dir", "", "DIR",
      "folder for the calibration backup, the test set's calibration tables as read before the "
      "run writes its own (default: quillon/calibration-backups in the user's data folder)"},
     nullptr, nullptr, &CommandLine::calibrationBackupDirectory, "a folder"},
    {{"--no-cal-backup", "", "", "take no calibration backup"},
     &CommandLine::noCalibrationBackup, nullptr},
    {{"--restore-calibration", "", "FILE",
      "instead of a run, write a calibration backup back into the test set it was taken "
      "from, store it and read it back"},
     nullptr, nullptr, &CommandLine::restoreCalibration, "a file name"},
    {{"--json", "", "FILE",
      "after a run that reached its end, write its record as JSON (schema: "
      "run-record.schema.json); with --history, write the history there instead"},
     nullptr, nullptr, &CommandLine::jsonFile, "a file name"},
    // The URL is checked with QUILLON_RESULTS_DB's, once main knows which one applies.
    {{"--results-db", "", "URL",
      "store each run in the results database sqlite:PATH or postgresql://[USER@]HOST[:PORT]/DB "
      "(a socket folder as ?host=/DIR); when it cannot be reached the run waits in an outbox "
      "in the user's data folder for the next run (default: QUILLON_RESULTS_DB)"},
     nullptr, nullptr, &CommandLine::resultsDatabase, "a URL"},
    {{"--history", "", "SERIAL",
      "print the stored runs of test set SERIAL from the results database, newest first, with "
      "each result's drift since the run before; no run is made"},
     nullptr, nullptr, &CommandLine::historySerial, "a serial number"},
    {{"--report", "", "FILE.pdf",
      "after a run that reached its end, write a report to hand to a customer: the test set, "
      "options, times, calibration outcome, verdict, the results table and a margin chart per "
      "band (no display needed)"},
     nullptr, nullptr, &CommandLine::reportFile, "a file name"},
    {{"--version", "", "", "print the program's name and version, then exit"},
     &CommandLine::version, nullptr},
    {{"--help", "-h", "", "print this help, then exit"}, &CommandLine::help, nullptr},
};

constexpr ExitCodeDescription kExitCodes[] = {
    {testrun::kExitPass, "Pass"},
    {testrun::kExitFail, "Fail: a result outside its limits, no instrument error"},
    {testrun::kExitInstrumentError, "an instrument error stopped the run"},
    {testrun::kExitStartupRefused,
     "start-up refused: no or several test sets, VISA library missing or unusable, unsupported "
     "test application, already running; --restore-calibration: a file that is no complete "
     "calibration backup of the connected test set (nothing written); --history: the results "
     "database cannot be read"},
    {testrun::kExitWizardCancelled, "setup wizard cancelled"},
    {testrun::kExitResultsNotSaved,
     "results not saved: a file asked for (--save, --json, --report) could not be written whole, or neither "
     "the results database nor its outbox could keep the run; the earlier file "
     "is left as it was and the verdict is still printed"},
    {testrun::kExitRestoreMismatch,
     "--restore-calibration: an entry read back from the test set differs from the file"},
    {testrun::kExitBadCommandLine, "bad command line (the reason is printed on standard error)"},
    {129, "ended by SIGHUP (the terminal closed) on the console"},
    {130, "interrupted with Ctrl+C on the console"},
    {143, "ended by SIGTERM on the console"},
};

constexpr EnvironmentDescription kEnvironment[] = {
    {"QUILLON_INSTANCE_LOCK",
     "path of the single-instance lock file (default: quillon-UID.lock in XDG_RUNTIME_DIR, or "
     "instance.lock in a folder quillon-UID of the user's own in TMPDIR or /tmp; a named mutex "
     "on Windows). A lock another user could hold is refused (exit 3)"},
    {"QUILLON_PAUSE_SCALE",
     "factor for the run's fixed pauses: 0 skips them, 0.01 shortens them; for tests and "
     "benchmarks. Anything but a number from 0 to 1000 is ignored with a warning"},
    {"QUILLON_SIM_PROFILE",
     "profile of the simulated test set, read when its library opens; --sim-profile sets it"},
    {"QUILLON_SIM_REPLAY",
     "a trace written by --trace that the simulated library answers from; --sim-replay sets "
     "it"},
    {"QUILLON_RESULTS_DB",
     "the results database when --results-db is not given (same URL forms)"},
    {"QUILLON_SIM_TRACE",
     "the simulated library appends every message written to an instrument to this file, one "
     "line each"},
};
// clang-format on

const OptionSpec* findOption(std::string_view name) {
    for (const OptionSpec& option : kOptions) {
        if (option.description.name == name ||
            (!option.description.alias.empty() && option.description.alias == name)) {
            return &option;
        }
    }
    return nullptr;
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// A whole decimal number without sign or blanks, or nothing.
std::optional<int> wholeNumber(std::string_view text) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char ch) {
            return std::isdigit(static_cast<unsigned char>(ch)) != 0;
        })) {
        return std::nullopt;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<int> bandIndex(std::string_view item) {
    const auto& bands = testrun::kBands;
    for (std::size_t band = 0; band < bands.size(); ++band) {
        if (equalsIgnoringCase(item, bands[band].name)) return static_cast<int>(band);
    }
    const std::optional<int> number = wholeNumber(item);
    if (number && *number < static_cast<int>(bands.size())) return number;
    return std::nullopt;
}

std::optional<int> testIndex(std::string_view item) {
    const std::optional<int> number = wholeNumber(item);
    if (number && *number < testrun::TestOptions::kCalibrateSource) return number;
    return std::nullopt;
}

// Splits a comma-separated list and maps each item; refuses empty lists and empty or unknown
// items. what names the kind of item for the messages.
Indices parseList(std::string_view list, std::string_view what, std::string_view allowed,
                  const std::function<std::optional<int>(std::string_view)>& indexOf) {
    if (trimBlanks(list).empty()) return "the " + std::string(what) + " list is empty";
    std::vector<int> indices;
    for (;;) {
        const std::size_t comma = list.find(',');
        const std::string_view item = trimBlanks(list.substr(0, comma));
        if (item.empty()) return "empty " + std::string(what) + " in the list";
        const std::optional<int> index = indexOf(item);
        if (!index) {
            return "unknown " + std::string(what) + " '" + std::string(item) + "' (use " +
                   std::string(allowed) + ")";
        }
        indices.push_back(*index);
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    return indices;
}

std::string bandNamesText() {
    std::string names;
    for (const auto& band : testrun::kBands) names += std::string(band.name) + ", ";
    return names + "or 0-4";
}

// Splits "--name=value" into its two halves; other arguments come back whole.
std::pair<std::string_view, std::optional<std::string_view>> splitInlineValue(
    std::string_view arg) {
    if (arg.substr(0, 2) != "--") return {arg, std::nullopt};
    const std::size_t equals = arg.find('=');
    if (equals == std::string_view::npos) return {arg, std::nullopt};
    return {arg.substr(0, equals), arg.substr(equals + 1)};
}

std::string applyValue(const OptionSpec& option, CommandLine& line, std::string_view value) {
    if (option.text == nullptr) return option.apply(line, value);
    line.sim = line.sim || option.impliesSim;
    if (value.empty()) return std::string(option.description.name) + " needs " + option.needs;
    line.*(option.text) = std::string(value);
    return {};
}

std::string applyArgument(CommandLine& line, std::span<const std::string> args, std::size_t& at) {
    const auto [name, inlineValue] = splitInlineValue(args[at]);
    const OptionSpec* option = findOption(name);
    if (option == nullptr) {
        if (name.empty() || name.front() != '-') {
            return "unexpected argument '" + std::string(name) + "'";
        }
        return "unknown option '" + std::string(name) + "'";
    }
    if (option->flag != nullptr) {
        if (inlineValue) return std::string(name) + " takes no value";
        line.*(option->flag) = true;
        return {};
    }
    if (inlineValue) return applyValue(*option, line, *inlineValue);
    // A following option is not taken as the value: "--save --yes" is a forgotten file name.
    if (at + 1 >= args.size() || args[at + 1].substr(0, 2) == "--") {
        return std::string(name) + " needs a value";
    }
    return applyValue(*option, line, args[++at]);
}

// Terms in a column two blanks in, their texts wrapped in a second column; a term too wide for
// the first column puts its text on the next line.
std::string termList(const std::vector<std::pair<std::string, std::string_view>>& rows) {
    constexpr std::size_t kIndent = 2;
    constexpr std::size_t kWidestTerm = 21;
    constexpr std::size_t kLineWidth = 79;
    std::size_t column = 0;
    for (const auto& row : rows) column = std::max(column, std::min(row.first.size(), kWidestTerm));
    column += kIndent + 2;
    std::string list;
    for (const auto& [term, text] : rows) {
        std::string line = std::string(kIndent, ' ') + term;
        line += line.size() + 2 <= column ? std::string(column - line.size(), ' ')
                                          : "\n" + std::string(column, ' ');
        const std::string wrapped = wrapText(text, kLineWidth - column);
        for (const char ch : wrapped) {
            line += ch;
            if (ch == '\n') line += std::string(column, ' ');
        }
        list += line + '\n';
    }
    return list;
}

}  // namespace

Indices parseBandList(std::string_view list) {
    return parseList(list, "band", bandNamesText(), bandIndex);
}

Indices parseTestList(std::string_view list) {
    return parseList(list, "test", "0-7; test 8, Calibrate source, always runs", testIndex);
}

std::variant<int, std::string> parseIterations(std::string_view text) {
    text = trimBlanks(text);
    const std::optional<int> number = wholeNumber(text);
    if (!number || *number < testrun::TestOptions::kMinIterations ||
        *number > testrun::TestOptions::kMaxIterations) {
        return "'" + std::string(text) + "' is not a whole number from 1 to 100";
    }
    return *number;
}

std::variant<CommandLine, CommandLineError> parseCommandLine(std::span<const std::string> args) {
    CommandLine line;
    for (std::size_t at = 0; at < args.size(); ++at) {
        std::string error = applyArgument(line, args, at);
        if (!error.empty()) return CommandLineError{std::move(error)};
    }
    if (line.sim && !line.visaLibrary.empty()) {
        return CommandLineError{"--sim and --sim-profile cannot be combined with --visa-library"};
    }
    if (line.noCalibrationBackup && !line.calibrationBackupDirectory.empty()) {
        return CommandLineError{"--no-cal-backup cannot be combined with --cal-backup-dir"};
    }
    return line;
}

std::vector<OptionDescription> optionDescriptions() {
    std::vector<OptionDescription> descriptions;
    for (const OptionSpec& option : kOptions) descriptions.push_back(option.description);
    return descriptions;
}

std::span<const ExitCodeDescription> exitCodeDescriptions() {
    return kExitCodes;
}

std::span<const EnvironmentDescription> environmentDescriptions() {
    return kEnvironment;
}

std::string optionTerm(const OptionDescription& option) {
    std::string term = option.alias.empty() ? "" : std::string(option.alias) + ", ";
    term += option.name;
    if (!option.argument.empty()) term += " " + std::string(option.argument);
    return term;
}

std::string wrapText(std::string_view text, std::size_t width) {
    std::string wrapped;
    std::size_t lineLength = 0;
    while (!text.empty()) {
        const std::size_t blank = text.find(' ');
        const std::string_view word = text.substr(0, blank);
        if (!word.empty()) {
            if (lineLength > 0 && lineLength + 1 + word.size() > width) {
                wrapped += '\n';
                lineLength = 0;
            } else if (lineLength > 0) {
                wrapped += ' ';
                ++lineLength;
            }
            wrapped += word;
            lineLength += word.size();
        }
        if (blank == std::string_view::npos) break;
        text.remove_prefix(blank + 1);
    }
    return wrapped;
}

std::string usageText() {
    std::vector<std::pair<std::string, std::string_view>> options;
    for (const OptionSpec& option : kOptions) {
        options.emplace_back(optionTerm(option.description), option.description.help);
    }
    std::vector<std::pair<std::string, std::string_view>> codes;
    for (const ExitCodeDescription& code : kExitCodes) {
        codes.emplace_back(std::to_string(code.code), code.meaning);
    }
    std::vector<std::pair<std::string, std::string_view>> variables;
    for (const EnvironmentDescription& variable : kEnvironment) {
        variables.emplace_back(std::string(variable.name), variable.effect);
    }
    return "Usage: quillon [OPTION]...\n" + std::string(kProgramSummary) + "\n\nOptions:\n" +
           termList(options) + "\nExit codes:\n" + termList(codes) + "\nEnvironment:\n" +
           termList(variables);
}

}  // namespace quillon::app
