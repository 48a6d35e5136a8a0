// SPDX-License-Identifier: MIT
// The real program on the console against the simulated test set: --json under a German
// locale, --report, --results-db with its outbox on SQLite and PostgreSQL, two benches writing
// at once, --history.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <string>

#include "records_support.h"

namespace quillon::testing {
namespace {

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

std::string readAll(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

QJsonObject jsonFile(const std::string& path) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(readAll(path))).object();
}

// One temporary folder per test: the user's data folder (outbox), files and locks live there.
class Bench {
  public:
    std::string path(const std::string& name) const {
        return QDir(dir_.path()).filePath(QString::fromStdString(name)).toStdString();
    }
    std::string outbox() const { return path("data/quillon/outbox"); }

    // quillon with args as shell words, no stdin, pauses off; env are extra assignments.
    Outcome quillon(const std::string& args, const std::string& env = {}) {
        return together({args}, env)[0];
    }

    // Several runs started at once.
    std::vector<Outcome> together(const std::vector<std::string>& args,
                                  const std::string& env = {}) {
        std::string script;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string n = std::to_string(counter_ + i);
            script +=
                "(env -u QUILLON_RESULTS_DB -u QUILLON_SIM_PROFILE QUILLON_PAUSE_SCALE=0 "
                "XDG_DATA_HOME=" +
                path("data") + " QUILLON_INSTANCE_LOCK=" + path("lock-" + n) + " " + env +
                " timeout -s KILL 120 " QUILLON_BIN_DIR "/quillon --console " + args[i] +
                " </dev/null >" + path("out-" + n) + " 2>" + path("err-" + n) + "; echo $? >" +
                path("code-" + n) + ") & ";
        }
        std::system((script + "wait").c_str());
        std::vector<Outcome> outcomes;
        for (std::size_t i = 0; i < args.size(); ++i, ++counter_) {
            const std::string n = std::to_string(counter_);
            const std::string code = readAll(path("code-" + n));
            outcomes.push_back({code.empty() ? -1 : std::atoi(code.c_str()),
                                readAll(path("out-" + n)), readAll(path("err-" + n))});
        }
        return outcomes;
    }

  private:
    QTemporaryDir dir_;
    std::size_t counter_ = 0;
};

// A German locale for the C library as well as for Qt: the system's when it has one,
// otherwise compiled into the bench's folder. Empty when neither can be had.
std::string germanLocaleEnvironment(const Bench& bench) {
    if (std::system("locale -a 2>/dev/null | grep -qi '^de_DE.utf-\\?8$'") == 0) {
        return "LC_ALL=de_DE.UTF-8";
    }
    const std::string folder = bench.path("locales");
    QDir().mkpath(QString::fromStdString(folder));
    const std::string make =
        "localedef -i de_DE -f UTF-8 " + folder + "/de_DE.UTF-8 >/dev/null 2>&1";
    return std::system(make.c_str()) == 0 ? "LOCPATH=" + folder + " LC_ALL=de_DE.UTF-8" : "";
}

// Under a German locale on a machine without a display: the results file follows the regional
// format; the record keeps JSON numbers, passes the published schema and says what the table
// says; the report holds the run (pages, and the text a reader would search for).
TEST(RecordsProgram, JsonAndReportUnderAGermanLocaleWithoutADisplay) {
    Bench bench;
    const std::string german = germanLocaleEnvironment(bench);
    ASSERT_FALSE(german.empty()) << "no German locale: install the Debian package locales";
    const std::string pdf = bench.path("report.pdf");
    const Outcome run = bench.quillon("--yes --sim --save " + bench.path("r.txt") + " --json " +
                                          bench.path("r.json") + " --report " + pdf,
                                      german + " DISPLAY= QT_QPA_PLATFORM=");
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::string results = readAll(bench.path("r.txt"));
    EXPECT_NE(results.find(", -20,000, 20,000, Hz"), std::string::npos) << results;

    const std::string text = readAll(bench.path("r.json"));
    const auto validation = validateAgainstSchema({QByteArray::fromStdString(text)});
    ASSERT_EQ(validation.size(), 1u);
    EXPECT_TRUE(validation[0].valid) << validation[0].output;
    EXPECT_NE(text.find("\"low_limit\": -20,"), std::string::npos) << text;
    const QJsonObject record = QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
    EXPECT_EQ(record["test_set"].toObject()["serial_number"].toString(), "GB44180123");
    EXPECT_EQ(record["verdict"].toString(), "Pass");
    EXPECT_EQ(record["options"].toObject()["bands"].toArray(), (QJsonArray{0, 1, 2, 3, 4}));
    const QJsonArray rows = record["results"].toArray();
    ASSERT_EQ(rows.size(), 5 * 14);
    EXPECT_EQ(rows[0].toObject()["configurations"].toArray().size(), 4);
    // The table's value, in the German file, is the record's worst value.
    QString shown = QString::number(rows[0].toObject()["value"].toDouble(), 'f', 3);
    shown.replace('.', ',');
    EXPECT_NE(results.find(("GMSK Frequency Error, " + shown).toStdString()), std::string::npos)
        << shown.toStdString();

    const std::string info = bench.path("info.txt"), words = bench.path("report.txt");
    ASSERT_EQ(
        std::system(("pdfinfo " + pdf + " >" + info + " && pdftotext -layout " + pdf + " " + words)
                        .c_str()),
        0);
    EXPECT_NE(readAll(info).find("Pages:           4"), std::string::npos);
    for (const char* expected :
         {"GB44180123", "firmware", "Verdict: Pass", "GSM450  ", "Margins, PCS"}) {
        EXPECT_NE(readAll(words).find(expected), std::string::npos) << expected;
    }
}

