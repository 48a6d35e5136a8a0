// SPDX-License-Identifier: MIT
#pragma once

namespace quillon::app {

// On Windows the program is a windows-subsystem executable, which starts without a console.
// When it was started from one (a command prompt), this attaches to that console and points
// standard input, output and error at it, so --help, the messages and --console work there.
// A stream redirected to a file or a pipe stays as it is. Does nothing on other systems.
// Returns whether a console was attached.
bool useParentConsole();

}  // namespace quillon::app
