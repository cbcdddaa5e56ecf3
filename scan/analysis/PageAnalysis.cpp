#include "PageAnalysis.h"

#include "AnalysisPass.h"
#include "FastPass.h"
#include "FindIt.h"
#include "GuardedParse.h"
#include "MarkupText.h"
#include "PageAddress.h"
#include "PageFacts.h"
#include "SourceBytes.h"
#include "Utf8Matches.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
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

// Everything the parser's tree tells: the pieces, the links, and the robots meta tags.
class Collector
{
public:
    Collector(const char *base, std::size_t size, PageFacts &facts);

    void Walk(const GumboNode *root);

private:
    struct Frame {
        const GumboNode *node;
        std::uint32_t hidden; // the script, style or noscript it is inside of
        int link;
        std::uint32_t parent;
        std::uint32_t concealer;
    };

    bool Locate(const GumboStringPiece &text, std::size_t &begin, std::size_t &end) const;
    bool RawSpan(const GumboAttribute &attribute, std::size_t &begin, std::size_t &end) const;
    std::string_view RawValue(const GumboAttribute &attribute) const;
    void Element(const Frame &frame, std::vector<Frame> &stack);
    void Meta(const GumboElement &element);

    const char *base_;
    std::size_t size_;
    PageFacts &facts_;
    std::vector<const GumboNode *> elements_;
    std::vector<const GumboAttribute *> attributes_;
};

Collector::Collector(const char *base, std::size_t size, PageFacts &facts)
    : base_(base), size_(size), facts_(facts)
{
    facts_.holderName = [this](std::uint32_t holder) { return TagName(elements_[holder]); };
    facts_.attributeName = [this](std::uint32_t attribute) {
        return AttributeName(*attributes_[attribute]);
    };
}

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

// An attribute's value as written, without its quotes: what the fast reader reads too. An
// attribute without a value has the name for its original value.
bool Collector::RawSpan(const GumboAttribute &attribute, std::size_t &begin, std::size_t &end) const
{
    if (attribute.original_value.data == attribute.original_name.data
        || !Locate(attribute.original_value, begin, end))
        return false;
    if ((base_[begin] == '"' || base_[begin] == '\'') && end - begin >= 2 && base_[end - 1] == base_[begin]) {
        ++begin;
        --end;
    }
    return true;
}

std::string_view Collector::RawValue(const GumboAttribute &attribute) const
{
    std::size_t begin = 0;
    std::size_t end = 0;
    if (!RawSpan(attribute, begin, end))
        return {};
    return {base_ + begin, end - begin};
}

void Collector::Walk(const GumboNode *root)
{
    // Pages nest as deep as they like: no recursion.
    std::vector<Frame> stack{{root, Piece::NoName, -1, Piece::NoName, Piece::NoName}};
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
                stack.push_back({static_cast<const GumboNode *>(children.data[i]), Piece::NoName,
                                 -1, Piece::NoName, Piece::NoName});
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
                const bool hidden = frame.hidden != Piece::NoName;
                const Context context = hidden ? Context::ScriptStyleNoscript
                    : frame.link >= 0          ? Context::LinkText
                                               : Context::VisibleText;
                facts_.pieces.push_back({begin, end, context, hidden ? -1 : frame.link,
                                         hidden ? frame.hidden : frame.parent, Piece::NoName});
            }
            break;
        case GUMBO_NODE_COMMENT:
            if (Locate(node->v.text.original_text, begin, end))
                facts_.pieces.push_back({begin, end, Context::Comment, -1, Piece::NoName, Piece::NoName});
            break;
        }
    }
}

