// SPDX-License-Identifier: MIT
#pragma once

// One line of a VISA call trace, shared by the writer (--trace) and the simulated library's
// replay. A line reads
//
//     <start µs> <duration µs> <function> <session> [<key>=<value> ...] => 0x<status> <NAME>
//
// Values are decimal or 0x-hexadecimal numbers, or texts in double quotes with C escapes
// (\\ \" \n \r \t, \xHH for other control bytes). Lines that begin with '#' are comments.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::instrument::trace {

inline std::string quote(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    out += "\\x";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0xF];
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

struct Line {
    std::uint64_t startUs = 0;
    std::uint64_t durationUs = 0;
    std::string function;
    std::uint32_t session = 0;
    std::map<std::string, std::string> fields;  // texts unquoted, numbers as written
    std::int32_t status = 0;
};

namespace detail {

inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

inline std::string_view word(std::string_view& rest) {
    while (!rest.empty() && isBlank(rest.front())) {
        rest.remove_prefix(1);
    }
    std::size_t end = 0;
    while (end < rest.size() && !isBlank(rest[end])) {
        ++end;
    }
    const std::string_view taken = rest.substr(0, end);
    rest.remove_prefix(end);
    return taken;
}

inline std::optional<std::uint64_t> number(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        }
        if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        }
        if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0 || value > (UINT64_MAX >> 4)) {
            return std::nullopt;
        }
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    return value;
}

// A quoted text at the front of rest, unescaped; rest moves past it.
inline std::optional<std::string> unquote(std::string_view& rest) {
    if (rest.empty() || rest.front() != '"') {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '"') {
            rest.remove_prefix(i + 1);
            return out;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= rest.size()) {
            return std::nullopt;
        }
        switch (rest[i]) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case '\\':
                out += '\\';
                break;
            case '"':
                out += '"';
                break;
            case 'x': {
                if (i + 2 >= rest.size()) {
                    return std::nullopt;
                }
                const auto value = number(std::string("0x") + std::string(rest.substr(i + 1, 2)));
                if (!value) {
                    return std::nullopt;
                }
                out += static_cast<char>(*value);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace detail

// The fields of a call line; empty optional for a comment, a blank line or a malformed line
// (malformed tells them apart).
inline std::optional<Line> parseLine(std::string_view text, bool& malformed) {
    malformed = false;
    std::string_view rest = text;
    while (!rest.empty() && detail::isBlank(rest.front())) {
        rest.remove_prefix(1);
    }
    if (rest.empty() || rest.front() == '#') {
        return std::nullopt;
    }
    malformed = true;
    Line line;
    const auto start = detail::number(detail::word(rest));
    const auto duration = detail::number(detail::word(rest));
    line.function = std::string(detail::word(rest));
    const auto session = detail::number(detail::word(rest));
    if (!start || !duration || line.function.empty() || !session) {
        return std::nullopt;
    }
    line.startUs = *start;
    line.durationUs = *duration;
    line.session = static_cast<std::uint32_t>(*session);
    for (;;) {
        while (!rest.empty() && detail::isBlank(rest.front())) {
            rest.remove_prefix(1);
        }
        if (rest.substr(0, 2) == "=>") {
            break;
        }
        const std::size_t equals = rest.find('=');
        if (equals == std::string_view::npos || equals == 0) {
            return std::nullopt;
        }
        const std::string key(rest.substr(0, equals));
        rest.remove_prefix(equals + 1);
        if (!rest.empty() && rest.front() == '"') {
            const auto value = detail::unquote(rest);
            if (!value) {
                return std::nullopt;
            }
            line.fields[key] = *value;
        } else {
            line.fields[key] = std::string(detail::word(rest));
        }
    }
    rest.remove_prefix(2);
    const auto status = detail::number(detail::word(rest));
    if (!status || *status > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    line.status = static_cast<std::int32_t>(static_cast<std::uint32_t>(*status));
    malformed = false;
    return line;
}

}  // namespace quillon::instrument::trace
