#pragma once

#include "CheckOptions.h"
#include "SiteChange.h"
#include "SiteRecord.h"
#include "SiteVerdict.h"

#include <nlohmann/json.hpp>

#include <QString>

#include <ostream>
#include <span>
#include <string>
#include <string_view>

// The three ways tallyweave-check reports its sites. Sites arrive in file order, one at a
// time, and are written at once: nothing about a site is kept after its line. Each site's
// change against its previous check is written with it (ChangeReport picks the changed ones).
namespace CheckReport {

// One column of the json and csv output. A field that does not apply is null (an empty csv
// field). New fields go into the table in CheckReport.cpp and appear in both formats.
struct Field {
    const char *name;
    nlohmann::ordered_json (*value)(const SiteRecord &site, const SiteVerdict::SiteResult &result);
    // For a field whose value is a list of texts: what stands between them in csv.
    const char *csvSeparator = nullptr;
};
std::span<const Field> Fields();

struct Summary {
    QString sitesFile;
    bool strict = false;
    qsizetype ok = 0;
    qsizetype notFound = 0;
    qsizetype pageNotFound = 0;
    qsizetype empty = 0;
    qsizetype hollow = 0;   // ok sites whose match search engines will not count
    qsizetype verified = 0; // ok sites, less the hollow ones when strict
    qint64 ms = 0;

    void add(const SiteVerdict::SiteResult &result);
    qsizetype checked() const { return ok + notFound + pageNotFound + empty; }
    bool allVerified() const { return verified == checked(); }
};

// The window's closing line: the count is left out when no site was verified.
QString ClosingLine(qsizetype verified, qsizetype sites);

// The version of the json layout, in its "schema" field; raised when a field changes meaning
// or goes away (new fields alone leave it).
inline constexpr int JsonSchema = 1;

// A moment as json, csv and text give it: ISO 8601 in UTC, e.g. 2026-12-07T06:00:00Z.
QString Moment(qint64 secondsSinceEpoch);

// Whether the site's state changed since its previous check.
bool IsChange(const SiteChange &change);

// What a text line gains: the change and since when (with --changes), and a note. Each part
// follows a tab; empty when there is nothing to add.
std::string TextSuffix(const SiteChange &change, bool withChange);

// The text line of a site: the window's line, then with `withReason` why the page failed and
// why a match is hollow, each in brackets where there is one. Untrusted parts are made
// visible (VisibleText).
QString TextLine(const QString &name, const SiteVerdict::SiteResult &result, bool withReason);

class Writer
{
public:
    // With `reasons`, text lines say why a page failed.
    Writer(CheckOptions::Format format, std::ostream &out, bool reasons = false);

    void begin();
    void site(const SiteRecord &site, const SiteVerdict::SiteResult &result);
    void end(const Summary &summary);
    // Text lines also tell each site's change and since when.
    void showChanges(bool show) { showChanges_ = show; }

private:
    CheckOptions::Format format_;
    std::ostream &out_;
    bool reasons_;
    std::string heldJson_;
    bool showChanges_ = false;
};

} // namespace CheckReport
