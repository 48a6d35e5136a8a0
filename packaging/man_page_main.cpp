// SPDX-License-Identifier: MIT
// Writes the manual page quillon(1) to the file named by its one argument, at build time. The
// file is written beside its final name and renamed, so it is complete or absent.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>

#include "app/manual_page.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: quillon_man_page OUTPUT\n";
        return 64;
    }
    const std::filesystem::path target(argv[1]);
    std::filesystem::path partial = target;
    partial += ".partial";
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file << quillon::app::manualPage();
        if (!file.flush()) {
            std::cerr << "quillon_man_page: cannot write " << partial.string() << '\n';
            return 1;
        }
    }
    std::error_code error;
    std::filesystem::rename(partial, target, error);
    if (error) {
        std::cerr << "quillon_man_page: " << target.string() << ": " << error.message() << '\n';
        std::filesystem::remove(partial, error);
        return 1;
    }
    return 0;
}
