// SPDX-License-Identifier: MIT
#pragma once

// The test set's settable state as a table: each setting is a header pattern with a parameter
// type, a range or a list of choices, and the value "*RST" gives it. Every setting answers its
// query form with the value last set, so later queries reflect earlier commands.

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace quillon::sim {

enum class ParamKind { Choice, Number, Integer, Boolean, Arfcn, MaskList };
enum class Unit { None, Dbm, Db, Hz, Seconds };

using SettingValue = std::variant<double, std::string>;

struct SettingDefinition {
    std::string pattern;  // header pattern; also the setting's name
    ParamKind kind = ParamKind::Number;
    std::vector<std::string> choices;  // Choice: canonical mnemonics
    double low = 0.0;
    double high = 0.0;
    Unit unit = Unit::None;
    int suffixes = 1;  // highest numeric suffix of the '#' keyword
    SettingValue initial;
    bool keptByReset = false;
};

// Names of the settings the simulated physics reads.
namespace setting {
inline constexpr std::string_view kMode = "CALL[:CELL]:OPERating:MODE";
inline constexpr std::string_view kCellAmplitude = "CALL[:CELL]:POWer:AMPLitude";
inline constexpr std::string_view kCwAmplitude = "CALL[:CELL]:POWer:AMPLitude:CW";
inline constexpr std::string_view kBand = "CALL[:CELL]:BAND";
inline constexpr std::string_view kPdtchArfcn = "CALL:PDTChannel:ARFCn";
inline constexpr std::string_view kBchArfcn = "CALL[:CELL]:BCH:ARFCn";
inline constexpr std::string_view kGeneratorFrequency = "CALL[:CELL]:RFGenerator:FREQuency";
inline constexpr std::string_view kReduction = "CALL:PDTChannel:PREDuction:LEVel#";
inline constexpr std::string_view kBurstLevel = "CALL:PDTChannel:PREDuction:BURSt#";
inline constexpr std::string_view kCodingScheme = "CALL:PDTChannel:MCSCheme:EBPT";
inline constexpr std::string_view kModulationAuto = "CALL:MODulation:FORMat:CONTrol:AUTO";
inline constexpr std::string_view kModulation = "CALL:MODulation:FORMat:MANual:BURSt#";
inline constexpr std::string_view kAnalyzerFrequencyAuto =
    "RFANalyzer:CONTrol:MEASurement:FREQuency:AUTO";
inline constexpr std::string_view kAnalyzerPowerAuto = "RFANalyzer:CONTrol:POWer:AUTO";
inline constexpr std::string_view kAnalyzerFrequency = "RFANalyzer:MANual:MEASurement:FREQuency";
inline constexpr std::string_view kExpectedBurstPower =
    "RFANalyzer:MANual:POWer:SELected:SELected:BURSt#";
inline constexpr std::string_view kExpectedCwPower = "RFANalyzer:CW:EXPected:POWer";
inline constexpr std::string_view kMeasuredBurst = "RFANalyzer:MSLot:MEASurement:BURSt";
inline constexpr std::string_view kSourceRf = "PL13:STATes:RFS#:LEVel:RF";
inline constexpr std::string_view kSourceLevel = "PL13:STATes:RFS#:LEVel:NORMal:AMPLitude";
inline constexpr std::string_view kSourceFrequency = "PL13:STATes:RFS#:FREQuency";
inline constexpr std::string_view kDestination = "PL13:STATes:RFIO:RFSource:DESTination";
inline constexpr std::string_view kPathLatch = "PL13:LATCh:RFINTernal:PATH:SOURce#";
inline constexpr std::string_view kLoopbackLatch = "PL13:LATCh:RFINTernal:LOOPback";
inline constexpr std::string_view kCorrection = "SYSTem:CORRection:STATe";
}  // namespace setting

// Every setting of the test set, the measurement set-ups included.
const std::vector<SettingDefinition>& settingDefinitions();

class Settings {
  public:
    explicit Settings(int correctionState);

    // Sets from a parameter text; returns 0 or the SCPI error number that refuses it.
    int set(const SettingDefinition& definition, int suffix, std::string_view parameter);
    // The reply of the query form.
    std::string reply(const SettingDefinition& definition, int suffix) const;

    double number(std::string_view name, int suffix = 1) const;
    std::string choice(std::string_view name, int suffix = 1) const;
    void assign(std::string_view name, int suffix, SettingValue value);
    void reset();

  private:
    const SettingValue& value(std::string_view name, int suffix) const;
    void keepChannelsInBand();
    int setArfcn(const SettingDefinition& definition, int suffix, std::string_view parameter);

    std::map<std::pair<std::string, int>, SettingValue> values_;
};

}  // namespace quillon::sim
