// SPDX-License-Identifier: MIT
// Every entry point of the simulated library, called by name as any VISA client binds it: its
// ordinary path and one way it refuses.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
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

void* entryAddress(const char* name) {
#ifdef _WIN32
    static const HMODULE handle = LoadLibraryA(QUILLON_SIM_LIBRARY);
    return reinterpret_cast<void*>(GetProcAddress(handle, name));
#else
    static void* const handle = dlopen(QUILLON_SIM_LIBRARY, RTLD_NOW);
    return dlsym(handle, name);
#endif
}

template <typename Fn>
Fn entry(const char* name) {
    void* address = entryAddress(name);
    if (address == nullptr) ADD_FAILURE() << "no entry point " << name;
    return reinterpret_cast<Fn>(address);
}

using Status = ViStatus;
using Session1 = Status (*)(ViSession);
using SessionU16 = Status (*)(ViSession, ViUInt16);
using Rw = Status (*)(ViSession, unsigned char*, ViUInt32, ViUInt32*);
using Parse = Status (*)(ViSession, const char*, ViUInt16*, ViUInt16*);
using ParseEx = Status (*)(ViSession, const char*, ViUInt16*, ViUInt16*, char*, char*, char*);
using SetAttr = Status (*)(ViSession, vi::ViAttr, vi::ViAttrState);
using GetAttr = Status (*)(ViSession, vi::ViAttr, void*);
using Event = Status (*)(ViSession, ViUInt32, ViUInt16);
using Enable = Status (*)(ViSession, ViUInt32, ViUInt16, ViUInt32);
using Lock = Status (*)(ViSession, ViUInt32, ViUInt32, const char*, char*);
using Printf = Status (*)(ViSession, const char*, ...);
using Queryf = Status (*)(ViSession, const char*, const char*, ...);
using ReadStb = Status (*)(ViSession, ViUInt16*);
using Open = Status (*)(ViSession, const char*, ViUInt32, ViUInt32, ViSession*);
using FindRsrc = Status (*)(ViSession, const char*, vi::ViFindList*, ViUInt32*, char*);
using FindNext = Status (*)(vi::ViFindList, char*);
using Desc = Status (*)(ViSession, Status, char*);

// The healthy bus: another maker at 5, the test set at 14, a silent address at 22.
struct Bus {
    ViSession rm = 0, testSet = 0, silent = 0;
    // Outputs a case does not look at.
    std::array<char, 512> out{}, cls{}, full{};
    vi::ViFindList list = 0;
    ViUInt32 found = 0;
    ViUInt16 type = 0, board = 0;
    Bus() {
        selectProfile(shippedProfile("healthy"));
        EXPECT_EQ(entry<Status (*)(ViSession*)>("viOpenDefaultRM")(&rm), vi::kViSuccess);
        testSet = open("GPIB0::14::INSTR");
        silent = open("GPIB0::22::INSTR");
        entry<Printf>("viPrintf")(testSet, "*CLS\n");
    }
    ViSession open(const char* name) {
        ViSession session = 0;
        EXPECT_EQ(entry<Open>("viOpen")(rm, name, 0, 0, &session), vi::kViSuccess) << name;
        return session;
    }
    Status write(ViSession session, const std::string& text) {
        ViUInt32 count = 0;
        return entry<Rw>("viWrite")(
            session, reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())),
            static_cast<ViUInt32>(text.size()), &count);
    }
    std::string read(ViSession session, ViUInt32 count = 512, Status* status = nullptr) {
        std::array<unsigned char, 512> buffer{};
        ViUInt32 received = 0;
        const Status result = entry<Rw>("viRead")(session, buffer.data(), count, &received);
        if (status != nullptr) *status = result;
        return std::string(reinterpret_cast<char*>(buffer.data()), received);
    }
    Status find(const char* pattern) {
        return entry<FindRsrc>("viFindRsrc")(rm, pattern, &list, &found, out.data());
    }
    Status tryOpen(const char* name) {
        ViSession session = 0;
        return entry<Open>("viOpen")(rm, name, 0, 0, &session);
    }
    Status parseEx(const char* name) {
        std::array<char, 512> alias{};
        return entry<ParseEx>("viParseRsrcEx")(rm, name, &type, &board, cls.data(), full.data(),
                                               alias.data());
    }
    Status scanIdentity(const char* format) {
        write(testSet, "*IDN?\n");
        return entry<Printf>("viScanf")(testSet, format, out.data());
    }
    std::string errorQueue() {
        write(testSet, "SYST:ERR?\n");
        return read(testSet);
    }
};

