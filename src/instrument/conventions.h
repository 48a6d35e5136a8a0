// SPDX-License-Identifier: MIT
#pragma once

// How numbers travel in the test set's command language: how a reply is read as a number and
// how levels, counts and table values are written into commands. These formats never follow
// the PC's regional settings; display formats live with the results table.

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::instrument {

// The number at the start of text: leading blanks skipped, optional sign, digits with at most
// one '.', optional exponent. Stops at the first character that cannot continue the number;
// text without a number reads 0. Never throws; a number too large for a double gives
// +/-infinity, one too small 0, whatever its digits and exponent look like.
double readLeadingNumber(std::string_view text);

// Nearest 16-bit integer, ties to even, clamped to [-32768, 32767]; NaN gives 0.
std::int16_t roundToInt16(double value);

// Level text: "##0.000" with a point as decimal separator (-15 -> "-15.000", 0.0004 -> "0.000").
std::string levelText(double value);

// A count with one leading blank for values of 0 and more ("50" -> " 50", -3 -> "-3").
std::string countText(long value);

// Shortest decimal text of a double (-12 -> "-12", 2.5 -> "2.5").
std::string shortestText(double value);

// A calibration table value: point as separator, at most 15 significant digits, no blanks;
// read back by the test set as the same number (36 -> "36", 0.00003367 -> "3.367e-05").
std::string tableValueText(double value);

// The text before the first line feed; all of text when it holds none.
std::string_view beforeLineFeed(std::string_view text);

}  // namespace quillon::instrument
