#include "PageFacts.h"

#include "InlineStyle.h"

#include <algorithm>
#include <cstring>

namespace PageAnalysis {

bool IsFlagging(const QString &relToken)
{
    return relToken == u"nofollow" || relToken == u"sponsored" || relToken == u"ugc";
}

namespace {

// Where the content of a <noscript> that starts at from ends: at the first </noscript> tag, or
// at the end of the page.
std::size_t NoscriptEnd(const char *base, std::size_t size, std::size_t from)
{
    static constexpr char Tag[] = "</noscript";
    constexpr std::size_t Length = sizeof Tag - 1;
    for (std::size_t at = from; at + Length <= size; ++at) {
        const void *found = std::memchr(base + at, '<', size - at);
        if (!found)
            break;
        at = std::size_t(static_cast<const char *>(found) - base);
        if (at + Length > size)
            break;
        std::size_t k = 1;
        while (k < Length && (base[at + k] | 0x20) == Tag[k])
            ++k;
        if (k < Length)
            continue;
        const char next = at + Length < size ? base[at + Length] : '>';
        if (next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\n'
            || next == '\f' || next == '\r')
            return at;
    }
    return size;
}

} // namespace

int PageFacts::AddLink(const QString *rel)
{
    QStringList tokens;
    if (rel)
        tokens = rel->toLower().simplified().split(u' ', Qt::SkipEmptyParts);
    links.push_back(std::move(tokens));
    return int(links.size()) - 1;
}

bool PageFacts::Flagged(int link) const
{
    const QStringList &rel = links[std::size_t(link)];
    return std::any_of(rel.cbegin(), rel.cend(), IsFlagging);
}

void PageFacts::AddMeta(const QString &name, const QString &content)
{
    const QString robot = name.trimmed().toLower();
    if (!Robots::IsRobotsMetaName(robot))
        return;
    const Robots::Directives said = Robots::FromMetaContent(content);
    const QString source = QStringLiteral(" (meta %1)").arg(robot);
    if (said.noindex)
        robots.append(QStringLiteral("noindex") + source);
    if (said.nofollow)
        robots.append(QStringLiteral("nofollow") + source);
    meta.noindex = meta.noindex || said.noindex;
    meta.nofollow = meta.nofollow || said.nofollow;
}

void PageFacts::AddNoscript(std::size_t content, std::uint32_t holder)
{
    noscripts_.push_back({content, holder});
}

std::uint32_t PageFacts::Conceal(std::uint32_t holder, std::uint32_t inherited, const std::string_view *hidden,
                                 const std::string_view *style)
{
    if (!hidden && !style)
        return inherited;
    std::string rule = InlineStyle::Hiding(hidden, style);
    if (rule.empty())
        return inherited;
    concealments.push_back({holder, std::move(rule)});
    return std::uint32_t(concealments.size() - 1);
}

QString PageFacts::Concealer(std::uint32_t concealer) const
{
    const Concealment &concealment = concealments[concealer];
    return u'<' + holderName(concealment.holder) + u' ' + QString::fromUtf8(concealment.rule) + u'>';
}

void PageFacts::AddHeadLink(std::string_view rel, Span href)
{
    if (canonical)
        return;
    constexpr std::string_view Canonical = "canonical";
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
    for (std::size_t i = 0; i < rel.size();) {
        while (i < rel.size() && blank(rel[i]))
            ++i;
        const std::size_t from = i;
        while (i < rel.size() && !blank(rel[i]))
            ++i;
        if (i - from != Canonical.size())
            continue;
        std::size_t k = 0;
        while (k < Canonical.size() && (rel[from + k] | 0x20) == Canonical[k])
            ++k;
        if (k == Canonical.size()) {
            canonical = href;
            return;
        }
    }
}

void PageFacts::AddBase(Span href)
{
    if (!base)
        base = href;
}

std::vector<Piece> PageFacts::TakePieces(const char *base, std::size_t size)
{
    if (!ordered)
        std::sort(pieces.begin(), pieces.end(), [](const Piece &a, const Piece &b) {
            return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
        });
    // Overlaps come from elements the parser copies (formatting elements it reopens, attributes
    // of a second <html> or <body> tag) and from text that runs across a tag the parser drops.
    // The piece that starts first keeps the contested bytes.
    std::size_t reach = 0;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        Piece &piece = pieces[i];
        if (piece.begin < reach)
            piece.begin = reach;
        if (piece.begin >= piece.end)
            continue;
        reach = piece.end;
        // Most pages overlap nowhere: nothing is moved then.
        if (kept != i)
            pieces[kept] = piece;
        ++kept;
    }
    pieces.resize(kept);
    HideNoscriptContent(base, size);
    return std::move(pieces);
}

// The parser follows the rules for a browser without scripts, where a <noscript> in the head
// holds only what may stand in a head and anything else ends it early. Browsers that run
// scripts, search engines among them, take everything up to </noscript> as text they do not
// show, so the pieces in that stretch are hidden whatever the tree made of them.
void PageFacts::HideNoscriptContent(const char *base, std::size_t size)
{
    std::sort(noscripts_.begin(), noscripts_.end());
    std::size_t piece = 0;
    std::size_t reach = 0; // where the content of the last <noscript> looked at ends
    for (const auto &[begin, element] : noscripts_) {
        if (begin >= reach)
            reach = NoscriptEnd(base, size, begin); // later starts inside end at the same place
        for (; piece < pieces.size() && pieces[piece].begin < begin; ++piece) {}
        for (; piece < pieces.size() && pieces[piece].begin < reach; ++piece) {
            Piece &hidden = pieces[piece];
            if (hidden.context != Context::ScriptStyleNoscript
                && hidden.context != Context::Comment) {
                hidden.context = Context::ScriptStyleNoscript;
                hidden.holder = element;
                hidden.link = -1;
            }
        }
    }
}

} // namespace PageAnalysis
