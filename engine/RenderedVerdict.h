#pragma once

#include "SiteVerdict.h"

#include <QString>
#include <QStringView>

// A site's verdict judged again on its page as a browser shows it once the page's scripts have
// run. The rendered document is searched and analysed as a source is; what the scripts did to
// the term becomes a hollow reason: a link found only after they ran is drawn by script, one
// that they took away or weakened is removed by script.
namespace RenderedVerdict {

enum class Mode {
    Off,
    Missing, // pages that opened and lack the term
    All,     // pages that opened, with the term or without
};

// Whether the site's page is to be rendered.
bool Needed(const SiteVerdict::SiteResult &result, Mode mode);

// Judges the site on its rendered document; `strict` as in SiteVerdict::Analyse. A source
// that carried the term is expected to have been analysed.
void Apply(SiteVerdict::SiteResult &result, QStringView dom, QStringView term, bool strict);

// The page could not be rendered: the source verdict stands, with the reason.
void Failed(SiteVerdict::SiteResult &result, const QString &why);

} // namespace RenderedVerdict