struct Case {
    const char* name;
    std::function<Status(Bus&)> call;
    Status expected;
};

TEST(SimExports, EachEntryPointsOrdinaryPathAndOneRefusal) {
    const ViSession kNoSession = 4242;
    const std::vector<Case> cases{
        {"viStatusDesc",
         [](Bus& b) { return entry<Desc>("viStatusDesc")(b.rm, vi::kViErrorInvFmt, b.out.data()); },
         vi::kViSuccess},
        {"viStatusDesc null buffer",
         [](Bus& b) { return entry<Desc>("viStatusDesc")(b.rm, vi::kViSuccess, nullptr); },
         vi::kViErrorUserBuf},
        {"viFindRsrc",
         [](Bus& b) {
             const Status s = b.find("?*::INSTR");
             EXPECT_EQ(b.found, 3u);
             EXPECT_STREQ(b.out.data(), "GPIB0::5::INSTR");
             return s;
         },
         vi::kViSuccess},
        {"viFindRsrc no match", [](Bus& b) { return b.find("TCPIP?*"); }, vi::kViErrorRsrcNotFound},
        {"viFindNext",
         [](Bus& b) {
             b.find("GPIB?*");
             const Status s = entry<FindNext>("viFindNext")(b.list, b.out.data());
             EXPECT_STREQ(b.out.data(), "GPIB0::14::INSTR");
             return s;
         },
         vi::kViSuccess},
        {"viFindNext bad list",
         [&](Bus& b) { return entry<FindNext>("viFindNext")(kNoSession, b.out.data()); },
         vi::kViErrorInvObject},
        {"viParseRsrc secondary address",
         [](Bus& b) {
             b.board = 9;
             const Status s =
                 entry<Parse>("viParseRsrc")(b.rm, "GPIB0::14::0::INSTR", &b.type, &b.board);
             EXPECT_EQ(b.type, vi::kViIntfGpib);
             EXPECT_EQ(b.board, 0);
             return s;
         },
         vi::kViSuccess},
        {"viParseRsrc address past 30",
         [](Bus& b) {
             return entry<Parse>("viParseRsrc")(b.rm, "GPIB0::31::INSTR", &b.type, &b.board);
         },
         vi::kViErrorInvRsrcName},
        {"viParseRsrcEx",
         [](Bus& b) {
             const Status s = b.parseEx("gpib1::7");
             EXPECT_STREQ(b.cls.data(), "INSTR");
             EXPECT_STREQ(b.full.data(), "GPIB1::7::INSTR");
             EXPECT_EQ(b.board, 1);
             return s;
         },
         vi::kViSuccess},
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
             EXPECT_EQ(entry<Session1>("viClose")(s), vi::kViSuccess);
             return entry<Session1>("viClose")(s);
         },
         vi::kViErrorInvObject},
        {"viGetAttribute defaults",
         [](Bus& b) {
             ViUInt32 tmo = 0;
             ViUInt16 sec = 0, en = 9;
             std::array<char, 256> name{};
             entry<GetAttr>("viGetAttribute")(b.testSet, vi::kViAttrTmoValue, &tmo);
             entry<GetAttr>("viGetAttribute")(b.testSet, vi::kViAttrGpibSecondaryAddr, &sec);
             entry<GetAttr>("viGetAttribute")(b.testSet, vi::kViAttrTermCharEn, &en);
             EXPECT_EQ(tmo, 2000u);
             EXPECT_EQ(sec, vi::kViNoSecAddr);
             EXPECT_EQ(en, 0);
             const Status s =
                 entry<GetAttr>("viGetAttribute")(b.testSet, vi::kViAttrRsrcName, name.data());
             EXPECT_STREQ(name.data(), "GPIB0::14::INSTR");
             return s;
         },
         vi::kViSuccess},
        {"viGetAttribute unknown",
         [](Bus& b) {
             ViUInt32 v = 0;
             return entry<GetAttr>("viGetAttribute")(b.testSet, 0x3FFF0021u, &v);
         },
         vi::kViErrorNsupAttr},
        {"viSetAttribute time-out",
         [](Bus& b) {
             ViUInt32 tmo = 0;
             const Status s = entry<SetAttr>("viSetAttribute")(b.testSet, vi::kViAttrTmoValue, 300);
             entry<GetAttr>("viGetAttribute")(b.testSet, vi::kViAttrTmoValue, &tmo);
             EXPECT_EQ(tmo, 300u);
             return s;
         },
         vi::kViSuccess},
        {"viSetAttribute termination character too wide",
         [](Bus& b) {
             return entry<SetAttr>("viSetAttribute")(b.testSet, vi::kViAttrTermChar, 0x100);
         },
         vi::kViErrorNsupAttrState},
        {"viSetAttribute read-only address",
         [](Bus& b) {
             return entry<SetAttr>("viSetAttribute")(b.testSet, vi::kViAttrGpibPrimaryAddr, 3);
         },
         vi::kViErrorAttrReadonly},
        {"viWrite and viRead",
         [](Bus& b) {
             b.write(b.testSet, "*IDN?\n");
             Status s = 0;
             EXPECT_EQ(b.read(b.testSet, 512, &s),
                       "Corvane Technologies,4750A,GB44180123,B.02.07\n");
             return s;
         },
         vi::kViSuccess},
        {"viWrite unknown session", [&](Bus& b) { return b.write(kNoSession, "*IDN?\n"); },
         vi::kViErrorInvObject},
        {"viRead by pieces, the rest unread interrupts",
         [](Bus& b) {
             b.write(b.testSet, "*IDN?\n");
             Status s = 0;
             EXPECT_EQ(b.read(b.testSet, 8, &s), "Corvane ");
             EXPECT_EQ(b.errorQueue(), "-410,\"Query INTERRUPTED\"\n");
             return s;
         },
         vi::kViSuccessMaxCnt},
        {"viRead up to the termination character",
         [](Bus& b) {
             entry<SetAttr>("viSetAttribute")(b.testSet, vi::kViAttrTermChar, ',');
             entry<SetAttr>("viSetAttribute")(b.testSet, vi::kViAttrTermCharEn, 1);
             b.write(b.testSet, "*IDN?\n");
             Status s = 0;
             EXPECT_EQ(b.read(b.testSet, 512, &s), "Corvane Technologies,");
             EXPECT_EQ(b.read(b.testSet), "4750A,");
             return s;
         },
         vi::kViSuccessTermChar},
        {"viRead of a silent address",
         [](Bus& b) {
             b.write(b.silent, "*IDN?\n");
             Status s = 0;
             b.read(b.silent, 512, &s);
             return s;
         },
         vi::kViErrorTimeout},
        {"viClear drops the reply",
         [](Bus& b) {
             b.write(b.testSet, "*IDN?\n");
             const Status s = entry<Session1>("viClear")(b.testSet);
             Status r = 0;
             b.read(b.testSet, 512, &r);
             EXPECT_EQ(r, vi::kViErrorTimeout);
             return s;
         },
         vi::kViSuccess},
        {"viClear unknown session", [&](Bus&) { return entry<Session1>("viClear")(kNoSession); },
         vi::kViErrorInvObject},
        {"viReadSTB message and error available",
         [](Bus& b) {
             ViUInt16 stb = 0;
             b.write(b.testSet, "BOGUS\n");
             b.write(b.testSet, "*IDN?\n");
             const Status s = entry<ReadStb>("viReadSTB")(b.testSet, &stb);
             EXPECT_EQ(stb, 0x14);
             return s;
         },
         vi::kViSuccess},
        {"viReadSTB null", [](Bus& b) { return entry<ReadStb>("viReadSTB")(b.testSet, nullptr); },
         vi::kViErrorUserBuf},
        {"viEnableEvent twice",
         [](Bus& b) {
             EXPECT_EQ(
                 entry<Enable>("viEnableEvent")(b.testSet, vi::kViEventServiceReq, vi::kViQueue, 0),
                 vi::kViSuccess);
             return entry<Enable>("viEnableEvent")(b.testSet, vi::kViEventServiceReq, vi::kViQueue,
                                                   0);
         },
         vi::kViSuccessEventEn},
        {"viEnableEvent unknown event",
         [](Bus& b) {
             return entry<Enable>("viEnableEvent")(b.testSet, 0x3FFF2999u, vi::kViQueue, 0);
         },
         vi::kViErrorInvEvent},
        {"viDisableEvent all",
         [](Bus& b) {
             entry<Enable>("viEnableEvent")(b.testSet, vi::kViEventServiceReq, vi::kViQueue, 0);
             EXPECT_EQ(
                 entry<Event>("viDisableEvent")(b.testSet, vi::kViAllEnabledEvents, vi::kViAllMech),
                 vi::kViSuccess);
             return entry<Event>("viDisableEvent")(b.testSet, vi::kViEventServiceReq, vi::kViQueue);
         },
         vi::kViSuccessEventDis},
        {"viDisableEvent bad mechanism",
         [](Bus& b) {
             return entry<Event>("viDisableEvent")(b.testSet, vi::kViEventServiceReq, 8);
         },
         vi::kViErrorInvMech},
        {"viDiscardEvents",
         [](Bus& b) {
             return entry<Event>("viDiscardEvents")(b.testSet, vi::kViEventServiceReq,
                                                    vi::kViQueue);
         },
         vi::kViSuccessQueueEmpty},
        {"viDiscardEvents unknown event",
         [](Bus& b) { return entry<Event>("viDiscardEvents")(b.testSet, 7, vi::kViQueue); },
         vi::kViErrorInvEvent},
        {"viLock keeps another session off the device",
         [](Bus& b) {
             const ViSession other = b.open("GPIB0::14::INSTR");
             EXPECT_EQ(entry<Lock>("viLock")(b.testSet, vi::kViExclusiveLock, 0, nullptr, nullptr),
                       vi::kViSuccess);
             EXPECT_EQ(entry<Lock>("viLock")(other, vi::kViSharedLock, 0, nullptr, nullptr),
                       vi::kViErrorRsrcLocked);
             return b.write(other, "*CLS\n");
         },
         vi::kViErrorRsrcLocked},
        {"viLock bad type",
         [](Bus& b) { return entry<Lock>("viLock")(b.testSet, 3, 0, nullptr, nullptr); },
         vi::kViErrorInvLockType},
        {"viUnlock of a nested lock, then none left",
         [](Bus& b) {
             entry<Lock>("viLock")(b.testSet, vi::kViExclusiveLock, 0, nullptr, nullptr);
             EXPECT_EQ(entry<Lock>("viLock")(b.testSet, vi::kViExclusiveLock, 0, nullptr, nullptr),
                       vi::kViSuccessNestedExclusive);
             EXPECT_EQ(entry<Session1>("viUnlock")(b.testSet), vi::kViSuccess);
             EXPECT_EQ(entry<Session1>("viUnlock")(b.testSet), vi::kViSuccess);
             return entry<Session1>("viUnlock")(b.testSet);
         },
         vi::kViErrorSesnNlocked},
        {"viPrintf",
         [](Bus& b) {
             const Status s = entry<Printf>("viPrintf")(b.testSet, "BOGUS%%\n");
             EXPECT_EQ(b.errorQueue(), "-113,\"Undefined header\"\n");
             return s;
         },
         vi::kViSuccess},
        {"viPrintf with a conversion",
         [](Bus& b) { return entry<Printf>("viPrintf")(b.testSet, "FREQ %d\n", 5); },
         vi::kViErrorNsupFmt},
        {"viPrintf with no conversion at all",
         [](Bus& b) { return entry<Printf>("viPrintf")(b.testSet, "FREQ %&\n"); },
         vi::kViErrorInvFmt},
        {"viScanf %T",
         [](Bus& b) {
             const Status s = b.scanIdentity("%T");
             EXPECT_STREQ(b.out.data(), "Corvane Technologies,4750A,GB44180123,B.02.07\n");
             return s;
         },
         vi::kViSuccess},
        {"viScanf with a width on %t", [](Bus& b) { return b.scanIdentity("%511t"); },
         vi::kViErrorInvFmt},
        {"viScanf %s", [](Bus& b) { return b.scanIdentity("%s"); }, vi::kViErrorNsupFmt},
        {"viQueryf",
         [](Bus& b) {
             std::array<char, 512> r{};
             const Status s = entry<Queryf>("viQueryf")(b.testSet, "*IDN?\n", "%t", r.data());
             EXPECT_STREQ(r.data(), "Corvane Technologies,4750A,GB44180123,B.02.07\n");
             return s;
         },
         vi::kViSuccess},
        {"viQueryf with a counted %t writes nothing",
         [](Bus& b) {
             std::array<char, 512> r{};
             ViUInt32 n = 512;
             const Status s = entry<Queryf>("viQueryf")(b.testSet, "BOGUS\n", "%#t", &n, r.data());
             EXPECT_EQ(b.errorQueue(), "+0,\"No error\"\n");
             return s;
         },
         vi::kViErrorInvFmt},
    };
    for (const Case& c : cases) {
        Bus bus;
        EXPECT_EQ(c.call(bus), c.expected) << c.name;
    }
}

