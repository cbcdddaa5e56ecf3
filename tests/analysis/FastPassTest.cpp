#include "AnalysisPass.h"
#include "FastPass.h"
#include "PageFacts.h"
#include "ReadersAgree.h"
#include "SourceBytes.h"

#include <gtest/gtest.h>

#include <QString>

#include <ostream>

namespace {

using PageAnalysis::Pass;
using PageAnalysis::ReadBy;

const QString Site = QStringLiteral("mysite.example");

struct PageCase {
    const char *name;
    QString page;
};

void PrintTo(const PageCase &c, std::ostream *out)
{
    *out << c.name;
}

std::string CaseName(const testing::TestParamInfo<PageCase> &info)
{
    return info.param.name;
}

// A partner page as link checkers meet them: a head with meta tags, title, style and script, a
// navigation list, paragraphs with inline markup and entities, comments, a partner block and
// a footer.
QString PlainPage(const QString &partnerBlock)
{
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
               "<title>Partner page 7 &amp; more</title>\n"
               "<link rel=\"stylesheet\" href=\"/style.css\">\n"
               "<meta name=\"robots\" content=\"index, follow\">\n"
               "<style>\n.card{margin:0 auto}\n</style>\n"
               "<script>var a = 1 < 2 && 3 > 2;</script>\n</head>\n<body class=\"home\">\n"
               "<nav><ul>\n<li><a href=\"/p/1.html\">garden guide</a></li>\n"
               "<li><a href=\"/p/2.html\" class=nav-link>travel</a></li>\n</ul></nav>\n"
               "<!-- navigation ends -->\n<main>\n<h1>Café garden and travel</h1>\n"
               "<p>The soil was cold &mdash; <em>that</em> is how<br>it went. "
               "<img src=\"/i.jpg\" alt=\"Tulips\" width=640></p>\n"
               "<p>Weeds, slugs &amp; snails <strong>and</strong> <span>more</span>.</p>\n"
               "</main>\n<aside class=\"partners\"><h2>Our partners</h2>\n")
        + partnerBlock
        + QStringLiteral("</aside>\n<footer>&copy; 2024 partner 7</footer>\n"
                         "<script src=\"/js/site.js\" async></script>\n</body>\n</html>\n");
}

class AnswersTest : public testing::TestWithParam<PageCase>
{
};

// The pages the fast reader is for: it must answer them, or it brings nothing.
TEST_P(AnswersTest, ReadsThePageAsTheParserDoes)
{
    const PageCase &c = GetParam();
    EXPECT_TRUE(ReadBy(Pass::Fast, PageAnalysis::ToUtf8(c.page)));
    ExpectReadersAgree(c.page, Site);
    ExpectReadersAgree(c.page, QStringLiteral("a"));
}

