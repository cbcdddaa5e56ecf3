#pragma once

#include <string>
#include <vector>

// Runs a program to its end and collects what it wrote.
struct RunResult {
    int exitCode = -1; // -1 when it did not exit normally
    std::string out;
    std::string err;
};

struct RunSettings {
    std::string workingDirectory; // empty: the test's own
    // Standard error goes to a pseudo-terminal instead of a pipe.
    bool errToTerminal = false;
    // Standard output goes to this file instead of being collected (e.g. /dev/full).
    std::string outFile;
    // Bytes of address space the program may use (RLIMIT_AS); 0: no limit.
    unsigned long long addressSpace = 0;
    // The terminal's width when errToTerminal.
    unsigned short terminalColumns = 80;
    // Fed to standard input; without it standard input is empty.
    std::string input;
    // NAME=VALUE settings added to the environment (or replacing one of the same name).
    std::vector<std::string> environment;
};

RunResult RunProgram(const std::string &program, const std::vector<std::string> &arguments,
                     const RunSettings &settings = {});
