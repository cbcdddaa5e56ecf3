#include "InlineStyle.h"

#include <array>
#include <cstdlib>
#include <optional>

namespace PageAnalysis::InlineStyle {

namespace {

enum Property { Display, Visibility, FontSize, Opacity, Width, Height, Overflow, Position, Left, Top,
                TextIndent, PropertyCount };

constexpr std::array<std::string_view, PropertyCount> PropertyNames = {
    "display", "visibility", "font-size", "opacity", "width", "height", "overflow", "position", "left", "top",
    "text-indent"};

// How far off the page an element must be placed to count as hidden.
constexpr double OffPage = -1000;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

struct Declaration {
    std::string value; // lower case, blanks collapsed, without !important
    bool important = false;
    bool set = false;
};

// A value in lower case with runs of blanks as one space; !important taken off and noted.
std::string Normalised(std::string_view value, bool &important)
{
    std::string out;
    out.reserve(value.size());
    for (const char c : Trim(value)) {
        if (!IsBlank(c))
            out += Lower(c);
        else if (out.back() != ' ')
            out += ' ';
    }
    important = false;
    const std::size_t bang = out.rfind('!');
    if (bang != std::string::npos && Trim(std::string_view(out).substr(bang + 1)) == "important") {
        important = true;
        out.resize(bang);
        while (!out.empty() && out.back() == ' ')
            out.pop_back();
    }
    return out;
}

// The number and unit of a dimension such as "-9999px", ".5em" or "0"; nullopt for anything
// else (keywords, calc(), several values).
std::optional<std::pair<double, std::string_view>> Dimension(std::string_view value)
{
    std::size_t i = 0;
    if (i < value.size() && (value[i] == '+' || value[i] == '-'))
        ++i;
    const std::size_t digits = i;
    while (i < value.size() && ((value[i] >= '0' && value[i] <= '9') || value[i] == '.'))
        ++i;
    if (i == digits || value.substr(digits, i - digits).find_first_of("0123456789") == std::string_view::npos)
        return std::nullopt;
    const std::string number(value.substr(0, i));
    char *end = nullptr;
    const double amount = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size())
        return std::nullopt;
    const std::string_view unit = value.substr(i);
    for (const char c : unit)
        if (!(c >= 'a' && c <= 'z') && c != '%')
            return std::nullopt;
    return std::make_pair(amount, unit);
}

bool IsZero(std::string_view value)
{
    const auto dimension = Dimension(value);
    return dimension && dimension->first == 0;
}

// A length in CSS pixels; nullopt for units that depend on more than the font size.
std::optional<double> Pixels(std::string_view value)
{
    const auto dimension = Dimension(value);
    if (!dimension)
        return std::nullopt;
    const auto [amount, unit] = *dimension;
    struct Unit {
        std::string_view name;
        double pixels;
    };
    static constexpr Unit Units[] = {{"", 1},           {"px", 1},          {"pt", 96.0 / 72},
                                     {"pc", 16},        {"in", 96},         {"cm", 96 / 2.54},
                                     {"mm", 96 / 25.4}, {"q", 96 / 101.6},  {"em", 16},
                                     {"rem", 16}};
    for (const Unit &known : Units)
        if (known.name == unit)
            return amount * known.pixels;
    return std::nullopt;
}

bool FarOff(const Declaration &offset)
{
    const std::optional<double> pixels = offset.set ? Pixels(offset.value) : std::nullopt;
    return pixels && *pixels <= OffPage;
}

std::string Written(Property property, const Declaration &declaration)
{
    return std::string(PropertyNames[property]) + ':' + declaration.value;
}

// Calls take(name, value) for each declaration, comments left out.
template<typename Take>
void Declarations(std::string_view style, Take take)
{
    std::string uncommented;
    if (style.find("/*") != std::string_view::npos) {
        for (std::size_t i = 0; i < style.size(); ++i) {
            if (style.compare(i, 2, "/*") == 0) {
                const std::size_t close = style.find("*/", i + 2);
                if (close == std::string_view::npos)
                    break;
                i = close + 1;
                continue;
            }
            uncommented += style[i];
        }
        style = uncommented;
    }
    std::size_t start = 0;
    std::size_t colon = std::string_view::npos;
    int depth = 0;
    char quote = 0;
    for (std::size_t i = 0; i <= style.size(); ++i) {
        const char c = i < style.size() ? style[i] : ';';
        if (quote) {
            if (c == quote)
                quote = 0;
            else if (c == '\\')
                ++i;
            if (i < style.size())
                continue;
        }
        if (c == '"' || c == '\'')
            quote = c;
        else if (c == '(')
            ++depth;
        else if (c == ')' && depth > 0)
            --depth;
        else if (c == ':' && depth == 0 && colon == std::string_view::npos)
            colon = i;
        else if ((c == ';' && depth == 0) || i == style.size()) {
            if (colon != std::string_view::npos)
                take(Trim(style.substr(start, colon - start)), style.substr(colon + 1, i - colon - 1));
            start = i + 1;
            colon = std::string_view::npos;
        }
    }
}

} // namespace

