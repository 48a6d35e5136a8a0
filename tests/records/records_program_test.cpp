// SPDX-License-Identifier: MIT
// The real program on the console against the simulated test set: --json under a German
// locale, --results-db with its outbox, --history, and two benches writing at once.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>

#include "postgres_server.h"
#include "records_support.h"

namespace quillon::testing {
namespace {

const std::string kSchema = QUILLON_SOURCE_DIR "/src/records/run-record.schema.json";

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

std::string readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// One temporary folder per test: the user's data folder (outbox), files and locks live there.
class Bench {
  public:
    std::string path(const std::string& name) const {
        return QDir(dir_.path()).filePath(QString::fromStdString(name)).toStdString();
    }
    std::string outbox() const { return path("data/quillon/outbox"); }

    // quillon with args as shell words, no stdin, pauses off; env are extra assignments.
    Outcome quillon(const std::string& args, const std::string& env = {}) const {
        const std::string out = path("out-" + std::to_string(counter_)),
                          err = path("err-" + std::to_string(counter_));
        ++counter_;
        const std::string line =
            "env -u QUILLON_RESULTS_DB -u QUILLON_SIM_PROFILE "
            "QUILLON_PAUSE_SCALE=0 XDG_DATA_HOME=" +
            path("data") + " QUILLON_INSTANCE_LOCK=" + path("lock-") + std::to_string(counter_) +
            " " + env + " timeout -s KILL 120 " QUILLON_BIN_DIR "/quillon --console " + args +
            " </dev/null >" + out + " 2>" + err;
        const int status = std::system(line.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readAll(QString::fromStdString(out)),
                readAll(QString::fromStdString(err))};
    }

    // Several runs started together; their exit codes.
    std::vector<int> together(const std::vector<std::string>& args) const {
        std::string script;
        for (std::size_t i = 0; i < args.size(); ++i) {
            script +=
                "(env -u QUILLON_RESULTS_DB QUILLON_PAUSE_SCALE=0 XDG_DATA_HOME=" + path("data") +
                " QUILLON_INSTANCE_LOCK=" + path("lock-t" + std::to_string(i)) +
                " timeout -s KILL 120 " QUILLON_BIN_DIR "/quillon --console " + args[i] +
                " </dev/null >/dev/null 2>" + path("together-" + std::to_string(i)) +
                "; echo $? >" + path("code-" + std::to_string(i)) + ") & ";
        }
        std::system((script + "wait").c_str());
        std::vector<int> codes;
        for (std::size_t i = 0; i < args.size(); ++i) {
            codes.push_back(std::atoi(
                readAll(QString::fromStdString(path("code-" + std::to_string(i)))).c_str()));
        }
        return codes;
    }

  private:
    QTemporaryDir dir_;
    mutable int counter_ = 0;
};

QJsonObject jsonFile(const std::string& path) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(readAll(QString::fromStdString(path))))
        .object();
}

// A German locale for the C library as well as for Qt: the system's when it has one,
// otherwise compiled into the bench's folder. Empty when neither can be had.
std::string germanLocaleEnvironment(const Bench& bench) {
    if (std::system("locale -a 2>/dev/null | grep -qi '^de_DE.utf-\\?8$'") == 0) {
        return "LC_ALL=de_DE.UTF-8";
    }
    const std::string folder = bench.path("locales");
    QDir().mkpath(QString::fromStdString(folder));
    if (std::system(
            ("localedef -i de_DE -f UTF-8 " + folder + "/de_DE.UTF-8 >/dev/null 2>&1").c_str()) !=
        0) {
        return {};
    }
    return "LOCPATH=" + folder + " LC_ALL=de_DE.UTF-8";
}

