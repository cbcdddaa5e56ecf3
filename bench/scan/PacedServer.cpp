// A web server for the scan benchmark's latency mode: each address it listens on waits a
// fixed time before it answers a request and then sends at a fixed rate, as a distant server
// on a slow line would. One thread and epoll, so that the server takes little of the CPU that
// the checker being measured needs. nginx cannot stand in: its limit_rate lets the first
// second's worth of bytes go at once, which is every page of the benchmark.
//
//   bench_paced_server --root DIR --port PORT --plan FILE
//
// FILE holds one line per address: "ADDRESS DELAY_MS BYTES_PER_SECOND". The files under DIR
// are served to GET and HEAD, over connections kept open as HTTP/1.1 asks. "ready" goes to
// standard output once every address listens; SIGTERM or SIGINT ends the server.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <queue>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Pace {
    std::chrono::milliseconds delay{0};
    double bytesPerSecond = 0;
    // Sent in pieces of about 10 ms each, so that the rate holds at a fine grain while the
    // server wakes at most a hundred times a second for each connection.
    size_t piece() const { return std::max<size_t>(4096, size_t(bytesPerSecond / 100)); }
};

struct Connection {
    int fd = -1;
    const Pace *pace = nullptr;
    std::uint64_t serial = 0;
    std::string in;  // what the client sent that is not yet answered
    std::string out; // the answer being sent
    size_t sent = 0;
    bool answering = false;
    bool closeAfter = false;
    bool blocked = false; // the socket is full; waiting for EPOLLOUT
    Clock::time_point start; // when the answer's first byte may go
    Clock::time_point due;   // when the next piece may go
};

struct Timer {
    Clock::time_point due;
    int fd;
    std::uint64_t serial;
    bool operator>(const Timer &other) const { return due > other.due; }
};

constexpr size_t MostRequestBytes = 64 * 1024;
// The tags of epoll's events: below it listeners' indexes, at it the signals; a connection's
// tag holds its serial above its descriptor, so that an event for a closed connection never
// reaches one that took its descriptor over.
constexpr std::uint64_t SignalTag = std::uint64_t(1) << 31;

