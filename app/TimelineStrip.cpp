#include "TimelineStrip.h"

#include "HistoryCaptions.h"
#include "StateMark.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

using History::State;

namespace {
constexpr int Margin = 6;
constexpr int StripHeight = 22;
constexpr int TickLength = 4;
// A span of a day among a year's, or one that began at the last check, is still seen.
constexpr int ShortestSpan = 4;
// Dates shown under the strip, its two ends included.
constexpr int Ticks = 5;
constexpr State Legend[] = {State::Ok, State::HollowOk, State::NotFound, State::PageNotFound};
} // namespace

TimelineStrip::TimelineStrip(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TimelineStrip::setTimeline(std::vector<HistoryStore::Span> spans)
{
    spans_ = std::move(spans);
    update();
}

QSize TimelineStrip::sizeHint() const
{
    return {600, minimumSizeHint().height()};
}

QSize TimelineStrip::minimumSizeHint() const
{
    const int line = fontMetrics().height();
    return {200, Margin + StripHeight + TickLength + line + 2 * Margin + line + Margin};
}

QRect TimelineStrip::stripRect() const
{
    return {Margin, Margin, width() - 2 * Margin, StripHeight};
}

int TimelineStrip::xAt(qint64 at) const
{
    const QRect strip = stripRect();
    const qint64 first = spans_.front().from;
    const qint64 length = spans_.back().to - first;
    if (length <= 0)
        return at > first ? strip.right() + 1 : strip.left();
    return strip.left() + int((at - first) * strip.width() / length);
}

std::vector<int> TimelineStrip::edges() const
{
    const QRect strip = stripRect();
    const int count = int(spans_.size());
    const int shortest = std::min(ShortestSpan, strip.width() / std::max(1, count));
    std::vector<int> out(spans_.size() + 1);
    out.front() = strip.left();
    out.back() = strip.right() + 1;
    for (int i = 1; i < count; ++i)
        out[std::size_t(i)] = std::max(out[std::size_t(i) - 1] + shortest,
                                       std::min(xAt(spans_[std::size_t(i)].from), out.back() - (count - i) * shortest));
    return out;
}

QRect TimelineStrip::spanRect(std::size_t span) const
{
    if (span >= spans_.size())
        return {};
    const std::vector<int> x = edges();
    const QRect strip = stripRect();
    return QRect(x[span], strip.top(), x[span + 1] - x[span], strip.height());
}

void TimelineStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect strip = stripRect();
    if (spans_.empty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(strip, Qt::AlignCenter, QStringLiteral("Select a partner to see its states over time."));
        paintLegend(painter);
        return;
    }
    const std::vector<int> x = edges();
    for (std::size_t i = 0; i < spans_.size(); ++i)
        painter.fillRect(QRect(x[i], strip.top(), x[i + 1] - x[i], strip.height()), StateMark::Colour(spans_[i].state, palette()));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(strip.adjusted(0, 0, -1, -1));
    paintTicks(painter);
    paintLegend(painter);
}

std::vector<TimelineStrip::DateLabel> TimelineStrip::dateLabels() const
{
    std::vector<DateLabel> labels;
    if (spans_.empty())
        return labels;
    const QRect strip = stripRect();
    const qint64 first = spans_.front().from;
    const qint64 last = spans_.back().to;
    const int count = last > first ? Ticks : 1;
    const QFontMetrics metrics = fontMetrics();
    for (int i = 0; i < count; ++i) {
        const qint64 at = first + (last - first) * i / std::max(1, count - 1);
        const int x = std::min(xAt(at), strip.right());
        const QString date = History::DayCaption(at);
        const int textWidth = metrics.horizontalAdvance(date);
        // Centred under its tick, kept within the strip; a date wider than the strip starts
        // where the strip starts.
        const int left = std::max(strip.left(), std::min(x - textWidth / 2, strip.right() + 1 - textWidth));
        labels.push_back({x, QRect(left, strip.bottom() + TickLength + 1, textWidth, metrics.height()), date});
    }
    // On a strip too narrow for every date, the two ends come first and a date that would
    // cover another is left out.
    const auto apart = [](const DateLabel &a, const DateLabel &b) { return a.rect.right() < b.rect.left(); };
    if (labels.size() > 1 && !apart(labels.front(), labels.back()))
        labels.resize(1);
    std::vector<DateLabel> shown{labels.front()};
    for (std::size_t i = 1; i < labels.size(); ++i)
        if (apart(shown.back(), labels[i]) && (i + 1 == labels.size() || apart(labels[i], labels.back())))
            shown.push_back(labels[i]);
    return shown;
}

void TimelineStrip::paintTicks(QPainter &painter) const
{
    const QRect strip = stripRect();
    painter.setPen(palette().color(QPalette::WindowText));
    for (const DateLabel &label : dateLabels()) {
        painter.drawLine(label.tick, strip.bottom() + 1, label.tick, strip.bottom() + TickLength);
        painter.drawText(label.rect, Qt::AlignCenter, label.text);
    }
}

void TimelineStrip::paintLegend(QPainter &painter) const
{
    const QFontMetrics metrics = fontMetrics();
    const int top = stripRect().bottom() + TickLength + metrics.height() + 2 * Margin;
    const int box = metrics.ascent() - 2;
    int x = Margin;
    for (State state : Legend) {
        painter.fillRect(QRect(x, top + (metrics.height() - box) / 2, box, box), StateMark::Colour(state, palette()));
        x += box + 4;
        const QString caption = History::StateCaption(state);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(x, top, metrics.horizontalAdvance(caption), metrics.height()), Qt::AlignVCenter, caption);
        x += metrics.horizontalAdvance(caption) + 16;
    }
}

bool TimelineStrip::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    for (std::size_t i = 0; i < spans_.size(); ++i) {
        const QRect rect = spanRect(i);
        if (!rect.contains(help->pos()))
            continue;
        const HistoryStore::Span &span = spans_[i];
        // Only the program's own words and dates: nothing here comes from a partner.
        QToolTip::showText(help->globalPos(),
                           QStringLiteral("%1 from %2 to %3").arg(History::StateCaption(span.state),
                                                                 History::DayCaption(span.from),
                                                                 History::DayCaption(span.to)),
                           this, rect);
        return true;
    }
    QToolTip::hideText();
    return true;
}
