#include "RunProgram.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Reads what is there; false at the end of the stream. A terminal whose other side has
// closed reports EIO instead of an end.
bool drain(int fd, std::string &into)
{
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, std::size_t(n));
        return true;
    }
    return n < 0 && errno == EINTR;
}

} // namespace

RunResult RunProgram(const std::string &program, const std::vector<std::string> &arguments,
                     const RunSettings &settings)
{
    RunResult result;
    int outPipe[2];
    int errFds[2]; // [0] read side in the parent, [1] the child's standard error
    if (::pipe2(outPipe, O_CLOEXEC) != 0)
        return result;
    int inPipe[2];
    if (::pipe2(inPipe, O_CLOEXEC) != 0)
        return result;
    if (settings.errToTerminal) {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = settings.terminalColumns;
        if (::openpty(&errFds[0], &errFds[1], nullptr, nullptr, &size) != 0)
            return result;
        ::fcntl(errFds[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(errFds[1], F_SETFD, FD_CLOEXEC);
    } else if (::pipe2(errFds, O_CLOEXEC) != 0) {
        return result;
    }

    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        if (!settings.workingDirectory.empty() && ::chdir(settings.workingDirectory.c_str()) != 0)
            ::_exit(126);
        ::dup2(inPipe[0], STDIN_FILENO);
        for (const std::string &setting : settings.environment)
            ::putenv(const_cast<char *>(setting.c_str()));
        if (!settings.outFile.empty()) {
            const int out = ::open(settings.outFile.c_str(), O_WRONLY);
            if (out < 0)
                ::_exit(126);
            ::dup2(out, STDOUT_FILENO);
        } else {
            ::dup2(outPipe[1], STDOUT_FILENO);
        }
        ::dup2(errFds[1], STDERR_FILENO);
        if (settings.addressSpace > 0) {
            const rlimit limit{rlim_t(settings.addressSpace), rlim_t(settings.addressSpace)};
            if (::setrlimit(RLIMIT_AS, &limit) != 0)
                ::_exit(126);
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errFds[1]);
    ::close(inPipe[0]);
    // Small inputs fit the pipe; the program reads them whole before it writes anything. A
    // program that exits without reading must not take the test down with it.
    if (!settings.input.empty())
        ::signal(SIGPIPE, SIG_IGN);
    for (std::size_t written = 0; child > 0 && written < settings.input.size();) {
        const ssize_t n = ::write(inPipe[1], settings.input.data() + written, settings.input.size() - written);
        if (n <= 0 && errno != EINTR)
            break;
        written += n > 0 ? std::size_t(n) : 0;
    }
    ::close(inPipe[1]);
    if (child < 0) {
        ::close(outPipe[0]);
        ::close(errFds[0]);
        return result;
    }

    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errFds[0], POLLIN, 0}};
    std::string *sinks[2] = {&result.out, &result.err};
    bool open[2] = {true, true};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while ((open[0] || open[1]) && std::chrono::steady_clock::now() < deadline) {
        for (int i = 0; i < 2; ++i)
            fds[i].fd = open[i] ? (i == 0 ? outPipe[0] : errFds[0]) : -1;
        if (::poll(fds, 2, 1000) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i)
            if (open[i] && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                open[i] = drain(fds[i].fd, *sinks[i]);
    }
    if (open[0] || open[1])
        ::kill(child, SIGKILL);
    ::close(outPipe[0]);
    ::close(errFds[0]);

    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