// The results file follows the German regional format; the record keeps JSON numbers and
// passes the published schema, and says what the table says.
TEST(RecordsProgram, JsonRecordUnderAGermanLocaleIsValidAndMatchesTheTable) {
    Bench bench;
    const std::string german = germanLocaleEnvironment(bench);
    ASSERT_FALSE(german.empty()) << "no German locale: install the Debian package locales";
    const Outcome run = bench.quillon("--yes --sim --bands PGSM --save " + bench.path("r.txt") +
                                          " --json " + bench.path("r.json"),
                                      german);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::string results = readAll(QString::fromStdString(bench.path("r.txt")));
    EXPECT_NE(results.find(", -20,000, 20,000, Hz"), std::string::npos) << results;

    const std::string text = readAll(QString::fromStdString(bench.path("r.json")));
    const auto validation = validateAgainstSchema({QByteArray::fromStdString(text)}, kSchema);
    ASSERT_EQ(validation.size(), 1u);
    EXPECT_TRUE(validation[0].valid) << validation[0].output;
    EXPECT_NE(text.find("\"low_limit\": -20,"), std::string::npos) << text;

    const QJsonObject record = QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
    EXPECT_EQ(record["test_set"].toObject()["serial_number"].toString(), "GB44180123");
    EXPECT_EQ(record["test_set"].toObject()["resource"].toString(), "GPIB0::14::INSTR");
    EXPECT_EQ(record["verdict"].toString(), "Pass");
    EXPECT_EQ(record["options"].toObject()["bands"].toArray(), QJsonArray{2});
    const QJsonArray rows = record["results"].toArray();
    ASSERT_EQ(rows.size(), 14);
    EXPECT_EQ(rows[0].toObject()["configurations"].toArray().size(), 4);
    EXPECT_EQ(rows[13].toObject()["configurations"].toArray().size(), 1);
    // The table's value, in the German file, is the record's worst value.
    const double worst = rows[0].toObject()["value"].toDouble();
    QString shown = QString::number(worst, 'f', 3);
    shown.replace('.', ',');
    EXPECT_NE(results.find(("GMSK Frequency Error, " + shown).toStdString()), std::string::npos)
        << shown.toStdString();
}

TEST(RecordsProgram, ARecordThatCannotBeWrittenEndsWithCode5AndBadRequestsWith64) {
    Bench bench;
    const Outcome run =
        bench.quillon("--yes --sim --bands DCS --json " + bench.path("no/dir/r.json"));
    EXPECT_EQ(run.exitCode, 5) << run.err;
    EXPECT_NE(run.err.find("quillon: record not saved to " + bench.path("no/dir/r.json")),
              std::string::npos)
        << run.err;

    const struct {
        std::string args, env, message;
    } refused[] = {
        {"--yes --sim --results-db mysql://x/y", "", "--results-db: 'mysql://x/y' is neither"},
        {"--yes --sim", "QUILLON_RESULTS_DB=nonsense", "QUILLON_RESULTS_DB: 'nonsense'"},
        {"--history GB1", "", "--history needs --results-db URL or QUILLON_RESULTS_DB"},
    };
    for (const auto& r : refused) {
        const Outcome result = bench.quillon(r.args, r.env);
        EXPECT_EQ(result.exitCode, 64) << r.args;
        EXPECT_NE(result.err.find(r.message), std::string::npos) << result.err;
    }
}

// The report on a machine without a display: pages, and the text a reader would search for.
TEST(RecordsProgram, ReportWithoutADisplayHoldsTheRunAndAnUnwritableOneEndsWithCode5) {
    Bench bench;
    const std::string pdf = bench.path("report.pdf");
    const Outcome run = bench.quillon("--yes --sim --report " + pdf, "DISPLAY= QT_QPA_PLATFORM=");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string info = bench.path("info.txt"), text = bench.path("report.txt");
    ASSERT_EQ(
        std::system(
            ("pdfinfo " + pdf + " >" + info + " && pdftotext -layout " + pdf + " " + text).c_str()),
        0);
    EXPECT_NE(readAll(QString::fromStdString(info)).find("Pages:           4"), std::string::npos);
    const std::string words = readAll(QString::fromStdString(text));
    for (const char* expected :
         {"GB44180123", "firmware", "Verdict: Pass", "GSM450  ", "Margins, PCS"}) {
        EXPECT_NE(words.find(expected), std::string::npos) << expected;
    }

    const Outcome unwritable =
        bench.quillon("--yes --sim --bands DCS --report " + bench.path("no/dir/r.pdf"));
    EXPECT_EQ(unwritable.exitCode, 5) << unwritable.err;
    EXPECT_NE(unwritable.err.find("quillon: report not saved to"), std::string::npos);
}

