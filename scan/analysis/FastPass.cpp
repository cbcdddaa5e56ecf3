#include "FastPass.h"

#include "Robots.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>

namespace PageAnalysis {

namespace {

enum Kind : std::uint8_t {
    Unmodelled, // a tag the tree builder has rules for that are not modelled here
    Ordinary,   // opened where it stands
    Block,      // closes an open <p>
    Heading,
    ListItem,
    DefinitionItem,
    Formatting, // on the list of active formatting elements
    Anchor,
    Void,
    Rule,     // <hr>: closes an open <p>, has no content
    HeadVoid, // <meta>, <link>, <base>: allowed in the head
    Script,
    Style,
    Title,
    Noscript,
    Html,
    Head,
    Body,
    Paragraph,
    List,
    DefinitionList,
    Division, // <div>, <address>: passed over when a list item looks for an open one
    Button,
    Form,
    Select,
    Option,       // <option>, <optgroup>: closed by the tree builder as the other two are
    OptionGroup,
    Textarea,
    Preformatted, // <pre>, <listing>: a newline right after the start tag is dropped
    RawElement,   // <iframe>: text up to its end tag
    Scoped,       // <object>, <applet>, <marquee>: a boundary of the scopes end tags look in
    Table,
    TableSection, // <tbody>, <thead>, <tfoot>
    TableRow,
    TableCell,    // <td>, <th>
    Caption,
    ColumnGroup,
    Column,
    ForeignRoot,  // <svg>, <math>
    Foreign,      // an element inside them
    ForeignHiding, // their <script> and <style>, whose text the analysis hides all the same
    IntegrationPoint, // where the tree builder reads tags by HTML's rules again: not modelled
};

// Deeper pages are left to the parser, which walks the whole stack for many tags.
constexpr std::size_t MaxDepth = 256;
constexpr std::size_t MaxNameLength = 16;

// What a byte is to the tokenizer, looked up for every byte of tags.
enum : std::uint8_t {
    Blank = 1,     // space, tab, line feed, form feed, carriage return
    EndsName = 2,  // a blank, '/' or '>': the end of a tag's name
    NotPlain = 4,  // a control character other than a blank, DEL, or a byte of a non-ASCII one
};

constexpr std::array<std::uint8_t, 256> ByteClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (int b = 0; b < 256; ++b) {
        const bool blank = b == ' ' || b == '\n' || b == '\t' || b == '\f' || b == '\r';
        classes[std::size_t(b)] = std::uint8_t((blank ? Blank | EndsName : 0) | (b == '/' || b == '>' ? EndsName : 0)
                                               | (!blank && (b < 0x20 || b >= 0x7f) ? NotPlain : 0));
    }
    return classes;
}();

std::uint8_t ClassOf(char c)
{
    return ByteClasses[static_cast<unsigned char>(c)];
}

bool IsSpace(char c)
{
    return ClassOf(c) & Blank;
}

bool IsAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

bool SameLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

// Characters the parser reads as they are written. It reads CR as LF, and control characters,
// noncharacters and character references as something else; names and the values that are
// read for their meaning are left to it when they hold any.
bool PrintableAscii(const char *begin, const char *end)
{
    for (const char *c = begin; c != end; ++c)
        if (*c < 0x20 ? *c != ' ' && *c != '\t' && *c != '\n' && *c != '\f' : *c >= 0x7f || *c == '&')
            return false;
    return true;
}

bool ClosesP(std::uint8_t kind)
{
    return kind == Block || kind == Paragraph || kind == List || kind == DefinitionList
        || kind == Division || kind == Heading || kind == Rule || kind == ListItem
        || kind == DefinitionItem || kind == Form || kind == Preformatted;
}

// Elements that the tree builder closes by itself when an end tag closes their parent.
bool ImpliedEnd(std::uint8_t kind)
{
    return kind == Paragraph || kind == ListItem || kind == DefinitionItem || kind == Option
        || kind == OptionGroup;
}

// Elements that stop the search of an end tag for an open element of its name: past one of
// them the end tag is dropped.
bool Special(std::uint8_t kind)
{
    return kind != Ordinary && kind != Formatting && kind != Anchor && kind != Option
        && kind != OptionGroup;
}

bool IsForeign(std::uint8_t kind)
{
    return kind == Foreign || kind == ForeignHiding || kind == IntegrationPoint;
}

// Tags that end foreign content, which the tree builder then reopens as HTML.
bool BreaksOut(std::string_view lower)
{
    static constexpr std::string_view Names[] = {
        "b", "big", "blockquote", "body", "br", "center", "code", "dd", "div", "dl", "dt", "em",
        "embed", "h1", "h2", "h3", "h4", "h5", "h6", "head", "hr", "i", "img", "li", "listing",
        "menu", "meta", "nobr", "ol", "p", "pre", "ruby", "s", "small", "span", "strong",
        "strike", "sub", "sup", "table", "tt", "u", "ul", "var", "font"};
    return std::find(std::begin(Names), std::end(Names), lower) != std::end(Names);
}

// The parser writes these SVG and MathML attribute names in mixed case.
QString AdjustedAttribute(const QString &lower, bool math)
{
    if (math)
        return lower == u"definitionurl" ? QStringLiteral("definitionURL") : lower;
    static const QStringList Names = QStringLiteral(
        "attributeName attributeType baseFrequency baseProfile calcMode clipPathUnits "
        "diffuseConstant edgeMode filterUnits glyphRef gradientTransform gradientUnits "
        "kernelMatrix kernelUnitLength keyPoints keySplines keyTimes lengthAdjust "
        "limitingConeAngle markerHeight markerUnits markerWidth maskContentUnits maskUnits "
        "numOctaves pathLength patternContentUnits patternTransform patternUnits pointsAtX "
        "pointsAtY pointsAtZ preserveAlpha preserveAspectRatio primitiveUnits refX refY "
        "repeatCount repeatDur requiredExtensions requiredFeatures specularConstant "
        "specularExponent spreadMethod startOffset stdDeviation stitchTiles surfaceScale "
        "systemLanguage tableValues targetX targetY textLength viewBox viewTarget "
        "xChannelSelector yChannelSelector zoomAndPan").split(u' ');
    for (const QString &name : Names)
        if (name.compare(lower, Qt::CaseInsensitive) == 0)
            return name;
    return lower;
}

bool TablePart(std::uint8_t kind)
{
    return kind == TableSection || kind == TableRow || kind == TableCell || kind == Caption
        || kind == ColumnGroup || kind == Column;
}

// The tags with rules of their own, in a small open-addressed table: looked up for every tag.
class KindTable
{
public:
    KindTable()
    {
        add({"article", "aside", "blockquote", "center", "details", "fieldset", "figcaption",
             "figure", "footer", "header", "hgroup", "main", "nav", "section", "summary"},
            Block);
        add({"div", "address"}, Division);
        add({"ul", "ol"}, List);
        add({"dl"}, DefinitionList);
        add({"p"}, Paragraph);
        add({"h1", "h2", "h3", "h4", "h5", "h6"}, Heading);
        add({"li"}, ListItem);
        add({"dd", "dt"}, DefinitionItem);
        add({"b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong", "tt",
             "u"},
            Formatting);
        add({"a"}, Anchor);
        add({"area", "br", "embed", "img", "wbr", "input", "param", "source", "track"}, Void);
        add({"hr"}, Rule);
        add({"meta", "link", "base"}, HeadVoid);
        add({"span", "abbr", "cite", "dfn", "kbd", "mark", "q", "samp", "sub", "sup", "time",
             "var", "bdi", "bdo", "data", "ins", "del", "label", "video", "audio", "canvas",
             "meter", "progress", "legend", "acronym", "map", "datalist", "output", "ruby"},
            Ordinary);
        add({"button"}, Button);
        add({"form"}, Form);
        add({"select"}, Select);
        add({"option"}, Option);
        add({"optgroup"}, OptionGroup);
        add({"textarea"}, Textarea);
        add({"pre", "listing"}, Preformatted);
        add({"iframe"}, RawElement);
        add({"object", "applet", "marquee"}, Scoped);
        add({"table"}, Table);
        add({"tbody", "thead", "tfoot"}, TableSection);
        add({"tr"}, TableRow);
        add({"td", "th"}, TableCell);
        add({"caption"}, Caption);
        add({"colgroup"}, ColumnGroup);
        add({"col"}, Column);
        add({"svg", "math"}, ForeignRoot);
        add({"script"}, Script);
        add({"style"}, Style);
        add({"title"}, Title);
        add({"noscript"}, Noscript);
        add({"html"}, Html);
        add({"head"}, Head);
        add({"body"}, Body);
        add({"image", "isindex", "menu", "dir", "menuitem"}, Unmodelled);
    }

