// SPDX-License-Identifier: MIT
#include "records/run_record_json.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QUuid>
#include <cmath>

namespace quillon::records {
namespace {

using testrun::ConfigurationValue;
using testrun::ResultRecord;
using testrun::RunRecord;

QJsonValue number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

double numberOf(const QJsonValue& value) {
    return value.isDouble() ? value.toDouble() : std::nan("");
}

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

std::string textOf(const QJsonValue& value) {
    return value.toString().toStdString();
}

QJsonArray intArray(const std::vector<int>& values) {
    QJsonArray array;
    for (const int value : values) array.append(value);
    return array;
}

std::vector<int> intsOf(const QJsonValue& value) {
    std::vector<int> ints;
    for (const QJsonValue& item : value.toArray()) ints.push_back(item.toInt());
    return ints;
}

QJsonObject identityJson(const testrun::TestSetIdentity& id) {
    return {{"manufacturer", text(id.manufacturer)},
            {"model", text(id.model)},
            {"serial_number", text(id.serialNumber)},
            {"firmware", text(id.firmware)},
            {"test_application", text(id.testApplication)},
            {"test_application_revision", text(id.testApplicationRevision)},
            {"resource", text(id.resource)}};
}

testrun::TestSetIdentity identityOf(const QJsonObject& o) {
    return {textOf(o["manufacturer"]),     textOf(o["model"]),
            textOf(o["serial_number"]),    textOf(o["firmware"]),
            textOf(o["test_application"]), textOf(o["test_application_revision"]),
            textOf(o["resource"])};
}

QJsonObject calibrationJson(const testrun::CalibrationRecord& c) {
    return {{"checked", c.checked},
            {"delay_setting_written", c.delaySettingWritten},
            {"data_delay_written", c.dataDelayWritten},
            {"code", c.gridCode.empty() ? QJsonValue(QJsonValue::Null) : text(c.gridCode)}};
}

testrun::CalibrationRecord calibrationOf(const QJsonObject& o) {
    return {o["checked"].toBool(), o["delay_setting_written"].toBool(),
            o["data_delay_written"].toBool(), textOf(o["code"])};
}

QJsonObject resultJson(const ResultRecord& r) {
    QJsonArray configurations;
    for (const ConfigurationValue& c : r.configurations) {
        configurations.append(QJsonObject{
            {"config", c.config}, {"value", number(c.value)}, {"integrity", c.integrity}});
    }
    return {{"band", r.band},
            {"band_name", text(r.bandName)},
            {"frequency_hz", static_cast<double>(r.frequencyHz)},
            {"source", r.source},
            {"test", r.test},
            {"name", text(r.name)},
            {"value", number(r.value)},
            {"low_limit", number(r.lowLimit)},
            {"high_limit", r.highLimit ? number(*r.highLimit) : QJsonValue(QJsonValue::Null)},
            {"unit", text(r.unit)},
            {"result", text(r.passFail)},
            {"passed", r.passed()},
            {"margin", number(r.margin())},
            {"configurations", configurations}};
}

ResultRecord resultOf(const QJsonObject& o) {
    ResultRecord r;
    r.band = o["band"].toInt();
    r.bandName = textOf(o["band_name"]);
    r.frequencyHz = static_cast<long long>(o["frequency_hz"].toDouble());
    r.source = o["source"].toInt();
    r.test = o["test"].toInt();
    r.name = textOf(o["name"]);
    r.value = numberOf(o["value"]);
    r.lowLimit = numberOf(o["low_limit"]);
    if (!o["high_limit"].isNull()) r.highLimit = numberOf(o["high_limit"]);
    r.unit = textOf(o["unit"]);
    r.passFail = textOf(o["result"]);
    for (const QJsonValue& item : o["configurations"].toArray()) {
        const QJsonObject c = item.toObject();
        r.configurations.push_back(
            {c["config"].toInt(), numberOf(c["value"]), c["integrity"].toInt()});
    }
    return r;
}

QJsonValue stopJson(const std::optional<testrun::RunStop>& stop) {
    if (!stop) return QJsonValue(QJsonValue::Null);
    return QJsonObject{
        {"band", stop->band}, {"band_name", text(stop->bandName)}, {"stage", text(stop->stage)}};
}

std::optional<testrun::RunStop> stopOf(const QJsonValue& value) {
    if (!value.isObject()) return std::nullopt;
    const QJsonObject o = value.toObject();
    return testrun::RunStop{o["band"].toInt(), textOf(o["band_name"]), textOf(o["stage"])};
}

}  // namespace

std::string newRunId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}

