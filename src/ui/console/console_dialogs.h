// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string>

#include "testrun/operator_interface.h"
#include "testrun/test_options.h"

namespace quillon::ui {

// The setup wizard as prompts: each step prints its title and text and reads one line. An
// empty line is "Next >" (at the last step "Go!"), "o" at the last step is "Go!" with Shift
// held, "c" or the end of input is "Cancel". Other answers ask again.
testrun::WizardOutcome promptWizard(std::istream& in, std::ostream& out,
                                    const std::string& serialNumber);

// The test options dialog as a prompt-driven editor. Shows the choice, then reads commands
// until an empty line (or the end of input) presses "Run Test":
//   b LIST   bands to run (names or 0-4, or "none"), replacing the current choice
//   t LIST   tests to run (0-7, or "none"); "Calibrate source" stays chosen
//   i N      measurement iterations, 1-100
void promptOptions(std::istream& in, std::ostream& out, testrun::TestOptions& options);

}  // namespace quillon::ui