    std::uint8_t Find(std::string_view lowerName) const
    {
        for (std::size_t slot = Hash(lowerName);; slot = (slot + 1) % Slots) {
            if (slots_[slot].name.empty())
                break;
            if (slots_[slot].name == lowerName)
                return slots_[slot].kind;
        }
        // What the parser does not know it opens where it stands; what it knows and is not
        // in the table has rules of its own.
        return gumbo_tagn_enum(lowerName.data(), unsigned(lowerName.size())) == GUMBO_TAG_UNKNOWN
            ? Ordinary
            : Unmodelled;
    }

private:
    static constexpr std::size_t Slots = 256;

    struct Slot {
        std::string_view name;
        std::uint8_t kind;
    };

    static std::size_t Hash(std::string_view name)
    {
        return (name.size() * 7 + std::size_t(name.front()) * 31 + std::size_t(name.back()) * 17)
            % Slots;
    }

    void add(std::initializer_list<const char *> names, Kind kind)
    {
        for (const char *name : names) {
            std::size_t slot = Hash(name);
            while (!slots_[slot].name.empty())
                slot = (slot + 1) % Slots;
            slots_[slot] = {name, kind};
        }
    }

    std::array<Slot, Slots> slots_{};
};

bool UnknownTag(std::string_view name)
{
    if (name.size() > MaxNameLength)
        return true;
    char lower[MaxNameLength];
    for (std::size_t i = 0; i < name.size(); ++i)
        lower[i] = Lower(name[i]);
    return gumbo_tagn_enum(lower, unsigned(name.size())) == GUMBO_TAG_UNKNOWN;
}

std::uint8_t KindOf(std::string_view lowerName)
{
    static const KindTable table;
    return table.Find(lowerName);
}

} // namespace

FastPass::FastPass(const char *data, std::size_t size) : data_(data), size_(size) {}

bool FastPass::Read(PageFacts &facts)
{
    facts_ = &facts;
    facts.holderName = [this](std::uint32_t holder) { return Name(names_[holder]); };
    facts.attributeName = [this](std::uint32_t attribute) {
        const auto foreign = std::lower_bound(foreignAttributes_.cbegin(), foreignAttributes_.cend(),
                                              std::make_pair(attribute, false));
        const QString name = Name(attributeNames_[attribute]);
        return foreign != foreignAttributes_.cend() && foreign->first == attribute
            ? AdjustedAttribute(name, foreign->second)
            : name;
    };
    if (std::memchr(data_, 0, size_)) {
        nul_ = true;
        return false;
    }
    // Real pages hold a piece for every 23 bytes, an element for every 50 and an attribute for
    // every 57, some twice as many; what is reserved and not used is never touched.
    facts.pieces.reserve(size_ / 12);
    names_.reserve(size_ / 24);
    attributeNames_.reserve(size_ / 28);
    while (pos_ < size_) {
        const void *open = std::memchr(data_ + pos_, '<', size_ - pos_);
        const std::size_t text = open ? std::size_t(static_cast<const char *>(open) - data_) : size_;
        if (text > pos_) {
            token_ = pos_;
            if (!Text(pos_, text))
                return false;
        }
        pos_ = text;
        if (pos_ < size_ && !Markup())
            return false;
    }
    // The end of the page implies the elements not yet opened, and ends the last text.
    token_ = size_;
    Flush(size_);
    facts.ordered = std::adjacent_find(facts.pieces.cbegin(), facts.pieces.cend(),
                                       [](const Piece &a, const Piece &b) {
                                           return a.begin >= b.begin;
                                       })
        == facts.pieces.cend();
    return true;
}

std::string FastPass::Declined() const
{
    if (nul_)
        return "NUL";
    if (token_ >= size_ || data_[token_] != '<')
        return "text";
    std::size_t at = token_ + 1;
    std::string construct = "<";
    if (at < size_ && data_[at] == '/')
        construct += data_[at++];
    if (at < size_ && (data_[at] == '!' || data_[at] == '?'))
        return construct + data_[at];
    while (at < size_ && (IsAlpha(data_[at]) || (data_[at] >= '0' && data_[at] <= '9'))
           && construct.size() < MaxNameLength)
        construct += Lower(data_[at++]);
    return construct + ">";
}

QString FastPass::Name(std::string_view name) const
{
    QByteArray lower(name.data(), qsizetype(name.size()));
    for (char &c : lower)
        c = Lower(c);
    return QString::fromUtf8(lower);
}

void FastPass::Begin(std::size_t at)
{
    if (pending_)
        return;
    pending_ = true;
    // The parser reads CR LF as one LF, which starts at the LF.
    textBegin_ = data_[at] == '\r' && at + 1 < size_ && data_[at + 1] == '\n' ? at + 1 : at;
}

// The parser gathers text until the next node is inserted or an element is closed; the text
// node then reaches up to the token that did it, whatever tokens it ignored in between.
void FastPass::Flush(std::size_t at)
{
    if (!pending_)
        return;
    pending_ = false;
    const Open &parent = stack_.back();
    const bool hidden = parent.hidden != Piece::NoName;
    const Context context = hidden ? Context::ScriptStyleNoscript
        : parent.link >= 0         ? Context::LinkText
                                   : Context::VisibleText;
    facts_->pieces.push_back({textBegin_, at, context, hidden ? -1 : parent.link,
                              hidden ? parent.hidden : parent.holder, Piece::NoName});
}

