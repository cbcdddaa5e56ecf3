#include "PageAnalysis.h"

#include "FindIt.h"
#include "GuardedParse.h"
#include "Robots.h"
#include "SourceBytes.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace PageAnalysis {

namespace {

constexpr int ContextCount = int(Context::None) + 1;

bool Stronger(Context a, Context b)
{
    return int(a) < int(b);
}

// The next place of the term at or after from, by the verdict's own rule; -1 when none.
qsizetype FindFrom(QStringView source, QStringView term, qsizetype from)
{
    const qsizetype at = FindIt::Find(source.sliced(from), term);
    return at < 0 ? -1 : from + at;
}

// A stretch of the source (in UTF-8 bytes) with one meaning: a text node, a comment, or an
// attribute value (its quotes included). Tags outside attribute values are not pieces: a
// match there is in no particular place.
struct Piece {
    std::size_t begin;
    std::size_t end;
    Context context;
    int link;                   // the <a href> it belongs to, for links' hrefs and texts
    const GumboNode *holder;    // element that holds the text or attribute, or the script,
                                // style or noscript around it; nullptr for comments
    const GumboAttribute *attribute;
};

struct Link {
    QStringList rel;
};

bool IsFlagging(const QString &relToken)
{
    return relToken == u"nofollow" || relToken == u"sponsored" || relToken == u"ugc";
}

QString TagName(const GumboNode *node)
{
    if (!node || (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE))
        return {};
    const GumboElement &element = node->v.element;
    if (element.tag != GUMBO_TAG_UNKNOWN)
        return QString::fromLatin1(gumbo_normalized_tagname(element.tag));
    GumboStringPiece name = element.original_tag;
    if (!name.data || name.length == 0)
        return {};
    gumbo_tag_from_original_text(&name);
    return QString::fromUtf8(name.data, qsizetype(name.length)).toLower();
}

// The parser keeps the local name of namespaced attributes in foreign content ("href" of
// "xlink:href"); the page's author wrote the prefix.
QString AttributeName(const GumboAttribute &attribute)
{
    const QString name = QString::fromUtf8(attribute.name);
    switch (attribute.attr_namespace) {
    case GUMBO_ATTR_NAMESPACE_XLINK:
        return QStringLiteral("xlink:") + name;
    case GUMBO_ATTR_NAMESPACE_XML:
        return QStringLiteral("xml:") + name;
    case GUMBO_ATTR_NAMESPACE_XMLNS:
        return name == u"xmlns" ? name : QStringLiteral("xmlns:") + name;
    case GUMBO_ATTR_NAMESPACE_NONE:
        break;
    }
    return name;
}

// Everything the tree tells: the pieces, the links, and the robots meta tags.
class Collector
{
public:
    Collector(const char *base, std::size_t size) : base_(base), size_(size) {}

    void Walk(const GumboNode *root);
    // Sorted by position, without overlaps.
    std::vector<Piece> TakePieces();

    std::vector<Link> links;
    Robots::Directives meta;
    QStringList robots;

private:
    struct Frame {
        const GumboNode *node;
        const GumboNode *hidden; // the script, style or noscript it is inside of
        int link;
    };

    bool Locate(const GumboStringPiece &text, std::size_t &begin, std::size_t &end) const;
    void Element(const Frame &frame, std::vector<Frame> &stack);
    void Meta(const GumboElement &element);

    std::size_t NoscriptEnd(std::size_t from) const;
    void HideNoscriptContent();

