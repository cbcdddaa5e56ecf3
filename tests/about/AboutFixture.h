#pragma once

#include "Feedback.h"
#include "ProcessStart.h"
#include "Registry.h"
#include "ShexIt.h"
#include "frmAbout.h"
#include "QtPrinting.h"

#include <QApplication>
#include <QList>
#include <QPointer>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cctype>
#include <string>

// A test name from a case's description: "key the user may only read" gives
// KeyTheUserMayOnlyRead.
inline std::string CaseName(const char *description)
{
    std::string name;
    bool capital = true;
    for (const char *c = description; *c; ++c) {
        const auto ch = static_cast<unsigned char>(*c);
        if (std::isalnum(ch)) {
            name += capital ? char(std::toupper(ch)) : char(ch);
            capital = false;
        } else {
            capital = true;
        }
    }
    return name;
}

// Puts every way out of the program behind recorders: the desktop's opener, the start of
// programs, message boxes and the registry.
class AboutFixture : public ::testing::Test
{
protected:
    struct Opened {
        QWidget *owner;
        QUrl target;
    };
    struct Started {
        QString program;
        QStringList arguments;
        ProcessStart::WindowStyle style;
    };

    void SetUp() override
    {
        ASSERT_TRUE(scratch.isValid());
        ShexIt::SetSink([this](QWidget *owner, const QUrl &target) {
            opened.append({owner, target});
            return browserAnswers;
        });
        ProcessStart::SetStarter(
            [this](const QString &program, const QStringList &arguments, ProcessStart::WindowStyle style) {
                started.append({program, arguments, style});
                return startsSucceed(program);
            });
        Feedback::SetRecorder(&feedback);
        Registry::SetStore(&registry);
    }

    void TearDown() override
    {
        while (frmAbout *form = frmAbout::Loaded())
            delete form;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ShexIt::SetSink({});
        ProcessStart::SetStarter({});
        Feedback::SetRecorder(nullptr);
        Registry::SetStore(nullptr);
    }

    // Like a real start: only an executable file can be started.
    static bool startsSucceed(const QString &program);
    // An executable file in the scratch folder.
    QString makeProgram(const QString &relativePath);
    static int loadedWindows();

    QTemporaryDir scratch;
    Registry::MemoryStore registry;
    Feedback::Recorder feedback;
    QList<Opened> opened;
    bool browserAnswers = true; // false: the desktop has no opener
    QList<Started> started;
};
