#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

// The system beep and the program's message boxes. Tests install a recorder so that nothing
// blocks on a modal box and every beep can be counted.
namespace Feedback {

struct Recorder {
    int beeps = 0;
    QStringList messages;
};

void SetRecorder(Recorder *recorder); // nullptr: beep and show for real
void Beep();
// A message box with an OK button, titled with the application title, showing plain text.
void Message(QWidget *parent, const QString &text, QMessageBox::Icon icon = QMessageBox::NoIcon);

} // namespace Feedback
