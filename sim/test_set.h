// SPDX-License-Identifier: MIT
#pragma once

// A simulated 4750 test set: its identity, settings, error queue, measurements, calibration
// tables and injected faults. Messages are matched against a table of header patterns; each
// pattern has one handler.

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "calibration.h"
#include "error_queue.h"
#include "faults.h"
#include "instrument.h"
#include "measurements.h"
#include "profile.h"
#include "scpi.h"
#include "settings.h"

namespace quillon::sim {

class TestSet final : public Instrument {
  public:
    // Throws std::invalid_argument when the profile's calibration changes name no entry.
    TestSet(const InstrumentProfile& instrument, const Profile& profile, std::uint32_t seed);

    instrument::ViStatus write(std::string_view message) override;
    std::optional<std::string> read() override;
    void replyCut() override { errors_.push(scpi_error::kQueryInterrupted); }
    void clear() override { output_.clear(); }
    std::uint16_t statusByte() const override {
        return static_cast<std::uint16_t>((errors_.empty() ? 0 : kErrorAvailable) |
                                          (output_.empty() || silenced_ ? 0 : kMessageAvailable));
    }

    // The command a message resolves to, for fault selection; empty when it names none.
    static std::optional<CommandKey> resolve(std::string_view message);

  private:
    struct Call {
        std::vector<int> suffixes;
        std::string parameters;
        int suffix(std::size_t index = 0) const {
            return index < suffixes.size() ? suffixes[index] : 1;
        }
    };
    using Handler = std::function<void(TestSet&, const Call&)>;
    enum class Takes { Nothing, Parameters };
    struct Command {
        HeaderPattern pattern;
        bool query;
        Takes takes;  // Nothing: any parameter is refused before the handler runs
        Handler run;
    };
    static const std::vector<Command>& commands();
    static std::vector<Command> buildCommands();
    static void addSettingCommands(std::vector<Command>& table);
    static void addMeasurementCommands(std::vector<Command>& table);
    static std::optional<CommandKey> resolve(const Message& message);

    void execute(const std::optional<Message>& message, const std::optional<CommandKey>& key);
    void applyReplyFault(const FaultRule& fault);
    void reply(const std::string& text) { output_ = text + "\n"; }
    // The parameters when there are exactly count of them; else the error goes into the queue.
    std::optional<std::vector<std::string>> exactParameters(const Call& call, std::size_t count);

    // Handlers.
    void identify(const Call& call);
    void clearStatus(const Call& call);
    void reset(const Call& call);
    void readError(const Call& call);
    void applicationRevision(const Call& call);
    void testApplication(const Call& call);
    void synchronised(const Call& call);
    void setSetting(const SettingDefinition& definition, const Call& call);
    void querySetting(const SettingDefinition& definition, const Call& call);
    void attenuationQuery(const Call& call);
    void calibrationWrite(const Call& call);
    void calibrationRead(const Call& call);
    void calibrationStore(const Call& call);
    void startMeasurement(MeasKind kind);
    void stopMeasurement(MeasKind kind);
    void measurementDone(const Call& call);
    void clearDone(const Call& call);
    void fetch(MeasKind kind, const std::string& item);

    TestSetProfile profile_;
    Settings settings_;
    ErrorQueue errors_;
    FaultTable faults_;
    CalibrationTables calibration_;
    MeasurementEngine measurements_;
    std::mt19937 random_;
    std::string output_;
    bool silenced_ = false;
    int syncPending_ = 0;
};

}  // namespace quillon::sim
