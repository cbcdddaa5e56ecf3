#pragma once

#include "HistoryStore.h"

#include <QColor>
#include <QWidget>

#include <vector>

// One partner's states over time: a strip of coloured spans from its first check to its
// last, the dates at its ends and between, and a legend of the colours below.
class TimelineStrip : public QWidget
{
    Q_OBJECT

public:
    explicit TimelineStrip(QWidget *parent = nullptr);

    void setTimeline(std::vector<HistoryStore::Span> spans);
    const std::vector<HistoryStore::Span> &spans() const { return spans_; }
    // Where a span is drawn; empty for one too short to be seen.
    QRect spanRect(std::size_t span) const;
    // The dates written under the strip, left to right, each below its tick.
    struct DateLabel {
        int tick;
        QRect rect;
        QString text;
    };
    std::vector<DateLabel> dateLabels() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    QRect stripRect() const;
    int xAt(qint64 at) const;
    // The left edge of every span and the right edge of the last.
    std::vector<int> edges() const;
    void paintTicks(QPainter &painter) const;
    void paintLegend(QPainter &painter) const;

    std::vector<HistoryStore::Span> spans_;
};