INSTANTIATE_TEST_SUITE_P(
    Plain, AnswersTest,
    testing::Values(
        PageCase{"CleanLink", PlainPage("<p><a href=\"https://mysite.example/\">A good guide</a></p>\n")},
        PageCase{"NofollowLink",
                 PlainPage("<p><a href=\"https://mysite.example/\" rel=\"nofollow noopener\">A good guide</a></p>\n")},
        PageCase{"LinkInAComment",
                 PlainPage("<!-- <p><a href=\"https://mysite.example/\">A good guide</a></p> -->\n")},
        PageCase{"LinkTextNested", PlainPage("<p><a href=/x><b>mysite.example</b></a></p>")},
        PageCase{"CarriageReturns",
                 PlainPage("<p><a href=\"https://mysite.example/\">A good guide</a></p>\n")
                     .replace(QStringLiteral("\n"), QStringLiteral("\r\n"))},
        PageCase{"UpperCaseTags", QStringLiteral("<HTML><HEAD><TITLE>x</TITLE></HEAD><BODY><P><A HREF=\"//mysite.example\" REL=UGC>x</A></P></BODY></HTML>")},
        PageCase{"AttributesWithoutValues", QStringLiteral("<p hidden><a href=//mysite.example download>x</a><input disabled>")},
        PageCase{"ImpliedEnds", QStringLiteral("<ul><li>a<li><p>b<li>mysite.example</ul><dl><dt>x<dd>y<dt>z</dl><p>one<div>two</div><h2>t<h3>u</h3><p>end</p></p>")},
        PageCase{"ParagraphClosedByItsBlock", QStringLiteral("<div><p>mysite.example</div><ul><li>a</ul>")},
        PageCase{"NoHtmlNoHead", QStringLiteral("mysite.example <b>bold</b>")},
        PageCase{"BlanksAroundTheHead", QStringLiteral("<html> <head> <title>x</title> </head> <body> mysite.example </body> </html> ")},
        PageCase{"TextAfterTheBody", QStringLiteral("<body><p>x</p></body>mysite.example</html>after<!--c--> ")},
        PageCase{"CommentForms", QStringLiteral("<p><!--><!---><!-- a --!><!----->x<?php mysite.example ?></ mysite.example><!mysite.example></p>")},
        PageCase{"DescriptionNotAscii", QStringLiteral("<meta name=description content=\"Café, crème\"><p>mysite.example")},
        PageCase{"RobotsMeta", QStringLiteral("<head><meta name=\"ROBOTS\" content=\"noindex, nofollow\"><meta name=googlebot content=none></head><a href=//mysite.example>x</a>")},
        PageCase{"NoscriptInTheBody", QStringLiteral("<p>x</p><noscript><a href=//mysite.example>x</a></noscript><p>mysite.example")},
        PageCase{"CustomElements", QStringLiteral("<x-card data-url=\"//mysite.example\"><my-el>mysite.example</my-el></x-card>")},
        PageCase{"EndTagWithoutParagraph", QStringLiteral("<div>a</p>mysite.example</div>")},
        PageCase{"RawTextLookalikes", QStringLiteral("<title>a</titlex>mysite.example</title><script>if (a</scripts) x = '</SCRIPT'</script ><style>a</style/>")}),
    CaseName);

