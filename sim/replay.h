// SPDX-License-Identifier: MIT
#pragma once

// Answering from a recorded trace (--trace) instead of a profile: every call gets the recorded
// outputs and status, in order, as long as the caller makes the recorded calls with the
// recorded inputs. The first departure is reported on standard error with the trace's line,
// the expected and the actual call; from then on every call fails.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "instrument/trace_format.h"
#include "instrument/visa_types.h"

namespace quillon::sim {

class Replay {
  public:
    // The recording, or why it cannot be read.
    static std::variant<Replay, std::string> load(const std::string& path);

    using Inputs = std::vector<std::pair<std::string, std::string>>;
    // The recorded call when function, session and inputs are the next recorded ones; null
    // (and the departure reported once) otherwise.
    const instrument::trace::Line* next(const std::string& function, instrument::ViSession session,
                                        const Inputs& inputs);

  private:
    struct Call {
        std::size_t lineNumber;
        instrument::trace::Line line;
    };
    std::string path_;
    std::vector<Call> calls_;
    std::size_t at_ = 0;
    bool departed_ = false;
};

}  // namespace quillon::sim
