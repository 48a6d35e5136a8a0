// SPDX-License-Identifier: MIT
#include "bus.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <utility>

#include "format.h"
#include "other_instruments.h"
#include "resource_name.h"
#include "scpi.h"
#include "test_set.h"

namespace quillon::sim {
namespace {

namespace visa = instrument;
using instrument::kViErrorInvObject;
using instrument::kViErrorNsupAttr;
using instrument::kViErrorRsrcNotFound;
using instrument::kViErrorTimeout;
using instrument::kViSuccess;
using instrument::ViStatus;
using instrument::ViUInt16;
using instrument::ViUInt32;

// Handlers are not offered; events can only be queued (and none ever is).
constexpr ViStatus kViErrorNsupMech = static_cast<ViStatus>(0xBFFF00A4u);

template <typename T>
void store(void* target, T value) {
    if (target != nullptr) std::memcpy(target, &value, sizeof value);
}

bool knownEvent(ViUInt32 event) {
    return event == visa::kViEventServiceReq || event == visa::kViEventIoCompletion;
}

// Disabling and discarding take any known event or all of them, and any mechanism or all.
ViStatus eventArguments(ViUInt32 event, ViUInt16 mechanism) {
    if (!knownEvent(event) && event != visa::kViAllEnabledEvents) return visa::kViErrorInvEvent;
    if (mechanism != visa::kViQueue && mechanism != visa::kViHndlr &&
        mechanism != visa::kViSuspendHndlr && mechanism != visa::kViAllMech) {
        return visa::kViErrorInvMech;
    }
    return kViSuccess;
}

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

const Bus::Session* Bus::sessionOf(ViSession vi) const {
    const auto it = sessions_.find(vi);
    return it == sessions_.end() ? nullptr : &it->second;
}

ViStatus Bus::usable(ViSession vi, Session*& session) {
    const auto it = sessions_.find(vi);
    if (it == sessions_.end()) return kViErrorInvObject;
    for (const auto& [handle, other] : sessions_) {
        if (handle != vi && other.device == it->second.device && other.exclusiveLocks > 0) {
            return visa::kViErrorRsrcLocked;
        }
    }
    session = &it->second;
    return kViSuccess;
}

// A silent instrument keeps the reader waiting for the profile's time, cut short by the
// session's time-out value as a library's would be.
ViStatus Bus::timedOut(const Session& session) const {
    const auto wait = std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max(timeoutMs_, 0)),
                                              session.timeoutMs);
    if (wait > 0) std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    return kViErrorTimeout;
}

