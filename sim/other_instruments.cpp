// SPDX-License-Identifier: MIT
#include "other_instruments.h"

#include "scpi.h"

namespace quillon::sim {

instrument::ViStatus ForeignInstrument::write(std::string_view message) {
    if (!output_.empty()) {
        output_.clear();
        errors_.push(scpi_error::kQueryInterrupted);
    }
    const std::optional<Message> parsed = splitMessage(message);
    if (!parsed) return instrument::kViSuccess;
    static const HeaderPattern kError("SYSTem:ERRor");
    std::vector<int> suffixes;
    const std::string header = parsed->common ? parsed->keywords.front() : std::string();
    if (parsed->common && parsed->query && header == "*IDN") {
        output_ = identity_ + "\n";
    } else if (parsed->common && !parsed->query && header == "*CLS") {
        errors_.clear();
    } else if (parsed->common && !parsed->query && header == "*RST") {
        // Nothing to reset that the bus can see.
    } else if (!parsed->common && parsed->query && kError.matches(parsed->keywords, suffixes)) {
        output_ = errors_.pop() + "\n";
    } else {
        errors_.push(scpi_error::kUndefinedHeader);
    }
    return instrument::kViSuccess;
}

std::optional<std::string> ForeignInstrument::read() {
    if (output_.empty()) {
        errors_.push(scpi_error::kQueryUnterminated);
        return std::nullopt;
    }
    std::string reply = std::move(output_);
    output_.clear();
    return reply;
}

}  // namespace quillon::sim
