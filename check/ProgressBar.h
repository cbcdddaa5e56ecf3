#pragma once

#include <QtGlobal>

#include <chrono>
#include <cstdio>
#include <string>

// A one-line progress bar redrawn in place on a terminal, as wide as the terminal is at each
// drawing, so that it follows a resize and never wraps.
class ProgressBar
{
public:
    // Draws nothing unless `enabled`.
    ProgressBar(bool enabled, std::FILE *terminal);

    void update(qsizetype done, qsizetype total);
    // Removes the bar, so that other output can take its line; the next update draws it again.
    void clear();
    // Draws the last state and ends its line, so it stays above whatever follows.
    void finish();

    // The bar for a moment of the run, without the leading carriage return, in fewer than
    // `columns` characters (the last column is left free: writing there wraps on some
    // terminals).
    static std::string Render(qsizetype done, qsizetype total, int columns);

private:
    void draw();

    bool enabled_;
    bool shown_ = false;
    std::FILE *terminal_;
    qsizetype done_ = 0;
    qsizetype total_ = 0;
    std::chrono::steady_clock::time_point lastDrawn_{};
};
