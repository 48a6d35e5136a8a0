// SPDX-License-Identifier: MIT
// The calibration backup: its file, the moment the run takes it, and the restore's traffic and
// refusals. (The whole-run tests check that the backup adds no bus message and the restore's
// outcomes on the simulated test set.)

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <fstream>

#include "calbackup/backup_file.h"
#include "calbackup/restore.h"
#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

using calbackup::Backup;

// A complete backup of the built-in tables, one entry changed.
Backup builtInBackup(const std::string& serial = kSerial) {
    Backup backup{serial, "2026-12-06T03:25:41Z", {}};
    for (const auto& [address, value] : calibrationEntries()) {
        backup.entries.push_back(*calbackup::entryAt(address, value));
    }
    backup.entries[25 + 3 * 5 + 4].value = 12;  // delay setting 2, row 3, column 4
    return backup;
}

TEST(CalibrationBackupFile, WrittenAndReadBackAndRefusedWithTheLine) {
    const Backup backup = builtInBackup();
    const std::string text = calbackup::backupText(backup);
    EXPECT_TRUE(
        text.starts_with("# Quillon calibration backup\nserial US44123456\n"
                         "taken 2026-12-06T03:25:41Z\n# table row column value\n"
                         "tdma_bbgen_delay_setting1 0 0 36\n"))
        << text;
    EXPECT_NE(text.find("\ntdma_bbgen_delay_setting2 3 4 12\n"), std::string::npos);
    EXPECT_NE(text.find("\ntdma_bbgen_data_delay1 2 0 3.367e-05\n"), std::string::npos);
    const auto parsed = calbackup::parseBackup(text);
    ASSERT_TRUE(std::holds_alternative<Backup>(parsed)) << std::get<std::string>(parsed);
    EXPECT_EQ(std::get<Backup>(parsed).entries, backup.entries);
    EXPECT_EQ(std::get<Backup>(parsed).serialNumber, kSerial);
    EXPECT_EQ(calbackup::incomplete(std::get<Backup>(parsed)), "");

    const std::string head = "# Quillon calibration backup\nserial X\n";
    const std::pair<std::string, std::string> refused[] = {
        {"", "the file is empty"},
        {"serial X\n", "line 1: not a Quillon calibration backup"},
        {"# Quillon calibration backup\ntdma_bbgen_data_delay1 0 0 1\n", "names no serial"},
        {head + "tdma_bbgen_data_delay3 0 0 1\n", "line 3: unknown table"},
        {head + "tdma_bbgen_data_delay1 0 1 1\n", "line 3: no such row and column"},
        {head + "tdma_bbgen_delay_setting1 5 0 1\n", "line 3: no such row and column"},
        {head + "tdma_bbgen_delay_setting1 0 0 1x\n", "line 3: the value is not a number"},
        {head + "tdma_bbgen_delay_setting1 0 0\n", "line 3: expected: table row column value"},
        {head + "tdma_bbgen_data_delay1 0 0 1\r\ntdma_bbgen_data_delay1 0 0 2\n",
         "line 4: the entry is given twice"},
    };
    for (const auto& [file, why] : refused) {
        const auto result = calbackup::parseBackup(file);
        ASSERT_TRUE(std::holds_alternative<std::string>(result)) << file;
        EXPECT_NE(std::get<std::string>(result).find(why), std::string::npos)
            << std::get<std::string>(result);
    }
    EXPECT_EQ(calbackup::backupFileName("GB 4/1", "2026-12-06T03:25:41Z"),
              "GB_4_1-20261206T032541Z.txt");
    EXPECT_EQ(calbackup::entryAt("'tdma_bbgen_data_delay2',4,1", 0), std::nullopt);
}

