#pragma once

#include <string>
#include <vector>

// The processes still running (zombies left out) whose command line, its arguments joined by
// spaces, holds `text`: what a test looks for to know that nothing it started outlived it.
std::vector<int> LiveProcessesNaming(const std::string &text);
