// SPDX-License-Identifier: MIT
// A windows-subsystem program for the tests: takes the console it was started from, echoes a
// line of standard input to standard output with whether it attached, and writes a line to
// standard error.
#include <iostream>
#include <string>

#include "app/parent_console.h"

int main() {
    const bool attached = quillon::app::useParentConsole();
    std::string line;
    std::getline(std::cin, line);
    std::cout << "attached=" << attached << " read=" << line << std::endl;
    std::cerr << "to standard error" << std::endl;
    return 0;
}
