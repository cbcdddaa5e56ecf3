#pragma once

#include <QAbstractScrollArea>
#include <QList>
#include <QString>

// A multi-line text box for a page's source, with a selection. Pages run to many megabytes: the
// box keeps the text it is given (shared, not copied) and a sparse index of its lines, and draws
// only the lines in view, cut to the width of the view, so it never lays out the page.
class SourceBox : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit SourceBox(QWidget *parent = nullptr);

    void setPlainText(const QString &text);
    QString toPlainText() const { return text_; }
    void clear();

    // Selects length characters from start, both kept within the text, and scrolls the start
    // into view.
    void select(qsizetype start, qsizetype length);
    qsizetype selectionStart() const { return selectionStart_; }
    qsizetype selectionLength() const { return selectionLength_; }
    QString selectedText() const { return text_.mid(selectionStart_, selectionLength_); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    qsizetype lineStart(qsizetype line) const;
    qsizetype lineOf(qsizetype position) const;
    void updateScrollBars();

    QString text_;
    // Where every IndexStep-th line starts: line n is found from the nearest entry below it.
    static constexpr qsizetype IndexStep = 1024;
    QList<qsizetype> index_{0};
    qsizetype lines_ = 1;
    qsizetype longest_ = 0;
    qsizetype selectionStart_ = 0;
    qsizetype selectionLength_ = 0;
};
