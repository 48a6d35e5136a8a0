// SPDX-License-Identifier: MIT
#include "records/results_database.h"

#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>
#include <QVariant>
#include <cmath>

#include "records/run_record_json.h"

namespace quillon::records {
namespace {

// Serialises schema changes between programs that open a PostgreSQL database at once.
constexpr const char* kMigrationLock = "SELECT pg_advisory_xact_lock(4750265101)";

struct Migration {
    int version;
    std::vector<const char*> statements;  // {id} and {real} stand for the dialect's types
};

const std::vector<Migration>& migrations() {
    static const std::vector<Migration> list = {
        {1,
         {"CREATE TABLE runs ("
          " id {id},"
          " run_uid TEXT NOT NULL UNIQUE,"
          " program TEXT NOT NULL, program_version TEXT NOT NULL,"
          " manufacturer TEXT NOT NULL, model TEXT NOT NULL, serial_number TEXT NOT NULL,"
          " firmware TEXT NOT NULL, test_application TEXT NOT NULL,"
          " test_application_revision TEXT NOT NULL, resource TEXT NOT NULL,"
          " bands TEXT NOT NULL, tests TEXT NOT NULL, iterations INTEGER NOT NULL,"
          " calibration_checked INTEGER NOT NULL, delay_setting_written INTEGER NOT NULL,"
          " data_delay_written INTEGER NOT NULL, calibration_code TEXT,"
          " started_utc TEXT NOT NULL, ended_utc TEXT NOT NULL,"
          " verdict TEXT NOT NULL, fail_count INTEGER NOT NULL,"
          " error_band INTEGER, error_stage TEXT,"
          " record_json TEXT NOT NULL)",
          "CREATE INDEX runs_by_serial ON runs (serial_number, started_utc)",
          "CREATE TABLE results ("
          " id {id},"
          " run_id BIGINT NOT NULL REFERENCES runs (id),"
          " position INTEGER NOT NULL,"
          " band INTEGER NOT NULL, band_name TEXT NOT NULL, frequency_hz BIGINT NOT NULL,"
          " source INTEGER NOT NULL, test INTEGER NOT NULL, name TEXT NOT NULL,"
          " value {real}, low_limit {real}, high_limit {real}, unit TEXT NOT NULL,"
          " result TEXT NOT NULL, passed INTEGER NOT NULL, margin {real})",
          "CREATE INDEX results_by_run ON results (run_id)",
          "CREATE TABLE configuration_values ("
          " result_id BIGINT NOT NULL REFERENCES results (id),"
          " config INTEGER NOT NULL, value {real}, integrity INTEGER NOT NULL,"
          " PRIMARY KEY (result_id, config))"}},
    };
    return list;
}

std::string dialect(std::string statement, DatabaseUrl::Kind kind) {
    const auto replace = [&statement](const std::string& key, const std::string& with) {
        for (auto at = statement.find(key); at != std::string::npos; at = statement.find(key)) {
            statement.replace(at, key.size(), with);
        }
    };
    const bool sqlite = kind == DatabaseUrl::Kind::Sqlite;
    replace("{id}", sqlite ? "INTEGER PRIMARY KEY AUTOINCREMENT" : "BIGSERIAL PRIMARY KEY");
    replace("{real}", "DOUBLE PRECISION");
    return statement;
}

std::string errorText(const QSqlError& error) {
    QString text = error.text().simplified();
    return text.isEmpty() ? std::string("unknown database error") : text.toStdString();
}

// A non-finite number is stored as NULL and read back as NaN.
QVariant real(double value) {
    return std::isfinite(value) ? QVariant(value) : QVariant(QMetaType(QMetaType::Double));
}

double realOf(const QVariant& value) {
    return value.isNull() ? std::nan("") : value.toDouble();
}

QString joined(const std::vector<int>& values) {
    QStringList parts;
    for (const int value : values) parts << QString::number(value);
    return parts.join(QLatin1Char(','));
}

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

bool exec(QSqlQuery& query, std::string& error) {
    if (query.exec()) return true;
    error = errorText(query.lastError());
    return false;
}

bool exec(QSqlDatabase db, const std::string& statement, std::string& error) {
    QSqlQuery query(db);
    if (query.exec(text(statement))) return true;
    error = errorText(query.lastError());
    return false;
}

}  // namespace

std::variant<DatabaseUrl, std::string> parseDatabaseUrl(std::string_view textValue) {
    const std::string whole(textValue);
    DatabaseUrl url;
    if (whole.rfind("sqlite:", 0) == 0) {
        url.path = whole.substr(7);
        if (url.path.empty()) return std::string("sqlite: needs a file path (sqlite:PATH)");
        return url;
    }
    if (whole.rfind("postgresql://", 0) != 0 && whole.rfind("postgres://", 0) != 0) {
        return "'" + whole + "' is neither sqlite:PATH nor postgresql://...";
    }
    const QUrl parsed(text(whole), QUrl::StrictMode);
    if (!parsed.isValid()) {
        return "'" + whole + "' is not a valid URL: " + parsed.errorString().toStdString();
    }
    url.kind = DatabaseUrl::Kind::Postgresql;
    url.host = parsed.host(QUrl::FullyDecoded).toStdString();
    url.port = parsed.port(-1);
    url.user = parsed.userName(QUrl::FullyDecoded).toStdString();
    url.password = parsed.password(QUrl::FullyDecoded).toStdString();
    url.database = parsed.path(QUrl::FullyDecoded).mid(1).toStdString();
    const QUrlQuery query(parsed);
    // libpq's own spelling: ?host=/run/postgresql&user=bench
    if (query.hasQueryItem("host")) {
        url.host = query.queryItemValue("host", QUrl::FullyDecoded).toStdString();
    }
    if (query.hasQueryItem("user")) {
        url.user = query.queryItemValue("user", QUrl::FullyDecoded).toStdString();
    }
    if (query.hasQueryItem("password")) {
        url.password = query.queryItemValue("password", QUrl::FullyDecoded).toStdString();
    }
    if (url.database.empty()) return "'" + whole + "' names no database";
    return url;
}

ResultsDatabase::ResultsDatabase(std::string connectionName, DatabaseUrl::Kind kind)
    : connectionName_(std::move(connectionName)), kind_(kind) {}

ResultsDatabase::~ResultsDatabase() {
    {
        QSqlDatabase db = QSqlDatabase::database(text(connectionName_), false);
        db.close();
    }
    QSqlDatabase::removeDatabase(text(connectionName_));
}

std::unique_ptr<ResultsDatabase> ResultsDatabase::open(const DatabaseUrl& url, std::string& error) {
    const bool sqlite = url.kind == DatabaseUrl::Kind::Sqlite;
    const QString driver = sqlite ? "QSQLITE" : "QPSQL";
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        error = "the Qt SQL driver " + driver.toStdString() + " is not installed";
        return nullptr;
    }
    const std::string name = "quillon-" + QUuid::createUuid().toString().toStdString();
    std::unique_ptr<ResultsDatabase> database(new ResultsDatabase(name, url.kind));
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, text(name));
    if (sqlite) {
        db.setDatabaseName(text(url.path));
        // Benches sharing one file wait for each other's transactions instead of failing.
        db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=15000");
    } else {
        db.setHostName(text(url.host));
        if (url.port > 0) db.setPort(url.port);
        db.setDatabaseName(text(url.database));
        db.setUserName(text(url.user));
        db.setPassword(text(url.password));
        db.setConnectOptions("connect_timeout=5");
    }
    if (!db.open()) {
        error = errorText(db.lastError());
        return nullptr;
    }
    if (sqlite && !exec(db, "PRAGMA foreign_keys = ON", error)) return nullptr;
    // The server's notices ("already exists, skipping") are not for the operator's terminal.
    if (!sqlite && !exec(db, "SET client_min_messages = warning", error)) return nullptr;
    if (!database->migrate(error)) return nullptr;
    return database;
}

