// SPDX-License-Identifier: MIT
// Loading a VISA library at run time: a missing file and an unusable one are told apart.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <variant>

#include "instrument/visa_library.h"

namespace quillon::instrument {
namespace {

VisaLoadError loadError(const std::string& path) {
    auto result = VisaLibrary::load(path);
    EXPECT_TRUE(std::holds_alternative<VisaLoadError>(result)) << path;
    return std::holds_alternative<VisaLoadError>(result) ? std::get<VisaLoadError>(result)
                                                         : VisaLoadError{};
}

TEST(VisaLibraryLoad, MissingFileIsNotFound) {
    EXPECT_EQ(loadError("/nonexistent/folder/libvisa.so").kind, VisaLoadError::Kind::NotFound);
}

TEST(VisaLibraryLoad, FileThatIsNoLibraryIsUnusable) {
    const std::string path = ::testing::TempDir() + "quillon-not-a-library.so";
    std::ofstream(path) << "this is text, not a shared library\n";
    const VisaLoadError error = loadError(path);
    EXPECT_EQ(error.kind, VisaLoadError::Kind::Unusable);
    EXPECT_FALSE(error.description.empty());
    std::remove(path.c_str());
}

TEST(VisaLibraryLoad, LibraryWithoutTheEntryPointsIsUnusable) {
    // Any shared library that is not a VISA library will do: the C library itself.
    const VisaLoadError error = loadError("libc.so.6");
    EXPECT_EQ(error.kind, VisaLoadError::Kind::Unusable);
    EXPECT_NE(error.description.find("viOpenDefaultRM"), std::string::npos);
}

TEST(VisaLibraryLoad, SimulatedLibraryLoads) {
    auto result = VisaLibrary::load(std::string(QUILLON_BIN_DIR) + "/libquillon-sim-visa.so");
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<VisaLibrary>>(result));
}

}  // namespace
}  // namespace quillon::instrument