[[noreturn]] void die(const std::string &message)
{
    std::fprintf(stderr, "bench_paced_server: %s\n", message.c_str());
    std::exit(2);
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

class Server
{
public:
    Server(std::string root, int port, const std::vector<std::pair<std::string, Pace>> &plan)
        : root_(std::move(root)), epoll_(epoll_create1(EPOLL_CLOEXEC))
    {
        if (epoll_ < 0)
            die(std::string("epoll: ") + std::strerror(errno));
        for (const auto &[address, pace] : plan)
            listenOn(address, port, pace);
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGTERM);
        sigaddset(&signals, SIGINT);
        sigprocmask(SIG_BLOCK, &signals, nullptr);
        signals_ = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
        watch(signals_, EPOLLIN, SignalTag);
    }

    void run()
    {
        std::vector<epoll_event> events(256);
        for (;;) {
            const int count = epoll_wait(epoll_, events.data(), int(events.size()), timeoutMs());
            if (count < 0 && errno != EINTR)
                die(std::string("epoll_wait: ") + std::strerror(errno));
            for (int i = 0; i < count; ++i) {
                const std::uint64_t tag = events[i].data.u64;
                if (tag == SignalTag)
                    return;
                if (tag < SignalTag) {
                    acceptFrom(int(tag));
                    continue;
                }
                auto it = connections_.find(int(tag & 0xffffffff));
                if (it == connections_.end() || it->second.serial != tag >> 32)
                    continue;
                Connection &c = it->second;
                if (events[i].events & (EPOLLERR | EPOLLHUP)) {
                    drop(c);
                    continue;
                }
                if ((events[i].events & EPOLLOUT) && c.blocked) {
                    c.blocked = false;
                    watch(c.fd, EPOLLIN, tagOf(c), EPOLL_CTL_MOD);
                    if (!send(c))
                        continue;
                }
                if (events[i].events & EPOLLIN)
                    receive(c);
            }
            fireTimers();
        }
    }

private:
    struct Listener {
        int fd;
        Pace pace;
    };

    static std::uint64_t tagOf(const Connection &c) { return c.serial << 32 | std::uint32_t(c.fd); }

    void watch(int fd, std::uint32_t events, std::uint64_t tag, int op = EPOLL_CTL_ADD)
    {
        epoll_event event{};
        event.events = events;
        event.data.u64 = tag;
        if (epoll_ctl(epoll_, op, fd, &event) != 0)
            die(std::string("epoll_ctl: ") + std::strerror(errno));
    }

    void listenOn(const std::string &address, int port, const Pace &pace)
    {
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(std::uint16_t(port));
        if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1)
            die("not an IPv4 address: " + address);
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&where), sizeof where) != 0 || listen(fd, 1024) != 0)
            die("cannot listen on " + address + ":" + std::to_string(port) + ": " + std::strerror(errno));
        listeners_.push_back(std::make_unique<Listener>(Listener{fd, pace}));
        watch(fd, EPOLLIN, listeners_.size() - 1);
    }

    void acceptFrom(int index)
    {
        const Listener &listener = *listeners_[size_t(index)];
        for (;;) {
            const int fd = accept4(listener.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0)
                return;
            const int on = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            Connection &c = connections_[fd];
            c = Connection{};
            c.fd = fd;
            c.pace = &listener.pace;
            c.serial = ++serials_;
            watch(fd, EPOLLIN, tagOf(c));
        }
    }

    void drop(Connection &c)
    {
        close(c.fd);
        connections_.erase(c.fd);
    }

    void receive(Connection &c)
    {
        char buffer[16384];
        for (;;) {
            const ssize_t got = read(c.fd, buffer, sizeof buffer);
            if (got > 0) {
                c.in.append(buffer, size_t(got));
                if (c.in.size() > MostRequestBytes)
                    return drop(c);
                continue;
            }
            if (got == 0 || errno != EAGAIN)
                return drop(c);
            break;
        }
        if (!c.answering)
            begin(c);
    }

    // Takes the next whole request and sets its answer going after the address's delay.
    void begin(Connection &c)
    {
        const size_t end = c.in.find("\r\n\r\n");
        if (end == std::string::npos)
            return;
        std::istringstream head(c.in.substr(0, end));
        c.in.erase(0, end + 4);
        std::string method, target, version, line;
        head >> method >> target >> version;
        std::getline(head, line);
        c.closeAfter = version != "HTTP/1.1";
        while (std::getline(head, line)) {
            const std::string header = lower(line);
            if (header.rfind("connection:", 0) == 0)
                c.closeAfter = header.find("close") != std::string::npos
                        || (version != "HTTP/1.1" && header.find("keep-alive") == std::string::npos);
        }
        const std::string path = target.substr(0, target.find('?'));
        std::string body;
        bool found = false;
        if (!path.empty() && path[0] == '/' && path.find("..") == std::string::npos) {
            std::ifstream file(root_ + path, std::ios::binary);
            if (file) {
                std::ostringstream bytes;
                bytes << file.rdbuf();
                body = bytes.str();
                found = true;
            }
        }
        if (!found)
            body = "<html><body>Not found</body></html>\n";
        c.out = std::string(found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n")
                + "Content-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"
                + (c.closeAfter ? "Connection: close\r\n" : "") + "\r\n";
        if (method != "HEAD")
            c.out += body;
        c.sent = 0;
        c.answering = true;
        c.start = Clock::now() + c.pace->delay;
        schedule(c, c.start);
    }

    void schedule(Connection &c, Clock::time_point due)
    {
        c.due = due;
        timers_.push({due, c.fd, c.serial});
    }

    // Sends what the rate allows by now. False when the connection is gone.
    bool send(Connection &c)
    {
        const Pace &pace = *c.pace;
        const double elapsed = std::chrono::duration<double>(Clock::now() - c.start).count();
        const size_t allowed = std::min(c.out.size(), pace.piece() + size_t(std::max(0.0, elapsed) * pace.bytesPerSecond));
        while (c.sent < allowed) {
            const ssize_t wrote = write(c.fd, c.out.data() + c.sent, allowed - c.sent);
            if (wrote < 0) {
                if (errno != EAGAIN) {
                    drop(c);
                    return false;
                }
                c.blocked = true;
                watch(c.fd, EPOLLIN | EPOLLOUT, tagOf(c), EPOLL_CTL_MOD);
                return true;
            }
            c.sent += size_t(wrote);
        }
        if (c.sent < c.out.size()) {
            const size_t next = std::min(c.sent + pace.piece(), c.out.size()) - pace.piece();
            schedule(c, c.start + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(double(next) / pace.bytesPerSecond)));
            return true;
        }
        c.answering = false;
        c.out.clear();
        if (c.closeAfter) {
            shutdown(c.fd, SHUT_WR);
            drop(c);
            return false;
        }
        begin(c);
        return true;
    }

    int timeoutMs() const
    {
        if (timers_.empty())
            return -1;
        const auto wait = timers_.top().due - Clock::now();
        return int(std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(wait).count()));
    }

    void fireTimers()
    {
        const auto now = Clock::now();
        while (!timers_.empty() && timers_.top().due <= now) {
            const Timer timer = timers_.top();
            timers_.pop();
            auto it = connections_.find(timer.fd);
            if (it == connections_.end() || it->second.serial != timer.serial || it->second.due != timer.due
                || !it->second.answering || it->second.blocked)
                continue;
            send(it->second);
        }
    }

    const std::string root_;
    const int epoll_;
    int signals_ = -1;
    std::vector<std::unique_ptr<Listener>> listeners_;
    std::unordered_map<int, Connection> connections_;
    std::priority_queue<Timer, std::vector<Timer>, std::greater<Timer>> timers_;
    std::uint64_t serials_ = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    std::string root, planFile;
    int port = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--root")
            root = argv[i + 1];
        else if (name == "--port")
            port = std::atoi(argv[i + 1]);
        else if (name == "--plan")
            planFile = argv[i + 1];
        else
            die("unknown argument " + name);
    }
    if (root.empty() || planFile.empty() || port <= 0 || port > 65535)
        die("usage: bench_paced_server --root DIR --port PORT --plan FILE");

    std::vector<std::pair<std::string, Pace>> plan;
    std::ifstream lines(planFile);
    std::string address;
    long delayMs = 0;
    double rate = 0;
    while (lines >> address >> delayMs >> rate) {
        if (delayMs < 0 || rate <= 0)
            die("a plan line needs a delay of 0 ms or more and a rate above 0: " + address);
        plan.push_back({address, Pace{std::chrono::milliseconds(delayMs), rate}});
    }
    if (plan.empty())
        die("no addresses in " + planFile);

    signal(SIGPIPE, SIG_IGN);
    Server server(root, port, plan);
    std::printf("ready\n");
    std::fflush(stdout);
    server.run();
    return 0;
}
