#pragma once

#include <QString>

#include <ostream>

// One partner site: its display name, the page to fetch (used as typed) and the text that
// page must contain. Any of the three may be empty.
struct SiteRecord {
    QString Name;
    QString Url;
    QString SearchTerm;

    friend bool operator==(const SiteRecord &, const SiteRecord &) = default;
};

// Readable in test failures and debug output.
inline std::ostream &operator<<(std::ostream &out, const SiteRecord &site)
{
    return out << '{' << site.Name.toStdString() << " | " << site.Url.toStdString() << " | "
               << site.SearchTerm.toStdString() << '}';
}
