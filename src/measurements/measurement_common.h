// SPDX-License-Identifier: MIT
#pragma once

// The pieces every measurement class shares: the chained set-up commands, the direct queries
// into a reply buffer, the completion wait, reading results, and judging per-configuration
// tables (worst entry, worst integrity, pass/fail text).

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "instrument/visa_types.h"
#include "measurements/measurement_context.h"

namespace quillon::measurements {

using ReplyBuffer = std::array<char, instrument::kReplyBufferSize>;

// The test set keeps answering "INIT:DONE?" quickly, so a wait that has not seen its mnemonic
// after this many polls is taken as a failed measurement instead of polling forever. Far beyond
// any real count (a few thousand polls at most for the largest iteration counts).
inline constexpr std::size_t kMaxCompletionPolls = 100000;

// Integrity the test set reports when the measurement could not synchronise; source 2 retries.
inline constexpr std::int16_t kRetryIntegrity = 11;
// Runs in all that phase/frequency error and power versus time make on source 2 while the
// integrity stays kRetryIntegrity; burst power makes as many repeats after its first run.
inline constexpr int kMaxRetryRuns = 50;

struct Limits {
    double low;
    double high;
};

// ---- Bus exchanges. Each takes the running error flag and returns the new one: once it is
// true nothing more is sent. ----

// One command through the bus session's checked send.
bool sendChecked(const MeasurementContext& context, instrument::ViSession vi, bool errorOccurred,
                 const std::string& command);

// The commands in order, as one chain.
bool sendChain(const MeasurementContext& context, instrument::ViSession vi, bool errorOccurred,
               const std::vector<std::string>& commands);

// Direct formatted query of text plus line feed into reply; true when the VISA status is not
// 0 (warnings included). reply always holds a terminated text afterwards.
bool queryFailed(const MeasurementContext& context, instrument::ViSession vi,
                 const std::string& query, ReplyBuffer& reply);

// Polls "INIT:DONE?" until the reply contains mnemonic (case-sensitive), yielding to the user
// interface before each poll. Ends at once when errorOccurred is or becomes true.
bool waitForCompletion(const MeasurementContext& context, instrument::ViSession vi,
                       bool errorOccurred, std::string_view mnemonic,
                       std::size_t maxPolls = kMaxCompletionPolls);

// Fetches the reply's leading number into entry; entry is untouched on failure.
bool fetchNumber(const MeasurementContext& context, instrument::ViSession vi, bool errorOccurred,
                 const std::string& query, double& entry);

// Fetches an integrity (leading number rounded to 16 bits, ties to even) into entry.
bool fetchIntegrity(const MeasurementContext& context, instrument::ViSession vi, bool errorOccurred,
                    const std::string& query, std::int16_t& entry);

// Runs once, then again while source is 1 (source 2) and integrity, the entry the runs write,
// reads kRetryIntegrity, at most maxRuns runs in all. run(errorOccurred) makes one run and
// answers the new flag.
template <class Run>
bool runWithRetries(std::int16_t source, const std::int16_t& integrity, int maxRuns,
                    bool errorOccurred, Run run) {
    errorOccurred = run(errorOccurred);
    for (int runs = 1; source == 1 && integrity == kRetryIntegrity && runs < maxRuns; ++runs) {
        errorOccurred = run(errorOccurred);
    }
    return errorOccurred;
}

// prefix followed by the count with one leading blank ("...NUMBer " + 50 -> "...NUMBer  50").
std::string countCommand(std::string_view prefix, std::int16_t count);

// ---- Per-configuration tables: entries 0 to numConfigs, all 0. A negative numConfigs gives
// an empty table. ----

template <class T>
std::vector<T> zeroTable(std::int16_t numConfigs) {
    return std::vector<T>(static_cast<std::size_t>(std::max(0, numConfigs + 1)), T{});
}

// True when config names an entry that a run may write (0 to numConfigs - 1 and inside table).
template <class T>
bool configInRange(std::int16_t config, std::int16_t numConfigs, const std::vector<T>& table) {
    return config >= 0 && config < numConfigs && static_cast<std::size_t>(config) < table.size();
}

// Starts from configuration 0 and walks 1 to numConfigs - 1 in order; an entry takes over when
// replaces(entry, current) holds. An empty table (before initMeas) gives T{}.
template <class T, class Replaces>
T worstOf(const std::vector<T>& table, std::int16_t numConfigs, Replaces replaces) {
    if (table.empty()) {
        return T{};
    }
    const std::size_t end =
        std::min(table.size(), static_cast<std::size_t>(std::max(1, +numConfigs)));
    T current = table[0];
    for (std::size_t i = 1; i < end; ++i) {
        if (replaces(table[i], current)) {
            current = table[i];
        }
    }
    return current;
}

// The signed entry of largest magnitude; equal magnitudes keep the lower configuration.
double worstSigned(const std::vector<double>& table, std::int16_t numConfigs);
double largestEntry(const std::vector<double>& table, std::int16_t numConfigs);
double smallestEntry(const std::vector<double>& table, std::int16_t numConfigs);

// Configuration 0's integrity, replaced by any later non-zero integrity that is smaller: 0
// whenever configuration 0 was normal.
std::int16_t worstIntegrityOf(const std::vector<std::int16_t>& table, std::int16_t numConfigs);

// One configuration's entry of a result table, for records of the run.
struct ConfigEntry {
    int config;
    double value;
    std::int16_t integrity;
};

// Configurations 0 to numConfigs - 1 of a value table and its integrity table.
std::vector<ConfigEntry> configEntries(const std::vector<double>& values,
                                       const std::vector<std::int16_t>& integrity,
                                       std::int16_t numConfigs);

// ---- Pass/fail texts ----

// "Fail ( 11)": the integrity with one leading blank (a minus sign when negative).
std::string integrityFailText(std::int16_t integrity);

// "Pass" when low <= value <= high, else "Fail" (NaN fails).
std::string limitsText(double value, Limits limits);

// The integrity failure text when worstIntegrity is not 0, else limitsText.
std::string passFailText(std::int16_t worstIntegrity, double value, Limits limits);

}  // namespace quillon::measurements
