// SPDX-License-Identifier: MIT
#include "fake_visa.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace quillon::testing {
namespace {

std::string stripLineFeed(const char* text) {
    std::string s(text);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

void copyDescriptor(const std::string& text, char* desc) {
    const std::size_t n = std::min(text.size(), instrument::kDescriptorBufferSize - 1);
    std::memcpy(desc, text.data(), n);
    desc[n] = '\0';
}

}  // namespace

void FakeVisa::onQuery(const std::string& query, std::vector<std::string> texts, ViSession vi) {
    std::vector<Reply> replies;
    for (std::string& t : texts) replies.push_back({instrument::kViSuccess, std::move(t) + "\n"});
    onQueryReplies(query, std::move(replies), vi);
}

void FakeVisa::onQueryReplies(const std::string& query, std::vector<Reply> replies, ViSession vi) {
    queries_[{vi, query}] = std::deque<Reply>(replies.begin(), replies.end());
}

void FakeVisa::onWrite(const std::string& command, ViStatus status, ViSession vi) {
    writes_[{vi, command}] = status;
}

void FakeVisa::errorAfter(const std::string& command, std::string errorReply) {
    errorAfter_[command] = std::move(errorReply);
}

std::vector<std::string> FakeVisa::texts() const {
    std::vector<std::string> out;
    out.reserve(log.size());
    for (const Exchange& e : log) out.push_back(e.text);
    return out;
}

std::size_t FakeVisa::count(const std::string& text) const {
    return static_cast<std::size_t>(
        std::count_if(log.begin(), log.end(), [&](const Exchange& e) { return e.text == text; }));
}

FakeVisa::Reply FakeVisa::answer(const Exchange& exchange) {
    if (handler) {
        if (std::optional<Reply> r = handler(exchange)) return *r;
    }
    for (const ViSession vi : {exchange.vi, kAnySession}) {
        auto it = queries_.find({vi, exchange.text});
        if (it == queries_.end()) continue;
        Reply r = it->second.front();
        if (it->second.size() > 1) it->second.pop_front();
        return r;
    }
    if (fallback) {
        if (std::optional<Reply> r = fallback(exchange)) return *r;
    }
    if (exchange.text == "SYSTEM:ERR?") {
        auto pending = pendingError_.find(exchange.vi);
        if (pending != pendingError_.end()) {
            Reply r{instrument::kViSuccess, pending->second + "\n"};
            pendingError_.erase(pending);
            return r;
        }
        return {instrument::kViSuccess, "+0,\"No error\"\n"};
    }
    return {instrument::kViSuccess, "\n"};
}

ViStatus FakeVisa::openDefaultRM(ViSession* rm) {
    *rm = 1000;
    return openRmStatus;
}

ViStatus FakeVisa::statusDesc(ViSession, ViStatus, char* desc) {
    copyDescriptor(statusDescription, desc);
    return instrument::kViSuccess;
}

ViStatus FakeVisa::findRsrc(ViSession, const char*, ViFindList* list, ViUInt32* count, char* desc) {
    *list = 2000;
    *count = static_cast<ViUInt32>(resources.size());
    nextResource_ = 0;
    if (resources.empty()) {
        desc[0] = '\0';
        return instrument::kViErrorRsrcNotFound;
    }
    copyDescriptor(resources[nextResource_++].descriptor, desc);
    return instrument::kViSuccess;
}

ViStatus FakeVisa::findNext(ViFindList, char* desc) {
    if (++findNextCalls > kFindNextGiveUp) return instrument::kViErrorRsrcNotFound;
    if (nextResource_ >= resources.size()) return findNextEnd;
    copyDescriptor(resources[nextResource_++].descriptor, desc);
    return instrument::kViSuccess;
}

ViStatus FakeVisa::open(ViSession, const char* name, ViUInt32, ViUInt32, ViSession* vi) {
    for (std::size_t i = 0; i < resources.size(); ++i) {
        if (resources[i].descriptor == name) {
            *vi = static_cast<ViSession>(i + 1);
            return instrument::kViSuccess;
        }
    }
    *vi = 0;
    return instrument::kViErrorRsrcNotFound;
}

ViStatus FakeVisa::getAttribute(ViSession vi, ViAttr attr, void* value) {
    if (vi == 0 || vi > resources.size()) return instrument::kViErrorInvObject;
    const Resource& r = resources[vi - 1];
    const std::map<ViAttr, ViUInt16> values = {{instrument::kViAttrIntfType, r.kind},
                                               {instrument::kViAttrIntfNum, r.board},
                                               {instrument::kViAttrGpibPrimaryAddr, r.address}};
    const auto found = values.find(attr);
    if (found == values.end()) return instrument::kViErrorNsupAttr;
    std::memcpy(value, &found->second, sizeof found->second);
    return instrument::kViSuccess;
}

ViStatus FakeVisa::close(ViSession vi) {
    closed.push_back(vi);
    return instrument::kViSuccess;
}

ViStatus FakeVisa::vPrintf(ViSession vi, const char* writeFmt, va_list) {
    Exchange e{vi, stripLineFeed(writeFmt), false};
    lastWrite_[vi] = log.size();
    log.push_back(e);
    auto it = errorAfter_.find(e.text);
    if (it != errorAfter_.end()) pendingError_[vi] = it->second;
    for (const ViSession key : {vi, kAnySession}) {
        auto w = writes_.find({key, e.text});
        if (w != writes_.end()) return w->second;
    }
    return instrument::kViSuccess;
}

// A read answers the text last written on the session, which makes that exchange a query.
ViStatus FakeVisa::read(ViSession vi, unsigned char* buffer, ViUInt32 count, ViUInt32* retCount) {
    *retCount = 0;
    const auto last = lastWrite_.find(vi);
    if (last == lastWrite_.end()) return instrument::kViErrorTimeout;
    Exchange& e = log[last->second];
    lastWrite_.erase(last);
    e.query = true;
    const Reply r = answer(e);
    const std::size_t n = std::min<std::size_t>(r.text.size(), count);
    std::memcpy(buffer, r.text.data(), n);  // a failed read may leave part of a reply behind
    *retCount = static_cast<ViUInt32>(n);
    if (r.status < 0) return r.status;
    return n < r.text.size() ? instrument::kViSuccessMaxCnt : r.status;
}

}  // namespace quillon::testing
