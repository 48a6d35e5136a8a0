// SPDX-License-Identifier: MIT
#include "fake_operator.h"

#include <numeric>
#include <stdexcept>

namespace quillon::testing {

std::chrono::milliseconds FakeOperator::pausedTotal() const {
    return std::accumulate(pauses.begin(), pauses.end(), std::chrono::milliseconds{0});
}

const testrun::ResultsGrid& FakeOperator::lastGrid() const {
    if (grids.empty()) throw std::logic_error("no grid was shown");
    return grids.back();
}

}  // namespace quillon::testing