    const char *base_;
    std::size_t size_;
    std::vector<Piece> pieces_;
    std::vector<std::pair<std::size_t, const GumboNode *>> noscripts_; // content start, element
};

// Parser nodes that stand for nothing in the source (implied tags) have no text there.
bool Collector::Locate(const GumboStringPiece &text, std::size_t &begin, std::size_t &end) const
{
    if (!text.data || text.length == 0)
        return false;
    const auto from = reinterpret_cast<std::uintptr_t>(base_);
    const auto at = reinterpret_cast<std::uintptr_t>(text.data);
    if (at < from || at - from > size_ || text.length > size_ - (at - from))
        return false;
    begin = at - from;
    end = begin + text.length;
    return true;
}

void Collector::Walk(const GumboNode *root)
{
    // Pages nest as deep as they like: no recursion.
    std::vector<Frame> stack{{root, nullptr, -1}};
    while (!stack.empty()) {
        const Frame frame = stack.back();
        stack.pop_back();
        const GumboNode *node = frame.node;
        std::size_t begin = 0;
        std::size_t end = 0;
        switch (node->type) {
        case GUMBO_NODE_DOCUMENT: {
            const GumboVector &children = node->v.document.children;
            for (unsigned i = children.length; i-- > 0;)
                stack.push_back({static_cast<const GumboNode *>(children.data[i]), nullptr, -1});
            break;
        }
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            Element(frame, stack);
            break;
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_WHITESPACE:
            if (Locate(node->v.text.original_text, begin, end)) {
                const Context context = frame.hidden ? Context::ScriptStyleNoscript
                    : frame.link >= 0                ? Context::LinkText
                                                     : Context::VisibleText;
                pieces_.push_back({begin, end, context, frame.hidden ? -1 : frame.link,
                                   frame.hidden ? frame.hidden : node->parent, nullptr});
            }
            break;
        case GUMBO_NODE_COMMENT:
            if (Locate(node->v.text.original_text, begin, end))
                pieces_.push_back({begin, end, Context::Comment, -1, nullptr, nullptr});
            break;
        }
    }
}

void Collector::Element(const Frame &frame, std::vector<Frame> &stack)
{
    const GumboNode *node = frame.node;
    const GumboElement &element = node->v.element;
    const bool html = element.tag_namespace == GUMBO_NAMESPACE_HTML;
    int link = frame.link;
    const GumboAttribute *href = nullptr;
    bool flagged = false;

    if (html && element.tag == GUMBO_TAG_A && !frame.hidden) {
        href = gumbo_get_attribute(&element.attributes, "href");
        if (href) {
            Link found;
            if (const GumboAttribute *rel = gumbo_get_attribute(&element.attributes, "rel")) {
                const QString value = QString::fromUtf8(rel->value).toLower();
                found.rel = value.simplified().split(u' ', Qt::SkipEmptyParts);
            }
            flagged = std::any_of(found.rel.cbegin(), found.rel.cend(), IsFlagging);
            link = int(links.size());
            links.push_back(std::move(found));
        }
    }
    if (html && element.tag == GUMBO_TAG_META)
        Meta(element);

    for (unsigned i = 0; i < element.attributes.length; ++i) {
        const auto *attribute = static_cast<const GumboAttribute *>(element.attributes.data[i]);
        std::size_t begin = 0;
        std::size_t end = 0;
        if (!Locate(attribute->original_value, begin, end))
            continue;
        Context context = Context::Attribute;
        if (frame.hidden)
            context = Context::ScriptStyleNoscript;
        else if (attribute == href)
            context = flagged ? Context::FlaggedLinkHref : Context::CleanLinkHref;
        pieces_.push_back({begin, end, context, attribute == href ? link : -1,
                           frame.hidden ? frame.hidden : node, attribute});
    }

    if (html && element.tag == GUMBO_TAG_NOSCRIPT) {
        std::size_t begin = 0;
        std::size_t end = 0;
        if (Locate(element.original_tag, begin, end))
            noscripts_.push_back({end, node});
    }

    const GumboNode *hidden = frame.hidden;
    if (!hidden
        && (element.tag == GUMBO_TAG_SCRIPT || element.tag == GUMBO_TAG_STYLE
            || (html && element.tag == GUMBO_TAG_NOSCRIPT)))
        hidden = node;
    const GumboVector &children = element.children;
    for (unsigned i = children.length; i-- > 0;)
        stack.push_back({static_cast<const GumboNode *>(children.data[i]), hidden, link});
}

void Collector::Meta(const GumboElement &element)
{
    const GumboAttribute *name = gumbo_get_attribute(&element.attributes, "name");
    const GumboAttribute *content = gumbo_get_attribute(&element.attributes, "content");
    if (!name || !content)
        return;
    const QString robot = QString::fromUtf8(name->value).trimmed().toLower();
    if (!Robots::IsRobotsMetaName(robot))
        return;
    const Robots::Directives said = Robots::FromMetaContent(QString::fromUtf8(content->value));
    const QString source = QStringLiteral(" (meta %1)").arg(robot);
    if (said.noindex)
        robots.append(QStringLiteral("noindex") + source);
    if (said.nofollow)
        robots.append(QStringLiteral("nofollow") + source);
    meta.noindex = meta.noindex || said.noindex;
    meta.nofollow = meta.nofollow || said.nofollow;
}

std::vector<Piece> Collector::TakePieces()
{
    std::sort(pieces_.begin(), pieces_.end(), [](const Piece &a, const Piece &b) {
        return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
    });
    // Overlaps come from elements the parser copies (formatting elements it reopens, attributes
    // of a second <html> or <body> tag) and from text that runs across a tag the parser drops.
    // The piece that starts first keeps the contested bytes.
    std::size_t reach = 0;
    std::size_t kept = 0;
    for (Piece &piece : pieces_) {
        piece.begin = std::max(piece.begin, reach);
        if (piece.begin >= piece.end)
            continue;
        reach = piece.end;
        pieces_[kept++] = piece;
    }
    pieces_.resize(kept);
    HideNoscriptContent();
    return std::move(pieces_);
}

// Where the content of a <noscript> that starts at from ends: at the first </noscript> tag, or
// at the end of the page.
std::size_t Collector::NoscriptEnd(std::size_t from) const
{
    static constexpr char Tag[] = "</noscript";
    constexpr std::size_t Length = sizeof Tag - 1;
    for (std::size_t at = from; at + Length <= size_; ++at) {
        const void *found = std::memchr(base_ + at, '<', size_ - at);
        if (!found)
            break;
        at = std::size_t(static_cast<const char *>(found) - base_);
        if (at + Length > size_)
            break;
        std::size_t k = 1;
        while (k < Length && (base_[at + k] | 0x20) == Tag[k])
            ++k;
        if (k < Length)
            continue;
        const char next = at + Length < size_ ? base_[at + Length] : '>';
        if (next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\n'
            || next == '\f' || next == '\r')
            return at;
    }
    return size_;
}

// The parser follows the rules for a browser without scripts, where a <noscript> in the head
// holds only what may stand in a head and anything else ends it early. Browsers that run
// scripts, search engines among them, take everything up to </noscript> as text they do not
// show, so the pieces in that stretch are hidden whatever the tree made of them.
void Collector::HideNoscriptContent()
{
    std::sort(noscripts_.begin(), noscripts_.end());
    std::size_t piece = 0;
    std::size_t reach = 0; // where the content of the last <noscript> looked at ends
    for (const auto &[begin, element] : noscripts_) {
        if (begin >= reach)
            reach = NoscriptEnd(begin); // later starts inside this stretch end at the same place
        for (; piece < pieces_.size() && pieces_[piece].begin < begin; ++piece) {}
        for (; piece < pieces_.size() && pieces_[piece].begin < reach; ++piece) {
            Piece &hidden = pieces_[piece];
            if (hidden.context != Context::ScriptStyleNoscript
                && hidden.context != Context::Comment) {
                hidden.context = Context::ScriptStyleNoscript;
                hidden.holder = element;
                hidden.link = -1;
            }
        }
    }
}

// The pieces that an occurrence touches, for occurrences met in ascending order: both of their
// ends only move forward, so the whole page costs one pass over the pieces.
class Window
{
public:
    explicit Window(const std::vector<Piece> &pieces) : pieces_(pieces) {}