// The backup sees all 60 values the check read, the differing one included, after the last read
// and before the first write; one that fails is one reported line.
TEST(CalibrationBackupInTheRun, TakenFromTheChecksReadsBeforeTheFirstWrite) {
    FormFixture f;
    f.fake.onQuery("PL13:CAL:DATA? 'tdma_bbgen_delay_setting2',3,4", {"+1.200000E+01"});
    f.settings.preset = testrun::PresetChoice{std::vector{0}, std::vector{7}, std::nullopt};
    std::size_t sentBefore = 0;
    f.settings.beforeCalibrationWrite = [&](const std::string& serial,
                                            const testrun::CalibrationReadings& read) {
        EXPECT_EQ(serial, kSerial);
        EXPECT_EQ(read.size(), 60u);
        EXPECT_EQ(read[25 + 19].second, 12.0);
        sentBefore = f.fake.log.size();
        return std::string("cannot make the folder /x");
    };
    f.prepared().runTest();
    const Strings sent = f.texts();
    ASSERT_LT(sentBefore, sent.size());
    EXPECT_EQ(sent[sentBefore - 1], "PL13:CAL:DATA? 'tdma_bbgen_data_delay2',4,0");
    EXPECT_TRUE(sent[sentBefore].starts_with("PL13:CAL:DATA 'tdma_bbgen_delay_setting1'"));
    EXPECT_EQ(f.ui.problems, Strings{"Calibration backup not written: cannot make the folder /x"});
}

// The restore writes as the check does, stores, waits and reads every entry back.
TEST(CalibrationRestore, WritesStoresWaitsAndReadsBack) {
    const Backup backup = builtInBackup();
    FormFixture f;
    f.fake.onQuery("PL13:CAL:DATA? 'tdma_bbgen_delay_setting2',3,4", {"0"});
    f.fake.onQuery("SYSTem:SYNC?", {"0", "1"});
    Strings expected, reads;
    for (const calbackup::Entry& entry : backup.entries) {
        const std::string address = "'" + entry.table + "'," + std::to_string(entry.row) + "," +
                                    std::to_string(entry.column);
        expected =
            expected +
            checked({"PL13:CAL:DATA " + address + "," + instrument::tableValueText(entry.value)});
        reads.push_back("PL13:CAL:DATA? " + address);
    }
    expected = expected + Strings{"PL13:CAL:STOR", "SYSTem:SYNC?", "SYSTem:SYNC?"} + reads;

    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("F").toStdString();
    std::ofstream(path) << calbackup::backupText(backup);
    EXPECT_EQ(calbackup::restoreFromFile(f.bus, f.ui, f.vi(), kSerial, path),
              testrun::kExitRestoreMismatch);
    EXPECT_EQ(f.texts(), expected);
    EXPECT_EQ(f.pausedAt, (std::vector<std::size_t>{100, 121}));
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(std::get<1>(f.ui.messages[0]),
              "1 of 60 entries read back differ from " + path +
                  ":\r\n'tdma_bbgen_delay_setting2',3,4 reads back 0 instead of 12");
}

// Nothing is sent for a file that is no complete backup of the connected test set.
TEST(CalibrationRestore, RefusesWithoutSendingAnything) {
    QTemporaryDir dir;
    const auto file = [&dir](const std::string& name, const Backup& backup) {
        const std::string path =
            QDir(dir.path()).filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path) << calbackup::backupText(backup);
        return path;
    };
    Backup partial = builtInBackup();
    partial.entries.erase(partial.entries.begin() + 7);
    const std::pair<std::string, std::string> cases[] = {
        {file("other", builtInBackup("GB1")),
         "it holds the tables of the test set GB1, and the connected one is US44123456"},
        {file("partial", partial), "it lacks the entry tdma_bbgen_delay_setting1 1 2"},
        {QDir(dir.path()).filePath("missing").toStdString(), "there is no such file"},
        {dir.path().toStdString(), "there is no such file"},
    };
    for (const auto& [path, why] : cases) {
        FormFixture f;
        EXPECT_EQ(calbackup::restoreFromFile(f.bus, f.ui, f.vi(), kSerial, path),
                  testrun::kExitStartupRefused);
        EXPECT_TRUE(f.texts().empty());
        ASSERT_EQ(f.ui.messages.size(), 1u);
        EXPECT_EQ(std::get<1>(f.ui.messages[0]), path + " was not restored: " + why + ".");
    }
}

}  // namespace
}  // namespace quillon::testing