// Forms, tables and the other elements with rules of their own that real pages hold.
INSTANTIATE_TEST_SUITE_P(
    Real, AnswersTest,
    testing::Values(
        PageCase{"Form", QStringLiteral("<p>x<form action=/s><p>mysite.example</form>after")},
        PageCase{"FormEndLeavesItsTextToTheParent", QStringLiteral("<section><form id=c>\n<p>a</p>\nmysite.example</form>\n</section>")},
        PageCase{"FormEndWithoutForm", QStringLiteral("<div>a</form>mysite.example</div>")},
        PageCase{"CommentForm", QStringLiteral("<form method=post><label for=c>Comment</label><textarea id=c name=c>\nmysite.example</textarea>"
                                               "<input type=text name=url value=\"https://mysite.example\"><button type=submit>Post</button></form>")},
        PageCase{"Button", QStringLiteral("<p><button class=b><span>mysite.example</span></button></p>")},
        PageCase{"Nobr", QStringLiteral("<p>Use <nobr>type-name</nobr> and <NOBR class=n><b>mysite.example</nobr></b></p><nobr>x")},
        PageCase{"Select", QStringLiteral("<select name=s><option value=1>a<option>mysite.example<optgroup label=g><option>c</optgroup></select>z")},
        PageCase{"SelectEndTags", QStringLiteral("<select><option>a</option><optgroup><option>b</option></optgroup><option>mysite.example</select>")},
        PageCase{"OptionsOutsideASelect", QStringLiteral("<datalist id=d><option value=mysite.example><option>b</datalist>")},
        PageCase{"PreFirstNewline", QStringLiteral("<pre>\nmysite.example\n</pre><listing>\r\nx</listing><pre>\n\ny</pre><pre>z</pre>")},
        PageCase{"TextareaFirstNewline", QStringLiteral("<textarea>\nmysite.example</textarea><textarea>\r\n&amp;x</textarea>")},
        PageCase{"Iframe", QStringLiteral("<p><iframe src=\"https://video.example/embed/1\" allowfullscreen><a href=x>mysite.example</a></iframe></p>")},
        PageCase{"ObjectAndMap", QStringLiteral("<object data=x.swf><param name=movie value=mysite.example></object><map name=m><area href=//mysite.example></map>")},
        PageCase{"StrayEndTags", QStringLiteral("<head></meta></title><title>t</title></head></head><p>a</span></img></script>b</p><div></b>mysite.example</div>")},
        PageCase{"Table", QStringLiteral("<table class=t>\n<tr><td>a</td><td><a href=//mysite.example>x</a></td></tr>\n</table>after")},
        PageCase{"TableWithEverything", QStringLiteral("<table><caption>c</caption><colgroup><col><col span=2></colgroup><thead><tr><th>h<th>i</thead>"
                                                       "<tbody><tr><td>a<td>mysite.example<tr><td>b</tbody><tfoot><tr><td>f</tfoot></table>")},
        PageCase{"TableImpliedParts", QStringLiteral("<table><col width=1><tr><td>a</table><table><td>mysite.example</td></tr></table>")},
        PageCase{"OtherCellsEndTagInACell", QStringLiteral("<table><tr><td><b>a</b></td><td width=10>&nbsp;</th><td>mysite.example</td></tr></table>"
                                                          "<table><tr><th><table><tr><td>x</th>y</td></tr></table></th></tr></table>")},
        PageCase{"TableClosedInACell", QStringLiteral("<table><tr><td>a</tr><tr><td>b</tbody></table><p>mysite.example")},
        PageCase{"NestedTables", QStringLiteral("<table><tr><td><table><tr><td>mysite.example</td></tr></table>x</td></tr></table>")},
        PageCase{"TableScriptAndBlanks", QStringLiteral("<table> \n <script>var a;</script> <tr> <td> <p>mysite.example </td> </tr> </table>")},
        PageCase{"SvgIcons", QStringLiteral("<p><a href=/share><svg viewBox=\"0 0 24 24\" class=icon aria-hidden=true><title>Share</title><use xlink:href=\"#fb\"/>"
                                            "<path d=\"M0 0h24v24H0z\"/><g fill=none><circle r=1 /></g></svg> mysite.example</a></p>")},
        PageCase{"SvgLinksAndStyles", QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\"><style>.a{fill:red}</style>"
                                                     "<a xlink:href=\"//mysite.example\"><text x=1>mysite.example</text></a><linearGradient gradientUnits=u spreadMethod=pad><stop/></linearGradient>"
                                                     "<image href=i.png /><script>var mysite;</script></svg>")},
        PageCase{"Math", QStringLiteral("<p><math><mi>x</mi><mrow definitionURL=mysite.example><mo>+</mo></mrow></math>")},
        PageCase{"NoscriptInTheHead", QStringLiteral("<head><noscript><link href=//mysite.example></noscript></head>")},
        PageCase{"NoscriptInTheHeadWithStyleAndMeta", QStringLiteral("<head> <noscript> <style>.a{}</style><meta name=x content=mysite.example> <!-- c --> </noscript><title>t</title></head><p>x")},
        PageCase{"NoscriptInTheHeadWithAPixel", QStringLiteral("<head><noscript><img height=1 src=\"https://pixel.example/tr?id=mysite.example\"></noscript></head><body><p>x")},
        PageCase{"NoscriptInTheHeadWithText", QStringLiteral("<head><noscript> Enable mysite.example </noscript><link rel=x></head><p>y")},
        PageCase{"SecondBodyTagWithoutAttributes", QStringLiteral("<body class=a><p>x</p><BODY>mysite.example<html>")},
        PageCase{"HeadTagsInTheBody", QStringLiteral("<p>a<head><title>t</title></head>mysite.example</p>")},
        PageCase{"RepeatedAttributes", QStringLiteral("<a href=/x HREF = \"//mysite.example\" title=t href='y'>x</a><p class=a class=mysite.example>")},
        PageCase{"RepeatedAttributeGluedToAValue", QStringLiteral("<script type=\"text/javascript\" src=\"<script type=\"text/javascript\" src=\"mysite.example\"></script>\n\"></script><p>x")},
        PageCase{"CommentInScript", QStringLiteral("<script><!-- <script>mysite.example</script> --></script><p>x")},
        PageCase{"OldStyleScriptComment", QStringLiteral("<script type=\"text/javascript\"><!--\nvar a = 1 < 2;\n//--></script><p>mysite.example")},
        PageCase{"ScriptWrittenInAScript", QStringLiteral("<script><!--\ndocument.write('<SCRIPT src=\"x.js\"></scr' + 'ipt>'); document.write(\"<script>a<\\/script>\")\n// --></script>mysite.example")},
        PageCase{"ScriptEndsInsideItsComment", QStringLiteral("<script><!-- a <b> </script><p>mysite.example<script><!--><scriptx></script>y")},
        PageCase{"DoubleEscapeEndsAtItsEndTag", QStringLiteral("<script><!--<script>x</script>y--><</script>mysite.example<script><!--<script>-->--></script>z")},
        PageCase{"FormattingClosedInTheWrongOrder", QStringLiteral("<p align=center><small><i>Last modified <a href=/x>today</a> UTC </small></i></p><p>mysite.example")},
        PageCase{"LinkClosedWithItsParent", QStringLiteral("<p><b><a href=//mysite.example>x</b></a>y")},
        PageCase{"HeadEndTagFirst", QStringLiteral("<?xml version=\"1.0\"?>\n</head>\n<body>\n<p>mysite.example")},
        PageCase{"UnknownEndTagClosesAnyUnknownElement", QStringLiteral("<x-a>a</x-b>mysite.example<p><x-c>c<span>s</x-d>mysite.example</p><x-e><span>e</x-e>f")},
        PageCase{"UnknownEndTagAfterAHeadElement", QStringLiteral("<html>\n<head>\n<teLit>lintian</ti___>\n<body>\nmysite.example")},
        PageCase{"SelfClosingSvg", QStringLiteral("<p>a<svg class=\"x\"/>mysite.example<svg><path/></svg>b</p>")},
        PageCase{"SvgInACell", QStringLiteral("<table><tr><td><svg viewBox=\"0 0 1 1\"><use href=\"#mysite.example\"/></svg></td></tr></table>")},
        PageCase{"SelectInACell", QStringLiteral("<table><tr><td><select><option>a<option>mysite.example</select></td><td>b</td></tr></table>")},
        PageCase{"CaptionWithBlocks", QStringLiteral("<table><caption><p>mysite.example</caption><tr><td>x</table>")},
        PageCase{"RowEndsWithTheTable", QStringLiteral("<table><tbody><tr><td>a</td></tr></tbody></table><table><thead><tr><th>h</thead><tbody><tr><td>mysite.example</table>")},
        PageCase{"ColumnsThenRows", QStringLiteral("<table><colgroup span=2><tr><td>mysite.example</td></tr></table>")},
        PageCase{"TextareaWithMarkup", QStringLiteral("<textarea><p>mysite.example</p></textarea><p>after")},
        PageCase{"PreAfterAParagraph", QStringLiteral("<p>a<pre>\n\nmysite.example</pre>")},
        PageCase{"IframeFallback", QStringLiteral("<iframe src=x><p>mysite.example</iframe><p>b")},
        PageCase{"ButtonWithABlock", QStringLiteral("<button><div>mysite.example</div></button>")},
        PageCase{"EndTagsWithNothingOpen", QStringLiteral("<div>a</div></div></section></ul></li></h3></pre></button></object>mysite.example<p>b</dd></p>")},
        PageCase{"EndTagsPastAScope", QStringLiteral("<div><table><tr><td>a</div>mysite.example</td></tr></table></div><ul><li><ol><li>x</ol></li></ul>")},
        PageCase{"LineBreakEndTag", QStringLiteral("<p>Used by: <a href=x>y</a><br></br class=mysite.example>See also<b>b</b></BR></p><table><tr><td>c</br>mysite.example</td></tr></table>")},
        PageCase{"TableInAParagraphOfAPlainDoctype", QStringLiteral("<!DOCTYPE html>\n<p>a<table><tr><td>mysite.example</table>b</p>")},
        PageCase{"TableInAParagraphWithoutDoctype", QStringLiteral("<p>a<table><tr><td>mysite.example</table>b</p><p>c</p>")},
        PageCase{"TableEndTagsOutsideATable", QStringLiteral("<dl><dt>a</td>\n<dd>b</tr></tbody></table></caption></colgroup></col></th><p>mysite.example</thead></p></dl>")},
        PageCase{"ListItemInAPre", QStringLiteral("<ul><pre>\n<li>mysite.example\n</li><li>b</li></pre></ul><dl><dd><form><dt>x</form></dl><ol><li><button><li>y</button></ol>")},
        PageCase{"LayoutTableWithForms", QStringLiteral("<table><tr><td><form><select><option>1</select><button>Add</button></form></td><td><ul><li>a<li>mysite.example</ul></td></tr></table>")}),
    CaseName);

