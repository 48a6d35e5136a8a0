// SPDX-License-Identifier: MIT
#include "instrument/visa_api.h"

#include <algorithm>

namespace quillon::instrument {

ViStatus VisaApi::printf(ViSession vi, const char* writeFmt, ...) {
    va_list args;
    va_start(args, writeFmt);
    const ViStatus status = vPrintf(vi, writeFmt, args);
    va_end(args);
    return status;
}

// Why a raw read and not a formatted one: "%t" reads up to the END indicator with no bound, so
// a reply longer than the buffer would be written past it. The VISA standard defines a field
// width (and "#" for a counted width) on reads only for "%s", "%c" and "%[...]"; for "%t" a
// width is an extension that some libraries honour and others document as unsupported, so
// "%511t" is bounded only where the library happens to honour it. viRead takes the buffer's
// size as an argument on every implementation. The text written is the same; the bytes that
// come back are the same; only the buffer's bound is now guaranteed.
ViStatus VisaApi::query(ViSession vi, const char* text, std::span<char> reply) {
    reply.front() = '\0';
    // The line feed at the end of text makes the library send its formatted write buffer, so
    // the instrument has the whole query before the read starts.
    const ViStatus written = printf(vi, text);
    if (written < 0) {
        return written;
    }
    ViUInt32 received = 0;
    ViStatus status = read(vi, reinterpret_cast<unsigned char*>(reply.data()),
                           static_cast<ViUInt32>(reply.size() - 1), &received);
    if (status < 0) {
        reply.front() = '\0';
        return status;
    }
    reply[std::min<std::size_t>(received, reply.size() - 1)] = '\0';
    // A reply cut at the buffer counts as read, as the formatted read did: the text so far is
    // kept, and the instrument reports the unread rest itself at the next message (-410).
    if (status == kViSuccessMaxCnt) {
        status = kViSuccess;
    }
    return status == kViSuccess ? written : status;
}

}  // namespace quillon::instrument
