// SPDX-License-Identifier: MIT
#include "profile.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace quillon::sim {
namespace {

// Keys, defaults and spreads of the result quantities, in the order of Quantity.
struct QuantityDefault {
    const char* key;
    double nominal;
    double spread;
};
constexpr std::array<QuantityDefault, kQuantityCount> kQuantityDefaults{{
    {"freq_error_hz", 4.0, 3.0},
    {"rms_phase_error_deg", 0.35, 0.1},
    {"peak_phase_error_deg", 1.2, 0.4},
    {"pvt_upper_mask", 1.0, 0.1},
    {"pvt_lower_mask", 1.0, 0.1},
    {"emac_freq_error_hz", 3.0, 3.0},
    {"emac_evm_pct", 1.6, 0.3},
    {"emac_origin_offset_db", -45.0, 2.0},
    {"cw_power_error_db", 0.05, 0.03},
    {"gmsk_power_error_db", 0.1, 0.05},
    {"epsk_power_error_db", 0.15, 0.05},
    {"pfer_integrity", 0.0, 0.0},
    {"pvt_integrity", 0.0, 0.0},
    {"emac_integrity", 0.0, 0.0},
    {"etxp_integrity", 0.0, 0.0},
    {"txp_integrity", 0.0, 0.0},
}};

struct ProfileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(std::string_view where, std::string_view what) {
    throw ProfileError(std::string(where) + ": " + std::string(what));
}

void checkKeys(const toml::table& table, std::string_view where,
               const std::function<bool(std::string_view)>& known) {
    for (const auto& [key, node] : table) {
        if (!known(key.str())) fail(where, "unknown key '" + std::string(key.str()) + "'");
    }
}

void checkKeys(const toml::table& table, std::string_view where,
               std::initializer_list<std::string_view> allowed) {
    checkKeys(table, where, [allowed](std::string_view key) {
        return std::find(allowed.begin(), allowed.end(), key) != allowed.end();
    });
}

double number(const toml::table& table, std::string_view key, double fallback,
              std::string_view where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) return fallback;
    if (const auto value = node->value<double>()) return *value;
    fail(where, "'" + std::string(key) + "' must be a number");
}

int integer(const toml::table& table, std::string_view key, int fallback, std::string_view where,
            int low, int high) {
    const toml::node* node = table.get(key);
    if (node == nullptr) return fallback;
    const auto value = node->value_exact<std::int64_t>();
    if (!value || *value < low || *value > high) {
        fail(where, "'" + std::string(key) + "' must be a whole number from " +
                        std::to_string(low) + " to " + std::to_string(high));
    }
    return static_cast<int>(*value);
}

std::string text(const toml::table& table, std::string_view key, const std::string& fallback,
                 std::string_view where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) return fallback;
    if (const auto value = node->value_exact<std::string>()) return *value;
    fail(where, "'" + std::string(key) + "' must be a string");
}

// One number for every band, or an array of one number per band.
PerBand perBand(const toml::table& table, std::string_view key, const PerBand& fallback,
                std::string_view where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) return fallback;
    PerBand values{};
    if (const auto single = node->value<double>()) {
        values.fill(*single);
        return values;
    }
    const toml::array* array = node->as_array();
    if (array == nullptr || array->size() != kBandCount) {
        fail(where, "'" + std::string(key) + "' must be a number or an array of 5 numbers");
    }
    for (std::size_t band = 0; band < kBandCount; ++band) {
        const auto value = (*array)[band].value<double>();
        if (!value) fail(where, "'" + std::string(key) + "' must hold numbers only");
        values[band] = *value;
    }
    return values;
}

const toml::table* subTable(const toml::table& table, std::string_view key,
                            std::string_view where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) return nullptr;
    if (const toml::table* sub = node->as_table()) return sub;
    fail(where, "'" + std::string(key) + "' must be a table");
}

