#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// The file dialogs and the yes/no question of the window's import and export. Tests install
// a sink that answers in place of the user, so that nothing waits for a dialog.
namespace FileChooser {

enum class Purpose { Open, Save, SaveType, Confirm, Show };

// For Open and Save: the chosen file, empty when cancelled. For SaveType: the chosen one of
// the filter's file types, asked after Save when the caller wants it. For Confirm: non-empty
// for yes. Confirm and Show get their text with the rows below it, one a line.
using Sink = std::function<QString(QWidget *owner, Purpose purpose, const QString &text)>;

void SetSink(Sink sink);
// `filter` as the toolkit's file dialog takes it; empty when the user cancels.
QString OpenFile(QWidget *owner, const QString &caption, const QString &filter);
// `selectedFilter`, when given, receives the file type the user chose.
QString SaveFile(QWidget *owner, const QString &caption, const QString &suggested, const QString &filter,
                 QString *selectedFilter = nullptr);
// A yes/no question with the rows it is about in a scrolling list below it.
bool Confirm(QWidget *owner, const QString &question, const QStringList &rows);
// A report with an OK button and its rows in a scrolling list.
void Show(QWidget *owner, const QString &text, const QStringList &rows);

} // namespace FileChooser
