#pragma once

#include "PageAnalysis.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <vector>

// A site's robots.txt, read as Google's crawler reads it: the rules of the groups for googlebot,
// or when there are none those for every crawler ("*"); the longest matching pattern decides and
// Allow wins a tie. A page disallowed there is never fetched by search engines, so a link on it
// does not count.
namespace RobotsTxt {

enum class Access { Allowed, Disallowed, Unknown };

struct Judgement {
    Access access = Access::Allowed;
    QString rule;  // the line that decided, as written in the file, e.g. "Disallow: /links/"
                   // (at most 200 characters); empty when no rule matched
    QString agent; // the group it came from: "googlebot" or "*"
    QString why;   // for Unknown: e.g. "robots.txt answered 503"
};

class Rules
{
public:
    // Never fails: lines that are not rules are skipped, and bytes beyond MaxBytes ignored.
    static Rules Parse(QByteArrayView body);
    static Rules AllowAll();
    static Rules Unknown(const QString &why);

    // The page's path with its query, e.g. "/links/a.html?x=1"; "" counts as "/".
    Judgement Judge(QStringView pathAndQuery) const;

private:
    struct Rule {
        bool allow = false;
        QByteArray pattern; // percent-encoding normalised, as written otherwise
        QString line;
    };
    std::vector<Rule> rules_;
    QString agent_;
    QString unknown_;
};

// What a fetch of /robots.txt means: 2xx -> parsed; 4xx -> everything allowed; 5xx, not opened,
// or another status -> unknown with the reason.
Rules FromFetch(bool opened, long status, QByteArrayView body, const QString &error);

// The robots.txt address for a page address ("https://Shop.example:443/a/b?c" ->
// "https://shop.example/robots.txt"); empty for addresses that have none (not http or https).
QString AddressFor(const QString &pageUrl);

// One robots.txt per scheme, host and port: "https://shop.example:443"; empty as for AddressFor.
QString HostKeyFor(const QString &pageUrl);

// The path and query to judge for a page address, percent-encoding normalised ("/" for none).
QString PathFor(const QString &pageUrl);

// A disallowed page's match is hollow, with the rule and its group as the detail
// ("Disallow: /links/ (for googlebot)"). Allowed and unknown change nothing.
void Apply(PageAnalysis::Analysis &analysis, const Judgement &judgement);

inline constexpr qint64 MaxBytes = 500 * 1024; // read at most this much of a robots.txt
inline constexpr int MaxRedirects = 5;

} // namespace RobotsTxt
