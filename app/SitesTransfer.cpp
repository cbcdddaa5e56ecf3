// The site list and the scan's results in and out as CSV: the dialogs and the list's update
// here, the reading and writing in the sites library.
#include "frmMain.h"

#include "CsvFile.h"
#include "Feedback.h"
#include "FileChooser.h"
#include "Module1.h"
#include "SitesCsv.h"
#include "SitesFile.h"

#include <QFile>
#include <QListWidget>

namespace {
// An import file larger than this is not a partner list.
constexpr qint64 MaxImportBytes = 64 * 1024 * 1024;
// The question lists this many skipped rows; the rest are counted.
constexpr qsizetype ListedSkips = 20;
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
    QStringList lines{QStringLiteral("%1 site(s) will be added, %2 row(s) skipped.").arg(import.added.size()).arg(import.skipped.size())};
    for (qsizetype i = 0; i < import.skipped.size() && i < ListedSkips; ++i) {
        const SitesCsv::Skipped &skip = import.skipped[i];
        lines << QStringLiteral("Line %1 %2: %3").arg(skip.line).arg(skip.name.left(60), skip.reason);
    }
    if (import.skipped.size() > ListedSkips)
        lines << QStringLiteral("... and %1 more.").arg(import.skipped.size() - ListedSkips);
    if (import.added.isEmpty()) {
        Feedback::Message(this, lines.join(u'\n'));
        return;
    }
    if (!FileChooser::Confirm(this, lines.join(u'\n') + QStringLiteral("\n\nAdd them to the list?")))
        return;
    Module1::Sites.append(import.added);
    if (Module1::CurrRecord == 0)
        Module1::CurrRecord = 1;
    ShowRecord();
    Command3_Click();
}

void frmMain::mnuExportSites_Click()
{
    const QString path = FileChooser::SaveFile(this, QStringLiteral("Export Sites"), QStringLiteral("Sites.csv"), CsvFile::Filter());
    if (path.isEmpty())
        return;
    StoreRecord();
    if (const QString error = CsvFile::Write(path, SitesCsv::Write(Module1::Sites)); !error.isEmpty())
        Feedback::Message(this, error);
}

void frmMain::mnuExportResults_Click()
{
    const QString path = FileChooser::SaveFile(this, QStringLiteral("Export Results"), QStringLiteral("Results.csv"), CsvFile::Filter());
    if (path.isEmpty())
        return;
    QByteArray out = CsvFile::Line({QStringLiteral("name"), QStringLiteral("address"), QStringLiteral("term"),
                                    QStringLiteral("result"), QStringLiteral("hollow reason"), QStringLiteral("status code"),
                                    QStringLiteral("final address"), QStringLiteral("change")});
    for (int i = 0; i < lstResults->count(); ++i)
        out += CsvFile::Line(lstResults->item(i)->data(ExportRole).toStringList());
    if (const QString error = CsvFile::Write(path, out); !error.isEmpty())
        Feedback::Message(this, error);
}
