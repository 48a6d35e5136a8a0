// SPDX-License-Identifier: MIT
#pragma once

// The VISA formatted-I/O strings the simulated library understands. Writes carry no
// arguments: "%%" stands for one '%', any other conversion is refused. Reads store one reply
// with "%t", "%Nt" or "%#t".

#include <cstdarg>
#include <cstddef>
#include <string>

#include "instrument/visa_types.h"

namespace quillon::sim {

// Turns a write format into the text to send. kViErrorInvFmt for any conversion but "%%".
instrument::ViStatus writeFormatText(const char* format, std::string& text);

// What a read format asks for; status kViErrorInvFmt when it is not one of the supported forms.
struct ReadFormat {
    instrument::ViStatus status = instrument::kViSuccess;
    bool counted = false;   // "%#t": a ViUInt32* count comes before the buffer
    std::size_t width = 0;  // "%Nt": at most N characters, then a NUL
};
ReadFormat parseReadFormat(const char* format);

// An unbounded "%t" stores at most this many characters (the smallest reply buffer in use).
inline constexpr std::size_t kUnboundedReadLimit = instrument::kReplyBufferSize - 1;

// Stores reply into the arguments of args as format says. Returns how many characters of the
// reply had to be left out (0 when it fitted).
std::size_t storeReply(const ReadFormat& format, const std::string& reply, va_list args);

}  // namespace quillon::sim