std::string utcText(std::chrono::system_clock::time_point when) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs).toStdString();
}

std::optional<std::chrono::system_clock::time_point> parseUtcText(const std::string& text) {
    const QDateTime when = QDateTime::fromString(QString::fromStdString(text), Qt::ISODateWithMs);
    if (!when.isValid()) return std::nullopt;
    return std::chrono::system_clock::time_point(
        std::chrono::milliseconds(when.toMSecsSinceEpoch()));
}

QJsonObject toJson(const RunDocument& document) {
    const RunRecord& r = document.record;
    QJsonArray results;
    for (const ResultRecord& result : r.results) results.append(resultJson(result));
    return {{"kind", kRecordKind},
            {"schema_version", kRecordSchemaVersion},
            {"run_id", text(document.runId)},
            {"program", QJsonObject{{"name", text(document.program.name)},
                                    {"version", text(document.program.version)}}},
            {"start_utc", text(utcText(r.start))},
            {"end_utc", text(utcText(r.end))},
            {"test_set", identityJson(r.testSet)},
            {"options", QJsonObject{{"bands", intArray(r.choice.bands)},
                                    {"tests", intArray(r.choice.tests)},
                                    {"iterations", r.choice.iterations}}},
            {"calibration", calibrationJson(r.calibration)},
            {"results", results},
            {"verdict", r.pass ? "Pass" : "Fail"},
            {"fail_count", r.failCount},
            {"instrument_error", stopJson(r.stoppedBy)}};
}

std::optional<RunDocument> fromJson(const QJsonObject& o, std::string& error) {
    if (o["kind"].toString() != QLatin1String(kRecordKind)) {
        error = "not a run record";
        return std::nullopt;
    }
    if (o["schema_version"].toInt() != kRecordSchemaVersion) {
        error = "record schema version " + std::to_string(o["schema_version"].toInt()) +
                " is not " + std::to_string(kRecordSchemaVersion);
        return std::nullopt;
    }
    const auto start = parseUtcText(textOf(o["start_utc"]));
    const auto end = parseUtcText(textOf(o["end_utc"]));
    if (!start || !end || textOf(o["run_id"]).empty()) {
        error = "record without run id, start or end";
        return std::nullopt;
    }
    RunDocument document;
    document.runId = textOf(o["run_id"]);
    const QJsonObject program = o["program"].toObject();
    document.program = {textOf(program["name"]), textOf(program["version"])};
    RunRecord& r = document.record;
    r.start = *start;
    r.end = *end;
    r.testSet = identityOf(o["test_set"].toObject());
    const QJsonObject options = o["options"].toObject();
    r.choice = {intsOf(options["bands"]), intsOf(options["tests"]), options["iterations"].toInt()};
    r.calibration = calibrationOf(o["calibration"].toObject());
    for (const QJsonValue& item : o["results"].toArray())
        r.results.push_back(resultOf(item.toObject()));
    r.pass = o["verdict"].toString() == QLatin1String("Pass");
    r.failCount = o["fail_count"].toInt();
    r.stoppedBy = stopOf(o["instrument_error"]);
    return document;
}

bool writeWholeFile(const std::string& path, const QByteArray& bytes, std::string& error) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

Delivery JsonFileSink::deliver(const RunDocument& document) {
    std::string error;
    if (writeWholeFile(path_, QJsonDocument(toJson(document)).toJson(QJsonDocument::Indented),
                       error)) {
        return {};
    }
    return {Delivery::Status::Failed, "record not saved to " + path_ + ": " + error};
}

}  // namespace quillon::records
