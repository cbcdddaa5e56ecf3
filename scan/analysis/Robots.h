#pragma once

#include <QStringView>

// The robots directives that matter for a link's worth: noindex and nofollow ("none" is both).
// Names and values are compared without regard to case.
namespace PageAnalysis::Robots {

struct Directives {
    bool noindex = false;
    bool nofollow = false;
};

// The content of <meta name="robots"> or <meta name="googlebot">: words separated by commas or
// blanks, e.g. "NOINDEX, follow".
Directives FromMetaContent(QStringView content);

// One X-Robots-Tag header value: comma-separated directives, each optionally led by a user
// agent ("googlebot: noindex"), which then applies until the next one. Directives for agents
// other than googlebot do not count, like meta tags named after other robots.
Directives FromHeader(QStringView value);

// The meta names that speak to every robot or to Google's.
bool IsRobotsMetaName(QStringView name);

} // namespace PageAnalysis::Robots