    // The context of the occurrence at bytes [begin, end), and a piece that has that context.
    std::pair<Context, const Piece *> Classify(std::size_t begin, std::size_t end);

private:
    const std::vector<Piece> &pieces_;
    std::size_t low_ = 0;  // first piece that ends after the occurrence's start
    std::size_t high_ = 0; // first piece that starts at or after the occurrence's end
    std::array<int, ContextCount> count_{};
};

std::pair<Context, const Piece *> Window::Classify(std::size_t begin, std::size_t end)
{
    for (; high_ < pieces_.size() && pieces_[high_].begin < end; ++high_)
        ++count_[int(pieces_[high_].context)];
    for (; low_ < high_ && pieces_[low_].end <= begin; ++low_)
        --count_[int(pieces_[low_].context)];

    if (low_ == high_)
        return {Context::None, nullptr};
    const Piece &first = pieces_[low_];
    if (high_ - low_ == 1 && first.begin <= begin && end <= first.end)
        return {first.context, &first};

    // Across pieces or partly in markup. Written into a comment or a script even in part, the
    // term as a whole is in no visible place; otherwise the strongest piece it covers tells
    // (a term that includes markup, such as href="...", is as good as the href it contains).
    Context context = Context::None;
    if (count_[int(Context::Comment)] > 0)
        context = Context::Comment;
    else if (count_[int(Context::ScriptStyleNoscript)] > 0)
        context = Context::ScriptStyleNoscript;
    else
        for (int c = 0; c < ContextCount; ++c)
            if (count_[c] > 0) {
                context = Context(c);
                break;
            }
    for (std::size_t i = low_; i < high_; ++i)
        if (pieces_[i].context == context)
            return {context, &pieces_[i]};
    return {context, nullptr};
}

void AddHeaderDirectives(const Headers &headers, Analysis &result)
{
    for (const auto &[name, value] : headers) {
        if (name.compare("x-robots-tag", Qt::CaseInsensitive) != 0)
            continue;
        const Robots::Directives said = Robots::FromHeader(QString::fromUtf8(value));
        if (said.noindex && !result.robots.contains(u"noindex (X-Robots-Tag)"))
            result.robots.append(QStringLiteral("noindex (X-Robots-Tag)"));
        if (said.nofollow && !result.robots.contains(u"nofollow (X-Robots-Tag)"))
            result.robots.append(QStringLiteral("nofollow (X-Robots-Tag)"));
        result.noindex = result.noindex || said.noindex;
        result.nofollow = result.nofollow || said.nofollow;
    }
}

Limits Effective(const Limits &asked, std::size_t bytes)
{
    // Real pages parse at more than ten megabytes a second into about ten times their size of
    // tree; the defaults leave several times that and stop only pathological markup.
    const qint64 mebibytes = qint64(bytes >> 20);
    Limits limits = asked;
    if (limits.parseTime.count() <= 0)
        limits.parseTime = std::chrono::milliseconds(500 + 250 * mebibytes);
    if (limits.parseMemory <= 0)
        limits.parseMemory = (qint64(64) << 20) + 16 * qint64(bytes);
    return limits;
}

void Finish(Analysis &result)
{
    result.hollow = result.found
        && (result.context == Context::Comment || result.context == Context::ScriptStyleNoscript
            || result.context == Context::FlaggedLinkHref || result.noindex || result.nofollow);
    if (!result.found)
        result.contextName.clear();
    else if (result.gaveUp)
        result.contextName = QStringLiteral("unknown");
    else
        result.contextName = ContextName(result.context);
}

} // namespace

