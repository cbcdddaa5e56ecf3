#pragma once

#include <httplib.h>

#include <QString>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// An HTTP server on 127.0.0.1 at a free port, for the checker to fetch from. Register the
// pages first, then start().
class LocalServer
{
public:
    LocalServer();
    ~LocalServer();
    LocalServer(const LocalServer &) = delete;
    LocalServer &operator=(const LocalServer &) = delete;

    httplib::Server &http() { return server_; }
    using Headers = std::vector<std::pair<std::string, std::string>>;
    // A page that answers `body` with `status` and `headers` after waiting `delayMs`.
    void page(const std::string &path, std::string body, int status = 200, int delayMs = 0, Headers headers = {});
    void redirect(const std::string &path, const std::string &to);

    bool start();
    int port() const { return port_; }
    QString url(const std::string &path) const;

    // Requests being answered at the same moment, at most, since the start.
    int mostAtOnce() const { return mostAtOnce_; }
    // Connections open at the same moment, at most, since the start.
    int mostConnectionsAtOnce() const { return mostConnections_; }
    // Paths in the order their answers were sent.
    std::vector<std::string> answered() const;
    int hits(const std::string &path) const;

private:
    void enter();
    void leave(const std::string &path);
    class CountingQueue;

    httplib::Server server_;
    std::thread thread_;
    int port_ = -1;
    std::atomic<int> atOnce_{0};
    std::atomic<int> mostAtOnce_{0};
    std::atomic<int> connections_{0};
    std::atomic<int> mostConnections_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> answered_;
};

// A port on 127.0.0.1 where nothing listens (it was free a moment ago).
int ClosedPort();
