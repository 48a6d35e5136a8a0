// SPDX-License-Identifier: MIT
#pragma once

// The simulated GPIB bus of one resource manager session: the instruments of a profile at
// their addresses, the sessions open to them with their attributes, events and locks, and the
// find lists of resource searches.

#include <cstdarg>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "instrument.h"
#include "instrument/visa_types.h"
#include "profile.h"

namespace quillon::sim {

inline constexpr instrument::ViSession kResourceManagerSession = 1;
// A session's time-out value until it is set (VI_ATTR_TMO_VALUE).
inline constexpr instrument::ViUInt32 kDefaultTimeoutMs = 2000;

// Copies text into a caller's buffer of kDescriptorBufferSize characters (a resource
// descriptor, a status description): cut to fit, NUL-terminated; nothing for a null buffer.
void copyToCallerBuffer(const std::string& text, char* buffer);

class Bus {
  public:
    using ViSession = instrument::ViSession;
    using ViStatus = instrument::ViStatus;
    using ViUInt32 = instrument::ViUInt32;

    // Throws std::invalid_argument when an instrument of the profile cannot be built.
    explicit Bus(const Profile& profile);

    ViStatus findResources(ViSession rm, const char* expression, instrument::ViFindList* list,
                           ViUInt32* count, char* descriptor);
    ViStatus findNext(instrument::ViFindList list, char* descriptor);
    ViStatus open(ViSession rm, const char* name, ViSession* vi);
    ViStatus close(ViSession vi);

    ViStatus getAttribute(ViSession vi, instrument::ViAttr attribute, void* value) const;
    ViStatus setAttribute(ViSession vi, instrument::ViAttr attribute, std::uint64_t value);

    ViStatus write(ViSession vi, const unsigned char* buffer, ViUInt32 count, ViUInt32* written);
    ViStatus read(ViSession vi, unsigned char* buffer, ViUInt32 count, ViUInt32* received);
    ViStatus print(ViSession vi, const char* writeFormat);
    ViStatus scan(ViSession vi, const char* readFormat, va_list args);
    ViStatus query(ViSession vi, const char* writeFormat, const char* readFormat, va_list args);
    ViStatus clear(ViSession vi);
    ViStatus readStatusByte(ViSession vi, instrument::ViUInt16* statusByte);

    ViStatus enableEvent(ViSession vi, ViUInt32 event, instrument::ViUInt16 mechanism);
    ViStatus disableEvent(ViSession vi, ViUInt32 event, instrument::ViUInt16 mechanism);
    ViStatus discardEvents(ViSession vi, ViUInt32 event, instrument::ViUInt16 mechanism);

    ViStatus lock(ViSession vi, ViUInt32 lockType, const char* requestedKey, char* accessKey);
    ViStatus unlock(ViSession vi);

  private:
    struct Session {
        Instrument* device = nullptr;
        std::string resource;  // the name it was opened by, expanded
        instrument::ViUInt16 secondary = instrument::kViNoSecAddr;
        ViUInt32 timeoutMs = kDefaultTimeoutMs;
        unsigned char termChar = '\n';
        bool termCharEnabled = false;
        bool sendEnd = true;
        std::string unread;  // what a read left of a reply
        std::set<ViUInt32> events;
        int exclusiveLocks = 0;
        int sharedLocks = 0;
    };
    struct FindList {
        std::vector<std::string> descriptors;
        std::size_t next = 0;
    };
    const Session* sessionOf(ViSession vi) const;
    // The session when it may do I/O now; kViErrorRsrcLocked when another session holds the
    // device's exclusive lock.
    ViStatus usable(ViSession vi, Session*& session);
    ViStatus timedOut(const Session& session) const;
    ViStatus send(Session& session, const std::string& text);
    // Moves the next reply into session.unread unless something is left there already.
    ViStatus fetchReply(Session& session);

    int timeoutMs_;
    std::vector<std::unique_ptr<Instrument>> instruments_;
    std::map<ViSession, Session> sessions_;
    std::map<instrument::ViFindList, FindList> findLists_;
    ViSession nextHandle_ = 100;
};

}  // namespace quillon::sim