class DeclinesTest : public testing::TestWithParam<PageCase>
{
};

// Markup whose tree the fast reader does not model goes to the parser, and the analysis is
// still the parser's.
TEST_P(DeclinesTest, LeavesThePageToTheParser)
{
    const PageCase &c = GetParam();
    EXPECT_FALSE(ReadBy(Pass::Fast, PageAnalysis::ToUtf8(c.page)));
    ExpectReadersAgree(c.page, Site);
}

INSTANTIATE_TEST_SUITE_P(
    Tricky, DeclinesTest,
    testing::Values(
        PageCase{"NulCharacter", QStringLiteral("<p>a\0b mysite.example</p>")},
        PageCase{"Plaintext", QStringLiteral("<plaintext>mysite.example")},
        PageCase{"Cdata", QStringLiteral("<p><![CDATA[mysite.example]]></p>")},
        PageCase{"Template", QStringLiteral("<template><a href=//mysite.example>x</a></template>")},
        PageCase{"Frameset", QStringLiteral("<frameset><frame src=//mysite.example></frameset>")},
        PageCase{"Table", QStringLiteral("<table><tr>mysite.example<td>x</table>")},
        PageCase{"TableCell", QStringLiteral("<td>mysite.example</td>")},
        PageCase{"Image", QStringLiteral("<image src=//mysite.example>")},
        PageCase{"SecondHtmlTag", QStringLiteral("<p>x</p><html data-x=mysite.example>")},
        PageCase{"SecondBodyTag", QStringLiteral("<body><p>x</p><body class=mysite.example>")},
        PageCase{"ReferenceInRel", QStringLiteral("<a rel=\"no&#102;ollow\" href=//mysite.example>x</a>")},
        PageCase{"ReferenceInMetaContent", QStringLiteral("<meta name=robots content=\"no&#105;ndex\"><p>mysite.example")},
        PageCase{"UnquotedReference", QStringLiteral("<a href=&amp;mysite.example>x</a>")},
        PageCase{"MisnestedFormattingReopened", QStringLiteral("<p><b><i>x</b>mysite.example</i></p>")},
        PageCase{"MisnestedFormattingOverABlock", QStringLiteral("<b><div>x</b>mysite.example</div>")},
        PageCase{"MisnestedFormatting", QStringLiteral("<b><i>x</b>mysite.example</i>")},
        PageCase{"NobrInNobr", QStringLiteral("<nobr>a<nobr>mysite.example</nobr>b</nobr>")},
        PageCase{"FormattingClosedByABlock", QStringLiteral("<div><b>x</div>mysite.example")},
        PageCase{"LinkInALink", QStringLiteral("<a href=/a>x<a href=//mysite.example>y</a></a>")},
        PageCase{"ThreeAlikeFormatting", QStringLiteral("<b><b><b>mysite.example</b></b></b>")},
        PageCase{"TagCutOff", QStringLiteral("<p>x</p><a href=\"//mysite.example\"")},
        PageCase{"CommentCutOff", QStringLiteral("<p>x</p><!-- mysite.example")},
        PageCase{"ScriptCutOff", QStringLiteral("<script>mysite.example")},
        PageCase{"ControlCharacterInName", QStringLiteral("<x-a\x0b data=mysite.example>")},
        PageCase{"ControlCharacterInAttributeName", QStringLiteral("<p>a<img s\x10rc=mysite.example alt=b>c</p>")},
        PageCase{"RepeatedAttributeWithoutValue", QStringLiteral("<a href=\"q\" href content=mysite.example>x</a>")},
        PageCase{"RobotsContentNotAscii", QStringLiteral("<meta name=robots content=\"noindex\u0085\"><p>mysite.example")},
        PageCase{"NotAsciiAttributeName", QStringLiteral("<p dätä=mysite.example>")},
        PageCase{"EmptyEndTag", QStringLiteral("<p>a</>mysite.example")},
        PageCase{"HeadElementAfterTheHead", QStringLiteral("<head></head><meta name=robots content=noindex><p>mysite.example")},
        PageCase{"SvgHtmlInAForeignObject", QStringLiteral("<svg><foreignObject><p>mysite.example</p></foreignObject></svg>")},
        PageCase{"SvgBrokenOutOfByAParagraph", QStringLiteral("<svg><g><p>mysite.example</p></g></svg>")},
        PageCase{"SvgCdata", QStringLiteral("<svg><text><![CDATA[mysite.example]]></text></svg>")},
        PageCase{"SvgInATableRow", QStringLiteral("<table><tr><svg><a href=//mysite.example>x</a></svg></table>")},
        PageCase{"MathEndTagWithAnAttribute", QStringLiteral("<math><mi>x</mi/svg>mysite.example</math>z")},
        PageCase{"UnknownEndTagPastMain", QStringLiteral("<x-me><main>mysite.example</ma=\"q\">\n<p>b</main></x-me>")},
        PageCase{"SvgScriptEndTagOverTwoLines", QStringLiteral("<svg><script src=\"x.js\"></script\n> mysite.example</svg>")},
        PageCase{"FormInAForm", QStringLiteral("<form id=a><form id=mysite.example>x</form>y</form>z")},
        PageCase{"TextInATable", QStringLiteral("<table><tr><td>a</td>mysite.example</tr></table>")},
        PageCase{"FormInATable", QStringLiteral("<table><form><tr><td>mysite.example</td></tr></form></table>")},
        PageCase{"TableInAParagraphOfAnOldDoctype", QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\"><p>a<table><tr><td>mysite.example</table>")},
        PageCase{"TableInAParagraphOfALegacyDoctype", QStringLiteral("<!DOCTYPE html SYSTEM \"about:legacy-compat\"><p>a<table><tr><td>mysite.example</table>")},
        PageCase{"OtherTagInASelect", QStringLiteral("<select><option>a<b>mysite.example</b></select>")},
        PageCase{"LineBreakEndTagReopensFormatting", QStringLiteral("<p><b><i>x</b></br>mysite.example</i></p>")},
        PageCase{"ListItemPastMain", QStringLiteral("<ul><li>a<main><li>mysite.example</main></ul>")},
        PageCase{"ListItemPastASpan", QStringLiteral("<ul><li>a<span><li>mysite.example</span></ul>")},
        PageCase{"DeepNesting", QStringLiteral("<div>").repeated(300) + QStringLiteral("mysite.example")}),
    CaseName);

