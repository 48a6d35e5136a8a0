// SPDX-License-Identifier: MIT
#include "format.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace quillon::sim {

using instrument::kViErrorInvFmt;
using instrument::kViSuccess;
using instrument::ViStatus;
using instrument::ViUInt32;

ViStatus writeFormatText(const char* format, std::string& text) {
    text.clear();
    if (format == nullptr) return kViErrorInvFmt;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            text.push_back(*p);
            continue;
        }
        if (p[1] != '%') return kViErrorInvFmt;
        text.push_back('%');
        ++p;
    }
    return kViSuccess;
}

ReadFormat parseReadFormat(const char* format) {
    ReadFormat read;
    read.status = kViErrorInvFmt;
    if (format == nullptr || format[0] != '%') return read;
    std::string_view rest(format + 1);
    if (rest == "#t") {
        read.counted = true;
    } else if (!rest.empty() && rest.back() == 't') {
        rest.remove_suffix(1);
        std::size_t width = 0;
        for (char c : rest) {
            if (std::isdigit(static_cast<unsigned char>(c)) == 0 || width > 1'000'000) return read;
            width = width * 10 + static_cast<std::size_t>(c - '0');
        }
        if (!rest.empty() && width == 0) return read;
        read.width = rest.empty() ? kUnboundedReadLimit : width;
    } else {
        return read;
    }
    read.status = kViSuccess;
    return read;
}

std::size_t storeReply(const ReadFormat& format, const std::string& reply, va_list args) {
    std::size_t limit = format.width;
    ViUInt32* count = nullptr;
    if (format.counted) {
        count = va_arg(args, ViUInt32*);
        // The count gives the room in the buffer, the terminating NUL included.
        limit = (count == nullptr || *count == 0) ? 0 : *count - 1;
    }
    char* buffer = va_arg(args, char*);
    const std::size_t stored = std::min(limit, reply.size());
    const bool hasRoom = !format.counted || (count != nullptr && *count > 0);
    if (buffer != nullptr && hasRoom) {
        std::memcpy(buffer, reply.data(), stored);
        buffer[stored] = '\0';
    }
    if (count != nullptr) *count = static_cast<ViUInt32>(stored);
    return reply.size() - stored;
}

}  // namespace quillon::sim