void Collector::Element(const Frame &frame, std::vector<Frame> &stack)
{
    const GumboNode *node = frame.node;
    const GumboElement &element = node->v.element;
    const bool html = element.tag_namespace == GUMBO_NAMESPACE_HTML;
    const bool hidden = frame.hidden != Piece::NoName;
    const auto self = std::uint32_t(elements_.size());
    elements_.push_back(node);
    int link = frame.link;
    const GumboAttribute *href = nullptr;
    bool flagged = false;

    if (html && element.tag == GUMBO_TAG_A && !hidden) {
        href = gumbo_get_attribute(&element.attributes, "href");
        if (href) {
            const GumboAttribute *rel = gumbo_get_attribute(&element.attributes, "rel");
            const QString value = rel ? QString::fromUtf8(rel->value) : QString();
            link = facts_.AddLink(rel ? &value : nullptr);
            flagged = facts_.Flagged(link);
        }
    }
    if (html && element.tag == GUMBO_TAG_META)
        Meta(element);
    std::uint32_t concealer = frame.concealer;
    const GumboAttribute *hiddenAttribute = gumbo_get_attribute(&element.attributes, "hidden");
    const GumboAttribute *style = gumbo_get_attribute(&element.attributes, "style");
    if (hiddenAttribute || style) {
        const std::string_view hiddenValue = hiddenAttribute ? RawValue(*hiddenAttribute) : std::string_view();
        const std::string_view styleValue = style ? RawValue(*style) : std::string_view();
        concealer = facts_.Conceal(self, concealer, hiddenAttribute ? &hiddenValue : nullptr,
                                   style ? &styleValue : nullptr);
    }
    facts_.concealerOf.push_back(concealer);
    if (html && !hidden && (element.tag == GUMBO_TAG_BASE || element.tag == GUMBO_TAG_LINK)) {
        const GumboAttribute *address = gumbo_get_attribute(&element.attributes, "href");
        const GumboAttribute *rel = gumbo_get_attribute(&element.attributes, "rel");
        const GumboNode *parent = node->parent;
        std::size_t begin = 0;
        std::size_t end = 0;
        if (address && RawSpan(*address, begin, end)) {
            if (element.tag == GUMBO_TAG_BASE)
                facts_.AddBase({begin, end});
            else if (rel && parent && parent->type == GUMBO_NODE_ELEMENT
                     && parent->v.element.tag == GUMBO_TAG_HEAD)
                facts_.AddHeadLink(RawValue(*rel), {begin, end});
        }
    }

    for (unsigned i = 0; i < element.attributes.length; ++i) {
        const auto *attribute = static_cast<const GumboAttribute *>(element.attributes.data[i]);
        std::size_t begin = 0;
        std::size_t end = 0;
        if (!Locate(attribute->original_value, begin, end))
            continue;
        Context context = Context::Attribute;
        if (hidden)
            context = Context::ScriptStyleNoscript;
        else if (attribute == href)
            context = flagged ? Context::FlaggedLinkHref : Context::CleanLinkHref;
        facts_.pieces.push_back({begin, end, context, hidden ? -1 : link, hidden ? frame.hidden : self,
                                 std::uint32_t(attributes_.size())});
        attributes_.push_back(attribute);
    }

    if (html && element.tag == GUMBO_TAG_NOSCRIPT) {
        std::size_t begin = 0;
        std::size_t end = 0;
        if (Locate(element.original_tag, begin, end))
            facts_.AddNoscript(end, self);
    }

    std::uint32_t inside = frame.hidden;
    if (!hidden
        && (element.tag == GUMBO_TAG_SCRIPT || element.tag == GUMBO_TAG_STYLE
            || (html && element.tag == GUMBO_TAG_NOSCRIPT)))
        inside = self;
    const GumboVector &children = element.children;
    for (unsigned i = children.length; i-- > 0;)
        stack.push_back({static_cast<const GumboNode *>(children.data[i]), inside, link, self, concealer});
}

