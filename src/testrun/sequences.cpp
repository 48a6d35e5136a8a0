// SPDX-License-Identifier: MIT
#include <functional>
#include <vector>

#include "testrun/frmDoTest.h"

namespace quillon::testrun {

// One measurement of a source sequence: its test index, status text and call (true on error).
struct frmDoTest::SequenceStep {
    std::int16_t test;
    const char* status;
    std::function<bool()> measure;
};

// Runs the chosen steps in order until one reports an error; each step that runs raises the
// progress by 1, also the one that failed. A missing measurement object counts as an error.
bool frmDoTest::runSequence(const std::vector<SequenceStep>& steps) {
    bool errorOccurred = false;
    for (const SequenceStep& step : steps) {
        if (errorOccurred || !options_.getTest(step.test)) continue;
        setStatus(step.status);
        errorOccurred = step.measure();
        stepProgress();
    }
    return errorOccurred;
}

namespace {

template <typename Meas, typename... Args>
std::function<bool()> measureWith(const std::unique_ptr<Meas>& meas, Args... args) {
    return [&meas, args...] { return meas ? meas->runMeas(args...) : true; };
}

}  // namespace

// Burst power runs first, before phase/frequency error and power versus time.
bool frmDoTest::runSource1Tests(std::int16_t config) {
    const instrument::ViSession v = vi();
    const std::int16_t source = 0;
    return runSequence({
        {2, "Running Source 1 GMSK Power", measureWith(src1GmskPower_, v, config, source)},
        {0, "Source 1 GMSK PFER", measureWith(src1Pfer_, v, config, source)},
        {1, "Source 1 GMSK PVT", measureWith(src1Pvt_, v, config, source)},
        {3, "Running Source 1 EPSK Power", measureWith(src1EpskPower_, v, config, source)},
        {4, "Source 1 EPSK Mod Acc", measureWith(src1ModAcc_, v, config)},
    });
}

bool frmDoTest::runSource2Tests() {
    const instrument::ViSession v = vi();
    const std::int16_t config = 0;
    const std::int16_t source = 1;
    return runSequence({
        {5, "Source 2 GMSK PFER", measureWith(src2Pfer_, v, config, source)},
        {6, "Source 2 PVT", measureWith(src2Pvt_, v, config, source)},
        {7, "Source 2 GMSK Power", measureWith(src2GmskPower_, v, config, source)},
    });
}

}  // namespace quillon::testrun
