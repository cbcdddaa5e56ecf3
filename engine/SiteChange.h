#pragma once

#include <QString>

// How a site's verdict compares with its previous check, as the history saw it.
struct SiteChange {
    QString previousStatus; // the history's state word before this check; empty for a new site
    QString status;         // the history's state word after it
    qint64 since = 0;       // seconds since the epoch the site has been in its present state
    QString change;         // new, unchanged, lost, down, back or changed
    QString note;           // e.g. why a first finding was not taken; usually empty
};
