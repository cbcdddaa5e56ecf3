#include "Feedback.h"

#include "AppInfo.h"

#include <QApplication>

namespace Feedback {

namespace {
Recorder *recorder = nullptr;
}

void SetRecorder(Recorder *r)
{
    recorder = r;
}

void Beep()
{
    if (recorder) {
        ++recorder->beeps;
        return;
    }
    QApplication::beep();
}

void Message(QWidget *parent, const QString &text, QMessageBox::Icon icon)
{
    if (recorder) {
        recorder->messages << text;
        return;
    }
    QMessageBox box(icon, QString::fromLatin1(AppInfo::Title), text, QMessageBox::Ok, parent);
    // Messages carry file names and addresses, which are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace Feedback