// Each element of an array of tables, e.g. [[instrument.fault]].
std::vector<const toml::table*> tableArray(const toml::table& table, std::string_view key,
                                           std::string_view where) {
    std::vector<const toml::table*> tables;
    const toml::node* node = table.get(key);
    if (node == nullptr) return tables;
    const toml::array* array = node->as_array();
    if (array == nullptr) fail(where, "'" + std::string(key) + "' must be an array of tables");
    for (const toml::node& element : *array) {
        const toml::table* sub = element.as_table();
        if (sub == nullptr) fail(where, "'" + std::string(key) + "' must hold tables only");
        tables.push_back(sub);
    }
    return tables;
}

// "GPIB0::14::INSTR" -> board 0, primary address 14.
void readResource(const std::string& resource, InstrumentProfile& instrument,
                  std::string_view where) {
    unsigned board = 0;
    unsigned primary = 0;
    char tail[8] = {};
    if (std::sscanf(resource.c_str(), "GPIB%u::%u::%7s", &board, &primary, tail) != 3 ||
        std::string_view(tail) != "INSTR" || board > 99 || primary > 30) {
        fail(where, "resource '" + resource + "' is not like \"GPIB0::14::INSTR\"");
    }
    instrument.board = static_cast<std::uint16_t>(board);
    instrument.primary = static_cast<std::uint16_t>(primary);
}

void readSource(const toml::table& table, SourceModel& model, std::string_view where) {
    for (std::size_t i = 0; i < kQuantityCount; ++i) {
        const std::string key = kQuantityDefaults[i].key;
        model[i].nominal = perBand(table, key, model[i].nominal, where);
        model[i].spread = number(table, key + "_spread", model[i].spread, where);
        if (model[i].spread < 0.0) fail(where, "'" + key + "_spread' must not be negative");
    }
    checkKeys(table, where, [](std::string_view key) {
        if (key.ends_with("_spread")) key.remove_suffix(std::string_view("_spread").size());
        return std::any_of(kQuantityDefaults.begin(), kQuantityDefaults.end(),
                           [key](const QuantityDefault& quantity) { return key == quantity.key; });
    });
}

FaultAction faultAction(const std::string& name, std::string_view where) {
    static constexpr std::array<std::pair<std::string_view, FaultAction>, 8> kActions{{
        {"timeout", FaultAction::Timeout},
        {"io_error", FaultAction::IoError},
        {"scpi_error", FaultAction::ScpiError},
        {"garbage", FaultAction::Garbage},
        {"long_reply", FaultAction::LongReply},
        {"write_warning", FaultAction::WriteWarning},
        {"integrity", FaultAction::Integrity},
        {"silence", FaultAction::Silence},
    }};
    for (const auto& [key, action] : kActions) {
        if (key == name) return action;
    }
    fail(where, "unknown fault action '" + name + "'");
}

