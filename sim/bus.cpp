// SPDX-License-Identifier: MIT
#include "bus.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "format.h"
#include "other_instruments.h"
#include "scpi.h"
#include "test_set.h"

namespace quillon::sim {
namespace {

using instrument::kViErrorInvObject;
using instrument::kViErrorNsupAttr;
using instrument::kViErrorRsrcNotFound;
using instrument::kViErrorTimeout;
using instrument::kViSuccess;
using instrument::ViStatus;

std::unique_ptr<Instrument> build(const InstrumentProfile& entry, const Profile& profile,
                                  std::uint32_t seed) {
    switch (entry.kind) {
        case InstrumentKind::TestSet:
            return std::make_unique<TestSet>(entry, profile, seed);
        case InstrumentKind::Other:
            return std::make_unique<ForeignInstrument>(entry.board, entry.primary, entry.identity,
                                                       profile.errorQueueSize);
        case InstrumentKind::Silent:
            return std::make_unique<SilentInstrument>(entry.board, entry.primary);
    }
    throw std::invalid_argument("unknown instrument kind");
}

// One atom of an expression at position i: does it accept c, and where does it end?
bool atomAccepts(std::string_view expression, std::size_t i, char c, std::size_t& end) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (expression[i] == '?') {
        end = i + 1;
        return true;
    }
    if (expression[i] == '[') {
        std::size_t j = i + 1;
        const bool negate = j < expression.size() && expression[j] == '^';
        if (negate) ++j;
        bool found = false;
        for (; j < expression.size() && expression[j] != ']'; ++j) {
            const char low =
                static_cast<char>(std::toupper(static_cast<unsigned char>(expression[j])));
            char high = low;
            if (j + 2 < expression.size() && expression[j + 1] == '-' && expression[j + 2] != ']') {
                high =
                    static_cast<char>(std::toupper(static_cast<unsigned char>(expression[j + 2])));
                j += 2;
            }
            found = found || (upper >= low && upper <= high);
        }
        end = j + 1;
        return found != negate;
    }
    const std::size_t start = expression[i] == '\\' && i + 1 < expression.size() ? i + 1 : i;
    end = start + 1;
    return std::toupper(static_cast<unsigned char>(expression[start])) == upper;
}

bool matchFrom(std::string_view expression, std::size_t i, std::string_view text, std::size_t t) {
    if (i >= expression.size()) return t == text.size();
    std::size_t end = i;
    // Find where the atom ends even when the text is used up.
    atomAccepts(expression, i, t < text.size() ? text[t] : '\0', end);
    const bool repeated =
        end < expression.size() && (expression[end] == '*' || expression[end] == '+');
    if (!repeated) {
        return t < text.size() && atomAccepts(expression, i, text[t], end) &&
               matchFrom(expression, end, text, t + 1);
    }
    const std::size_t next = end + 1;
    const std::size_t minimum = expression[end] == '+' ? 1 : 0;
    std::size_t count = 0;
    std::size_t position = t;
    for (;;) {
        if (count >= minimum && matchFrom(expression, next, text, position)) return true;
        std::size_t ignored = 0;
        if (position >= text.size() || !atomAccepts(expression, i, text[position], ignored)) {
            return false;
        }
        ++position;
        ++count;
    }
}

// "GPIB0::14::INSTR", "gpib::14" -> board and primary address.
bool parseDescriptor(std::string_view name, unsigned& board, unsigned& primary) {
    std::string text = upperCase(trim(name));
    if (text.rfind("GPIB", 0) != 0) return false;
    if (text.size() > 7 && text.compare(text.size() - 7, 7, "::INSTR") == 0) {
        text.resize(text.size() - 7);
    }
    const std::size_t colons = text.find("::");
    if (colons == std::string::npos) return false;
    const std::string boardText = text.substr(4, colons - 4);
    const std::string primaryText = text.substr(colons + 2);
    auto digits = [](const std::string& s) {
        return !s.empty() && s.size() < 4 && s.find_first_not_of("0123456789") == std::string::npos;
    };
    if ((!boardText.empty() && !digits(boardText)) || !digits(primaryText)) return false;
    board = boardText.empty() ? 0 : static_cast<unsigned>(std::stoul(boardText));
    primary = static_cast<unsigned>(std::stoul(primaryText));
    return true;
}

// VISA resource expression matching, letter case ignored: '?' any character, '[...]' a set
// ('^' negates, '-' ranges), '*' and '+' repeat the atom before them.
bool matchesExpression(std::string_view expression, std::string_view text) {
    return matchFrom(expression, 0, text, 0);
}

// "GPIB0::14::INSTR" for an instrument.
std::string descriptorOf(const Instrument& device) {
    return "GPIB" + std::to_string(device.board()) + "::" + std::to_string(device.primary()) +
           "::INSTR";
}

}  // namespace

