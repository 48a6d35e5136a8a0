// SPDX-License-Identifier: MIT
#include <algorithm>
#include <array>
#include <string_view>

#include "instrument/clsMom.h"
#include "instrument/clsVisa.h"
#include "instrument/conventions.h"
#include "testrun/frmDoTest.h"
#include "testrun/operator_interface.h"

namespace quillon::testrun {
namespace {

constexpr std::array<std::string_view, 3> kSupportedApplications = {"K3310", "K2210", "K2230"};

constexpr const char* kWrongApplicationTitle = "Wrong TA/LA revision";
constexpr const char* kWrongApplicationText =
    "This test can only be run on an instrument running \r\n"
    "the K2210 TA,K2230 TA, or K3310 LA\r\n"
    "\r\n"
    "Please switch to one of these applications and run this test again";

constexpr const char* kCorrectionQuery = "SYSTem:CORRection:STATE?";
constexpr const char* kCorrectionCommand = "SYSTem:CORRection:STATe ";

bool supported(const std::string& application) {
    return std::find(kSupportedApplications.begin(), kSupportedApplications.end(), application) !=
           kSupportedApplications.end();
}

}  // namespace

bool frmDoTest::prepareForTest(std::int16_t number) {
    mom_ = visa_.get4750(number);
    if (!mom_ || !supported(mom_->MomTA())) {
        ui_.messageBox(kWrongApplicationTitle, kWrongApplicationText, MessageIcon::None);
        ui_.endProgram(kExitStartupRefused);
    }
    const instrument::ViSession session = mom_->MomVI();
    std::string reply;
    bool errorOccurred = true;  // a timed-out query leaves correction as it is
    if (!visa_.queryInstrument(session, kCorrectionQuery, reply)) {
        savedCorrectionState_ = instrument::roundToInt16(instrument::readLeadingNumber(reply));
        errorOccurred =
            visa_.sendWithStatusCheck(session, false, std::string(kCorrectionCommand) + "0");
    }
    setProgress(0, progressMaximum_);
    return errorOccurred;
}

bool frmDoTest::tidyUp() {
    visa_.sendWithStatusCheck(vi(), false,
                              kCorrectionCommand + instrument::countText(savedCorrectionState_));
    return false;
}

}  // namespace quillon::testrun
