// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <array>
#include <string>

#include "testrun/test_options.h"

// The setup wizard's and the options dialog's texts and the test form's title, shared by both
// front-ends so that the windows and the console prompts cannot drift apart.
namespace quillon::ui {

inline constexpr const char* kProgramHeading = "Corvane 4750 Source Verification";
inline constexpr const char* kSerialNumberCaption = "Serial Number: ";
inline constexpr const char* kDescription =
    "This program verifies 4750 Instruments, after installation of EGPRS hardware.";
inline constexpr const char* kNextCaption = "Next >";
inline constexpr const char* kGoCaption = "Go!";
inline constexpr const char* kCancelCaption = "Cancel";

struct WizardStepTexts {
    const char* caption;  // the window title
    const char* title;
    const char* text;  // as stored: "~" stands for a line break
    const char* next;  // the button that moves on
};

inline constexpr std::array<WizardStepTexts, 3> kWizardSteps = {{
    {"Setup Wizard - Step 1 of 3", "Step 1 - Connections",
     "Connect a BNC - BNC lead from \"TRIG IN\" to \"TRIG OUT\" on the rear panel of the 4750 "
     "being tested",
     kNextCaption},
    {"Setup Wizard - Step 2 of 3", "Step 2 - Remove RF", "Remove any RF inputs from the 4750",
     kNextCaption},
    {"Setup Wizard - Step 3 of 3", "Step 3 - Check Firmware",
     "Ensure that the 4750 is running one of the following applications~~ - K3310 LA with "
     "K3315A Feature License~ - K2210 TA with K2205A Feature License~ - K2230 TA with K2205A "
     "Feature License~~Press Go! to start test test~~The test may take up to ten minutes to run",
     kGoCaption},
}};

// A stored step text as shown: every "~" becomes a line break.
inline std::string shownStepText(const char* stored) {
    std::string text = stored;
    std::replace(text.begin(), text.end(), '~', '\n');
    return text;
}

inline constexpr const char* kTestFormTitle = "4750 8PSK Source Verification";

inline constexpr const char* kOptionsTitle = "Choose test options";
inline constexpr const char* kOptionsPrompt = "Select your test options:";

// Captions of the options dialog's check boxes, by index.
inline constexpr std::array<const char*, testrun::TestOptions::kBands> kBandCaptions = {
    "GSM450 (464MHz / ARFCN 276)", "GSM850 (882MHz / ARFCN 192)", "GSM900 (943MHz / ARFCN 40)",
    "DCS1800 (1842MHz / ARFCN 696)", "PCS1900 (1959MHz / ARFCN 656)"};
inline constexpr std::array<const char*, testrun::TestOptions::kTests> kTestCaptions = {
    "GMSK PFER", "GMSK PvT", "GMSK Power", "8PSK Power",      "8PSK Modulation Accuracy",
    "GMSK PFER", "GMSK PvT", "GMSK Power", "Calibrate source"};

}  // namespace quillon::ui
