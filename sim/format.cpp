// SPDX-License-Identifier: MIT
#include "format.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace quillon::sim {
namespace {

using instrument::kViErrorInvFmt;
using instrument::kViErrorNsupFmt;
using instrument::kViSuccess;
using instrument::ViStatus;

// Conversion codes of the standard's formatted I/O, for writes and reads together.
constexpr std::string_view kStandardCodes = "cdiouxXeEfgGsbBtTyaAp[";
// What may stand between '%' and the code: flags, widths, array sizes, length modifiers.
constexpr std::string_view kModifiers = "*#0123456789,@+- .lhzLqQ!";

struct Conversion {
    std::string_view modifiers;
    char code = '\0';
    std::size_t length = 0;  // characters from '%' on
};

Conversion conversionAt(std::string_view text) {
    Conversion conversion;
    std::size_t i = 1;
    while (i < text.size() && kModifiers.find(text[i]) != std::string_view::npos) ++i;
    conversion.modifiers = text.substr(1, i - 1);
    if (i < text.size()) conversion.code = text[i++];
    conversion.length = i;
    return conversion;
}

ViStatus unsupportedOrInvalid(char code) {
    return code != '\0' && kStandardCodes.find(code) != std::string_view::npos ? kViErrorNsupFmt
                                                                               : kViErrorInvFmt;
}

}  // namespace

ViStatus writeFormatText(const char* format, std::string& text) {
    text.clear();
    if (format == nullptr) return kViErrorInvFmt;
    const std::string_view all(format);
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] != '%') {
            text.push_back(all[i]);
            continue;
        }
        if (i + 1 < all.size() && all[i + 1] == '%') {
            text.push_back('%');
            ++i;
            continue;
        }
        return unsupportedOrInvalid(conversionAt(all.substr(i)).code);
    }
    return kViSuccess;
}

ReadFormat parseReadFormat(const char* format) {
    ReadFormat read;
    read.status = kViErrorInvFmt;
    if (format == nullptr || format[0] != '%') return read;
    const std::string_view text(format);
    const Conversion conversion = conversionAt(text);
    if (conversion.code == 't' || conversion.code == 'T') {
        // A width or '#' on %t/%T is not part of the standard.
        if (conversion.modifiers.find_first_not_of('*') != std::string_view::npos) return read;
        if (!conversion.modifiers.empty() || conversion.length != text.size()) {
            read.status = kViErrorNsupFmt;
            return read;
        }
        read.toLineFeed = conversion.code == 'T';
        read.status = kViSuccess;
        return read;
    }
    read.status = unsupportedOrInvalid(conversion.code);
    return read;
}

std::size_t readLength(const ReadFormat& format, const std::string& reply) {
    if (!format.toLineFeed) return reply.size();
    const std::size_t lineFeed = reply.find('\n');
    return lineFeed == std::string::npos ? reply.size() : lineFeed + 1;
}

std::size_t storeReply(const std::string& text, va_list args) {
    char* buffer = va_arg(args, char*);
    const std::size_t stored = std::min(kUnboundedReadLimit, text.size());
    if (buffer != nullptr) {
        std::memcpy(buffer, text.data(), stored);
        buffer[stored] = '\0';
    }
    return text.size() - stored;
}

}  // namespace quillon::sim
