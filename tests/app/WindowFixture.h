#pragma once

#include "AppInfo.h"
#include "CsvRead.h"
#include "Feedback.h"
#include "Module1.h"
#include "ShexIt.h"
#include "UserTimer.h"
#include "frmMain.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The real main window, started from a program folder of the test's own, with message boxes,
// beeps and browser requests recorded instead of shown.
class WindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        AppInfo::OverrideProgramFolder(folder.path());
        Module1::Reset();
        Feedback::SetRecorder(&feedback);
        // The Partners window asks the user's service manager about the daily timer: never the
        // real one.
        UserTimer::SetProgram(path(QStringLiteral("no-systemctl")));
        ShexIt::SetSink([this](QWidget *, const QUrl &url) {
            opened << url;
            return browserAnswers;
        });
    }

    void TearDown() override
    {
        window.reset();
        ShexIt::SetSink({});
        UserTimer::SetProgram(QString());
        Feedback::SetRecorder(nullptr);
        AppInfo::OverrideProgramFolder(QString());
        Module1::Reset();
    }

    QString path(const QString &name) const { return QDir(folder.path()).filePath(name); }

    // A CSV file the window wrote, read back by a reader of its own.
    static CsvRows readCsv(const QString &file)
    {
        QFile written(file);
        EXPECT_TRUE(written.open(QIODevice::ReadOnly)) << file.toStdString();
        CsvRows rows;
        std::string error;
        EXPECT_TRUE(ReadCsv(written.readAll().toStdString(), rows, &error)) << error;
        return rows;
    }

    void writeSites(const QByteArray &bytes) const
    {
        QFile file(path(QStringLiteral("Sites.dqx")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray sitesFile(const QString &name = QStringLiteral("Sites.dqx")) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    frmMain *start()
    {
        window = std::make_unique<frmMain>();
        window->Form_Load();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window.get();
    }

    template<typename T = QWidget>
    T *find(const char *name) const
    {
        T *found = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Clicks a button as the user does: only a visible, enabled button reacts.
    void click(const char *name) const { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }

    // A key pressed while the window is the active one, as a shortcut is.
    // Runs the event loop until done() holds, calling afterEvents after each pass.
    static bool waitFor(const std::function<bool()> &done, int ms = 15000, const std::function<void()> &afterEvents = {})
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > ms)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (afterEvents)
                afterEvents();
        }
        return true;
    }

    void pressOnWindow(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) const
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(find<QWidget>("lstNames"), key, modifiers);
    }

    void type(const char *box, const QString &text) const
    {
        auto *edit = find<QLineEdit>(box);
        edit->setFocus();
        QTest::keyClicks(edit, text);
    }

    QStringList items(const char *list) const
    {
        QStringList texts;
        auto *widget = find<QListWidget>(list);
        for (int i = 0; i < widget->count(); ++i)
            texts << widget->item(i)->text();
        return texts;
    }

    int row(const char *list) const { return find<QListWidget>(list)->currentRow(); }
    QString text(const char *control) const
    {
        if (auto *label = window->findChild<QLabel *>(QString::fromLatin1(control)))
            return label->text();
        return find<QLineEdit>(control)->text();
    }

    static QByteArray sites(std::initializer_list<std::array<const char *, 3>> records)
    {
        QByteArray bytes = QByteArray::number(qsizetype(records.size())) + ",1\r\n";
        for (const auto &record : records)
            for (const char *field : record)
                bytes += '"' + QByteArray(field) + "\"\r\n";
        return bytes;
    }

    QTemporaryDir folder;
    Feedback::Recorder feedback;
    QList<QUrl> opened;
    bool browserAnswers = true; // false: the desktop has no opener
    std::unique_ptr<frmMain> window;
};
