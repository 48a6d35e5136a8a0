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

// Every field in one line, so a case states the whole outcome and a stray side effect shows.
std::string describe(const CommandLine& line) {
    std::ostringstream text;
    text << "help=" << line.help << " console=" << line.console << " yes=" << line.acceptWizard
         << " sim=" << line.sim << " profile=" << line.simProfile << " lib=" << line.visaLibrary
         << " bands=" << listText(line.bands) << " tests=" << listText(line.tests)
         << " it=" << (line.iterations ? std::to_string(*line.iterations) : "-")
         << " cal=" << line.calibrationDirectory << " save=" << line.saveFile;
    return text.str();
}

constexpr const char* kDefaults =
    "help=0 console=0 yes=0 sim=0 profile= lib= bands=- tests=- it=- cal= save=";

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
        GoodCase{{}, kDefaults},
        GoodCase{{"--help"}, "help=1 console=0 yes=0 sim=0 profile= lib= bands=- tests=- it=- cal= save="},
        GoodCase{{"-h"}, "help=1 console=0 yes=0 sim=0 profile= lib= bands=- tests=- it=- cal= save="},
        GoodCase{{"--console"}, "help=0 console=1 yes=0 sim=0 profile= lib= bands=- tests=- it=- cal= save="},
        GoodCase{{"--yes"}, "help=0 console=0 yes=1 sim=0 profile= lib= bands=- tests=- it=- cal= save="},
        GoodCase{{"--sim"}, "help=0 console=0 yes=0 sim=1 profile= lib= bands=- tests=- it=- cal= save="},
        GoodCase{{"--sim-profile", "p.toml"},
                 "help=0 console=0 yes=0 sim=1 profile=p.toml lib= bands=- tests=- it=- cal= save="},
        GoodCase{{"--sim-profile=dir/p.toml"},
                 "help=0 console=0 yes=0 sim=1 profile=dir/p.toml lib= bands=- tests=- it=- cal= save="},
        GoodCase{{"--visa-library", "/opt/libvisa.so"},
                 "help=0 console=0 yes=0 sim=0 profile= lib=/opt/libvisa.so bands=- tests=- it=- cal= save="},
        GoodCase{{"--bands", "pgsm,DCS"},
                 "help=0 console=0 yes=0 sim=0 profile= lib= bands=[2,3] tests=- it=- cal= save="},
        GoodCase{{"--bands", "4,0,4"},
                 "help=0 console=0 yes=0 sim=0 profile= lib= bands=[0,4] tests=- it=- cal= save="},
        GoodCase{{"--bands= GSM450 , gsm850,Pcs"},
                 "help=0 console=0 yes=0 sim=0 profile= lib= bands=[0,1,4] tests=- it=- cal= save="},
        GoodCase{{"--tests", "7,0,5"},
                 "help=0 console=0 yes=0 sim=0 profile= lib= bands=- tests=[0,5,7] it=- cal= save="},
        GoodCase{{"--iterations", "1"},
                 "help=0 console=0 yes=0 sim=0 profile= lib= bands=- tests=- it=1 cal= save="},
        GoodCase{{"--iterations=100"},
                 "help=0 console=0 yes=0 sim=0 profile= lib= bands=- tests=- it=100 cal= save="},
        GoodCase{{"--cal-dir", "/cal"},
                 "help=0 console=0 yes=0 sim=0 profile= lib= bands=- tests=- it=- cal=/cal save="},
        GoodCase{{"--save", "out.csv"},
                 "help=0 console=0 yes=0 sim=0 profile= lib= bands=- tests=- it=- cal= save=out.csv"},
        GoodCase{{"--console", "--yes", "--sim", "--bands", "dcs", "--tests", "0", "--iterations",
                  "5", "--save", "r.txt", "--cal-dir", "c"},
                 "help=0 console=1 yes=1 sim=1 profile= lib= bands=[3] tests=[0] it=5 cal=c save=r.txt"},
        // The last of a repeated option wins.
        GoodCase{{"--save", "a.csv", "--save", "b.csv"},
                 "help=0 console=0 yes=0 sim=0 profile= lib= bands=- tests=- it=- cal= save=b.csv"}));

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
