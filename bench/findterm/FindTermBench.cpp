// The term search on large pages, next to the search done position by position as defined.
//   bench_findterm [benchmark flags]
//   bench_findterm --dump-page=FILE --dump-page-end=FILE --print-term
// The second form writes the 64 MiB pages the benchmark searches (term absent; term at the
// very end) and prints the term, so run.sh can time grep on the very same text.

#include "FindIt.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QChar>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

constexpr qsizetype MiB = 1024 * 1024;
// As real terms do, it holds i and s, which the dotless i and the long s upper-case to.
const QByteArray Term = "https://www.tallyweave-partner.example/links.html";

// Deterministic HTML-like ASCII: markup, links to many sites, and prose.
QByteArray HtmlPage(qsizetype size)
{
    static const char *const Words[] = {
        "links", "partner", "home", "about", "contact", "news", "archive", "gallery", "shop",
        "travel", "garden", "music", "recipes", "books", "photos", "family", "weather", "sports",
        "the", "and", "for", "with", "this", "our", "your", "page", "site", "more", "best", "free",
    };
    constexpr unsigned WordCount = sizeof Words / sizeof Words[0];
    quint32 state = 12345;
    auto next = [&](unsigned n) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    };

    QByteArray page;
    page.reserve(size + 512);
    page += "<!DOCTYPE html>\n<html><head><title>Links</title></head>\n<body>\n";
    while (page.size() < size) {
        switch (next(4)) {
        case 0:
            page += "<li><a href=\"http://www.";
            page += Words[next(WordCount)];
            page += QByteArray::number(next(1000));
            page += ".com/";
            page += Words[next(WordCount)];
            page += ".html\">";
            page += Words[next(WordCount)];
            page += ' ';
            page += Words[next(WordCount)];
            page += "</a></li>\n";
            break;
        case 1:
            page += "<div class=\"";
            page += Words[next(WordCount)];
            page += "\"><img src=\"images/";
            page += Words[next(WordCount)];
            page += ".gif\" width=\"88\" height=\"31\" alt=\"\"></div>\n";
            break;
        default:
            page += "<p>";
            for (unsigned i = 0, n = 6 + next(10); i < n; ++i) {
                page += Words[next(WordCount)];
                page += i + 1 < n ? " " : ".</p>\n";
            }
            break;
        }
    }
    page.truncate(size);
    return page;
}

QByteArray PageWithTermAtEnd(qsizetype size)
{
    QByteArray page = HtmlPage(size);
    const QByteArray term = Term.toUpper();
    page.replace(size - term.size(), term.size(), term);
    return page;
}

const QString &Page(qsizetype size, bool termAtEnd)
{
    if (size == 64 * MiB) {
        static const QString absent = QString::fromLatin1(HtmlPage(size));
        static const QString atEnd = QString::fromLatin1(PageWithTermAtEnd(size));
        return termAtEnd ? atEnd : absent;
    }
    static const QString small = QString::fromLatin1(HtmlPage(MiB));
    return small;
}

QString UpperUnits(const QString &text)
{
    QString upper(text.size(), Qt::Uninitialized);
    for (qsizetype k = 0; k < text.size(); ++k)
        upper[k] = QChar(static_cast<char16_t>(QChar::toUpper(char32_t(text[k].unicode()))));
    return upper;
}

// As written down: at each position, the piece as long as the term, both upper-cased, compared.
qsizetype ByDefinition(const QString &page, const QString &term)
{
    for (qsizetype p = 0; p < page.size(); ++p) {
        if (UpperUnits(page.mid(p, term.size())) == UpperUnits(term))
            return p;
    }
    return -1;
}

// The same comparison without the copies: what a careful direct implementation costs.
qsizetype ByDefinitionInPlace(QStringView page, QStringView term)
{
    for (qsizetype p = 0; p + term.size() <= page.size(); ++p) {
        qsizetype k = 0;
        while (k < term.size()
               && QChar::toUpper(char32_t(page[p + k].unicode()))
                      == QChar::toUpper(char32_t(term[k].unicode())))
            ++k;
        if (k == term.size())
            return p;
    }
    return -1;
}

