#include "PageRenderer.h"

#include "ProcessTree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

namespace PageRenderer {

namespace {

// How often the browser's time and memory are looked at.
constexpr int PollMs = 100;
// The last words of a browser that failed, at most.
constexpr qsizetype MostWords = 160;

// Downloads are refused, and anything the browser keeps goes to the temporary profile.
bool writePreferences(const QString &profile)
{
    if (!QDir(profile).mkpath(QStringLiteral("Default")))
        return false;
    QFile file(profile + QStringLiteral("/Default/Preferences"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QJsonObject preferences{
            {QStringLiteral("download"),
             QJsonObject{{QStringLiteral("prompt_for_download"), false},
                         {QStringLiteral("default_directory"), profile + QStringLiteral("/Downloads")}}},
            {QStringLiteral("download_restrictions"), 3}, // every download blocked
    };
    return file.write(QJsonDocument(preferences).toJson(QJsonDocument::Compact)) > 0;
}

QStringList arguments(const QString &url, const QString &profile, const Settings &settings)
{
    QStringList args{
            QStringLiteral("--headless"),
            QStringLiteral("--disable-gpu"),
            QStringLiteral("--no-first-run"),
            QStringLiteral("--no-default-browser-check"),
            QStringLiteral("--disable-background-networking"),
            QStringLiteral("--disable-component-update"),
            QStringLiteral("--disable-sync"),
            QStringLiteral("--disable-extensions"),
            QStringLiteral("--mute-audio"),
            QStringLiteral("--user-data-dir=") + profile,
            QStringLiteral("--virtual-time-budget=%1").arg(settings.settle.count()),
    };
    // The browser's own sandbox refuses to run as root; anyone else keeps it.
    if (geteuid() == 0)
        args << QStringLiteral("--no-sandbox");
    args << QStringLiteral("--dump-dom") << url;
    return args;
}

QString lastWords(const QByteArray &errors)
{
    const QList<QByteArray> lines = errors.trimmed().split('\n');
    const QString last = QString::fromUtf8(lines.constLast()).trimmed();
    return last.size() > MostWords ? last.left(MostWords) + QStringLiteral("...") : last;
}

QString seconds(std::chrono::milliseconds ms)
{
    return QString::number(double(ms.count()) / 1000.0, 'g', 4);
}

} // namespace

QString FindBrowser(const QString &given)
{
    if (!given.isEmpty()) {
        const QFileInfo info(given);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    for (const char *name : {"chromium", "chromium-browser"})
        if (const QString found = QStandardPaths::findExecutable(QLatin1StringView(name)); !found.isEmpty())
            return found;
    return {};
}

Rendered Render(const QString &url, const Settings &settings)
{
    QElapsedTimer clock;
    clock.start();
    Rendered out;
    const auto fail = [&](const QString &error) {
        out.error = error;
        out.ms = clock.elapsed();
        return out;
    };
    const QUrl address(url);
    if (!address.isValid() || (address.scheme() != u"http" && address.scheme() != u"https"))
        return fail(QStringLiteral("only http and https pages are rendered"));
    if (settings.browser.isEmpty())
        return fail(QStringLiteral("no browser; install the %1 package").arg(QLatin1StringView(BrowserPackage)));

    QTemporaryDir profile(QDir::tempPath() + QStringLiteral("/tallyweave-render-XXXXXX"));
    if (!profile.isValid() || !writePreferences(profile.path()))
        return fail(QStringLiteral("cannot make a temporary profile: %1").arg(profile.errorString()));

    QProcess browser;
    browser.setProgram(settings.browser);
    browser.setArguments(arguments(url, profile.path(), settings));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        environment.insert(QLatin1StringView(name), profile.path());
    browser.setProcessEnvironment(environment);
    browser.setStandardInputFile(QProcess::nullDevice());
    const pid_t parent = getpid();
    browser.setChildProcessModifier([parent] {
        // A group of its own, so that it can be ended with all its helpers; and it dies with
        // the thread that started it, even when this program is killed.
        setsid();
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
    });
    browser.start();
    if (!browser.waitForStarted())
        return fail(QStringLiteral("the browser could not be started: %1").arg(browser.errorString()));
    const pid_t group = pid_t(browser.processId());

    QByteArray document;
    QByteArray errors;
    QString endedBy;
    while (!browser.waitForFinished(PollMs)) {
        document += browser.readAllStandardOutput();
        errors = (errors + browser.readAllStandardError()).right(4096);
        const qint64 held = ProcessTree::MemoryBytes(group);
        out.peakBytes = std::max(out.peakBytes, held);
        if (settings.stop && settings.stop->load())
            endedBy = QStringLiteral("stopped");
        else if (clock.elapsed() >= settings.timeout.count())
            endedBy = QStringLiteral("no answer within %1 s").arg(seconds(settings.timeout));
        else if (held > settings.memoryBudget)
            endedBy = QStringLiteral("the browser used more than %1 MiB").arg(settings.memoryBudget >> 20);
        else if (document.size() > settings.maxDocumentBytes)
            endedBy = QStringLiteral("the page is larger than %1 MiB").arg(settings.maxDocumentBytes >> 20);
        else if (browser.state() == QProcess::NotRunning)
            break;
        if (!endedBy.isEmpty()) {
            ProcessTree::Kill(group);
            browser.waitForFinished();
            break;
        }
    }
    document += browser.readAllStandardOutput();
    errors += browser.readAllStandardError();
    // Helpers may outlive the browser's main process for a moment; none is left running. Its
    // crash handler starts a session of its own, but names the profile.
    ProcessTree::Kill(group);
    ProcessTree::WaitGone(group, std::chrono::seconds(5));
    ProcessTree::KillNaming(profile.path().toUtf8(), std::chrono::seconds(5));

    if (!endedBy.isEmpty())
        return fail(endedBy);
    if (browser.exitStatus() == QProcess::CrashExit)
        return fail(QStringLiteral("the browser crashed"));
    if (browser.exitCode() != 0) {
        const QString words = lastWords(errors);
        return fail(QStringLiteral("the browser ended with status %1").arg(browser.exitCode())
                    + (words.isEmpty() ? QString() : QStringLiteral(": ") + words));
    }
    if (document.trimmed().isEmpty())
        return fail(QStringLiteral("the browser gave no page"));
    out.ok = true;
    out.dom = QString::fromUtf8(document);
    out.ms = clock.elapsed();
    return out;
}

} // namespace PageRenderer
