// SPDX-License-Identifier: MIT
#pragma once

// The devices on a simulated bus that are not test sets: another maker's instrument that
// knows only the common commands and its error queue, and an address that listens but never
// answers.

#include <optional>
#include <string>
#include <string_view>

#include "error_queue.h"
#include "instrument.h"

namespace quillon::sim {

class ForeignInstrument final : public Instrument {
  public:
    ForeignInstrument(std::uint16_t board, std::uint16_t primary, std::string identity,
                      std::size_t queueSize)
        : Instrument(board, primary), identity_(std::move(identity)), errors_(queueSize) {}

    instrument::ViStatus write(std::string_view message) override;
    std::optional<std::string> read() override;
    void clear() override { output_.clear(); }
    std::uint16_t statusByte() const override {
        return static_cast<std::uint16_t>((errors_.empty() ? 0 : kErrorAvailable) |
                                          (output_.empty() ? 0 : kMessageAvailable));
    }

  private:
    std::string identity_;
    ErrorQueue errors_;
    std::string output_;
};

class SilentInstrument final : public Instrument {
  public:
    SilentInstrument(std::uint16_t board, std::uint16_t primary) : Instrument(board, primary) {}

    instrument::ViStatus write(std::string_view) override { return instrument::kViSuccess; }
    std::optional<std::string> read() override { return std::nullopt; }
};

}  // namespace quillon::sim