// SQLite takes the write lock at BEGIN IMMEDIATE, so two writers queue at the start instead of
// one failing half-way; PostgreSQL's row-level work needs only the schema lock for migrations.
bool ResultsDatabase::begin(bool exclusive, std::string& error) {
    QSqlDatabase db = QSqlDatabase::database(text(connectionName_), false);
    if (kind_ == DatabaseUrl::Kind::Sqlite) return exec(db, "BEGIN IMMEDIATE", error);
    if (!exec(db, "BEGIN", error)) return false;
    return !exclusive || exec(db, kMigrationLock, error);
}

bool ResultsDatabase::migrate(std::string& error) {
    QSqlDatabase db = QSqlDatabase::database(text(connectionName_), false);
    if (!begin(true, error)) return false;
    const auto rollback = [&db](std::string reason, std::string& out) {
        std::string ignored;
        exec(db, "ROLLBACK", ignored);
        out = std::move(reason);
        return false;
    };
    if (!exec(db, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)", error)) {
        return rollback(error, error);
    }
    QSqlQuery current(db);
    if (!current.exec("SELECT MAX(version) FROM schema_version")) {
        return rollback(errorText(current.lastError()), error);
    }
    const int version = current.next() ? current.value(0).toInt() : 0;
    if (version > kDatabaseSchemaVersion) {
        return rollback("the database's schema version " + std::to_string(version) +
                            " is newer than this program's " +
                            std::to_string(kDatabaseSchemaVersion),
                        error);
    }
    for (const Migration& migration : migrations()) {
        if (migration.version <= version) continue;
        for (const char* statement : migration.statements) {
            if (!exec(db, dialect(statement, kind_), error)) {
                return rollback(
                    "schema version " + std::to_string(migration.version) + ": " + error, error);
            }
        }
        QSqlQuery mark(db);
        mark.prepare("INSERT INTO schema_version (version) VALUES (?)");
        mark.addBindValue(migration.version);
        if (!exec(mark, error)) return rollback(error, error);
    }
    return exec(db, "COMMIT", error) || rollback(error, error);
}