ViStatus Bus::findResources(ViSession rm, const char* expression, instrument::ViFindList* list,
                            ViUInt32* count, char* descriptor) {
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
    if (count != nullptr) *count = static_cast<ViUInt32>(found.descriptors.size());
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

// A simulated instrument uses no secondary address; like many real ones it also answers when
// addressed with secondary address 0.
ViStatus Bus::open(ViSession rm, const char* name, ViSession* vi) {
    if (vi != nullptr) *vi = 0;
    if (rm != kResourceManagerSession) return kViErrorInvObject;
    ResourceName parsed;
    if (name == nullptr) return visa::kViErrorInvRsrcName;
    if (const ViStatus status = parseResourceName(name, parsed); status != kViSuccess) {
        return status;
    }
    if (parsed.secondary != visa::kViNoSecAddr && parsed.secondary != 0) {
        return kViErrorRsrcNotFound;
    }
    for (const auto& device : instruments_) {
        if (device->board() == parsed.board && device->primary() == parsed.primary) {
            const ViSession handle = nextHandle_++;
            Session session;
            session.device = device.get();
            session.resource = parsed.expanded();
            session.secondary = parsed.secondary;
            sessions_[handle] = session;
            if (vi != nullptr) *vi = handle;
            return kViSuccess;
        }
    }
    return kViErrorRsrcNotFound;
}

ViStatus Bus::close(ViSession vi) {
    if (vi == kResourceManagerSession) {
        sessions_.clear();
        findLists_.clear();
        return kViSuccess;
    }
    if (sessions_.erase(vi) != 0 || findLists_.erase(vi) != 0) return kViSuccess;
    return kViErrorInvObject;
}

ViStatus Bus::getAttribute(ViSession vi, instrument::ViAttr attribute, void* value) const {
    const Session* session = sessionOf(vi);
    if (session == nullptr)
        return vi == kResourceManagerSession ? kViErrorNsupAttr : kViErrorInvObject;
    const Instrument& device = *session->device;
    switch (attribute) {
        case visa::kViAttrIntfType:
            store<ViUInt16>(value, visa::kViIntfGpib);
            return kViSuccess;
        case visa::kViAttrIntfNum:
            store<ViUInt16>(value, device.board());
            return kViSuccess;
        case visa::kViAttrGpibPrimaryAddr:
            store<ViUInt16>(value, device.primary());
            return kViSuccess;
        case visa::kViAttrGpibSecondaryAddr:
            store<ViUInt16>(value, session->secondary);
            return kViSuccess;
        case visa::kViAttrTmoValue:
            store<ViUInt32>(value, session->timeoutMs);
            return kViSuccess;
        case visa::kViAttrTermChar:
            store<std::uint8_t>(value, session->termChar);
            return kViSuccess;
        case visa::kViAttrTermCharEn:
            store<ViUInt16>(value, session->termCharEnabled ? 1 : 0);
            return kViSuccess;
        case visa::kViAttrSendEndEn:
            store<ViUInt16>(value, session->sendEnd ? 1 : 0);
            return kViSuccess;
        case visa::kViAttrRsrcName:
            copyToCallerBuffer(session->resource, static_cast<char*>(value));
            return kViSuccess;
        case visa::kViAttrRsrcClass:
            copyToCallerBuffer("INSTR", static_cast<char*>(value));
            return kViSuccess;
        default:
            return kViErrorNsupAttr;
    }
}

ViStatus Bus::setAttribute(ViSession vi, instrument::ViAttr attribute, std::uint64_t value) {
    const auto it = sessions_.find(vi);
    if (it == sessions_.end()) {
        return vi == kResourceManagerSession ? kViErrorNsupAttr : kViErrorInvObject;
    }
    Session& session = it->second;
    const bool flag = value <= 1;
    switch (attribute) {
        case visa::kViAttrTmoValue:
            if (value > visa::kViTmoInfinite) return visa::kViErrorNsupAttrState;
            session.timeoutMs = static_cast<ViUInt32>(value);
            return kViSuccess;
        case visa::kViAttrTermChar:
            if (value > 0xFF) return visa::kViErrorNsupAttrState;
            session.termChar = static_cast<unsigned char>(value);
            return kViSuccess;
        case visa::kViAttrTermCharEn:
            if (!flag) return visa::kViErrorNsupAttrState;
            session.termCharEnabled = value == 1;
            return kViSuccess;
        case visa::kViAttrSendEndEn:
            if (!flag) return visa::kViErrorNsupAttrState;
            session.sendEnd = value == 1;
            return kViSuccess;
        case visa::kViAttrIntfType:
        case visa::kViAttrIntfNum:
        case visa::kViAttrGpibPrimaryAddr:
        case visa::kViAttrGpibSecondaryAddr:
        case visa::kViAttrRsrcName:
        case visa::kViAttrRsrcClass:
            return visa::kViErrorAttrReadonly;
        default:
            return kViErrorNsupAttr;
    }
}

// A new message while part of a reply is still unread interrupts that reply, as on a real bus.
ViStatus Bus::send(Session& session, const std::string& text) {
    if (!session.unread.empty()) {
        session.unread.clear();
        session.device->replyCut();
    }
    const ViStatus status = session.device->write(text);
    return status == kViErrorTimeout ? timedOut(session) : status;
}

ViStatus Bus::fetchReply(Session& session) {
    if (!session.unread.empty()) return kViSuccess;
    std::optional<std::string> reply = session.device->read();
    if (!reply) return timedOut(session);
    session.unread = std::move(*reply);
    return kViSuccess;
}

ViStatus Bus::write(ViSession vi, const unsigned char* buffer, ViUInt32 count, ViUInt32* written) {
    if (written != nullptr) *written = 0;
    Session* session = nullptr;
    if (const ViStatus status = usable(vi, session); status != kViSuccess) return status;
    if (buffer == nullptr && count > 0) return visa::kViErrorUserBuf;
    const ViStatus status =
        send(*session, std::string(reinterpret_cast<const char*>(buffer), count));
    if (written != nullptr && status >= 0) *written = count;
    return status;
}

ViStatus Bus::read(ViSession vi, unsigned char* buffer, ViUInt32 count, ViUInt32* received) {
    if (received != nullptr) *received = 0;
    Session* session = nullptr;
    if (const ViStatus status = usable(vi, session); status != kViSuccess) return status;
    if (buffer == nullptr && count > 0) return visa::kViErrorUserBuf;
    if (const ViStatus status = fetchReply(*session); status != kViSuccess) return status;
    std::string& pending = session->unread;
    std::size_t length = pending.size();
    ViStatus status = kViSuccess;  // the END indicator came with the last byte
    if (session->termCharEnabled) {
        const std::size_t at = pending.find(static_cast<char>(session->termChar));
        if (at != std::string::npos) {
            length = at + 1;
            status = visa::kViSuccessTermChar;
        }
    }
    if (count < length) {
        length = count;
        status = visa::kViSuccessMaxCnt;
    }
    if (length > 0) std::memcpy(buffer, pending.data(), length);
    pending.erase(0, length);
    if (received != nullptr) *received = static_cast<ViUInt32>(length);
    return status;
}

ViStatus Bus::print(ViSession vi, const char* writeFormat) {
    Session* session = nullptr;
    if (const ViStatus status = usable(vi, session); status != kViSuccess) return status;
    std::string text;
    if (const ViStatus status = writeFormatText(writeFormat, text); status != kViSuccess) {
        return status;
    }
    return send(*session, text);
}

ViStatus Bus::scan(ViSession vi, const char* readFormat, va_list args) {
    Session* session = nullptr;
    if (const ViStatus status = usable(vi, session); status != kViSuccess) return status;
    const ReadFormat format = parseReadFormat(readFormat);
    if (format.status != kViSuccess) return format.status;
    if (const ViStatus status = fetchReply(*session); status != kViSuccess) return status;
    const std::size_t length = readLength(format, session->unread);
    const std::string text = session->unread.substr(0, length);
    session->unread.erase(0, length);
    if (storeReply(text, args) > 0) session->device->replyCut();
    return kViSuccess;
}

ViStatus Bus::query(ViSession vi, const char* writeFormat, const char* readFormat, va_list args) {
    Session* session = nullptr;
    if (const ViStatus status = usable(vi, session); status != kViSuccess) return status;
    // Both formats are checked before anything reaches the instrument.
    if (const ReadFormat format = parseReadFormat(readFormat); format.status != kViSuccess) {
        return format.status;
    }
    const ViStatus written = print(vi, writeFormat);
    if (written < 0) return written;
    const ViStatus status = scan(vi, readFormat, args);
    return status != kViSuccess ? status : written;
}

ViStatus Bus::clear(ViSession vi) {
    Session* session = nullptr;
    if (const ViStatus status = usable(vi, session); status != kViSuccess) return status;
    session->unread.clear();
    session->device->clear();
    return kViSuccess;
}

ViStatus Bus::readStatusByte(ViSession vi, ViUInt16* statusByte) {
    Session* session = nullptr;
    if (const ViStatus status = usable(vi, session); status != kViSuccess) return status;
    if (statusByte == nullptr) return visa::kViErrorUserBuf;
    ViUInt16 value = session->device->statusByte();
    if (!session->unread.empty()) value |= Instrument::kMessageAvailable;
    *statusByte = value;
    return kViSuccess;
}

ViStatus Bus::enableEvent(ViSession vi, ViUInt32 event, ViUInt16 mechanism) {
    const auto it = sessions_.find(vi);
    if (it == sessions_.end()) return kViErrorInvObject;
    if (!knownEvent(event)) return visa::kViErrorInvEvent;
    if (mechanism == visa::kViHndlr || mechanism == visa::kViSuspendHndlr) return kViErrorNsupMech;
    if (mechanism != visa::kViQueue) return visa::kViErrorInvMech;
    return it->second.events.insert(event).second ? kViSuccess : visa::kViSuccessEventEn;
}

ViStatus Bus::disableEvent(ViSession vi, ViUInt32 event, ViUInt16 mechanism) {
    const auto it = sessions_.find(vi);
    if (it == sessions_.end()) return kViErrorInvObject;
    if (const ViStatus status = eventArguments(event, mechanism); status != kViSuccess) {
        return status;
    }
    std::set<ViUInt32>& events = it->second.events;
    const std::size_t removed =
        event == visa::kViAllEnabledEvents ? std::exchange(events, {}).size() : events.erase(event);
    return removed > 0 ? kViSuccess : visa::kViSuccessEventDis;
}

ViStatus Bus::discardEvents(ViSession vi, ViUInt32 event, ViUInt16 mechanism) {
    const auto it = sessions_.find(vi);
    if (it == sessions_.end()) return kViErrorInvObject;
    if (const ViStatus status = eventArguments(event, mechanism); status != kViSuccess) {
        return status;
    }
    return visa::kViSuccessQueueEmpty;
}

ViStatus Bus::lock(ViSession vi, ViUInt32 lockType, const char* requestedKey, char* accessKey) {
    const auto it = sessions_.find(vi);
    if (it == sessions_.end()) return kViErrorInvObject;
    if (lockType != visa::kViExclusiveLock && lockType != visa::kViSharedLock) {
        return visa::kViErrorInvLockType;
    }
    Session& session = it->second;
    for (const auto& [handle, other] : sessions_) {
        if (handle == vi || other.device != session.device) continue;
        const bool conflict = other.exclusiveLocks > 0 ||
                              (lockType == visa::kViExclusiveLock && other.sharedLocks > 0);
        // Nobody else runs while this caller waits, so waiting would only delay the answer.
        if (conflict) return visa::kViErrorRsrcLocked;
    }
    if (lockType == visa::kViExclusiveLock) {
        return ++session.exclusiveLocks > 1 ? visa::kViSuccessNestedExclusive : kViSuccess;
    }
    const std::string key =
        requestedKey != nullptr && *requestedKey != '\0' ? requestedKey : "quillon-sim-shared";
    copyToCallerBuffer(key, accessKey);
    return ++session.sharedLocks > 1 ? visa::kViSuccessNestedShared : kViSuccess;
}

ViStatus Bus::unlock(ViSession vi) {
    const auto it = sessions_.find(vi);
    if (it == sessions_.end()) return kViErrorInvObject;
    Session& session = it->second;
    if (session.exclusiveLocks > 0) {
        --session.exclusiveLocks;
    } else if (session.sharedLocks > 0) {
        --session.sharedLocks;
    } else {
        return visa::kViErrorSesnNlocked;
    }
    return kViSuccess;
}

}  // namespace quillon::sim
