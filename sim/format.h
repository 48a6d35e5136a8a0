// SPDX-License-Identifier: MIT
#pragma once

// The VISA formatted-I/O strings the simulated library understands. Writes carry no
// arguments: "%%" stands for one '%'. Reads store one reply with "%t" (up to the END indicator)
// or "%T" (up to the line feed). The standard defines a field width, and the counted width "#",
// on reads only for "%s", "%c" and "%[...]"; "%511t" or "%#t" therefore get
// VI_ERROR_INV_FMT here, so a program that leans on them fails at once instead of overrunning
// its buffer on a library that ignores the width. Conversions the standard defines but this
// library does not carry out get VI_ERROR_NSUP_FMT.

#include <cstdarg>
#include <cstddef>
#include <string>

#include "instrument/visa_types.h"

namespace quillon::sim {

// Turns a write format into the text to send.
instrument::ViStatus writeFormatText(const char* format, std::string& text);

struct ReadFormat {
    instrument::ViStatus status = instrument::kViSuccess;
    bool toLineFeed = false;  // "%T"
};
ReadFormat parseReadFormat(const char* format);

// "%t" has no bound of its own; the simulated library stores at most this many characters (the
// smallest reply buffer in use) and a NUL.
inline constexpr std::size_t kUnboundedReadLimit = instrument::kReplyBufferSize - 1;

// The part of reply that format takes: all of it for "%t", up to and including the first line
// feed for "%T".
std::size_t readLength(const ReadFormat& format, const std::string& reply);

// Stores text into the char* argument of args, cut to kUnboundedReadLimit. Returns how many
// characters had to be left out (0 when it fitted).
std::size_t storeReply(const std::string& text, va_list args);

}  // namespace quillon::sim
