// SPDX-License-Identifier: MIT
// The bus session and the test set record against the scripted VISA library.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "fake_visa.h"
#include "instrument/clsMom.h"
#include "instrument/clsVisa.h"

namespace quillon::instrument {
namespace {

using testing::FakeVisa;
using Reply = FakeVisa::Reply;
using Kind = BusStatus::Kind;
using Strings = std::vector<std::string>;

constexpr ViSession kVi = 7;

struct Bus {
    FakeVisa fake;
    ProgramValues program;
    std::vector<std::pair<std::string, std::string>> notices;
    int yields = 0;
    clsVisa visa{&fake, std::nullopt,
                 BusHooks{[this] { ++yields; },
                          [this](const std::string& title, const std::string& text) {
                              notices.emplace_back(title, text);
                          }},
                 program};
};

// The Boolean form's timeout flag and reply text; the status form's kind and status.
TEST(QueryInstrument, ReplyHandling) {
    const struct {
        const char* name;
        Reply reply;
        std::string expectedResult;
        bool expectedTimeout;
        Kind kind = Kind::Ok;
    } cases[] = {
        {"timeout", {kViErrorTimeout, "late\n"}, "", true, Kind::Timeout},
        {"other failure", {kViErrorIo, "junk\n"}, "", false, Kind::IoError},
        {"only a line feed", {kViSuccess, "\n"}, "", false},
        {"text before the first line feed", {kViSuccess, "+1\nrest\n"}, "+1", false},
        {"no line feed taken whole", {kViSuccess, "abc"}, "abc", false},
        {"warning status keeps the text", {kViSuccessTermChar, "12\n"}, "12", false, Kind::IoError},
        {"over-long reply cut", {kViSuccess, std::string(600, 'x')}, std::string(511, 'x'), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bus bus;
        bus.fake.onQueryReplies("*idn?", {c.reply});
        std::string result = "stale";
        EXPECT_EQ(bus.visa.queryInstrument(kVi, "*idn?", result), c.expectedTimeout);
        EXPECT_EQ(result, c.expectedResult);
        EXPECT_EQ(bus.fake.texts(), Strings{"*idn?"});
        std::array<char, kReplyBufferSize> reply{};
        const BusStatus status = bus.visa.query(kVi, "*idn?", reply);
        EXPECT_EQ(status.kind, c.kind);
        EXPECT_EQ(status.command, status.ok() ? "" : "*idn?");
        EXPECT_EQ(status.visaStatus, c.reply.status);
    }
}

// The Boolean form's error flag and traffic; the status form's kind and deciding status.
TEST(SendWithStatusCheck, ErrorFlagRules) {
    struct Case {
        const char* name;
        ViStatus write;
        Reply queue;  // the error queue's reply; none: not asked
        bool flagged;
        Kind kind = Kind::Ok;
        ViStatus deciding = kViSuccess;
    };
    const Reply none{kViSuccess, ""}, clean{kViSuccess, "+0,\"\"\n"};
    const ViStatus warning = kViSuccessTermChar;
    const std::string queued = "-113,\"Undefined header\"";
    const Case cases[] = {
        {"no error", kViSuccess, {kViSuccess, "+0,\"No error\"\n"}, false},
        {"queued error", kViSuccess, {kViSuccess, queued + "\n"}, true, Kind::InstrumentError},
        {"reply without a number reads 0", kViSuccess, {kViSuccess, "OK\n"}, false},
        {"failed write", kViErrorIo, none, true, Kind::IoError, kViErrorIo},
        {"warning on write", kViSuccessMaxCnt, none, true, Kind::IoError, kViSuccessMaxCnt},
        {"queue timeout", kViSuccess, {kViErrorTimeout, ""}, true, Kind::Timeout, kViErrorTimeout},
        {"queue warning", kViSuccess, {warning, clean.text}, true, Kind::IoError, warning},
        {"queue reply cut at the buffer", kViSuccess, {kViSuccessMaxCnt, clean.text}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bus bus;
        bus.fake.onWrite("CALL:BAND PGSM", c.write);
        bus.fake.onQueryReplies("SYSTEM:ERR?", {c.queue});
        EXPECT_EQ(bus.visa.sendWithStatusCheck(kVi, false, "CALL:BAND PGSM"), c.flagged);
        const Strings sent = c.write == kViSuccess ? Strings{"CALL:BAND PGSM", "SYSTEM:ERR?"}
                                                   : Strings{"CALL:BAND PGSM"};
        EXPECT_EQ(bus.fake.texts(), sent);
        const BusStatus status = bus.visa.sendChecked(kVi, "CALL:BAND PGSM");
        EXPECT_EQ(status.kind, c.kind);
        EXPECT_EQ(status.command, status.ok() ? "" : "CALL:BAND PGSM");
        EXPECT_EQ(status.visaStatus, c.deciding);
        EXPECT_EQ(status.errorQueue, c.kind == Kind::InstrumentError ? queued : "");
    }
    Bus flagged;  // an error on entry sends nothing
    EXPECT_TRUE(flagged.visa.sendWithStatusCheck(kVi, true, "CALL:BAND PGSM"));
    EXPECT_TRUE(flagged.fake.texts().empty());
}

// One resource of the scripted bus and how it answers.
struct Instrument {
    std::string descriptor;
    std::vector<Reply> identity;
    ViUInt16 kind = kViIntfGpib;
    ViUInt16 board = 0;
    ViUInt16 address = 0;
};

void addInstrument(FakeVisa& fake, const Instrument& instrument) {
    fake.resources.push_back(
        {instrument.descriptor, instrument.kind, instrument.board, instrument.address});
    const auto vi = static_cast<ViSession>(fake.resources.size());
    fake.onQueryReplies("*idn?", instrument.identity, vi);
    fake.onQuery("syst:appl:curr:rev?", {"\"A.05.12\""}, vi);
    fake.onQuery("syst:curr:ta:mod?", {"\"K2210\" "}, vi);
}

TEST(Seek4750s, ThreeResourcesOfWhichTheSecondIsATestSet) {
    Bus bus;
    addInstrument(bus.fake, {"GPIB0::3::INSTR", {{kViSuccess, "Other,Meter 34,1,2\n"}}});
    addInstrument(
        bus.fake,
        {"GPIB0::14::INSTR", {{kViSuccess, "Corvane,4750A,GB123,A.01\n"}}, kViIntfGpib, 0, 14});
    addInstrument(bus.fake, {"GPIB0::20::INSTR", {{kViErrorTimeout, ""}}});

    bus.visa.seek4750s();

    ASSERT_EQ(bus.visa.num4750s(), 1);
    const auto found = bus.visa.get4750(0);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->MomSerialNumber(), "GB123");
    EXPECT_EQ(found->MomAddr(), 14);  // the record's other fields: MakeMom.RecordFields
    EXPECT_EQ(found->MomVI(), 2u);
    const auto spare = bus.visa.get4750(1);
    ASSERT_TRUE(spare);
    EXPECT_EQ(spare->MomSerialNumber(), "");
    EXPECT_FALSE(bus.visa.get4750(2));
    // Only the silent instrument has its session closed.
    EXPECT_EQ(bus.fake.closed, std::vector<ViSession>{3});
    EXPECT_TRUE(bus.notices.empty());
    EXPECT_GT(bus.yields, 0);
}

// A find list that fails with anything but "no further resource" ends the search there.
TEST(Seek4750s, AFailingFindListEndsTheSearch) {
    for (const ViStatus end : {kViErrorRsrcNotFound, kViErrorInvObject, kViErrorIo}) {
        Bus bus;
        addInstrument(bus.fake, {"GPIB0::14::INSTR", {{kViSuccess, "Corvane,47501A,US1,A.01\n"}}});
        bus.fake.findNextEnd = end;
        bus.visa.seek4750s();
        EXPECT_EQ(bus.visa.num4750s(), 1);
        EXPECT_EQ(bus.fake.findNextCalls, 1u);
    }
}

TEST(Seek4750s, MoreTestSetsThanTheTableHoldsDoesNotFail) {
    Bus bus;
    for (int i = 0; i < 130; ++i) {
        addInstrument(bus.fake, {"GPIB0::" + std::to_string(i) + "::INSTR",
                                 {{kViSuccess, "Corvane,4750A,S" + std::to_string(i) + "\n"}}});
    }
    bus.visa.seek4750s();
    EXPECT_EQ(bus.visa.num4750s(), 100);
    EXPECT_EQ(bus.visa.get4750(99)->MomSerialNumber(), "S99");
}

// Nothing found sends nothing and is no failure; a refused resource manager is one, with the
// library's words.
TEST(Seek4750s, NoResourceOrAResourceManagerRefused) {
    for (const ViStatus openRm : {kViSuccess, kViErrorSystemError}) {
        Bus bus;
        bus.fake.openRmStatus = openRm;
        bus.visa.seek4750s();
        EXPECT_EQ(bus.visa.num4750s(), 0);
        EXPECT_TRUE(bus.fake.log.empty());
        EXPECT_EQ(bus.program.visaInitFailed, openRm != kViSuccess);
        const std::string refusal =
            "The following VISA initialization error has occurred: "
            "VI_ERROR_SYSTEM_ERROR: Unknown system error";
        EXPECT_EQ(bus.notices.size(), openRm == kViSuccess ? 0u : 1u);
        for (const auto& notice : bus.notices)
            EXPECT_EQ(notice, std::pair(std::string("Quillon"), refusal));
    }
}

TEST(MakeMom, IdentityRepliesThatAlmostMatch) {
    const struct {
        const char* name;
        std::string identity;
        bool isTestSet;
        std::string serial;
    } cases[] = {
        {"model exactly 4750", "Corvane,4750,S1,A", false, ""},
        {"model beginning with 4750", "Corvane,4750B,S1,A", true, "S1"},
        {"4750 later in the field", "Corvane,X4750B,S1,A", false, ""},
        {"a leading blank is another model", "Corvane, 4750B,S1,A", false, ""},
        {"one field only", "4750B", false, ""},
        {"two fields: no serial number", "Corvane,4750B", true, ""},
        {"empty reply", "", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bus bus;
        addInstrument(bus.fake, {"GPIB0::14::INSTR", {{kViSuccess, c.identity + "\n"}}});
        clsMom mom(bus.visa);
        EXPECT_EQ(mom.makeMom(1000, "GPIB0::14::INSTR\n"), c.isTestSet);
        EXPECT_EQ(mom.MomSerialNumber(), c.serial);
        const Strings expected =
            c.isTestSet ? Strings{"*cls",  "*idn?", "syst:appl:curr:rev?", "syst:curr:ta:mod?",
                                  "*idn?", "*cls"}
                        : Strings{"*cls", "*idn?"};
        EXPECT_EQ(bus.fake.texts(), expected);
        // Only an instrument that gave no identity has its session closed.
        EXPECT_EQ(bus.fake.closed.size(), c.identity.empty() ? 1u : 0u);
    }
}

// The interface's name from its kind and board; firmware and application from their quoted or
// bracketed replies.
TEST(MakeMom, RecordFields) {
    const struct {
        ViUInt16 kind, board;
        std::string revision, application, interface, firmware, ta;
    } cases[] = {
        {kViIntfGpib, 0, "\"A.05.12\"", "\"K2210\"x", "GPIB0", "A.05.12", "K2210"},
        {kViIntfAsrl, 1, "(B.01)", "[K3310]a", "Serial1", "B.01", "K3310"},
        {kViIntfVxi, 2, "x", "ab", "VXI2", "", ""},
        {kViIntfGpibVxi, 3, "", "", "GPIB-VXI3", "", ""},
        {9, 0, "\"A\"", "\"K\"x", "", "A", "K"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.interface);
        Bus bus;
        bus.fake.resources.push_back({"GPIB0::5::INSTR", c.kind, c.board, 5});
        bus.fake.onQuery("*idn?", {"Corvane,4750A,SN9,1"});
        bus.fake.onQuery("syst:appl:curr:rev?", {c.revision});
        bus.fake.onQuery("syst:curr:ta:mod?", {c.application});
        clsMom mom(bus.visa);
        ASSERT_TRUE(mom.makeMom(1000, "GPIB0::5::INSTR"));
        EXPECT_EQ(mom.MomInterface(), c.interface);
        EXPECT_EQ(mom.MomFirmwareVersion(), c.firmware);
        EXPECT_EQ(mom.MomTA(), c.ta);
        EXPECT_EQ(mom.MomAddr(), 5);
    }
}

}  // namespace
}  // namespace quillon::instrument