template <typename Search>
void Run(benchmark::State &state, qsizetype size, bool termAtEnd, Search search)
{
    const QString &page = Page(size, termAtEnd);
    const QString term = QString::fromLatin1(Term);
    const qsizetype expected = termAtEnd ? page.size() - term.size() : -1;
    for (auto _ : state) {
        const qsizetype at = search(page, term);
        benchmark::DoNotOptimize(at);
        if (at != expected) {
            state.SkipWithError("wrong position");
            break;
        }
    }
    // One byte per character: the page as it came over the wire, as grep reads it.
    state.SetBytesProcessed(state.iterations() * size);
}

// The same pages undecoded, as the plain check searches them when they came whole; the Polish
// one holds two-byte characters whose lead bytes are those of the dotless i and the long s.
const QByteArray &Bytes(bool termAtEnd, bool polish)
{
    static const QByteArray absent = HtmlPage(64 * MiB);
    static const QByteArray atEnd = PageWithTermAtEnd(64 * MiB);
    static const QByteArray polishAbsent = [] {
        QByteArray page = HtmlPage(64 * MiB);
        const QByteArray word = "za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87 ";
        for (qsizetype at = 1000; at + word.size() < page.size(); at += 97)
            page.replace(at, word.size(), word);
        return page;
    }();
    return polish ? polishAbsent : termAtEnd ? atEnd : absent;
}

void RunBytes(benchmark::State &state, bool termAtEnd, bool polish)
{
    const QByteArray &page = Bytes(termAtEnd, polish);
    const QString term = QString::fromLatin1(Term);
    const qsizetype expected = termAtEnd ? page.size() - term.size() : -1;
    for (auto _ : state) {
        const std::optional<qsizetype> at = FindIt::FindInBytes(page, true, term);
        benchmark::DoNotOptimize(at);
        if (at != expected) {
            state.SkipWithError("wrong position");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * page.size());
}

void FindAbsent64(benchmark::State &state)
{
    Run(state, 64 * MiB, false, [](const QString &p, const QString &t) { return FindIt::Find(p, t); });
}
void FindAtEnd64(benchmark::State &state)
{
    Run(state, 64 * MiB, true, [](const QString &p, const QString &t) { return FindIt::Find(p, t); });
}
void FindAbsent1(benchmark::State &state)
{
    Run(state, MiB, false, [](const QString &p, const QString &t) { return FindIt::Find(p, t); });
}
void DefinitionAbsent1(benchmark::State &state)
{
    Run(state, MiB, false, ByDefinition);
}
void DefinitionInPlaceAbsent1(benchmark::State &state)
{
    Run(state, MiB, false, [](const QString &p, const QString &t) { return ByDefinitionInPlace(p, t); });
}

bool WriteFile(const char *path, const QByteArray &bytes)
{
    QFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

BENCHMARK(FindAbsent64)->Name("FindIt/absent/64MiB")->Unit(benchmark::kMillisecond);
BENCHMARK(FindAtEnd64)->Name("FindIt/at_end/64MiB")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunBytes, absent, false, false)->Name("FindInBytes/absent/64MiB")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunBytes, at_end, true, false)->Name("FindInBytes/at_end/64MiB")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunBytes, polish, false, true)->Name("FindInBytes/absent_polish/64MiB")->Unit(benchmark::kMillisecond);
BENCHMARK(FindAbsent1)->Name("FindIt/absent/1MiB")->Unit(benchmark::kMicrosecond);
BENCHMARK(DefinitionAbsent1)->Name("Definition/absent/1MiB")->Unit(benchmark::kMillisecond);
BENCHMARK(DefinitionInPlaceAbsent1)->Name("DefinitionInPlace/absent/1MiB")->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    bool dumped = false;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        bool ok = true;
        if (std::strncmp(arg, "--dump-page=", 12) == 0)
            ok = WriteFile(arg + 12, HtmlPage(64 * MiB));
        else if (std::strncmp(arg, "--dump-page-end=", 16) == 0)
            ok = WriteFile(arg + 16, PageWithTermAtEnd(64 * MiB));
        else if (std::strcmp(arg, "--print-term") == 0)
            std::printf("%s\n", Term.constData());
        else
            continue;
        if (!ok) {
            std::fprintf(stderr, "cannot write %s\n", std::strchr(arg, '=') + 1);
            return 1;
        }
        dumped = true;
    }
    if (dumped)
        return 0;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
