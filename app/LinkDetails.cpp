#include "LinkDetails.h"

#include "HollowReason.h"
#include "VisibleText.h"

#include <QStringList>

namespace LinkDetails {

namespace {

// The words are the history's; the phrases those of the checker's text lines.
QString phrase(const QString &word, const History::Details &details)
{
    using PageAnalysis::Hollow;
    for (int i = int(Hollow::Comment); i <= int(Hollow::EmptyTerm); ++i) {
        const auto why = Hollow(i);
        if (word != QLatin1StringView(PageAnalysis::HollowWord(why)))
            continue;
        QString detail;
        if (why == Hollow::FlaggedLink) {
            QStringList flags;
            for (const QString &rel : details.rel.split(u' ', Qt::SkipEmptyParts))
                if (rel == u"nofollow" || rel == u"sponsored" || rel == u"ugc")
                    flags << rel;
            detail = flags.join(u' ');
        }
        return PageAnalysis::HollowPhrase({why, detail});
    }
    return word;
}

} // namespace

QString Caption(const std::optional<History::Details> &details)
{
    if (!details)
        return {};
    QStringList lines;
    if (!details->linkText.isEmpty())
        lines << QStringLiteral("Link text: \u201c%1\u201d").arg(VisibleText::Of(details->linkText));
    if (!details->linkHref.isEmpty())
        lines << QStringLiteral("Link target: %1").arg(VisibleText::Of(details->linkHref));
    if (!details->reasons.isEmpty()) {
        QStringList phrases;
        for (const QString &word : details->reasons)
            phrases << phrase(word, *details);
        lines << QStringLiteral("Not counted by search engines: %1").arg(VisibleText::Of(phrases.join(QStringLiteral(", "))));
    }
    if (details->reasons.contains(u"canonical") && !details->canonical.isEmpty())
        lines << QStringLiteral("Canonical address: %1").arg(VisibleText::Of(details->canonical));
    return lines.join(u'\n');
}

} // namespace LinkDetails
