// The cost of the page analysis on pages shaped like real ones, against the plain search that
// the verdict needs anyway. Throughput is in bytes of the page as UTF-8 (as served).
//   bench_page_analysis [benchmark flags]
//   bench_page_analysis --pages LIST [--rounds R]      (R 0: the shares alone)
//   bench_page_analysis --compare FILE
//   bench_page_analysis --write-templates DIR N
//   bench_page_analysis --verdicts LIST [--term TERM]
// The third form prints what each reader finds on one page (read as the fetcher decodes it),
// place by place, marking the first place where they differ. The fourth form writes N pages of each of the partner-site templates (bench/corpus) to DIR,
// as UTF-8 files named SHAPE-SEED.html, each with a link to the term; such a folder can be
// listed for the second form or served by bench/scan/run.sh --pages.
// The second form reads the pages named in LIST (one path a line; "-" for standard input, as
// bench/corpus/real-pages.sh prints them), places a link with the term before each one's
// </body>, and prints the fast reader's share of the pages and of their bytes, what it declined
// by the construct it stopped at, and the analysis' throughput in processor time, by the fast
// reader with the parser where it declines and by the parser alone; a page that came as UTF-8 is
// analysed in its bytes, any other in its decoded text, as the checker does. The last form reads the
// pages of LIST the same way and prints one line for each: its path, where the term (the
// partner link's address unless TERM is given) is, the reasons its match is hollow, and the
// details of those reasons, tab-separated; each page's address is its file:// URL. Two builds'
// lines are compared by bench/corpus/compare-verdicts.sh.

#include "AnalysisPass.h"
#include "CodePage.h"
#include "FastPass.h"
#include "PageAnalysis.h"
#include "PageFacts.h"
#include "PartnerPages.h"
#include "SourceBytes.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QUrl>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace {

const QString Term = QStringLiteral("http://www.mysite.example/");
const QString ScanTerm = QStringLiteral("www.mysite.example");

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

// Either: the fast reader, and the parser where it declines (what Analyse does); Tree: the
// parser alone (what Analyse did before the fast reader).
void Analyse(benchmark::State &state, PageAnalysis::Pass pass)
{
    const QString &page = Page(state.range(0));
    for (auto _ : state) {
        const auto result = PageAnalysis::AnalyseBy(pass, page, Term);
        if (!result || result->context != PageAnalysis::Context::CleanLinkHref)
            state.SkipWithError("the page's link was not found");
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * page.toUtf8().size());
}

// Pages shaped like those of the scan benchmark (bench/scan/run.sh): 2 to 60 KiB of head,
// navigation, paragraphs, a partner block in one of several kinds, and a footer.
const QList<QString> &ScanPages()
{
    static const QList<QString> pages = [] {
        const QStringList words = QStringLiteral(
            "link partner exchange directory resource garden travel recipe review guide "
            "community forum article archive season market local history photo gallery "
            "service quality support contact about friends network useful reading blog")
                                      .split(u' ');
        QRandomGenerator random(20240607);
        const auto word = [&] { return words[random.bounded(int(words.size()))]; };
        QList<QString> made;
        for (int i = 1; i <= 200; ++i) {
            QString page = QStringLiteral(
                "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                "<title>Partner page %1</title>\n<link rel=\"stylesheet\" href=\"/style.css\">\n"
                "</head>\n<body>\n<nav><ul>\n").arg(i);
            for (int k = 1; k <= 12; ++k)
                page += QStringLiteral("<li><a href=\"/p/%1.html\">%2 %3</a></li>\n")
                            .arg((i * 31 + k) % 1000 + 1, 5, 10, QChar(u'0'))
                            .arg(word(), word());
            page += QStringLiteral("</ul></nav>\n<main>\n<h1>Café %1 and %2</h1>\n").arg(word(), word());
            const qsizetype target = 2048 + random.bounded(59392);
            for (qsizetype size = 0; size < target;) {
                QString paragraph = QStringLiteral("<p>");
                for (int k = 0; k < 60; ++k)
                    paragraph += (random.bounded(100) < 3 ? QStringLiteral("résumé") : word())
                        + (random.bounded(100) < 8 ? QStringLiteral(". ") : QStringLiteral(" "));
                paragraph += QStringLiteral("</p>\n");
                page += paragraph;
                size += paragraph.size();
            }
            page += QStringLiteral("</main>\n<aside class=\"partners\"><h2>Our partners</h2>\n");
            switch (i % 20) {
            case 7:
                page += QStringLiteral("<p>No links this season.</p>\n");
                break;
            case 13:
                page += QStringLiteral("<p><a href=\"https://%1/\" rel=\"nofollow\">A good %2</a></p>\n").arg(ScanTerm, word());
                break;
            case 17:
                page += QStringLiteral("<!-- <p><a href=\"https://%1/\">A good %2</a></p> -->\n").arg(ScanTerm, word());
                break;
            default:
                page += QStringLiteral("<p><a href=\"https://%1/\">A good %2</a></p>\n").arg(ScanTerm, word());
            }
            page += QStringLiteral("</aside>\n<footer>&copy; 2024 partner %1</footer>\n</body>\n</html>\n").arg(i);
            made.append(page);
        }
        return made;
    }();
    return pages;
}