void FastPass::Pop()
{
    Flush(token_);
    stack_.pop_back();
}

bool FastPass::OnStack(std::uint8_t kind) const
{
    for (const Open &open : stack_)
        if (open.kind == kind)
            return true;
    return false;
}

bool FastPass::SameName(const Open &open, std::size_t nameBegin, std::size_t nameEnd) const
{
    return SameLetters(names_[open.holder], std::string_view(data_ + nameBegin, nameEnd - nameBegin));
}

bool FastPass::Printable(std::size_t begin, std::size_t end) const
{
    return PrintableAscii(data_ + begin, data_ + end);
}

const FastPass::Attribute *FastPass::Find(std::string_view name) const
{
    for (const Attribute &attribute : attributes_)
        if (SameLetters(std::string_view(data_ + attribute.name, attribute.nameEnd - attribute.name),
                        name))
            return &attribute;
    return nullptr;
}

std::string_view FastPass::Raw(const Attribute &attribute) const
{
    return {data_ + attribute.raw, attribute.rawEnd - attribute.raw};
}

QString FastPass::Value(const Attribute &attribute) const
{
    return QString::fromUtf8(data_ + attribute.raw, qsizetype(attribute.rawEnd - attribute.raw));
}

void FastPass::InsertImplied(std::uint8_t kind, std::string_view name)
{
    (void)Insert(kind, name, false);
}

bool FastPass::Insert(std::uint8_t kind, std::string_view name, bool attributes)
{
    Flush(token_);
    const auto self = std::uint32_t(names_.size());
    names_.push_back(name);
    const std::uint32_t hidden = stack_.empty() ? Piece::NoName : stack_.back().hidden;
    int link = stack_.empty() ? -1 : stack_.back().link;
    const bool math = (kind == ForeignRoot || IsForeign(kind)) && math_;
    std::uint32_t concealer = stack_.empty() ? Piece::NoName : stack_.back().concealer;
    if (attributes) {
        const bool isHidden = hidden != Piece::NoName;
        const Attribute *href = nullptr;
        bool flagged = false;
        if (kind == Anchor && !isHidden) {
            href = Find("href");
            if (href) {
                const Attribute *rel = Find("rel");
                if (rel && !Printable(rel->raw, rel->rawEnd))
                    return false;
                const QString value = rel ? Value(*rel) : QString();
                link = facts_->AddLink(rel ? &value : nullptr);
                flagged = facts_->Flagged(link);
            }
        }
        if (kind == HeadVoid && SameLetters(name, "meta")) {
            const Attribute *metaName = Find("name");
            const Attribute *content = Find("content");
            if (metaName && content && !Printable(metaName->raw, metaName->rawEnd))
                return false;
            if (metaName && content && !Printable(content->raw, content->rawEnd)
                && Robots::IsRobotsMetaName(Value(*metaName).trimmed().toLower()))
                return false;
            if (metaName && content)
                facts_->AddMeta(Value(*metaName), Value(*content));
        }
        const Attribute *hiddenAttribute = nullptr;
        const Attribute *style = nullptr;
        for (const Attribute &attribute : attributes_) {
            const std::string_view attributeName(data_ + attribute.name, attribute.nameEnd - attribute.name);
            if (attributeName.size() == 5 && SameLetters(attributeName, "style"))
                style = &attribute;
            else if (attributeName.size() == 6 && SameLetters(attributeName, "hidden"))
                hiddenAttribute = &attribute;
        }
        if (hiddenAttribute || style) {
            const std::string_view hiddenValue = hiddenAttribute ? Raw(*hiddenAttribute) : std::string_view();
            const std::string_view styleValue = style ? Raw(*style) : std::string_view();
            concealer = facts_->Conceal(self, concealer, hiddenAttribute ? &hiddenValue : nullptr,
                                        style ? &styleValue : nullptr);
        }
        if (kind == HeadVoid && !isHidden) {
            const Attribute *address = Find("href");
            const Attribute *rel = Find("rel");
            if (address && address->value == address->name)
                address = nullptr;
            if (address && SameLetters(name, "base"))
                facts_->AddBase({address->raw, address->rawEnd});
            else if (address && rel && stack_.back().kind == Head && SameLetters(name, "link"))
                facts_->AddHeadLink(Raw(*rel), {address->raw, address->rawEnd});
        }
        for (const Attribute &attribute : attributes_) {
            Context context = Context::Attribute;
            if (isHidden)
                context = Context::ScriptStyleNoscript;
            else if (&attribute == href)
                context = flagged ? Context::FlaggedLinkHref : Context::CleanLinkHref;
            facts_->pieces.push_back({attribute.value, attribute.valueEnd, context, isHidden ? -1 : link,
                                      isHidden ? hidden : self, std::uint32_t(attributeNames_.size())});
            if (kind == ForeignRoot || IsForeign(kind))
                foreignAttributes_.emplace_back(std::uint32_t(attributeNames_.size()), math);
            attributeNames_.emplace_back(data_ + attribute.name, attribute.nameEnd - attribute.name);
        }
    }
    facts_->concealerOf.push_back(concealer);
    if (kind == Noscript)
        facts_->AddNoscript(tagEnd_, self);
    const bool hides = kind == Script || kind == Style || kind == Noscript || kind == ForeignHiding;
    stack_.push_back({kind == ForeignRoot ? std::uint8_t(Foreign) : kind, self,
                      hidden == Piece::NoName && hides ? self : hidden, link, math, concealer});
    return true;
}

bool FastPass::Text(std::size_t begin, std::size_t end)
{
    if (!reopen_.empty())
        return false;
    switch (mode_) {
    case Mode::InBody:
    case Mode::InCaption:
    case Mode::InCell:
    case Mode::InSelect:
        Begin(begin);
        return true;
    case Mode::InTable:
    case Mode::InTableBody:
    case Mode::InRow:
    case Mode::InColumnGroup:
        // Blanks stay where they are; other text is moved out of the table.
        for (std::size_t at = begin; at < end; ++at)
            if (!IsSpace(data_[at]))
                return false;
        Begin(begin);
        return true;
    case Mode::InHeadNoscript: {
        // Blanks stay in the <noscript>; other text ends it.
        std::size_t at = begin;
        while (at < end && IsSpace(data_[at]))
            ++at;
        if (at > begin)
            Begin(begin);
        if (at == end)
            return true;
        token_ = at;
        Pop();
        mode_ = Mode::InHead;
        return Text(at, end);
    }
    default:
        break;
    }
    // Before the body, blanks are dropped or kept apart from the rest, and a character
    // reference could stand for one.
    if (std::memchr(data_ + begin, '&', end - begin))
        return false;
    std::size_t at = begin;
    while (at < end && IsSpace(data_[at]))
        ++at;
    if (at > begin && (mode_ == Mode::InHead || mode_ == Mode::AfterHead))
        Begin(begin);
    if (at == end)
        return true;
    token_ = at;
    CloseHead();
    InsertImplied(Body, "body");
    mode_ = Mode::InBody;
    Begin(at);
    return true;
}

