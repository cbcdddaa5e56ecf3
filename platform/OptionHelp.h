#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

// Help texts written from the options a program parses, so that an option cannot be added,
// renamed or dropped without its help following.
namespace OptionHelp {

inline constexpr int Width = 79;

// A usage line: the lead ("Usage: tallyweave-check") and "[-j|--jobs N]" for each option,
// wrapped with later lines indented under the first option.
QString Synopsis(const QString &lead, const QList<QCommandLineOption> &options);

// One entry per option: "  -j, --jobs N" and the description wrapped beside it.
QString List(const QList<QCommandLineOption> &options);

} // namespace OptionHelp
