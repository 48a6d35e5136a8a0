// SPDX-License-Identifier: MIT
// The command table of the simulated test set: every header it knows, with its handler.
#include <string>

#include "test_set.h"

namespace quillon::sim {

void TestSet::addSettingCommands(std::vector<Command>& table) {
    for (const SettingDefinition& definition : settingDefinitions()) {
        const SettingDefinition* known = &definition;
        table.push_back(
            {HeaderPattern(definition.pattern), false, Takes::Parameters,
             [known](TestSet& set, const Call& call) { set.setSetting(*known, call); }});
        table.push_back(
            {HeaderPattern(definition.pattern), true, Takes::Nothing,
             [known](TestSet& set, const Call& call) { set.querySetting(*known, call); }});
    }
}

void TestSet::addMeasurementCommands(std::vector<Command>& table) {
    for (const MeasInfo& info : kMeasurements) {
        const MeasKind kind = info.kind;
        const std::string root = std::string("INITiate:") + info.mnemonic;
        table.push_back({HeaderPattern(root + ":ON"), false, Takes::Nothing,
                         [kind](TestSet& set, const Call&) { set.startMeasurement(kind); }});
        table.push_back({HeaderPattern(root + ":OFF"), false, Takes::Nothing,
                         [kind](TestSet& set, const Call&) { set.stopMeasurement(kind); }});
    }
    for (const FetchInfo& fetch : kFetches) {
        const MeasKind kind = fetch.kind;
        const std::string item = fetch.item;
        const std::string header = std::string("FETCh:") +
                                   kMeasurements[static_cast<std::size_t>(kind)].mnemonic + ":" +
                                   item;
        table.push_back({HeaderPattern(header), true, Takes::Nothing,
                         [kind, item](TestSet& set, const Call&) { set.fetch(kind, item); }});
    }
}

std::vector<TestSet::Command> TestSet::buildCommands() {
    std::vector<Command> table{
        {HeaderPattern("*IDN"), true, Takes::Nothing, &TestSet::identify},
        {HeaderPattern("*CLS"), false, Takes::Nothing, &TestSet::clearStatus},
        {HeaderPattern("*RST"), false, Takes::Nothing, &TestSet::reset},
        {HeaderPattern("SYSTem:ERRor[:NEXT]"), true, Takes::Nothing, &TestSet::readError},
        {HeaderPattern("SYSTem:APPLication:CURRent:REVision"), true, Takes::Nothing,
         &TestSet::applicationRevision},
        {HeaderPattern("SYSTem:CURRent:TA:MODel"), true, Takes::Nothing, &TestSet::testApplication},
        {HeaderPattern("SYSTem:SYNC"), true, Takes::Nothing, &TestSet::synchronised},
        {HeaderPattern("PL13:STATes:RFS#:LEVel:NORMal:ATTenuation"), true, Takes::Nothing,
         &TestSet::attenuationQuery},
        {HeaderPattern("PL13:CALibration:DATA"), false, Takes::Parameters,
         &TestSet::calibrationWrite},
        {HeaderPattern("PL13:CALibration:DATA"), true, Takes::Parameters,
         &TestSet::calibrationRead},
        {HeaderPattern("PL13:CALibration:STORe"), false, Takes::Nothing,
         &TestSet::calibrationStore},
        {HeaderPattern("INITiate:DONE"), true, Takes::Nothing, &TestSet::measurementDone},
        {HeaderPattern("INITiate:DONE:CLEar"), false, Takes::Nothing, &TestSet::clearDone},
    };
    addSettingCommands(table);
    addMeasurementCommands(table);
    return table;
}

const std::vector<TestSet::Command>& TestSet::commands() {
    static const std::vector<Command> table = buildCommands();
    return table;
}

}  // namespace quillon::sim