// Implies the sections that the current mode has not opened yet, up to the end of the head.
void FastPass::CloseHead()
{
    switch (mode_) {
    case Mode::Initial:
    case Mode::BeforeHtml:
        InsertImplied(Html, "html");
        [[fallthrough]];
    case Mode::BeforeHead:
        InsertImplied(Head, "head");
        [[fallthrough]];
    case Mode::InHead:
        Pop();
        mode_ = Mode::AfterHead;
        break;
    default:
        break;
    }
}

bool FastPass::Markup()
{
    const std::size_t at = pos_;
    token_ = at;
    if (at + 1 >= size_) {
        pos_ = at + 1;
        return Text(at, at + 1);
    }
    const char c = data_[at + 1];
    if (IsAlpha(c) || (c == '/' && at + 2 < size_ && IsAlpha(data_[at + 2]))) {
        const bool end = c == '/';
        const std::size_t nameBegin = at + (end ? 2 : 1);
        std::size_t nameEnd = nameBegin;
        char lower[MaxNameLength];
        for (std::uint8_t cls; nameEnd < size_ && !((cls = ClassOf(data_[nameEnd])) & EndsName);) {
            if (cls & NotPlain)
                return false;
            if (nameEnd - nameBegin < MaxNameLength)
                lower[nameEnd - nameBegin] = Lower(data_[nameEnd]);
            ++nameEnd;
        }
        // A name that runs into CR is cut there by the tokenizer and not by the tree's naming.
        if (nameEnd >= size_ || data_[nameEnd] == '\r')
            return false;
        const std::size_t length = nameEnd - nameBegin;
        const std::uint8_t kind =
            length <= MaxNameLength ? KindOf(std::string_view(lower, length)) : std::uint8_t(Ordinary);
        const bool foreign = !stack_.empty() && IsForeign(stack_.back().kind);
        if ((kind == Unmodelled && !foreign) || !TagRest(nameEnd))
            return false;
        if (foreign)
            return end ? ForeignEnd(nameBegin, nameEnd) : ForeignStart(nameBegin, nameEnd, length);
        return end ? EndTag(nameBegin, nameEnd, kind) : StartTag(nameBegin, nameEnd, kind);
    }
    if (c == '!' && at + 3 < size_ && data_[at + 2] == '-' && data_[at + 3] == '-')
        return Comment(at);
    if (c == '!' && size_ - at >= 9 && SameLetters(std::string_view(data_ + at + 2, 7), "doctype")) {
        if (mode_ != Mode::Initial)
            return false;
        const void *close = std::memchr(data_ + at, '>', size_ - at);
        if (!close)
            return false;
        pos_ = std::size_t(static_cast<const char *>(close) - data_) + 1;
        mode_ = Mode::BeforeHtml;
        // <!DOCTYPE html> alone puts the parser in no-quirks mode; others are not told apart.
        std::size_t name = at + 9;
        while (name < pos_ && IsSpace(data_[name]))
            ++name;
        std::size_t end = pos_ - 1;
        while (end > name && IsSpace(data_[end - 1]))
            --end;
        doctype_ = SameLetters(std::string_view(data_ + name, end - name), "html") && name > at + 9
            ? Doctype::Standards
            : Doctype::Other;
        return true;
    }
    if (c == '!' || c == '?' || c == '/') {
        // A bogus comment, up to the next '>'.
        if (c == '/' && (at + 2 >= size_ || data_[at + 2] == '>'))
            return false;
        if (c == '!' && size_ - at >= 3 && data_[at + 2] == '[')
            return false;
        const void *close = std::memchr(data_ + at, '>', size_ - at);
        if (!close)
            return false;
        pos_ = std::size_t(static_cast<const char *>(close) - data_) + 1;
        Flush(at);
        facts_->pieces.push_back({at, pos_, Context::Comment, -1, Piece::NoName, Piece::NoName});
        return true;
    }
    pos_ = at + 1;
    return Text(at, at + 1);
}

bool FastPass::Comment(std::size_t at)
{
    enum State { Start, StartDash, Body, EndDash, End, Bang } state = Start;
    std::size_t i = at + 4;
    for (; i < size_; ++i) {
        const char c = data_[i];
        switch (state) {
        case Body: {
            const void *dash = std::memchr(data_ + i, '-', size_ - i);
            if (!dash)
                return false;
            i = std::size_t(static_cast<const char *>(dash) - data_);
            state = EndDash;
            continue;
        }
        case Start:
        case StartDash:
            if (c == '>')
                break;
            state = c != '-' ? Body : state == Start ? StartDash : End;
            continue;
        case EndDash:
            state = c == '-' ? End : Body;
            continue;
        case End:
            if (c == '>')
                break;
            state = c == '!' ? Bang : c == '-' ? End : Body;
            continue;
        case Bang:
            if (c == '>')
                break;
            state = c == '-' ? EndDash : Body;
            continue;
        }
        break;
    }
    if (i >= size_)
        return false;
    pos_ = i + 1;
    Flush(at);
    facts_->pieces.push_back({at, pos_, Context::Comment, -1, Piece::NoName, Piece::NoName});
    return true;
}

// The attributes of the tag whose name ends at from, up to the tag's end; what the tokenizer
// would read with a character reference unquoted, or with the page ending in the tag, is not
// modelled.
bool FastPass::TagRest(std::size_t from)
{
    attributes_.clear();
    selfClosing_ = false;
    std::size_t i = from;
    for (;;) {
        while (i < size_ && IsSpace(data_[i]))
            ++i;
        if (i >= size_)
            return false;
        if (data_[i] == '>')
            break;
        if (data_[i] == '/') {
            ++i;
            selfClosing_ = i < size_ && data_[i] == '>';
            continue;
        }
        Attribute attribute{};
        attribute.name = i++;
        while (i < size_ && !(ClassOf(data_[i]) & EndsName) && data_[i] != '=')
            ++i;
        attribute.nameEnd = i;
        if (!Printable(attribute.name, attribute.nameEnd))
            return false;
        while (i < size_ && IsSpace(data_[i]))
            ++i;
        if (i >= size_)
            return false;
        if (data_[i] == '=') {
            ++i;
            while (i < size_ && IsSpace(data_[i]))
                ++i;
            if (i >= size_ || data_[i] == '>' || data_[i] == '&')
                return false;
            attribute.value = i;
            if (data_[i] == '"' || data_[i] == '\'') {
                const void *close = std::memchr(data_ + i + 1, data_[i], size_ - i - 1);
                if (!close)
                    return false;
                attribute.raw = i + 1;
                attribute.rawEnd = std::size_t(static_cast<const char *>(close) - data_);
                i = attribute.rawEnd + 1;
            } else {
                while (i < size_ && !IsSpace(data_[i]) && data_[i] != '>') {
                    if (data_[i] == '&')
                        return false;
                    ++i;
                }
                if (i >= size_)
                    return false;
                attribute.raw = attribute.value;
                attribute.rawEnd = i;
            }
            attribute.valueEnd = i;
        } else {
            attribute.value = attribute.name;
            attribute.valueEnd = attribute.nameEnd;
            attribute.raw = attribute.rawEnd = attribute.nameEnd;
        }
        // The parser drops a repeated attribute; one without a value leaves its name to stick
        // to the next one's.
        if (Find(std::string_view(data_ + attribute.name, attribute.nameEnd - attribute.name))) {
            if (attribute.value == attribute.name)
                return false;
            continue;
        }
        attributes_.push_back(attribute);
    }
    tagEnd_ = i + 1;
    pos_ = tagEnd_;
    return true;
}

