// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <chrono>
#include <functional>

#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

using std::chrono::milliseconds;
using testrun::kBuiltInDataDelay;
using testrun::kBuiltInDelaySetting;

void writeFile(const FormFixture& f, const char* name, const std::string& content) {
    QFile file(QDir(f.calDir.path()).filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content.c_str());
}

std::string lines(std::size_t count, const std::function<std::string(std::size_t)>& line) {
    std::string text;
    for (std::size_t k = 0; k < count; ++k) text += line(k) + "\r\n";
    return text;
}

std::string builtInSetting(std::size_t k) {
    return instrument::tableValueText(kBuiltInDelaySetting[k]);
}

// The 60 queries, or the checked writes of the built-in values of one kind.
Strings calibrationTraffic(const char* writesOf = nullptr) {
    Strings out;
    for (const auto& [address, value] : calibrationEntries()) {
        if (!writesOf) out.push_back("PL13:CAL:DATA? " + address);
        if (writesOf && address.find(writesOf) != std::string::npos) {
            out.push_back("PL13:CAL:DATA " + address + "," + instrument::tableValueText(value));
        }
    }
    return writesOf ? checked(out) : out;
}

// Runs the check; returns its result and the code it put in the grid.
std::pair<bool, std::string> check(FormFixture& f) {
    testrun::ResultsGrid grid;
    grid.setFormatString(testrun::frmDoTest::kHeaderFormat);
    grid.appendTabbed("serial");
    const bool result = f.prepared().checkBbgenDelayCalData(1, grid, 1, 3);
    return {result, grid.cell(1, 3)};
}

TEST(CalibrationFiles, AbsentOrUnreadableFilesKeepTheBuiltInValuesSilently) {
    FormFixture f;
    ASSERT_TRUE(QDir(f.calDir.path()).mkdir(testrun::kDelaySettingFileName));
    EXPECT_EQ(f.form().delaySettingTable(), kBuiltInDelaySetting);
    EXPECT_EQ(f.form().dataDelayTable(), kBuiltInDataDelay);
    EXPECT_TRUE(f.form().delaySettingBuiltIn() && f.form().dataDelayBuiltIn());
    EXPECT_TRUE(f.ui.messages.empty());
}

TEST(CalibrationFiles, CompleteFilesReplaceTheTablesAndMalformedLinesReadAsZero) {
    FormFixture f;
    writeFile(f, testrun::kDelaySettingFileName,
              lines(27, [](std::size_t k) { return " " + std::to_string(k + 100) + " dB"; }));
    writeFile(f, testrun::kDataDelayFileName, "1e-5\n\n-2.5\nabc\n+3.367E-05");  // no last LF
    EXPECT_FALSE(f.form().delaySettingBuiltIn() || f.form().dataDelayBuiltIn());
    EXPECT_EQ(f.form().delaySettingTable()[0], 100);
    EXPECT_EQ(f.form().delaySettingTable()[24], 124);
    EXPECT_EQ(f.form().dataDelayTable(), (std::array{1e-5, 0.0, -2.5, 0.0, 3.367e-05}));
}

TEST(CalibrationFiles, ShortFileMixesFileAndBuiltInValuesAndKeepsTheFlag) {
    FormFixture f;
    writeFile(f, testrun::kDelaySettingFileName, lines(24, [](std::size_t) { return "7"; }));
    writeFile(f, testrun::kDataDelayFileName, "");
    EXPECT_TRUE(f.form().delaySettingBuiltIn() && f.form().dataDelayBuiltIn());
    EXPECT_EQ(f.form().delaySettingTable()[23], 7);
    EXPECT_EQ(f.form().delaySettingTable()[24], kBuiltInDelaySetting[24]);
    EXPECT_EQ(f.form().dataDelayTable(), kBuiltInDataDelay);
}

