// SPDX-License-Identifier: MIT
// Reads any text as a calibration data file into both tables. An entry is the number at the
// start of its line, read as a reply is; a table is complete only when every entry had a line.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "instrument/conventions.h"
#include "testrun/calibration_data.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

template <std::size_t N>
void readInto(const std::string& text, std::array<double, N> table) {
    std::istringstream in(text);
    const bool complete = quillon::testrun::readCalibrationLines(in, table);
    std::size_t lines = 0;
    std::string_view rest(text);
    while (lines < N && !rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        const double expected = quillon::instrument::readLeadingNumber(line);
        check(table[lines] == expected || (table[lines] != table[lines] && expected != expected));
        ++lines;
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    check(complete == (lines == N));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    readInto(text, quillon::testrun::kBuiltInDelaySetting);
    readInto(text, quillon::testrun::kBuiltInDataDelay);
    return 0;
}
