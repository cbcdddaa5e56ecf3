#include "Robots.h"

#include <QString>

namespace PageAnalysis::Robots {

namespace {

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

void Apply(QStringView word, Directives &into)
{
    if (word.compare(u"noindex", Qt::CaseInsensitive) == 0) {
        into.noindex = true;
    } else if (word.compare(u"nofollow", Qt::CaseInsensitive) == 0) {
        into.nofollow = true;
    } else if (word.compare(u"none", Qt::CaseInsensitive) == 0) {
        into.noindex = true;
        into.nofollow = true;
    }
}

// Calls apply for every run of characters between separators.
template <typename Separator, typename Apply>
void ForEachWord(QStringView text, Separator isSeparator, Apply apply)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || isSeparator(text[i])) {
            if (i > start)
                apply(text.sliced(start, i - start));
            start = i + 1;
        }
    }
}

// A user agent is one word of letters, digits, '-' and '_'; directives that carry a value after
// a colon ("max-snippet: 20", "unavailable_after: 25 Jun 2010") look the same, so they are known
// by name.
bool IsUserAgent(QStringView word)
{
    if (word.isEmpty())
        return false;
    for (QChar c : word) {
        if (!(c.isLetterOrNumber() || c == u'-' || c == u'_') || c.unicode() > 0x7f)
            return false;
    }
    for (const char16_t *valued :
         {u"unavailable_after", u"max-snippet", u"max-image-preview", u"max-video-preview"}) {
        if (word.compare(QStringView(valued), Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

} // namespace

Directives FromMetaContent(QStringView content)
{
    Directives found;
    ForEachWord(content, [](QChar c) { return c == u',' || IsBlank(c); },
                [&](QStringView word) { Apply(word, found); });
    return found;
}

Directives FromHeader(QStringView value)
{
    Directives found;
    bool counts = true; // no user agent named yet: the directives speak to every robot
    ForEachWord(value, [](QChar c) { return c == u','; }, [&](QStringView item) {
        item = item.trimmed();
        const qsizetype colon = item.indexOf(u':');
        if (colon > 0) {
            const QStringView head = item.first(colon).trimmed();
            if (IsUserAgent(head)) {
                counts = head.compare(u"googlebot", Qt::CaseInsensitive) == 0;
                item = item.sliced(colon + 1);
            }
        }
        if (counts)
            ForEachWord(item, IsBlank, [&](QStringView word) { Apply(word, found); });
    });
    return found;
}

bool IsRobotsMetaName(QStringView name)
{
    name = name.trimmed();
    return name.compare(u"robots", Qt::CaseInsensitive) == 0
        || name.compare(u"googlebot", Qt::CaseInsensitive) == 0;
}

} // namespace PageAnalysis::Robots
