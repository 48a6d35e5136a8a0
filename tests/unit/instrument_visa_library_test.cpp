// SPDX-License-Identifier: MIT
// Loading a VISA library at run time from a given path: what loads, and how a file that is
// missing is told from one that is there but unusable (the operator's words for each are
// checked through the console).

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "instrument/visa_library.h"
#include "private_temp.h"

namespace quillon::instrument {
namespace {

#ifdef _WIN32
constexpr const char* kLibrarySuffix = ".dll";
// In every process, and no VISA library.
constexpr const char* kLibraryWithoutVisa = "kernel32.dll";
#else
constexpr const char* kLibrarySuffix = ".so";
constexpr const char* kLibraryWithoutVisa = "libc.so.6";
#endif

TEST(VisaLibraryLoad, FromAPathMissingUnusableOrLoaded) {
    using Kind = VisaLoadError::Kind;
    const std::string notALibrary =
        testing::privateTempPath(std::string("not-a-library") + kLibrarySuffix);
    std::ofstream(notALibrary) << "this is text, not a shared library\n";
    const struct {
        const char* name;
        std::string path;
        std::optional<Kind> refusal;  // none: the library loads
        const char* inDescription;    // must appear in the platform's words
    } cases[] = {
        {"missing folder", testing::privateTempPath("no-such-folder/visa") + kLibrarySuffix,
         Kind::NotFound, ""},
        {"text file", notALibrary, Kind::Unusable, ""},
        {"library without the entry points", kLibraryWithoutVisa, Kind::Unusable,
         "viOpenDefaultRM"},
        {"simulated library", QUILLON_SIM_LIBRARY, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        auto result = VisaLibrary::load(c.path);
        if (!c.refusal) {
            const auto* library = std::get_if<std::unique_ptr<VisaLibrary>>(&result);
            ASSERT_NE(library, nullptr) << c.name;
            EXPECT_EQ((*library)->path(), c.path) << c.name;
            continue;
        }
        const auto* error = std::get_if<VisaLoadError>(&result);
        ASSERT_NE(error, nullptr) << c.name;
        EXPECT_EQ(error->kind, *c.refusal) << c.name << ": " << error->description;
        EXPECT_NE(error->description.find(c.inDescription), std::string::npos) << c.name;
        if (error->kind == Kind::Unusable) {
            EXPECT_NE(error->description, "") << c.name;
        }
    }
}

#ifdef _WIN32
// Without a path only the system folder is searched: a VISA-named library planted beside the
// program (here, a working one) is never loaded. Under Wine the system folder has none.
TEST(VisaLibraryLoad, PlatformLibraryOnlyFromTheSystemFolder) {
    const std::filesystem::path planted =
        std::filesystem::path(QUILLON_BIN_DIR) / (sizeof(void*) == 8 ? "visa64.dll" : "visa32.dll");
    std::error_code ignored;
    std::filesystem::remove(planted, ignored);  // MinGW's copy_file cannot overwrite
    std::filesystem::copy_file(QUILLON_SIM_LIBRARY, planted);
    auto result = VisaLibrary::load();
    std::filesystem::remove(planted, ignored);
    const auto* error = std::get_if<VisaLoadError>(&result);
    ASSERT_NE(error, nullptr) << "the planted library was loaded";
    EXPECT_EQ(error->kind, VisaLoadError::Kind::NotFound) << error->description;
}
#endif

}  // namespace
}  // namespace quillon::instrument