bool FastPass::CloseP()
{
    if (stack_.back().kind == Paragraph) {
        Pop();
        return true;
    }
    return !OnStack(Paragraph);
}

// A new <li> (or <dd>, <dt>) closes the one open in the same list.
bool FastPass::CloseItem(std::uint8_t item)
{
    for (std::size_t i = stack_.size(); i-- > 0;) {
        const std::uint8_t kind = stack_[i].kind;
        if (kind == item) {
            for (std::size_t above = i + 1; above < stack_.size(); ++above)
                if (stack_[above].kind != Paragraph)
                    return false;
            while (stack_.size() > i)
                Pop();
            return true;
        }
        if (kind == Paragraph || kind == Division)
            continue;
        // The search stops at any other element of special rules, with none closed. The
        // parser's list of them lacks <main>, past which it would look on.
        if (!Special(kind))
            return false;
        return kind != Block || !SameLetters(names_[stack_[i].holder], "main");
    }
    return false;
}

// The html, head or body element opened by its own tag, which starts the next mode.
bool FastPass::OpenSection(std::uint8_t kind, std::string_view name, Mode next)
{
    mode_ = next;
    return Insert(kind, name, true);
}

bool FastPass::StartTag(std::size_t nameBegin, std::size_t nameEnd, std::uint8_t kind)
{
    if (!reopen_.empty())
        return false;
    const std::string_view name(data_ + nameBegin, nameEnd - nameBegin);
    for (;;) {
        switch (mode_) {
        case Mode::Initial:
            mode_ = Mode::BeforeHtml;
            continue;
        case Mode::BeforeHtml:
            if (kind == Html)
                return OpenSection(Html, name, Mode::BeforeHead);
            InsertImplied(Html, "html");
            mode_ = Mode::BeforeHead;
            continue;
        case Mode::BeforeHead:
            if (kind == Html)
                return false;
            if (kind == Head)
                return OpenSection(Head, name, Mode::InHead);
            InsertImplied(Head, "head");
            mode_ = Mode::InHead;
            continue;
        case Mode::InHead:
            if (kind == Html || kind == Head)
                return false;
            if (kind == Noscript) {
                mode_ = Mode::InHeadNoscript;
                return Insert(kind, name, true);
            }
            if (kind == HeadVoid) {
                if (!Insert(kind, name, true))
                    return false;
                Pop();
                return true;
            }
            if (kind == Script || kind == Style || kind == Title) {
                if (!Insert(kind, name, true))
                    return false;
                return RawText(nameBegin, nameEnd, kind == Script);
            }
            Pop();
            mode_ = Mode::AfterHead;
            continue;
        case Mode::InHeadNoscript:
            // The parser reads as a browser without scripts: links, metas and styles stay in
            // the <noscript>, anything else ends it.
            if (kind == Html || kind == Head || kind == Noscript)
                return false;
            if (kind == HeadVoid && !SameLetters(name, "base")) {
                if (!Insert(kind, name, true))
                    return false;
                Pop();
                return true;
            }
            if (kind == Style) {
                if (!Insert(kind, name, true))
                    return false;
                return RawText(nameBegin, nameEnd, false);
            }
            Pop();
            mode_ = Mode::InHead;
            continue;
        case Mode::AfterHead:
            if (kind == Html || kind == Head || kind == HeadVoid || kind == Script
                || kind == Style || kind == Title || kind == Noscript)
                return false;
            if (kind == Body)
                return OpenSection(Body, name, Mode::InBody);
            InsertImplied(Body, "body");
            mode_ = Mode::InBody;
            continue;
        case Mode::InBody:
            return InBodyStart(nameBegin, nameEnd, kind);
        case Mode::InCaption:
            if (TablePart(kind) || kind == Table)
                return false;
            return InBodyStart(nameBegin, nameEnd, kind);
        case Mode::InCell:
            if (TablePart(kind)) {
                if (!CloseCell())
                    return false;
                continue;
            }
            return InBodyStart(nameBegin, nameEnd, kind);
        case Mode::InTable:
            return InTableStart(nameBegin, nameEnd, kind);
        case Mode::InTableBody:
            if (kind == TableRow || kind == TableCell || kind == Caption || kind == ColumnGroup
                || kind == Column || kind == TableSection) {
                if (stack_.back().kind != TableSection)
                    return false;
                if (kind == TableRow) {
                    mode_ = Mode::InRow;
                    return Insert(kind, name, true);
                }
                if (kind == TableCell) {
                    InsertImplied(TableRow, "tr");
                    mode_ = Mode::InRow;
                } else {
                    Pop();
                    mode_ = Mode::InTable;
                }
                continue;
            }
            return InTableStart(nameBegin, nameEnd, kind);
        case Mode::InRow:
            if (kind == TableCell) {
                if (stack_.back().kind != TableRow)
                    return false;
                mode_ = Mode::InCell;
                return Insert(kind, name, true);
            }
            if (TablePart(kind)) {
                if (stack_.back().kind != TableRow)
                    return false;
                Pop();
                mode_ = Mode::InTableBody;
                continue;
            }
            return InTableStart(nameBegin, nameEnd, kind);
        case Mode::InColumnGroup:
            if (kind == Column) {
                if (!Insert(kind, name, true))
                    return false;
                Pop();
                return true;
            }
            if (stack_.back().kind != ColumnGroup)
                return false;
            Pop();
            mode_ = Mode::InTable;
            continue;
        case Mode::InSelect:
            if (kind == Option || kind == OptionGroup) {
                if (stack_.back().kind == Option)
                    Pop();
                if (kind == OptionGroup && stack_.back().kind == OptionGroup)
                    Pop();
                return Insert(kind, name, true);
            }
            if (kind == Script) {
                if (!Insert(kind, name, true))
                    return false;
                return RawText(nameBegin, nameEnd, true);
            }
            return false;
        }
    }
}