void Collector::Meta(const GumboElement &element)
{
    const GumboAttribute *name = gumbo_get_attribute(&element.attributes, "name");
    const GumboAttribute *content = gumbo_get_attribute(&element.attributes, "content");
    if (name && content)
        facts_.AddMeta(QString::fromUtf8(name->value), QString::fromUtf8(content->value));
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

// The rel words that keep a link from counting, as in "nofollow sponsored".
QString FlaggingWords(const QStringList &rel)
{
    QStringList words;
    for (const QString &token : rel)
        if (IsFlagging(token))
            words.append(token);
    return words.join(u' ');
}

void Finish(Analysis &result)
{
    if (result.context == Context::Comment)
        AddReason(result, Hollow::Comment);
    else if (result.context == Context::ScriptStyleNoscript)
        AddReason(result, Hollow::Script, result.element);
    else if (result.context == Context::FlaggedLinkHref)
        AddReason(result, Hollow::FlaggedLink, FlaggingWords(result.rel));
    if (result.noindex)
        AddReason(result, Hollow::Noindex);
    if (result.nofollow)
        AddReason(result, Hollow::Nofollow);
    if (!result.found)
        result.contextName.clear();
    else if (result.gaveUp)
        result.contextName = QStringLiteral("unknown");
    else
        result.contextName = ContextName(result.context);
}

// Link text longer than this is cut.
constexpr qsizetype LinkTextLength = 200;

bool InLink(Context context)
{
    return context == Context::CleanLinkHref || context == Context::FlaggedLinkHref
        || context == Context::LinkText;
}

// Where search engines would see a piece, if it were not hidden.
bool Visible(Context context)
{
    return context != Context::Comment && context != Context::ScriptStyleNoscript && context != Context::None;
}

QString Text(QByteArrayView bytes, std::size_t begin, std::size_t end)
{
    return QString::fromUtf8(bytes.constData() + begin, qsizetype(end - begin));
}

// An attribute's value without its quotes, character references decoded.
QString AttributeValue(QByteArrayView bytes, const Piece &piece)
{
    std::size_t begin = piece.begin;
    std::size_t end = piece.end;
    const char quote = bytes[qsizetype(begin)];
    if ((quote == '"' || quote == '\'') && end - begin >= 2 && bytes[qsizetype(end - 1)] == quote) {
        ++begin;
        --end;
    }
    return MarkupText::Decoded(Text(bytes, begin, end));
}

// The page's address, and the one its relative addresses are resolved against.
struct Addresses {
    QUrl page;
    QUrl base;
};

Addresses AddressesOf(const QString &pageUrl, const PageFacts &facts, QByteArrayView bytes)
{
    Addresses addresses{QUrl(pageUrl), QUrl(pageUrl)};
    if (facts.base) {
        const QUrl base = PageAddress::Resolve(
            addresses.page, MarkupText::Decoded(Text(bytes, facts.base->begin, facts.base->end)));
        if (base.isValid() && !base.isEmpty())
            addresses.base = base;
    }
    return addresses;
}

// The link's text (an image link's alt when it has none) and where it goes.
void NoteLink(const std::vector<Piece> &pieces, int link, QByteArrayView bytes, const PageFacts &facts,
              const QUrl &base, Analysis &result)
{
    QString text;
    QStringList alts;
    for (const Piece &piece : pieces) {
        if (piece.link != link)
            continue;
        if (piece.context == Context::LinkText) {
            text += Text(bytes, piece.begin, piece.end);
        } else if (piece.context == Context::CleanLinkHref || piece.context == Context::FlaggedLinkHref) {
            const QString href = AttributeValue(bytes, piece);
            result.linkHref = PageAddress::Written(PageAddress::Resolve(base, href), href);
        } else if (piece.context == Context::Attribute && piece.attribute != Piece::NoName
                   && facts.attributeName(piece.attribute) == u"alt" && facts.holderName(piece.holder) == u"img") {
            alts.append(AttributeValue(bytes, piece));
        }
    }
    result.linkText = MarkupText::Shown(MarkupText::Decoded(text), LinkTextLength);
    if (result.linkText.isEmpty())
        result.linkText = MarkupText::Shown(alts.join(u' '), LinkTextLength);
}

// The canonical address that the page's <link> (first) or its Link header names: the first of
// them that names another page, else the first there is.
void NoteCanonical(const Addresses &addresses, const QString *element, const Headers &headers, Analysis &result)
{
    QList<QUrl> named;
    if (element && !element->trimmed().isEmpty())
        named.append(PageAddress::Resolve(addresses.base, *element));
    for (const auto &[name, value] : headers) {
        if (name.compare("link", Qt::CaseInsensitive) != 0)
            continue;
        const QString target = PageAddress::CanonicalInLinkHeader(value);
        if (!target.isEmpty())
            named.append(PageAddress::Resolve(addresses.page, target));
    }
    named.removeIf([](const QUrl &url) { return !url.isValid() || url.isEmpty(); });
    if (named.isEmpty())
        return;
    const bool known = addresses.page.isValid() && !addresses.page.isRelative();
    const auto other = std::find_if(named.cbegin(), named.cend(), [&](const QUrl &url) {
        return known && !url.isRelative() && !PageAddress::SamePage(url, addresses.page);
    });
    result.canonical = PageAddress::Written(other != named.cend() ? *other : named.front(), {});
    if (other != named.cend())
        AddReason(result, Hollow::Canonical, result.canonical);
}

// A place of the term: where it starts in the text, in units, and the bytes it covers.
struct Occurrence {
    qsizetype unit; // -1 until asked for by UnitOf
    std::size_t begin;
    std::size_t end;
};

// The places of the term on a page, in ascending order, the first known beforehand.
class Occurrences
{
public:
    explicit Occurrences(const Occurrence &first) : first_(first) {}
    virtual ~Occurrences() = default;

    const Occurrence &First() const { return first_; }
    // The place after the last one given (after the first at the start).
    virtual std::optional<Occurrence> Next() = 0;
    virtual qsizetype UnitOf(const Occurrence &occurrence) const = 0;

private:
    Occurrence first_;
};

// Found in the decoded text, each place mapped to the bytes of its UTF-8 form.
class TextOccurrences : public Occurrences
{
public:
    TextOccurrences(QStringView text, QStringView term, qsizetype first, ByteOffsets offsets)
        : Occurrences({first, std::size_t(offsets.Start(first)), std::size_t(offsets.End(first, first + term.size()))}),
          text_(text), term_(term), at_(first), offsets_(offsets)
    {
    }

    std::optional<Occurrence> Next() override
    {
        at_ = FindFrom(text_, term_, at_ + 1);
        if (at_ < 0)
            return std::nullopt;
        return Occurrence{at_, std::size_t(offsets_.Start(at_)), std::size_t(offsets_.End(at_, at_ + term_.size()))};
    }
    qsizetype UnitOf(const Occurrence &occurrence) const override { return occurrence.unit; }

private:
    QStringView text_;
    QStringView term_;
    qsizetype at_;
    ByteOffsets offsets_;
};

// Found in the bytes of a UTF-8 text; the unit where a place starts is counted only for the
// place that is reported.
class ByteOccurrences : public Occurrences
{
public:
    ByteOccurrences(QByteArrayView bytes, Utf8Matches &matches, qsizetype first, qsizetype length)
        : Occurrences({-1, std::size_t(first), std::size_t(first + length)}),
          bytes_(bytes), matches_(matches), length_(length)
    {
    }

    std::optional<Occurrence> Next() override
    {
        const qsizetype at = matches_.next();
        if (at < 0)
            return std::nullopt;
        return Occurrence{-1, std::size_t(at), std::size_t(at + length_)};
    }
    qsizetype UnitOf(const Occurrence &occurrence) const override
    {
        return Utf16Length(bytes_.first(qsizetype(occurrence.begin)));
    }

private:
    QByteArrayView bytes_;
    Utf8Matches &matches_;
    qsizetype length_;
};

// Where each occurrence lies, by the facts of one reading of the page.
void PlaceOccurrences(Occurrences &occurrences, bool emptyTerm, QByteArrayView bytes, PageFacts &facts,
                      const Headers &headers, const QString &pageUrl, Analysis &result)
{
    const std::vector<Piece> pieces =
        facts.TakePieces(bytes.constData(), std::size_t(bytes.size()));
    result.robots = facts.robots + result.robots;
    result.robots.removeDuplicates();
    result.noindex = result.noindex || facts.meta.noindex;
    result.nofollow = result.nofollow || facts.meta.nofollow;

    // Of two occurrences in places alike, one that is not hidden is the stronger.
    const Piece *best = nullptr;
    bool bestHidden = false;
    Occurrence reported = occurrences.First();
    if (!emptyTerm) {
        result.occurrences = 0;
        Window window(pieces);
        for (std::optional<Occurrence> at = occurrences.First(); at; at = occurrences.Next()) {
            ++result.occurrences;
            const auto [context, piece] = window.Classify(at->begin, at->end);
            const bool hidden = piece && facts.ConcealerOf(*piece) != Piece::NoName;
            if (Stronger(context, result.context) || (context == result.context && bestHidden && !hidden)) {
                result.context = context;
                reported = *at;
                best = piece;
                bestHidden = hidden;
            }
        }
    }
    result.matchOffset = occurrences.UnitOf(reported);

    if (best) {
        if (best->holder != Piece::NoName)
            result.element = facts.holderName(best->holder);
        if (best->attribute != Piece::NoName)
            result.attribute = facts.attributeName(best->attribute);
        if (best->link >= 0 && InLink(best->context))
            result.rel = facts.links[std::size_t(best->link)];
        if (const std::uint32_t concealer = facts.ConcealerOf(*best);
            Visible(result.context) && concealer != Piece::NoName)
            AddReason(result, Hollow::Hidden, facts.Concealer(concealer));
    }
    const Addresses addresses = AddressesOf(pageUrl, facts, bytes);
    if (best && best->link >= 0 && InLink(best->context))
        NoteLink(pieces, best->link, bytes, facts, addresses.base, result);
    const QString canonical =
        facts.canonical ? MarkupText::Decoded(Text(bytes, facts.canonical->begin, facts.canonical->end)) : QString();
    NoteCanonical(addresses, facts.canonical ? &canonical : nullptr, headers, result);
}

// The fast reader is only asked within the default limits, and on pages of a size whose
// limits leave the parser twice what plain markup needs (they grow with the page; at 16 MiB
// 20 bytes of tree a byte and 4 MiB a second): its answer is then the one the parser would give.
constexpr qsizetype FastPassBytes = qsizetype(16) << 20;

// The analysis of a page whose term was found: its UTF-8 bytes read by the given reader.
std::optional<Analysis> Read(Pass pass, QByteArrayView bytes, bool emptyTerm, Occurrences &occurrences,
                             const Headers &headers, const Limits &limits, const QString &pageUrl,
                             Analysis result)
{
    result.found = true;
    result.occurrences = 1;
    if (emptyTerm)
        AddReason(result, Hollow::EmptyTerm);

    if (pass != Pass::Tree) {
        const bool defaults = limits.parseTime.count() <= 0 && limits.parseMemory <= 0;
        PageFacts facts;
        FastPass fast(bytes.constData(), std::size_t(bytes.size()));
        if (defaults && bytes.size() <= FastPassBytes && fast.Read(facts)) {
            PlaceOccurrences(occurrences, emptyTerm, bytes, facts, headers, pageUrl, result);
            Finish(result);
            return result;
        }
        if (pass == Pass::Fast)
            return std::nullopt;
    }

    const Limits effective = Effective(limits, std::size_t(bytes.size()));
    const GuardedParse parse(bytes.constData(), std::size_t(bytes.size()), effective.parseTime,
                             std::size_t(effective.parseMemory));
    if (!parse.output()) {
        result.gaveUp = true;
        result.matchOffset = occurrences.UnitOf(occurrences.First());
        if (!emptyTerm)
            while (occurrences.Next())
                ++result.occurrences;
        NoteCanonical({QUrl(pageUrl), QUrl(pageUrl)}, nullptr, headers, result);
        Finish(result);
        return result;
    }

    PageFacts facts;
    Collector collector(bytes.constData(), std::size_t(bytes.size()), facts);
    collector.Walk(parse.output()->document);
    PlaceOccurrences(occurrences, emptyTerm, bytes, facts, headers, pageUrl, result);
    Finish(result);
    return result;
}

// The analysis of a decoded text, read in its UTF-8 form: `utf8` when given, else encoded here.
std::optional<Analysis> ReadText(Pass pass, QStringView source, QByteArrayView given, QStringView term,
                                 const Headers &headers, const Limits &limits, const QString &pageUrl,
                                 Analysis result)
{
    const qsizetype first = FindIt::Find(source, term);
    if (first < 0)
        return result;
    const QByteArray encoded = given.isEmpty() ? ToUtf8(source) : QByteArray();
    const QByteArrayView utf8 = given.isEmpty() ? QByteArrayView(encoded) : given;
    TextOccurrences occurrences(source, term, first, ByteOffsets(source, utf8.size() == source.size()));
    return Read(pass, utf8, term.isEmpty(), occurrences, headers, limits, pageUrl, result);
}

} // namespace

