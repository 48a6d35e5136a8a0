// SPDX-License-Identifier: MIT
#pragma once

// The handful of VISA types, status codes and attributes this program uses, written from the
// values the VISA standard publishes. No vendor header is needed to build.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#if defined(_WIN32) && !defined(_WIN64)
#define QUILLON_VISA_CALL __stdcall
#else
#define QUILLON_VISA_CALL
#endif
// Functions with a variable argument list use the C calling convention everywhere.
#define QUILLON_VISA_CALLC

namespace quillon::instrument {

using ViStatus = std::int32_t;    // negative: error, positive: warning, 0: success
using ViSession = std::uint32_t;  // also used for resource-manager sessions
using ViFindList = std::uint32_t;
using ViUInt32 = std::uint32_t;
using ViUInt16 = std::uint16_t;
using ViAttr = std::uint32_t;
// An attribute value as viSetAttribute takes it: as wide as a pointer.
using ViAttrState = std::conditional_t<sizeof(void*) == 8, std::uint64_t, std::uint32_t>;

inline constexpr ViStatus kViSuccess = 0;
inline constexpr ViStatus kViErrorRsrcNotFound = static_cast<ViStatus>(0xBFFF0011u);
inline constexpr ViStatus kViErrorTimeout = static_cast<ViStatus>(0xBFFF0015u);
// Used by the simulated bus; named here so both sides agree.
inline constexpr ViStatus kViErrorInvObject = static_cast<ViStatus>(0xBFFF000Eu);
inline constexpr ViStatus kViErrorSystemError = static_cast<ViStatus>(0xBFFF0000u);
inline constexpr ViStatus kViErrorIo = static_cast<ViStatus>(0xBFFF003Eu);
inline constexpr ViStatus kViErrorNsupAttr = static_cast<ViStatus>(0xBFFF001Du);
inline constexpr ViStatus kViErrorInvFmt = static_cast<ViStatus>(0xBFFF003Fu);
inline constexpr ViStatus kViErrorNsupFmt = static_cast<ViStatus>(0xBFFF0041u);
inline constexpr ViStatus kViErrorNsupOper = static_cast<ViStatus>(0xBFFF0067u);
inline constexpr ViStatus kViErrorInvRsrcName = static_cast<ViStatus>(0xBFFF0012u);
inline constexpr ViStatus kViErrorRsrcLocked = static_cast<ViStatus>(0xBFFF000Fu);
inline constexpr ViStatus kViErrorInvLockType = static_cast<ViStatus>(0xBFFF0020u);
inline constexpr ViStatus kViErrorSesnNlocked = static_cast<ViStatus>(0xBFFF009Cu);
inline constexpr ViStatus kViErrorInvEvent = static_cast<ViStatus>(0xBFFF0026u);
inline constexpr ViStatus kViErrorInvMech = static_cast<ViStatus>(0xBFFF0027u);
inline constexpr ViStatus kViErrorAttrReadonly = static_cast<ViStatus>(0xBFFF001Fu);
inline constexpr ViStatus kViErrorNsupAttrState = static_cast<ViStatus>(0xBFFF001Eu);
inline constexpr ViStatus kViErrorUserBuf = static_cast<ViStatus>(0xBFFF0071u);
// Completion codes (positive: the call succeeded and says how).
inline constexpr ViStatus kViSuccessEventEn = static_cast<ViStatus>(0x3FFF0002);
inline constexpr ViStatus kViSuccessEventDis = static_cast<ViStatus>(0x3FFF0003);
inline constexpr ViStatus kViSuccessQueueEmpty = static_cast<ViStatus>(0x3FFF0004);
inline constexpr ViStatus kViSuccessTermChar = static_cast<ViStatus>(0x3FFF0005);
// A read that filled the buffer.
inline constexpr ViStatus kViSuccessMaxCnt = static_cast<ViStatus>(0x3FFF0006);
inline constexpr ViStatus kViSuccessNestedExclusive = static_cast<ViStatus>(0x3FFF009A);
inline constexpr ViStatus kViSuccessNestedShared = static_cast<ViStatus>(0x3FFF0099);

// The three 16-bit attributes the program reads from an instrument session.
inline constexpr ViAttr kViAttrIntfType = 0x3FFF0171u;
inline constexpr ViAttr kViAttrGpibPrimaryAddr = 0x3FFF0172u;
inline constexpr ViAttr kViAttrIntfNum = 0x3FFF0176u;
// More session attributes, which the simulated library serves to other VISA clients.
inline constexpr ViAttr kViAttrGpibSecondaryAddr = 0x3FFF0173u;  // ViUInt16
inline constexpr ViAttr kViAttrTmoValue = 0x3FFF001Au;           // ViUInt32, milliseconds
inline constexpr ViAttr kViAttrTermChar = 0x3FFF0018u;           // ViUInt8
inline constexpr ViAttr kViAttrTermCharEn = 0x3FFF0038u;         // ViBoolean
inline constexpr ViAttr kViAttrSendEndEn = 0x3FFF0016u;          // ViBoolean
inline constexpr ViAttr kViAttrRsrcName = 0xBFFF0002u;           // string
inline constexpr ViAttr kViAttrRsrcClass = 0xBFFF0001u;          // string

inline constexpr ViUInt32 kViTmoInfinite = 0xFFFFFFFFu;
inline constexpr ViUInt16 kViNoSecAddr = 0xFFFF;

// Events, their mechanisms and lock kinds.
inline constexpr ViUInt32 kViEventServiceReq = 0x3FFF200Bu;
inline constexpr ViUInt32 kViEventIoCompletion = 0x3FFF2009u;
inline constexpr ViUInt32 kViAllEnabledEvents = 0x3FFF7FFFu;
inline constexpr ViUInt16 kViQueue = 1;
inline constexpr ViUInt16 kViHndlr = 2;
inline constexpr ViUInt16 kViSuspendHndlr = 4;
inline constexpr ViUInt16 kViAllMech = 0xFFFF;
inline constexpr ViUInt32 kViExclusiveLock = 1;
inline constexpr ViUInt32 kViSharedLock = 2;

// Interface kinds reported by kViAttrIntfType.
inline constexpr ViUInt16 kViIntfGpib = 1;
inline constexpr ViUInt16 kViIntfVxi = 2;
inline constexpr ViUInt16 kViIntfGpibVxi = 3;
inline constexpr ViUInt16 kViIntfAsrl = 4;

inline constexpr ViUInt32 kViNull = 0;

// Buffers the program hands to the library.
inline constexpr std::size_t kReplyBufferSize = 512;
inline constexpr std::size_t kDescriptorBufferSize = 256;

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
using quillon_viRead_t = quillon::instrument::ViStatus(QUILLON_VISA_CALL*)(
    quillon::instrument::ViSession, unsigned char*, quillon::instrument::ViUInt32,
    quillon::instrument::ViUInt32*);
}