// An element of SVG or MathML; a self-closing one is closed at once.
bool FastPass::InsertForeign(std::uint8_t kind, std::string_view name)
{
    math_ = kind == ForeignRoot ? SameLetters(name, "math") : stack_.back().math;
    const bool closed = selfClosing_;
    if (!Insert(kind, name, true))
        return false;
    if (closed)
        Pop();
    return true;
}

bool FastPass::ForeignStart(std::size_t nameBegin, std::size_t nameEnd, std::size_t length)
{
    const std::string_view name(data_ + nameBegin, nameEnd - nameBegin);
    if (stack_.back().kind == IntegrationPoint || length > MaxNameLength || stack_.size() >= MaxDepth)
        return false;
    char lower[MaxNameLength];
    for (std::size_t i = 0; i < length; ++i)
        lower[i] = Lower(name[i]);
    const std::string_view lowered(lower, length);
    if (BreaksOut(lowered))
        return false;
    std::uint8_t kind = Foreign;
    if (lowered == "script" || lowered == "style")
        kind = ForeignHiding;
    else if (stack_.back().math ? lowered == "mi" || lowered == "mo" || lowered == "mn" || lowered == "ms"
                                      || lowered == "mtext" || lowered == "annotation-xml"
                                : lowered == "foreignobject" || lowered == "desc" || lowered == "title")
        kind = IntegrationPoint;
    return InsertForeign(kind, name);
}

bool FastPass::ForeignEnd(std::size_t nameBegin, std::size_t nameEnd)
{
    // The parser passes over an end tag with attributes or a slash here.
    if (!attributes_.empty() || selfClosing_ || !SameName(stack_.back(), nameBegin, nameEnd))
        return false;
    // Nor does it always end a script or style there at an end tag spread over more.
    if (stack_.back().kind == ForeignHiding && data_[nameEnd] != '>')
        return false;
    Pop();
    return true;
}

// Start tags right inside a table, a table section or a row: the table's parts, scripts and
// styles; anything else would be moved out of the table.
bool FastPass::InTableStart(std::size_t nameBegin, std::size_t nameEnd, std::uint8_t kind)
{
    const std::string_view name(data_ + nameBegin, nameEnd - nameBegin);
    if (kind == Script || kind == Style) {
        if (!Insert(kind, name, true))
            return false;
        return RawText(nameBegin, nameEnd, kind == Script);
    }
    if (stack_.back().kind != Table || stack_.size() >= MaxDepth)
        return false;
    switch (kind) {
    case Caption:
        mode_ = Mode::InCaption;
        return Insert(kind, name, true);
    case ColumnGroup:
        mode_ = Mode::InColumnGroup;
        return Insert(kind, name, true);
    case TableSection:
        mode_ = Mode::InTableBody;
        return Insert(kind, name, true);
    case Column:
        InsertImplied(ColumnGroup, "colgroup");
        mode_ = Mode::InColumnGroup;
        return StartTag(nameBegin, nameEnd, kind);
    case TableRow:
    case TableCell:
        InsertImplied(TableSection, "tbody");
        mode_ = Mode::InTableBody;
        return StartTag(nameBegin, nameEnd, kind);
    default:
        return false;
    }
}

// Ends the open cell, as another cell, a row or the end of the table does.
bool FastPass::CloseCell()
{
    while (ImpliedEnd(stack_.back().kind))
        Pop();
    if (stack_.back().kind != TableCell)
        return false;
    Pop();
    mode_ = Mode::InRow;
    return true;
}

// The mode that the open elements call for, once a table or a select has closed.
void FastPass::ResetMode()
{
    for (std::size_t i = stack_.size(); i-- > 0;) {
        switch (stack_[i].kind) {
        case TableCell: mode_ = Mode::InCell; return;
        case TableRow: mode_ = Mode::InRow; return;
        case TableSection: mode_ = Mode::InTableBody; return;
        case Caption: mode_ = Mode::InCaption; return;
        case ColumnGroup: mode_ = Mode::InColumnGroup; return;
        case Table: mode_ = Mode::InTable; return;
        case Select: mode_ = Mode::InSelect; return;
        case Body: mode_ = Mode::InBody; return;
        default: break;
        }
    }
    mode_ = Mode::InBody;
}

bool FastPass::InTableScope(std::size_t nameBegin, std::size_t nameEnd) const
{
    for (std::size_t i = stack_.size(); i-- > 0;) {
        if (SameName(stack_[i], nameBegin, nameEnd))
            return true;
        if (stack_[i].kind == Table)
            return false;
    }
    return false;
}

// Whether an element of the end tag's name (for a heading, any heading) is open within the
// scope the parser looks in for it: up to the first table, cell, caption, object or the html
// element, and for a list item also up to a list.
bool FastPass::InScope(std::size_t nameBegin, std::size_t nameEnd, std::uint8_t kind) const
{
    for (std::size_t i = stack_.size(); i-- > 0;) {
        const std::uint8_t open = stack_[i].kind;
        if (kind == Heading ? open == Heading : SameName(stack_[i], nameBegin, nameEnd))
            return true;
        if (open == Html || open == Table || open == TableCell || open == Caption || open == Scoped
            || (kind == ListItem && open == List))
            return false;
    }
    return false;
}

// The parser drops a newline right after the start tag of <pre>, <listing> and <textarea>.
void FastPass::SkipFirstNewline()
{
    if (pos_ < size_ && data_[pos_] == '\r')
        ++pos_;
    else if (pos_ < size_ && data_[pos_] == '\n')
        ++pos_;
    else
        return;
    if (data_[pos_ - 1] == '\r' && pos_ < size_ && data_[pos_] == '\n')
        ++pos_;
}

bool FastPass::InBodyStart(std::size_t nameBegin, std::size_t nameEnd, std::uint8_t kind)
{
    const std::string_view name(data_ + nameBegin, nameEnd - nameBegin);
    if (stack_.size() >= MaxDepth)
        return false;
    switch (kind) {
    case Html:
    case Body:
        // A second one gives its attributes to the first; without any it is dropped.
        return attributes_.empty();
    case Head:
        return true;
    case ListItem:
        if (!CloseItem(ListItem))
            return false;
        break;
    case DefinitionItem:
        if (!CloseItem(DefinitionItem))
            return false;
        break;
    case Anchor:
        if (OnStack(Anchor))
            return false;
        break;
    case Formatting: {
        // Three alike make the parser forget the earliest, and a <nobr> inside another runs
        // the adoption agency first; neither is modelled.
        int alike = 0;
        for (const Open &open : stack_)
            alike += open.kind == Formatting && SameLetters(names_[open.holder], name);
        if (alike >= (SameLetters(name, "nobr") ? 1 : 2))
            return false;
        break;
    }
    case HeadVoid:
        if (!Insert(kind, name, true))
            return false;
        Pop();
        return true;
    case Script:
    case Style:
    case Title:
    case RawElement:
        if (!Insert(kind, name, true))
            return false;
        return RawText(nameBegin, nameEnd, kind == Script);
    case Textarea:
        if (!Insert(kind, name, true))
            return false;
        SkipFirstNewline();
        return RawText(nameBegin, nameEnd, false);
    case Button:
        if (OnStack(Button))
            return false;
        break;
    case Form:
        // A form inside a form is dropped, with ways of the parser's own.
        if (form_)
            return false;
        form_ = true;
        break;
    case Select:
        mode_ = Mode::InSelect;
        break;
    case Option:
    case OptionGroup:
        if (stack_.back().kind == Option)
            Pop();
        break;
    case Table:
        // It closes an open <p> unless the document is in quirks mode, as without a doctype;
        // doctypes other than the plain one are not told apart.
        if (OnStack(Paragraph) && doctype_ == Doctype::Other)
            return false;
        if (doctype_ == Doctype::Standards && !CloseP())
            return false;
        mode_ = Mode::InTable;
        break;
    case Caption:
    case ColumnGroup:
    case Column:
    case TableSection:
    case TableRow:
    case TableCell:
        return false;
    case ForeignRoot:
        return InsertForeign(kind, name);
    default:
        break;
    }
    if (ClosesP(kind) && !CloseP())
        return false;
    if (kind == Heading && stack_.back().kind == Heading)
        Pop();
    if (!Insert(kind, name, true))
        return false;
    if (kind == Void || kind == Rule)
        Pop();
    if (kind == Preformatted)
        SkipFirstNewline();
    return true;
}