int ResultsDatabase::schemaVersion() {
    QSqlQuery query(QSqlDatabase::database(text(connectionName_), false));
    if (!query.exec("SELECT MAX(version) FROM schema_version") || !query.next()) return 0;
    return query.value(0).toInt();
}

bool ResultsDatabase::store(const RunDocument& document, std::string& error) {
    QSqlDatabase db = QSqlDatabase::database(text(connectionName_), false);
    const testrun::RunRecord& r = document.record;
    if (!begin(false, error)) return false;
    const auto fail = [&db, &error](const std::string& reason) {
        std::string ignored;
        exec(db, "ROLLBACK", ignored);
        error = reason;
        return false;
    };

    QSqlQuery run(db);
    run.prepare(
        "INSERT INTO runs (run_uid, program, program_version, manufacturer, model, "
        "serial_number, firmware, test_application, test_application_revision, resource, bands, "
        "tests, iterations, calibration_checked, delay_setting_written, data_delay_written, "
        "calibration_code, started_utc, ended_utc, verdict, fail_count, error_band, error_stage, "
        "record_json) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
        "?) ON CONFLICT (run_uid) DO NOTHING RETURNING id");
    const QVariant none;
    for (const QVariant& value : {
             QVariant(text(document.runId)),
             QVariant(text(document.program.name)),
             QVariant(text(document.program.version)),
             QVariant(text(r.testSet.manufacturer)),
             QVariant(text(r.testSet.model)),
             QVariant(text(r.testSet.serialNumber)),
             QVariant(text(r.testSet.firmware)),
             QVariant(text(r.testSet.testApplication)),
             QVariant(text(r.testSet.testApplicationRevision)),
             QVariant(text(r.testSet.resource)),
             QVariant(joined(r.choice.bands)),
             QVariant(joined(r.choice.tests)),
             QVariant(r.choice.iterations),
             QVariant(r.calibration.checked ? 1 : 0),
             QVariant(r.calibration.delaySettingWritten ? 1 : 0),
             QVariant(r.calibration.dataDelayWritten ? 1 : 0),
             r.calibration.gridCode.empty() ? QVariant(QMetaType(QMetaType::QString))
                                            : QVariant(text(r.calibration.gridCode)),
             QVariant(text(utcText(r.start))),
             QVariant(text(utcText(r.end))),
             QVariant(r.pass ? "Pass" : "Fail"),
             QVariant(r.failCount),
             r.stoppedBy ? QVariant(r.stoppedBy->band) : QVariant(QMetaType(QMetaType::Int)),
             r.stoppedBy ? QVariant(text(r.stoppedBy->stage))
                         : QVariant(QMetaType(QMetaType::QString)),
             QVariant(
                 QString::fromUtf8(QJsonDocument(toJson(document)).toJson(QJsonDocument::Compact))),
         }) {
        run.addBindValue(value);
    }
    if (!run.exec()) return fail(errorText(run.lastError()));
    // No row back: this run is stored already (an outbox copy sent a second time).
    if (!run.next()) return exec(db, "COMMIT", error) || fail(error);
    const QVariant runId = run.value(0);
    run.finish();

    QSqlQuery result(db);
    result.prepare(
        "INSERT INTO results (run_id, position, band, band_name, frequency_hz, source, test, "
        "name, value, low_limit, high_limit, unit, result, passed, margin) VALUES (?, ?, ?, ?, "
        "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id");
    QSqlQuery config(db);
    config.prepare(
        "INSERT INTO configuration_values (result_id, config, value, integrity) VALUES (?, ?, "
        "?, ?)");
    int position = 0;
    for (const testrun::ResultRecord& row : r.results) {
        for (const QVariant& value :
             {runId, QVariant(position++), QVariant(row.band), QVariant(text(row.bandName)),
              QVariant(static_cast<qlonglong>(row.frequencyHz)), QVariant(row.source),
              QVariant(row.test), QVariant(text(row.name)), real(row.value), real(row.lowLimit),
              row.highLimit ? real(*row.highLimit) : QVariant(QMetaType(QMetaType::Double)),
              QVariant(text(row.unit)), QVariant(text(row.passFail)),
              QVariant(row.passed() ? 1 : 0), real(row.margin())}) {
            result.addBindValue(value);
        }
        if (!result.exec() || !result.next()) return fail(errorText(result.lastError()));
        const QVariant resultId = result.value(0);
        result.finish();
        for (const testrun::ConfigurationValue& c : row.configurations) {
            config.addBindValue(resultId);
            config.addBindValue(c.config);
            config.addBindValue(real(c.value));
            config.addBindValue(c.integrity);
            if (!config.exec()) return fail(errorText(config.lastError()));
        }
    }
    return exec(db, "COMMIT", error) || fail(error);
}

