// SPDX-License-Identifier: MIT
#pragma once

#ifndef _WIN32

#include <QTemporaryDir>
#include <memory>
#include <string>

namespace quillon::testing {

// A throwaway PostgreSQL cluster in a temporary folder, reachable only through a Unix socket
// in that folder. When the tests run as root the server runs as the "postgres" system user
// (or "nobody"), as the server refuses to run as root. Stopped and removed on destruction.
class PostgresServer {
  public:
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    bool start();
    // postgresql:///postgres?host=<socket folder>&user=quillon
    std::string url() const;
    std::string log() const { return log_; }

  private:
    int run(const std::string& command);

    std::unique_ptr<QTemporaryDir> dir_;
    std::string folder_;
    std::string asUser_;  // prefix that drops root, empty when not root
    std::string log_;
    bool started_ = false;
};

}  // namespace quillon::testing

#endif