bool FastPass::EndTag(std::size_t nameBegin, std::size_t nameEnd, std::uint8_t kind)
{
    if (!reopen_.empty() && kind != Formatting && kind != Anchor)
        return false;
    for (;;) {
        switch (mode_) {
        case Mode::InHeadNoscript:
            if (kind == Noscript) {
                Pop();
                mode_ = Mode::InHead;
                return true;
            }
            if (!(kind == Void && SameLetters(std::string_view(data_ + nameBegin, nameEnd - nameBegin), "br")))
                return true;
            Pop();
            mode_ = Mode::InHead;
            continue;
        case Mode::Initial:
        case Mode::BeforeHtml:
        case Mode::BeforeHead:
        case Mode::InHead:
        case Mode::AfterHead:
            // Before the body the tree builder drops every end tag but those of the sections
            // (and </br>); each of these implies the sections not yet opened.
            if (kind == Void && SameLetters(std::string_view(data_ + nameBegin, nameEnd - nameBegin), "br"))
                return false;
            if (kind != Head && kind != Body && kind != Html)
                return true;
            if (kind == Head && mode_ == Mode::AfterHead)
                return true;
            CloseHead();
            if (kind == Head)
                return true;
            InsertImplied(Body, "body");
            mode_ = Mode::InBody;
            continue;
        case Mode::InBody:
            return InBodyEnd(nameBegin, nameEnd, kind);
        case Mode::InCaption:
            if (kind == Caption) {
                while (ImpliedEnd(stack_.back().kind))
                    Pop();
                if (stack_.back().kind != Caption)
                    return false;
                Pop();
                mode_ = Mode::InTable;
                return true;
            }
            if (TablePart(kind) || kind == Table)
                return false;
            return InBodyEnd(nameBegin, nameEnd, kind);
        case Mode::InCell:
            if (kind == TableCell) {
                // </th> in a <td>, or the other way round, is dropped.
                if (!InTableScope(nameBegin, nameEnd))
                    return true;
                while (ImpliedEnd(stack_.back().kind))
                    Pop();
                if (!SameName(stack_.back(), nameBegin, nameEnd))
                    return false;
                Pop();
                mode_ = Mode::InRow;
                return true;
            }
            if (kind == Table || kind == TableSection || kind == TableRow) {
                if (!InTableScope(nameBegin, nameEnd) || !CloseCell())
                    return false;
                continue;
            }
            if (TablePart(kind))
                return false;
            return InBodyEnd(nameBegin, nameEnd, kind);
        case Mode::InRow:
            if (stack_.back().kind != TableRow)
                return false;
            if (kind == TableRow) {
                Pop();
                mode_ = Mode::InTableBody;
                return true;
            }
            if (kind == Table || (kind == TableSection && InTableScope(nameBegin, nameEnd))) {
                Pop();
                mode_ = Mode::InTableBody;
                continue;
            }
            return false;
        case Mode::InTableBody:
            if (stack_.back().kind != TableSection)
                return false;
            if (kind == TableSection && SameName(stack_.back(), nameBegin, nameEnd)) {
                Pop();
                mode_ = Mode::InTable;
                return true;
            }
            if (kind == Table) {
                Pop();
                mode_ = Mode::InTable;
                continue;
            }
            return false;
        case Mode::InTable:
            if (kind != Table || stack_.back().kind != Table)
                return false;
            Pop();
            ResetMode();
            return true;
        case Mode::InColumnGroup:
            if (stack_.back().kind != ColumnGroup || kind == Column)
                return false;
            Pop();
            mode_ = Mode::InTable;
            if (kind == ColumnGroup)
                return true;
            continue;
        case Mode::InSelect:
            switch (kind) {
            case Option:
                if (stack_.back().kind == Option)
                    Pop();
                return true;
            case OptionGroup:
                if (stack_.back().kind == Option && stack_.size() >= 2
                    && stack_[stack_.size() - 2].kind == OptionGroup)
                    Pop();
                if (stack_.back().kind == OptionGroup)
                    Pop();
                return true;
            case Select:
                while (stack_.back().kind == Option || stack_.back().kind == OptionGroup)
                    Pop();
                if (stack_.back().kind != Select)
                    return false;
                Pop();
                ResetMode();
                return true;
            default:
                return false;
            }
        }
    }
}

