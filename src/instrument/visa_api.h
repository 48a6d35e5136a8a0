// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdarg>
#include <span>

#include "instrument/visa_types.h"

namespace quillon::instrument {

// The VISA functions this program calls, one virtual per C function and with the C meaning.
// Implementations: VisaLibrary (a VISA shared library loaded at run time) and, in the tests, a
// scripted fake that records the bus traffic.
class VisaApi {
  public:
    virtual ~VisaApi() = default;

    virtual ViStatus openDefaultRM(ViSession* rm) = 0;
    // desc must hold kDescriptorBufferSize characters.
    virtual ViStatus statusDesc(ViSession vi, ViStatus status, char* desc) = 0;
    // desc must hold kDescriptorBufferSize characters.
    virtual ViStatus findRsrc(ViSession rm, const char* expr, ViFindList* list, ViUInt32* count,
                              char* desc) = 0;
    virtual ViStatus findNext(ViFindList list, char* desc) = 0;
    virtual ViStatus open(ViSession rm, const char* name, ViUInt32 mode, ViUInt32 timeout,
                          ViSession* vi) = 0;
    virtual ViStatus getAttribute(ViSession vi, ViAttr attr, void* value) = 0;
    virtual ViStatus close(ViSession vi) = 0;
    virtual ViStatus vPrintf(ViSession vi, const char* writeFmt, va_list args) = 0;
    // Reads at most count bytes; retCount receives how many arrived (no NUL is added).
    virtual ViStatus read(ViSession vi, unsigned char* buffer, ViUInt32 count,
                          ViUInt32* retCount) = 0;

    // Variadic front door to vPrintf.
    ViStatus printf(ViSession vi, const char* writeFmt, ...);

    // Every query of the program: text (ending in a line feed) goes out with vPrintf, the reply
    // comes back with read into reply (at least one character), NUL-terminated and empty after
    // a failure. Returns the read's status, or the write's when the write failed or warned and
    // the read succeeded.
    using ReplyBuffer = std::array<char, kReplyBufferSize>;
    ViStatus query(ViSession vi, const char* text, std::span<char> reply);

  protected:
    VisaApi() = default;
    VisaApi(const VisaApi&) = default;
    VisaApi& operator=(const VisaApi&) = default;
};

}  // namespace quillon::instrument
