// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <istream>
#include <span>

namespace quillon::testrun {

// The program's own baseband generator delay calibration values, used unless the two files
// beside the program replace them. The delay setting table is 5 x 5, stored row after row.
inline constexpr std::array<double, 25> kBuiltInDelaySetting = {
    36, 60, 87, 84, 60,  //
    36, 60, 87, 84, 60,  //
    0,  0,  0,  0,  0,   //
    36, 60, 87, 0,  0,   //
    0,  0,  0,  0,  0,
};
inline constexpr std::array<double, 5> kBuiltInDataDelay = {0.000646098, 0, 0.00003367, 0.00003367,
                                                            0};

inline constexpr const char* kDelaySettingFileName = "4750_bbgen_delay_setting_cal_data.txt";
inline constexpr const char* kDataDelayFileName = "4750_bbgen_data_delay_cal_data.txt";

// A calibration data file larger than this is not read: a real one is under 1 KB.
inline constexpr std::size_t kMaxCalibrationFileBytes = std::size_t{64} * 1024;

// Polls of "SYSTem:SYNC?" after storing before the wait gives up (see waitForSync).
inline constexpr int kMaxSyncPolls = 600;

// Reads one number per line into table, a line's number as a reply's. False when the lines
// end before the table does; the entries read so far are in place.
bool readCalibrationLines(std::istream& in, std::span<double> table);

}  // namespace quillon::testrun