void AnalyseScanPages(benchmark::State &state, PageAnalysis::Pass pass)
{
    const QList<QString> &pages = ScanPages();
    qint64 bytes = 0;
    int answered = 0;
    for (const QString &page : pages) {
        bytes += PageAnalysis::ToUtf8(page).size();
        answered += PageAnalysis::ReadBy(PageAnalysis::Pass::Fast, PageAnalysis::ToUtf8(page)) ? 1 : 0;
    }
    for (auto _ : state)
        for (const QString &page : pages)
            benchmark::DoNotOptimize(PageAnalysis::AnalyseBy(pass, page, ScanTerm));
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["fast_share"] = double(answered) / double(pages.size());
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

BENCHMARK_CAPTURE(Analyse, Either, PageAnalysis::Pass::Either)
    ->Arg(100 * 1024)
    ->Arg(2 * 1024 * 1024)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Analyse, Tree, PageAnalysis::Pass::Tree)
    ->Arg(100 * 1024)
    ->Arg(2 * 1024 * 1024)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(AnalyseScanPages, Either, PageAnalysis::Pass::Either)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(AnalyseScanPages, Tree, PageAnalysis::Pass::Tree)->Unit(benchmark::kMillisecond);
BENCHMARK(AnalyseNotFound)->Arg(100 * 1024)->Arg(2 * 1024 * 1024)->Unit(benchmark::kMillisecond);

double ProcessSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

constexpr double MiB = 1024.0 * 1024.0;
const QString PagesTerm = QStringLiteral("https://www.tallyweave-partner.example/links.html");

// The page with a partner link to the term before its last </body>, or at its end.
QString WithPartnerLink(const QByteArray &bytes)
{
    QString page = CodePage::Decode(bytes);
    const QString link = QStringLiteral("<p><a href=\"%1\">Our partner</a></p>\n").arg(PagesTerm);
    const qsizetype body = page.lastIndexOf(QStringLiteral("</body"), -1, Qt::CaseInsensitive);
    page.insert(body < 0 ? page.size() : body, link);
    return page;
}

QString AddressOf(const QString &path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

bool ReadList(const char *list, QStringList &paths)
{
    QFile listFile;
    const bool fromStdin = std::strcmp(list, "-") == 0;
    const bool opened = fromStdin ? listFile.open(stdin, QIODevice::ReadOnly)
                                  : (listFile.setFileName(QString::fromLocal8Bit(list)), listFile.open(QIODevice::ReadOnly));
    if (!opened) {
        std::fprintf(stderr, "cannot read the list %s\n", list);
        return false;
    }
    QTextStream lines(&listFile);
    for (QString path; lines.readLineInto(&path);)
        if (!path.isEmpty())
            paths.append(path);
    return true;
}

int Verdicts(const char *list, const QString &term)
{
    QStringList paths;
    if (!ReadList(list, paths))
        return 1;
    for (const QString &path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "skipped, cannot read: %s\n", qPrintable(path));
            continue;
        }
        const PageAnalysis::Analysis analysis =
            PageAnalysis::Analyse(WithPartnerLink(file.readAll()), term, {}, {}, AddressOf(path));
        QStringList words;
        QStringList details;
        for (const PageAnalysis::HollowReason &reason : analysis.reasons) {
            words.append(QString::fromLatin1(PageAnalysis::HollowWord(reason.why)));
            details.append(reason.detail.simplified());
        }
        std::printf("%s\t%s\t%s\t%s\n", qPrintable(path), qPrintable(analysis.contextName),
                    qPrintable(words.join(u',')), qPrintable(details.join(u" | ")));
    }
    return 0;
}