std::optional<std::vector<HistoryRun>> ResultsDatabase::history(const std::string& serialNumber,
                                                                std::string& error) {
    QSqlQuery query(QSqlDatabase::database(text(connectionName_), false));
    query.setForwardOnly(true);
    query.prepare(
        "SELECT runs.id, runs.run_uid, runs.started_utc, runs.program_version, runs.verdict, "
        "results.band, results.band_name, results.source, results.name, results.unit, "
        "results.value, results.margin FROM runs LEFT JOIN results ON results.run_id = runs.id "
        "WHERE runs.serial_number = ? ORDER BY runs.started_utc DESC, runs.id DESC, "
        "results.position");
    query.addBindValue(text(serialNumber));
    if (!query.exec()) {
        error = errorText(query.lastError());
        return std::nullopt;
    }
    std::vector<HistoryRun> runs;
    qlonglong currentRun = -1;
    while (query.next()) {
        if (runs.empty() || query.value(0).toLongLong() != currentRun) {
            currentRun = query.value(0).toLongLong();
            runs.push_back({query.value(1).toString().toStdString(),
                            query.value(2).toString().toStdString(),
                            query.value(3).toString().toStdString(),
                            query.value(4).toString() == "Pass",
                            {}});
        }
        if (query.value(5).isNull()) continue;  // a run without result rows
        runs.back().results.push_back(
            {query.value(5).toInt(), query.value(6).toString().toStdString(),
             query.value(7).toInt(), query.value(8).toString().toStdString(),
             query.value(9).toString().toStdString(), realOf(query.value(10)),
             realOf(query.value(11))});
    }
    return runs;
}

}  // namespace quillon::records
