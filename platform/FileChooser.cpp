#include "FileChooser.h"

#include "AppInfo.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace FileChooser {

namespace {
Sink &sink()
{
    static Sink s;
    return s;
}

QString WithRows(const QString &text, const QStringList &rows)
{
    return rows.isEmpty() ? text : text + u'\n' + rows.join(u'\n');
}

// The text above, the rows in a list that scrolls however many there are; true when accepted.
bool RowsDialog(QWidget *owner, const QString &text, const QStringList &rows, QDialogButtonBox::StandardButtons buttons)
{
    QDialog dialog(owner);
    dialog.setWindowTitle(QString::fromLatin1(AppInfo::Title));
    auto *layout = new QVBoxLayout(&dialog);
    auto *label = new QLabel(text, &dialog);
    // The text quotes file names and rows: it is shown as plain text, as are the rows.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto *list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("lstRows"));
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->addItems(rows);
    layout->addWidget(list);
    auto *box = new QDialogButtonBox(buttons, &dialog);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(box);
    dialog.resize(640, 420);
    return dialog.exec() == QDialog::Accepted;
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

QString SaveFile(QWidget *owner, const QString &caption, const QString &suggested, const QString &filter,
                 QString *selectedFilter)
{
    if (sink()) {
        const QString path = sink()(owner, Purpose::Save, suggested);
        if (selectedFilter && !path.isEmpty())
            *selectedFilter = sink()(owner, Purpose::SaveType, filter);
        return path;
    }
    return QFileDialog::getSaveFileName(owner, caption, suggested, filter, selectedFilter);
}

bool Confirm(QWidget *owner, const QString &question, const QStringList &rows)
{
    if (sink())
        return !sink()(owner, Purpose::Confirm, WithRows(question, rows)).isEmpty();
    return RowsDialog(owner, question, rows, QDialogButtonBox::Yes | QDialogButtonBox::No);
}

void Show(QWidget *owner, const QString &text, const QStringList &rows)
{
    if (sink()) {
        sink()(owner, Purpose::Show, WithRows(text, rows));
        return;
    }
    RowsDialog(owner, text, rows, QDialogButtonBox::Ok);
}

} // namespace FileChooser
