// SPDX-License-Identifier: MIT
// The command line: every option, and every way of getting it wrong.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "app/command_line.h"

namespace quillon::app {
namespace {

std::string listText(const std::optional<std::vector<int>>& list) {
    if (!list) return "-";
    std::string text;
    for (const int index : *list) text += (text.empty() ? "" : ",") + std::to_string(index);
    return "[" + text + "]";
}

// Every field that differs from its default, in one line: a case states the whole outcome, so
// a stray side effect shows.
std::string describe(const CommandLine& line) {
    std::ostringstream text;
    const auto flag = [&text](bool on, const char* name) {
        if (on) text << name << ' ';
    };
    const auto value = [&text](const std::string& field, const char* name) {
        if (!field.empty()) text << name << '=' << field << ' ';
    };
    flag(line.help, "help");
    flag(line.console, "console");
    flag(line.acceptWizard, "yes");
    flag(line.sim, "sim");
    value(line.simProfile, "profile");
    value(line.visaLibrary, "lib");
    if (line.bands) text << "bands=" << listText(line.bands) << ' ';
    if (line.tests) text << "tests=" << listText(line.tests) << ' ';
    if (line.iterations) text << "it=" << *line.iterations << ' ';
    value(line.calibrationDirectory, "cal");
    value(line.saveFile, "save");
    return text.str();
}

struct GoodCase {
    std::vector<std::string> args;
    std::string expected;
};

class CommandLineAccepts : public ::testing::TestWithParam<GoodCase> {};

TEST_P(CommandLineAccepts, EveryField) {
    const auto parsed = parseCommandLine(GetParam().args);
    ASSERT_TRUE(std::holds_alternative<CommandLine>(parsed))
        << std::get<CommandLineError>(parsed).message;
    EXPECT_EQ(describe(std::get<CommandLine>(parsed)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLineAccepts,
    ::testing::Values(
        GoodCase{{}, ""}, GoodCase{{"--help"}, "help "}, GoodCase{{"-h"}, "help "},
        GoodCase{{"--console"}, "console "}, GoodCase{{"--yes"}, "yes "},
        GoodCase{{"--sim"}, "sim "}, GoodCase{{"--sim-profile", "p.toml"}, "sim profile=p.toml "},
        GoodCase{{"--sim-profile=dir/p.toml"}, "sim profile=dir/p.toml "},
        GoodCase{{"--visa-library", "/opt/libvisa.so"}, "lib=/opt/libvisa.so "},
        GoodCase{{"--bands", "pgsm,DCS"}, "bands=[2,3] "},
        GoodCase{{"--bands", "4,0,4"}, "bands=[0,4] "},
        GoodCase{{"--bands= GSM450 , gsm850,Pcs"}, "bands=[0,1,4] "},
        GoodCase{{"--tests", "7,0,5"}, "tests=[0,5,7] "}, GoodCase{{"--iterations", "1"}, "it=1 "},
        GoodCase{{"--iterations=100"}, "it=100 "}, GoodCase{{"--cal-dir", "/cal"}, "cal=/cal "},
        GoodCase{{"--save", "out.csv"}, "save=out.csv "},
        GoodCase{{"--console", "--yes", "--sim", "--bands", "dcs", "--tests", "0", "--iterations",
                  "5", "--save", "r.txt", "--cal-dir", "c"},
                 "console yes sim bands=[3] tests=[0] it=5 cal=c save=r.txt "},
        // The last of a repeated option wins.
        GoodCase{{"--save", "a.csv", "--save", "b.csv"}, "save=b.csv "}));

struct BadCase {
    std::vector<std::string> args;
    std::string messagePart;
};

class CommandLineRefuses : public ::testing::TestWithParam<BadCase> {};

TEST_P(CommandLineRefuses, WithAMessageNamingTheFault) {
    const auto parsed = parseCommandLine(GetParam().args);
    ASSERT_TRUE(std::holds_alternative<CommandLineError>(parsed));
    const std::string& message = std::get<CommandLineError>(parsed).message;
    EXPECT_NE(message.find(GetParam().messagePart), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << "one line: " << message;
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, CommandLineRefuses,
    ::testing::Values(
        BadCase{{"--frobnicate"}, "unknown option '--frobnicate'"},
        BadCase{{"-x"}, "unknown option '-x'"},
        BadCase{{"results.csv"}, "unexpected argument 'results.csv'"},
        BadCase{{"--save"}, "--save needs a value"},
        BadCase{{"--save", "--yes"}, "--save needs a value"},
        BadCase{{"--save="}, "--save needs a file name"},
        BadCase{{"--sim-profile"}, "--sim-profile needs a value"},
        BadCase{{"--visa-library"}, "--visa-library needs a value"},
        BadCase{{"--cal-dir="}, "--cal-dir needs a folder"},
        BadCase{{"--bands"}, "--bands needs a value"},
        BadCase{{"--bands", ""}, "--bands: the band list is empty"},
        BadCase{{"--bands", " "}, "--bands: the band list is empty"},
        BadCase{{"--bands", "0,,1"}, "--bands: empty band in the list"},
        BadCase{{"--bands", "DCS,"}, "--bands: empty band in the list"},
        BadCase{{"--bands", "GSM900"}, "--bands: unknown band 'GSM900'"},
        BadCase{{"--bands", "5"}, "unknown band '5'"},
        BadCase{{"--bands", "-1"}, "unknown band '-1'"},
        BadCase{{"--tests", ""}, "--tests: the test list is empty"},
        BadCase{{"--tests", "1,,2"}, "--tests: empty test in the list"},
        BadCase{{"--tests", "8"}, "--tests: unknown test '8'"},
        BadCase{{"--tests", "PFER"}, "unknown test 'PFER'"},
        BadCase{{"--iterations", "0"}, "--iterations: '0' is not a whole number from 1 to 100"},
        BadCase{{"--iterations", "101"}, "'101' is not a whole number from 1 to 100"},
        BadCase{{"--iterations", "abc"}, "'abc' is not a whole number"},
        BadCase{{"--iterations", "2.5"}, "'2.5' is not a whole number"},
        BadCase{{"--iterations", "+5"}, "'+5' is not a whole number"},
        BadCase{{"--iterations", "-3"}, "'-3' is not a whole number"},
        BadCase{{"--iterations", "99999999999"}, "is not a whole number"},
        BadCase{{"--iterations="}, "'' is not a whole number"},
        BadCase{{"--yes=1"}, "--yes takes no value"},
        BadCase{{"--sim", "--visa-library", "/x.so"}, "cannot be combined with --visa-library"},
        BadCase{{"--visa-library", "/x.so", "--sim-profile", "p"},
                "cannot be combined with --visa-library"}));

TEST(CommandLineLists, OptionsEditorUsesTheSameRules) {
    EXPECT_EQ(std::get<std::vector<int>>(parseBandList("pcs, 2")), (std::vector<int>{2, 4}));
    EXPECT_EQ(std::get<std::vector<int>>(parseTestList("3")), (std::vector<int>{3}));
    EXPECT_EQ(std::get<int>(parseIterations(" 42 ")), 42);
    EXPECT_TRUE(std::holds_alternative<std::string>(parseTestList("0,9")));
}

TEST(CommandLineUsage, DocumentsEveryOptionAndExitCode) {
    const std::string usage = usageText();
    for (const char* part :
         {"--console", "--yes", "--sim", "--sim-profile FILE", "--visa-library PATH",
          "--bands LIST", "--tests LIST", "--iterations N", "--cal-dir DIR", "--save FILE",
          "--help", "QUILLON_PAUSE_SCALE", "QUILLON_INSTANCE_LOCK", "\n  64 "}) {
        EXPECT_NE(usage.find(part), std::string::npos) << part;
    }
}

}  // namespace
}  // namespace quillon::app
