// SPDX-License-Identifier: MIT
#include "app/launch.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <variant>

#include "calbackup/backup_file.h"
#include "records/results_database.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace quillon::app {

EnvironmentLookup processEnvironment() {
    return [](const char* name) { return static_cast<const char*>(std::getenv(name)); };
}

std::string executableDirectory() {
    std::error_code error;
#ifdef _WIN32
    wchar_t buffer[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    const std::filesystem::path exe(std::wstring(buffer, length));
#else
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
#endif
    if (error || exe.empty()) return std::filesystem::current_path(error).string();
    return exe.parent_path().string();
}

std::string simulatedLibraryPath(const std::string& folder) {
#ifdef _WIN32
    return (std::filesystem::path(folder) / "quillon-sim-visa.dll").string();
#else
    return (std::filesystem::path(folder) / "libquillon-sim-visa.so").string();
#endif
}

bool fileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::string findSimulatedLibrary(const std::string& executableFolder, const FileCheck& exists) {
    const std::string beside = simulatedLibraryPath(executableFolder);
    const std::string installed =
        simulatedLibraryPath((std::filesystem::path(executableFolder) / QUILLON_SIM_DIR_FROM_BIN)
                                 .lexically_normal()
                                 .string());
    for (const std::string& candidate : {beside, installed}) {
        if (exists(candidate)) return candidate;
    }
    return beside;
}

std::string visaLibraryPath(const CommandLine& line, const std::string& executableFolder,
                            const FileCheck& exists) {
    if (line.sim) return findSimulatedLibrary(executableFolder, exists);
    return line.visaLibrary;
}

bool wantsConsole(const CommandLine& line, const EnvironmentLookup& environment) {
    if (line.console) return true;
#ifdef _WIN32
    (void)environment;
    return false;
#else
    const auto set = [&environment](const char* name) {
        const char* value = environment(name);
        return value != nullptr && *value != '\0';
    };
    // A platform plugin named explicitly (offscreen, vnc...) needs no display.
    return !set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM");
#endif
}

std::optional<std::string> resultsDatabaseFor(const CommandLine& line,
                                              const EnvironmentLookup& environment,
                                              std::string& error) {
    const char* variable = environment("QUILLON_RESULTS_DB");
    const bool fromLine = !line.resultsDatabase.empty();
    const std::string url = fromLine ? line.resultsDatabase : variable ? variable : "";
    if (url.empty()) return url;
    const auto parsed = records::parseDatabaseUrl(url);
    if (const auto* reason = std::get_if<std::string>(&parsed)) {
        error = std::string(fromLine ? "--results-db" : "QUILLON_RESULTS_DB") + ": " + *reason;
        return std::nullopt;
    }
    return url;
}

std::optional<double> pauseScale(const EnvironmentLookup& environment) {
    const char* text = environment("QUILLON_PAUSE_SCALE");
    if (text == nullptr) return 1.0;
    const std::string_view value(text);
    double scale = 0.0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), scale);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() ||
        !(scale >= 0.0 && scale <= kMaxPauseScale)) {
        return std::nullopt;
    }
    return scale;
}

namespace {

// The calibration backup of the readings into folder; why it failed, or empty.
std::string backUpCalibration(const std::string& folder, const std::string& serialNumber,
                              const testrun::CalibrationReadings& readings) {
    calbackup::Backup backup{serialNumber, calbackup::utcNow(), {}};
    for (const auto& [address, value] : readings) {
        if (const auto entry = calbackup::entryAt(address, value)) backup.entries.push_back(*entry);
    }
    std::string path;
    return calbackup::writeBackup(folder, backup, path);
}

}  // namespace

testrun::RunSettings runSettingsFor(const CommandLine& line, const std::string& executableFolder) {
    testrun::RunSettings settings;
    settings.acceptWizard = line.acceptWizard;
    if (line.hasPreset()) {
        settings.preset = testrun::PresetChoice{line.bands, line.tests, line.iterations};
    }
    settings.calibrationDirectory =
        line.calibrationDirectory.empty() ? executableFolder : line.calibrationDirectory;
    if (!line.noCalibrationBackup) {
        const std::string folder = line.calibrationBackupDirectory.empty()
                                       ? calbackup::defaultBackupFolder()
                                       : line.calibrationBackupDirectory;
        settings.beforeCalibrationWrite = [folder](const std::string& serialNumber,
                                                   const testrun::CalibrationReadings& readings) {
            return backUpCalibration(folder, serialNumber, readings);
        };
    }
    return settings;
}

LoadedVisa loadVisa(const std::string& path) {
    auto loaded = instrument::VisaLibrary::load(path);
    LoadedVisa result;
    if (auto* library = std::get_if<std::unique_ptr<instrument::VisaLibrary>>(&loaded)) {
        result.library = std::move(*library);
    } else {
        result.error = std::get<instrument::VisaLoadError>(loaded);
    }
    return result;
}

namespace {
void exportVariable(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}
}  // namespace

void exportSimProfile(const std::string& profile) {
    exportVariable("QUILLON_SIM_PROFILE", profile);
}

void exportSimReplay(const std::string& trace) {
    exportVariable("QUILLON_SIM_REPLAY", trace);
}

}  // namespace quillon::app