bool FastPass::InBodyEnd(std::size_t nameBegin, std::size_t nameEnd, std::uint8_t kind)
{
    switch (kind) {
    case Body:
    case Html:
        // The body stays open: what follows still goes into it.
        return true;
    case Paragraph:
        if (stack_.back().kind == Paragraph) {
            Pop();
            return true;
        }
        if (OnStack(Paragraph))
            return false;
        // An end tag with no <p> open stands for an empty one.
        InsertImplied(Paragraph, "p");
        Pop();
        return true;
    case Form:
        // Closes the one form open, wherever it is; none open, it is dropped. The parser takes
        // the form off the stack without ending the text that waits, which then goes to the
        // form's parent, up to whatever ends it there.
        if (!form_)
            return true;
        form_ = false;
        while (ImpliedEnd(stack_.back().kind))
            Pop();
        if (stack_.back().kind != Form)
            return false;
        stack_.pop_back();
        return true;
    case Block:
    case Division:
    case List:
    case DefinitionList:
    case Heading:
    case ListItem:
    case DefinitionItem:
    case Button:
    case Preformatted:
    case Scoped:
        // With none of its name open within the scope the parser looks in, it is dropped.
        if (!InScope(nameBegin, nameEnd, kind))
            return true;
        while (ImpliedEnd(stack_.back().kind) && !SameName(stack_.back(), nameBegin, nameEnd))
            Pop();
        break;
    case Formatting:
    case Anchor: {
        // Open, it is closed by the adoption agency; not open, it is dropped, and taken off
        // the list of elements to reopen when it is there.
        std::size_t open = stack_.size();
        for (std::size_t i = 0; i < stack_.size(); ++i)
            if (SameName(stack_[i], nameBegin, nameEnd))
                open = i;
        const auto reopen = std::find_if(reopen_.begin(), reopen_.end(), [&](std::string_view other) {
            return SameLetters(other, std::string_view(data_ + nameBegin, nameEnd - nameBegin));
        });
        if (reopen != reopen_.end()) {
            if (open < stack_.size())
                return false;
            reopen_.erase(reopen);
            return true;
        }
        if (!reopen_.empty())
            return false;
        if (open == stack_.size())
            return true;
        // With no element of special rules above it, the agency closes everything above it;
        // the formatting elements among them stay listed, to be reopened by the next text or
        // start tag unless their own end tags come first.
        for (std::size_t i = open + 1; i < stack_.size(); ++i)
            if (Special(stack_[i].kind))
                return false;
        while (stack_.size() > open + 1) {
            if (stack_.back().kind == Formatting || stack_.back().kind == Anchor)
                reopen_.push_back(names_[stack_.back().holder]);
            Pop();
        }
        break;
    }
    case Ordinary:
    case Noscript:
    case Option:
    case OptionGroup: {
        // The tree builder looks for an open element of the name up to the first one with
        // rules of its own, and drops the end tag if there is none. It takes an element of a
        // name it does not know for one of any other such name. What is above the element
        // found is closed with it, formatting elements to be reopened.
        if (SameName(stack_.back(), nameBegin, nameEnd)) {
            Pop();
            return true;
        }
        const bool unknown = UnknownTag(std::string_view(data_ + nameBegin, nameEnd - nameBegin));
        const auto matches = [&](const Open &open) {
            return unknown ? open.kind == Ordinary && UnknownTag(names_[open.holder])
                           : SameName(open, nameBegin, nameEnd);
        };
        std::size_t match = 0;
        for (std::size_t i = stack_.size(); i-- > 0;) {
            if (matches(stack_[i])) {
                match = i;
                break;
            }
            // The parser's list of elements with rules of their own is not quite this one
            // (it lacks <main>), so an element it could still find below is left to it.
            if (Special(stack_[i].kind))
                return std::none_of(stack_.cbegin(), stack_.cbegin() + std::ptrdiff_t(i), matches);
        }
        while (stack_.size() > match + 1) {
            if (stack_.back().kind == Formatting || stack_.back().kind == Anchor)
                reopen_.push_back(names_[stack_.back().holder]);
            Pop();
        }
        Pop();
        return true;
    }
    case Void:
        // </br> stands for <br> without attributes; any other is dropped.
        if (!SameLetters(std::string_view(data_ + nameBegin, nameEnd - nameBegin), "br"))
            return true;
        if (!reopen_.empty())
            return false;
        attributes_.clear();
        selfClosing_ = false;
        return InBodyStart(nameBegin, nameEnd, kind);
    case Head:
    case HeadVoid:
    case Rule:
    case Script:
    case Style:
    case Title:
    case RawElement:
    case Textarea:
        // Never open here, so dropped.
        return true;
    case Table:
    case TableSection:
    case TableRow:
    case TableCell:
    case Caption:
    case ColumnGroup:
    case Column:
        // Outside a table none of its parts is open, and the parser drops their end tags.
        return mode_ == Mode::InBody;
    default:
        return false;
    }
    if (!SameName(stack_.back(), nameBegin, nameEnd))
        return false;
    Pop();
    return true;
}

bool FastPass::EndsAt(std::size_t at, std::string_view name) const
{
    const std::size_t after = at + 2 + name.size();
    return after < size_ && data_[at + 1] == '/'
        && SameLetters(std::string_view(data_ + at + 2, name.size()), name)
        && (IsSpace(data_[after]) || data_[after] == '/' || data_[after] == '>');
}

// Where the end tag of a script starts, or size_. After "<!--" the tokenizer reads the script
// in its escaped states, where "<script" makes the next "</script" one more piece of text.
std::size_t FastPass::ScriptEnd(std::size_t from) const
{
    enum State { Data, Escaped, EscapedDash, EscapedDashDash, Double, DoubleDash, DoubleDashDash };
    State state = Data;
    const auto named = [&](std::size_t at) { // "script" and a delimiter at at
        return size_ - at > 6 && SameLetters(std::string_view(data_ + at, 6), "script")
            && (IsSpace(data_[at + 6]) || data_[at + 6] == '/' || data_[at + 6] == '>');
    };
    for (std::size_t i = from; i < size_;) {
        if (state == Data) {
            const void *open = std::memchr(data_ + i, '<', size_ - i);
            if (!open)
                return size_;
            i = std::size_t(static_cast<const char *>(open) - data_);
            if (EndsAt(i, "script"))
                return i;
            if (size_ - i >= 4 && std::memcmp(data_ + i, "<!--", 4) == 0) {
                state = EscapedDashDash;
                i += 4;
            } else {
                ++i;
            }
            continue;
        }
        const char c = data_[i];
        const bool doubled = state >= Double;
        if (c == '-') {
            state = state == Escaped ? EscapedDash : state == Double ? DoubleDash
                : doubled ? DoubleDashDash : EscapedDashDash;
            ++i;
        } else if (c == '>') {
            state = state == EscapedDashDash || state == DoubleDashDash ? Data : doubled ? Double : Escaped;
            ++i;
        } else if (c == '<' && !doubled) {
            if (EndsAt(i, "script"))
                return i;
            state = named(i + 1) ? Double : Escaped;
            i += state == Double ? 7 : 1;
        } else if (c == '<') {
            state = i + 1 < size_ && data_[i + 1] == '/' && named(i + 2) ? Escaped : Double;
            i += state == Escaped ? 8 : 1;
        } else {
            state = doubled ? Double : Escaped;
            ++i;
        }
    }
    return size_;
}

// The text of a script, style or title up to its end tag.
bool FastPass::RawText(std::size_t nameBegin, std::size_t nameEnd, bool script)
{
    const std::string_view name(data_ + nameBegin, nameEnd - nameBegin);
    const std::size_t content = pos_;
    std::size_t at = content;
    if (script) {
        at = ScriptEnd(content);
    } else {
        for (; at < size_; ++at) {
            const void *open = std::memchr(data_ + at, '<', size_ - at);
            if (!open)
                return false;
            at = std::size_t(static_cast<const char *>(open) - data_);
            if (EndsAt(at, name))
                break;
        }
    }
    if (at >= size_)
        return false;
    const std::size_t after = at + 2 + name.size();
    if (data_[after] == '\r')
        return false;
    if (at > content)
        Begin(content);
    token_ = at;
    if (!TagRest(after))
        return false;
    Pop();
    return true;
}

} // namespace PageAnalysis
