// SPDX-License-Identifier: MIT
#pragma once

// An in-process VISA library for unit tests: replies come from a script, and every text written
// to an instrument is recorded in order, so a test can compare whole command lists.

#include <cstdarg>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "instrument/visa_api.h"

namespace quillon::testing {

using instrument::ViAttr;
using instrument::ViFindList;
using instrument::ViSession;
using instrument::ViStatus;
using instrument::ViUInt16;
using instrument::ViUInt32;

class FakeVisa final : public instrument::VisaApi {
  public:
    struct Reply {
        ViStatus status = instrument::kViSuccess;
        std::string text;  // sent as is; add "\n" where the instrument would
    };
    struct Exchange {
        ViSession vi = 0;
        std::string text;  // written text without its line feed
        bool query = false;
    };
    static constexpr ViSession kAnySession = 0;

    // Replies to a query, used in order; the last one repeats. text gets a line feed appended.
    void onQuery(const std::string& query, std::vector<std::string> texts,
                 ViSession vi = kAnySession);
    void onQueryReplies(const std::string& query, std::vector<Reply> replies,
                        ViSession vi = kAnySession);
    // Status of writing a command (every time it is written).
    void onWrite(const std::string& command, ViStatus status, ViSession vi = kAnySession);
    // After command is written, the next "SYSTEM:ERR?" replies with errorReply.
    void errorAfter(const std::string& command,
                    std::string errorReply = "-113,\"Undefined header\"");
    // Catch-all consulted before the script; return a reply to take over.
    std::function<std::optional<Reply>(const Exchange&)> handler;
    // Consulted for a query that the script does not answer, before the default replies.
    std::function<std::optional<Reply>(const Exchange&)> fallback;

    // Resources that viFindRsrc lists, with their attributes; sessions are numbered from 1 in
    // the order of the list.
    struct Resource {
        std::string descriptor;
        ViUInt16 kind = instrument::kViIntfGpib;
        ViUInt16 board = 0;
        ViUInt16 address = 0;
    };
    std::vector<Resource> resources;
    ViStatus openRmStatus = instrument::kViSuccess;
    // What viFindNext answers once every resource is listed. A search that keeps asking after
    // a failure gets "no further resource" after kFindNextGiveUp calls, so a test can fail
    // instead of hanging; findNextCalls counts the calls.
    ViStatus findNextEnd = instrument::kViErrorRsrcNotFound;
    static constexpr std::size_t kFindNextGiveUp = 100;
    std::size_t findNextCalls = 0;
    std::string statusDescription = "VI_ERROR_SYSTEM_ERROR: Unknown system error";

    std::vector<Exchange> log;
    std::vector<std::string> texts() const;  // every text written, in order
    std::vector<ViSession> closed;
    std::size_t count(const std::string& text) const;

    ViStatus openDefaultRM(ViSession* rm) override;
    ViStatus statusDesc(ViSession vi, ViStatus status, char* desc) override;
    ViStatus findRsrc(ViSession rm, const char* expr, ViFindList* list, ViUInt32* count,
                      char* desc) override;
    ViStatus findNext(ViFindList list, char* desc) override;
    ViStatus open(ViSession rm, const char* name, ViUInt32 mode, ViUInt32 timeout,
                  ViSession* vi) override;
    ViStatus getAttribute(ViSession vi, ViAttr attr, void* value) override;
    ViStatus close(ViSession vi) override;
    ViStatus vPrintf(ViSession vi, const char* writeFmt, va_list args) override;
    ViStatus read(ViSession vi, unsigned char* buffer, ViUInt32 count, ViUInt32* retCount) override;

  private:
    using Key = std::pair<ViSession, std::string>;
    Reply answer(const Exchange& exchange);
    std::map<Key, std::deque<Reply>> queries_;
    std::map<Key, ViStatus> writes_;
    std::map<std::string, std::string> errorAfter_;
    std::map<ViSession, std::string> pendingError_;
    std::map<ViSession, std::size_t> lastWrite_;  // log index of the text a read answers
    std::size_t nextResource_ = 0;
};

}  // namespace quillon::testing
