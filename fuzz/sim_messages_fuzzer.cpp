// SPDX-License-Identifier: MIT
// Sends any text to a simulated test set, one message per line, reading after each query, and
// takes every line apart with the message syntax's own functions. Nothing may crash, hang or
// trip a sanitizer, and a reply is one line ended by a line feed.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "profile.h"
#include "scpi.h"
#include "test_set.h"

namespace {

using namespace quillon::sim;

void check(bool condition) {
    if (!condition) std::abort();
}

// One test set, with a fault that fires on every "CALL:CELL:BAND?" after the second.
const Profile& fuzzProfile() {
    static const Profile profile = [] {
        auto loaded = parseProfile(
            "[simulator]\ndone_after_polls = 1\nerror_queue_size = 4\n"
            "[[instrument]]\nkind = \"test_set\"\nresource = \"GPIB0::14::INSTR\"\n"
            "[[instrument.fault]]\ncommand = \"CALL:CELL:BAND?\"\nnth = 3\nevery = true\n"
            "action = \"long_reply\"\nlength = 700\n",
            "fuzz.toml");
        check(std::holds_alternative<Profile>(loaded));
        return std::get<Profile>(loaded);
    }();
    return profile;
}

void takeApart(std::string_view line) {
    if (const auto message = splitMessage(line)) {
        for (const std::string& parameter : splitParameters(message->parameters)) {
            (void)parseNumber(parameter);
            (void)parseQuoted(parameter);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Every input starts from the same fresh test set; a copy is cheaper than building one.
    static const TestSet fresh(fuzzProfile().instruments.front(), fuzzProfile(), 1);
    TestSet set(fresh);
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (int lines = 0; lines < 64 && !text.empty(); ++lines) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        takeApart(line);
        set.write(line);
        if (line.find('?') == std::string_view::npos) continue;
        if (const std::optional<std::string> reply = set.read()) {
            check(!reply->empty() && reply->back() == '\n');
            check(reply->find('\n') == reply->size() - 1);
        }
    }
    return 0;
}
