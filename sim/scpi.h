// SPDX-License-Identifier: MIT
#pragma once

// The test set's message syntax: a header of colon-separated keywords (or a common command such
// as "*IDN?"), then parameters after white space. Keywords match a canonical mnemonic in its
// short form (its upper-case letters and digits) or its long form, in any letter case.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::sim {

struct Message {
    std::vector<std::string> keywords;  // as written, without colons and without the '?'
    bool query = false;
    bool common = false;     // "*IDN?" and friends
    std::string parameters;  // text after the header, trimmed
};

// Splits a message into header keywords and parameter text. Empty optional: no header at all,
// or an empty keyword ("CALL::BAND").
std::optional<Message> splitMessage(std::string_view text);

// "PDTChannel" -> "PDTC". Digits count as upper case: "CUSTom1" -> "CUST1".
std::string shortForm(std::string_view mnemonic);

// word matches the short or the long form of mnemonic, letter case ignored.
bool mnemonicMatches(std::string_view mnemonic, std::string_view word);

// A header pattern such as "CALL[:CELL]:OPERating:MODE" or "PL13:STATes:RFS#:LEVel:RF".
// "[...]" marks an optional keyword; a trailing '#' accepts a numeric suffix (1 when absent).
class HeaderPattern {
  public:
    explicit HeaderPattern(std::string_view pattern);

    // On a match, suffixes holds one number per '#' keyword, in order.
    bool matches(const std::vector<std::string>& keywords, std::vector<int>& suffixes) const;

  private:
    // A keyword of the pattern, its two forms upper-cased once when the pattern is built.
    struct Node {
        std::string shortForm;
        std::string longForm;
        bool optional = false;
        bool suffix = false;
        bool matches(std::string_view word) const;
    };
    bool matchFrom(std::size_t node, std::size_t word, const std::vector<std::string>& keywords,
                   std::vector<int>& suffixes) const;

    std::vector<Node> nodes_;
};

// Parameters separated by commas outside quotes, each trimmed; "" gives none.
std::vector<std::string> splitParameters(std::string_view text);

// A number with an optional unit suffix ("-1.73ms", "+3.6E+01", " 464000000"). The unit comes
// back in upper case; the empty optional means no number at the start or junk after the unit.
struct NumberWithUnit {
    double value = 0.0;
    std::string unit;
};
std::optional<NumberWithUnit> parseNumber(std::string_view text);

// A number as replies carry it: "+1.250000E+01".
std::string numberReply(double value);

// A quoted string parameter ('...' or "..."), without its quotes.
std::optional<std::string> parseQuoted(std::string_view text);

std::string upperCase(std::string_view text);
std::string_view trim(std::string_view text);

}  // namespace quillon::sim
