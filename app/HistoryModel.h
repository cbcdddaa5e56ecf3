#pragma once

#include "HistoryStore.h"
#include "SiteRecord.h"
#include "SiteVerdict.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>

#include <array>

#include <optional>
#include <vector>

// The Partners window's rows: every partner on the list, in its order, then every other one
// the history knows; each with what the history says of it and what this window's last check
// of it found. Display text is made only for the rows on screen; sorting compares raw values.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Name, Address, Term, Result, Why, HttpStatus, LinkText, State, Since, LastChecked, Checks, Changes, ColumnCount
    };

    // Where a partner stands, for the show filter and the summary: the history's judgement
    // when it has one, else the last check's.
    enum class Kind { Unchecked, Ok, Hollow, Lost, Down, NotFound };

    // What this window's last check of a partner found.
    struct Latest {
        Verdict status = Verdict::PageNotFound;
        QString why;
        long httpStatus = 0;
        QString linkText; // the text of the link that holds the match
        bool hollow = false;
        bool recorded = false; // the history took it
        QString note;          // e.g. why it was not recorded
    };

    struct Partner {
        HistoryStore::SiteRow site; // id 0: the history does not know it
        bool listed = false;
        std::optional<Latest> latest;
    };

    explicit HistoryModel(QObject *parent = nullptr);

    // Replaces the rows. When the partners are the same, in the same order, the rows change
    // in place, so that the view keeps its selection and scroll position.
    void setPartners(const QList<SiteRecord> &listed, std::vector<HistoryStore::SiteRow> known);
    // Checks in a row a failing page takes to count as lost, as the checks record them.
    void setDownAfter(int checks) { downAfter_ = checks; }

    const Partner &partner(int row) const { return partners_[std::size_t(row)]; }
    const HistoryStore::SiteRow &site(int row) const { return partners_[std::size_t(row)].site; }
    // The row of the partner with this page address and term, -1 when there is none.
    int rowOf(const QString &url, const QString &term) const;
    Kind kind(int row) const;

    // A check of the partner at `row` has ended at `at` (seconds since the epoch): its
    // result, and its standing in the history when the check was recorded. `note` says why a
    // result is not recorded yet.
    void noteChecked(int row, const SiteVerdict::SiteResult &result, qint64 at, const QString &note = {});

    bool lessThan(int left, int right, int column) const;

    // A cell as the table shows it, and as an export writes it (dates as yyyy-MM-dd).
    QString shownText(int row, int column) const;
    QString exportText(int row, int column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // "OK", "Search Term Not Found", "Page Not Found": the window's verdict without its arrow.
    static QString ResultCaption(Verdict status);
    // Why a page failed, or why a match does not count; empty for a sound match.
    static QString WhyOf(const SiteVerdict::SiteResult &result);
    // A time of day for today's times, a date for earlier ones.
    static QString WhenCaption(qint64 at, qint64 now);
    // The kind in a word, with what it means.
    static QString KindCaption(Kind kind);
    // Text from a web page on one line: every control character and line break written out.
    static QString OneLine(const QString &text);

private:
    static QString keyOf(const QString &url, const QString &term);
    // The result column's value: the last check's, else the history's last state.
    std::optional<Verdict> result(const Partner &partner) const;

    // Where the history places a partner it knows.
    Kind standing(const HistoryStore::SiteRow &site) const;
    const QIcon &mark(Kind kind) const;

    std::vector<Partner> partners_;
    QHash<QString, int> rows_;
    // The state marks, made for the application's palette of this key.
    mutable qint64 marksPalette_ = 0;
    mutable std::array<QIcon, 6> marks_;
    int downAfter_ = HistoryStore::DefaultDownAfter;
};
