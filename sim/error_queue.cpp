// SPDX-License-Identifier: MIT
#include "error_queue.h"

#include <array>
#include <utility>

namespace quillon::sim {
namespace {

constexpr std::array<std::pair<int, const char*>, 14> kErrorTexts{{
    {0, "No error"},
    {scpi_error::kCommandError, "Command error"},
    {scpi_error::kDataTypeError, "Data type error"},
    {scpi_error::kParameterNotAllowed, "Parameter not allowed"},
    {scpi_error::kMissingParameter, "Missing parameter"},
    {scpi_error::kUndefinedHeader, "Undefined header"},
    {scpi_error::kInvalidSuffix, "Invalid suffix"},
    {scpi_error::kSettingsConflict, "Settings conflict"},
    {scpi_error::kDataOutOfRange, "Data out of range"},
    {scpi_error::kIllegalParameterValue, "Illegal parameter value"},
    {scpi_error::kDataStale, "Data corrupt or stale"},
    {scpi_error::kQueueOverflow, "Queue overflow"},
    {scpi_error::kQueryInterrupted, "Query INTERRUPTED"},
    {scpi_error::kQueryUnterminated, "Query UNTERMINATED"},
}};

std::string entry(int code, const std::string& text) {
    return (code >= 0 ? "+" : "") + std::to_string(code) + ",\"" + text + "\"";
}

}  // namespace

std::string errorText(int code) {
    for (const auto& [number, text] : kErrorTexts) {
        if (number == code) return text;
    }
    return code < 0 ? "Device-specific error" : "Instrument event";
}

void ErrorQueue::push(int code) {
    push(code, errorText(code));
}

void ErrorQueue::push(int code, const std::string& text) {
    if (entries_.size() + 1 < capacity_) {
        entries_.push_back(entry(code, text));
    } else if (entries_.size() + 1 == capacity_) {
        entries_.push_back(
            entry(scpi_error::kQueueOverflow, errorText(scpi_error::kQueueOverflow)));
    }
}

std::string ErrorQueue::pop() {
    if (entries_.empty()) return entry(0, errorText(0));
    std::string front = std::move(entries_.front());
    entries_.pop_front();
    return front;
}

}  // namespace quillon::sim