std::optional<Analysis> AnalyseBy(Pass pass, QStringView source, QStringView term,
                                  const Headers &headers, const Limits &limits, const QString &pageUrl)
{
    Analysis result;
    AddHeaderDirectives(headers, result);
    if (source.isEmpty())
        return result;
    return ReadText(pass, source, {}, term, headers, limits, pageUrl, result);
}

std::optional<Analysis> AnalyseUtf8By(Pass pass, QByteArrayView page, QStringView term,
                                      const Headers &headers, const Limits &limits, const QString &pageUrl)
{
    Analysis result;
    AddHeaderDirectives(headers, result);
    // Decoding drops a byte order mark at the start.
    const QByteArrayView bytes = page.startsWith("\xEF\xBB\xBF") ? page.sliced(3) : page;
    if (bytes.isEmpty())
        return result;
    Utf8Matches matches(bytes, term);
    if (!matches.usable()) {
        const QString text = QString::fromUtf8(page);
        return ReadText(pass, text, bytes, term, headers, limits, pageUrl, result);
    }
    const qsizetype first = matches.next();
    if (first < 0)
        return result;
    ByteOccurrences occurrences(bytes, matches, first, term.size());
    return Read(pass, bytes, false, occurrences, headers, limits, pageUrl, result);
}

std::optional<Reading> ReadBy(Pass pass, const QByteArray &page)
{
    const auto size = std::size_t(page.size());
    PageFacts facts;
    FastPass fast(page.constData(), size);
    std::unique_ptr<GuardedParse> parse;
    std::optional<Collector> collector;
    if (pass == Pass::Tree) {
        const Limits limits = Effective({}, size);
        parse = std::make_unique<GuardedParse>(page.constData(), size, limits.parseTime,
                                               std::size_t(limits.parseMemory));
        if (!parse->output())
            return std::nullopt;
        collector.emplace(page.constData(), size, facts);
        collector->Walk(parse->output()->document);
    } else if (!fast.Read(facts)) {
        return std::nullopt;
    }
    Reading reading;
    for (const Piece &piece : facts.TakePieces(page.constData(), std::size_t(page.size())))
        reading.places.push_back(
            {piece.begin, piece.end, piece.context,
             piece.holder == Piece::NoName ? QString() : facts.holderName(piece.holder),
             piece.attribute == Piece::NoName ? QString() : facts.attributeName(piece.attribute),
             piece.link >= 0 ? facts.links[std::size_t(piece.link)] : QStringList(),
             facts.ConcealerOf(piece) == Piece::NoName ? QString() : facts.Concealer(facts.ConcealerOf(piece))});
    reading.robots = facts.robots;
    reading.base = facts.base;
    reading.canonical = facts.canonical;
    reading.noindex = facts.meta.noindex;
    reading.nofollow = facts.meta.nofollow;
    return reading;
}

