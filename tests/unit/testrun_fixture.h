// SPDX-License-Identifier: MIT
#pragma once

// A test form on a scripted bus with one 4750 found, a recording operator and an empty
// calibration directory. The test set answers like a healthy one: built-in calibration tables,
// attenuation 10 from mainLevel and 20 from offsetLevel down, measurements done at once, passes.

#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fake_operator.h"
#include "fake_visa.h"
#include "instrument/clsVisa.h"
#include "instrument/conventions.h"
#include "testrun/calibration_data.h"
#include "testrun/frmDoTest.h"

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

inline Strings head(const Strings& texts, std::size_t count) {
    return Strings(texts.begin(), texts.begin() + static_cast<std::ptrdiff_t>(count));
}

// The calibration table entries in the order they are read, "'tdma_bbgen_delay_setting1',r,c"
// and "'tdma_bbgen_data_delay1',r,0" for both copies, with their built-in values.
inline std::vector<std::pair<std::string, double>> calibrationEntries() {
    std::vector<std::pair<std::string, double>> out;
    for (const bool setting : {true, false}) {
        for (int n = 1; n <= 2; ++n) {
            for (std::size_t i = 0; i < (setting ? 25u : 5u); ++i) {
                out.emplace_back(
                    std::string("'tdma_bbgen_") + (setting ? "delay_setting" : "data_delay") +
                        std::to_string(n) + "'," + std::to_string(setting ? i / 5 : i) + "," +
                        std::to_string(setting ? i % 5 : 0),
                    setting ? testrun::kBuiltInDelaySetting[i] : testrun::kBuiltInDataDelay[i]);
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
        for (const auto& [address, value] : calibrationEntries()) {
            fake.onQuery("PL13:CAL:DATA? " + address, {instrument::tableValueText(value)});
        }
        fake.fallback = [this](const FakeVisa::Exchange& e) { return answer(e); };
        bus.seek4750s();
        fake.log.clear();
        settings.calibrationDirectory = calDir.path().toStdString();
    }

    testrun::frmDoTest& form() {  // made on first use, after the test's settings and files
        if (!form_) {
            form_ = std::make_unique<testrun::frmDoTest>(bus, program, ui, settings);
            form_->displayNumber = [](double v) { return instrument::levelText(v); };
            form_->startTimeText = [] { return std::string("10:42 Tuesday, 3 March 2026"); };
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

    double mainLevel = -10.0;
    double offsetLevel = -25.0;
    std::string originOffset = "40";
    FakeVisa fake;
    FakeOperator ui;
    instrument::ProgramValues program;
    instrument::clsVisa bus{&fake, std::nullopt, instrument::BusHooks{}, program};
    QTemporaryDir calDir;
    testrun::RunSettings settings;

  private:
    std::optional<FakeVisa::Reply> answer(const FakeVisa::Exchange& e) const {
        const auto reply = [](std::string text) {
            return FakeVisa::Reply{instrument::kViSuccess, std::move(text) + "\n"};
        };
        if (e.text == kAttenuationQuery) {  // after the last level the search commanded
            const auto last = std::find_if(fake.log.rbegin(), fake.log.rend(), [](const auto& x) {
                return x.text.starts_with(kAmplitude);
            });
            const double level =
                last == fake.log.rend()
                    ? 0.0
                    : instrument::readLeadingNumber(last->text.substr(kAmplitude.size()));
            return reply(level <= offsetLevel ? "+20" : level <= mainLevel ? "+10" : "+0");
        }
        if (e.text == "FETCh:EMACcuracy:OOFFset?") return reply(originOffset);
        return std::nullopt;
    }

    std::unique_ptr<testrun::frmDoTest> form_;
};

}  // namespace quillon::testing