// An output that cannot be written ends with 5 (the run itself passes), a bad request with 64.
TEST(RecordsProgram, UnsavedOutputsEndWith5AndBadRequestsWith64) {
    Bench bench;
    QFile(QString::fromStdString(bench.path("file"))).open(QIODevice::WriteOnly);
    const struct {
        std::string args, env;
        int exitCode;
        std::string message;
    } cases[] = {
        {"--json " + bench.path("no/dir/r.json"), "", 5,
         "quillon: record not saved to " + bench.path("no/dir/r.json")},
        {"--report " + bench.path("no/dir/r.pdf"), "", 5, "quillon: report not saved to"},
        {"--results-db sqlite:" + bench.path("no/dir/r.db"), "XDG_DATA_HOME=" + bench.path("file"),
         5, "cannot keep the run"},
        {"--results-db mysql://x/y", "", 64, "--results-db: 'mysql://x/y' is neither"},
        {"", "QUILLON_RESULTS_DB=nonsense", 64, "QUILLON_RESULTS_DB: 'nonsense'"},
        {"--history GB1", "", 64, "--history needs --results-db URL or QUILLON_RESULTS_DB"},
    };
    for (const auto& c : cases) {
        const Outcome run = bench.quillon("--yes --sim --bands DCS " + c.args, c.env);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

// Unreachable: the run goes on and waits in the outbox (one line says so); the next run that
// reaches the database sends it; two benches finish at once; --history then shows every run,
// newest first, as a table or JSON, and ends with 3 when the database cannot be read.
class RecordsProgramOn : public ::testing::TestWithParam<std::string> {};

TEST_P(RecordsProgramOn, OutboxTwoBenchesAtOnceAndHistory) {
    Bench bench;
    std::string url = "sqlite:" + bench.path("results.db"),
                unreachable = "sqlite:" + bench.path("none/results.db");
    if (GetParam() == "Postgresql") {
        const PostgresServer& server = PostgresServer::shared();
        ASSERT_TRUE(server.started()) << server.log();
        url = "'" + server.url() + "'";
        unreachable = "'postgresql:///postgres?host=" + bench.path("none") + "&user=quillon'";
    }
    const Outcome first = bench.quillon("--yes --sim --bands GSM450 --results-db " + unreachable);
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.err.find('\n'), first.err.size() - 1) << first.err;
    EXPECT_TRUE(first.err.starts_with("quillon: results database not reached")) << first.err;
    EXPECT_NE(first.err.find(bench.outbox()), std::string::npos) << first.err;
    EXPECT_EQ(QDir(QString::fromStdString(bench.outbox())).entryList(QDir::Files).size(), 1);

    const Outcome second = bench.quillon("--yes --sim --bands GSM450", "QUILLON_RESULTS_DB=" + url);
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_NE(second.err.find("with 1 earlier run from the outbox"), std::string::npos)
        << second.err;
    EXPECT_TRUE(QDir(QString::fromStdString(bench.outbox())).entryList(QDir::Files).isEmpty());

    const std::string args = "--yes --sim --bands GSM450 --results-db " + url;
    for (const Outcome& run : bench.together({args, args})) {
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
    }

    const Outcome history = bench.quillon("--history GB44180123 --results-db " + url);
    EXPECT_EQ(history.exitCode, 0) << history.err;
    EXPECT_NE(history.out.find("Test set GB44180123: 4 runs, newest first"), std::string::npos)
        << history.out;
    EXPECT_NE(history.out.find("GSM450  1   GMSK Frequency Error   Hz"), std::string::npos)
        << history.out;
    const Outcome json = bench.quillon("--history GB44180123 --json " + bench.path("h.json"),
                                       "QUILLON_RESULTS_DB=" + url);
    EXPECT_EQ(json.exitCode, 0) << json.err;
    const QJsonObject h = jsonFile(bench.path("h.json"));
    EXPECT_EQ(h["runs"].toArray().size(), 4);
    EXPECT_EQ(h["results"].toArray().size(), 14);
    for (const QJsonValue& row : h["results"].toArray()) {
        EXPECT_EQ(row.toObject()["values"].toArray().size(), 4);
    }
    EXPECT_TRUE(
        h["results"].toArray()[0].toObject()["values"].toArray()[0].toObject()["drift"].isDouble());

    const Outcome unreadable = bench.quillon("--history GB44180123 --results-db " + unreachable);
    EXPECT_EQ(unreadable.exitCode, 3);
    EXPECT_NE(unreadable.err.find("quillon: history not read from the results database"),
              std::string::npos)
        << unreadable.err;
}

INSTANTIATE_TEST_SUITE_P(Both, RecordsProgramOn, ::testing::Values("Sqlite", "Postgresql"),
                         [](const auto& kind) { return kind.param; });

}  // namespace
}  // namespace quillon::testing

#endif
