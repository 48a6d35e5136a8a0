// SPDX-License-Identifier: MIT
#pragma once

// The instrument's error queue as "SYSTem:ERRor?" reads it: oldest error first, "+0,"No error""
// when empty. A full queue keeps its oldest entries and turns the newest into -350.

#include <cstddef>
#include <deque>
#include <string>

namespace quillon::sim {

namespace scpi_error {
inline constexpr int kCommandError = -100;
inline constexpr int kDataTypeError = -104;
inline constexpr int kParameterNotAllowed = -108;
inline constexpr int kMissingParameter = -109;
inline constexpr int kUndefinedHeader = -113;
inline constexpr int kInvalidSuffix = -131;
inline constexpr int kSettingsConflict = -221;
inline constexpr int kDataOutOfRange = -222;
inline constexpr int kIllegalParameterValue = -224;
inline constexpr int kDataStale = -230;
inline constexpr int kQueueOverflow = -350;
inline constexpr int kQueryInterrupted = -410;
inline constexpr int kQueryUnterminated = -420;
}  // namespace scpi_error

// The standard text of an error number; a generic text for numbers outside the table.
std::string errorText(int code);

class ErrorQueue {
  public:
    explicit ErrorQueue(std::size_t capacity) : capacity_(capacity < 2 ? 2 : capacity) {}

    void push(int code);
    void push(int code, const std::string& text);
    // The reply to "SYSTem:ERRor?", removing the entry it reports.
    std::string pop();
    void clear() { entries_.clear(); }
    bool empty() const { return entries_.empty(); }

  private:
    std::size_t capacity_;
    std::deque<std::string> entries_;
};

}  // namespace quillon::sim
