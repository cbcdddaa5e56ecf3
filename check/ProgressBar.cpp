#include "ProgressBar.h"

#include <sys/ioctl.h>

#include <algorithm>

namespace {

// The terminal's width now; 80 when it does not say.
int columnsOf(std::FILE *terminal)
{
    winsize size{};
    if (::ioctl(fileno(terminal), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace

ProgressBar::ProgressBar(bool enabled, std::FILE *terminal) : enabled_(enabled), terminal_(terminal) { }

std::string ProgressBar::Render(qsizetype done, qsizetype total, int columns)
{
    const std::string count = std::to_string(done) + '/' + std::to_string(total) + " sites";
    const int room = columns - 1;
    constexpr int Widest = 50;
    // "[" + bar + "] " + count
    const int width = std::min(Widest, room - 3 - int(count.size()));
    if (width < 5)
        return count.substr(0, std::size_t(std::max(room, 0)));
    const qsizetype filled = total > 0 ? done * width / total : width;
    std::string bar = "[";
    bar.append(std::size_t(filled), '#');
    bar.append(std::size_t(width - filled), '-');
    bar += "] " + count;
    return bar;
}

void ProgressBar::draw()
{
    lastDrawn_ = std::chrono::steady_clock::now();
    std::fputs(("\r\033[K" + Render(done_, total_, columnsOf(terminal_))).c_str(), terminal_);
    std::fflush(terminal_);
    shown_ = true;
}

void ProgressBar::update(qsizetype done, qsizetype total)
{
    if (!enabled_)
        return;
    done_ = done;
    total_ = total;
    // Redrawing for every site would cost more than the checking on fast networks.
    if (shown_ && done < total && std::chrono::steady_clock::now() - lastDrawn_ < std::chrono::milliseconds(100))
        return;
    draw();
}

void ProgressBar::clear()
{
    if (!enabled_ || !shown_)
        return;
    std::fputs("\r\033[K", terminal_);
    std::fflush(terminal_);
    shown_ = false;
}

void ProgressBar::finish()
{
    if (!enabled_)
        return;
    draw();
    std::fputs("\n", terminal_);
    std::fflush(terminal_);
    shown_ = false;
}
