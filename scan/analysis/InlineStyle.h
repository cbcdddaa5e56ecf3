#pragma once

#include <string>
#include <string_view>

// Whether an element's own attributes keep it from being seen: the hidden attribute, or an
// inline style that hides it. Stylesheets are not read. Values are read as written: character
// references in them are not decoded.
namespace PageAnalysis::InlineStyle {

// The declarations of a style attribute's value that hide the element, as "display:none",
// "visibility:hidden", "font-size:0", "opacity:0", "width:0;height:0;overflow:hidden",
// "position:absolute;left:-9999px" or "text-indent:-9999px" (names and values in lower case,
// !important dropped); empty when the style does not hide it. Placed off the page means 1,000
// px or more to the left or the top, in px, pt, pc, in, cm, mm, q, or em and rem taken at 16 px;
// a bare number counts as px. A later declaration of a property overrides an earlier one,
// unless only the earlier one is !important.
std::string HidingRule(std::string_view style);

// What hides an element with these attributes (nullptr when it has none of the name), as it is
// written inside the tag: "hidden" or "style=\"display:none\""; empty when nothing does.
// hidden="until-found" does not hide: the browser shows such content to a search of the page.
std::string Hiding(const std::string_view *hidden, const std::string_view *style);

} // namespace PageAnalysis::InlineStyle
