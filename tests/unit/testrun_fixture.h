// SPDX-License-Identifier: MIT
#pragma once

// A test form on a scripted bus with one 4750 found, a recording operator and an empty calibration
// directory. The test set is healthy: built-in calibration tables, attenuation 10 from mainLevel
// and 20 from offsetLevel down, measurements done at once, passes.

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "fake_operator.h"
#include "fake_visa.h"
#include "instrument/clsMom.h"
#include "instrument/clsVisa.h"
#include "instrument/conventions.h"
#include "measurements/measurement_context.h"
#include "testrun/calibration_data.h"
#include "testrun/frmDoTest.h"
#include "testrun/source_levels.h"

namespace quillon::testing {

using Strings = std::vector<std::string>;

inline constexpr const char* kSerial = "US44123456";
inline const std::string kAmplitude = "CALL:CELL:POWer:AMPLitude ";
inline const std::string kAttenuationQuery = "PL13:STATes:RFS1:LEVel:NORMal:ATTenuation?";

// Commands with the "SYSTEM:ERR?" that sendWithStatusCheck adds after each one.
inline Strings checked(const Strings& commands) {
    Strings out;
    for (const std::string& c : commands) out.insert(out.end(), {c, "SYSTEM:ERR?"});
    return out;
}

inline Strings operator+(Strings a, const Strings& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A scripted reply: "timeout" and "io" stand for those failures.
inline FakeVisa::Reply reply(const std::string& text) {
    const instrument::ViStatus status = text == "timeout" ? instrument::kViErrorTimeout
                                        : text == "io"    ? instrument::kViErrorIo
                                                          : instrument::kViSuccess;
    return {status, text + "\n"};
}

// The level search's exchanges from one level down to another: amplitude, error, attenuation.
inline Strings searchTraffic(int from, int to) {
    Strings out;
    for (int level = from; level >= to; --level) {
        out = out + Strings{kAmplitude + std::to_string(level), "SYSTEM:ERR?", kAttenuationQuery};
    }
    return out;
}

// The calibration table entries with their values in the order they are read: both copies of
// "'tdma_bbgen_delay_setting<n>',r,c", then both of "'tdma_bbgen_data_delay<n>',r,0".
inline std::vector<std::pair<std::string, double>> calibrationEntries(
    std::span<const double> setting = testrun::kBuiltInDelaySetting,
    std::span<const double> data = testrun::kBuiltInDataDelay) {
    std::vector<std::pair<std::string, double>> out;
    for (const auto& [kind, table, columns] :
         {std::tuple{"delay_setting", setting, 5u}, std::tuple{"data_delay", data, 1u}}) {
        for (const char* copy : {"1", "2"}) {
            for (std::size_t i = 0; i < table.size(); ++i) {
                out.emplace_back(std::string("'tdma_bbgen_") + kind + copy + "'," +
                                     std::to_string(i / columns) + "," +
                                     std::to_string(i % columns),
                                 table[i]);
            }
        }
    }
    return out;
}

class FormFixture {
  public:
    explicit FormFixture(const std::string& application = "K2210") {
        fake.resources = {{"GPIB0::14::INSTR", instrument::kViIntfGpib, 0, 14}};
        fake.onQuery("*idn?", {std::string("Corvane,47501A,") + kSerial + ",A.01.02"}, 1);
        fake.onQuery("syst:appl:curr:rev?", {"\"A.05.17\""}, 1);
        fake.onQuery("syst:curr:ta:mod?", {"\"" + application + "\" "}, 1);
        fake.onQuery("SYSTem:CORRection:STATE?", {"+1"});
        fake.onQuery("INIT:DONE?", {"PFER,PVT,TXP,ETXP,EMAC"});
        fake.onQuery("SYSTem:SYNC?", {"1"});
        fake.onQuery("FETCh:EMACcuracy:OOFFset?", {"40"});
        for (const auto& [address, value] : calibrationEntries()) {
            fake.onQuery("PL13:CAL:DATA? " + address, {instrument::tableValueText(value)});
        }
        fake.fallback = [this](const FakeVisa::Exchange& e) { return answer(e); };
        ui.onPause = [this](std::chrono::milliseconds duration) {
            pausedAt.push_back(fake.log.size());
            pauses.emplace_back(duration, fake.log.size());
        };
        bus.seek4750s();
        fake.log.clear();
        settings.calibrationDirectory = calDir.path().toStdString();
    }

    testrun::frmDoTest& form() {  // made on first use, after the test's settings and files
        if (!form_) {
            form_ = std::make_unique<testrun::frmDoTest>(bus, program, ui, settings, formats);
        }
        return *form_;
    }

    // The form prepared on the found test set, with the bus log cleared.
    testrun::frmDoTest& prepared() {
        form().prepareForTest(0);
        fake.log.clear();
        return form();
    }

    Strings texts() const { return fake.texts(); }

    measurements::MeasurementContext context() { return {bus, program}; }
    instrument::ViSession vi() const { return bus.get4750(0)->MomVI(); }

    // The level search run on band 0 with the bus log cleared after it.
    testrun::SourceLevels levelsFound() {
        testrun::SourceLevels levels(bus, program, ui);
        levels.findPowerThresholds(vi(), testrun::kBands[0]);
        fake.log.clear();
        return levels;
    }

    double mainLevel = -10.0;
    double offsetLevel = -25.0;
    std::vector<std::size_t> pausedAt;  // how many texts were sent before each pause
    std::vector<std::pair<std::chrono::milliseconds, std::size_t>> pauses;  // and how long
    FakeVisa fake;
    FakeOperator ui;
    instrument::ProgramValues program;
    instrument::clsVisa bus{&fake, std::nullopt, instrument::BusHooks{}, program};
    QTemporaryDir calDir;
    testrun::RunSettings settings;
    testrun::DisplayFormats formats{[](double v) { return instrument::levelText(v); }, nullptr};

  private:
    // The attenuation reading after the last level the search commanded.
    std::optional<FakeVisa::Reply> answer(const FakeVisa::Exchange& e) const {
        if (e.text != kAttenuationQuery) return std::nullopt;
        const auto last = std::find_if(fake.log.rbegin(), fake.log.rend(), [](const auto& x) {
            return x.text.starts_with(kAmplitude);
        });
        const double level =
            last == fake.log.rend()
                ? 0.0
                : instrument::readLeadingNumber(last->text.substr(kAmplitude.size()));
        return FakeVisa::Reply{instrument::kViSuccess, level <= offsetLevel ? "+20\n"
                                                       : level <= mainLevel ? "+10\n"
                                                                            : "+0\n"};
    }

    std::unique_ptr<testrun::frmDoTest> form_;
};

}  // namespace quillon::testing
