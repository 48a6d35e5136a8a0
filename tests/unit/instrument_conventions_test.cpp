// SPDX-License-Identifier: MIT
// How numbers are read from replies and written into commands.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <tuple>

#include "instrument/conventions.h"

namespace quillon::instrument {
namespace {

TEST(ReadLeadingNumber, Table) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::string zeros(400, '0');
    // clang-format off
    const std::pair<std::string, double> cases[] = {
        {"", 0.0}, {"abc", 0.0}, {"   42", 42.0}, {"\t7", 7.0}, {"+0,\"No error\"", 0.0},
        {"-113,\"Undefined header\"", -113.0}, {"+3.6000E+01", 36.0}, {"1.5e-3xyz", 0.0015},
        {"12.5.7", 12.5}, {".5", 0.5}, {"5.", 5.0}, {"-.25", -0.25}, {"+", 0.0}, {".", 0.0},
        {"1e", 1.0}, {"1e+", 1.0}, {"2E3", 2000.0}, {"-14.87 dBm", -14.87}, {"9.91E+37", 9.91e37},
        {"1e999", inf}, {"-1e999", -inf}, {"1e-999", 0.0}, {"4.9e-324", 4.9e-324},
        // Out of range or not is decided by the number's magnitude, not its exponent's sign.
        {"0." + zeros + "1", 0.0}, {"-0." + zeros + "1e-3", 0.0}, {"1" + zeros + "e-5", inf},
        {"-1" + zeros + "e-5", -inf}, {"1" + zeros + "e-395", 1e5}, {"0." + zeros + "1e500", 1e99},
        {"00000" + zeros + ".0e99999", 0.0}, {"1e99999999999999999999999", inf},
        {"0.01e-99999999999999999999999", 0.0}};
    // clang-format on
    for (const auto& [text, expected] : cases) EXPECT_EQ(readLeadingNumber(text), expected) << text;
}

// Random text never crashes the reader, and a number printed in front of any junk reads back.
TEST(ReadLeadingNumber, RandomInputProperty) {
    std::mt19937 rng(20261205);
    const std::string alphabet = "0123456789+-.eE ,\"abcXYZ\t\n%";
    std::uniform_int_distribution<std::size_t> length(0, 24);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_real_distribution<double> value(-1e6, 1e6);
    for (int i = 0; i < 20000; ++i) {
        std::string junk;
        for (std::size_t n = length(rng); n > 0; --n) junk += alphabet[pick(rng)];
        const double parsed = readLeadingNumber(junk);
        EXPECT_FALSE(std::isnan(parsed)) << junk;

        const double v = value(rng);
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", v);
        const std::string tail =
            junk.empty() || junk.find_first_of("0123456789.eE") == 0 ? ",x" : "," + junk;
        EXPECT_EQ(readLeadingNumber(std::string(text) + tail), v) << text << tail;
    }
}

TEST(RoundToInt16, TiesToEvenAndClamped) {
    const double inf = std::numeric_limits<double>::infinity();
    // clang-format off
    const std::pair<double, std::int16_t> cases[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {0.6, 1}, {10.5, 10}, {11.5, 12},
        {32767.4, 32767}, {32767.5, 32767}, {1e9, 32767}, {-32768.6, -32768}, {-1e9, -32768},
        {std::nan(""), 0}, {inf, 32767}, {-inf, -32768}};
    // clang-format on
    for (const auto& [value, expected] : cases) EXPECT_EQ(roundToInt16(value), expected) << value;
}

// A level with three decimals; a table value in the shortest text that reads back the same.
TEST(NumberTexts, LevelAndTableValues) {
    // clang-format off
    const std::tuple<double, const char*, const char*> cases[] = {
        {-15.0, "-15.000", "-15"}, {4.0, "4.000", "4"}, {5.5, "5.500", "5.5"}, {0.0, "0.000", "0"},
        {-27.5, "-27.500", "-27.5"}, {1234.5678, "1234.568", "1234.5678"},
        {0.000646098, "0.001", "0.000646098"}, {0.00003367, "0.000", "3.367e-05"}};
    // clang-format on
    for (const auto& [value, level, table] : cases) {
        EXPECT_EQ(levelText(value), level);
        EXPECT_EQ(tableValueText(value), table);
        EXPECT_EQ(readLeadingNumber(tableValueText(value)), value) << table;
    }
}

}  // namespace
}  // namespace quillon::instrument