int ReportPages(const char *list, int rounds)
{
    QStringList listed;
    if (!ReadList(list, listed))
        return 1;
    std::vector<QString> pages;
    std::vector<QByteArray> utf8;
    // Whether the page came as UTF-8, which is then analysed in its bytes, as the checker does.
    std::vector<bool> served;
    QStringList paths;
    for (const QString &path : listed) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "skipped, cannot read: %s\n", qPrintable(path));
            continue;
        }
        paths.append(path);
        const QByteArray bytes = file.readAll();
        served.push_back(CodePage::IsValidUtf8(bytes));
        pages.push_back(WithPartnerLink(bytes));
        utf8.push_back(PageAnalysis::ToUtf8(pages.back()));
    }
    if (pages.empty()) {
        std::fprintf(stderr, "no pages in %s\n", list);
        return 1;
    }

    struct Tally {
        int pages = 0;
        double bytes = 0;
        QString example;
    };
    Tally all;
    Tally fast;
    std::map<std::string, Tally> declined;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const QByteArray &page = utf8[i];
        all.pages += 1;
        all.bytes += double(page.size());
        PageAnalysis::PageFacts facts;
        PageAnalysis::FastPass reader(page.constData(), std::size_t(page.size()));
        std::string why;
        if (page.size() > (qsizetype(16) << 20))
            why = "over 16 MiB";
        else if (!reader.Read(facts))
            why = reader.Declined();
        Tally &tally = why.empty() ? fast : declined[why];
        tally.pages += 1;
        tally.bytes += double(page.size());
        if (tally.example.isEmpty())
            tally.example = paths[qsizetype(i)];
    }

    std::vector<QString> addresses;
    for (const QString &path : paths)
        addresses.push_back(AddressOf(path));
    // Processor time of the best of the rounds, per reader.
    const auto measure = [&](PageAnalysis::Pass pass) {
        double best = 0;
        for (int round = 0; round < rounds; ++round) {
            const double start = ProcessSeconds();
            for (std::size_t i = 0; i < pages.size(); ++i) {
                // Told from its bytes, as the checker tells it.
                const auto result = served[i] && CodePage::IsValidUtf8(utf8[i])
                    ? PageAnalysis::AnalyseUtf8By(pass, utf8[i], PagesTerm, {}, {}, addresses[i])
                                              : PageAnalysis::AnalyseBy(pass, pages[i], PagesTerm, {}, {}, addresses[i]);
                benchmark::DoNotOptimize(result);
            }
            const double spent = ProcessSeconds() - start;
            best = round == 0 ? spent : std::min(best, spent);
        }
        return all.bytes / MiB / std::max(best, 1e-9);
    };

    std::printf("%d pages, %.1f MiB as UTF-8, a link to %s placed before each </body>; %d came as UTF-8\n",
                all.pages, all.bytes / MiB, qPrintable(PagesTerm), int(std::count(served.cbegin(), served.cend(), true)));
    std::printf("fast reader answers %d pages (%.1f%%) holding %.1f MiB (%.1f%% of the bytes)\n", fast.pages,
                100.0 * fast.pages / all.pages, fast.bytes / MiB, 100.0 * fast.bytes / all.bytes);
    std::vector<std::pair<std::string, Tally>> byConstruct(declined.begin(), declined.end());
    std::sort(byConstruct.begin(), byConstruct.end(),
              [](const auto &a, const auto &b) { return a.second.bytes > b.second.bytes; });
    std::printf("declined, by the construct it stopped at (pages, share of pages, share of bytes, a page):\n");
    for (const auto &[construct, tally] : byConstruct)
        std::printf("  %-24s %6d %6.1f%% %6.1f%%  %s\n", construct.c_str(), tally.pages, 100.0 * tally.pages / all.pages,
                    100.0 * tally.bytes / all.bytes, qPrintable(tally.example));
    if (rounds > 0)
        std::printf("analysis, processor time, best of %d: fast reader and parser %.1f MiB/s, parser alone %.1f MiB/s\n",
                    rounds, measure(PageAnalysis::Pass::Either), measure(PageAnalysis::Pass::Tree));
    return 0;
}

} // namespace

