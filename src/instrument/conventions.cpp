// SPDX-License-Identifier: MIT
#include "instrument/conventions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

namespace quillon::instrument {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the longest prefix of text that is a number by the reading rule above.
std::size_t numberLength(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        std::size_t fraction = 0;
        while (j < text.size() && isDigit(text[j])) {
            ++j;
            ++fraction;
        }
        if (digits + fraction > 0) {
            i = j;
            digits += fraction;
        }
    }
    if (digits == 0) {
        return 0;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        const std::size_t expStart = j;
        while (j < text.size() && isDigit(text[j])) {
            ++j;
        }
        if (j > expStart) {
            i = j;  // an 'e' without exponent digits is not part of the number
        }
    }
    return i;
}

// The power of ten of the first non-zero digit of an unsigned number that numberLength accepted
// ("0.05" -> -2, "12e3" -> 4, "1000e-5" -> -2); only its sign matters to the caller, so the
// exponent saturates far beyond any double. A number without a non-zero digit gives -1.
long long leadingDigitExponent(std::string_view number) {
    constexpr long long kSaturated = 1'000'000'000'000LL;
    const std::size_t e = number.find_first_of("eE");
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = number.substr(e + 1);
        const bool negative = digits.front() == '-';
        if (digits.front() == '+' || digits.front() == '-') {
            digits.remove_prefix(1);
        }
        for (const char digit : digits) {
            exponent = std::min(exponent * 10 + (digit - '0'), kSaturated);
        }
        if (negative) {
            exponent = -exponent;
        }
    }
    const std::string_view mantissa = number.substr(0, e);
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) {
        return -1;
    }
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    // Digits between the first non-zero one and the point; a digit after the point counts -1.
    const auto places = static_cast<long long>(point) - static_cast<long long>(first);
    return exponent + (first < point ? places - 1 : places);
}

}  // namespace

double readLeadingNumber(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) {
        ++start;
    }
    text.remove_prefix(start);
    const std::size_t length = numberLength(text);
    if (length == 0) {
        return 0.0;
    }
    std::string_view number = text.substr(0, length);
    bool negative = false;
    if (number.front() == '+' || number.front() == '-') {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                           std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves value untouched: too small to hold rounds to 0, too large is inf.
        value = leadingDigitExponent(number) < 0 ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::int16_t roundToInt16(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value <= -32768.0) {
        return std::numeric_limits<std::int16_t>::min();
    }
    if (value >= 32767.0) {
        return std::numeric_limits<std::int16_t>::max();
    }
    return static_cast<std::int16_t>(std::nearbyint(value));  // default mode: ties to even
}

std::string levelText(double value) {
    std::array<char, 64> buffer{};
    // %.3f never groups digits and always writes a point in the "C" locale that std::snprintf
    // uses unless the program changes LC_NUMERIC; the replace below guards against that too.
    int n = std::snprintf(buffer.data(), buffer.size(), "%.3f", value);
    if (n < 0) {
        return "0.000";
    }
    std::string text(buffer.data(), static_cast<std::size_t>(std::min<int>(n, 63)));
    for (char& c : text) {
        if (c == ',') {
            c = '.';
        }
    }
    if (text == "-0.000") {
        text = "0.000";
    }
    return text;
}

std::string countText(long value) {
    return value >= 0 ? " " + std::to_string(value) : std::to_string(value);
}

std::string shortestText(double value) {
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (ec != std::errc()) {
        return "0";
    }
    return std::string(buffer.data(), end);
}

std::string tableValueText(double value) {
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::general, 15);
    if (ec != std::errc()) {
        return "0";
    }
    return std::string(buffer.data(), end);
}

std::string_view beforeLineFeed(std::string_view text) {
    const std::size_t lf = text.find('\n');
    return lf == std::string_view::npos ? text : text.substr(0, lf);
}

}  // namespace quillon::instrument
