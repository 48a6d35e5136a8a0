// SPDX-License-Identifier: MIT
#include "fake_operator.h"

#include <numeric>

namespace quillon::testing {

std::chrono::milliseconds FakeOperator::pausedTotal() const {
    return std::accumulate(pauses.begin(), pauses.end(), std::chrono::milliseconds{0});
}

}  // namespace quillon::testing
