// SPDX-License-Identifier: MIT
#pragma once

// A test form on a scripted bus with one 4750 found, an operator that records everything and
// an empty calibration directory. The scripted test set answers like a healthy one: built-in
// calibration tables, attenuation 10 from -10 dBm and 20 from -25 dBm, measurements done at
// once and results that pass.

#include <QTemporaryDir>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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
inline constexpr const char* kAmplitude = "CALL:CELL:POWer:AMPLitude ";
inline constexpr const char* kAttenuationQuery = "PL13:STATes:RFS1:LEVel:NORMal:ATTenuation?";

// Commands with every "SYSTEM:ERR?" that sendWithStatusCheck adds after each one.
inline Strings checked(const Strings& commands) {
    Strings out;
    for (const std::string& c : commands) {
        out.push_back(c);
        out.push_back("SYSTEM:ERR?");
    }
    return out;
}

inline Strings operator+(Strings a, const Strings& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct TestSetModel {
    double mainLevel = -10.0;    // attenuation reads 10 from here down
    double offsetLevel = -25.0;  // and 20 from here down
    std::string originOffset = "40";

    // The last level commanded by the level search, 0 before any.
    static double lastAmplitude(const FakeVisa& fake) {
        for (auto it = fake.log.rbegin(); it != fake.log.rend(); ++it) {
            if (it->text.rfind(kAmplitude, 0) == 0) {
                return instrument::readLeadingNumber(
                    it->text.substr(std::string(kAmplitude).size()));
            }
        }
        return 0.0;
    }

    // The program's own value for a calibration table query, so nothing needs writing.
    static std::string calibrationValue(std::string_view query) {
        const bool setting = query.find("delay_setting") != std::string_view::npos;
        const std::size_t quote = query.rfind('\'');
        const std::string_view address = query.substr(quote + 2);  // "r,c"
        const int row = std::atoi(std::string(address).c_str());
        const int col = std::atoi(std::string(address.substr(address.find(',') + 1)).c_str());
        const double value =
            setting ? testrun::kBuiltInDelaySetting[static_cast<std::size_t>(row * 5 + col)]
                    : testrun::kBuiltInDataDelay[static_cast<std::size_t>(row)];
        return instrument::tableValueText(value);
    }

    std::optional<FakeVisa::Reply> answer(const FakeVisa& fake, const FakeVisa::Exchange& e) const {
        const auto reply = [](std::string text) {
            return FakeVisa::Reply{instrument::kViSuccess, std::move(text) + "\n"};
        };
        if (e.text == "INIT:DONE?") return reply("PFER,PVT,TXP,ETXP,EMAC");
        if (e.text == kAttenuationQuery) {
            const double level = lastAmplitude(fake);
            return reply(level <= offsetLevel ? "+20" : level <= mainLevel ? "+10" : "+0");
        }
        if (e.text.rfind("PL13:CAL:DATA? ", 0) == 0) return reply(calibrationValue(e.text));
        if (e.text == "SYSTem:SYNC?") return reply("1");
        if (e.text == "FETCh:EMACcuracy:OOFFset?") return reply(originOffset);
        return std::nullopt;
    }
};

class FormFixture {
public:
    explicit FormFixture(const std::string& application = "K2210") {
        const instrument::ViSession vi = 1;
        fake.resources = {{"GPIB0::14::INSTR", instrument::kViIntfGpib, 0, 14}};
        fake.onQuery("*idn?", {std::string("Corvane,47501A,") + kSerial + ",A.01.02"}, vi);
        fake.onQuery("syst:appl:curr:rev?", {"\"A.05.17\""}, vi);
        fake.onQuery("syst:curr:ta:mod?", {"\"" + application + "\" "}, vi);
        fake.onQuery("SYSTem:CORRection:STATE?", {"+1"});
        fake.fallback = [this](const FakeVisa::Exchange& e) { return model.answer(fake, e); };
        bus.seek4750s();
        fake.log.clear();
        settings.calibrationDirectory = calDir.path().toStdString();
    }

    testrun::frmDoTest& form() {
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

    FakeVisa fake;
    TestSetModel model;
    FakeOperator ui;
    instrument::ProgramValues program;
    instrument::clsVisa bus{&fake, std::nullopt,
                            instrument::BusHooks{[this] { ui.yield(); }, nullptr}, program};
    QTemporaryDir calDir;
    testrun::RunSettings settings;
    testrun::ResultsGrid grid;  // scratch grid for calls that take one

private:
    std::unique_ptr<testrun::frmDoTest> form_;
};

}  // namespace quillon::testing
