#pragma once

#include <QString>

// Every line of the results: the site name, one tab, one status text.
namespace ResultLine {

inline const QString Ok = QStringLiteral("  --> OK");
inline const QString NotFound = QStringLiteral("  --> Search Term Not Found");
inline const QString PageNotFound = QStringLiteral("  --> Page Not Found");
inline const QString Skipped = QStringLiteral("  --> Skipped");

inline QString Make(const QString &name, const QString &status)
{
    return name + u'\t' + status;
}

} // namespace ResultLine
