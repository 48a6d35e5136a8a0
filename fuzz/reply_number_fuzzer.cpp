// SPDX-License-Identifier: MIT
// Reads any text as a reply number and writes the number back as the command texts do. The
// reader must agree with strtod on the number it finds (a second scanner below finds it), and
// every text written must read back as the value it stands for.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "instrument/conventions.h"

namespace {

using namespace quillon::instrument;

void check(bool condition) {
    if (!condition) std::abort();
}

bool digit(char c) {
    return c >= '0' && c <= '9';
}

// The reading rule, scanned once more: blanks, sign, digits with at most one point, an exponent
// only when it has digits. Empty when there is no number.
std::string_view numberAtStart(std::string_view text) {
    std::size_t at = text.find_first_not_of(" \t");
    if (at == std::string_view::npos) return {};
    text.remove_prefix(at);
    std::size_t end = (text.front() == '+' || text.front() == '-') ? 1 : 0;
    std::size_t mantissaDigits = 0;
    bool point = false;
    for (; end < text.size(); ++end) {
        if (digit(text[end])) {
            ++mantissaDigits;
        } else if (text[end] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) return {};
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t exponent = end + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
        if (exponent < text.size() && digit(text[exponent])) {
            while (exponent < text.size() && digit(text[exponent])) ++exponent;
            end = exponent;
        }
    }
    return text.substr(0, end);
}

void checkReader(std::string_view text, double value) {
    const std::string_view number = numberAtStart(text);
    if (number.empty()) {
        check(value == 0.0);
        return;
    }
    const double expected = std::strtod(std::string(number).c_str(), nullptr);
    // Below the smallest normal double the reader may give 0 instead of strtod's subnormal.
    const bool subnormal = std::fpclassify(expected) == FP_SUBNORMAL;
    check(value == expected || (subnormal && value == 0.0));
    check(std::signbit(value) == (number.front() == '-'));
}

void checkTexts(double value) {
    const std::int16_t rounded = roundToInt16(value);
    const std::string count = countText(rounded);
    check(count == (rounded >= 0 ? " " : "") + std::to_string(rounded));
    // Subnormal values may read back as 0 (see checkReader); they are not worth a text.
    if (!std::isfinite(value) || std::fpclassify(value) == FP_SUBNORMAL) return;
    if (value >= -32768.0 && value <= 32767.0) check(std::fabs(rounded - value) <= 0.5);
    check(readLeadingNumber(shortestText(value)) == value);
    const double table = readLeadingNumber(tableValueText(value));
    check(table == value || std::fabs(table - value) <= std::fabs(value) * 1e-14);
    if (std::fabs(value) < 1e12) {
        const std::string level = levelText(value);
        check(level.find_first_not_of("-0123456789.") == std::string::npos);
        check(level.size() >= 5 && level[level.size() - 4] == '.');
        check(std::fabs(readLeadingNumber(level) - value) <= 0.0005 + std::fabs(value) * 1e-15);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = readLeadingNumber(text);
    checkReader(text, value);
    checkTexts(value);
    return 0;
}
