// SPDX-License-Identifier: MIT
#pragma once

// One device on the simulated bus, as the VISA layer talks to it: whole messages in, whole
// replies out.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "instrument/visa_types.h"

namespace quillon::sim {

// A warning that a write may complete with: the operation succeeded, but the library has no
// description for what it noticed.
inline constexpr instrument::ViStatus kViWarnUnknownStatus =
    static_cast<instrument::ViStatus>(0x3FFF0085);

class Instrument {
  public:
    virtual ~Instrument() = default;

    // One message, its line feed included or not. Success, a warning, or an error status.
    virtual instrument::ViStatus write(std::string_view message) = 0;
    // The pending reply with its line feed; empty optional when the read times out.
    virtual std::optional<std::string> read() = 0;
    // The reader's buffer held only part of the last reply; the rest was never read.
    virtual void replyCut() {}
    // Device clear: a pending reply is dropped.
    virtual void clear() {}
    // The IEEE 488.2 status byte a serial poll returns.
    virtual std::uint16_t statusByte() const { return 0; }

    // Status byte bits: an error or event queued (EAV) and a reply waiting (MAV).
    static constexpr std::uint16_t kErrorAvailable = 0x04;
    static constexpr std::uint16_t kMessageAvailable = 0x10;

    std::uint16_t board() const { return board_; }
    std::uint16_t primary() const { return primary_; }

  protected:
    Instrument(std::uint16_t board, std::uint16_t primary) : board_(board), primary_(primary) {}
    Instrument(const Instrument&) = default;
    Instrument& operator=(const Instrument&) = default;

  private:
    std::uint16_t board_;
    std::uint16_t primary_;
};

}  // namespace quillon::sim
