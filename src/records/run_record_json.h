// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonObject>
#include <optional>
#include <string>

#include "records/record_sink.h"

namespace quillon::records {

// Version of the record's layout, raised whenever a field changes meaning or is removed.
inline constexpr int kRecordSchemaVersion = 1;
// The record's "kind": tells a reader what the file holds before it looks any further.
inline constexpr const char* kRecordKind = "quillon-run-record";

// The self-describing record. Numbers are JSON numbers (a value that is not finite becomes
// null); times are ISO 8601 in UTC with milliseconds.
QJsonObject toJson(const RunDocument& document);

// The record back from its JSON form (the outbox keeps records so); nothing when the object
// is not a record of a version this program reads, with the reason in error.
std::optional<RunDocument> fromJson(const QJsonObject& object, std::string& error);

// "2026-12-06T02:31:07.250Z"
std::string utcText(std::chrono::system_clock::time_point when);
std::optional<std::chrono::system_clock::time_point> parseUtcText(const std::string& text);

// Writes bytes to path completely or not at all (a partly written file never replaces or
// becomes the file); false with the reason in error.
bool writeWholeFile(const std::string& path, const QByteArray& bytes, std::string& error);

// --json FILE: the run's record, indented.
class JsonFileSink : public RecordSink {
  public:
    explicit JsonFileSink(std::string path) : path_(std::move(path)) {}
    Delivery deliver(const RunDocument& document) override;

  private:
    std::string path_;
};

}  // namespace quillon::records
