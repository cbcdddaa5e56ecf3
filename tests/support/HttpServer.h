#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>

namespace TestSupport {

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

struct ReceivedRequest {
    QByteArray method;
    QString path;
    HeaderList headers; // names as the client sent them
    // The value of the first header of that name, compared without regard to case.
    QByteArray header(QByteArrayView name) const;
};

// An HTTP server on 127.0.0.1 at a port the system picks, answering from a thread of its own
// until it is destroyed. Routes can be added while it runs; a path without one gets 404.
class HttpServer
{
public:
    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // False when it could not listen; then url() leads nowhere.
    bool running() const;
    quint16 port() const;
    // "http://127.0.0.1:<port>" followed by path, which starts with '/'.
    QString url(const QString &path) const;

    // Answers GET (and every other method) on path. Without a Content-Type among headers the
    // body goes out as "text/html".
    void route(const QString &path, const QByteArray &body, int status = 200,
               const HeaderList &headers = {});
    void redirect(const QString &path, const QString &target, int status = 302);

    QList<ReceivedRequest> requests() const;
    int hits(const QString &path) const;

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace TestSupport