Analysis Analyse(QStringView source, QStringView term, const Headers &headers,
                 const Limits &limits)
{
    Analysis result;
    AddHeaderDirectives(headers, result);
    if (source.isEmpty())
        return result;

    const qsizetype first = FindIt::Find(source, term);
    if (first < 0)
        return result;
    result.found = true;
    result.matchOffset = first;
    result.occurrences = 1;

    const QByteArray bytes = ToUtf8(source);
    const Limits effective = Effective(limits, std::size_t(bytes.size()));
    const GuardedParse parse(bytes.constData(), std::size_t(bytes.size()), effective.parseTime,
                             std::size_t(effective.parseMemory));
    if (!parse.output()) {
        result.gaveUp = true;
        if (!term.isEmpty())
            for (qsizetype at = FindFrom(source, term, first + 1); at >= 0;
                 at = FindFrom(source, term, at + 1))
                ++result.occurrences;
        Finish(result);
        return result;
    }

    Collector collector(bytes.constData(), std::size_t(bytes.size()));
    collector.Walk(parse.output()->document);
    const std::vector<Piece> pieces = collector.TakePieces();
    result.robots = collector.robots + result.robots;
    result.robots.removeDuplicates();
    result.noindex = result.noindex || collector.meta.noindex;
    result.nofollow = result.nofollow || collector.meta.nofollow;

    const Piece *best = nullptr;
    if (!term.isEmpty()) {
        result.occurrences = 0;
        const bool ascii = bytes.size() == source.size();
        ByteOffsets starts(source, ascii);
        ByteOffsets ends(source, ascii);
        Window window(pieces);
        for (qsizetype at = first; at >= 0; at = FindFrom(source, term, at + 1)) {
            ++result.occurrences;
            const auto [context, piece] = window.Classify(
                std::size_t(starts.Start(at)), std::size_t(ends.End(at + term.size())));
            if (Stronger(context, result.context)) {
                result.context = context;
                result.matchOffset = at;
                best = piece;
            }
        }
    }

    if (best) {
        result.element = TagName(best->holder);
        if (best->attribute)
            result.attribute = AttributeName(*best->attribute);
        if (best->link >= 0)
            result.rel = collector.links[std::size_t(best->link)].rel;
    }
    Finish(result);
    return result;
}

