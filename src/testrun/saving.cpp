// SPDX-License-Identifier: MIT
#include "testrun/saving.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

namespace quillon::testrun {
namespace {

constexpr const char* kSeparator = ", ";
constexpr const char* kLineEnd = "\r\n";

// Length of the UTF-8 sequence that starts with lead, 0 when lead cannot start one.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Appends one cell as single-byte Latin-1: a character outside Latin-1, or a byte that is not
// valid UTF-8, becomes '?'; a line break becomes a blank, so every row stays one line.
void appendLatin1(std::string& out, std::string_view cell) {
    std::size_t i = 0;
    while (i < cell.size()) {
        const auto lead = static_cast<unsigned char>(cell[i]);
        std::size_t length = sequenceLength(lead);
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= cell.size() || !isContinuation(static_cast<unsigned char>(cell[i + k]))) {
                length = 0;
                break;
            }
        }
        if (length == 0) {
            out += '?';
            ++i;
            continue;
        }
        unsigned long code = length == 1 ? lead : lead & (0xFFu >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(cell[i + k]) & 0x3Fu);
        }
        constexpr unsigned long kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length]) {
            out += '?';  // an overlong form is not valid UTF-8
        } else if (code == '\r' || code == '\n') {
            out += ' ';
        } else if (code <= 0xFF) {
            out += static_cast<char>(static_cast<unsigned char>(code));
        } else {
            out += '?';
        }
        i += length;
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string failure(const std::string& what, const std::string& path, int error) {
    return what + " \"" + path + "\": " + std::strerror(error);
}

}  // namespace

std::string resultsFileText(const ResultsGrid& grid) {
    std::string text;
    for (int row = 0; row < grid.rows(); ++row) {
        for (int col = 0; col < grid.cols(); ++col) {
            appendLatin1(text, grid.cell(row, col));
            text += col + 1 < grid.cols() ? kSeparator : kLineEnd;
        }
    }
    return text;
}

bool writeResultsFile(const ResultsGrid& grid, const std::string& path, std::string& error) {
    error.clear();
    if (path.empty()) {
        error = "No file name was given for the results.";
        return false;
    }
    const std::string text = resultsFileText(grid);
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = failure("Could not create the results file", path, errno);
        return false;
    }
    if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size()) {
        error = failure("Could not write the results file", path, errno);
        return false;
    }
    if (std::fclose(file.release()) != 0) {
        error = failure("Could not finish writing the results file", path, errno);
        return false;
    }
    return true;
}

// The serial number comes from the test set; characters that a file name cannot hold (or that
// would point into a directory) become '_'.
std::string proposedFileName(const std::string& serialNumber) {
    std::string name = serialNumber;
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) c = '_';
    }
    return name + ".csv";
}

}  // namespace quillon::testrun