TEST(CalibrationCheck, MatchingTablesCost60QueriesAndAPauseOnly) {
    FormFixture f;
    f.fake.onQuery("PL13:CAL:DATA? 'tdma_bbgen_delay_setting1',0,0", {"+3.6000E+01"});
    EXPECT_EQ(check(f), std::pair(false, std::string()));
    EXPECT_EQ(f.texts(), calibrationTraffic());
    EXPECT_EQ(f.ui.pauses, std::vector{milliseconds(1000)});
}

TEST(CalibrationCheck, DifferingSettingFromFileWritesAllFiftyStoresAndWaits) {
    FormFixture f;
    writeFile(f, testrun::kDelaySettingFileName, lines(25, builtInSetting));
    f.fake.onQuery("PL13:CAL:DATA? 'tdma_bbgen_delay_setting2',0,2", {"86"});
    f.fake.onQuery("SYSTem:SYNC?", {"0", "", "+1.0"});
    EXPECT_EQ(check(f), std::pair(true, std::string("C:DH")));
    const Strings store = {"PL13:CAL:STOR", "SYSTem:SYNC?", "SYSTem:SYNC?", "SYSTem:SYNC?"};
    EXPECT_EQ(f.texts(), calibrationTraffic() + calibrationTraffic("delay_setting") + store);
    EXPECT_EQ(f.fake.count("PL13:CAL:DATA 'tdma_bbgen_delay_setting2',0,2,87"), 1u);
    EXPECT_EQ(f.ui.pauses, (std::vector{milliseconds(1000), milliseconds(3000)}));
}

TEST(CalibrationCheck, DifferingDataWritesAfterThePauseAndFailedWritesDoNotStop) {
    FormFixture f;
    writeFile(f, testrun::kDelaySettingFileName,
              lines(24, builtInSetting));  // short: the flag stays set
    f.fake.onQuery("PL13:CAL:DATA? 'tdma_bbgen_data_delay1',4,0", {"5"});
    f.fake.errorAfter("PL13:CAL:DATA 'tdma_bbgen_data_delay1',0,0,0.000646098");
    std::size_t sentBeforePause = 0;
    f.ui.onPause = [&](milliseconds d) {
        if (d == milliseconds(1000)) sentBeforePause = f.fake.log.size();
    };
    // Only the delay setting result is returned.
    EXPECT_EQ(check(f), std::pair(false, std::string("C:HH")));
    EXPECT_EQ(sentBeforePause, 60u);
    const Strings store = {"PL13:CAL:STOR", "SYSTem:SYNC?"};
    EXPECT_EQ(f.texts(), calibrationTraffic() + calibrationTraffic("data_delay") + store);
}

TEST(CalibrationCheck, TimeoutStopsOnlyThatKindAndSyncPollingIsBounded) {
    FormFixture f;
    const std::string setting = "PL13:CAL:DATA? 'tdma_bbgen_delay_setting1',0,";
    f.fake.onQuery(setting + "1", {"61"});  // differs before the timeout
    f.fake.onQueryReplies(setting + "3", {{instrument::kViErrorTimeout, ""}});
    f.fake.onQueryReplies("SYSTem:SYNC?", {{instrument::kViErrorTimeout, ""}});
    EXPECT_EQ(check(f), std::pair(true, std::string("C:HH")));
    const Strings queries = calibrationTraffic();
    EXPECT_EQ(head(f.texts(), 14), head(queries, 4) + Strings(queries.begin() + 50, queries.end()));
    EXPECT_EQ(f.fake.count("SYSTem:SYNC?"), 1u);

    FormFixture never;
    never.fake.onQuery("PL13:CAL:DATA? 'tdma_bbgen_data_delay2',4,0", {"1e-9"});
    never.fake.onQuery("SYSTem:SYNC?", {"0"});
    EXPECT_EQ(check(never), std::pair(false, std::string("C:HH")));
    EXPECT_EQ(never.fake.count("SYSTem:SYNC?"), static_cast<std::size_t>(testrun::kMaxSyncPolls));
    EXPECT_EQ(never.texts().back(), "SYSTem:SYNC?");
}

}  // namespace
}  // namespace quillon::testing