void copyToCallerBuffer(const std::string& text, char* buffer) {
    if (buffer == nullptr) return;
    const std::size_t length = std::min(text.size(), instrument::kDescriptorBufferSize - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

Bus::Bus(const Profile& profile) : timeoutMs_(profile.timeoutMs) {
    for (std::size_t i = 0; i < profile.instruments.size(); ++i) {
        instruments_.push_back(
            build(profile.instruments[i], profile, profile.seed + static_cast<std::uint32_t>(i)));
    }
}

Instrument* Bus::instrumentOf(instrument::ViSession vi) const {
    const auto it = sessions_.find(vi);
    return it == sessions_.end() ? nullptr : it->second;
}

ViStatus Bus::timedOut() const {
    if (timeoutMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs_));
    return kViErrorTimeout;
}

ViStatus Bus::findResources(instrument::ViSession rm, const char* expression,
                            instrument::ViFindList* list, instrument::ViUInt32* count,
                            char* descriptor) {
    if (rm != kResourceManagerSession) return kViErrorInvObject;
    if (count != nullptr) *count = 0;
    copyToCallerBuffer("", descriptor);
    FindList found;
    for (const auto& device : instruments_) {
        const std::string name = descriptorOf(*device);
        if (expression != nullptr && matchesExpression(expression, name)) {
            found.descriptors.push_back(name);
        }
    }
    if (found.descriptors.empty()) return kViErrorRsrcNotFound;
    const instrument::ViFindList handle = nextHandle_++;
    if (list != nullptr) *list = handle;
    if (count != nullptr) *count = static_cast<instrument::ViUInt32>(found.descriptors.size());
    copyToCallerBuffer(found.descriptors.front(), descriptor);
    found.next = 1;
    findLists_[handle] = std::move(found);
    return kViSuccess;
}

ViStatus Bus::findNext(instrument::ViFindList list, char* descriptor) {
    const auto it = findLists_.find(list);
    if (it == findLists_.end()) return kViErrorInvObject;
    FindList& found = it->second;
    if (found.next >= found.descriptors.size()) return kViErrorRsrcNotFound;
    copyToCallerBuffer(found.descriptors[found.next++], descriptor);
    return kViSuccess;
}

ViStatus Bus::open(instrument::ViSession rm, const char* name, instrument::ViSession* vi) {
    if (vi != nullptr) *vi = 0;
    if (rm != kResourceManagerSession) return kViErrorInvObject;
    unsigned board = 0;
    unsigned primary = 0;
    if (name == nullptr || !parseDescriptor(name, board, primary)) return kViErrorRsrcNotFound;
    for (const auto& device : instruments_) {
        if (device->board() == board && device->primary() == primary) {
            const instrument::ViSession handle = nextHandle_++;
            sessions_[handle] = device.get();
            if (vi != nullptr) *vi = handle;
            return kViSuccess;
        }
    }
    return kViErrorRsrcNotFound;
}

ViStatus Bus::getAttribute(instrument::ViSession vi, instrument::ViAttr attribute,
                           void* value) const {
    const Instrument* device = instrumentOf(vi);
    if (device == nullptr) return kViErrorInvObject;
    instrument::ViUInt16 answer = 0;
    switch (attribute) {
        case instrument::kViAttrIntfType:
            answer = instrument::kViIntfGpib;
            break;
        case instrument::kViAttrIntfNum:
            answer = device->board();
            break;
        case instrument::kViAttrGpibPrimaryAddr:
            answer = device->primary();
            break;
        default:
            return kViErrorNsupAttr;
    }
    if (value != nullptr) std::memcpy(value, &answer, sizeof answer);
    return kViSuccess;
}

ViStatus Bus::close(instrument::ViSession vi) {
    if (vi == kResourceManagerSession) {
        sessions_.clear();
        findLists_.clear();
        return kViSuccess;
    }
    if (sessions_.erase(vi) != 0 || findLists_.erase(vi) != 0) return kViSuccess;
    return kViErrorInvObject;
}

ViStatus Bus::send(Instrument& device, const char* writeFormat) {
    std::string text;
    const ViStatus formatStatus = writeFormatText(writeFormat, text);
    if (formatStatus != kViSuccess) return formatStatus;
    const ViStatus status = device.write(text);
    return status == kViErrorTimeout ? timedOut() : status;
}

ViStatus Bus::print(instrument::ViSession vi, const char* writeFormat) {
    Instrument* device = instrumentOf(vi);
    if (device == nullptr) return kViErrorInvObject;
    return send(*device, writeFormat);
}

ViStatus Bus::query(instrument::ViSession vi, const char* writeFormat, const char* readFormat,
                    va_list args) {
    Instrument* device = instrumentOf(vi);
    if (device == nullptr) return kViErrorInvObject;
    const ReadFormat format = parseReadFormat(readFormat);
    if (format.status != kViSuccess) return format.status;
    const ViStatus written = send(*device, writeFormat);
    if (written < 0) return written;
    const std::optional<std::string> reply = device->read();
    if (!reply) return timedOut();
    if (storeReply(format, *reply, args) > 0) device->replyCut();
    return written;
}

}  // namespace quillon::sim
