// SPDX-License-Identifier: MIT
#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <functional>

#include "testrun/frmDoTest.h"
#include "testrun/test_options.h"

namespace quillon::app {
namespace {

using Indices = std::variant<std::vector<int>, std::string>;

// One row per option. A flag sets a member; an option with a value hands it to apply, which
// returns an error message, empty when the value was accepted.
struct OptionSpec {
    std::string_view name;
    bool CommandLine::*flag;
    std::string (*apply)(CommandLine&, std::string_view);
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

std::string assignNonEmpty(std::string& target, std::string_view value, std::string_view option,
                           std::string_view what) {
    if (value.empty()) return std::string(option) + " needs " + std::string(what);
    target = std::string(value);
    return {};
}

std::string applySimProfile(CommandLine& line, std::string_view value) {
    line.sim = true;
    return assignNonEmpty(line.simProfile, value, "--sim-profile", "a file name");
}

std::string applyVisaLibrary(CommandLine& line, std::string_view value) {
    return assignNonEmpty(line.visaLibrary, value, "--visa-library", "a file name");
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

std::string applyCalibrationDirectory(CommandLine& line, std::string_view value) {
    return assignNonEmpty(line.calibrationDirectory, value, "--cal-dir", "a folder");
}

std::string applySaveFile(CommandLine& line, std::string_view value) {
    return assignNonEmpty(line.saveFile, value, "--save", "a file name");
}

constexpr std::array<OptionSpec, 12> kOptions = {{
    {"--help", &CommandLine::help, nullptr},
    {"-h", &CommandLine::help, nullptr},
    {"--console", &CommandLine::console, nullptr},
    {"--yes", &CommandLine::acceptWizard, nullptr},
    {"--sim", &CommandLine::sim, nullptr},
    {"--sim-profile", nullptr, applySimProfile},
    {"--visa-library", nullptr, applyVisaLibrary},
    {"--bands", nullptr, applyBands},
    {"--tests", nullptr, applyTests},
    {"--iterations", nullptr, applyIterations},
    {"--cal-dir", nullptr, applyCalibrationDirectory},
    {"--save", nullptr, applySaveFile},
}};

const OptionSpec* findOption(std::string_view name) {
    for (const OptionSpec& option : kOptions) {
        if (option.name == name) return &option;
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
    const auto& bands = testrun::frmDoTest::kBands;
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
    for (const auto& band : testrun::frmDoTest::kBands) names += std::string(band.name) + ", ";
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
    if (inlineValue) return option->apply(line, *inlineValue);
    // A following option is not taken as the value: "--save --yes" is a forgotten file name.
    if (at + 1 >= args.size() || args[at + 1].substr(0, 2) == "--") {
        return std::string(name) + " needs a value";
    }
    return option->apply(line, args[++at]);
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
    return line;
}

std::string usageText() {
    return R"(Usage: quillon [OPTION]...
Verifies the RF sources of a 4750 test set over GPIB.

Options:
  --console            run on the terminal (chosen by itself when no display is available)
  --yes                accept the setup wizard without prompts (Next, Next, Go!)
  --sim                use the simulated test set (the simulated VISA library beside quillon)
  --sim-profile FILE   simulated test set profile; implies --sim
                       (default: sim-profiles/healthy.toml beside the library)
  --visa-library PATH  load this VISA library instead of the system's one
  --bands LIST         bands to verify: GSM450, GSM850, PGSM, DCS, PCS (any case) or 0-4,
                       separated by commas
  --tests LIST         tests to run, indices 0-7 separated by commas (test 8, Calibrate
                       source, always runs): 0-4 source 1, 5-7 source 2
  --iterations N       measurement count, 1-100 (default 50)
                       --bands, --tests and --iterations make the options dialog's choice
                       up front, starting from all bands, tests 0-7 and 50 iterations
  --cal-dir DIR        folder of the two calibration data files (default: quillon's folder)
  --save FILE          write the results file when the run reaches its end
  -h, --help           show this text

Exit codes:
  0   Pass
  1   Fail (a result outside its limits, no instrument error)
  2   instrument error during the run
  3   start-up refused: no or several test sets, VISA library missing or unusable,
      unsupported test application, already running
  4   setup wizard cancelled
  64  bad command line
  130 interrupted (Ctrl+C, console)

Environment:
  QUILLON_INSTANCE_LOCK  path of the single-instance lock file
  QUILLON_PAUSE_SCALE    factor applied to the run's fixed pauses (e.g. 0 for tests)
  QUILLON_SIM_PROFILE    profile of the simulated test set (set by --sim-profile)
)";
}

}  // namespace quillon::app
