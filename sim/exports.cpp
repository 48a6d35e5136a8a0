// SPDX-License-Identifier: MIT
// The VISA entry points of the simulated library. Each resource manager opened starts a fresh
// bus from the profile selected at that moment; all calls are serialised by one lock and no
// exception crosses into the caller.
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <variant>

#include "bus.h"
#include "instrument/visa_types.h"
#include "profile.h"

#ifdef _WIN32
// Exported by quillon-sim-visa.def, under the plain names in 32-bit builds too.
#define QUILLON_SIM_EXPORT
#else
#define QUILLON_SIM_EXPORT __attribute__((visibility("default")))
#endif

using quillon::instrument::ViAttr;
using quillon::instrument::ViFindList;
using quillon::instrument::ViSession;
using quillon::instrument::ViStatus;
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
    {quillon::sim::kViWarnUnknownStatus, "The operation completed with an unexplained warning."},
    {vi::kViErrorSystemError, "Unknown system error."},
    {vi::kViErrorInvObject, "The session or object reference is not valid."},
    {vi::kViErrorRsrcNotFound, "No resource matches or the resource is not present."},
    {vi::kViErrorTimeout, "The timeout expired before the operation completed."},
    {vi::kViErrorNsupAttr, "The attribute is not supported by this session."},
    {vi::kViErrorInvFmt, "A format specifier in the format string is not valid."},
    {vi::kViErrorIo, "The operation failed because of an I/O error."},
};

std::string statusText(ViStatus status) {
    for (const StatusText& entry : kStatusTexts) {
        if (entry.status == status) return entry.text;
    }
    return "Unknown status code.";
}

void traceMessage(Library& lib, char kind, const char* text) {
    if (!lib.trace || text == nullptr) return;
    std::string line(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    *lib.trace << kind << ' ' << line << '\n';
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

ViStatus openResourceManager(ViSession* session) {
    Library& lib = library();
    std::lock_guard lock(lib.mutex);
    if (session != nullptr) *session = 0;
    lib.bus.reset();
    lib.profileError.clear();
    lib.trace.reset();
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

}  // namespace

extern "C" {

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viOpenDefaultRM(ViSession* session) {
    return openResourceManager(session);
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viStatusDesc(ViSession, ViStatus status,
                                                           char* description) {
    if (description == nullptr) return vi::kViSuccess;
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
    return onBus([&](quillon::sim::Bus& bus) {
        return bus.findResources(session, expression, list, count, descriptor);
    });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viFindNext(ViFindList list, char* descriptor) {
    return onBus([&](quillon::sim::Bus& bus) { return bus.findNext(list, descriptor); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viOpen(ViSession session, const char* name, ViUInt32,
                                                     ViUInt32, ViSession* opened) {
    return onBus([&](quillon::sim::Bus& bus) { return bus.open(session, name, opened); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viGetAttribute(ViSession session, ViAttr attribute,
                                                             void* value) {
    return onBus(
        [&](quillon::sim::Bus& bus) { return bus.getAttribute(session, attribute, value); });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viClose(ViSession session) {
    return onBus([&](quillon::sim::Bus& bus) { return bus.close(session); });
}

// Commands carry no arguments, so the argument list is never read.
QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viVPrintf(ViSession session, const char* format,
                                                        va_list) {
    return onBus([&](quillon::sim::Bus& bus) {
        traceMessage(library(), 'W', format);
        return bus.print(session, format);
    });
}

QUILLON_SIM_EXPORT ViStatus QUILLON_VISA_CALL viVQueryf(ViSession session, const char* writeFormat,
                                                        const char* readFormat, va_list args) {
    return onBus([&](quillon::sim::Bus& bus) {
        traceMessage(library(), 'Q', writeFormat);
        return bus.query(session, writeFormat, readFormat, args);
    });
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
static_assert(std::is_same_v<decltype(&viVQueryf), quillon_viVQueryf_t>);
