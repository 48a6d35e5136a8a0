// SPDX-License-Identifier: MIT
// Every entry point of the simulated library, called by name as any VISA client binds it: its
// ordinary path and one way it refuses.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "instrument/visa_types.h"
#include "sim_session.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace quillon::sim_test {
namespace {

namespace vi = instrument;
using vi::ViUInt16;
using vi::ViUInt32;
using Status = ViStatus;

void* entryAddress(const char* name) {
#ifdef _WIN32
    static const HMODULE handle = LoadLibraryA(QUILLON_SIM_LIBRARY);
    return reinterpret_cast<void*>(GetProcAddress(handle, name));
#else
    static void* const handle = dlopen(QUILLON_SIM_LIBRARY, RTLD_NOW);
    return dlsym(handle, name);
#endif
}

// An entry point looked up by its name at each call, as a client binds it; a missing one fails
// the test.
template <typename Signature>
struct Export;
template <typename... Args>
struct Export<Status(Args...)> {
    const char* name;
    Status operator()(Args... args) const {
        auto* address = reinterpret_cast<Status (*)(Args...)>(entryAddress(name));
        if (address == nullptr) ADD_FAILURE() << "no entry point " << name;
        return address == nullptr ? vi::kViErrorSystemError : address(args...);
    }
};
template <typename... Args>
struct Export<Status(Args..., ...)> {
    const char* name;
    template <typename... More>
    Status operator()(Args... args, More... more) const {
        auto* address = reinterpret_cast<Status (*)(Args..., ...)>(entryAddress(name));
        if (address == nullptr) ADD_FAILURE() << "no entry point " << name;
        return address == nullptr ? vi::kViErrorSystemError : address(args..., more...);
    }
};

using Rw = Status(ViSession, unsigned char*, ViUInt32, ViUInt32*);
const Export<Status(ViSession*)> viOpenDefaultRM{"viOpenDefaultRM"};
const Export<Status(ViSession, const char*, ViUInt32, ViUInt32, ViSession*)> viOpen{"viOpen"};
const Export<Status(ViSession)> viClose{"viClose"}, viClear{"viClear"}, viUnlock{"viUnlock"};
const Export<Status(ViSession, Status, char*)> viStatusDesc{"viStatusDesc"};
const Export<Status(ViSession, const char*, vi::ViFindList*, ViUInt32*, char*)> viFindRsrc{
    "viFindRsrc"};
const Export<Status(vi::ViFindList, char*)> viFindNext{"viFindNext"};
const Export<Status(ViSession, const char*, ViUInt16*, ViUInt16*)> viParseRsrc{"viParseRsrc"};
const Export<Status(ViSession, const char*, ViUInt16*, ViUInt16*, char*, char*, char*)>
    viParseRsrcEx{"viParseRsrcEx"};
const Export<Status(ViSession, vi::ViAttr, vi::ViAttrState)> viSetAttribute{"viSetAttribute"};
const Export<Status(ViSession, vi::ViAttr, void*)> viGetAttribute{"viGetAttribute"};
const Export<Rw> viRead{"viRead"}, viWrite{"viWrite"}, viReadAsync{"viReadAsync"},
    viWriteAsync{"viWriteAsync"};
const Export<Status(ViSession, ViUInt16*)> viReadSTB{"viReadSTB"};
const Export<Status(ViSession, ViUInt32, ViUInt16, ViUInt32)> viEnableEvent{"viEnableEvent"};
const Export<Status(ViSession, ViUInt32, ViUInt16)> viDisableEvent{"viDisableEvent"},
    viDiscardEvents{"viDiscardEvents"};
const Export<Status(ViSession, ViUInt32, ViUInt32, const char*, char*)> viLock{"viLock"};
const Export<Status(ViSession, const char*, ...)> viPrintf{"viPrintf"}, viScanf{"viScanf"};
const Export<Status(ViSession, const char*, const char*, ...)> viQueryf{"viQueryf"};
const Export<Status(ViSession, ViUInt16)> viFlush{"viFlush"}, viAssertTrigger{"viAssertTrigger"},
    viGpibControlREN{"viGpibControlREN"};
const Export<Status(ViSession, ViUInt16, ViUInt32)> viSetBuf{"viSetBuf"};
const Export<Status(ViSession, ViUInt32, ViUInt32, ViUInt32*, ViUInt32*)> viWaitOnEvent{
    "viWaitOnEvent"};
const ViSession kNoSession = 4242;

// The healthy bus: another maker at 5, the test set at 14, a silent address at 22.
struct Bus {
    ViSession rm = 0, instr = 0, silent = 0;  // instr: the test set
    // Outputs a case does not look at.
    std::array<char, 512> out{}, cls{}, full{};
    std::array<unsigned char, 8> bytes{};
    vi::ViFindList list = 0;
    ViUInt32 found = 0, job = 0;
    ViUInt16 type = 0, board = 0;
    Bus() {
        selectProfile(shippedProfile("healthy"));
        EXPECT_EQ(viOpenDefaultRM(&rm), vi::kViSuccess);
        instr = open("GPIB0::14::INSTR");
        silent = open("GPIB0::22::INSTR");
        viPrintf(instr, "*CLS\n");
    }
    ViSession open(const char* name) {
        ViSession session = 0;
        EXPECT_EQ(viOpen(rm, name, 0, 0, &session), vi::kViSuccess) << name;
        return session;
    }
    Status write(ViSession session, const std::string& text) {
        ViUInt32 count = 0;
        return viWrite(session, reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())),
                       static_cast<ViUInt32>(text.size()), &count);
    }
    std::string read(ViSession session, ViUInt32 count = 512, Status* status = nullptr) {
        std::array<unsigned char, 512> buffer{};
        ViUInt32 received = 0;
        const Status result = viRead(session, buffer.data(), count, &received);
        if (status != nullptr) *status = result;
        return std::string(reinterpret_cast<char*>(buffer.data()), received);
    }
    // The test set's reply to *IDN?, the first read of count.
    std::string identity(ViUInt32 count, Status* status) {
        write(instr, "*IDN?\n");
        return read(instr, count, status);
    }
    Status find(const char* pattern) { return viFindRsrc(rm, pattern, &list, &found, out.data()); }
    Status tryOpen(const char* name) {
        ViSession session = 0;
        return viOpen(rm, name, 0, 0, &session);
    }
    Status parse(const char* name) { return viParseRsrc(rm, name, &type, &board); }
    Status parseEx(const char* name) {
        std::array<char, 512> alias{};
        return viParseRsrcEx(rm, name, &type, &board, cls.data(), full.data(), alias.data());
    }
    std::string parsed() const {
        return (type == vi::kViIntfGpib ? "GPIB " : "? ") + std::to_string(board) + " " +
               cls.data() + " " + full.data();
    }
    Status scanIdentity(const char* format) {
        write(instr, "*IDN?\n");
        return viScanf(instr, format, out.data());
    }
    std::string errorQueue() {
        write(instr, "SYST:ERR?\n");
        return read(instr);
    }
    template <typename Value>
    Value attribute(vi::ViAttr attribute) {
        Value value{};
        viGetAttribute(instr, attribute, &value);
        return value;
    }
};

