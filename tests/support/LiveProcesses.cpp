#include "LiveProcesses.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

std::vector<int> LiveProcessesNaming(const std::string &text)
{
    std::vector<int> found;
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isdigit(c); }))
            continue;
        const int pid = std::stoi(name);
        if (pid == getpid())
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const auto close = line.rfind(')');
        if (close == std::string::npos || close + 2 >= line.size() || line[close + 2] == 'Z' || line[close + 2] == 'X')
            continue;
        std::ifstream cmdline(entry.path() / "cmdline");
        std::string command((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
        std::replace(command.begin(), command.end(), '\0', ' ');
        if (command.find(text) != std::string::npos)
            found.push_back(pid);
    }
    return found;
}
