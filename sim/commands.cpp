// SPDX-License-Identifier: MIT
// The command table of the simulated test set: every header it knows, with its handler.
#include <string>

#include "test_set.h"

namespace quillon::sim {

void TestSet::addSettingCommands(std::vector<Command>& table) {
    for (const SettingDefinition& definition : settingDefinitions()) {
        const SettingDefinition* known = &definition;
        table.push_back(
            {HeaderPattern(definition.pattern), false,
             [known](TestSet& set, const Call& call) { set.setSetting(*known, call); }});
        table.push_back(
            {HeaderPattern(definition.pattern), true,
             [known](TestSet& set, const Call& call) { set.querySetting(*known, call); }});
    }
}

void TestSet::addMeasurementCommands(std::vector<Command>& table) {
    for (const MeasInfo& info : kMeasurements) {
        const MeasKind kind = info.kind;
        const std::string root = std::string("INITiate:") + info.mnemonic;
        table.push_back(
            {HeaderPattern(root + ":ON"), false,
             [kind](TestSet& set, const Call& call) { set.startMeasurement(kind, call); }});
        table.push_back(
            {HeaderPattern(root + ":OFF"), false,
             [kind](TestSet& set, const Call& call) { set.stopMeasurement(kind, call); }});
    }
    for (const FetchInfo& fetch : kFetches) {
        const MeasKind kind = fetch.kind;
        const std::string item = fetch.item;
        const std::string header = std::string("FETCh:") +
                                   kMeasurements[static_cast<std::size_t>(kind)].mnemonic + ":" +
                                   item;
        table.push_back({HeaderPattern(header), true, [kind, item](TestSet& set, const Call& call) {
                             set.fetch(kind, item, call);
                         }});
    }
}

std::vector<TestSet::Command> TestSet::buildCommands() {
    std::vector<Command> table{
        {HeaderPattern("*IDN"), true, &TestSet::identify},
        {HeaderPattern("*CLS"), false, &TestSet::clearStatus},
        {HeaderPattern("*RST"), false, &TestSet::reset},
        {HeaderPattern("SYSTem:ERRor[:NEXT]"), true, &TestSet::readError},
        {HeaderPattern("SYSTem:APPLication:CURRent:REVision"), true, &TestSet::applicationRevision},
        {HeaderPattern("SYSTem:CURRent:TA:MODel"), true, &TestSet::testApplication},
        {HeaderPattern("SYSTem:SYNC"), true, &TestSet::synchronised},
        {HeaderPattern("PL13:STATes:RFS#:LEVel:NORMal:ATTenuation"), true,
         &TestSet::attenuationQuery},
        {HeaderPattern("PL13:CALibration:DATA"), false, &TestSet::calibrationWrite},
        {HeaderPattern("PL13:CALibration:DATA"), true, &TestSet::calibrationRead},
        {HeaderPattern("PL13:CALibration:STORe"), false, &TestSet::calibrationStore},
        {HeaderPattern("INITiate:DONE"), true, &TestSet::measurementDone},
        {HeaderPattern("INITiate:DONE:CLEar"), false, &TestSet::clearDone},
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
