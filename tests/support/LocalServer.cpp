#include "LocalServer.h"

#include <algorithm>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void raiseMost(std::atomic<int> &most, int now)
{
    int seen = most.load();
    while (now > seen && !most.compare_exchange_weak(seen, now)) { }
}

} // namespace

// The server hands each accepted connection to its task queue and closes it when the task
// ends, so a task running is a connection open.
class LocalServer::CountingQueue : public httplib::TaskQueue
{
public:
    explicit CountingQueue(LocalServer *owner) : owner_(owner), pool_(16) { }

    void enqueue(std::function<void()> task) override
    {
        pool_.enqueue([this, task = std::move(task)] {
            raiseMost(owner_->mostConnections_, ++owner_->connections_);
            task();
            --owner_->connections_;
        });
    }
    void shutdown() override { pool_.shutdown(); }

private:
    LocalServer *owner_;
    httplib::ThreadPool pool_;
};

LocalServer::LocalServer()
{
    server_.new_task_queue = [this] { return new CountingQueue(this); };
    // The server keeps a connection for as long as the client does, so that connections
    // counted are the client's choice.
    server_.set_keep_alive_max_count(100000);
}

LocalServer::~LocalServer()
{
    server_.stop();
    if (thread_.joinable())
        thread_.join();
}

void LocalServer::enter()
{
    raiseMost(mostAtOnce_, ++atOnce_);
}

void LocalServer::leave(const std::string &path)
{
    {
        std::lock_guard lock(mutex_);
        answered_.push_back(path);
    }
    --atOnce_;
}

void LocalServer::page(const std::string &path, std::string body, int status, int delayMs, Headers headers)
{
    server_.Get(path, [this, path, body = std::move(body), status, delayMs,
                       headers = std::move(headers)](const httplib::Request &, httplib::Response &res) {
        enter();
        if (delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        res.status = status;
        for (const auto &[name, value] : headers)
            res.set_header(name, value);
        res.set_content(body, "text/html");
        leave(path);
    });
}

void LocalServer::redirect(const std::string &path, const std::string &to)
{
    server_.Get(path, [this, path, to](const httplib::Request &, httplib::Response &res) {
        enter();
        res.set_redirect(to);
        leave(path);
    });
}

bool LocalServer::start()
{
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        return false;
    // The socket listens from here on: connections wait in its backlog until the loop runs.
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() does nothing until the loop runs, so a server stopped sooner would never end.
    for (int i = 0; i < 5000 && !server_.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return server_.is_running();
}

QString LocalServer::url(const std::string &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(QString::fromStdString(path));
}

std::vector<std::string> LocalServer::answered() const
{
    std::lock_guard lock(mutex_);
    return answered_;
}

int LocalServer::hits(const std::string &path) const
{
    std::lock_guard lock(mutex_);
    return int(std::count(answered_.begin(), answered_.end(), path));
}

int ClosedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}
