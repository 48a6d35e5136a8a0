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

const std::string kSettingQuery = "PL13:CAL:DATA? 'tdma_bbgen_delay_setting";
const std::string kDataQuery = "PL13:CAL:DATA? 'tdma_bbgen_data_delay";

void writeFile(const FormFixture& f, const char* name, const std::string& content) {
    QFile file(QDir(f.calDir.path()).filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content.data(), static_cast<qint64>(content.size()));
}

std::string lines(int count, const std::function<std::string(int)>& line) {
    std::string text;
    for (int k = 0; k < count; ++k) text += line(k) + "\r\n";
    return text;
}

Strings settingQueries() {
    Strings out;
    for (int n = 1; n <= 2; ++n) {
        for (int i = 0; i < 25; ++i) {
            out.push_back(kSettingQuery + std::to_string(n) + "'," + std::to_string(i / 5) + "," +
                          std::to_string(i % 5));
        }
    }
    return out;
}

Strings dataQueries() {
    Strings out;
    for (int n = 1; n <= 2; ++n) {
        for (int i = 0; i < 5; ++i) {
            out.push_back(kDataQuery + std::to_string(n) + "'," + std::to_string(i) + ",0");
        }
    }
    return out;
}

bool check(FormFixture& f) {
    testrun::frmDoTest& form = f.prepared();
    testrun::ResultsGrid grid;
    grid.setFormatString(testrun::frmDoTest::kHeaderFormat);
    grid.appendTabbed("serial");
    const bool result = form.checkBbgenDelayCalData(1, grid, 1, 3);
    f.grid = grid;
    return result;
}

TEST(CalibrationFiles, AbsentFilesKeepTheBuiltInValues) {
    FormFixture f;
    EXPECT_EQ(f.form().delaySettingTable(), kBuiltInDelaySetting);
    EXPECT_EQ(f.form().dataDelayTable(), kBuiltInDataDelay);
    EXPECT_TRUE(f.form().delaySettingBuiltIn());
    EXPECT_TRUE(f.form().dataDelayBuiltIn());
}

TEST(CalibrationFiles, CompleteFilesReplaceTheTables) {
    FormFixture f;
    writeFile(f, testrun::kDelaySettingFileName,
              lines(27, [](int k) { return " " + std::to_string(k + 100) + " dB"; }));
    writeFile(f, testrun::kDataDelayFileName, "1e-5\n\n-2.5\nabc\n+3.367E-05");  // no last LF
    EXPECT_FALSE(f.form().delaySettingBuiltIn());
    EXPECT_FALSE(f.form().dataDelayBuiltIn());
    EXPECT_EQ(f.form().delaySettingTable()[0], 100);
    EXPECT_EQ(f.form().delaySettingTable()[24], 124);
    const std::array<double, 5> expected = {1e-5, 0, -2.5, 0, 3.367e-05};
    EXPECT_EQ(f.form().dataDelayTable(), expected);
}

TEST(CalibrationFiles, ShortFileMixesFileAndBuiltInValuesAndKeepsTheFlag) {
    FormFixture f;
    writeFile(f, testrun::kDelaySettingFileName, lines(24, [](int) { return "7"; }));
    writeFile(f, testrun::kDataDelayFileName, "");
    EXPECT_TRUE(f.form().delaySettingBuiltIn());
    EXPECT_TRUE(f.form().dataDelayBuiltIn());
    EXPECT_EQ(f.form().delaySettingTable()[23], 7);
    EXPECT_EQ(f.form().delaySettingTable()[24], kBuiltInDelaySetting[24]);
    EXPECT_EQ(f.form().dataDelayTable(), kBuiltInDataDelay);
}

TEST(CalibrationFiles, UnreadableFileIsIgnoredSilently) {
    FormFixture f;
    ASSERT_TRUE(QDir(f.calDir.path()).mkdir(testrun::kDelaySettingFileName));
    EXPECT_TRUE(f.form().delaySettingBuiltIn());
    EXPECT_EQ(f.form().delaySettingTable(), kBuiltInDelaySetting);
    EXPECT_TRUE(f.ui.messages.empty());
}

TEST(CalibrationCheck, MatchingTablesCost60QueriesAndAPauseOnly) {
    FormFixture f;
    f.fake.onQuery("PL13:CAL:DATA? 'tdma_bbgen_delay_setting1',0,0", {"+3.6000E+01"});
    EXPECT_FALSE(check(f));
    EXPECT_EQ(f.texts(), settingQueries() + dataQueries());
    EXPECT_EQ(f.ui.pauses, std::vector<milliseconds>{milliseconds(1000)});
    EXPECT_EQ(f.grid.cell(1, 3), "");
}