std::string HidingRule(std::string_view style)
{
    if (style.find(':') == std::string_view::npos)
        return {};
    std::array<Declaration, PropertyCount> said;
    Declarations(style, [&](std::string_view name, std::string_view value) {
        for (std::size_t p = 0; p < PropertyCount; ++p) {
            const std::string_view known = PropertyNames[p];
            if (name.size() != known.size())
                continue;
            std::size_t k = 0;
            while (k < name.size() && Lower(name[k]) == known[k])
                ++k;
            if (k < name.size())
                continue;
            Declaration next;
            next.value = Normalised(value, next.important);
            next.set = !next.value.empty();
            if (next.set && (!said[p].important || next.important))
                said[p] = std::move(next);
            return;
        }
    });

    const auto is = [&](Property p, std::string_view value) { return said[p].set && said[p].value == value; };
    if (is(Display, "none"))
        return Written(Display, said[Display]);
    if (is(Visibility, "hidden") || is(Visibility, "collapse"))
        return Written(Visibility, said[Visibility]);
    if (said[FontSize].set && IsZero(said[FontSize].value))
        return Written(FontSize, said[FontSize]);
    if (said[Opacity].set) {
        const auto dimension = Dimension(said[Opacity].value);
        if (dimension && (dimension->second.empty() || dimension->second == "%") && dimension->first <= 0)
            return Written(Opacity, said[Opacity]);
    }
    const std::string overflow = said[Overflow].value.substr(0, said[Overflow].value.find(' '));
    if (said[Width].set && IsZero(said[Width].value) && said[Height].set && IsZero(said[Height].value)
        && (overflow == "hidden" || overflow == "clip"))
        return Written(Width, said[Width]) + ';' + Written(Height, said[Height]) + ';'
            + Written(Overflow, said[Overflow]);
    if (is(Position, "absolute") || is(Position, "fixed") || is(Position, "relative")) {
        if (FarOff(said[Left]))
            return Written(Position, said[Position]) + ';' + Written(Left, said[Left]);
        if (FarOff(said[Top]))
            return Written(Position, said[Position]) + ';' + Written(Top, said[Top]);
    }
    if (FarOff(said[TextIndent]))
        return Written(TextIndent, said[TextIndent]);
    return {};
}

std::string Hiding(const std::string_view *hidden, const std::string_view *style)
{
    if (hidden) {
        const std::string_view until = "until-found";
        bool found = hidden->size() == until.size();
        for (std::size_t i = 0; found && i < until.size(); ++i)
            found = Lower((*hidden)[i]) == until[i];
        if (!found)
            return "hidden";
    }
    if (style) {
        const std::string rule = HidingRule(*style);
        if (!rule.empty())
            return "style=\"" + rule + '"';
    }
    return {};
}

} // namespace PageAnalysis::InlineStyle
