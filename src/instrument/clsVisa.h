// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "instrument/bus_hooks.h"
#include "instrument/bus_status.h"
#include "instrument/visa_api.h"
#include "instrument/visa_library.h"

namespace quillon::instrument {

class clsMom;

// The program's one gateway to the VISA library: finds the 4750 test sets on GPIB, keeps one
// record per test set, and offers the three ways of talking to a test set.
class clsVisa {
  public:
    static constexpr std::size_t kMaxRecords = 101;
    static constexpr const char* kSearchExpression = "GPIB[0-9]*::?*INSTR";

    // api is null when the library could not be loaded; loadError then says why.
    clsVisa(VisaApi* api, std::optional<VisaLoadError> loadError, BusHooks hooks,
            ProgramValues& program);
    ~clsVisa();
    clsVisa(const clsVisa&) = delete;
    clsVisa& operator=(const clsVisa&) = delete;

    std::int16_t num4750s() const { return num4750s_; }

    // Searches the bus once; shows the library messages itself.
    void seek4750s();

    // The exchanges themselves. Each sends its text with a line feed and says how it went;
    // without a library nothing is sent and the status is an I/O error.

    // Writes text.
    BusStatus send(ViSession vi, const std::string& text);
    // Writes command, then reads the error queue: an instrument error when its number is not 0.
    BusStatus sendChecked(ViSession vi, const std::string& command);
    // Writes query and reads the reply into reply, always terminated (empty without a reply).
    BusStatus query(ViSession vi, const std::string& query, std::span<char> reply);

    // The Boolean forms the run's steps use.

    // True only when the library reported a timeout; result holds the reply up to its first
    // line feed, also after a warning, and is empty after any failure. Without a library:
    // false, result empty.
    bool queryInstrument(ViSession vi, const std::string& query, std::string& result);

    // Returns the new error flag: true at once when errorOccurred is true; otherwise sends the
    // command and reads the error queue, true when anything failed or an error is queued (or
    // there is no library).
    bool sendWithStatusCheck(ViSession vi, bool errorOccurred, const std::string& command);

    // Sends text (nothing without a library); no status is examined. Always false.
    bool sendInstrument(ViSession vi, const std::string& text);

    // The stored record at index (shared, not a copy); null for an empty place.
    std::shared_ptr<clsMom> get4750(std::int16_t index) const;

    VisaApi* api() const { return api_; }
    const BusHooks& hooks() const { return hooks_; }

  private:
    void yield() const;
    void notify(const std::string& title, const std::string& text) const;
    void reportLoadFailure();

    VisaApi* api_;
    std::optional<VisaLoadError> loadError_;
    BusHooks hooks_;
    ProgramValues& program_;
    ViSession rmSession_ = 0;
    std::int16_t num4750s_ = 0;
    std::array<std::shared_ptr<clsMom>, kMaxRecords> moms_;
};

}  // namespace quillon::instrument
