// SPDX-License-Identifier: MIT
// The VISA entry points of the simulated library, every one of them in this file. Each
// resource manager opened starts a fresh bus from the profile selected at that moment; all
// calls are serialised by one lock and no exception crosses into the caller. Functions a VISA
// client may bind but the simulated bus does not offer answer VI_ERROR_NSUP_OPER.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "bus.h"
#include "instrument/visa_types.h"
#include "profile.h"
#include "replay.h"
#include "resource_name.h"
#include "scpi.h"

#ifdef _WIN32
// Exported by quillon-sim-visa.def, under the plain names in 32-bit builds too.
#define QUILLON_SIM_EXPORT
#else
#define QUILLON_SIM_EXPORT __attribute__((visibility("default")))
#endif

using quillon::instrument::ViAttr;
using quillon::instrument::ViAttrState;
using quillon::instrument::ViFindList;
using quillon::instrument::ViSession;
using quillon::instrument::ViStatus;
using quillon::instrument::ViUInt16;
using quillon::instrument::ViUInt32;

namespace {

namespace vi = quillon::instrument;

struct Library {
    std::mutex mutex;
    std::unique_ptr<quillon::sim::Bus> bus;
    std::string profileError;
    // QUILLON_SIM_TRACE=FILE: every message written to an instrument, one line each ("W " for a
    // command, "Q " for a query), so a run's bus traffic can be read and counted afterwards.
    std::unique_ptr<std::ofstream> trace;
    // QUILLON_SIM_REPLAY=FILE: the answers come from a recorded trace instead of a bus.
    std::optional<quillon::sim::Replay> replay;
};

Library& library() {
    static Library instance;
    return instance;
}

struct StatusText {
    ViStatus status;
    const char* text;
};
constexpr StatusText kStatusTexts[] = {
    {vi::kViSuccess, "The operation completed successfully."},
    {vi::kViSuccessMaxCnt, "The read stopped because the buffer was full."},
    {vi::kViSuccessTermChar, "The read stopped at the termination character."},
    {vi::kViSuccessEventEn, "The event was already enabled."},
    {vi::kViSuccessEventDis, "The event was already disabled."},
    {vi::kViSuccessQueueEmpty, "The event queue was already empty."},
    {vi::kViSuccessNestedExclusive, "The exclusive lock is now nested."},
    {vi::kViSuccessNestedShared, "The shared lock is now nested."},
    {quillon::sim::kViWarnUnknownStatus, "The operation completed with an unexplained warning."},
    {vi::kViErrorSystemError, "Unknown system error."},
    {vi::kViErrorInvObject, "The session or object reference is not valid."},
    {vi::kViErrorRsrcLocked, "The resource is locked by another session."},
    {vi::kViErrorRsrcNotFound, "No resource matches or the resource is not present."},
    {vi::kViErrorInvRsrcName, "The resource name is not valid."},
    {vi::kViErrorTimeout, "The timeout expired before the operation completed."},
    {vi::kViErrorNsupAttr, "The attribute is not supported by this session."},
    {vi::kViErrorNsupAttrState, "The attribute value is not supported."},
    {vi::kViErrorAttrReadonly, "The attribute is read-only."},
    {vi::kViErrorInvLockType, "The lock type is not valid."},
    {vi::kViErrorInvEvent, "The event type is not valid."},
    {vi::kViErrorInvMech, "The event mechanism is not valid."},
    {vi::kViErrorInvFmt, "A format specifier in the format string is not valid."},
    {vi::kViErrorNsupFmt, "A format specifier in the format string is not supported."},
    {vi::kViErrorIo, "The operation failed because of an I/O error."},
    {vi::kViErrorUserBuf, "A buffer given is not valid."},
    {vi::kViErrorNsupOper, "The operation is not supported by this session."},
    {vi::kViErrorSesnNlocked, "The session holds no lock."},
};

std::string statusText(ViStatus status) {
    for (const StatusText& entry : kStatusTexts) {
        if (entry.status == status) return entry.text;
    }
    return "Unknown status code.";
}

void traceMessage(Library& lib, std::string text) {
    if (!lib.trace) return;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const auto message = quillon::sim::splitMessage(text);
    // Flushed line by line: a program that ends at once (Exit, a signal) keeps its trace.
    *lib.trace << (message && message->query ? 'Q' : 'W') << ' ' << text << '\n' << std::flush;
}

template <typename Call>
ViStatus onBus(Call call) {
    Library& lib = library();
    std::lock_guard lock(lib.mutex);
    if (!lib.bus) return vi::kViErrorInvObject;
    try {
        return call(*lib.bus);
    } catch (const std::exception&) {
        return vi::kViErrorSystemError;
    }
}

namespace trace = quillon::instrument::trace;

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::uint32_t numberField(const trace::Line& line, const char* key) {
    const auto it = line.fields.find(key);
    if (it == line.fields.end()) return 0;
    return static_cast<std::uint32_t>(trace::detail::number(it->second).value_or(0));
}

std::string textField(const trace::Line& line, const char* key) {
    const auto it = line.fields.find(key);
    return it == line.fields.end() ? std::string() : it->second;
}

// While replaying: the recorded status with the outputs filled in by fill (an error once the
// traffic has departed from the recording); without a replay, nothing, and the bus answers.
template <typename Fill>
std::optional<ViStatus> replayed(const char* function, ViSession session,
                                 const quillon::sim::Replay::Inputs& inputs, Fill fill) {
    Library& lib = library();
    std::lock_guard lock(lib.mutex);
    if (!lib.replay) return std::nullopt;
    const trace::Line* line = lib.replay->next(function, session, inputs);
    if (line == nullptr) return vi::kViErrorSystemError;
    fill(*line);
    return line->status;
}

ViStatus openReplay(Library& lib, const char* path, ViSession* session) {
    auto loaded = quillon::sim::Replay::load(path);
    if (auto* error = std::get_if<std::string>(&loaded)) {
        lib.profileError = *error;
        return vi::kViErrorSystemError;
    }
    lib.replay = std::move(std::get<quillon::sim::Replay>(loaded));
    const trace::Line* line = lib.replay->next("viOpenDefaultRM", 0, {});
    if (line == nullptr) return vi::kViErrorSystemError;
    if (session != nullptr) *session = numberField(*line, "rm");
    return line->status;
}

ViStatus openResourceManager(ViSession* session) {
    Library& lib = library();
    std::lock_guard lock(lib.mutex);
    if (session != nullptr) *session = 0;
    lib.bus.reset();
    lib.profileError.clear();
    lib.trace.reset();
    lib.replay.reset();
    if (const char* replayPath = std::getenv("QUILLON_SIM_REPLAY"); replayPath && *replayPath) {
        return openReplay(lib, replayPath, session);
    }
    if (const char* tracePath = std::getenv("QUILLON_SIM_TRACE"); tracePath && *tracePath) {
        lib.trace = std::make_unique<std::ofstream>(tracePath, std::ios::app);
    }
    const std::string path = quillon::sim::selectedProfilePath();
    try {
        auto loaded = quillon::sim::loadProfile(path);
        if (auto* error = std::get_if<std::string>(&loaded)) {
            lib.profileError = *error;
            return vi::kViErrorSystemError;
        }
        lib.bus = std::make_unique<quillon::sim::Bus>(std::get<quillon::sim::Profile>(loaded));
    } catch (const std::exception& error) {
        lib.profileError = "Simulator profile " + std::filesystem::path(path).filename().string() +
                           " is not valid: " + error.what();
        return vi::kViErrorSystemError;
    }
    if (session != nullptr) *session = quillon::sim::kResourceManagerSession;
    return vi::kViSuccess;
}

ViStatus parseResource(ViSession rm, const char* name, ViUInt16* type, ViUInt16* board,
                       quillon::sim::ResourceName& parsed) {
    return onBus([&](quillon::sim::Bus&) {
        if (rm != quillon::sim::kResourceManagerSession) return vi::kViErrorInvObject;
        if (name == nullptr) return vi::kViErrorInvRsrcName;
        const ViStatus status = quillon::sim::parseResourceName(name, parsed);
        if (status != vi::kViSuccess) return status;
        if (type != nullptr) *type = vi::kViIntfGpib;
        if (board != nullptr) *board = parsed.board;
        return vi::kViSuccess;
    });
}

}  // namespace

