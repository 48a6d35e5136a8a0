// SPDX-License-Identifier: MIT
// The calibration backup in a real run on the simulated test set, and --restore-calibration.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console_launch.h"

namespace quillon::integration {
namespace {

const std::string kProfiles = QUILLON_BIN_DIR "/sim-profiles/";

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().string());
    }
    return names;
}

// A one-band run on the calibration-differs profile with backupArgs, its bus traffic in trace.
Ended differsRun(const std::vector<std::string>& backupArgs, const std::string& trace) {
    Launch launch;
    launch.args = backupArgs;
    for (const char* word : {"--yes", "--bands", "0", "--tests", "7", "--sim-profile"})
        launch.args.emplace_back(word);
    launch.args.push_back(kProfiles + "calibration-differs.toml");
    launch.environment = {"QUILLON_SIM_TRACE=" + trace};
    return run(launch);
}

// The test set's differing entry is in the backup, taken without a bus message of its own: the
// traffic equals that of a run without backup. A backup that cannot be written is one line on
// standard error, and the run goes on.
TEST(CalibrationBackup, ARunThatWritesTheTablesLeavesABackupAndNoExtraTraffic) {
    const std::string folder = privateTempPath("backups");
    const std::string withBackup = privateTempPath("with.trace");
    const std::string without = privateTempPath("without.trace");
    const std::string failing = privateTempPath("failing.trace");
    const Ended backedUp = differsRun({"--cal-backup-dir", folder}, withBackup);
    const Ended plain = differsRun({"--no-cal-backup"}, without);
    std::ofstream(privateTempPath("a-file")) << "in the way\n";
    const Ended unwritable =
        differsRun({"--cal-backup-dir", privateTempPath("a-file") + "/backups"}, failing);
    for (const Ended* ended : {&backedUp, &plain, &unwritable}) {
        EXPECT_EQ(ended->exitCode, 0) << ended->out;
    }
    EXPECT_NE(readFile(without).find("W PL13:CAL:DATA 'tdma_bbgen_delay_setting2',3,4,0\n"), npos);
    EXPECT_EQ(readFile(withBackup), readFile(without));
    EXPECT_EQ(readFile(failing), readFile(without));
    EXPECT_EQ(countOf(unwritable.out,
                      "quillon: Calibration backup not written: cannot make the "
                      "folder " +
                          privateTempPath("a-file") + "/backups\n"),
              1)
        << unwritable.out;
    EXPECT_EQ(plain.out.find("backup"), npos);

    const std::vector<std::string> files = filesIn(folder);
    ASSERT_EQ(files.size(), 1u);
    const std::string name = std::filesystem::path(files[0]).filename().string();
    EXPECT_TRUE(name.starts_with("GB44180123-2") && name.ends_with("Z.txt")) << name;
    const std::string backup = readFile(files[0]);
    EXPECT_TRUE(backup.starts_with("# Quillon calibration backup\nserial GB44180123\ntaken "));
    EXPECT_NE(backup.find("\ntdma_bbgen_delay_setting2 3 4 12\n"), npos) << backup;
    EXPECT_NE(backup.find("\ntdma_bbgen_data_delay2 4 0 0\n"), npos) << backup;
    EXPECT_EQ(countOf(backup, "\ntdma_bbgen_"), 60);
}

// A restore writes all 60 entries, stores, waits and reads them back: 0 when they match, 6 when
// one does not; a backup of another test set is refused (3) without a write.
TEST(CalibrationRestore, WritesStoresReadsBackAndMatches) {
    const std::string folder = privateTempPath("backups");
    ASSERT_EQ(differsRun({"--cal-backup-dir", folder}, privateTempPath("run.trace")).exitCode, 0);
    ASSERT_EQ(filesIn(folder).size(), 1u);
    const std::string backup = filesIn(folder)[0];
    const auto profile = [](const std::string& name, const std::string& extra) {
        const std::string path = privateTempPath(name + ".toml");
        std::ofstream(path) << "[[instrument]]\nkind = \"test_set\"\nresource = "
                               "\"GPIB0::14::INSTR\"\n"
                            << extra;
        return path;
    };
    struct Case {
        std::string profile;
        int exitCode;
        std::string message;
        int writes;
    };
    const Case cases[] = {
        {kProfiles + "healthy.toml", 0,
         "Calibration restored: The four calibration tables of GB44180123 were written from " +
             backup + ", stored and read back: all 60 entries match.",
         60},
        {kProfiles + "calibration-differs.toml", 0, "all 60 entries match", 60},
        {profile("refusing",
                 "[[instrument.fault]]\ntext = \"PL13:CAL:DATA "
                 "'tdma_bbgen_delay_setting2',3,4,12\"\naction = \"scpi_error\"\n"
                 "code = -222\n"),
         6,
         "Calibration restore failed: 1 of 60 entries read back differ from " + backup +
             ":\n'tdma_bbgen_delay_setting2',3,4 reads back 0 instead of 12",
         60},
        {profile("other", "serial = \"GB00000001\"\n"), 3,
         "Calibration not restored: " + backup +
             " was not restored: it holds the tables of the test set GB44180123, and the "
             "connected one is GB00000001.",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        const std::string trace = privateTempPath("restore.trace");
        std::filesystem::remove(trace);
        Launch restore;
        restore.args = {"--sim-profile", c.profile, "--restore-calibration", backup};
        restore.environment = {"QUILLON_SIM_TRACE=" + trace};
        const Ended ended = run(restore);
        EXPECT_EQ(ended.exitCode, c.exitCode) << ended.out;
        EXPECT_NE(ended.out.find(c.message), npos) << ended.out;
        const std::string sent = readFile(trace);
        EXPECT_EQ(countOf(sent, "W PL13:CAL:DATA '"), c.writes);
        EXPECT_EQ(countOf(sent, "Q PL13:CAL:DATA? '"), c.writes);
        EXPECT_EQ(countOf(sent, "W PL13:CAL:STOR\n"), c.writes == 0 ? 0 : 1);
        EXPECT_EQ(sent.find("*rst"), npos);
    }
}

}  // namespace
}  // namespace quillon::integration

#endif