FaultRule readFault(const toml::table& table, std::string_view where) {
    checkKeys(table, where,
              {"text", "command", "any", "source", "nth", "times", "every", "action", "code",
               "message", "value", "reply", "length"});
    FaultRule rule;
    rule.text = text(table, "text", "", where);
    rule.command = text(table, "command", "", where);
    if (const toml::node* any = table.get("any")) {
        if (!any->is_boolean()) fail(where, "'any' must be true or false");
        rule.any = any->value_or(false);
    }
    const bool selectors[] = {!rule.text.empty(), !rule.command.empty(), rule.any};
    if (std::count(std::begin(selectors), std::end(selectors), true) != 1)
        fail(where, "give exactly one of 'text', 'command' and 'any = true'");
    rule.source = integer(table, "source", rule.source, where, 0, 2);
    rule.nth = integer(table, "nth", rule.nth, where, 1, 1'000'000);
    rule.times = integer(table, "times", rule.times, where, 1, 1'000'000);
    if (const toml::node* every = table.get("every")) {
        if (!every->is_boolean()) fail(where, "'every' must be true or false");
        if (every->value_or(false)) rule.times = 0;
    }
    rule.action = faultAction(text(table, "action", "", where), where);
    rule.code = integer(table, "code", rule.code, where, -32768, 32767);
    rule.message = text(table, "message", "", where);
    rule.value = integer(table, "value", rule.value, where, -32768, 32767);
    rule.reply = text(table, "reply", rule.reply, where);
    rule.length = static_cast<std::size_t>(
        integer(table, "length", static_cast<int>(rule.length), where, 1, 100'000));
    return rule;
}

// The identity texts of a test set, each keeping its default when its key is absent.
constexpr std::array<std::pair<const char*, std::string TestSetProfile::*>, 6> kIdentityKeys{{
    {"manufacturer", &TestSetProfile::manufacturer},
    {"model", &TestSetProfile::model},
    {"serial", &TestSetProfile::serial},
    {"firmware", &TestSetProfile::firmware},
    {"revision", &TestSetProfile::revision},
    {"test_application", &TestSetProfile::testApplication},
}};

TestSetProfile readTestSet(const toml::table& table, std::string_view where) {
    TestSetProfile testSet;
    for (const auto& [key, field] : kIdentityKeys) {
        testSet.*field = text(table, key, testSet.*field, where);
    }
    testSet.correctionState =
        integer(table, "correction_state", testSet.correctionState, where, 0, 1);
    testSet.calibrationSyncPolls =
        integer(table, "calibration_sync_polls", testSet.calibrationSyncPolls, where, 0, 1000);
    testSet.expectedPowerWindowDb =
        number(table, "expected_power_window_db", testSet.expectedPowerWindowDb, where);
    if (const toml::table* att = subTable(table, "attenuation", where)) {
        const std::string at = std::string(where) + " [attenuation]";
        checkKeys(*att, at, {"level_10_dbm", "level_20_dbm"});
        testSet.attenuation10Level = perBand(*att, "level_10_dbm", testSet.attenuation10Level, at);
        testSet.attenuation20Level = perBand(*att, "level_20_dbm", testSet.attenuation20Level, at);
        for (std::size_t band = 0; band < kBandCount; ++band) {
            if (testSet.attenuation20Level[band] >= testSet.attenuation10Level[band]) {
                fail(at, "level_20_dbm must lie below level_10_dbm in every band");
            }
        }
    }
    testSet.sources = {defaultSourceModel(), defaultSourceModel()};
    for (std::size_t source = 0; source < 2; ++source) {
        const std::string key = "source" + std::to_string(source + 1);
        if (const toml::table* sub = subTable(table, key, where)) {
            readSource(*sub, testSet.sources[source], std::string(where) + " [" + key + "]");
        }
    }
    for (const toml::table* change : tableArray(table, "calibration", where)) {
        const std::string at = std::string(where) + " [[calibration]]";
        checkKeys(*change, at, {"table", "row", "column", "value"});
        testSet.calibration.push_back(
            {text(*change, "table", "", at), integer(*change, "row", 0, at, 0, 4),
             integer(*change, "column", 0, at, 0, 4), number(*change, "value", 0.0, at)});
    }
    for (const toml::table* fault : tableArray(table, "fault", where)) {
        testSet.faults.push_back(readFault(*fault, std::string(where) + " [[fault]]"));
    }
    return testSet;
}

InstrumentProfile readInstrument(const toml::table& table, std::size_t index) {
    const std::string where = "instrument " + std::to_string(index + 1);
    const std::string kind = text(table, "kind", "", where);
    InstrumentProfile instrument;
    readResource(text(table, "resource", "", where), instrument, where);
    if (kind == "test_set") {
        checkKeys(table, where,
                  {"kind", "resource", "manufacturer", "model", "serial", "firmware", "revision",
                   "test_application", "correction_state", "calibration_sync_polls",
                   "expected_power_window_db", "attenuation", "source1", "source2", "calibration",
                   "fault"});
        instrument.kind = InstrumentKind::TestSet;
        instrument.testSet = readTestSet(table, where);
    } else if (kind == "other") {
        checkKeys(table, where, {"kind", "resource", "identity"});
        instrument.kind = InstrumentKind::Other;
        instrument.identity = text(table, "identity", "", where);
        if (instrument.identity.empty()) fail(where, "'identity' is required");
    } else if (kind == "silent") {
        checkKeys(table, where, {"kind", "resource"});
        instrument.kind = InstrumentKind::Silent;
    } else {
        fail(where, "'kind' must be \"test_set\", \"other\" or \"silent\"");
    }
    return instrument;
}

Profile readProfile(const toml::table& root, const std::string& path) {
    checkKeys(root, "top level", {"simulator", "instrument"});
    Profile profile;
    profile.path = path;
    if (const toml::table* sim = subTable(root, "simulator", "top level")) {
        const std::string_view at = "[simulator]";
        checkKeys(*sim, at, {"seed", "timeout_ms", "done_after_polls", "error_queue_size"});
        profile.seed = static_cast<std::uint32_t>(
            integer(*sim, "seed", static_cast<int>(profile.seed), at, 0, 2'000'000'000));
        profile.timeoutMs = integer(*sim, "timeout_ms", profile.timeoutMs, at, 0, 60'000);
        profile.doneAfterPolls =
            integer(*sim, "done_after_polls", profile.doneAfterPolls, at, 0, 10'000);
        profile.errorQueueSize = static_cast<std::size_t>(integer(
            *sim, "error_queue_size", static_cast<int>(profile.errorQueueSize), at, 2, 1000));
    }
    const auto instruments = tableArray(root, "instrument", "top level");
    for (std::size_t i = 0; i < instruments.size(); ++i) {
        profile.instruments.push_back(readInstrument(*instruments[i], i));
        for (std::size_t j = 0; j < i; ++j) {
            if (profile.instruments[j].board == profile.instruments[i].board &&
                profile.instruments[j].primary == profile.instruments[i].primary) {
                fail("instrument " + std::to_string(i + 1), "address already in use");
            }
        }
    }
    return profile;
}

std::filesystem::path libraryDirectory() {
#ifdef _WIN32
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&libraryDirectory), &module);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
#else
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&libraryDirectory), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    return std::filesystem::path(info.dli_fname).parent_path();
#endif
}

}  // namespace

SourceModel defaultSourceModel() {
    SourceModel model{};
    for (std::size_t i = 0; i < kQuantityCount; ++i) {
        model[i].nominal.fill(kQuantityDefaults[i].nominal);
        model[i].spread = kQuantityDefaults[i].spread;
    }
    return model;
}

namespace {

// Reads the table that parse gives into a profile; every failure becomes words naming path.
template <typename Parse>
std::variant<Profile, std::string> readGuarded(const std::string& path, Parse parse) {
    const std::string name = std::filesystem::path(path).filename().string();
    try {
        const toml::table root = parse();
        return readProfile(root, path);
    } catch (const toml::parse_error& error) {
        const auto& begin = error.source().begin;
        return "Simulator profile " + name +
               " could not be read: " + std::string(error.description()) + " (line " +
               std::to_string(begin.line) + ", column " + std::to_string(begin.column) + ") in " +
               path;
    } catch (const std::exception& error) {
        return "Simulator profile " + name + " is not valid: " + error.what() + " in " + path;
    }
}

}  // namespace

std::variant<Profile, std::string> loadProfile(const std::string& path) {
    // A folder, a device or a FIFO is no profile: refused like a missing file, and before it is
    // opened, as reading a FIFO would block the resource manager.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return "Simulator profile " + std::filesystem::path(path).filename().string() +
               " could not be read: File could not be opened for reading in " + path;
    }
    return readGuarded(path, [&path] { return toml::parse_file(path); });
}

std::variant<Profile, std::string> parseProfile(std::string_view text, const std::string& path) {
    return readGuarded(path, [text, &path] { return toml::parse(text, path); });
}

std::string selectedProfilePath() {
    const std::filesystem::path folder = libraryDirectory() / "sim-profiles";
    const char* chosen = std::getenv("QUILLON_SIM_PROFILE");
    if (chosen == nullptr || *chosen == '\0') return (folder / "healthy.toml").string();
    const std::filesystem::path path(chosen);
    std::error_code ec;
    if (!path.has_parent_path() && !std::filesystem::exists(path, ec)) {
        return (folder / path).string();
    }
    return path.string();
}

}  // namespace quillon::sim
