#include "FileChooser.h"

#include "AppInfo.h"

#include <QFileDialog>
#include <QMessageBox>

namespace FileChooser {

namespace {
Sink &sink()
{
    static Sink s;
    return s;
}
} // namespace

void SetSink(Sink s)
{
    sink() = std::move(s);
}

QString OpenFile(QWidget *owner, const QString &caption, const QString &filter)
{
    if (sink())
        return sink()(owner, Purpose::Open, caption);
    return QFileDialog::getOpenFileName(owner, caption, QString(), filter);
}

QString SaveFile(QWidget *owner, const QString &caption, const QString &suggested, const QString &filter)
{
    if (sink())
        return sink()(owner, Purpose::Save, suggested);
    return QFileDialog::getSaveFileName(owner, caption, suggested, filter);
}

bool Confirm(QWidget *owner, const QString &question)
{
    if (sink())
        return !sink()(owner, Purpose::Confirm, question).isEmpty();
    // The question quotes file names and rows: it is shown as plain text.
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(AppInfo::Title), question, QMessageBox::Yes | QMessageBox::No, owner);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

} // namespace FileChooser
