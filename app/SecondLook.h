#pragma once

#include "GetSource.h"
#include "SiteState.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>

#include <deque>

class PageFetcher;
class QTimer;

// The main window's second look at a site whose check would call it lost or down, as the
// terminal checker takes one: the page is fetched once more after a pause, on a fetcher of its
// own, while the scan goes on with the other sites. Sites are looked at in the order they
// came, each no sooner than the pause after its first check.
class SecondLook : public QObject
{
    Q_OBJECT

public:
    // The checker pauses 30 s at the end of a run that nobody watches. In the window the user
    // waits for the answer; a few seconds still ride over a server that restarts or a
    // connection that drops for a moment, the failures the second look is for.
    static constexpr int DefaultPauseMs = 10000;

    explicit SecondLook(QObject *parent = nullptr);

    // Also for the site waiting now.
    void setPause(int milliseconds);
    int pause() const { return pauseMs_; }
    // `line` names the result line that waits for the answer. A site already waiting is looked
    // at once, for each of its lines.
    void add(const History::SiteKey &site, qint64 line);
    // Sites waiting or being fetched.
    bool busy() const { return !waiting_.empty(); }
    // Drops every site waiting and the fetch under way: none of them is told.
    void cancel();

signals:
    void looked(const History::SiteKey &site, const QList<qint64> &lines, const GetSource::Page &page);
    // The last site waiting has been told.
    void idle();

private:
    void tmrConfirm_Timer();
    void PageFetched(const GetSource::Page &page);
    void armNext();

    struct Waiting {
        History::SiteKey site;
        QList<qint64> lines;
        QElapsedTimer since;
    };
    // The front one is fetched when its time has come.
    std::deque<Waiting> waiting_;
    PageFetcher *fetch_ = nullptr;
    QTimer *tmrConfirm = nullptr;
    int pauseMs_ = DefaultPauseMs;
};
