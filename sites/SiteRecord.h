#pragma once

#include <QString>

// One partner site: its display name, the page to fetch (used as typed) and the text that
// page must contain. Any of the three may be empty.
struct SiteRecord {
    QString Name;
    QString Url;
    QString SearchTerm;

    friend bool operator==(const SiteRecord &, const SiteRecord &) = default;
};
