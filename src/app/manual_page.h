// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace quillon::app {

// The manual page quillon(1) in roff, written from the tables --help prints, so the two cannot
// disagree.
std::string manualPage();

// text as one roff text line: backslashes and minus signs escaped, a leading control character
// neutralised.
std::string roffText(std::string_view text);

}  // namespace quillon::app
