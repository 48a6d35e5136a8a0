// SPDX-License-Identifier: MIT
#include "postgres_server.h"

#ifndef _WIN32

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cstdlib>

namespace quillon::testing {
namespace {

constexpr const char* kBin = "/usr/lib/postgresql/15/bin/";

}  // namespace

PostgresServer::PostgresServer() : dir_(std::make_unique<QTemporaryDir>("/tmp/qpg-XXXXXX")) {
    folder_ = dir_->path().toStdString();
    if (::geteuid() != 0) return;
    const passwd* user = ::getpwnam("postgres");
    if (user == nullptr) user = ::getpwnam("nobody");
    if (user == nullptr) return;
    // The server's user needs the folder; /tmp/qpg-* is 0700 and owned by root until now.
    if (::chown(folder_.c_str(), user->pw_uid, user->pw_gid) != 0) return;
    asUser_ = "setpriv --reuid=" + std::to_string(user->pw_uid) +
              " --regid=" + std::to_string(user->pw_gid) + " --clear-groups ";
}

PostgresServer::~PostgresServer() {
    if (started_) run(std::string(kBin) + "pg_ctl -D " + folder_ + "/data -m immediate -w stop");
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

bool PostgresServer::start() {
    if (::access((std::string(kBin) + "initdb").c_str(), X_OK) != 0) {
        log_ = std::string(kBin) + "initdb is missing (Debian package postgresql-15)";
        return false;
    }
    if (run(std::string(kBin) + "initdb --no-sync --auth=trust --username=quillon -D " + folder_ +
            "/data") != 0) {
        return false;
    }
    started_ = run(std::string(kBin) + "pg_ctl -D " + folder_ + "/data -w -t 30 -l " + folder_ +
                   "/server.log -o \"-c listen_addresses='' -c unix_socket_directories='" +
                   folder_ + "' -c fsync=off -c full_page_writes=off\" start") == 0;
    if (!started_) {
        QFile server(QString::fromStdString(folder_ + "/server.log"));
        if (server.open(QIODevice::ReadOnly)) log_ += server.readAll().toStdString();
    }
    return started_;
}

std::string PostgresServer::url() const {
    return "postgresql:///postgres?host=" + folder_ + "&user=quillon";
}

}  // namespace quillon::testing

#endif
