// SPDX-License-Identifier: MIT
#pragma once

// The handful of VISA types, status codes and attributes this program uses, written from the
// values the VISA standard publishes. No vendor header is needed to build.

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define QUILLON_VISA_CALL __stdcall
#else
#define QUILLON_VISA_CALL
#endif

namespace quillon::instrument {

using ViStatus = std::int32_t;    // negative: error, positive: warning, 0: success
using ViSession = std::uint32_t;  // also used for resource-manager sessions
using ViFindList = std::uint32_t;
using ViUInt32 = std::uint32_t;
using ViUInt16 = std::uint16_t;
using ViAttr = std::uint32_t;

inline constexpr ViStatus kViSuccess = 0;
inline constexpr ViStatus kViErrorRsrcNotFound = static_cast<ViStatus>(0xBFFF0011u);
inline constexpr ViStatus kViErrorTimeout = static_cast<ViStatus>(0xBFFF0015u);
// Used by the simulated bus; named here so both sides agree.
inline constexpr ViStatus kViErrorInvObject = static_cast<ViStatus>(0xBFFF000Eu);
inline constexpr ViStatus kViErrorSystemError = static_cast<ViStatus>(0xBFFF0000u);
inline constexpr ViStatus kViErrorIo = static_cast<ViStatus>(0xBFFF003Eu);
inline constexpr ViStatus kViErrorNsupAttr = static_cast<ViStatus>(0xBFFF001Du);
inline constexpr ViStatus kViErrorInvFmt = static_cast<ViStatus>(0xBFFF002Cu);
// A read that filled the buffer.
inline constexpr ViStatus kViSuccessMaxCnt = static_cast<ViStatus>(0x3FFF0006);

// The three 16-bit attributes read from an instrument session.
inline constexpr ViAttr kViAttrIntfType = 0x3FFF0171u;
inline constexpr ViAttr kViAttrGpibPrimaryAddr = 0x3FFF0172u;
inline constexpr ViAttr kViAttrIntfNum = 0x3FFF0176u;

// Interface kinds reported by kViAttrIntfType.
inline constexpr ViUInt16 kViIntfGpib = 1;
inline constexpr ViUInt16 kViIntfVxi = 2;
inline constexpr ViUInt16 kViIntfGpibVxi = 3;
inline constexpr ViUInt16 kViIntfAsrl = 4;

inline constexpr ViUInt32 kViNull = 0;

// Buffers the program hands to the library.
inline constexpr std::size_t kReplyBufferSize = 512;
inline constexpr std::size_t kDescriptorBufferSize = 256;

// Read format for every reply: "%t" bounded to the reply buffer (511 characters and the NUL),
// so a longer reply is cut, never written past the buffer.
inline constexpr const char* kReplyReadFormat = "%511t";

}  // namespace quillon::instrument

// The C entry points of a VISA library, as the standard declares them. The loader looks them up
// by these names and the simulated test set exports them.
extern "C" {
using quillon_viOpenDefaultRM_t =
    quillon::instrument::ViStatus(QUILLON_VISA_CALL*)(quillon::instrument::ViSession*);
using quillon_viStatusDesc_t = quillon::instrument::ViStatus(QUILLON_VISA_CALL*)(
    quillon::instrument::ViSession, quillon::instrument::ViStatus, char*);
using quillon_viFindRsrc_t = quillon::instrument::ViStatus(QUILLON_VISA_CALL*)(
    quillon::instrument::ViSession, const char*, quillon::instrument::ViFindList*,
    quillon::instrument::ViUInt32*, char*);
using quillon_viFindNext_t =
    quillon::instrument::ViStatus(QUILLON_VISA_CALL*)(quillon::instrument::ViFindList, char*);
using quillon_viOpen_t = quillon::instrument::ViStatus(QUILLON_VISA_CALL*)(
    quillon::instrument::ViSession, const char*, quillon::instrument::ViUInt32,
    quillon::instrument::ViUInt32, quillon::instrument::ViSession*);
using quillon_viGetAttribute_t = quillon::instrument::ViStatus(QUILLON_VISA_CALL*)(
    quillon::instrument::ViSession, quillon::instrument::ViAttr, void*);
using quillon_viClose_t =
    quillon::instrument::ViStatus(QUILLON_VISA_CALL*)(quillon::instrument::ViSession);
using quillon_viVPrintf_t = quillon::instrument::ViStatus(QUILLON_VISA_CALL*)(
    quillon::instrument::ViSession, const char*, va_list);
using quillon_viVQueryf_t = quillon::instrument::ViStatus(QUILLON_VISA_CALL*)(
    quillon::instrument::ViSession, const char*, const char*, va_list);
}
