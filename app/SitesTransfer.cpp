// The site list and the scan's results in and out as CSV: the dialogs and the list's update
// here, the reading and writing in the CSV library.
#include "frmMain.h"

#include "CsvFile.h"
#include "Feedback.h"
#include "FileChooser.h"
#include "Module1.h"
#include "SitesCsv.h"
#include "SitesFile.h"
#include "VisibleText.h"

#include <QFile>
#include <QListWidget>

#include <algorithm>
#include <utility>

namespace {
// An import file larger than this is not a partner list.
constexpr qint64 MaxImportBytes = 64 * 1024 * 1024;
// Longer names and addresses are cut in the import's list of rows.
constexpr qsizetype ShownLength = 80;

QString Shown(const QString &text)
{
    const QString visible = VisibleText::Of(text);
    return visible.size() > ShownLength ? visible.left(ShownLength) + QStringLiteral("...") : visible;
}

// Every row of the file in its order, each with what becomes of it.
QStringList ImportRows(const SitesCsv::Import &import)
{
    QList<std::pair<int, QString>> rows;
    for (qsizetype i = 0; i < import.added.size(); ++i)
        rows.append({import.addedLines[i], QStringLiteral("Line %1 %2 (%3): will be added")
                                                   .arg(import.addedLines[i])
                                                   .arg(Shown(import.added[i].Name), Shown(import.added[i].Url))});
    for (const SitesCsv::Skipped &skip : import.skipped)
        rows.append({skip.line, QStringLiteral("Line %1 %2: %3").arg(skip.line).arg(Shown(skip.name), skip.reason)});
    std::stable_sort(rows.begin(), rows.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList lines;
    for (const auto &row : rows)
        lines << row.second;
    return lines;
}
} // namespace

void frmMain::mnuImport_Click()
{
    if (ListLockedByScan(cmdStart))
        return;
    const QString path = FileChooser::OpenFile(this, QStringLiteral("Import Sites"), CsvFile::Filter());
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Feedback::Message(this, QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
        return;
    }
    if (file.size() > MaxImportBytes) {
        Feedback::Message(this, QStringLiteral("%1 is too large to be a list of sites.").arg(path));
        return;
    }
    StoreRecord();
    const SitesCsv::Import import = SitesCsv::Read(file.readAll(), Module1::Sites, SitesFile::MaxSites);
    if (!import.error.isEmpty()) {
        Feedback::Message(this, QStringLiteral("%1 cannot be read as a list of sites. %2\nThe site list is unchanged.")
                                        .arg(path, import.error));
        return;
    }
    QString summary = QStringLiteral("%1 site(s) will be added, %2 row(s) skipped.").arg(import.added.size()).arg(import.skipped.size());
    if (import.headerGuessed)
        summary += QStringLiteral("\nThe first row holds no web address while the rows under it do: it is read as the "
                                  "titles of the columns, not as a site.");
    if (import.added.isEmpty()) {
        FileChooser::Show(this, summary, ImportRows(import));
        return;
    }
    if (!FileChooser::Confirm(this, summary + QStringLiteral("\nAdd them to the list?"), ImportRows(import)))
        return;
    Module1::Sites.append(import.added);
    if (Module1::CurrRecord == 0)
        Module1::CurrRecord = 1;
    ShowRecord();
    Command3_Click();
}

void frmMain::mnuExportSites_Click()
{
    QString type;
    const QString path = FileChooser::SaveFile(this, QStringLiteral("Export Sites"), CsvFile::SuggestedPath(QStringLiteral("sites")),
                                               CsvFile::SaveFilter(), &type);
    if (path.isEmpty())
        return;
    StoreRecord();
    if (const QString error = CsvFile::Write(path, SitesCsv::Write(Module1::Sites, CsvFile::DialectOf(type))); !error.isEmpty()) {
        Feedback::Message(this, error);
        return;
    }
    Feedback::Message(this, QStringLiteral("%1 site(s) written to %2.").arg(Module1::Sites.size()).arg(path));
}

void frmMain::mnuExportResults_Click()
{
    QString type;
    const QString path = FileChooser::SaveFile(this, QStringLiteral("Export Results"), CsvFile::SuggestedPath(QStringLiteral("results")),
                                               CsvFile::SaveFilter(), &type);
    if (path.isEmpty())
        return;
    const CsvFile::Dialect dialect = CsvFile::DialectOf(type);
    QByteArray out = CsvFile::Start(dialect)
                     + CsvFile::Line({QStringLiteral("name"), QStringLiteral("address"), QStringLiteral("term"),
                                      QStringLiteral("result"), QStringLiteral("hollow reason"), QStringLiteral("status code"),
                                      QStringLiteral("final address"), QStringLiteral("change")},
                                     dialect);
    for (int i = 0; i < lstResults->count(); ++i)
        out += CsvFile::Line(lstResults->item(i)->data(ExportRole).toStringList(), dialect);
    if (const QString error = CsvFile::Write(path, out); !error.isEmpty()) {
        Feedback::Message(this, error);
        return;
    }
    Feedback::Message(this, QStringLiteral("%1 result(s) written to %2.").arg(lstResults->count()).arg(path));
}
