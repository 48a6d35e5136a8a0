// SPDX-License-Identifier: MIT
// The --trace recorder: one parseable line per call with what went in and came out, and the
// bus traffic untouched.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "fake_visa.h"
#include "instrument/clsVisa.h"
#include "instrument/trace_format.h"
#include "instrument/visa_trace.h"

namespace quillon::instrument {
namespace {

using testing::FakeVisa;

std::vector<trace::Line> callLines(const std::string& text) {
    std::vector<trace::Line> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        bool malformed = false;
        if (auto parsed = trace::parseLine(line, malformed)) lines.push_back(*parsed);
        EXPECT_FALSE(malformed) << line;
    }
    return lines;
}

TEST(VisaTrace, EachCallIsOneLineWithItsInputsOutputsAndStatus) {
    struct Case {
        const char* function;
        std::function<ViStatus(VisaApi&)> call;
        std::map<std::string, std::string> fields;
        ViStatus status;
    };
    // Outputs the cases write and the table's fields read back from the trace.
    static ViSession session = 0;
    static ViFindList list = 0;
    static ViUInt32 found = 0;
    static ViUInt16 address = 0;
    static std::array<char, 256> text{};
    const std::vector<Case> cases{
        {"viOpenDefaultRM",
         [](VisaApi& v) { return v.openDefaultRM(&session); },
         {{"rm", "1000"}},
         kViSuccess},
        {"viFindRsrc",
         [](VisaApi& v) { return v.findRsrc(1000, "GPIB?*", &list, &found, text.data()); },
         {{"expr", "GPIB?*"}, {"list", "2000"}, {"count", "1"}, {"desc", "GPIB0::14::INSTR"}},
         kViSuccess},
        {"viOpen",
         [](VisaApi& v) { return v.open(1000, "GPIB0::9::INSTR", 0, 0, &session); },
         {{"name", "GPIB0::9::INSTR"}, {"vi", "0"}},
         kViErrorRsrcNotFound},
        {"viGetAttribute",
         [](VisaApi& v) { return v.getAttribute(1, kViAttrGpibPrimaryAddr, &address); },
         {{"attr", "0x3FFF0172"}, {"value", "14"}},
         kViSuccess},
        {"viVPrintf",
         [](VisaApi& v) { return v.printf(1, "SAY \"hi\"\\\t\n"); },
         {{"write", "SAY \"hi\"\\\t\n"}},
         kViSuccess},
        {"viRead",
         [](VisaApi& v) {
             v.printf(1, "*IDN?\n");
             std::array<unsigned char, 8> b{};
             ViUInt32 n = 0;
             return v.read(1, b.data(), 4, &n);
         },
         {{"count", "4"}, {"reply", "Corv"}},
         kViSuccessMaxCnt},
        {"viStatusDesc",
         [](VisaApi& v) { return v.statusDesc(1, kViErrorTimeout, text.data()); },
         {{"status", "0xBFFF0015"}, {"desc", "VI_ERROR_SYSTEM_ERROR: Unknown system error"}},
         kViSuccess},
        {"viClose", [](VisaApi& v) { return v.close(1); }, {}, kViSuccess},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.function);
        FakeVisa fake;
        fake.resources = {{"GPIB0::14::INSTR", kViIntfGpib, 0, 14}};
        fake.onQueryReplies("*IDN?", {{kViSuccess, "Corvane\n"}});
        std::ostringstream out;
        TracingVisa tracing(fake, out);
        EXPECT_EQ(c.call(tracing), c.status);
        const std::vector<trace::Line> lines = callLines(out.str());
        ASSERT_FALSE(lines.empty());
        const trace::Line& line = lines.back();
        EXPECT_EQ(line.function, c.function);
        EXPECT_EQ(line.status, c.status);
        for (const auto& [key, value] : c.fields) EXPECT_EQ(line.fields.at(key), value) << key;
        EXPECT_NE(out.str().find(std::string(statusName(c.status))), std::string::npos);
    }
}

// The same session with and without the recorder sends the same texts and gets the same answers.
TEST(VisaTrace, TheBusTrafficIsTheSameWithAndWithoutIt) {
    auto run = [](VisaApi& api, FakeVisa& fake) {
        ProgramValues program;
        clsVisa visa(&api, std::nullopt, {}, program);
        std::string reply;
        visa.sendWithStatusCheck(7, false, "CALL:BAND PGSM");
        visa.queryInstrument(7, "*IDN?", reply);
        visa.sendInstrument(7, "*RST");
        return std::make_pair(fake.texts(), reply);
    };
    FakeVisa bare;
    bare.onQuery("*IDN?", {"Corvane"});
    FakeVisa underneath;
    underneath.onQuery("*IDN?", {"Corvane"});
    std::ostringstream out;
    TracingVisa tracing(underneath, out);
    EXPECT_EQ(run(bare, bare), run(tracing, underneath));
    EXPECT_EQ(callLines(out.str()).size(),
              6u);  // two writes and a read, a write and a read, a write
}

TEST(TraceFormat, TextsSurviveQuotingAndBrokenLinesAreToldFromComments) {
    const std::string awkward = std::string("a\"b\\c\n\r\t") + '\x01' + "\x7f end";
    bool malformed = true;
    const auto line = trace::parseLine(
        "5 1 viVPrintf 3 write=" + trace::quote(awkward) + " => 0xBFFF0015 VI_ERROR_TMO",
        malformed);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->fields.at("write"), awkward);
    EXPECT_EQ(line->status, kViErrorTimeout);
    for (const std::string& comment : {std::string("# header"), std::string("   ")}) {
        EXPECT_FALSE(trace::parseLine(comment, malformed));
        EXPECT_FALSE(malformed) << comment;
    }
    for (const std::string& broken :
         {std::string("5 1 viRead"), std::string("x 1 viRead 3 => 0x0 VI_SUCCESS"),
          std::string("5 1 viRead 3 reply=\"open => 0x0 VI_SUCCESS"),
          std::string("5 1 viRead 3 reply=\"\\q\" => 0x0 VI_SUCCESS"),
          std::string("5 1 viRead 3 => 0x1FFFFFFFF VI_SUCCESS")}) {
        EXPECT_FALSE(trace::parseLine(broken, malformed));
        EXPECT_TRUE(malformed) << broken;
    }
}

}  // namespace
}  // namespace quillon::instrument
