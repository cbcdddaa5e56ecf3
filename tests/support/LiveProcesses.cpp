#include "LiveProcesses.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The whole file, or what could be read of it: a process may end while it is read, which the
// standard streams report by throwing.
std::string readWhole(const std::filesystem::path &path)
{
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, std::size_t(got));
    ::close(fd);
    return text;
}

} // namespace

std::vector<int> LiveProcessesNaming(const std::string &text)
{
    std::vector<int> found;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isdigit(c); }))
            continue;
        const int pid = std::stoi(name);
        if (pid == getpid())
            continue;
        const std::string stat = readWhole(entry.path() / "stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z' || stat[close + 2] == 'X')
            continue;
        std::string command = readWhole(entry.path() / "cmdline");
        std::replace(command.begin(), command.end(), '\0', ' ');
        if (command.find(text) != std::string::npos)
            found.push_back(pid);
    }
    return found;
}