TEST(CalibrationCheck, DifferingSettingFromFileWritesAllFiftyStoresAndWaits) {
    FormFixture f;
    writeFile(
        f, testrun::kDelaySettingFileName, lines(25, [](int k) {
            return instrument::tableValueText(kBuiltInDelaySetting[static_cast<std::size_t>(k)]);
        }));
    f.fake.onQuery(kSettingQuery + "2',0,2", {"86"});
    f.fake.onQuery("SYSTem:SYNC?", {"0", "", "+1.0"});
    Strings writes;
    for (int n = 1; n <= 2; ++n) {
        for (std::size_t i = 0; i < 25; ++i) {
            writes.push_back("PL13:CAL:DATA 'tdma_bbgen_delay_setting" + std::to_string(n) + "'," +
                             std::to_string(i / 5) + "," + std::to_string(i % 5) + "," +
                             instrument::tableValueText(kBuiltInDelaySetting[i]));
        }
    }
    EXPECT_TRUE(check(f));
    const Strings store = {"PL13:CAL:STOR", "SYSTem:SYNC?", "SYSTem:SYNC?", "SYSTem:SYNC?"};
    EXPECT_EQ(f.texts(), settingQueries() + dataQueries() + checked(writes) + store);
    EXPECT_EQ(f.fake.count("PL13:CAL:DATA 'tdma_bbgen_delay_setting2',0,2,87"), 1u);
    EXPECT_EQ(f.ui.pauses, (std::vector<milliseconds>{milliseconds(1000), milliseconds(3000)}));
    EXPECT_EQ(f.grid.cell(1, 3), "C:DH");
}

TEST(CalibrationCheck, DifferingDataWritesAfterThePauseAndFailedWritesDoNotStop) {
    FormFixture f;
    writeFile(
        f, testrun::kDelaySettingFileName, lines(24, [](int k) {
            return instrument::tableValueText(kBuiltInDelaySetting[static_cast<std::size_t>(k)]);
        }));
    f.fake.onQuery(kDataQuery + "1',4,0", {"5"});
    f.fake.errorAfter("PL13:CAL:DATA 'tdma_bbgen_data_delay1',0,0,0.000646098");
    std::size_t sentBeforePause = 0;
    f.ui.onPause = [&](milliseconds d) {
        if (d == milliseconds(1000)) sentBeforePause = f.fake.log.size();
    };
    EXPECT_FALSE(check(f));  // only the delay setting result is returned
    Strings writes;
    for (int n = 1; n <= 2; ++n) {
        for (std::size_t i = 0; i < 5; ++i) {
            writes.push_back("PL13:CAL:DATA 'tdma_bbgen_data_delay" + std::to_string(n) + "'," +
                             std::to_string(i) + ",0," +
                             instrument::tableValueText(kBuiltInDataDelay[i]));
        }
    }
    EXPECT_EQ(sentBeforePause, 60u);
    const Strings store = {"PL13:CAL:STOR", "SYSTem:SYNC?"};
    EXPECT_EQ(f.texts(), settingQueries() + dataQueries() + checked(writes) + store);
    EXPECT_EQ(f.grid.cell(1, 3), "C:HH");  // the short setting file left its flag set
}

TEST(CalibrationCheck, TimeoutStopsTheComparisonOfThatKindOnly) {
    FormFixture f;
    f.fake.onQueryReplies(kSettingQuery + "1',0,3", {{instrument::kViErrorTimeout, ""}});
    f.fake.onQuery(kSettingQuery + "1',0,1", {"61"});  // differs before the timeout
    f.fake.onQueryReplies("SYSTem:SYNC?", {{instrument::kViErrorTimeout, ""}});
    EXPECT_TRUE(check(f));
    const Strings queries = settingQueries();
    const Strings texts = f.texts();
    EXPECT_EQ(Strings(texts.begin(), texts.begin() + 4 + 10),
              Strings(queries.begin(), queries.begin() + 4) + dataQueries());
    EXPECT_EQ(f.fake.count("SYSTem:SYNC?"), 1u);
    EXPECT_EQ(f.grid.cell(1, 3), "C:HH");
}

TEST(CalibrationCheck, SyncThatNeverReportsOneEndsAfterTheBound) {
    FormFixture f;
    f.fake.onQuery(kDataQuery + "2',4,0", {"1e-9"});
    f.fake.onQuery("SYSTem:SYNC?", {"0"});
    EXPECT_FALSE(check(f));
    EXPECT_EQ(f.fake.count("SYSTem:SYNC?"), static_cast<std::size_t>(testrun::kMaxSyncPolls));
    EXPECT_EQ(f.texts().back(), "SYSTem:SYNC?");
}

}  // namespace
}  // namespace quillon::testing
