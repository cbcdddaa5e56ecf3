#pragma once

#include "PageFacts.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace PageAnalysis {

// A reader of the plain, well-nested HTML that most pages are, at the speed of a scan over the
// bytes: it tokenizes as an HTML5 parser does and follows the tree builder's rules for the
// elements and insertion modes such pages use, placing text, comments and attribute values
// exactly where the parser's tree places them, well-formed tables, forms and selects among
// them. Whatever would make the tree builder move nodes, reopen elements or switch to rules
// not modelled here (text or tags it would move out of a table, foreign content, misnested
// formatting, character references where their decoded value matters, a NUL byte, markup cut
// off by the end of the page, ...) makes it decline, and the page is left to the parser.
class FastPass
{
public:
    FastPass(const char *data, std::size_t size);

    // False when the page has markup that is not modelled; facts then hold a part.
    bool Read(PageFacts &facts);

    // After Read declined: the construct it stopped at, as "<name>" for a start tag, "</name>"
    // for an end tag, "<!" for a comment or doctype, "text", or "NUL".
    std::string Declined() const;

private:
    enum class Mode : std::uint8_t {
        Initial, BeforeHtml, BeforeHead, InHead, InHeadNoscript, AfterHead, InBody,
        InTable, InTableBody, InRow, InCell, InCaption, InColumnGroup, InSelect
    };

    struct Attribute {
        std::size_t name;
        std::size_t nameEnd;
        std::size_t value; // the piece: the value with its quotes, or the name when it has none
        std::size_t valueEnd;
        std::size_t raw; // the value without quotes
        std::size_t rawEnd;
    };
    struct Open {
        std::uint8_t kind; // how the tree builder treats the element
        std::uint32_t holder;
        std::uint32_t hidden;
        int link;
        bool math; // of MathML, or else of SVG, when foreign
        std::uint32_t concealer;
    };

    bool Markup();
    bool StartTag(std::size_t nameBegin, std::size_t nameEnd, std::uint8_t kind);
    bool EndTag(std::size_t nameBegin, std::size_t nameEnd, std::uint8_t kind);
    void CloseHead();
    bool OpenSection(std::uint8_t kind, std::string_view name, Mode next);
    bool InBodyStart(std::size_t nameBegin, std::size_t nameEnd, std::uint8_t kind);
    bool InBodyEnd(std::size_t nameBegin, std::size_t nameEnd, std::uint8_t kind);
    bool InTableStart(std::size_t nameBegin, std::size_t nameEnd, std::uint8_t kind);
    bool CloseCell();
    void ResetMode();
    bool InTableScope(std::size_t nameBegin, std::size_t nameEnd) const;
    bool InScope(std::size_t nameBegin, std::size_t nameEnd, std::uint8_t kind) const;
    void SkipFirstNewline();
    bool InsertForeign(std::uint8_t kind, std::string_view name);
    bool ForeignStart(std::size_t nameBegin, std::size_t nameEnd, std::size_t length);
    bool ForeignEnd(std::size_t nameBegin, std::size_t nameEnd);
    bool Text(std::size_t begin, std::size_t end);
    bool TagRest(std::size_t from);
    bool Comment(std::size_t at);
    bool RawText(std::size_t nameBegin, std::size_t nameEnd, bool script);
    bool EndsAt(std::size_t at, std::string_view name) const;
    std::size_t ScriptEnd(std::size_t from) const;
    bool CloseP();
    bool CloseItem(std::uint8_t item);

    void Begin(std::size_t at);
    void Flush(std::size_t at);
    bool Insert(std::uint8_t kind, std::string_view name, bool attributes);
    void InsertImplied(std::uint8_t kind, std::string_view name);
    void Pop();
    bool OnStack(std::uint8_t kind) const;
    bool SameName(const Open &open, std::size_t nameBegin, std::size_t nameEnd) const;
    QString Value(const Attribute &attribute) const;
    std::string_view Raw(const Attribute &attribute) const;
    bool Printable(std::size_t begin, std::size_t end) const;
    const Attribute *Find(std::string_view name) const;
    QString Name(std::string_view name) const;

    const char *data_;
    std::size_t size_;
    PageFacts *facts_ = nullptr;
    Mode mode_ = Mode::Initial;
    std::size_t pos_ = 0;
    std::size_t token_ = 0; // where the token being handled starts
    bool nul_ = false;      // it declined for a NUL byte
    std::size_t tagEnd_ = 0;
    bool pending_ = false;  // text waits for the next token to end its node
    bool form_ = false;     // a form is open: the tree builder's form element pointer
    bool selfClosing_ = false; // the tag just read ends in "/>"
    bool math_ = false;     // the foreign element being inserted is MathML
    enum class Doctype : std::uint8_t { None, Standards, Other } doctype_ = Doctype::None;
    std::size_t textBegin_ = 0;
    std::vector<Open> stack_;
    std::vector<Attribute> attributes_;
    std::vector<std::string_view> names_;          // of the elements, as written
    std::vector<std::string_view> attributeNames_; // as written
    std::vector<std::pair<std::uint32_t, bool>> foreignAttributes_; // of SVG (false) or MathML
    std::vector<std::string_view> reopen_; // formatting elements closed early, still listed
};

} // namespace PageAnalysis
