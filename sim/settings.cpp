// SPDX-License-Identifier: MIT
#include "settings.h"

#include <array>
#include <cmath>
#include <optional>

#include "bands.h"
#include "error_queue.h"
#include "scpi.h"

namespace quillon::sim {
namespace {

SettingDefinition choice(std::string pattern, std::vector<std::string> choices, std::string initial,
                         int suffixes = 1) {
    SettingDefinition definition;
    definition.pattern = std::move(pattern);
    definition.kind = ParamKind::Choice;
    definition.choices = std::move(choices);
    definition.initial = std::move(initial);
    definition.suffixes = suffixes;
    return definition;
}

SettingDefinition number(std::string pattern, double low, double high, Unit unit, double initial,
                         int suffixes = 1) {
    SettingDefinition definition;
    definition.pattern = std::move(pattern);
    definition.kind = ParamKind::Number;
    definition.low = low;
    definition.high = high;
    definition.unit = unit;
    definition.initial = initial;
    definition.suffixes = suffixes;
    return definition;
}

SettingDefinition integer(std::string pattern, double low, double high, double initial,
                          int suffixes = 1) {
    SettingDefinition definition =
        number(std::move(pattern), low, high, Unit::None, initial, suffixes);
    definition.kind = ParamKind::Integer;
    return definition;
}

SettingDefinition boolean(std::string pattern, double initial) {
    SettingDefinition definition = number(std::move(pattern), 0, 1, Unit::None, initial);
    definition.kind = ParamKind::Boolean;
    return definition;
}

SettingDefinition arfcn(std::string pattern) {
    SettingDefinition definition = integer(std::move(pattern), 0, 1023, defaultArfcn(2));
    definition.kind = ParamKind::Arfcn;
    return definition;
}

SettingDefinition maskList(std::string pattern, std::string initial, int suffixes) {
    SettingDefinition definition;
    definition.pattern = std::move(pattern);
    definition.kind = ParamKind::MaskList;
    definition.initial = std::move(initial);
    definition.suffixes = suffixes;
    return definition;
}

// The set-up commands every measurement shares, under its own mnemonic.
void addMeasurementSetup(std::vector<SettingDefinition>& definitions, const std::string& mnemonic) {
    const std::string root = "SETup:" + mnemonic;
    definitions.push_back(boolean(root + ":COUNt:STATe", 0));
    definitions.push_back(integer(root + ":COUNt:NUMBer", 1, 999, 10));
    definitions.push_back(boolean(root + ":CONTinuous", 1));
    definitions.push_back(choice(root + ":TRIGger:SOURce",
                                 {"IMMediate", "PROTocol", "RISE", "EXTernal"}, "IMMediate"));
    definitions.push_back(number(root + ":TRIGger:DELay", -0.01, 0.01, Unit::Seconds, 0.0));
}

std::vector<SettingDefinition> buildDefinitions() {
    std::vector<SettingDefinition> definitions{
        choice(std::string(setting::kMode), {"EBPT", "EBT", "CW"}, "EBPT"),
        number(std::string(setting::kCellAmplitude), -127, 0, Unit::Dbm, -85),
        number(std::string(setting::kCwAmplitude), -127, 0, Unit::Dbm, -85),
        choice(std::string(setting::kBand), {"GSM450", "GSM850", "PGSM", "DCS", "PCS"}, "PGSM"),
        arfcn(std::string(setting::kPdtchArfcn)),
        arfcn(std::string(setting::kBchArfcn)),
        number(std::string(setting::kGeneratorFrequency), 250e6, 2.7e9, Unit::Hz, 943e6),
        choice("CALL[:SETup]:PDTChannel:MSLot:CONFig", {"D1U1", "D2U1", "D2U2", "D3U1", "D4U1"},
               "D1U1"),
        number(std::string(setting::kReduction), 0, 30, Unit::Db, 0, 2),
        choice(std::string(setting::kBurstLevel), {"PRL1", "PRL2"}, "PRL1", 2),
        choice(std::string(setting::kCodingScheme),
               {"MCS1P1", "MCS2P1", "MCS3P1", "MCS4P1", "MCS5P1", "MCS6P1", "MCS7P1", "MCS8P1",
                "MCS9P1"},
               "MCS1P1"),
        boolean(std::string(setting::kModulationAuto), 1),
        choice(std::string(setting::kModulation), {"GMSK", "EPSK"}, "GMSK", 2),
        boolean("CALL:TRIGger:OUTPut:FRAMe:NIDLe:STATe", 0),
        boolean(std::string(setting::kAnalyzerFrequencyAuto), 1),
        boolean(std::string(setting::kAnalyzerPowerAuto), 1),
        number(std::string(setting::kAnalyzerFrequency), 250e6, 2.7e9, Unit::Hz, 943e6),
        number(std::string(setting::kExpectedBurstPower), -60, 43, Unit::Dbm, 0, 2),
        number(std::string(setting::kExpectedCwPower), -60, 43, Unit::Dbm, 0),
        integer(std::string(setting::kMeasuredBurst), 1, 2, 1),
        choice(std::string(setting::kSourceRf), {"ON", "OFF"}, "OFF", 2),
        number(std::string(setting::kSourceLevel), -127, 0, Unit::Dbm, -85, 2),
        choice("PL13:STATes:RFS#:DIGModulation:IQModulation", {"ON", "OFF"}, "ON", 2),
        number(std::string(setting::kSourceFrequency), 250e6, 2.7e9, Unit::Hz, 943e6, 2),
        choice(std::string(setting::kDestination), {"RFIO1", "RFIO2", "S1S2LOOPBACK"}, "RFIO1"),
        integer(std::string(setting::kPathLatch), 0, 1, 0, 2),
        integer(std::string(setting::kLoopbackLatch), 0, 1, 0),
        boolean("SETup:ETXPower:SPECial", 0),
        choice("SETup:PVTime:BURSt#:MASK", {"STANdard", "CUSTom1", "CUSTom2"}, "STANdard", 2),
        maskList("SETup:PVTime:CUSTom#:MASK:UPPer", "0us,4dBc,577us,4dBc", 2),
        maskList("SETup:PVTime:CUSTom#:MASK:LOWer", "0us,-200dBc,577us,-200dBc", 2),
    };
    SettingDefinition correction = boolean(std::string(setting::kCorrection), 1);
    correction.keptByReset = true;
    definitions.push_back(correction);
    for (const char* mnemonic : {"PFERror", "PVTime", "EMACcuracy", "ETXPower", "TXPower"}) {
        addMeasurementSetup(definitions, mnemonic);
    }
    return definitions;
}

// Scale of a unit suffix for a parameter of this unit; nullopt when the suffix does not fit.
std::optional<double> unitScale(Unit unit, const std::string& suffix) {
    struct Scale {
        Unit unit;
        const char* suffix;
        double factor;
    };
    static constexpr std::array<Scale, 10> kScales{{
        {Unit::Dbm, "DBM", 1.0},
        {Unit::Db, "DB", 1.0},
        {Unit::Hz, "HZ", 1.0},
        {Unit::Hz, "KHZ", 1e3},
        {Unit::Hz, "MHZ", 1e6},
        {Unit::Hz, "GHZ", 1e9},
        {Unit::Seconds, "S", 1.0},
        {Unit::Seconds, "MS", 1e-3},
        {Unit::Seconds, "US", 1e-6},
        {Unit::Seconds, "NS", 1e-9},
    }};
    if (suffix.empty()) return 1.0;
    for (const Scale& scale : kScales) {
        if (scale.unit == unit && suffix == scale.suffix) return scale.factor;
    }
    return std::nullopt;
}

// A mask: pairs of time and level, times rising ("0us,4dBc,593us,1dBc").
bool validMask(std::string_view text) {
    const std::vector<std::string> items = splitParameters(text);
    if (items.size() < 4 || items.size() % 2 != 0) return false;
    double lastTime = -1.0;
    for (std::size_t i = 0; i < items.size(); i += 2) {
        const auto time = parseNumber(items[i]);
        const auto level = parseNumber(items[i + 1]);
        if (!time || !level) return false;
        const auto scale = unitScale(Unit::Seconds, time->unit);
        if (!scale || (level->unit != "DBC" && !level->unit.empty())) return false;
        const double seconds = time->value * *scale;
        if (seconds <= lastTime || seconds < 0.0 || seconds > 1e-3) return false;
        lastTime = seconds;
    }
    return true;
}

}  // namespace

const std::vector<SettingDefinition>& settingDefinitions() {
    static const std::vector<SettingDefinition> definitions = buildDefinitions();
    return definitions;
}

Settings::Settings(int correctionState) {
    reset();
    assign(setting::kCorrection, 1, static_cast<double>(correctionState));
}

void Settings::reset() {
    for (const SettingDefinition& definition : settingDefinitions()) {
        for (int suffix = 1; suffix <= definition.suffixes; ++suffix) {
            const auto key = std::make_pair(definition.pattern, suffix);
            if (definition.keptByReset && values_.count(key) != 0) continue;
            values_[key] = definition.initial;
        }
    }
    keepChannelsInBand();
}

const SettingValue& Settings::value(std::string_view name, int suffix) const {
    return values_.at(std::make_pair(std::string(name), suffix));
}

double Settings::number(std::string_view name, int suffix) const {
    return std::get<double>(value(name, suffix));
}

std::string Settings::choice(std::string_view name, int suffix) const {
    return std::get<std::string>(value(name, suffix));
}

void Settings::assign(std::string_view name, int suffix, SettingValue newValue) {
    values_[std::make_pair(std::string(name), suffix)] = std::move(newValue);
}

// A band change moves channels that the new band does not have to its default channel.
void Settings::keepChannelsInBand() {
    const std::size_t band = *bandIndex(choice(setting::kBand));
    for (std::string_view name : {setting::kPdtchArfcn, setting::kBchArfcn}) {
        if (!arfcnInBand(band, static_cast<int>(number(name)))) {
            assign(name, 1, static_cast<double>(defaultArfcn(band)));
        }
    }
}

int Settings::setArfcn(const SettingDefinition& definition, int suffix,
                       std::string_view parameter) {
    const auto parsed = parseNumber(parameter);
    if (!parsed || !parsed->unit.empty()) return scpi_error::kDataTypeError;
    const std::size_t band = *bandIndex(choice(setting::kBand));
    const double channel = parsed->value;
    // Checked before the conversion to int, which a value such as 1e20 would overflow.
    if (!(channel >= definition.low && channel <= definition.high)) {
        return scpi_error::kDataOutOfRange;
    }
    if (channel != std::floor(channel) || !arfcnInBand(band, static_cast<int>(channel))) {
        return scpi_error::kIllegalParameterValue;
    }
    assign(definition.pattern, suffix, channel);
    return 0;
}

int Settings::set(const SettingDefinition& definition, int suffix, std::string_view parameter) {
    if (suffix < 1 || suffix > definition.suffixes) return scpi_error::kUndefinedHeader;
    switch (definition.kind) {
        case ParamKind::Choice:
            for (const std::string& option : definition.choices) {
                if (mnemonicMatches(option, parameter)) {
                    assign(definition.pattern, suffix, option);
                    if (definition.pattern == setting::kBand) keepChannelsInBand();
                    return 0;
                }
            }
            return scpi_error::kIllegalParameterValue;
        case ParamKind::Boolean: {
            const std::string word = upperCase(parameter);
            if (word == "ON" || word == "OFF") {
                assign(definition.pattern, suffix, word == "ON" ? 1.0 : 0.0);
                return 0;
            }
            const auto parsed = parseNumber(parameter);
            if (!parsed || !parsed->unit.empty()) return scpi_error::kDataTypeError;
            if (parsed->value != 0.0 && parsed->value != 1.0) {
                return scpi_error::kIllegalParameterValue;
            }
            assign(definition.pattern, suffix, parsed->value);
            return 0;
        }
        case ParamKind::Arfcn:
            return setArfcn(definition, suffix, parameter);
        case ParamKind::MaskList:
            if (!validMask(parameter)) return scpi_error::kIllegalParameterValue;
            assign(definition.pattern, suffix, std::string(trim(parameter)));
            return 0;
        case ParamKind::Number:
        case ParamKind::Integer: {
            const auto parsed = parseNumber(parameter);
            if (!parsed) return scpi_error::kDataTypeError;
            const auto scale = unitScale(definition.unit, parsed->unit);
            if (!scale) return scpi_error::kInvalidSuffix;
            const double converted = parsed->value * *scale;
            const bool whole = converted == std::floor(converted);
            if (!(converted >= definition.low && converted <= definition.high)) {
                return scpi_error::kDataOutOfRange;
            }
            if (definition.kind == ParamKind::Integer && !whole) {
                return scpi_error::kIllegalParameterValue;
            }
            assign(definition.pattern, suffix, converted);
            return 0;
        }
    }
    return scpi_error::kIllegalParameterValue;
}

std::string Settings::reply(const SettingDefinition& definition, int suffix) const {
    switch (definition.kind) {
        case ParamKind::Choice:
            return shortForm(choice(definition.pattern, suffix));
        case ParamKind::MaskList:
            return choice(definition.pattern, suffix);
        case ParamKind::Boolean:
        case ParamKind::Integer:
        case ParamKind::Arfcn:
            return std::to_string(static_cast<long>(number(definition.pattern, suffix)));
        case ParamKind::Number:
            return numberReply(number(definition.pattern, suffix));
    }
    return {};
}

}  // namespace quillon::sim
