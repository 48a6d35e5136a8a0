// SPDX-License-Identifier: MIT
// The run record's JSON form: numbers, round trip, refusals, the published schema.

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QTemporaryDir>
#include <clocale>
#include <iterator>

#include "records/run_record_json.h"
#include "records_support.h"

namespace quillon::testing {
namespace {

const std::string kSchema = QUILLON_SOURCE_DIR "/src/records/run-record.schema.json";

QByteArray jsonText(const records::RunDocument& d) {
    return QJsonDocument(records::toJson(d)).toJson(QJsonDocument::Indented);
}

TEST(RunRecord, MarginIsTheSignedDistanceToTheNearerLimit) {
    struct Case {
        double value, low;
        std::optional<double> high;
        double margin;
    };
    const Case cases[] = {
        {3.0, -20.0, 20.0, 17.0},         {-19.0, -20.0, 20.0, 1.0},
        {21.5, -20.0, 20.0, -1.5},        {41.5, 35.0, std::nullopt, 6.5},
        {30.0, 35.0, std::nullopt, -5.0}, {0.0, 0.0, 4.0, 0.0},
    };
    for (const Case& c : cases) {
        testrun::ResultRecord r;
        r.value = c.value;
        r.lowLimit = c.low;
        r.highLimit = c.high;
        EXPECT_DOUBLE_EQ(r.margin(), c.margin) << c.value;
    }
    testrun::ResultRecord nan;
    nan.value = std::nan("");
    nan.highLimit = 1.0;
    EXPECT_TRUE(std::isnan(nan.margin()));
}

// Whatever the process locale, numbers come out as JSON numbers with a point, and the
// record reads back field for field (a value that is not a number as null, then NaN).
TEST(RunRecordJson, NumbersStayNumbersAndTheRecordReadsBack) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // present or not: QLocale below is German anyway
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const records::RunDocument d = sampleDocument();
    const QByteArray text = jsonText(d);
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, saved.c_str());

    EXPECT_NE(text.indexOf("\"value\": 3.25"), -1) << text.constData();
    EXPECT_NE(text.indexOf("\"margin\": 16.75"), -1);
    EXPECT_NE(text.indexOf("\"frequency_hz\": 464000000"), -1);
    EXPECT_NE(text.indexOf("\"value\": 1e-07"), -1);
    EXPECT_NE(text.indexOf("\"high_limit\": null"), -1);
    EXPECT_NE(text.indexOf("\"start_utc\": \"2026-11-30T00:53:20.250Z\""), -1);
    EXPECT_EQ(text.indexOf("3,25"), -1);

    std::string error;
    const auto back = records::fromJson(QJsonDocument::fromJson(text).object(), error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->runId, d.runId);
    EXPECT_EQ(back->program.version, "65.2.1");
    const testrun::RunRecord& r = back->record;
    EXPECT_EQ(r.start, d.record.start);
    EXPECT_EQ(r.end, d.record.end);
    EXPECT_EQ(r.testSet.resource, "GPIB0::14::INSTR");
    EXPECT_EQ(r.testSet.testApplicationRevision, "A.05.12");
    EXPECT_EQ(r.choice.bands, (std::vector<int>{0, 3}));
    EXPECT_EQ(r.choice.tests, (std::vector<int>{0, 4, 7}));
    EXPECT_EQ(r.calibration.gridCode, "C:DH");
    EXPECT_TRUE(r.calibration.delaySettingWritten);
    EXPECT_FALSE(r.calibration.dataDelayWritten);
    ASSERT_EQ(r.results.size(), d.record.results.size());
    EXPECT_FALSE(r.results[1].highLimit);
    EXPECT_EQ(r.results[2].passFail, "Fail ( 5)");
    EXPECT_EQ(r.results[2].configurations[0].integrity, 5);
    EXPECT_DOUBLE_EQ(r.results[0].configurations[3].value, 1e-7);
    EXPECT_TRUE(std::isnan(r.results[3].value));
    ASSERT_TRUE(r.stoppedBy);
    EXPECT_EQ(r.stoppedBy->stage, "source 1 tests, configuration 2");
    EXPECT_EQ(r.failCount, 2);
    EXPECT_FALSE(r.pass);
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

TEST(RunRecordSchema, TheRecordValidatesAndBrokenRecordsDoNot) {
    const records::RunDocument d = sampleDocument();
    records::RunDocument clean = d;
    clean.record.stoppedBy.reset();
    clean.record.calibration = {true, false, false, ""};
    clean.record.results.clear();

    // Each change is a fault a reader would trip over; the schema must catch it.
    using Edit = void (*)(QJsonObject&);
    const std::pair<const char*, Edit> faults[] = {
        {"number as text",
         [](QJsonObject& o) {
             QJsonArray results = o["results"].toArray();
             QJsonObject first = results[0].toObject();
             first["value"] = "3,25";
             results[0] = first;
             o["results"] = results;
         }},
        {"missing verdict", [](QJsonObject& o) { o.remove("verdict"); }},
        {"unknown band",
         [](QJsonObject& o) {
             o["options"] =
                 QJsonObject{{"bands", QJsonArray{5}}, {"tests", QJsonArray{}}, {"iterations", 50}};
         }},
        {"bad calibration code",
         [](QJsonObject& o) {
             QJsonObject c = o["calibration"].toObject();
             c["code"] = "C:XX";
             o["calibration"] = c;
         }},
        {"local time", [](QJsonObject& o) { o["start_utc"] = "2026-11-29T05:53:20.250+01:00"; }},
    };
    std::vector<QByteArray> texts{jsonText(d), jsonText(clean)};
    for (const auto& fault : faults) {
        QJsonObject o = records::toJson(d);
        fault.second(o);
        texts.push_back(QJsonDocument(o).toJson());
    }
    const std::vector<Validation> results = validateAgainstSchema(texts, kSchema);
    ASSERT_EQ(results.size(), texts.size());
    EXPECT_TRUE(results[0].valid) << results[0].output;
    EXPECT_TRUE(results[1].valid) << results[1].output;
    for (std::size_t i = 0; i < std::size(faults); ++i) {
        EXPECT_FALSE(results[i + 2].valid) << faults[i].first;
    }
}

// Complete or absent: a folder that does not exist leaves nothing, an existing file is
// replaced whole.
TEST(JsonFileSink, WritesWholeOrReportsTheFailure) {
    QTemporaryDir dir;
    const std::string missing = QDir(dir.path()).filePath("no/such/dir/run.json").toStdString();
    const records::Delivery failed = records::JsonFileSink(missing).deliver(sampleDocument());
    EXPECT_EQ(failed.status, records::Delivery::Status::Failed);
    EXPECT_NE(failed.message.find(missing), std::string::npos) << failed.message;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(missing)));

    const std::string path = QDir(dir.path()).filePath("run.json").toStdString();
    QFile old(QString::fromStdString(path));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    const records::RunDocument d = sampleDocument();
    EXPECT_EQ(records::JsonFileSink(path).deliver(d).status, records::Delivery::Status::Written);
    QFile written(QString::fromStdString(path));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        QJsonDocument::fromJson(written.readAll()).object()["run_id"].toString().toStdString(),
        d.runId);
}

}  // namespace
}  // namespace quillon::testing
