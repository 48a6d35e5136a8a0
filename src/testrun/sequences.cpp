// SPDX-License-Identifier: MIT
#include <functional>
#include <vector>

#include "testrun/frmDoTest.h"
#include "testrun/operator_interface.h"
#include "testrun/run_measurements.h"

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
        if (errorOccurred || !options_.getTest(step.test)) {
            continue;
        }
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
    using T = TestOptions;
    return runSequence({
        {T::kSrc1GmskPower, "Running Source 1 GMSK Power",
         measureWith(measurements_->src1GmskPower, v, config, source)},
        {T::kSrc1Pfer, "Source 1 GMSK PFER",
         measureWith(measurements_->src1Pfer, v, config, source)},
        {T::kSrc1Pvt, "Source 1 GMSK PVT", measureWith(measurements_->src1Pvt, v, config, source)},
        {T::kSrc1EpskPower, "Running Source 1 EPSK Power",
         measureWith(measurements_->src1EpskPower, v, config, source)},
        {T::kSrc1ModAcc, "Source 1 EPSK Mod Acc",
         measureWith(measurements_->src1ModAcc, v, config)},
    });
}

bool frmDoTest::runSource2Tests() {
    const instrument::ViSession v = vi();
    const std::int16_t config = 0;
    const std::int16_t source = 1;
    using T = TestOptions;
    return runSequence({
        {T::kSrc2Pfer, "Source 2 GMSK PFER",
         measureWith(measurements_->src2Pfer, v, config, source)},
        {T::kSrc2Pvt, "Source 2 PVT", measureWith(measurements_->src2Pvt, v, config, source)},
        {T::kSrc2GmskPower, "Source 2 GMSK Power",
         measureWith(measurements_->src2GmskPower, v, config, source)},
    });
}

}  // namespace quillon::testrun
