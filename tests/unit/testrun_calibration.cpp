// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "testrun/calibration_check.h"
#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

// Files: with -1 lines none can be read (a folder stands in the setting file's place); with 25
// lines or more the data file is complete but malformed, with fewer it is empty. The test set
// answers address with reply and the store polls with sync.
struct Case {
    int settingLines;  // " 100 dB", " 101 dB"...
    std::string address, reply;
    Strings sync;
    std::size_t settingQueries;
    std::string writes;  // the tables written: Setting, Data
    int syncPolls;       // 0: nothing stored
    bool result;
    std::string code;
    std::vector<std::size_t> pausedAt;
};

// clang-format off
const Case kCases[] = {
    {-1, "", "", {}, 50, "", 0, false, "", {60}},
    {27, "", "", {"0", "", "+1.0"}, 50, "SD", 3, true, "C:DD", {160, 181}},
    {16, "", "", {}, 50, "S", 1, true, "C:HH", {160, 161}},
    // A failed write (of the first data entry) does not stop the others.
    {-1, "data_delay1',4,0", "5", {}, 50, "D", 1, false, "C:HH", {60, 81}},
    // A timeout ends that kind's comparison, and the polling.
    {27, "delay_setting1',0,3", "timeout", {"timeout"}, 4, "SD", 1, true, "C:DD", {114, 135}},
    {-1, "data_delay2',4,0", "1e-9", {"0"}, 50, "D", testrun::kMaxSyncPolls, false, "C:HH", {60, 81}},
};
// clang-format on

void writeFile(const FormFixture& f, const char* name, const std::string& content) {
    QFile file(QDir(f.calDir.path()).filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content.c_str());
}

// The queries, the checked writes of the tables that differ, the store and the polls.
Strings calibrationTraffic(const testrun::CalibrationTables& tables, const Case& c) {
    const auto entries = calibrationEntries(tables.delaySetting, tables.dataDelay);
    Strings out, writes;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& [address, value] = entries[i];
        if (i < c.settingQueries || i >= 50) out.push_back("PL13:CAL:DATA? " + address);
        if (c.writes.find(i < 50 ? 'S' : 'D') != std::string::npos) {
            writes.push_back("PL13:CAL:DATA " + address + "," + instrument::tableValueText(value));
        }
    }
    out = out + checked(writes);
    if (c.syncPolls == 0) return out;
    return out + Strings{"PL13:CAL:STOR"} +
           Strings(static_cast<std::size_t>(c.syncPolls), "SYSTem:SYNC?");
}

TEST(CalibrationData, FilesAndTheCheckAgainstTheTestSet) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(&c - kCases);
        FormFixture f;
        const bool complete = c.settingLines >= 25;
        std::string lines;
        for (int k = 0; k < c.settingLines; ++k) lines += " " + std::to_string(100 + k) + " dB\r\n";
        if (c.settingLines < 0) {
            ASSERT_TRUE(QDir(f.calDir.path()).mkdir(testrun::kDelaySettingFileName));
        } else {
            writeFile(f, testrun::kDelaySettingFileName, lines);
            writeFile(f, testrun::kDataDelayFileName,
                      complete ? "1e-5\n\n-2.5\nabc\n+3.367E-05" : "");
        }
        std::vector<FakeVisa::Reply> sync;
        for (const std::string& text : c.sync) sync.push_back(reply(text));
        if (!sync.empty()) f.fake.onQueryReplies("SYSTem:SYNC?", sync);
        if (!c.address.empty()) {
            f.fake.onQueryReplies("PL13:CAL:DATA? 'tdma_bbgen_" + c.address, {reply(c.reply)});
        }
        f.fake.errorAfter("PL13:CAL:DATA 'tdma_bbgen_data_delay1',0,0,0.000646098");

        testrun::CalibrationCheck check(
            f.bus, f.ui, testrun::loadCalibrationTables(f.settings.calibrationDirectory));
        const testrun::CalibrationOutcome outcome = check.run(f.vi());
        EXPECT_EQ(outcome.settingDiffers, c.result);
        EXPECT_EQ(outcome.gridCode, c.code);
        const auto& tables = check.tables();

        std::array<double, 25> setting = testrun::kBuiltInDelaySetting;
        for (int k = 0; k < std::min(c.settingLines, 25); ++k) {
            setting[static_cast<std::size_t>(k)] = 100 + k;
        }
        EXPECT_EQ(tables.delaySetting, setting);
        EXPECT_EQ(tables.dataDelay, (complete ? std::array{1e-5, 0.0, -2.5, 0.0, 3.367e-05}
                                              : testrun::kBuiltInDataDelay));
        EXPECT_EQ(tables.delaySettingBuiltIn, !complete);
        EXPECT_EQ(tables.dataDelayBuiltIn, !complete);
        EXPECT_EQ(f.texts(), calibrationTraffic(tables, c));
        EXPECT_EQ(f.pausedAt, c.pausedAt);
        EXPECT_TRUE(f.ui.messages.empty());
    }
}

#ifndef _WIN32
// Anything but a small regular file counts as unreadable: the built-in values stay and nothing
// blocks (a FIFO without a writer) or reads for ever (a device).
TEST(CalibrationData, OnlyASmallRegularFileIsRead) {
    std::string twentyFiveLines;
    for (int k = 0; k < 25; ++k) twentyFiveLines += "7\n";
    const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> cases = {
        {"readable", [&](const std::string& path) { std::ofstream(path) << twentyFiveLines; }},
        {"over 64 KiB",
         [&](const std::string& path) {
             std::ofstream(path) << twentyFiveLines << std::string(64 * 1024, ' ') << "\n";
         }},
        {"FIFO", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
        {"device",
         [](const std::string& path) { std::filesystem::create_symlink("/dev/zero", path); }},
    };
    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        QTemporaryDir folder;
        make(QDir(folder.path()).filePath(testrun::kDelaySettingFileName).toStdString());
        const testrun::CalibrationTables tables =
            testrun::loadCalibrationTables(folder.path().toStdString());
        const bool read = std::string(what) == "readable";
        EXPECT_EQ(tables.delaySettingBuiltIn, !read);
        EXPECT_EQ(tables.delaySetting[24], read ? 7.0 : testrun::kBuiltInDelaySetting[24]);
    }
}
#endif

}  // namespace
}  // namespace quillon::testing