// The parser's ways with the extent of a place, which the fast reader follows.
struct ExtentCase {
    const char *name;
    QString page;
    qsizetype index; // of the place looked at, in page order
    std::size_t begin;
    std::size_t end;
    PageAnalysis::Context context;
    QString element;
};

void PrintTo(const ExtentCase &c, std::ostream *out)
{
    *out << c.name;
}

class ExtentTest : public testing::TestWithParam<ExtentCase>
{
};

TEST_P(ExtentTest, PlacesAsTheParserDoes)
{
    const ExtentCase &c = GetParam();
    const QByteArray bytes = PageAnalysis::ToUtf8(c.page);
    for (const Pass pass : {Pass::Fast, Pass::Tree}) {
        const auto reading = ReadBy(pass, bytes);
        ASSERT_TRUE(reading);
        ASSERT_LT(c.index, qsizetype(reading->places.size()));
        const PageAnalysis::Place &place = reading->places[std::size_t(c.index)];
        EXPECT_EQ(place.begin, c.begin);
        EXPECT_EQ(place.end, c.end);
        EXPECT_EQ(place.context, c.context);
        EXPECT_EQ(place.element, c.element);
    }
}

using PageAnalysis::Context;

INSTANTIATE_TEST_SUITE_P(
    Quirks, ExtentTest,
    testing::Values(
        // Tags the tree builder ignores do not end a text node.
        ExtentCase{"TextRunsOverTheBodyEndTag", QStringLiteral("<p>a</p>x</body>y"), 1, 8, 17,
                   Context::VisibleText, "body"},
        // CR LF is one character, which starts at the LF.
        ExtentCase{"TextStartsAtTheLineFeed", QStringLiteral("<p>\r\nx</p>"), 0, 4, 6,
                   Context::VisibleText, "p"},
        // An attribute without a value is placed on its name.
        ExtentCase{"AttributeWithoutValue", QStringLiteral("<a href=/x download>y</a>"), 1, 11, 19,
                   Context::Attribute, "a"},
        ExtentCase{"QuotesBelongToTheValue", QStringLiteral("<img alt='x y'>"), 0, 9, 14,
                   Context::Attribute, "img"},
        // Blanks between the head and the body belong to the html element.
        ExtentCase{"BlanksAfterTheHead", QStringLiteral("<head></head> \n<body>"), 0, 13, 15,
                   Context::VisibleText, "html"},
        ExtentCase{"EmptyComment", QStringLiteral("<p>a<!-->b"), 1, 4, 9, Context::Comment, ""},
        ExtentCase{"BogusComment", QStringLiteral("<p>a</ b>c"), 1, 4, 9, Context::Comment, ""}),
    [](const testing::TestParamInfo<ExtentCase> &info) { return std::string(info.param.name); });

