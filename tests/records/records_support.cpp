// SPDX-License-Identifier: MIT
#include "records_support.h"

#include <QFile>
#include <QProcess>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace quillon::testing {

namespace {

// Prints one line per file: "ok" or the first complaint.
constexpr const char* kValidator = R"(import json, sys, jsonschema
schema = json.load(open(sys.argv[1]))
jsonschema.Draft7Validator.check_schema(schema)
validator = jsonschema.Draft7Validator(schema)
for path in sys.argv[2:]:
    errors = list(validator.iter_errors(json.load(open(path))))
    print("ok" if not errors else "invalid: " + errors[0].message.replace("\n", " "))
)";

}  // namespace

std::vector<Validation> validateAgainstSchema(const std::vector<QByteArray>& jsons) {
    QTemporaryDir dir;
    QStringList args{"-c", kValidator, QString::fromStdString(kSchema)};
    for (std::size_t i = 0; i < jsons.size(); ++i) {
        QFile file(dir.filePath(QString::number(i) + ".json"));
        if (!file.open(QIODevice::WriteOnly)) return {};
        file.write(jsons[i]);
        args << file.fileName();
    }
    QProcess python;
    python.start("/usr/bin/python3", args);
    std::vector<Validation> results(jsons.size(), Validation{false, "python3 did not finish"});
    if (!python.waitForFinished(30000)) return results;
    const QList<QByteArray> lines = python.readAllStandardOutput().split('\n');
    const std::string err = python.readAllStandardError().toStdString();
    for (std::size_t i = 0; i < results.size(); ++i) {
        const QByteArray line = static_cast<qsizetype>(i) < lines.size()
                                    ? lines[static_cast<qsizetype>(i)]
                                    : QByteArray();
        results[i] = {line == "ok", line.isEmpty() ? err : line.toStdString()};
    }
    return results;
}

#ifndef _WIN32
namespace {
const std::string kBin = "/usr/lib/postgresql/15/bin/";
}  // namespace

PostgresServer& PostgresServer::shared() {
    static PostgresServer server;
    return server;
}

PostgresServer::PostgresServer() {
    if (::access((kBin + "initdb").c_str(), X_OK) != 0) {
        log_ = kBin + "initdb is missing (Debian package postgresql-15)";
        return;
    }
    const passwd* user = ::geteuid() != 0 ? nullptr : ::getpwnam("postgres");
    if (user == nullptr && ::geteuid() == 0) user = ::getpwnam("nobody");
    // The server's user needs the folder, which is 0700 and root's until now.
    if (user != nullptr && ::chown(folder_.c_str(), user->pw_uid, user->pw_gid) == 0) {
        asUser_ = "setpriv --reuid=" + std::to_string(user->pw_uid) +
                  " --regid=" + std::to_string(user->pw_gid) + " --clear-groups ";
    }
    if (run(kBin + "initdb --no-sync --auth=trust --username=quillon -D " + folder_ + "/data") !=
        0) {
        return;
    }
    started_ = run(kBin + "pg_ctl -D " + folder_ + "/data -w -t 30 -l " + folder_ +
                   "/server.log -o \"-c listen_addresses='' -c unix_socket_directories='" +
                   folder_ + "' -c fsync=off -c full_page_writes=off\" start") == 0;
    QFile server(QString::fromStdString(folder_ + "/server.log"));
    if (!started_ && server.open(QIODevice::ReadOnly)) log_ += server.readAll().toStdString();
}

PostgresServer::~PostgresServer() {
    if (started_) run(kBin + "pg_ctl -D " + folder_ + "/data -m immediate -w stop");
}

int PostgresServer::run(const std::string& command) {
    const std::string out = folder_ + "/command.log";
    const std::string line = "cd / && " + asUser_ + command + " >" + out + " 2>&1 </dev/null";
    const int status = std::system(line.c_str());
    QFile file(QString::fromStdString(out));
    if (file.open(QIODevice::ReadOnly))
        log_ += "$ " + command + "\n" + file.readAll().toStdString();
    return status;
}
#endif

}  // namespace quillon::testing