const std::string kIdentity = "Corvane Technologies,4750A,GB44180123,B.02.07\n";

// What a call returned, and what it left for the case to look at.
struct Got {
    Got(Status s, std::string text = {}) : status(s), seen(std::move(text)) {}
    Status status;
    std::string seen;
};

struct Case {
    const char* name;
    std::function<Got(Bus&)> call;
    Status expected;
    std::string seen = {};
};

TEST(SimExports, EachEntryPointsOrdinaryPathAndOneRefusal) {
    const Status unsupported = vi::kViErrorNsupOper;
    const std::vector<Case> cases{
        {"viStatusDesc",
         [](Bus& b) { return Got{viStatusDesc(b.rm, vi::kViErrorInvFmt, b.out.data())}; },
         vi::kViSuccess},
        {"viStatusDesc null buffer",
         [](Bus& b) { return viStatusDesc(b.rm, vi::kViSuccess, nullptr); }, vi::kViErrorUserBuf},
        {"viFindRsrc",
         [](Bus& b) {
             return Got{b.find("?*::INSTR"), std::to_string(b.found) + " " + b.out.data()};
         },
         vi::kViSuccess, "3 GPIB0::5::INSTR"},
        {"viFindRsrc no match", [](Bus& b) { return b.find("TCPIP?*"); }, vi::kViErrorRsrcNotFound},
        {"viFindNext",
         [](Bus& b) {
             b.find("GPIB?*");
             return Got{viFindNext(b.list, b.out.data()), b.out.data()};
         },
         vi::kViSuccess, "GPIB0::14::INSTR"},
        {"viFindNext bad list", [](Bus& b) { return viFindNext(kNoSession, b.out.data()); },
         vi::kViErrorInvObject},
        {"viParseRsrc secondary address",
         [](Bus& b) {
             b.board = 9;
             return Got{b.parse("GPIB0::14::0::INSTR"), b.parsed()};
         },
         vi::kViSuccess, "GPIB 0  "},
        {"viParseRsrc address past 30", [](Bus& b) { return b.parse("GPIB0::31::INSTR"); },
         vi::kViErrorInvRsrcName},
        {"viParseRsrcEx",
         [](Bus& b) {
             return Got{b.parseEx("gpib1::7"), b.parsed()};
         },
         vi::kViSuccess, "GPIB 1 INSTR GPIB1::7::INSTR"},
        {"viParseRsrcEx other interface", [](Bus& b) { return b.parseEx("TCPIP0::host::INSTR"); },
         vi::kViErrorRsrcNotFound},
        {"viParseRsrcEx garbage", [](Bus& b) { return b.parseEx("GPIB0::x::INSTR"); },
         vi::kViErrorInvRsrcName},
        {"viOpen secondary address 0", [](Bus& b) { return b.tryOpen("GPIB0::14::0::INSTR"); },
         vi::kViSuccess},
        {"viOpen another secondary address",
         [](Bus& b) { return b.tryOpen("GPIB0::14::3::INSTR"); }, vi::kViErrorRsrcNotFound},
        {"viClose twice",
         [](Bus& b) {
             const ViSession s = b.open("GPIB0::5::INSTR");
             return Got{viClose(s), std::to_string(viClose(s) == vi::kViErrorInvObject)};
         },
         vi::kViSuccess, "1"},
        {"viGetAttribute defaults",
         [](Bus& b) {
             EXPECT_EQ(b.attribute<ViUInt16>(vi::kViAttrGpibSecondaryAddr), vi::kViNoSecAddr);
             EXPECT_EQ(b.attribute<ViUInt16>(vi::kViAttrTermCharEn), 0);
             EXPECT_EQ(b.attribute<ViUInt32>(vi::kViAttrTmoValue), 2000u);
             return Got{viGetAttribute(b.instr, vi::kViAttrRsrcName, b.out.data()), b.out.data()};
         },
         vi::kViSuccess, "GPIB0::14::INSTR"},
        {"viGetAttribute unknown",
         [](Bus& b) { return viGetAttribute(b.instr, 0x3FFF0021u, b.out.data()); },
         vi::kViErrorNsupAttr},
        {"viSetAttribute time-out",
         [](Bus& b) {
             return Got{viSetAttribute(b.instr, vi::kViAttrTmoValue, 300),
                        std::to_string(b.attribute<ViUInt32>(vi::kViAttrTmoValue))};
         },
         vi::kViSuccess, "300"},
        {"viSetAttribute termination character too wide",
         [](Bus& b) { return viSetAttribute(b.instr, vi::kViAttrTermChar, 0x100); },
         vi::kViErrorNsupAttrState},
        {"viSetAttribute read-only address",
         [](Bus& b) { return viSetAttribute(b.instr, vi::kViAttrGpibPrimaryAddr, 3); },
         vi::kViErrorAttrReadonly},
        {"viWrite and viRead",
         [](Bus& b) {
             Status s = 0;
             const std::string reply = b.identity(512, &s);
             return Got{s, reply};
         },
         vi::kViSuccess, kIdentity},
        {"viWrite unknown session", [](Bus& b) { return b.write(kNoSession, "*IDN?\n"); },
         vi::kViErrorInvObject},
        {"viRead by pieces, the rest unread interrupts",
         [](Bus& b) {
             Status s = 0;
             const std::string piece = b.identity(8, &s);
             return Got{s, piece + "|" + b.errorQueue()};
         },
         vi::kViSuccessMaxCnt, "Corvane |-410,\"Query INTERRUPTED\"\n"},
        {"viRead up to the termination character",
         [](Bus& b) {
             viSetAttribute(b.instr, vi::kViAttrTermChar, ',');
             viSetAttribute(b.instr, vi::kViAttrTermCharEn, 1);
             Status s = 0;
             const std::string first = b.identity(512, &s);
             return Got{s, first + "|" + b.read(b.instr)};
         },
         vi::kViSuccessTermChar, "Corvane Technologies,|4750A,"},
        {"viRead of a silent address",
         [](Bus& b) {
             Status s = 0;
             b.write(b.silent, "*IDN?\n");
             b.read(b.silent, 512, &s);
             return s;
         },
         vi::kViErrorTimeout},
        {"viClear drops the reply",
         [](Bus& b) {
             b.write(b.instr, "*IDN?\n");
             Status s = 0;
             return Got{viClear(b.instr), (b.read(b.instr, 512, &s), std::to_string(s))};
         },
         vi::kViSuccess, std::to_string(vi::kViErrorTimeout)},
        {"viClear unknown session", [](Bus&) { return viClear(kNoSession); },
         vi::kViErrorInvObject},
        {"viReadSTB message and error available",
         [](Bus& b) {
             ViUInt16 stb = 0;
             b.write(b.instr, "BOGUS\n");
             b.write(b.instr, "*IDN?\n");
             return Got{viReadSTB(b.instr, &stb), std::to_string(stb)};
         },
         vi::kViSuccess, "20"},  // 0x14
        {"viReadSTB null", [](Bus& b) { return viReadSTB(b.instr, nullptr); }, vi::kViErrorUserBuf},
        {"viEnableEvent twice",
         [](Bus& b) {
             viEnableEvent(b.instr, vi::kViEventServiceReq, vi::kViQueue, 0);
             return viEnableEvent(b.instr, vi::kViEventServiceReq, vi::kViQueue, 0);
         },
         vi::kViSuccessEventEn},
        {"viEnableEvent unknown event",
         [](Bus& b) { return viEnableEvent(b.instr, 0x3FFF2999u, vi::kViQueue, 0); },
         vi::kViErrorInvEvent},
        {"viDisableEvent all",
         [](Bus& b) {
             viEnableEvent(b.instr, vi::kViEventServiceReq, vi::kViQueue, 0);
             EXPECT_EQ(viDisableEvent(b.instr, vi::kViAllEnabledEvents, vi::kViAllMech),
                       vi::kViSuccess);
             return viDisableEvent(b.instr, vi::kViEventServiceReq, vi::kViQueue);
         },
         vi::kViSuccessEventDis},
        {"viDisableEvent bad mechanism",
         [](Bus& b) { return viDisableEvent(b.instr, vi::kViEventServiceReq, 8); },
         vi::kViErrorInvMech},
        {"viDiscardEvents",
         [](Bus& b) { return viDiscardEvents(b.instr, vi::kViEventServiceReq, vi::kViQueue); },
         vi::kViSuccessQueueEmpty},
        {"viDiscardEvents unknown event",
         [](Bus& b) { return viDiscardEvents(b.instr, 7, vi::kViQueue); }, vi::kViErrorInvEvent},
        {"viLock keeps another session off the device",
         [](Bus& b) {
             const ViSession other = b.open("GPIB0::14::INSTR");
             EXPECT_EQ(viLock(b.instr, vi::kViExclusiveLock, 0, nullptr, nullptr), vi::kViSuccess);
             EXPECT_EQ(viLock(other, vi::kViSharedLock, 0, nullptr, nullptr),
                       vi::kViErrorRsrcLocked);
             return b.write(other, "*CLS\n");
         },
         vi::kViErrorRsrcLocked},
        {"viLock bad type", [](Bus& b) { return viLock(b.instr, 3, 0, nullptr, nullptr); },
         vi::kViErrorInvLockType},
        {"viUnlock of a nested lock, then none left",
         [](Bus& b) {
             viLock(b.instr, vi::kViExclusiveLock, 0, nullptr, nullptr);
             EXPECT_EQ(viLock(b.instr, vi::kViExclusiveLock, 0, nullptr, nullptr),
                       vi::kViSuccessNestedExclusive);
             EXPECT_EQ(viUnlock(b.instr), vi::kViSuccess);
             EXPECT_EQ(viUnlock(b.instr), vi::kViSuccess);
             return viUnlock(b.instr);
         },
         vi::kViErrorSesnNlocked},
        {"viPrintf",
         [](Bus& b) {
             return Got{viPrintf(b.instr, "BOGUS%%\n"), b.errorQueue()};
         },
         vi::kViSuccess, "-113,\"Undefined header\"\n"},
        {"viPrintf with a conversion", [](Bus& b) { return viPrintf(b.instr, "FREQ %d\n", 5); },
         vi::kViErrorNsupFmt},
        {"viPrintf with no conversion at all",
         [](Bus& b) { return viPrintf(b.instr, "FREQ %&\n"); }, vi::kViErrorInvFmt},
        {"viScanf %T",
         [](Bus& b) {
             return Got{b.scanIdentity("%T"), b.out.data()};
         },
         vi::kViSuccess, kIdentity},
        {"viScanf with a width on %t", [](Bus& b) { return b.scanIdentity("%511t"); },
         vi::kViErrorInvFmt},
        {"viScanf %s", [](Bus& b) { return b.scanIdentity("%s"); }, vi::kViErrorNsupFmt},
        {"viQueryf",
         [](Bus& b) {
             return Got{viQueryf(b.instr, "*IDN?\n", "%t", b.out.data()), b.out.data()};
         },
         vi::kViSuccess, kIdentity},
        {"viQueryf with a counted %t writes nothing",
         [](Bus& b) {
             ViUInt32 n = 512;
             return Got{viQueryf(b.instr, "BOGUS\n", "%#t", &n, b.out.data()), b.errorQueue()};
         },
         vi::kViErrorInvFmt, "+0,\"No error\"\n"},
        // What the bus does not offer.
        {"viFlush", [](Bus& b) { return viFlush(b.instr, 1); }, unsupported},
        {"viSetBuf", [](Bus& b) { return viSetBuf(b.instr, 1, 64); }, unsupported},
        {"viAssertTrigger", [](Bus& b) { return viAssertTrigger(b.instr, 0); }, unsupported},
        {"viGpibControlREN", [](Bus& b) { return viGpibControlREN(b.instr, 1); }, unsupported},
        {"viWaitOnEvent",
         [](Bus& b) { return viWaitOnEvent(b.instr, vi::kViEventServiceReq, 0, &b.found, &b.job); },
         unsupported},
        {"viReadAsync", [](Bus& b) { return viReadAsync(b.instr, b.bytes.data(), 8, &b.job); },
         unsupported},
        {"viWriteAsync", [](Bus& b) { return viWriteAsync(b.instr, b.bytes.data(), 8, &b.job); },
         unsupported},
    };
    for (const Case& c : cases) {
        Bus bus;
        const Got got = c.call(bus);
        EXPECT_EQ(got.status, c.expected) << c.name;
        EXPECT_EQ(got.seen, c.seen) << c.name;
    }
}

}  // namespace
}  // namespace quillon::sim_test
