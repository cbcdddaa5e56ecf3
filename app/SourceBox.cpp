#include "SourceBox.h"

#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace {
int ScrollRange(qsizetype units)
{
    return static_cast<int>(std::clamp<qsizetype>(units, 0, INT_MAX));
}
} // namespace

SourceBox::SourceBox(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

void SourceBox::setPlainText(const QString &text)
{
    text_ = text;
    index_ = {0};
    lines_ = 1;
    longest_ = 0;
    const QStringView view(text_);
    qsizetype start = 0;
    for (qsizetype end; (end = view.indexOf(u'\n', start)) >= 0; start = end + 1) {
        longest_ = std::max(longest_, end - start);
        if (lines_ % IndexStep == 0)
            index_.append(end + 1);
        ++lines_;
    }
    longest_ = std::max(longest_, text_.size() - start);
    selectionStart_ = 0;
    selectionLength_ = 0;
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

void SourceBox::clear()
{
    setPlainText(QString());
}

void SourceBox::select(qsizetype start, qsizetype length)
{
    selectionStart_ = std::clamp<qsizetype>(start, 0, text_.size());
    selectionLength_ = std::clamp<qsizetype>(length, 0, text_.size() - selectionStart_);
    const qsizetype line = lineOf(selectionStart_);
    const qsizetype column = selectionStart_ - lineStart(line);
    for (auto [bar, at] : {std::pair{verticalScrollBar(), line}, std::pair{horizontalScrollBar(), column}}) {
        if (at < bar->value() || at >= bar->value() + bar->pageStep())
            bar->setValue(ScrollRange(at));
    }
    viewport()->update();
}

qsizetype SourceBox::lineStart(qsizetype line) const
{
    line = std::clamp<qsizetype>(line, 0, lines_ - 1);
    qsizetype start = index_[line / IndexStep];
    for (qsizetype n = line % IndexStep; n > 0; --n)
        start = QStringView(text_).indexOf(u'\n', start) + 1;
    return start;
}

qsizetype SourceBox::lineOf(qsizetype position) const
{
    const auto above = std::upper_bound(index_.cbegin(), index_.cend(), position);
    const qsizetype entry = std::distance(index_.cbegin(), above) - 1;
    const qsizetype from = index_[entry];
    return entry * IndexStep + QStringView(text_).sliced(from, position - from).count(u'\n');
}

void SourceBox::updateScrollBars()
{
    const QFontMetrics metrics = fontMetrics();
    const int rows = std::max(1, viewport()->height() / metrics.height());
    const int columns = std::max(1, viewport()->width() / std::max(1, metrics.averageCharWidth()));
    verticalScrollBar()->setRange(0, ScrollRange(lines_ - rows));
    verticalScrollBar()->setPageStep(rows);
    horizontalScrollBar()->setRange(0, ScrollRange(longest_ - columns));
    horizontalScrollBar()->setPageStep(columns);
}

void SourceBox::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void SourceBox::scrollContentsBy(int, int)
{
    viewport()->update();
}

void SourceBox::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const QFontMetrics metrics = fontMetrics();
    const QPalette &colours = palette();
    const QStringView view(text_);
    const qsizetype column = horizontalScrollBar()->value();
    // Enough characters to fill the view were they all of the narrowest kind.
    const qsizetype shown = viewport()->width() / std::max(1, metrics.horizontalAdvance(u'i')) + 1;
    const qsizetype selectionEnd = selectionStart_ + selectionLength_;
    constexpr int Margin = 2;

    qsizetype start = lineStart(verticalScrollBar()->value());
    for (int top = 0; top < viewport()->height() && start <= text_.size(); top += metrics.height()) {
        qsizetype end = view.indexOf(u'\n', start);
        const qsizetype next = end < 0 ? text_.size() + 1 : end + 1;
        if (end < 0)
            end = text_.size();
        if (end > start && view[end - 1] == u'\r')
            --end;
        const qsizetype from = std::min(start + column, end);
        QString piece = view.sliced(from, std::min(end - from, shown)).toString();
        // One blank for a tab keeps every character where its offset says it is.
        piece.replace(u'\t', u' ');
        const qsizetype a = std::clamp<qsizetype>(selectionStart_ - from, 0, piece.size());
        const qsizetype b = std::clamp<qsizetype>(selectionEnd - from, 0, piece.size());
        const int baseline = top + metrics.ascent();
        int x = Margin;
        for (auto [part, selected] : {std::pair{QStringView(piece).first(a), false},
                                      std::pair{QStringView(piece).sliced(a, b - a), true},
                                      std::pair{QStringView(piece).sliced(b), false}}) {
            const int width = metrics.horizontalAdvance(part.toString());
            if (selected && width > 0)
                painter.fillRect(x, top, width, metrics.height(), colours.highlight());
            painter.setPen(selected ? colours.color(QPalette::HighlightedText) : colours.color(QPalette::Text));
            painter.drawText(x, baseline, part.toString());
            x += width;
        }
        start = next;
    }
}
