// SPDX-License-Identifier: MIT
#include "faults.h"

#include <utility>

namespace quillon::sim {

FaultTable::FaultTable(std::vector<FaultRule> rules, const CommandResolver& resolve) {
    for (FaultRule& rule : rules) {
        Counted counted{std::move(rule), std::nullopt, 0};
        if (!counted.rule.command.empty()) counted.key = resolve(counted.rule.command);
        rules_.push_back(std::move(counted));
    }
}

bool FaultTable::selects(const Counted& counted, std::string_view text,
                         const std::optional<CommandKey>& key, int measuredSource) {
    if (counted.rule.source != 0 && counted.rule.source != measuredSource) return false;
    if (counted.rule.any) return true;
    if (!counted.rule.text.empty()) return counted.rule.text == text;
    return counted.key.has_value() && key.has_value() && *counted.key == *key;
}

std::optional<FaultRule> FaultTable::check(std::string_view text,
                                           const std::optional<CommandKey>& key,
                                           int measuredSource) {
    std::optional<FaultRule> fired;
    for (Counted& counted : rules_) {
        if (!selects(counted, text, key, measuredSource)) continue;
        ++counted.seen;
        const FaultRule& rule = counted.rule;
        const bool reached = counted.seen >= rule.nth;
        const bool within = rule.times == 0 || counted.seen < rule.nth + rule.times;
        if (reached && within && !fired) fired = rule;
    }
    return fired;
}

}  // namespace quillon::sim
