// SPDX-License-Identifier: MIT
#include "resource_name.h"

#include <array>
#include <optional>
#include <vector>

#include "scpi.h"

namespace quillon::sim {
namespace {

using instrument::kViErrorInvRsrcName;
using instrument::kViErrorRsrcNotFound;
using instrument::kViSuccess;

std::vector<std::string> splitAtDoubleColons(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colons = text.find("::", start);
        parts.push_back(text.substr(start, colons - start));
        if (colons == std::string::npos) return parts;
        start = colons + 2;
    }
}

// Decimal digits only, up to limit.
std::optional<std::uint16_t> number(const std::string& text, unsigned limit) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const unsigned long value = std::stoul(text);
    if (value > limit) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

// GPIB addresses, primary and secondary alike, run from 0 to 30.
constexpr unsigned kMaxGpibAddress = 30;
constexpr unsigned kMaxBoard = 999;

bool otherInterface(const std::string& upper) {
    constexpr std::array<std::string_view, 6> kKinds{"ASRL", "TCPIP",    "USB",
                                                     "VXI",  "GPIB-VXI", "PXI"};
    for (std::string_view kind : kKinds) {
        if (upper.rfind(kind, 0) == 0) return true;
    }
    return false;
}

}  // namespace

std::string ResourceName::expanded() const {
    std::string text = "GPIB" + std::to_string(board) + "::" + std::to_string(primary);
    if (secondary != instrument::kViNoSecAddr) text += "::" + std::to_string(secondary);
    return text + "::INSTR";
}

instrument::ViStatus parseResourceName(std::string_view text, ResourceName& name) {
    const std::string upper = upperCase(trim(text));
    if (upper.rfind("GPIB-VXI", 0) == 0) return kViErrorRsrcNotFound;
    if (upper.rfind("GPIB", 0) != 0) {
        return otherInterface(upper) ? kViErrorRsrcNotFound : kViErrorInvRsrcName;
    }
    std::vector<std::string> parts = splitAtDoubleColons(upper.substr(4));
    if (parts.size() > 1 && parts.back() == "INSTR") parts.pop_back();
    if (parts.size() < 2 || parts.size() > 3) return kViErrorInvRsrcName;
    ResourceName parsed;
    if (!parts[0].empty()) {
        const auto board = number(parts[0], kMaxBoard);
        if (!board) return kViErrorInvRsrcName;
        parsed.board = *board;
    }
    const auto primary = number(parts[1], kMaxGpibAddress);
    if (!primary) return kViErrorInvRsrcName;
    parsed.primary = *primary;
    if (parts.size() == 3) {
        const auto secondary = number(parts[2], kMaxGpibAddress);
        if (!secondary) return kViErrorInvRsrcName;
        parsed.secondary = *secondary;
    }
    name = parsed;
    return kViSuccess;
}

}  // namespace quillon::sim