// The guarded parse is what explicit limits are for.
TEST(FastPass, ExplicitLimitsGoToTheParser)
{
    PageAnalysis::Limits limits;
    limits.parseMemory = 4096;
    const QString page = QStringLiteral("<p>filler</p>").repeated(1000) + QStringLiteral("<a href=//mysite.example>x</a>");
    EXPECT_FALSE(PageAnalysis::AnalyseBy(Pass::Fast, page, Site, {}, limits));
    EXPECT_TRUE(PageAnalysis::Analyse(page, Site, {}, limits).gaveUp);
}


// The construct the reader stopped at, as the benchmarks count declined pages by it.
struct DeclineCase {
    const char *name;
    QByteArray page;
    const char *construct;
};

void PrintTo(const DeclineCase &c, std::ostream *out)
{
    *out << c.name;
}

class DeclinedTest : public testing::TestWithParam<DeclineCase>
{
};

TEST_P(DeclinedTest, NamesTheConstruct)
{
    const DeclineCase &c = GetParam();
    PageAnalysis::PageFacts facts;
    PageAnalysis::FastPass reader(c.page.constData(), std::size_t(c.page.size()));
    ASSERT_FALSE(reader.Read(facts));
    EXPECT_EQ(reader.Declined(), c.construct);
}

INSTANTIATE_TEST_SUITE_P(
    Constructs, DeclinedTest,
    testing::Values(DeclineCase{"StartTag", "<p>a<FRAMESET rows=2>", "<frameset>"},
                    DeclineCase{"EndTagWithDigits", "<div><h3><a name=x/>y</h3>", "</h3>"},
                    DeclineCase{"BreakOutOfSvg", "<svg><g><P>x", "<p>"},
                    DeclineCase{"Nul", QByteArray("<p>a\0b</p>", 10), "NUL"},
                    DeclineCase{"CommentCutOff", "<p>a<!-- b", "<!"},
                    DeclineCase{"TextInATable", "<table>x</table>", "text"}),
    [](const testing::TestParamInfo<DeclineCase> &info) { return std::string(info.param.name); });

} // namespace
