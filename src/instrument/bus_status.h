// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "instrument/visa_types.h"

namespace quillon::instrument {

// How one exchange with an instrument ended, with what was sent and what the library said, so
// that whoever sees a failure can tell which exchange it was and why.
struct BusStatus {
    enum class Kind {
        Ok,
        Timeout,          // the library's time-out
        IoError,          // any other failing status, a warning where none is allowed, no library
        InstrumentError,  // sent, but the instrument queued an error for it
    };

    Kind kind = Kind::Ok;
    std::string command;               // the text sent, without its line feed; failures only
    ViStatus visaStatus = kViSuccess;  // of the call that decided the kind
    std::string errorQueue;            // the error queue's reply, for InstrumentError

    bool ok() const { return kind == Kind::Ok; }
};

// The kind of an exchange whose only call returned status: 0 is Ok, the time-out is Timeout,
// anything else (warnings included) an I/O error. The command is kept only for a failure: a
// successful exchange needs no explaining, and copying every command text cost the bus call a
// tenth of its instructions.
inline BusStatus statusOf(const std::string& command, ViStatus status) {
    if (status == kViSuccess) {
        return {BusStatus::Kind::Ok, {}, status, {}};
    }
    const BusStatus::Kind kind =
        status == kViErrorTimeout ? BusStatus::Kind::Timeout : BusStatus::Kind::IoError;
    return {kind, command, status, {}};
}

}  // namespace quillon::instrument
