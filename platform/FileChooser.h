#pragma once

#include <QString>

#include <functional>

class QWidget;

// The file dialogs and the yes/no question of the window's import and export. Tests install
// a sink that answers in place of the user, so that nothing waits for a dialog.
namespace FileChooser {

enum class Purpose { Open, Save, Confirm };

// For Open and Save: the chosen file, empty when cancelled. For Confirm: non-empty for yes.
using Sink = std::function<QString(QWidget *owner, Purpose purpose, const QString &text)>;

void SetSink(Sink sink);
// `filter` as the toolkit's file dialog takes it; empty when the user cancels.
QString OpenFile(QWidget *owner, const QString &caption, const QString &filter);
QString SaveFile(QWidget *owner, const QString &caption, const QString &suggested, const QString &filter);
bool Confirm(QWidget *owner, const QString &question);

} // namespace FileChooser
