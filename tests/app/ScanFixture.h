#pragma once

#include "HttpServer.h"
#include "PageFetcher.h"
#include "WindowFixture.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <functional>

inline const char *const Timers[] = {"tmrScan", "tmrSearch", "tmrScan2", "tmrSearch2"};

// Scans against pages served on 127.0.0.1. The steps either run by themselves a few
// milliseconds apart, or wait until the test fires them one by one.
class Scan : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(server.running());
        server.route(QStringLiteral("/a"), "<html><body><a href=\"http://MY.example/\">me</a></body></html>");
        server.route(QStringLiteral("/b"), "<html><body>nothing for you here</body></html>");
        server.route(QStringLiteral("/c"), "<p>my.example is at the very end: my.example</p>");
        server.route(QStringLiteral("/gone"), "<h1>Not Found</h1> my.example", 404);
    }

    QByteArray site(const char *name, const QString &url, const char *term = "my.example")
    {
        return '"' + QByteArray(name) + "\"\r\n\"" + url.toUtf8() + "\"\r\n\"" + QByteArray(term) + "\"\r\n";
    }

    frmMain *startWith(const QList<QByteArray> &records, int interval = 5)
    {
        QByteArray bytes = QByteArray::number(records.size()) + ",1\r\n";
        for (const QByteArray &record : records)
            bytes += record;
        writeSites(bytes);
        start();
        for (const char *timer : Timers)
            find<QTimer>(timer)->setInterval(interval);
        return window.get();
    }

    frmMain *startThree(int interval = 5)
    {
        return startWith({site("Alpha", server.url(QStringLiteral("/a"))), site("Beta", server.url(QStringLiteral("/b"))),
                          site("Gamma", server.url(QStringLiteral("/c")))},
                         interval);
    }

    bool downloading() const { return find<PageFetcher>("pageFetch")->busy(); }

    bool pending() const
    {
        return downloading()
                || std::any_of(std::begin(Timers), std::end(Timers), [this](const char *t) { return find<QTimer>(t)->isActive(); });
    }

    // Runs the event loop until done() holds, noting every status caption on the way.
    bool waitFor(const std::function<bool()> &done, int ms = 15000)
    {
        return WindowTest::waitFor(done, ms, [this] {
            const QString caption = text("lblResults");
            if (captions.isEmpty() || captions.back() != caption)
                captions << caption;
        });
    }

    bool waitIdle(int ms = 15000) { return waitFor([this] { return !pending(); }, ms); }

    // Runs one armed step now, and a fetch step's download to its end.
    void fire(const char *name)
    {
        auto *timer = find<QTimer>(name);
        ASSERT_TRUE(timer->isActive()) << name;
        const int interval = timer->interval();
        timer->setInterval(0);
        ASSERT_TRUE(waitFor([this, timer] { return !timer->isActive() && !downloading(); }));
        timer->setInterval(interval);
    }

    // The fetch and the search of the site the scan is on.
    void scanNextSite()
    {
        fire("tmrScan");
        fire("tmrSearch");
    }

    void doubleClickName(int position)
    {
        auto *list = find<QListWidget>("lstNames");
        const QRect rect = list->visualItemRect(list->item(position));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    void pressEnter(const char *list) { QTest::keyClick(find<QListWidget>(list), Qt::Key_Return); }

    TestSupport::HttpServer server;
    QStringList captions;
};
