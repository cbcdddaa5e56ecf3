#include "HttpServer.h"

#include <httplib.h>

#include <QHash>

#include <chrono>
#include <mutex>
#include <thread>

namespace TestSupport {

namespace {

struct Route {
    QByteArray body;
    int status = 200;
    HeaderList headers;
};

} // namespace

QByteArray ReceivedRequest::header(QByteArrayView name) const
{
    for (const auto &[key, value] : headers) {
        if (QByteArrayView(key).compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

struct HttpServer::State {
    httplib::Server server;
    std::thread thread;
    int port = -1;
    mutable std::mutex mutex;
    QHash<QString, Route> routes;
    QList<ReceivedRequest> requests;

    httplib::Server::HandlerResponse answer(const httplib::Request &request,
                                            httplib::Response &response)
    {
        ReceivedRequest received;
        received.method = QByteArray::fromStdString(request.method);
        received.path = QString::fromStdString(request.path);
        for (const auto &[name, value] : request.headers)
            received.headers.append({QByteArray::fromStdString(name), QByteArray::fromStdString(value)});

        std::lock_guard lock(mutex);
        requests.append(received);
        const auto found = routes.constFind(received.path);
        if (found == routes.cend()) {
            response.status = 404;
            response.set_content("no route", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        response.status = found->status;
        std::string contentType = "text/html";
        for (const auto &[name, value] : found->headers) {
            if (name.compare("Content-Type", Qt::CaseInsensitive) == 0)
                contentType = value.toStdString();
            else
                response.set_header(name.toStdString(), value.toStdString());
        }
        response.set_content(found->body.toStdString(), contentType);
        return httplib::Server::HandlerResponse::Handled;
    }
};

HttpServer::HttpServer() : d(std::make_unique<State>())
{
    d->server.set_pre_routing_handler(
        [state = d.get()](const httplib::Request &request, httplib::Response &response) {
            return state->answer(request, response);
        });
    // Without it a reused connection waits out the client's delayed acknowledgement on every
    // answer whose head and body go out in separate writes.
    d->server.set_tcp_nodelay(true);
    d->port = d->server.bind_to_any_port("127.0.0.1");
    if (d->port <= 0)
        return;
    d->thread = std::thread([state = d.get()] { state->server.listen_after_bind(); });
    // stop() does nothing until the accept loop runs, so the destructor must not come first.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!d->server.is_running() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

HttpServer::~HttpServer()
{
    d->server.stop();
    if (d->thread.joinable())
        d->thread.join();
}

bool HttpServer::running() const
{
    return d->server.is_running();
}

quint16 HttpServer::port() const
{
    return d->port > 0 ? static_cast<quint16>(d->port) : 0;
}

QString HttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void HttpServer::route(const QString &path, const QByteArray &body, int status,
                       const HeaderList &headers)
{
    std::lock_guard lock(d->mutex);
    d->routes.insert(path, Route{body, status, headers});
}

void HttpServer::redirect(const QString &path, const QString &target, int status)
{
    route(path, QByteArray("moved"), status, {{"Location", target.toUtf8()}});
}

QList<ReceivedRequest> HttpServer::requests() const
{
    std::lock_guard lock(d->mutex);
    return d->requests;
}

int HttpServer::hits(const QString &path) const
{
    std::lock_guard lock(d->mutex);
    return static_cast<int>(std::count_if(d->requests.cbegin(), d->requests.cend(),
                                          [&](const ReceivedRequest &r) { return r.path == path; }));
}

} // namespace TestSupport