extern "C" {

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viOpenDefaultRM(ViSession* session) {
    return openResourceManager(session);
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viStatusDesc(ViSession session, ViStatus status,
                                                           char* description) {
    if (description == nullptr) return vi::kViErrorUserBuf;
    if (auto answer =
            replayed("viStatusDesc", session, {{"status", hex(static_cast<std::uint32_t>(status))}},
                     [&](const trace::Line& line) {
                         quillon::sim::copyToCallerBuffer(textField(line, "desc"), description);
                     })) {
        return *answer;
    }
    Library& lib = library();
    std::lock_guard lock(lib.mutex);
    const std::string text = status == vi::kViErrorSystemError && !lib.profileError.empty()
                                 ? lib.profileError
                                 : statusText(status);
    quillon::sim::copyToCallerBuffer(text, description);
    return vi::kViSuccess;
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viFindRsrc(ViSession session, const char* expression,
                                                         ViFindList* list, ViUInt32* count,
                                                         char* descriptor) {
    if (auto answer = replayed("viFindRsrc", session, {{"expr", expression ? expression : ""}},
                               [&](const trace::Line& line) {
                                   if (list != nullptr) *list = numberField(line, "list");
                                   if (count != nullptr) *count = numberField(line, "count");
                                   quillon::sim::copyToCallerBuffer(textField(line, "desc"),
                                                                    descriptor);
                               })) {
        return *answer;
    }
    return onBus([&](quillon::sim::Bus& bus) {
        return bus.findResources(session, expression, list, count, descriptor);
    });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viFindNext(ViFindList list, char* descriptor) {
    if (auto answer = replayed("viFindNext", list, {}, [&](const trace::Line& line) {
            quillon::sim::copyToCallerBuffer(textField(line, "desc"), descriptor);
        })) {
        return *answer;
    }
    return onBus([&](quillon::sim::Bus& bus) { return bus.findNext(list, descriptor); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viParseRsrc(ViSession session, const char* name,
                                                          ViUInt16* interfaceType,
                                                          ViUInt16* interfaceNumber) {
    quillon::sim::ResourceName parsed;
    return parseResource(session, name, interfaceType, interfaceNumber, parsed);
}

// The class, the expanded name and the alias each go into a buffer of 256 characters.
QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viParseRsrcEx(ViSession session, const char* name,
                                                            ViUInt16* interfaceType,
                                                            ViUInt16* interfaceNumber,
                                                            char* resourceClass, char* expandedName,
                                                            char* alias) {
    quillon::sim::ResourceName parsed;
    const ViStatus status = parseResource(session, name, interfaceType, interfaceNumber, parsed);
    if (status != vi::kViSuccess) return status;
    quillon::sim::copyToCallerBuffer("INSTR", resourceClass);
    quillon::sim::copyToCallerBuffer(parsed.expanded(), expandedName);
    quillon::sim::copyToCallerBuffer("", alias);
    return status;
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viOpen(ViSession session, const char* name, ViUInt32,
                                                     ViUInt32, ViSession* opened) {
    if (auto answer =
            replayed("viOpen", session, {{"name", name ? name : ""}}, [&](const trace::Line& line) {
                if (opened != nullptr) *opened = numberField(line, "vi");
            })) {
        return *answer;
    }
    return onBus([&](quillon::sim::Bus& bus) { return bus.open(session, name, opened); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viClose(ViSession session) {
    if (auto answer = replayed("viClose", session, {}, [](const trace::Line&) {})) return *answer;
    return onBus([&](quillon::sim::Bus& bus) { return bus.close(session); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viGetAttribute(ViSession session, ViAttr attribute,
                                                             void* value) {
    if (auto answer = replayed(
            "viGetAttribute", session, {{"attr", hex(attribute)}}, [&](const trace::Line& line) {
                if (value == nullptr || line.fields.count("value") == 0) return;
                const auto got = static_cast<ViUInt16>(numberField(line, "value"));
                std::memcpy(value, &got, sizeof got);
            })) {
        return *answer;
    }
    return onBus(
        [&](quillon::sim::Bus& bus) { return bus.getAttribute(session, attribute, value); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viSetAttribute(ViSession session, ViAttr attribute,
                                                             ViAttrState value) {
    return onBus(
        [&](quillon::sim::Bus& bus) { return bus.setAttribute(session, attribute, value); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viWrite(ViSession session,
                                                      const unsigned char* buffer, ViUInt32 count,
                                                      ViUInt32* written) {
    return onBus([&](quillon::sim::Bus& bus) {
        if (buffer != nullptr) {
            traceMessage(library(), std::string(reinterpret_cast<const char*>(buffer), count));
        }
        return bus.write(session, buffer, count, written);
    });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viRead(ViSession session, unsigned char* buffer,
                                                     ViUInt32 count, ViUInt32* received) {
    if (auto answer = replayed("viRead", session, {{"count", std::to_string(count)}},
                               [&](const trace::Line& line) {
                                   const std::string reply = textField(line, "reply");
                                   const std::size_t n = std::min<std::size_t>(reply.size(), count);
                                   if (buffer != nullptr) std::memcpy(buffer, reply.data(), n);
                                   if (received != nullptr) *received = static_cast<ViUInt32>(n);
                               })) {
        return *answer;
    }
    return onBus(
        [&](quillon::sim::Bus& bus) { return bus.read(session, buffer, count, received); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viClear(ViSession session) {
    return onBus([&](quillon::sim::Bus& bus) { return bus.clear(session); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viReadSTB(ViSession session, ViUInt16* statusByte) {
    return onBus([&](quillon::sim::Bus& bus) { return bus.readStatusByte(session, statusByte); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viEnableEvent(ViSession session, ViUInt32 event,
                                                            ViUInt16 mechanism, ViUInt32) {
    return onBus(
        [&](quillon::sim::Bus& bus) { return bus.enableEvent(session, event, mechanism); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viDisableEvent(ViSession session, ViUInt32 event,
                                                             ViUInt16 mechanism) {
    return onBus(
        [&](quillon::sim::Bus& bus) { return bus.disableEvent(session, event, mechanism); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viDiscardEvents(ViSession session, ViUInt32 event,
                                                              ViUInt16 mechanism) {
    return onBus(
        [&](quillon::sim::Bus& bus) { return bus.discardEvents(session, event, mechanism); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viLock(ViSession session, ViUInt32 lockType, ViUInt32,
                                                     const char* requestedKey, char* accessKey) {
    return onBus([&](quillon::sim::Bus& bus) {
        return bus.lock(session, lockType, requestedKey, accessKey);
    });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viUnlock(ViSession session) {
    return onBus([&](quillon::sim::Bus& bus) { return bus.unlock(session); });
}

// Writes carry no arguments, so the argument list is never read.
QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viVPrintf(ViSession session, const char* format,
                                                        va_list) {
    if (auto answer = replayed("viVPrintf", session, {{"write", format ? format : ""}},
                               [](const trace::Line&) {})) {
        return *answer;
    }
    return onBus([&](quillon::sim::Bus& bus) {
        if (format != nullptr) traceMessage(library(), format);
        return bus.print(session, format);
    });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALLC viPrintf(ViSession session, const char* format,
                                                        ...) {
    va_list args;
    va_start(args, format);
    const ViStatus status = viVPrintf(session, format, args);
    va_end(args);
    return status;
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viVScanf(ViSession session, const char* format,
                                                       va_list args) {
    return onBus([&](quillon::sim::Bus& bus) { return bus.scan(session, format, args); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALLC viScanf(ViSession session, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const ViStatus status = viVScanf(session, format, args);
    va_end(args);
    return status;
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viVQueryf(ViSession session, const char* writeFormat,
                                                        const char* readFormat, va_list args) {
    return onBus([&](quillon::sim::Bus& bus) {
        if (writeFormat != nullptr) traceMessage(library(), writeFormat);
        return bus.query(session, writeFormat, readFormat, args);
    });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALLC viQueryf(ViSession session, const char* writeFormat,
                                                        const char* readFormat, ...) {
    va_list args;
    va_start(args, readFormat);
    const ViStatus status = viVQueryf(session, writeFormat, readFormat, args);
    va_end(args);
    return status;
}

// Operations a client may bind that this bus does not offer.
QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viFlush(ViSession, ViUInt16) {
    return vi::kViErrorNsupOper;
}
QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viSetBuf(ViSession, ViUInt16, ViUInt32) {
    return vi::kViErrorNsupOper;
}
QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viAssertTrigger(ViSession, ViUInt16) {
    return vi::kViErrorNsupOper;
}
QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viGpibControlREN(ViSession, ViUInt16) {
    return vi::kViErrorNsupOper;
}
QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viWaitOnEvent(ViSession, ViUInt32, ViUInt32,
                                                            ViUInt32*, ViUInt32*) {
    return vi::kViErrorNsupOper;
}
QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viReadAsync(ViSession, unsigned char*, ViUInt32,
                                                          ViUInt32*) {
    return vi::kViErrorNsupOper;
}
QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viWriteAsync(ViSession, const unsigned char*,
                                                           ViUInt32, ViUInt32*) {
    return vi::kViErrorNsupOper;
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&viOpenDefaultRM), quillon_viOpenDefaultRM_t>);
static_assert(std::is_same_v<decltype(&viStatusDesc), quillon_viStatusDesc_t>);
static_assert(std::is_same_v<decltype(&viFindRsrc), quillon_viFindRsrc_t>);
static_assert(std::is_same_v<decltype(&viFindNext), quillon_viFindNext_t>);
static_assert(std::is_same_v<decltype(&viOpen), quillon_viOpen_t>);
static_assert(std::is_same_v<decltype(&viGetAttribute), quillon_viGetAttribute_t>);
static_assert(std::is_same_v<decltype(&viClose), quillon_viClose_t>);
static_assert(std::is_same_v<decltype(&viVPrintf), quillon_viVPrintf_t>);
static_assert(std::is_same_v<decltype(&viRead), quillon_viRead_t>);
