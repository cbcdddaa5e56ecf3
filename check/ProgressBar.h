#pragma once

#include <QtGlobal>

#include <chrono>
#include <cstdio>
#include <string>

// A one-line progress bar redrawn in place on a terminal.
class ProgressBar
{
public:
    // Draws nothing unless `enabled`.
    ProgressBar(bool enabled, std::FILE *terminal);

    void update(qsizetype done, qsizetype total);
    // Removes the bar, so that other output can take its line; the next update draws it again.
    void clear();

    // The bar for a moment of the run, without the leading carriage return.
    static std::string Render(qsizetype done, qsizetype total, int width);

private:
    bool enabled_;
    bool shown_ = false;
    std::FILE *terminal_;
    std::chrono::steady_clock::time_point lastDrawn_{};
};
