// SPDX-License-Identifier: MIT
// The --trace recorder: one parseable line per call with what went in and came out, and the
// bus traffic untouched.

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
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

FakeVisa idnFake() {
    FakeVisa fake;
    fake.resources = {{"GPIB0::14::INSTR", kViIntfGpib, 0, 14}};
    fake.onQueryReplies("*IDN?", {{kViSuccess, "Corvane\n"}});
    return fake;
}

// Each call hands back its status and is one line with its inputs, outputs and status.
TEST(VisaTrace, EachCallIsOneLineWithItsInputsOutputsAndStatus) {
    FakeVisa fake = idnFake();
    std::ostringstream out;
    TracingVisa v(fake, out);
    ViSession session = 0;
    ViFindList list = 0;
    ViUInt32 count = 0;
    ViUInt16 address = 0;
    std::array<char, 256> text{};
    std::array<unsigned char, 8> reply{};
    const ViStatus returned[] = {
        v.openDefaultRM(&session),
        v.findRsrc(1000, "GPIB?*", &list, &count, text.data()),
        v.open(1000, "GPIB0::9::INSTR", 0, 0, &session),
        v.getAttribute(1, kViAttrGpibPrimaryAddr, &address),
        v.printf(1, "SAY \"hi\"\\\t\n"),
        v.printf(1, "*IDN?\n"),
        v.read(1, reply.data(), 4, &count),
        v.statusDesc(1, kViErrorTimeout, text.data()),
        v.close(1),
    };
    using Fields = std::map<std::string, std::string>;
    const std::tuple<const char*, ViStatus, Fields> expected[] = {
        {"viOpenDefaultRM", kViSuccess, {{"rm", "1000"}}},
        {"viFindRsrc",
         kViSuccess,
         {{"expr", "GPIB?*"}, {"list", "2000"}, {"count", "1"}, {"desc", "GPIB0::14::INSTR"}}},
        {"viOpen", kViErrorRsrcNotFound, {{"name", "GPIB0::9::INSTR"}, {"vi", "0"}}},
        {"viGetAttribute", kViSuccess, {{"attr", "0x3FFF0172"}, {"value", "14"}}},
        {"viVPrintf", kViSuccess, {{"write", "SAY \"hi\"\\\t\n"}}},
        {"viVPrintf", kViSuccess, {{"write", "*IDN?\n"}}},
        {"viRead", kViSuccessMaxCnt, {{"count", "4"}, {"reply", "Corv"}}},
        {"viStatusDesc",
         kViSuccess,
         {{"status", "0xBFFF0015"}, {"desc", "VI_ERROR_SYSTEM_ERROR: Unknown system error"}}},
        {"viClose", kViSuccess, {}},
    };
    const std::vector<trace::Line> lines = callLines(out.str());
    ASSERT_EQ(lines.size(), std::size(expected));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& [function, status, fields] = expected[i];
        SCOPED_TRACE(function);
        EXPECT_EQ(lines[i].function, function);
        EXPECT_EQ(lines[i].status, status);
        EXPECT_EQ(returned[i], status);
        for (const auto& [key, value] : fields) EXPECT_EQ(lines[i].fields.at(key), value) << key;
        EXPECT_NE(out.str().find(std::string(statusName(status)) + "\n"), std::string::npos);
    }
}

// The same session with and without the recorder sends the same texts and gets the same answers.
TEST(VisaTrace, TheBusTrafficIsTheSameWithAndWithoutIt) {
    const auto run = [](VisaApi& api, FakeVisa& fake) {
        ProgramValues program;
        clsVisa visa(&api, std::nullopt, {}, program);
        std::string reply;
        visa.sendWithStatusCheck(7, false, "CALL:BAND PGSM");
        visa.queryInstrument(7, "*IDN?", reply);
        visa.sendInstrument(7, "*RST");
        return std::make_pair(fake.texts(), reply);
    };
    FakeVisa bare = idnFake(), underneath = idnFake();
    std::ostringstream out;
    TracingVisa tracing(underneath, out);
    EXPECT_EQ(run(bare, bare), run(tracing, underneath));
    // two writes and a read, a write and a read, a write
    EXPECT_EQ(callLines(out.str()).size(), 6u);
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