TEST(SimExports, OperationsTheBusDoesNotOfferAreRefusedAsUnsupported) {
    Bus bus;
    const ViSession s = bus.testSet;
    std::array<unsigned char, 8> buffer{};
    ViUInt32 count = 0, job = 0;
    EXPECT_EQ(entry<SessionU16>("viFlush")(s, 1), vi::kViErrorNsupOper);
    EXPECT_EQ(entry<Status (*)(ViSession, ViUInt16, ViUInt32)>("viSetBuf")(s, 1, 64),
              vi::kViErrorNsupOper);
    EXPECT_EQ(entry<SessionU16>("viAssertTrigger")(s, 0), vi::kViErrorNsupOper);
    EXPECT_EQ(entry<SessionU16>("viGpibControlREN")(s, 1), vi::kViErrorNsupOper);
    EXPECT_EQ(entry<Status (*)(ViSession, ViUInt32, ViUInt32, ViUInt32*, ViUInt32*)>(
                  "viWaitOnEvent")(s, vi::kViEventServiceReq, 0, &count, &job),
              vi::kViErrorNsupOper);
    EXPECT_EQ(entry<Rw>("viReadAsync")(s, buffer.data(), 8, &job), vi::kViErrorNsupOper);
    EXPECT_EQ(entry<Rw>("viWriteAsync")(s, buffer.data(), 8, &job), vi::kViErrorNsupOper);
}

}  // namespace
}  // namespace quillon::sim_test
