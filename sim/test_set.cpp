// SPDX-License-Identifier: MIT
#include "test_set.h"

#include <charconv>
#include <cmath>

#include "physics.h"

namespace quillon::sim {
namespace {

using instrument::kViErrorIo;
using instrument::kViErrorTimeout;
using instrument::kViSuccess;
using instrument::ViStatus;

// Width of the test application field of "SYSTem:CURRent:TA:MODel?" between its quotes.
constexpr std::size_t kTestApplicationField = 6;

// Shortest text that reads back as the same double.
std::string exactText(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::optional<int> wholeNumber(std::string_view text) {
    const auto parsed = parseNumber(text);
    if (!parsed || !parsed->unit.empty() || parsed->value != std::floor(parsed->value) ||
        std::fabs(parsed->value) > 1e6) {
        return std::nullopt;
    }
    return static_cast<int>(parsed->value);
}

// The first three parameters of "PL13:CALibration:DATA": 'name',row,column.
struct TableIndex {
    std::string table;
    int row = 0;
    int column = 0;
};
std::optional<TableIndex> tableIndex(const std::vector<std::string>& parameters) {
    auto table = parseQuoted(parameters[0]);
    const auto row = wholeNumber(parameters[1]);
    const auto column = wholeNumber(parameters[2]);
    if (!table || !row || !column) return std::nullopt;
    return TableIndex{std::move(*table), *row, *column};
}

// A reply longer than any reply buffer: a list of numbers, as a runaway instrument would send.
std::string longReply(std::size_t length) {
    std::string text;
    while (text.size() < length) text += "+1.234567E+00,";
    text.resize(length);
    return text;
}

}  // namespace

TestSet::TestSet(const InstrumentProfile& instrument, const Profile& profile, std::uint32_t seed)
    : Instrument(instrument.board, instrument.primary),
      profile_(instrument.testSet),
      settings_(instrument.testSet.correctionState),
      errors_(profile.errorQueueSize),
      faults_(instrument.testSet.faults,
              [](std::string_view text) { return TestSet::resolve(text); }),
      calibration_(instrument.testSet.calibration),
      measurements_(profile.doneAfterPolls),
      random_(seed) {}

std::optional<CommandKey> TestSet::resolve(const Message& message) {
    const std::vector<Command>& table = commands();
    std::vector<int> suffixes;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].query == message.query &&
            table[i].pattern.matches(message.keywords, suffixes)) {
            return CommandKey{static_cast<int>(i), suffixes};
        }
    }
    return std::nullopt;
}

std::optional<CommandKey> TestSet::resolve(std::string_view text) {
    const std::optional<Message> message = splitMessage(text);
    return message ? resolve(*message) : std::nullopt;
}

ViStatus TestSet::write(std::string_view text) {
    if (silenced_) return kViErrorTimeout;
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (!output_.empty()) {
        output_.clear();
        errors_.push(scpi_error::kQueryInterrupted);
    }
    if (trim(text).empty()) return kViSuccess;
    const std::optional<Message> message = splitMessage(text);
    const std::optional<CommandKey> key = message ? resolve(*message) : std::nullopt;
    const std::optional<FaultRule> fault = faults_.check(text, key, measuredSource(settings_));
    if (fault) {
        switch (fault->action) {
            case FaultAction::Timeout:
                return kViErrorTimeout;
            case FaultAction::IoError:
                return kViErrorIo;
            case FaultAction::Silence:
                silenced_ = true;
                return kViErrorTimeout;
            case FaultAction::ScpiError:
                errors_.push(fault->code,
                             fault->message.empty() ? errorText(fault->code) : fault->message);
                return kViSuccess;
            default:
                break;
        }
    }
    execute(message, key);
    if (!fault) return kViSuccess;
    applyReplyFault(*fault);
    return fault->action == FaultAction::WriteWarning ? kViWarnUnknownStatus : kViSuccess;
}

std::optional<std::string> TestSet::read() {
    if (silenced_) return std::nullopt;
    if (output_.empty()) {
        errors_.push(scpi_error::kQueryUnterminated);
        return std::nullopt;
    }
    std::string text = std::move(output_);
    output_.clear();
    return text;
}

void TestSet::execute(const std::optional<Message>& message, const std::optional<CommandKey>& key) {
    if (!message || !key) {
        errors_.push(scpi_error::kUndefinedHeader);
        return;
    }
    const Command& command = commands()[static_cast<std::size_t>(key->entry)];
    if (command.takes == Takes::Nothing && !message->parameters.empty()) {
        errors_.push(scpi_error::kParameterNotAllowed);
        return;
    }
    command.run(*this, Call{key->suffixes, message->parameters});
}

