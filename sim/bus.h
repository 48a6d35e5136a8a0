// SPDX-License-Identifier: MIT
#pragma once

// The simulated GPIB bus of one resource manager session: the instruments of a profile at
// their addresses, the sessions open to them and the find lists of resource searches.

#include <cstdarg>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "instrument.h"
#include "instrument/visa_types.h"
#include "profile.h"

namespace quillon::sim {

inline constexpr instrument::ViSession kResourceManagerSession = 1;

// Copies text into a caller's buffer of kDescriptorBufferSize characters (a resource
// descriptor, a status description): cut to fit, NUL-terminated; nothing for a null buffer.
void copyToCallerBuffer(const std::string& text, char* buffer);

class Bus {
  public:
    // Throws std::invalid_argument when an instrument of the profile cannot be built.
    explicit Bus(const Profile& profile);

    instrument::ViStatus findResources(instrument::ViSession rm, const char* expression,
                                       instrument::ViFindList* list, instrument::ViUInt32* count,
                                       char* descriptor);
    instrument::ViStatus findNext(instrument::ViFindList list, char* descriptor);
    instrument::ViStatus open(instrument::ViSession rm, const char* name,
                              instrument::ViSession* vi);
    instrument::ViStatus getAttribute(instrument::ViSession vi, instrument::ViAttr attribute,
                                      void* value) const;
    instrument::ViStatus close(instrument::ViSession vi);
    instrument::ViStatus print(instrument::ViSession vi, const char* writeFormat);
    instrument::ViStatus query(instrument::ViSession vi, const char* writeFormat,
                               const char* readFormat, va_list args);

  private:
    struct FindList {
        std::vector<std::string> descriptors;
        std::size_t next = 0;
    };
    Instrument* instrumentOf(instrument::ViSession vi) const;
    instrument::ViStatus timedOut() const;
    instrument::ViStatus send(Instrument& device, const char* writeFormat);

    int timeoutMs_;
    std::vector<std::unique_ptr<Instrument>> instruments_;
    std::map<instrument::ViSession, Instrument*> sessions_;
    std::map<instrument::ViFindList, FindList> findLists_;
    instrument::ViSession nextHandle_ = 100;
};

}  // namespace quillon::sim
