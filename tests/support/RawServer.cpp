#include "RawServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace TestSupport {

namespace {

int ListenOnLoopback(int backlog, quint16 *port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(fd, backlog) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

int ConnectWithoutWaiting(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    (void)::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    return fd;
}

} // namespace

RawServer::RawServer(Mode mode, QByteArray reply) : m_mode(mode), m_reply(std::move(reply))
{
    // A backlog of 0 still queues one connection; ours take that place, so the kernel drops
    // the handshake of every later one and the client's connect waits.
    m_listener = ListenOnLoopback(mode == Mode::NeverAccept ? 0 : 16, &m_port);
    if (m_listener < 0)
        return;
    if (mode == Mode::NeverAccept) {
        for (int i = 0; i < 2; ++i)
            m_fillers.push_back(ConnectWithoutWaiting(m_port));
        ::usleep(50'000); // let the handshakes finish before a client comes
        return;
    }
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        ::close(m_listener);
        m_listener = -1;
        return;
    }
    m_thread = std::thread([this] { run(); });
}

RawServer::~RawServer()
{
    if (m_thread.joinable()) {
        const char stop = 's';
        // One byte into a pipe nobody else writes: it always fits.
        [[maybe_unused]] const ssize_t woken = ::write(m_wake[1], &stop, 1);
        m_thread.join();
    }
    for (int fd : m_held)
        ::close(fd);
    for (int fd : m_fillers) {
        if (fd >= 0)
            ::close(fd);
    }
    for (int fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
    }
    if (m_listener >= 0)
        ::close(m_listener);
}

QString RawServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

quint16 RawServer::UnusedPort()
{
    quint16 port = 0;
    const int fd = ListenOnLoopback(1, &port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

void RawServer::run()
{
    for (;;) {
        pollfd watched[2] = {{m_wake[0], POLLIN, 0}, {m_listener, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0)
            continue;
        if (watched[0].revents)
            return;
        if (watched[1].revents & POLLIN) {
            const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0)
                continue;
            ++m_accepted;
            serve(connection);
        }
    }
}

void RawServer::serve(int connection)
{
    if (m_mode == Mode::NeverAnswer || !readRequest(connection)) {
        m_held.push_back(connection);
        return;
    }
    for (qsizetype sent = 0; sent < m_reply.size();) {
        const ssize_t n = ::send(connection, m_reply.constData() + sent,
                                 static_cast<size_t>(m_reply.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += n;
    }
    if (m_mode == Mode::StallMidBody) {
        m_held.push_back(connection);
        return;
    }
    // Closing with unread data would reset the connection and could take the sent bytes with
    // it; ending only the sending side lets the client read everything, then see the end.
    ::shutdown(connection, SHUT_WR);
    awaitClose(connection);
    ::close(connection);
}

void RawServer::awaitClose(int connection)
{
    char buffer[4096];
    for (;;) {
        pollfd watched[2] = {{m_wake[0], POLLIN, 0}, {connection, POLLIN, 0}};
        if (::poll(watched, 2, 10'000) <= 0 || watched[0].revents)
            return;
        if (::recv(connection, buffer, sizeof buffer, 0) <= 0)
            return;
    }
}

bool RawServer::readRequest(int connection)
{
    QByteArray request;
    char buffer[4096];
    while (!request.contains("\r\n\r\n")) {
        pollfd watched[2] = {{m_wake[0], POLLIN, 0}, {connection, POLLIN, 0}};
        if (::poll(watched, 2, 10'000) <= 0 || watched[0].revents)
            return false;
        const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        request.append(buffer, n);
    }
    return true;
}

} // namespace TestSupport