void TestSet::applyReplyFault(const FaultRule& fault) {
    if (output_.empty()) return;
    switch (fault.action) {
        case FaultAction::Garbage:
            reply(fault.reply);
            break;
        case FaultAction::LongReply:
            reply(longReply(fault.length));
            break;
        case FaultAction::Integrity:
            reply(std::to_string(fault.value));
            break;
        default:
            break;
    }
}

std::optional<std::vector<std::string>> TestSet::exactParameters(const Call& call,
                                                                 std::size_t count) {
    std::vector<std::string> parameters = splitParameters(call.parameters);
    if (parameters.size() == count) return parameters;
    errors_.push(parameters.size() < count ? scpi_error::kMissingParameter
                                           : scpi_error::kParameterNotAllowed);
    return std::nullopt;
}

void TestSet::identify(const Call&) {
    reply(profile_.manufacturer + "," + profile_.model + "," + profile_.serial + "," +
          profile_.firmware);
}

void TestSet::clearStatus(const Call&) {
    errors_.clear();
}

void TestSet::reset(const Call&) {
    settings_.reset();
    measurements_.reset();
}

void TestSet::readError(const Call&) {
    reply(errors_.pop());
}

void TestSet::applicationRevision(const Call&) {
    reply("\"" + profile_.revision + "\"");
}

// The code in a fixed-width field, padded with blanks, between quotes: "K2210 ".
void TestSet::testApplication(const Call&) {
    std::string field = profile_.testApplication;
    if (field.size() < kTestApplicationField) field.resize(kTestApplicationField, ' ');
    reply("\"" + field + "\"");
}

void TestSet::synchronised(const Call&) {
    if (syncPending_ > 0) {
        --syncPending_;
        reply("0");
    } else {
        reply("1");
    }
}

void TestSet::setSetting(const SettingDefinition& definition, const Call& call) {
    if (call.parameters.empty()) {
        errors_.push(scpi_error::kMissingParameter);
        return;
    }
    if (definition.kind != ParamKind::MaskList && splitParameters(call.parameters).size() > 1) {
        errors_.push(scpi_error::kParameterNotAllowed);
        return;
    }
    const int error = settings_.set(definition, call.suffix(), call.parameters);
    if (error != 0) errors_.push(error);
}

void TestSet::querySetting(const SettingDefinition& definition, const Call& call) {
    if (call.suffix() > definition.suffixes) {
        errors_.push(scpi_error::kUndefinedHeader);
        return;
    }
    reply(settings_.reply(definition, call.suffix()));
}

void TestSet::attenuationQuery(const Call& call) {
    if (call.suffix() > 2) {
        errors_.push(scpi_error::kUndefinedHeader);
        return;
    }
    reply(std::to_string(attenuation(settings_, profile_, call.suffix())));
}

void TestSet::calibrationWrite(const Call& call) {
    const auto parameters = exactParameters(call, 4);
    if (!parameters) return;
    const auto index = tableIndex(*parameters);
    const auto value = parseNumber((*parameters)[3]);
    if (!index || !value || !value->unit.empty()) {
        errors_.push(scpi_error::kDataTypeError);
        return;
    }
    const int error = calibration_.write(index->table, index->row, index->column, value->value);
    if (error != 0) errors_.push(error);
}

void TestSet::calibrationRead(const Call& call) {
    const auto parameters = exactParameters(call, 3);
    if (!parameters) return;
    const auto index = tableIndex(*parameters);
    if (!index) {
        errors_.push(scpi_error::kDataTypeError);
        return;
    }
    double value = 0.0;
    const int error = calibration_.read(index->table, index->row, index->column, value);
    if (error != 0) {
        errors_.push(error);
        return;
    }
    reply(exactText(value));
}

void TestSet::calibrationStore(const Call&) {
    syncPending_ = profile_.calibrationSyncPolls;
}

void TestSet::startMeasurement(MeasKind kind) {
    measurements_.start(kind);
}

void TestSet::stopMeasurement(MeasKind kind) {
    measurements_.stop(kind);
}

void TestSet::measurementDone(const Call&) {
    reply(measurements_.poll(
        [this](MeasKind kind) { return measure(kind, settings_, profile_, random_); }));
}

void TestSet::clearDone(const Call&) {
    measurements_.clearDone();
}

// Before a run has finished there is nothing to fetch: the reply carries no value and the
// error queue says why.
void TestSet::fetch(MeasKind kind, const std::string& item) {
    const MeasResults* results = measurements_.results(kind);
    if (results == nullptr || results->count(item) == 0) {
        errors_.push(scpi_error::kDataStale);
        reply(numberReply(kNotANumber));
        return;
    }
    const double value = results->at(item);
    if (item == "INTegrity") {
        reply(std::to_string(static_cast<long>(value)));
    } else {
        reply(numberReply(value));
    }
}

}  // namespace quillon::sim
