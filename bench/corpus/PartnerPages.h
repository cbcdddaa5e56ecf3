#pragma once

#include <QString>

#include <vector>

// Pages shaped like the sites link partners run, for the tests and the benchmarks: a blog
// theme with svg icons and a comment form, a forum thread, a shop page laid out with a table,
// and a page of embedded videos behind a cookie banner. Each is varied by a seed (how much of
// each part, quoting, letter case of tags, line ends, extras) and carries a link to the term
// in a place the seed picks: a blog roll, a comment, the footer, a nofollow link, a comment of
// the markup.
namespace PartnerPages {

enum class Shape { Blog, Forum, Shop, Video };

const std::vector<Shape> &Shapes();
const char *Name(Shape shape);
QString Make(Shape shape, unsigned seed, const QString &term);

} // namespace PartnerPages