// Unreachable: the run goes on and waits in the outbox (one line says so); the next run that
// reaches the database sends it; --history then shows both, newest first, in a table or JSON.
TEST(RecordsProgram, OutboxThenHistoryOnSqlite) {
    Bench bench;
    const std::string blocked = bench.path("db");
    const std::string url = "sqlite:" + blocked + "/results.db";
    const Outcome first = bench.quillon("--yes --sim --bands GSM450 --results-db " + url);
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.err.find('\n'), first.err.size() - 1) << first.err;
    EXPECT_NE(first.err.find("quillon: results database not reached"), std::string::npos)
        << first.err;
    EXPECT_EQ(QDir(QString::fromStdString(bench.outbox())).entryList(QDir::Files).size(), 1);

    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(blocked)));
    const Outcome second = bench.quillon("--yes --sim --bands GSM450", "QUILLON_RESULTS_DB=" + url);
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_NE(second.err.find("with 1 earlier run from the outbox"), std::string::npos)
        << second.err;
    EXPECT_TRUE(QDir(QString::fromStdString(bench.outbox())).entryList(QDir::Files).isEmpty());

    const Outcome history = bench.quillon("--history GB44180123 --results-db " + url);
    EXPECT_EQ(history.exitCode, 0) << history.err;
    EXPECT_NE(history.out.find("Test set GB44180123: 2 runs, newest first"), std::string::npos)
        << history.out;
    EXPECT_NE(history.out.find("GSM450  1   GMSK Frequency Error   Hz"), std::string::npos)
        << history.out;
    const Outcome json = bench.quillon("--history GB44180123 --json " + bench.path("h.json"),
                                       "QUILLON_RESULTS_DB=" + url);
    EXPECT_EQ(json.exitCode, 0) << json.err;
    const QJsonObject h = jsonFile(bench.path("h.json"));
    EXPECT_EQ(h["runs"].toArray().size(), 2);
    EXPECT_EQ(h["results"].toArray().size(), 14);
    EXPECT_TRUE(
        h["results"].toArray()[0].toObject()["values"].toArray()[0].toObject()["drift"].isDouble());

    const Outcome unreadable =
        bench.quillon("--history GB44180123 --results-db sqlite:" + bench.path("none/x.db"));
    EXPECT_EQ(unreadable.exitCode, 3);
    EXPECT_NE(unreadable.err.find("quillon: history not read from the results database"),
              std::string::npos)
        << unreadable.err;
}

// Two benches finishing at once on one PostgreSQL server: both runs stored, whole.
TEST(RecordsProgram, TwoBenchesAtOnceOnPostgresql) {
    PostgresServer server;
    ASSERT_TRUE(server.start()) << server.log();
    Bench bench;
    const std::string args = "--yes --sim --bands PCS --results-db '" + server.url() + "'";
    EXPECT_EQ(bench.together({args, args}), (std::vector<int>{0, 0}));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(readAll(QString::fromStdString(bench.path("together-" + std::to_string(i)))), "");
    }
    const Outcome history = bench.quillon("--history GB44180123 --json " + bench.path("h.json") +
                                          " --results-db '" + server.url() + "'");
    ASSERT_EQ(history.exitCode, 0) << history.err;
    const QJsonObject h = jsonFile(bench.path("h.json"));
    EXPECT_EQ(h["runs"].toArray().size(), 2);
    for (const QJsonValue& row : h["results"].toArray()) {
        EXPECT_EQ(row.toObject()["values"].toArray().size(), 2)
            << row.toObject()["name"].toString().toStdString();
    }
}

}  // namespace
}  // namespace quillon::testing

#endif
