// SPDX-License-Identifier: MIT
// The calibration backup in a real run on the simulated test set, and --restore-calibration.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console_launch.h"
#include "sim_session.h"

namespace quillon::integration {
namespace {

const std::string kProfiles = QUILLON_BIN_DIR "/sim-profiles/";

// A one-band run on the calibration-differs profile with backupArgs, its bus traffic in trace.
Ended differsRun(const std::string& backupArgs, const std::string& trace) {
    return runConsole(backupArgs + " --yes --bands 0 --tests 7 --sim-profile " + kProfiles +
                          "calibration-differs.toml",
                      {"QUILLON_SIM_TRACE=" + trace});
}

// The test set's differing entry is in the backup, taken without a bus message of its own: the
// traffic equals that of a run without backup. A backup that cannot be written is one line on
// standard error, and the run goes on. A restore of that backup writes all 60 entries, stores,
// waits and reads them back: 0 when they match, 6 when one does not; a backup of another test
// set is refused (3) without a write.
TEST(CalibrationBackup, ARunLeavesABackupWithoutExtraTrafficThatARestoreWritesBack) {
    const std::string folder = privateTempPath("backups");
    const std::string withBackup = privateTempPath("with.trace");
    const std::string without = privateTempPath("without.trace");
    const std::string failing = privateTempPath("failing.trace");
    const std::string inTheWay = privateTempPath("a-file");
    std::ofstream(inTheWay) << "in the way\n";
    const Ended backedUp = differsRun("--cal-backup-dir " + folder, withBackup);
    const Ended plain = differsRun("--no-cal-backup", without);
    const Ended unwritable = differsRun("--cal-backup-dir " + inTheWay + "/backups", failing);
    for (const Ended* ended : {&backedUp, &plain, &unwritable}) {
        EXPECT_EQ(ended->exitCode, 0) << ended->out;
    }
    EXPECT_NE(readFile(without).find("W PL13:CAL:DATA 'tdma_bbgen_delay_setting2',3,4,0\n"), npos);
    EXPECT_EQ(readFile(withBackup), readFile(without));
    EXPECT_EQ(readFile(failing), readFile(without));
    EXPECT_EQ(countOf(unwritable.out,
                      "quillon: Calibration backup not written: cannot make the "
                      "folder " +
                          inTheWay + "/backups\n"),
              1)
        << unwritable.out;
    EXPECT_EQ(plain.out.find("backup"), npos);

    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files.push_back(entry.path().string());
    }
    ASSERT_EQ(files.size(), 1u);
    const std::string backup = files[0];
    const std::string file = std::filesystem::path(backup).filename().string();
    EXPECT_TRUE(file.starts_with("GB44180123-2") && file.ends_with("Z.txt")) << file;
    const std::string saved = readFile(backup);
    EXPECT_TRUE(saved.starts_with("# Quillon calibration backup\nserial GB44180123\ntaken "));
    EXPECT_NE(saved.find("\ntdma_bbgen_delay_setting2 3 4 12\n"), npos) << saved;
    EXPECT_NE(saved.find("\ntdma_bbgen_data_delay2 4 0 0\n"), npos) << saved;
    EXPECT_EQ(countOf(saved, "\ntdma_bbgen_"), 60);

    const auto profile = [](const std::string& name, const std::string& extra) {
        return sim_test::testSetProfile(name, "", extra);
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
        const std::string trace = freshTempPath("restore.trace");
        const Ended ended =
            runConsole("--sim-profile " + c.profile + " --restore-calibration " + backup,
                       {"QUILLON_SIM_TRACE=" + trace});
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
