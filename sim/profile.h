// SPDX-License-Identifier: MIT
#pragma once

// A bus profile: what sits on the simulated GPIB bus and how each test set behaves, read from
// a TOML file. sim/README.md describes the keys; the shipped profiles show them in use.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillon::sim {

inline constexpr std::size_t kBandCount = 5;  // GSM450, GSM850, PGSM, DCS, PCS
using PerBand = std::array<double, kBandCount>;

// Result quantities drawn per source: a nominal value per band and a spread around it.
enum class Quantity : std::size_t {
    FreqError,
    RmsPhaseError,
    PeakPhaseError,
    PvtUpperMask,
    PvtLowerMask,
    EmacFreqError,
    EmacEvm,
    EmacOriginOffset,
    CwPowerError,
    GmskPowerError,
    EpskPowerError,
    PferIntegrity,
    PvtIntegrity,
    EmacIntegrity,
    EtxpIntegrity,
    TxpIntegrity,
    Count
};
inline constexpr std::size_t kQuantityCount = static_cast<std::size_t>(Quantity::Count);

struct QuantityModel {
    PerBand nominal{};
    double spread = 0.0;  // results lie uniformly within nominal +/- spread
};
using SourceModel = std::array<QuantityModel, kQuantityCount>;

enum class FaultAction {
    Timeout,       // the message is lost; the call times out
    IoError,       // the message is lost; the call fails with an I/O error
    ScpiError,     // the message is refused with an error in the queue
    Garbage,       // a query answers reply text (default "garbage") instead
    LongReply,     // a query answers length characters
    WriteWarning,  // the message is carried out; the write reports a warning status
    Integrity,     // an integrity query answers value
    Silence,       // from this message on the instrument never answers again
};

struct FaultRule {
    std::string text;     // exact message text, or
    std::string command;  // a header in any spelling ("CALL:CELL:BAND", "fetc:pfer:int?"), or
    bool any = false;     // every message, whatever it is: nth counts all the messages
    int source = 0;       // 1 or 2: count only while that source is measured; 0: always
    int nth = 1;          // first occurrence that triggers
    int times = 1;        // occurrences that trigger from nth on; 0 means every one
    FaultAction action = FaultAction::ScpiError;
    int code = -224;
    std::string message;  // error text; the standard text when empty
    int value = 0;
    std::string reply = "garbage";
    std::size_t length = 600;
};

struct CalibrationChange {
    std::string table;
    int row = 0;
    int column = 0;
    double value = 0.0;
};

struct TestSetProfile {
    std::string manufacturer = "Corvane Technologies";
    std::string model = "4750A";
    std::string serial = "GB44180123";
    std::string firmware = "B.02.07";
    std::string revision = "A.05.12";
    std::string testApplication = "K2210";
    int correctionState = 1;
    int calibrationSyncPolls = 2;
    double expectedPowerWindowDb = 10.0;
    PerBand attenuation10Level{-10.0, -12.0, -11.0, -13.0, -12.0};
    PerBand attenuation20Level{-26.0, -27.0, -25.0, -28.0, -26.0};
    std::array<SourceModel, 2> sources{};
    std::vector<CalibrationChange> calibration;
    std::vector<FaultRule> faults;
};

enum class InstrumentKind { TestSet, Other, Silent };

struct InstrumentProfile {
    InstrumentKind kind = InstrumentKind::TestSet;
    std::uint16_t board = 0;
    std::uint16_t primary = 0;
    std::string identity;  // "other": the whole *IDN? reply
    TestSetProfile testSet;
};

struct Profile {
    std::string path;
    std::uint32_t seed = 4750;
    int timeoutMs = 0;
    int doneAfterPolls = 2;
    std::size_t errorQueueSize = 30;
    std::vector<InstrumentProfile> instruments;
};

// The model of a source before any profile key is applied.
SourceModel defaultSourceModel();

// Reads a profile file. On failure: the words that describe why, naming the file.
std::variant<Profile, std::string> loadProfile(const std::string& path);
// The same for a profile's text; path only names it in the words.
std::variant<Profile, std::string> parseProfile(std::string_view text, const std::string& path);

// The profile file to use: QUILLON_SIM_PROFILE when set (a bare file name that does not exist
// in the working directory is looked up in the profile folder), else "healthy.toml" in the
// folder "sim-profiles" beside this library.
std::string selectedProfilePath();

}  // namespace quillon::sim
