// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "records/run_document.h"

namespace quillon::records {

// Where the results database is: "sqlite:PATH" or "postgresql://[user[:password]@][host][:port]/
// database[?host=SOCKET_FOLDER]" (a host that begins with "/" is a Unix socket folder).
struct DatabaseUrl {
    enum class Kind { Sqlite, Postgresql };
    Kind kind = Kind::Sqlite;
    std::string path;  // SQLite file
    std::string host;
    int port = -1;
    std::string database;
    std::string user;
    std::string password;
};

std::variant<DatabaseUrl, std::string> parseDatabaseUrl(std::string_view text);

// Newest schema version this program creates; older databases are migrated up to it.
inline constexpr int kDatabaseSchemaVersion = 1;

// One result of one earlier run, as --history reads it back.
struct HistoryEntry {
    int band = 0;
    std::string bandName;
    int source = 0;
    std::string name;
    std::string unit;
    double value = 0.0;   // NaN when the run stored none
    double margin = 0.0;  // NaN when the run stored none
};

struct HistoryRun {
    std::string runId;
    std::string startUtc;
    std::string programVersion;
    bool pass = false;
    std::vector<HistoryEntry> results;  // in the run's table order
};

// A connection to the results database, with its schema created or migrated on open.
// Each object has its own connection, so threads may each hold one.
class ResultsDatabase {
  public:
    ~ResultsDatabase();
    ResultsDatabase(const ResultsDatabase&) = delete;
    ResultsDatabase& operator=(const ResultsDatabase&) = delete;

    // Nothing when the database cannot be reached, or its schema is newer than this program's
    // or cannot be brought up to date; the reason in error.
    static std::unique_ptr<ResultsDatabase> open(const DatabaseUrl& url, std::string& error);

    // The whole run (run, results, per-configuration values) in one transaction. A run whose
    // id is stored already is not stored again (true: the database holds it).
    bool store(const RunDocument& document, std::string& error);

    // The runs of one test set, newest first; nothing when the database cannot be read.
    std::optional<std::vector<HistoryRun>> history(const std::string& serialNumber,
                                                   std::string& error);

    int schemaVersion();

  private:
    explicit ResultsDatabase(std::string connectionName, DatabaseUrl::Kind kind);
    bool migrate(std::string& error);
    bool begin(bool exclusive, std::string& error);

    std::string connectionName_;
    DatabaseUrl::Kind kind_;
};

}  // namespace quillon::records
