#pragma once

#include "CheckOptions.h"
#include "SiteRecord.h"
#include "SiteVerdict.h"

#include <nlohmann/json.hpp>

#include <QString>

#include <ostream>
#include <span>
#include <string>
#include <string_view>

// The three ways tallyweave-check reports its sites. Sites arrive in file order, one at a
// time, and are written at once: nothing about a site is kept after its line.
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

// One csv field as RFC 4180 wants it: quoted when it holds a comma, a double quote, CR or LF,
// or begins or ends with a blank.
std::string CsvField(std::string_view text);

class Writer
{
public:
    Writer(CheckOptions::Format format, std::ostream &out);

    void begin();
    void site(const SiteRecord &site, const SiteVerdict::SiteResult &result);
    void end(const Summary &summary);
    // Text lines also tell each site's change and since when.
    void showChanges(bool show) { showChanges_ = show; }

private:
    CheckOptions::Format format_;
    std::ostream &out_;
    std::string heldJson_;
    bool showChanges_ = false;
};

} // namespace CheckReport
