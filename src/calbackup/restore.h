// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "calbackup/backup_file.h"
#include "instrument/visa_types.h"

namespace quillon::instrument {
class clsVisa;
}
namespace quillon::testrun {
class OperatorInterface;
}

namespace quillon::calbackup {

// Why backup cannot be restored as it stands (an entry of the four tables missing), or empty.
std::string incomplete(const Backup& backup);

// Writes every entry of backup into the test set at vi as the calibration data check writes
// its tables: the delay setting entries, the 1000 ms pause, the data delay entries, each with
// its error check; then "PL13:CAL:STOR", the 3000 ms pause and the wait for "SYSTem:SYNC?" to
// answer 1. Then reads every entry back. Returns one line for each entry that does not read
// back as the same number; empty when all of them do. backup must be complete.
std::vector<std::string> restoreTables(instrument::clsVisa& visa, testrun::OperatorInterface& ui,
                                       instrument::ViSession vi, const Backup& backup);

// --restore-calibration: reads the file at path, refuses it when it is no complete backup or
// names another serial number than serialNumber, otherwise restores it. Tells the operator the
// outcome in a message box and returns the exit code: 0 restored and read back the same, 3
// refused (nothing written), kExitRestoreMismatch when an entry read back differs.
int restoreFromFile(instrument::clsVisa& visa, testrun::OperatorInterface& ui,
                    instrument::ViSession vi, const std::string& serialNumber,
                    const std::string& path);

}  // namespace quillon::calbackup
