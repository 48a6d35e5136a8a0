// SPDX-License-Identifier: MIT
#include "instrument/visa_api.h"

namespace quillon::instrument {

ViStatus VisaApi::printf(ViSession vi, const char* writeFmt, ...) {
    va_list args;
    va_start(args, writeFmt);
    const ViStatus status = vPrintf(vi, writeFmt, args);
    va_end(args);
    return status;
}

ViStatus VisaApi::queryf(ViSession vi, const char* writeFmt, const char* readFmt, ...) {
    va_list args;
    va_start(args, readFmt);
    const ViStatus status = vQueryf(vi, writeFmt, readFmt, args);
    va_end(args);
    return status;
}

}  // namespace quillon::instrument
