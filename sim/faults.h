// SPDX-License-Identifier: MIT
#pragma once

// Fault injection: each rule of the profile counts the messages it selects and fires on the
// occurrences it names. A rule selects by exact message text or by header, a header written in
// any spelling selecting every spelling of the same command, or selects every message.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profile.h"

namespace quillon::sim {

// Which command of the command table a header resolves to, with its numeric suffixes.
struct CommandKey {
    int entry = -1;
    std::vector<int> suffixes;
    bool operator==(const CommandKey&) const = default;
};
using CommandResolver = std::function<std::optional<CommandKey>(std::string_view message)>;

class FaultTable {
  public:
    // Rules whose header names no known command never fire.
    FaultTable(std::vector<FaultRule> rules, const CommandResolver& resolve);

    // The rule that fires for this message, if any. Counts the message for every rule that
    // selects it. measuredSource is 1 or 2, the source the analyzer now sees.
    std::optional<FaultRule> check(std::string_view text, const std::optional<CommandKey>& key,
                                   int measuredSource);

  private:
    struct Counted {
        FaultRule rule;
        std::optional<CommandKey> key;
        int seen = 0;
    };
    static bool selects(const Counted& counted, std::string_view text,
                        const std::optional<CommandKey>& key, int measuredSource);

    std::vector<Counted> rules_;
};

}  // namespace quillon::sim