int Compare(const char *path)
{
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return 1;
    }
    const QByteArray page = PageAnalysis::ToUtf8(CodePage::Decode(file.readAll()));
    const auto fast = PageAnalysis::ReadBy(PageAnalysis::Pass::Fast, page);
    const auto tree = PageAnalysis::ReadBy(PageAnalysis::Pass::Tree, page);
    const auto print = [&](const char *who, const PageAnalysis::Place &place, bool differs) {
        QByteArray text = page.mid(qsizetype(place.begin), qsizetype(std::min<std::size_t>(place.end - place.begin, 60)));
        text.replace('\n', "\\n");
        std::printf("%s%s [%zu,%zu) %s <%s> %s |%s|\n", differs ? "> " : "  ", who, place.begin, place.end,
                    qPrintable(PageAnalysis::ContextName(place.context)), qPrintable(place.element),
                    qPrintable(place.attribute), text.constData());
    };
    if (!fast || !tree) {
        std::printf("fast reader: %s; parser: %s\n", fast ? "answers" : "declines", tree ? "answers" : "gives up");
        return 0;
    }
    bool differed = false;
    for (std::size_t i = 0; i < std::max(fast->places.size(), tree->places.size()); ++i) {
        const bool both = i < fast->places.size() && i < tree->places.size();
        const bool differs = !both || !(fast->places[i] == tree->places[i]);
        if (i < fast->places.size())
            print("fast", fast->places[i], differs && !differed);
        if (i < tree->places.size() && differs)
            print("tree", tree->places[i], !differed);
        differed = differed || differs;
    }
    std::printf("%s\n", differed || !(*fast == *tree) ? "the readers differ" : "the readers agree");
    return 0;
}

int WriteTemplates(const char *dir, int count)
{
    for (const PartnerPages::Shape shape : PartnerPages::Shapes()) {
        for (int seed = 0; seed < count; ++seed) {
            QFile file(QStringLiteral("%1/%2-%3.html").arg(QString::fromLocal8Bit(dir), QLatin1String(PartnerPages::Name(shape))).arg(seed, 4, 10, QChar(u'0')));
            const QByteArray page = PartnerPages::Make(shape, unsigned(seed), PagesTerm).toUtf8();
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(page) != page.size()) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
                return 1;
            }
        }
    }
    return 0;
}

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--verdicts") == 0 && i + 1 < argc) {
            QString term = PagesTerm;
            for (int k = i + 2; k + 1 < argc; ++k)
                if (std::strcmp(argv[k], "--term") == 0)
                    term = QString::fromLocal8Bit(argv[k + 1]);
            return Verdicts(argv[i + 1], term);
        }
        if (std::strcmp(argv[i], "--compare") == 0 && i + 1 < argc)
            return Compare(argv[i + 1]);
        if (std::strcmp(argv[i], "--write-templates") == 0 && i + 2 < argc)
            return WriteTemplates(argv[i + 1], std::max(1, std::atoi(argv[i + 2])));
        if (std::strcmp(argv[i], "--pages") == 0 && i + 1 < argc) {
            int rounds = 3;
            for (int k = 1; k + 1 < argc; ++k)
                if (std::strcmp(argv[k], "--rounds") == 0)
                    rounds = std::max(0, std::atoi(argv[k + 1]));
            return ReportPages(argv[i + 1], rounds);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
