// SPDX-License-Identifier: MIT
#include "scpi.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace quillon::sim {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Splits "BURSt2" into letters and a trailing number; no digits gives suffix 0.
std::pair<std::string_view, int> splitSuffix(std::string_view word) {
    std::size_t end = word.size();
    while (end > 0 && std::isdigit(static_cast<unsigned char>(word[end - 1])) != 0) --end;
    if (end == word.size()) return {word, 0};
    int suffix = 0;
    const auto [ptr, ec] = std::from_chars(word.data() + end, word.data() + word.size(), suffix);
    if (ec != std::errc() || ptr != word.data() + word.size()) return {word, -1};
    return {word.substr(0, end), suffix};
}

// text equals upper, an upper-case word, letter case ignored.
bool equalsUpper(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (static_cast<char>(std::toupper(static_cast<unsigned char>(text[i]))) != upper[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string upperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<Message> splitMessage(std::string_view text) {
    text = trim(text);
    std::size_t headerEnd = 0;
    while (headerEnd < text.size() && !isBlank(text[headerEnd])) ++headerEnd;
    std::string_view header = text.substr(0, headerEnd);
    Message message;
    message.parameters = std::string(trim(text.substr(headerEnd)));
    if (!header.empty() && header.back() == '?') {
        message.query = true;
        header.remove_suffix(1);
    }
    if (!header.empty() && header.front() == '*') {
        message.common = true;
        message.keywords.push_back(upperCase(header));
        return header.size() > 1 ? std::optional<Message>(message) : std::nullopt;
    }
    if (!header.empty() && header.front() == ':') header.remove_prefix(1);
    if (header.empty()) return std::nullopt;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = header.find(':', start);
        const std::string_view word = header.substr(start, colon - start);
        if (word.empty()) return std::nullopt;
        message.keywords.emplace_back(word);
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    return message;
}

std::string shortForm(std::string_view mnemonic) {
    std::string out;
    for (char c : mnemonic) {
        if (std::isupper(static_cast<unsigned char>(c)) != 0 ||
            std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '*') {
            out.push_back(c);
        }
    }
    return out;
}

bool mnemonicMatches(std::string_view mnemonic, std::string_view word) {
    return equalsUpper(word, shortForm(mnemonic)) || equalsUpper(word, upperCase(mnemonic));
}

HeaderPattern::HeaderPattern(std::string_view pattern) {
    std::size_t start = 0;
    while (start < pattern.size()) {
        Node node;
        if (pattern[start] == '[') {
            node.optional = true;
            ++start;
        }
        if (start < pattern.size() && pattern[start] == ':') ++start;
        std::size_t end = start;
        while (end < pattern.size() && pattern[end] != ':' && pattern[end] != '[' &&
               pattern[end] != ']') {
            ++end;
        }
        std::string_view mnemonic = pattern.substr(start, end - start);
        if (!mnemonic.empty() && mnemonic.back() == '#') {
            node.suffix = true;
            mnemonic.remove_suffix(1);
        }
        node.shortForm = shortForm(mnemonic);
        node.longForm = upperCase(mnemonic);
        nodes_.push_back(std::move(node));
        start = end;
        if (start < pattern.size() && pattern[start] == ']') ++start;
    }
}

bool HeaderPattern::Node::matches(std::string_view word) const {
    return equalsUpper(word, shortForm) || equalsUpper(word, longForm);
}

bool HeaderPattern::matches(const std::vector<std::string>& keywords,
                            std::vector<int>& suffixes) const {
    suffixes.clear();
    return matchFrom(0, 0, keywords, suffixes);
}

bool HeaderPattern::matchFrom(std::size_t node, std::size_t word,
                              const std::vector<std::string>& keywords,
                              std::vector<int>& suffixes) const {
    if (node == nodes_.size()) return word == keywords.size();
    const Node& current = nodes_[node];
    if (current.optional) {
        const std::size_t mark = suffixes.size();
        if (matchFrom(node + 1, word, keywords, suffixes)) return true;
        suffixes.resize(mark);
    }
    if (word == keywords.size()) return false;
    if (current.suffix) {
        const auto [letters, suffix] = splitSuffix(keywords[word]);
        if (suffix < 0 || !current.matches(letters)) return false;
        const std::size_t mark = suffixes.size();
        suffixes.push_back(suffix == 0 ? 1 : suffix);
        if (matchFrom(node + 1, word + 1, keywords, suffixes)) return true;
        suffixes.resize(mark);
        return false;
    }
    if (!current.matches(keywords[word])) return false;
    return matchFrom(node + 1, word + 1, keywords, suffixes);
}

std::vector<std::string> splitParameters(std::string_view text) {
    std::vector<std::string> parameters;
    text = trim(text);
    if (text.empty()) return parameters;
    char quote = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && quote != 0) {
            if (text[i] == quote) quote = 0;
            continue;
        }
        if (i < text.size() && (text[i] == '\'' || text[i] == '"')) {
            quote = text[i];
            continue;
        }
        if (i == text.size() || text[i] == ',') {
            parameters.emplace_back(trim(text.substr(start, i - start)));
            start = i + 1;
        }
    }
    return parameters;
}

std::optional<NumberWithUnit> parseNumber(std::string_view text) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    NumberWithUnit number;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), number.value);
    if (ec != std::errc()) return std::nullopt;
    const std::string_view rest = trim(text.substr(static_cast<std::size_t>(ptr - text.data())));
    for (char c : rest) {
        if (std::isalpha(static_cast<unsigned char>(c)) == 0) return std::nullopt;
    }
    number.unit = upperCase(rest);
    return number;
}

std::string numberReply(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.6E", value);
    return text;
}

std::optional<std::string> parseQuoted(std::string_view text) {
    text = trim(text);
    if (text.size() < 2 || (text.front() != '\'' && text.front() != '"') ||
        text.back() != text.front()) {
        return std::nullopt;
    }
    return std::string(text.substr(1, text.size() - 2));
}

}  // namespace quillon::sim
