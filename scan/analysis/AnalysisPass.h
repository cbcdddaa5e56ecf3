#pragma once

#include "PageAnalysis.h"
#include "PageFacts.h"

#include <QByteArray>

#include <cstddef>
#include <optional>
#include <vector>

namespace PageAnalysis {

// Which reader places the occurrences: the fast one, which models the plain pages that most
// sites serve and declines the rest, or the HTML5 parser's tree, which reads anything.
enum class Pass { Either, Fast, Tree };

// Analyse by the given reader; nullopt when Pass::Fast was asked for and declined. Either is
// what Analyse does: the fast reader, and the tree where it declines.
std::optional<Analysis> AnalyseBy(Pass pass, QStringView source, QStringView term,
                                  const Headers &headers = {}, const Limits &limits = {},
                                  const QString &pageUrl = {});
// AnalyseUtf8 by the given reader.
std::optional<Analysis> AnalyseUtf8By(Pass pass, QByteArrayView page, QStringView term,
                                      const Headers &headers = {}, const Limits &limits = {},
                                      const QString &pageUrl = {});

// A place a reader finds on a page, named: what the readers are compared by.
struct Place {
    std::size_t begin;
    std::size_t end;
    Context context;
    QString element;
    QString attribute;
    QStringList rel;
    QString hiddenBy; // the element around it that is hidden, and how: "<div hidden>"
    bool operator==(const Place &) const = default;
};

struct Reading {
    std::vector<Place> places;
    QStringList robots;
    bool noindex = false;
    bool nofollow = false;
    std::optional<Span> base;      // the value of the first <base href>
    std::optional<Span> canonical; // the value of the first <link rel="canonical" href> in the head
    bool operator==(const Reading &) const = default;
};

// All places on a page of UTF-8 bytes, by the given reader (Either is not a reader); nullopt
// when it declines or gives up.
std::optional<Reading> ReadBy(Pass pass, const QByteArray &page);

} // namespace PageAnalysis
