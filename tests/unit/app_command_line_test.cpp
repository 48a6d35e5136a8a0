// SPDX-License-Identifier: MIT
// The command line, right and wrong, and what main decides from it and the environment.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "app/command_line.h"
#include "app/launch.h"
#include "app/manual_page.h"

namespace quillon::app {
namespace {

using Args = std::vector<std::string>;

// Every field that differs from its default, so that a stray side effect shows; or the error.
std::string describe(const Args& args) {
    const auto parsed = parseCommandLine(args);
    if (const auto* error = std::get_if<CommandLineError>(&parsed)) return "! " + error->message;
    const CommandLine& line = std::get<CommandLine>(parsed);
    std::ostringstream text;
    text << (line.help ? "help " : "") << (line.version ? "version " : "")
         << (line.console ? "console " : "") << (line.acceptWizard ? "yes " : "")
         << (line.sim ? "sim " : "");
    const auto field = [&text](const char* name, const std::string& value) {
        if (!value.empty()) text << name << '=' << value << ' ';
    };
    const auto list = [&field](const char* name, const std::optional<std::vector<int>>& indices) {
        std::string joined = indices ? "[" : "";
        for (const int index : indices.value_or(std::vector<int>{}))
            joined += std::to_string(index);
        field(name, indices ? joined + "]" : "");
    };
    field("profile", line.simProfile);
    field("lib", line.visaLibrary);
    list("bands", line.bands);
    list("tests", line.tests);
    field("it", line.iterations ? std::to_string(*line.iterations) : "");
    field("cal", line.calibrationDirectory);
    field("save", line.saveFile);
    field("trace", line.traceFile);
    field("backups", line.calibrationBackupDirectory);
    field("restore", line.restoreCalibration);
    text << (line.noCalibrationBackup ? "no-backup " : "");
    return text.str();
}

// Accepted: the fields set. Refused ("! "): how the one-line message begins.
TEST(CommandLine, AcceptsEveryOptionAndRefusesBadInput) {
    const std::pair<Args, std::string> cases[] = {
        {{}, ""},
        {{"-h"}, "help "},
        {{"--version", "--help"}, "help version "},
        {{"--console", "--yes", "--sim"}, "console yes sim "},
        {{"--sim-profile=dir/p.toml"}, "sim profile=dir/p.toml "},
        {{"--visa-library", "/opt/libvisa.so"}, "lib=/opt/libvisa.so "},
        {{"--cal-backup-dir", "b", "--restore-calibration=f.txt"}, "backups=b restore=f.txt "},
        {{"--no-cal-backup"}, "no-backup "},
        {{"--no-cal-backup", "--cal-backup-dir", "b"}, "! --no-cal-backup cannot be combined"},
        {{"--restore-calibration="}, "! --restore-calibration needs a file name"},
        {{"--bands", "4,0,4"}, "bands=[04] "},
        {{"--bands= GSM450 , pgsm,Pcs"}, "bands=[024] "},
        {{"--tests", "7,0,5"}, "tests=[057] "},
        {{"--iterations=100"}, "it=100 "},
        {{"--cal-dir", "/cal", "--save", "a", "--save", "b"}, "cal=/cal save=b "},  // last one wins
        {{"--frobnicate"}, "! unknown option '--frobnicate'"},
        {{"results.csv"}, "! unexpected argument 'results.csv'"},
        {{"--save", "--yes"}, "! --save needs a value"},
        {{"--save="}, "! --save needs a file name"},
        {{"--trace", "t.txt", "--sim"}, "sim trace=t.txt "},
        {{"--trace"}, "! --trace needs a value"},
        {{"--bands"}, "! --bands needs a value"},
        {{"--bands", " "}, "! --bands: the band list is empty"},
        {{"--bands", "0,,1"}, "! --bands: empty band in the list"},
        {{"--bands", "GSM900"}, "! --bands: unknown band 'GSM900'"},
        {{"--bands", "5"}, "! --bands: unknown band '5'"},
        {{"--tests", "8"}, "! --tests: unknown test '8'"},
        {{"--iterations", "0"}, "! --iterations: '0' is not a whole number from 1 to 100"},
        {{"--iterations", "101"}, "! --iterations: '101' is not a whole number from 1 to 100"},
        {{"--iterations", "+5"}, "! --iterations: '+5' is not a whole number from 1 to 100"},
        {{"--iterations", "99999999999"}, "! --iterations: '99999999999' is not a whole number"},
        {{"--yes=1"}, "! --yes takes no value"},
        {{"--visa-library", "/x.so", "--sim"},
         "! --sim and --sim-profile cannot be combined with --visa-library"}};
    for (const auto& [args, expected] : cases) {
        const std::string got = describe(args);
        EXPECT_EQ(expected[0] == '!' ? got.substr(0, expected.size()) : got, expected);
        EXPECT_EQ(got.find('\n'), std::string::npos) << got;
    }
}

TEST(HelpText, WrapsAtBlanksWithinTheWidth) {
    const std::tuple<std::string, std::size_t, std::string> cases[] = {
        {"", 10, ""},
        {"one two three", 7, "one two\nthree"},
        {"one two three", 8, "one two\nthree"},
        {"one two three", 13, "one two three"},
        {"a  b ", 3, "a b"},                                           // runs of blanks collapse
        {"short unbreakableword x", 5, "short\nunbreakableword\nx"}};  // no word is split
    for (const auto& [text, width, expected] : cases) {
        EXPECT_EQ(wrapText(text, width), expected) << text << " / " << width;
    }
}

// --help and the manual page come from the parser's own tables: every option the parser takes
// is listed by both, and --help fits a terminal.
TEST(HelpText, ListsEveryOptionExitCodeAndVariable) {
    const std::string usage = usageText();
    const std::string page = manualPage();
    for (const OptionDescription& option : optionDescriptions()) {
        std::vector<std::string> args{std::string(option.name)};
        if (!option.argument.empty()) args.emplace_back("1");
        EXPECT_TRUE(std::holds_alternative<CommandLine>(parseCommandLine(args))) << option.name;
        EXPECT_NE(usage.find("  " + optionTerm(option)), std::string::npos) << option.name;
        EXPECT_NE(page.find("\\fB" + roffText(option.name) + "\\fR"), std::string::npos)
            << option.name;
    }
    for (const ExitCodeDescription& code : exitCodeDescriptions()) {
        EXPECT_NE(usage.find("\n  " + std::to_string(code.code) + " "), std::string::npos);
        EXPECT_NE(page.find(".TP\n\\fB" + std::to_string(code.code) + "\\fR\n"), std::string::npos);
    }
    for (const EnvironmentDescription& variable : environmentDescriptions()) {
        EXPECT_NE(usage.find("\n  " + std::string(variable.name) + " "), std::string::npos);
        EXPECT_NE(page.find(roffText(variable.name)), std::string::npos);
    }
    std::istringstream lines(usage);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 79U) << line;
}

// Text that roff would read as a request or an escape is written so that it shows as typed
// (the page as a whole renders without a warning: ctest manual_page_renders).
TEST(ManualPage, TextIsEscapedForRoff) {
    const std::pair<std::string, std::string> cases[] = {{"--save FILE", "\\-\\-save FILE"},
                                                         {".hidden", "\\&.hidden"},
                                                         {"'quoted'", "\\&'quoted'"},
                                                         {"a.b 'c'", "a.b 'c'"},
                                                         {"C:\\path", "C:\\epath"}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(roffText(text), expected) << text;
}

using Environment = std::map<std::string, std::string>;

EnvironmentLookup fakeEnvironment(Environment values) {
    return [values = std::move(values)](const char* name) -> const char* {
        const auto found = values.find(name);
        return found == values.end() ? nullptr : found->second.c_str();
    };
}

#ifndef _WIN32
TEST(Launch, ConsoleWhenAskedOrWithoutDisplay) {
    const std::tuple<bool, Environment, bool> cases[] = {
        {false, {}, true},
        {false, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, true},
        {false, {{"DISPLAY", ":0"}}, false},
        {false, {{"WAYLAND_DISPLAY", "wayland-0"}}, false},
        {false, {{"QT_QPA_PLATFORM", "offscreen"}}, false},
        {true, {{"DISPLAY", ":0"}}, true}};
    for (const auto& [option, environment, console] : cases) {
        CommandLine line;
        line.console = option;
        EXPECT_EQ(wantsConsole(line, fakeEnvironment(environment)), console);
    }
}

// --sim finds the library beside the program (build tree) or in the installed tree's private
// folder, from wherever that tree was moved; --visa-library is taken as given.
TEST(Launch, SimulatedLibraryBesideTheProgramThenInTheInstalledTree) {
    const std::string beside = simulatedLibraryPath("/opt/q/bin");
    const std::string installed = simulatedLibraryPath("/opt/q/lib/quillon");
    const std::tuple<Args, std::set<std::string>, std::string> cases[] = {
        {{"--sim"}, {}, beside},
        {{"--sim"}, {beside}, beside},
        {{"--sim"}, {installed}, installed},
        {{"--sim"}, {beside, installed}, beside},
        {{"--sim-profile", "p.toml"}, {installed}, installed},
        {{"--visa-library", "/usr/lib/libvisa.so"}, {beside, installed}, "/usr/lib/libvisa.so"},
        {{}, {beside}, ""}};
    for (const auto& [args, files, expected] : cases) {
        const CommandLine line = std::get<CommandLine>(parseCommandLine(args));
        const auto exists = [&files](const std::string& path) { return files.count(path) > 0; };
        EXPECT_EQ(visaLibraryPath(line, "/opt/q/bin", exists), expected) << args.size();
    }
}
#endif

TEST(Launch, PauseScaleTakesOnlyPlainNonNegativeNumbers) {
    EXPECT_EQ(pauseScale(fakeEnvironment({})), 1.0);
    for (const auto& [text, scale] :
         {std::pair{"0", 0.0}, {"0.01", 0.01}, {"2.5", 2.5}, {"1000", 1000.0}}) {
        EXPECT_EQ(pauseScale(fakeEnvironment({{"QUILLON_PAUSE_SCALE", text}})), scale) << text;
    }
    for (const char* bad : {"", "-1", "fast", "0.5x", "inf", "nan", "1000.5", "1e300"}) {
        EXPECT_EQ(pauseScale(fakeEnvironment({{"QUILLON_PAUSE_SCALE", bad}})), std::nullopt) << bad;
    }
}

}  // namespace
}  // namespace quillon::app
