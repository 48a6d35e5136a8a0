// SPDX-License-Identifier: MIT
#include "instrument/visa_trace.h"

#include <cstdio>
#include <cstring>

#include "instrument/trace_format.h"

namespace quillon::instrument {
namespace {

struct StatusName {
    ViStatus status;
    const char* name;
};

constexpr StatusName kStatusNames[] = {
    {kViSuccess, "VI_SUCCESS"},
    {kViSuccessEventEn, "VI_SUCCESS_EVENT_EN"},
    {kViSuccessEventDis, "VI_SUCCESS_EVENT_DIS"},
    {kViSuccessQueueEmpty, "VI_SUCCESS_QUEUE_EMPTY"},
    {kViSuccessTermChar, "VI_SUCCESS_TERM_CHAR"},
    {kViSuccessMaxCnt, "VI_SUCCESS_MAX_CNT"},
    {kViSuccessNestedShared, "VI_SUCCESS_NESTED_SHARED"},
    {kViSuccessNestedExclusive, "VI_SUCCESS_NESTED_EXCLUSIVE"},
    {static_cast<ViStatus>(0x3FFF0085), "VI_WARN_UNKNOWN_STATUS"},
    {kViErrorSystemError, "VI_ERROR_SYSTEM_ERROR"},
    {kViErrorInvObject, "VI_ERROR_INV_OBJECT"},
    {kViErrorRsrcLocked, "VI_ERROR_RSRC_LOCKED"},
    {kViErrorRsrcNotFound, "VI_ERROR_RSRC_NFOUND"},
    {kViErrorInvRsrcName, "VI_ERROR_INV_RSRC_NAME"},
    {kViErrorTimeout, "VI_ERROR_TMO"},
    {kViErrorNsupAttr, "VI_ERROR_NSUP_ATTR"},
    {kViErrorNsupAttrState, "VI_ERROR_NSUP_ATTR_STATE"},
    {kViErrorAttrReadonly, "VI_ERROR_ATTR_READONLY"},
    {kViErrorInvLockType, "VI_ERROR_INV_LOCK_TYPE"},
    {kViErrorInvEvent, "VI_ERROR_INV_EVENT"},
    {kViErrorInvMech, "VI_ERROR_INV_MECH"},
    {kViErrorIo, "VI_ERROR_IO"},
    {kViErrorInvFmt, "VI_ERROR_INV_FMT"},
    {kViErrorNsupFmt, "VI_ERROR_NSUP_FMT"},
    {kViErrorNsupOper, "VI_ERROR_NSUP_OPER"},
    {kViErrorUserBuf, "VI_ERROR_USER_BUF"},
    {kViErrorSesnNlocked, "VI_ERROR_SESN_NLOCKED"},
};

// The attributes the program reads are 16 bits wide.
bool sixteenBitAttribute(ViAttr attr) {
    return attr == kViAttrIntfType || attr == kViAttrIntfNum || attr == kViAttrGpibPrimaryAddr ||
           attr == kViAttrGpibSecondaryAddr;
}

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

// A caller's text buffer, bounded by its known size.
std::string bounded(const char* text, std::size_t size) {
    if (text == nullptr) {
        return {};
    }
    const void* end = std::memchr(text, '\0', size);
    return std::string(text, end != nullptr ? static_cast<const char*>(end) - text : size);
}

}  // namespace

const char* statusName(ViStatus status) {
    for (const StatusName& entry : kStatusNames) {
        if (entry.status == status) {
            return entry.name;
        }
    }
    return "VI_UNKNOWN";
}

TracingVisa::TracingVisa(VisaApi& inner, std::ostream& out)
    : inner_(inner), out_(out), origin_(Clock::now()) {
    out_ << "# VISA calls: start_us duration_us function session [key=value ...] => status name\n"
         << std::flush;
}

template <typename Call>
ViStatus TracingVisa::traced(const char* function, ViSession session, Call call) {
    fields_.clear();
    const Clock::time_point start = Clock::now();
    const ViStatus status = call();
    const Clock::time_point end = Clock::now();
    using std::chrono::duration_cast;
    using std::chrono::microseconds;
    out_ << duration_cast<microseconds>(start - origin_).count() << ' '
         << duration_cast<microseconds>(end - start).count() << ' ' << function << ' ' << session
         << fields_ << " => " << hex(static_cast<std::uint32_t>(status)) << ' '
         << statusName(status) << std::endl;
    return status;
}

ViStatus TracingVisa::openDefaultRM(ViSession* rm) {
    return traced("viOpenDefaultRM", 0, [&] {
        const ViStatus status = inner_.openDefaultRM(rm);
        if (rm != nullptr) {
            fields_ += " rm=" + std::to_string(*rm);
        }
        return status;
    });
}

ViStatus TracingVisa::statusDesc(ViSession vi, ViStatus status, char* desc) {
    return traced("viStatusDesc", vi, [&] {
        fields_ += " status=" + hex(static_cast<std::uint32_t>(status));
        const ViStatus result = inner_.statusDesc(vi, status, desc);
        fields_ += " desc=" + trace::quote(bounded(desc, kDescriptorBufferSize));
        return result;
    });
}

ViStatus TracingVisa::findRsrc(ViSession rm, const char* expr, ViFindList* list, ViUInt32* count,
                               char* desc) {
    return traced("viFindRsrc", rm, [&] {
        fields_ += " expr=" + trace::quote(expr != nullptr ? expr : "");
        const ViStatus status = inner_.findRsrc(rm, expr, list, count, desc);
        if (list != nullptr) {
            fields_ += " list=" + std::to_string(*list);
        }
        if (count != nullptr) {
            fields_ += " count=" + std::to_string(*count);
        }
        fields_ += " desc=" + trace::quote(bounded(desc, kDescriptorBufferSize));
        return status;
    });
}

ViStatus TracingVisa::findNext(ViFindList list, char* desc) {
    return traced("viFindNext", list, [&] {
        const ViStatus status = inner_.findNext(list, desc);
        fields_ += " desc=" + trace::quote(bounded(desc, kDescriptorBufferSize));
        return status;
    });
}

ViStatus TracingVisa::open(ViSession rm, const char* name, ViUInt32 mode, ViUInt32 timeout,
                           ViSession* vi) {
    return traced("viOpen", rm, [&] {
        fields_ += " name=" + trace::quote(name != nullptr ? name : "");
        const ViStatus status = inner_.open(rm, name, mode, timeout, vi);
        if (vi != nullptr) {
            fields_ += " vi=" + std::to_string(*vi);
        }
        return status;
    });
}

ViStatus TracingVisa::getAttribute(ViSession vi, ViAttr attr, void* value) {
    return traced("viGetAttribute", vi, [&] {
        fields_ += " attr=" + hex(attr);
        const ViStatus status = inner_.getAttribute(vi, attr, value);
        if (status >= 0 && value != nullptr && sixteenBitAttribute(attr)) {
            ViUInt16 got = 0;
            std::memcpy(&got, value, sizeof got);
            fields_ += " value=" + std::to_string(got);
        }
        return status;
    });
}

ViStatus TracingVisa::close(ViSession vi) {
    return traced("viClose", vi, [&] { return inner_.close(vi); });
}

ViStatus TracingVisa::vPrintf(ViSession vi, const char* writeFmt, va_list args) {
    return traced("viVPrintf", vi, [&] {
        fields_ += " write=" + trace::quote(writeFmt != nullptr ? writeFmt : "");
        return inner_.vPrintf(vi, writeFmt, args);
    });
}

ViStatus TracingVisa::read(ViSession vi, unsigned char* buffer, ViUInt32 count,
                           ViUInt32* retCount) {
    return traced("viRead", vi, [&] {
        fields_ += " count=" + std::to_string(count);
        const ViStatus status = inner_.read(vi, buffer, count, retCount);
        const ViUInt32 got = retCount != nullptr && *retCount <= count ? *retCount : 0;
        fields_ += " reply=" + trace::quote(std::string_view(reinterpret_cast<const char*>(buffer),
                                                             buffer ? got : 0));
        return status;
    });
}

}  // namespace quillon::instrument
