// SPDX-License-Identifier: MIT
// The run record's JSON form: margins, numbers, round trip, refusals, the published schema.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <iterator>

#include "records/run_record_json.h"
#include "records_support.h"

namespace quillon::testing {
namespace {

QByteArray jsonText(const records::RunDocument& d) {
    return QJsonDocument(records::toJson(d)).toJson(QJsonDocument::Indented);
}

TEST(RunRecord, MarginIsTheSignedDistanceToTheNearerLimit) {
    const std::tuple<double, double, std::optional<double>, double> cases[] = {
        {3.0, -20.0, 20.0, 17.0},         {-19.0, -20.0, 20.0, 1.0},
        {21.5, -20.0, 20.0, -1.5},        {41.5, 35.0, std::nullopt, 6.5},
        {30.0, 35.0, std::nullopt, -5.0}, {std::nan(""), -1.0, 1.0, std::nan("")},
    };
    for (const auto& [value, low, high, margin] : cases) {
        testrun::ResultRecord r;
        std::tie(r.value, r.lowLimit, r.highLimit) = std::tie(value, low, high);
        EXPECT_EQ(std::isnan(r.margin()), std::isnan(margin)) << value;
        if (!std::isnan(margin)) {
            EXPECT_DOUBLE_EQ(r.margin(), margin) << value;
        }
    }
}

// Numbers come out as JSON numbers with a point, and the record reads back whole: what it
// reads back as writes the same text again (a value that is not a number as null, then NaN).
TEST(RunRecordJson, NumbersStayNumbersAndTheRecordReadsBack) {
    const records::RunDocument d = sampleDocument();
    const QByteArray text = jsonText(d);
    for (const char* part : {"\"value\": 3.25", "\"margin\": 16.75", "\"frequency_hz\": 464000000",
                             "\"value\": 1e-07", "\"high_limit\": null", "\"value\": null",
                             "\"start_utc\": \"2026-11-30T00:53:20.250Z\""}) {
        EXPECT_NE(text.indexOf(part), -1) << part << "\n" << text.constData();
    }
    std::string error;
    const auto back = records::fromJson(QJsonDocument::fromJson(text).object(), error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(jsonText(*back), text);
    EXPECT_EQ(back->record.start, d.record.start);
    EXPECT_TRUE(std::isnan(back->record.results[3].value));
}

TEST(RunRecordJson, RefusesWhatIsNotARecordOfThisVersion) {
    const QJsonObject good = records::toJson(sampleDocument());
    const std::pair<const char*, QJsonValue> changes[] = {
        {"kind", "something-else"},
        {"schema_version", 2},
        {"run_id", ""},
        {"start_utc", "yesterday"},
    };
    for (const auto& [key, value] : changes) {
        QJsonObject bad = good;
        bad[key] = value;
        std::string error;
        EXPECT_FALSE(records::fromJson(bad, error)) << key;
        EXPECT_FALSE(error.empty()) << key;
    }
}

// json with the value at a path of keys and array indexes ("results/0/value") replaced; an
// undefined value removes it.
QJsonValue edited(const QJsonValue& json, QStringList path, const QJsonValue& value) {
    const QString key = path.takeFirst();
    if (json.isArray()) {
        QJsonArray array = json.toArray();
        array[key.toInt()] = edited(array[key.toInt()], path, value);
        return array;
    }
    QJsonObject object = json.toObject();
    if (path.isEmpty() && value.isUndefined()) {
        object.remove(key);
    } else {
        object[key] = path.isEmpty() ? value : edited(object[key], path, value);
    }
    return object;
}

TEST(RunRecordSchema, TheRecordValidatesAndBrokenRecordsDoNot) {
    const records::RunDocument d = sampleDocument();
    records::RunDocument clean = d;
    clean.record.stoppedBy.reset();
    clean.record.calibration = {true, false, false, ""};
    clean.record.results.clear();

    // Each change is a fault a reader would trip over; the schema must catch it.
    const std::pair<const char*, QJsonValue> faults[] = {
        {"results/0/value", "3,25"},
        {"verdict", QJsonValue::Undefined},
        {"options/bands", QJsonArray{5}},
        {"calibration/code", "C:XX"},
        {"start_utc", "2026-11-29T05:53:20.250+01:00"},
    };
    std::vector<QByteArray> texts{jsonText(d), jsonText(clean)};
    for (const auto& [path, value] : faults) {
        const QJsonValue broken = edited(records::toJson(d), QString(path).split('/'), value);
        texts.push_back(QJsonDocument(broken.toObject()).toJson());
    }
    const std::vector<Validation> results = validateAgainstSchema(texts);
    ASSERT_EQ(results.size(), texts.size());
    EXPECT_TRUE(results[0].valid) << results[0].output;
    EXPECT_TRUE(results[1].valid) << results[1].output;
    for (std::size_t i = 0; i < std::size(faults); ++i) {
        EXPECT_FALSE(results[i + 2].valid) << faults[i].first;
    }
}

}  // namespace
}  // namespace quillon::testing
