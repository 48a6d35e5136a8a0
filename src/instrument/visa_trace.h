// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <memory>
#include <ostream>
#include <string>

#include "instrument/visa_api.h"

namespace quillon::instrument {

// The standard name of a status ("VI_ERROR_TMO"); "VI_UNKNOWN" for one this program has no
// name for.
const char* statusName(ViStatus status);

// A VisaApi that passes every call on to another one unchanged and writes one line per call to
// a stream, in the form trace_format.h describes: when it started (microseconds since this
// object was made, on the monotonic clock), how long it took, the function, the session, what
// went in and came out, and the status with its name. Each line is flushed as it is written,
// so a trace survives a program that is killed.
class TracingVisa final : public VisaApi {
  public:
    TracingVisa(VisaApi& inner, std::ostream& out);

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
    using Clock = std::chrono::steady_clock;
    template <typename Call>
    ViStatus traced(const char* function, ViSession session, Call call);

    VisaApi& inner_;
    std::ostream& out_;
    Clock::time_point origin_;
    std::string fields_;  // the key=value pairs of the call under way
};

}  // namespace quillon::instrument
