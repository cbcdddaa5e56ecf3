#include "OptionHelp.h"

namespace OptionHelp {

namespace {

// Where every description begins; names longer than this put it on the next line.
constexpr int DescriptionColumn = 23;

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// Words laid into lines of at most Width characters, the first line after `first`, the others
// after `indent` spaces.
QString wrapped(const QString &first, const QStringList &words, int indent)
{
    QString out = first;
    qsizetype lineStart = first.lastIndexOf(u'\n') + 1;
    bool lineHasWord = false;
    for (const QString &word : words) {
        if (lineHasWord && out.size() - lineStart + 1 + word.size() > Width) {
            out += u'\n';
            lineStart = out.size();
            out += QString(indent, u' ');
            lineHasWord = false;
        }
        if (lineHasWord)
            out += u' ';
        out += word;
        lineHasWord = true;
    }
    return out + u'\n';
}

} // namespace

QString Synopsis(const QString &lead, const QList<QCommandLineOption> &options)
{
    QStringList parts;
    for (const QCommandLineOption &option : options) {
        QStringList names;
        for (const QString &name : option.names())
            names << dashed(name);
        QString part = u'[' + names.join(u'|');
        if (!option.valueName().isEmpty())
            part += u' ' + option.valueName();
        parts << part + u']';
    }
    return wrapped(lead + u' ', parts, int(lead.size()) + 1);
}

QString List(const QList<QCommandLineOption> &options)
{
    QString out;
    for (const QCommandLineOption &option : options) {
        QStringList names;
        for (const QString &name : option.names())
            names << dashed(name);
        QString left = QStringLiteral("  ") + names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            left += u' ' + option.valueName();
        if (left.size() + 2 > DescriptionColumn)
            left += u'\n' + QString(DescriptionColumn, u' ');
        else
            left = left.leftJustified(DescriptionColumn);
        out += wrapped(left, option.description().split(u' ', Qt::SkipEmptyParts), DescriptionColumn);
    }
    return out;
}

} // namespace OptionHelp
