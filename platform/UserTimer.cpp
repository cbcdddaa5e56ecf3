#include "UserTimer.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace {

QString &Program()
{
    static QString program;
    return program;
}

// systemctl waits 25 s for a bus that does not answer; the switch waits less.
constexpr int MostWaitMs = 10000;

// "@1765090000": seconds since the epoch. "n/a", "" and "@0": none.
QDateTime Moment(const QByteArray &value)
{
    if (!value.startsWith('@'))
        return {};
    bool ok = false;
    const qint64 seconds = value.mid(1).toLongLong(&ok);
    return ok && seconds > 0 ? QDateTime::fromSecsSinceEpoch(seconds) : QDateTime();
}

QString FirstLine(const QByteArray &text)
{
    const QString line = QString::fromLocal8Bit(text).trimmed().section(u'\n', 0, 0).trimmed();
    return line.left(200);
}

} // namespace

UserTimer::UserTimer(QString unit, QObject *parent)
    : QObject(parent)
    , unit_(std::move(unit))
{
}

UserTimer::~UserTimer()
{
    if (process_) {
        process_->disconnect(this);
        process_->kill();
        process_->waitForFinished(1000);
    }
}

void UserTimer::SetProgram(const QString &path)
{
    Program() = path;
}

UserTimer::Status UserTimer::Read(const QByteArray &shown)
{
    Status status;
    QByteArray load, fileState;
    for (const QByteArray &line : shown.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray name = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (name == "LoadState")
            load = value;
        else if (name == "UnitFileState")
            fileState = value;
        else if (name == "LastTriggerUSec")
            status.lastRun = Moment(value);
        else if (name == "NextElapseUSecRealtime")
            status.nextRun = Moment(value);
    }
    if (load == "loaded") {
        status.known = true;
        status.enabled = fileState == "enabled" || fileState == "enabled-runtime";
    } else if (load == "not-found") {
        status.problem = QStringLiteral("the daily timer is not installed");
    } else if (load == "masked") {
        status.problem = QStringLiteral("the daily timer is masked");
    } else {
        status.problem = QStringLiteral("the service manager did not say whether the timer is installed");
    }
    if (!status.known) {
        status.lastRun = {};
        status.nextRun = {};
    }
    return status;
}

void UserTimer::refresh()
{
    if (busy())
        return;
    run({QStringLiteral("show"), QStringLiteral("--timestamp=unix"), QStringLiteral("-p"), QStringLiteral("LoadState"),
         QStringLiteral("-p"), QStringLiteral("UnitFileState"), QStringLiteral("-p"), QStringLiteral("LastTriggerUSec"),
         QStringLiteral("-p"), QStringLiteral("NextElapseUSecRealtime"), unit_},
        [this](bool ran, const QByteArray &out, const QString &error) {
            if (ran) {
                status_ = Read(out);
            } else {
                status_ = {};
                status_.problem = error;
            }
            emit changed();
        });
}

void UserTimer::setEnabled(bool enabled)
{
    if (busy())
        return;
    run({enabled ? QStringLiteral("enable") : QStringLiteral("disable"), QStringLiteral("--now"), unit_},
        [this, enabled](bool ran, const QByteArray &, const QString &error) {
            if (!ran)
                emit failed(QStringLiteral("The daily check could not be turned %1: %2.")
                                    .arg(enabled ? QStringLiteral("on") : QStringLiteral("off"), error));
            refresh();
        });
}

void UserTimer::run(const QStringList &arguments, Done done)
{
    const QString program = Program().isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("systemctl")) : Program();
    if (program.isEmpty()) {
        QTimer::singleShot(0, this, [done] { done(false, {}, QStringLiteral("there is no systemctl")); });
        return;
    }
    auto *process = new QProcess(this);
    process_ = process;
    process->setProgram(program);
    process->setArguments(QStringList{QStringLiteral("--user"), QStringLiteral("--no-ask-password")} + arguments);
    auto *limit = new QTimer(process);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, process, &QProcess::kill);
    const auto finish = [this, process, done](bool ran, const QString &error) {
        process_ = nullptr;
        process->deleteLater();
        done(ran, ran ? process->readAllStandardOutput() : QByteArray(), error);
    };
    connect(process, &QProcess::errorOccurred, this, [process, finish](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(false, QStringLiteral("systemctl could not be started (%1)").arg(process->errorString()));
    });
    connect(process, &QProcess::finished, this, [process, finish](int code, QProcess::ExitStatus how) {
        if (how != QProcess::NormalExit)
            finish(false, QStringLiteral("systemctl did not answer"));
        else if (code != 0) {
            const QString said = FirstLine(process->readAllStandardError());
            finish(false, said.isEmpty() ? QStringLiteral("systemctl ended with status %1").arg(code) : said);
        } else
            finish(true, {});
    });
    process->start();
    limit->start(MostWaitMs);
}
