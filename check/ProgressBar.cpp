#include "ProgressBar.h"

ProgressBar::ProgressBar(bool enabled, std::FILE *terminal) : enabled_(enabled), terminal_(terminal) { }

std::string ProgressBar::Render(qsizetype done, qsizetype total, int width)
{
    const qsizetype filled = total > 0 ? done * width / total : width;
    std::string bar = "[";
    bar.append(std::size_t(filled), '#');
    bar.append(std::size_t(width - filled), '-');
    bar += "] " + std::to_string(done) + '/' + std::to_string(total) + " sites";
    return bar;
}

void ProgressBar::update(qsizetype done, qsizetype total)
{
    if (!enabled_)
        return;
    // Redrawing for every site would cost more than the checking on fast networks.
    const auto now = std::chrono::steady_clock::now();
    if (shown_ && done < total && now - lastDrawn_ < std::chrono::milliseconds(100))
        return;
    lastDrawn_ = now;
    std::fputs(("\r" + Render(done, total, 30)).c_str(), terminal_);
    std::fflush(terminal_);
    shown_ = true;
}

void ProgressBar::clear()
{
    if (!enabled_ || !shown_)
        return;
    std::fputs("\r\033[K", terminal_);
    std::fflush(terminal_);
    shown_ = false;
}
