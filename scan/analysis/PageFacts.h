#pragma once

#include "PageAnalysis.h"
#include "Robots.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace PageAnalysis {

// Whether a link's rel token keeps it from counting: nofollow, sponsored or ugc.
bool IsFlagging(const QString &relToken);

// A stretch of the source (in UTF-8 bytes) with one meaning: a text node, a comment, or an
// attribute value (its quotes included). Tags outside attribute values are not pieces: a
// match there is in no particular place.
struct Piece {
    static constexpr std::uint32_t NoName = UINT32_MAX;

    std::size_t begin;
    std::size_t end;
    Context context;
    int link;              // the <a href> it belongs to, for links' hrefs and texts
    std::uint32_t holder;  // element that holds the text or attribute, or the script, style or
                           // noscript around it; NoName for comments
    std::uint32_t attribute; // NoName outside attribute values
};

// A stretch of the source: an attribute's value without its quotes.
struct Span {
    std::size_t begin;
    std::size_t end;
    bool operator==(const Span &) const = default;
};

// What a reading of the page tells, whichever reader made it: the pieces, the links' rel
// tokens, the robots meta tags and the <noscript> elements. Elements and attributes are
// numbers that the reader names on demand, as only the strongest place's names are shown.
class PageFacts
{
public:
    // rel: the value of the link's rel attribute, when it has one.
    int AddLink(const QString *rel);
    // Whether a link's rel has one of nofollow, sponsored, ugc.
    bool Flagged(int link) const;
    void AddMeta(const QString &name, const QString &content);
    // content: where the element's content starts, right after its start tag.
    void AddNoscript(std::size_t content, std::uint32_t holder);
    // The concealer of an element with these attributes (nullptr for one it lacks), whose
    // parent's is inherited: a new one when its own attributes hide it, else the parent's.
    std::uint32_t Conceal(std::uint32_t holder, std::uint32_t inherited, const std::string_view *hidden,
                          const std::string_view *style);
    // How a concealer hides, as "<div style=\"display:none\">".
    QString Concealer(std::uint32_t concealer) const;
    // The concealer of the element that holds a piece (for an attribute value, its own
    // element), or NoName when neither it nor an element around it is hidden.
    std::uint32_t ConcealerOf(const Piece &piece) const
    {
        return piece.holder == Piece::NoName ? Piece::NoName : concealerOf[piece.holder];
    }
    // A <link> right in the head, and a <base>, neither inside a script or noscript: the first
    // canonical address and the first base address are kept.
    void AddHeadLink(std::string_view rel, Span href);
    void AddBase(Span href);

    // Sorted by position, without overlaps, <noscript> content hidden; base and size are the
    // page's bytes.
    std::vector<Piece> TakePieces(const char *base, std::size_t size);

    std::vector<Piece> pieces;
    bool ordered = false; // pieces are in page order already, none sharing a start
    std::vector<QStringList> links; // rel tokens, lower case
    Robots::Directives meta;
    QStringList robots;
    std::optional<Span> base;      // href of the first <base href>
    std::optional<Span> canonical; // href of the first <link rel="canonical" href> in the head
    struct Concealment {
        std::uint32_t holder;
        std::string rule; // as InlineStyle::Hiding says it
    };
    std::vector<Concealment> concealments;
    std::vector<std::uint32_t> concealerOf; // by element, as the readers number them
    std::function<QString(std::uint32_t)> holderName;
    std::function<QString(std::uint32_t)> attributeName;

private:
    void HideNoscriptContent(const char *base, std::size_t size);

    std::vector<std::pair<std::size_t, std::uint32_t>> noscripts_;
};

} // namespace PageAnalysis
