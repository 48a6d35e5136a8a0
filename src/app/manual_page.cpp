// SPDX-License-Identifier: MIT
#include "app/manual_page.h"

#include "app/command_line.h"
#include "app/program_info.h"
#include "testrun/calibration_data.h"

namespace quillon::app {
namespace {

constexpr std::string_view kDescription =
    "quillon finds the one 4750 wireless communications test set on GPIB through a VISA "
    "library, checks that it runs a supported GSM/EGPRS test application and walks the operator "
    "through a three-step setup wizard. Then, band by band, it loops the test set's two RF "
    "sources back into its own analyzer and measures burst power, phase and frequency error, "
    "power versus time and modulation accuracy, compares every result with fixed limits and "
    "ends with a results table and an overall Pass or Fail. The table can be saved as "
    "comma-separated text or printed. quillon runs in windows or, with --console or without a "
    "display, on the terminal; both take the same options.";

constexpr std::string_view kSimulation =
    "With --sim, quillon loads its simulated test set, a VISA library installed with it, in "
    "place of the platform's VISA library. It looks for the library and its profiles first "
    "beside the executable, then in ../lib/quillon from the executable's folder, so an "
    "installed tree works wherever it is moved.";

std::string bold(std::string_view text) {
    return "\\fB" + roffText(text) + "\\fR";
}
std::string italic(std::string_view text) {
    return "\\fI" + roffText(text) + "\\fR";
}

std::string optionTag(const OptionDescription& option) {
    std::string tag = option.alias.empty() ? "" : bold(option.alias) + ", ";
    tag += bold(option.name);
    if (!option.argument.empty()) tag += " " + italic(option.argument);
    return tag;
}

std::string synopsis() {
    std::string text = ".B quillon\n";
    for (const OptionDescription& option : optionDescriptions()) {
        text += "[" + bold(option.name);
        if (!option.argument.empty()) text += " " + italic(option.argument);
        text += "]\n";
    }
    return text;
}

std::string taggedParagraph(const std::string& tag, std::string_view text) {
    return ".TP\n" + tag + "\n" + roffText(text) + "\n";
}

}  // namespace

std::string roffText(std::string_view text) {
    std::string escaped;
    if (!text.empty() && (text.front() == '.' || text.front() == '\'')) escaped = "\\&";
    for (const char ch : text) {
        if (ch == '\\') {
            escaped += "\\e";
        } else if (ch == '-') {
            escaped += "\\-";
        } else {
            escaped += ch;
        }
    }
    return escaped;
}

std::string manualPage() {
    std::string page = ".TH QUILLON 1 \"\" \"" + std::string(kProgramTitle) + " " +
                       versionNumber() + "\" \"User Commands\"\n";
    page += ".SH NAME\nquillon \\- verify the RF sources of a 4750 test set over GPIB\n";
    page += ".SH SYNOPSIS\n" + synopsis();
    page += ".SH DESCRIPTION\n" + roffText(kDescription) + "\n.PP\n" + roffText(kSimulation) + "\n";
    page += ".SH OPTIONS\n";
    for (const OptionDescription& option : optionDescriptions()) {
        page += taggedParagraph(optionTag(option), option.help);
    }
    page += ".SH EXIT STATUS\n";
    for (const ExitCodeDescription& code : exitCodeDescriptions()) {
        page += taggedParagraph(bold(std::to_string(code.code)), code.meaning);
    }
    page += ".SH ENVIRONMENT\n";
    for (const EnvironmentDescription& variable : environmentDescriptions()) {
        page += taggedParagraph(bold(variable.name), variable.effect);
    }
    page += ".SH FILES\n";
    for (const char* name : {testrun::kDelaySettingFileName, testrun::kDataDelayFileName}) {
        page += taggedParagraph(italic(name),
                                "calibration data compared with the test set's own, read from "
                                "the --cal-dir folder or quillon's own folder when present");
    }
    page += taggedParagraph(italic("../lib/quillon/sim-profiles/"),
                            "from quillon's folder in an installed tree (beside it in a build): "
                            "the simulated test set's profiles, healthy.toml the default");
    return page;
}

}  // namespace quillon::app