Analysis Analyse(QStringView source, QStringView term, const Headers &headers,
                 const Limits &limits, const QString &pageUrl)
{
    return *AnalyseBy(Pass::Either, source, term, headers, limits, pageUrl);
}

Analysis AnalyseUtf8(QByteArrayView page, QStringView term, const Headers &headers, const Limits &limits,
                     const QString &pageUrl)
{
    return *AnalyseUtf8By(Pass::Either, page, term, headers, limits, pageUrl);
}

void NoteStatus(Analysis &analysis, long status)
{
    if (status < 400)
        return;
    analysis.errorStatus = status;
    AddReason(analysis, Hollow::ErrorStatus, QString::number(status));
}

void AddReason(Analysis &analysis, Hollow why, const QString &detail)
{
    if (!analysis.found)
        return;
    AddHollow(analysis.reasons, why, detail);
    analysis.hollow = true;
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
    for (const HollowReason &reason : analysis.reasons) {
        if (reason.why == Hollow::RobotsTxt)
            lines << QStringLiteral("robots.txt: %1").arg(reason.detail);
        else if (reason.why == Hollow::Canonical)
            lines << QStringLiteral("The page names another address as the one to index: %1").arg(reason.detail);
        else if (reason.why == Hollow::Hidden)
            lines << (InLink(analysis.context) ? QStringLiteral("The link is hidden: %1")
                                               : QStringLiteral("The match is hidden: %1"))
                         .arg(reason.detail);
        else if (reason.why == Hollow::CrawlerView)
            lines << QStringLiteral("A search engine's crawler is shown another page: the %1.").arg(reason.detail);
        else if (reason.why == Hollow::ScriptRemoved)
            lines << QStringLiteral("The page's scripts remove or hide it once the page runs.");
        else if (reason.why == Hollow::ScriptDrawn)
            lines << QStringLiteral("Found only after the page's scripts ran; some search engines and all older "
                                    "crawlers do not see it.");
        else if (reason.why == Hollow::EmptyTerm)
            lines << QStringLiteral("There is no search term, so every page matches.");
    }
    if (!analysis.linkText.isEmpty())
        lines << QStringLiteral("Link text: \u201c%1\u201d").arg(analysis.linkText);
    if (!analysis.linkHref.isEmpty())
        lines << QStringLiteral("Link goes to: %1").arg(analysis.linkHref);
    if (analysis.hollow)
        lines << QStringLiteral("Search engines will not count this match.");
    return lines.join(u'\n');
}

} // namespace PageAnalysis
