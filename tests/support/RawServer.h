#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <thread>
#include <vector>

namespace TestSupport {

// A misbehaving server on 127.0.0.1, written on plain sockets, for what a proper HTTP server
// will not do. It runs in a thread of its own until it is destroyed.
class RawServer
{
public:
    enum class Mode {
        StopMidBody,  // reads the request, sends the reply bytes given, then ends the connection
        StallMidBody, // reads the request, sends the reply bytes given, then stays silent
        NeverAnswer,  // accepts the connection and stays silent
        NeverAccept,  // listens with a full queue, so a new connection never comes up
    };

    explicit RawServer(Mode mode, QByteArray reply = {});
    ~RawServer();
    RawServer(const RawServer &) = delete;
    RawServer &operator=(const RawServer &) = delete;

    bool running() const { return m_listener >= 0; }
    quint16 port() const { return m_port; }
    QString url(const QString &path) const;
    int accepted() const { return m_accepted.load(); }

    // A port on 127.0.0.1 where nothing listens right now: a connection there is refused.
    static quint16 UnusedPort();

private:
    void run();
    void serve(int connection);
    bool readRequest(int connection);
    void awaitClose(int connection);

    Mode m_mode;
    QByteArray m_reply;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    quint16 m_port = 0;
    std::atomic<int> m_accepted{0};
    std::vector<int> m_held; // connections kept open until the end; touched by the thread only
    std::vector<int> m_fillers; // our own connections that fill the queue in NeverAccept
    std::thread m_thread;
};

} // namespace TestSupport
