// The results list: one line per site handled, each keeping the address it was written for,
// so that any line opens its own site's page in the browser for a check by eye.
#include "frmMain.h"

#include "ResultLine.h"
#include "ShexIt.h"

#include <QHelpEvent>
#include <QListWidget>
#include <QToolTip>

namespace {
constexpr int UrlRole = Qt::UserRole;
}

QListWidgetItem *frmMain::AddResult(const QString &status, const QString &url, const QString &details)
{
    auto *line = new QListWidgetItem(ResultLine::Make(SelectedText(lstNames), status));
    line->setData(UrlRole, url);
    // A skipped line has no transfer of its own: the last one belongs to another site.
    const bool fetched = status != ResultLine::Skipped;
    line->setData(ExportRole,
                  QStringList{SelectedText(lstNames), url, SelectedText(lstSearch), status.section(QStringLiteral("--> "), 1),
                              QString(), fetched && fetchStatus_ ? QString::number(fetchStatus_) : QString(),
                              fetched ? fetchFinalUrl_ : QString(), QString()});
    line->setToolTip(details.isEmpty() ? QStringLiteral("Page: %1").arg(url) : details);
    lstResults->addItem(line);
    return line;
}

void frmMain::ShowLineTip(const QHelpEvent *help)
{
    const QListWidgetItem *line = lstResults->itemAt(help->pos());
    if (!line || line->toolTip().isEmpty()) {
        QToolTip::hideText();
        return;
    }
    // The tip tells what a web server answered; a tip that looks like markup would be shown as
    // markup, so it is always handed over as escaped text.
    QToolTip::showText(help->globalPos(),
                       QStringLiteral("<p style='white-space:pre'>%1</p>").arg(line->toolTip().toHtmlEscaped()),
                       lstResults->viewport(), lstResults->visualItemRect(line));
}

void frmMain::lstResults_DblClick()
{
    const QListWidgetItem *line = lstResults->currentItem();
    if (!line || !line->isSelected())
        return;
    // Only web addresses reach the desktop: a result line never runs a program or opens a file.
    ShexIt::OpenWebAddress(this, line->data(UrlRole).toString());
}

void frmMain::lstResults_KeyPress(int KeyAscii)
{
    if (KeyAscii == 13)
        lstResults_DblClick();
}

void frmMain::SetExportField(QListWidgetItem *line, int field, const QString &value)
{
    QStringList fields = line->data(ExportRole).toStringList();
    fields[field] = value;
    line->setData(ExportRole, fields);
}