void NoteStatus(Analysis &analysis, long status)
{
    if (status < 400)
        return;
    analysis.errorStatus = status;
    analysis.hollow = analysis.hollow || analysis.found;
}

QString ContextName(Context context)
{
    switch (context) {
    case Context::CleanLinkHref:
        return QStringLiteral("link-href");
    case Context::FlaggedLinkHref:
        return QStringLiteral("flagged-link-href");
    case Context::LinkText:
        return QStringLiteral("link-text");
    case Context::VisibleText:
        return QStringLiteral("text");
    case Context::Attribute:
        return QStringLiteral("attribute");
    case Context::ScriptStyleNoscript:
        return QStringLiteral("script");
    case Context::Comment:
        return QStringLiteral("comment");
    case Context::None:
        break;
    }
    return QStringLiteral("markup");
}

QString Describe(const Analysis &analysis)
{
    QStringList lines;
    const QString rel = analysis.rel.join(u' ');
    if (!analysis.found) {
        lines << QStringLiteral("Search term not found.");
    } else if (analysis.gaveUp) {
        lines << QStringLiteral("Found; the page's markup is too large or too deeply nested to "
                                "tell where.");
    } else {
        QString where;
        switch (analysis.context) {
        case Context::CleanLinkHref:
            where = QStringLiteral("Found in the address of a link");
            if (!rel.isEmpty())
                where += QStringLiteral(" (rel=\"%1\")").arg(rel);
            break;
        case Context::FlaggedLinkHref:
            where = QStringLiteral("Found in the address of a link marked rel=\"%1\"").arg(rel);
            break;
        case Context::LinkText:
            where = QStringLiteral("Found in the text of a link");
            if (!rel.isEmpty())
                where += QStringLiteral(" (rel=\"%1\")").arg(rel);
            break;
        case Context::VisibleText:
            where = QStringLiteral("Found in the page text, not in a link");
            break;
        case Context::Attribute:
            where = QStringLiteral("Found in the %1 attribute of <%2>, not in a link")
                        .arg(analysis.attribute, analysis.element);
            break;
        case Context::ScriptStyleNoscript:
            where = QStringLiteral("Found only inside <%1>").arg(analysis.element);
            break;
        case Context::Comment:
            where = QStringLiteral("Found only inside an HTML comment");
            break;
        case Context::None:
            where = QStringLiteral("Found only in the markup, not in a link, text or attribute");
            break;
        }
        if (analysis.occurrences > 1)
            where += QStringLiteral(" (best of %1 places)").arg(analysis.occurrences);
        lines << where + u'.';
    }
    if (analysis.errorStatus != 0)
        lines << QStringLiteral("The page answered %1, an error.").arg(analysis.errorStatus);
    if (!analysis.robots.isEmpty())
        lines << QStringLiteral("Page tells search engines: %1.").arg(analysis.robots.join(u", "));
    if (analysis.hollow)
        lines << QStringLiteral("Search engines will not count this match.");
    return lines.join(u'\n');
}

} // namespace PageAnalysis
