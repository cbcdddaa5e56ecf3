// The cost of the page analysis on pages shaped like real ones, against the plain search that
// the verdict needs anyway. Throughput is in bytes of the page as UTF-8 (as served).

#include "PageAnalysis.h"

#include <benchmark/benchmark.h>

#include <QString>

namespace {

const QString Term = QStringLiteral("http://www.mysite.example/");

// A magazine-like page: a head with meta tags, styles and scripts, a navigation bar, article
// blocks with paragraphs, inline links (some nofollow), images and comments, and a footer with
// the partner links, the term among them. About a tenth of it is script and style.
QString MakePage(qsizetype size)
{
    QString page = QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
        "<title>Garden &amp; Home – Weekly</title>\n"
        "<meta name=\"description\" content=\"Notes on gardens, homes and café culture\">\n"
        "<meta name=\"robots\" content=\"index, follow\">\n"
        "<link rel=\"stylesheet\" href=\"/css/site.css\">\n");
    page += QStringLiteral("<style>\n")
        + QStringLiteral("  .card{margin:0 auto;padding:1em 2em;border:1px solid #ddd}\n").repeated(60)
        + QStringLiteral("</style>\n<script>\n")
        + QStringLiteral("  window.dataLayer=window.dataLayer||[];function gtag(){dataLayer.push(arguments);}\n").repeated(40)
        + QStringLiteral("</script>\n</head>\n<body class=\"home\">\n<nav><ul>\n");
    for (int i = 0; i < 30; ++i)
        page += QStringLiteral("<li><a href=\"/section/%1\" class=\"nav-link\">Section %1</a></li>\n").arg(i);
    page += QStringLiteral("</ul></nav>\n<!-- http://www.mysite.example/ was here before -->\n");

    const QString article = QStringLiteral(
        "<article class=\"card\" id=\"post-%1\">\n"
        "  <h2><a href=\"/posts/%1\">Spring planting, part %1</a></h2>\n"
        "  <img src=\"/img/%1.jpg\" alt=\"Tulips in the front garden\" width=\"640\" height=\"480\">\n"
        "  <p>The soil was still cold when we started. Crème fraîche, coffee and a long "
        "afternoon — <em>that</em> is how the beds came together. Read more in "
        "<a href=\"https://partner-%1.example/guide\" rel=\"nofollow noopener\">the guide</a> "
        "or ask the <a href=\"/forum/%1\">forum</a>.</p>\n"
        "  <p>Weeds, slugs &amp; snails: a short list of what worked for us, and what did not. "
        "Water early, mulch twice, and keep notes.<br>Next week: tomatoes.</p>\n"
        "  <!-- ad slot %1 -->\n"
        "  <div class=\"share\"><a href=\"https://social.example/share?u=/posts/%1\" "
        "rel=\"ugc\">Share</a></div>\n"
        "</article>\n");
    const QString footer = QStringLiteral(
        "<footer><h3>Friends</h3><ul>\n"
        "<li><a href=\"http://friend-one.example/\">Friend one</a></li>\n"
        "<li><a href=\"http://www.mysite.example/\" title=\"My Site\">My Site</a></li>\n"
        "<li><a href=\"http://friend-two.example/\" rel=\"sponsored\">Friend two</a></li>\n"
        "</ul></footer>\n<script src=\"/js/site.js\" async></script>\n</body></html>\n");
    for (int i = 0; page.size() + footer.size() < size; ++i)
        page += article.arg(i);
    return page + footer;
}

const QString &Page(qsizetype size)
{
    static const QString small = MakePage(100 * 1024);
    static const QString large = MakePage(2 * 1024 * 1024);
    return size == 2 * 1024 * 1024 ? large : small;
}

void Analyse(benchmark::State &state)
{
    const QString &page = Page(state.range(0));
    for (auto _ : state) {
        const auto result = PageAnalysis::Analyse(page, Term);
        if (result.context != PageAnalysis::Context::CleanLinkHref)
            state.SkipWithError("the page's link was not found");
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * page.toUtf8().size());
}

// A page without the term is searched and not parsed: the cost of the verdict's search alone.
void AnalyseNotFound(benchmark::State &state)
{
    const QString &page = Page(state.range(0));
    const QString absent = QStringLiteral("http://absent.example/");
    for (auto _ : state)
        benchmark::DoNotOptimize(PageAnalysis::Analyse(page, absent));
    state.SetBytesProcessed(state.iterations() * page.toUtf8().size());
}

BENCHMARK(Analyse)->Arg(100 * 1024)->Arg(2 * 1024 * 1024)->Unit(benchmark::kMillisecond);
BENCHMARK(AnalyseNotFound)->Arg(100 * 1024)->Arg(2 * 1024 * 1024)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
