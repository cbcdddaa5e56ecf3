#pragma once

#include "SiteState.h"

#include <QString>

#include <optional>

// What the history knows of a partner's link, in a few lines for the Partners window: its text,
// where it goes, and why search engines will not count it. Page text is made visible, never
// obeyed; the caller shows it as plain text.
namespace LinkDetails {

// Empty when nothing is known (the page was never analysed) or there is nothing to tell.
QString Caption(const std::optional<History::Details> &details);

} // namespace LinkDetails
