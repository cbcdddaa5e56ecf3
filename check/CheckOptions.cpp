#include "CheckOptions.h"

#include "AppInfo.h"
#include "OptionHelp.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QHash>

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

namespace CheckOptions {

namespace {

// Every option: its names, its value's name, its help. The help text, the option names and the
// parsing all come from here.
const QList<QCommandLineOption> &Definitions()
{
    static const QList<QCommandLineOption> definitions{
            {"sites",
             "the sites file to check; - reads it from standard input (default: the window's list: Sites.dqx "
             "beside the program in a portable folder, else in $XDG_DATA_HOME/tallyweave)",
             "FILE"},
            {"site", "check only the site of that name (each of them when several share it); a name the file does "
                       "not hold is an error",
             "NAME"},
            {{"j", "jobs"}, "at most N pages downloading at once, 1 to 256 (default 16), and never more than 2 at once "
                            "to any one host; each host's robots.txt is fetched beside them",
             "N"},
            {{"f", "format"}, "text (default), json or csv", "FORMAT"},
            {{"o", "output"}, "write the report to FILE instead of standard output, whole or not at all (an existing "
                              "FILE is replaced only when the whole report is written)",
             "FILE"},
            {"timeout", "give up a download when no byte arrived for S seconds (default 30)", "S"},
            {"connect-timeout", "give up a connection not made within S seconds (default 60)", "S"},
            {"max-time", "give up a download that takes S seconds in all (default 120); S may have a fraction, "
                           "e.g. 0.5",
             "S"},
            {"user-agent", "the agent named to the servers (default \"vb wininet\", as the window)", "TEXT"},
            {"max-redirects", "follow at most N redirects, 0 to 100 (default 10)", "N"},
            {"retry", "try again up to N times (0 to 20, default 0) when a download fails in a way that may pass: "
                        "a time-out, a broken connection, status 429 or 503; the pause is 1 s, then 2, 4, ... "
                        "seconds, or what the server's Retry-After asks (at most 300 s)",
             "N"},
            {"strict", "a hollow match (see below) does not count as verified, in the closing count, the exit "
                         "status and json/csv \"verified\"; its text line and status stay those of an OK site"},
            {"crawler-check", "fetch each page that holds the term once more naming a search engine's crawler "
                                "(--crawler-agent); when that copy lacks the term, or holds it only in a weaker place "
                                "(e.g. only in a comment), the match is hollow; implies the analysis of json and csv"},
            {"crawler-agent", "the agent --crawler-check names (default Googlebot's: \"Mozilla/5.0 (compatible; "
                                "Googlebot/2.1; +http://www.google.com/bot.html)\")",
             "TEXT"},
            {{"q", "quiet"}, "no progress bar (it is drawn on standard error, and only when standard error is a "
                             "terminal), and no reasons on the text lines"},
            {"no-analysis", "do not look where each match sits in its page: the raw check, a little faster; no "
                              "hollow reasons on the text lines, the analysis fields are null, and the history "
                              "cannot tell OK from hollow OK; not with --strict"},
            {"changes", "report only the sites whose state changed since their previous check (lost, down, back, "
                          "changed, new), and nothing at all when none did; text lines then end in a tab and e.g. "
                          "\"lost: ok -> not_found since 2026-12-07T06:00:00Z\""},
            {"notify", "when links are lost or weakened (OK before, hollow now), one desktop notice names the "
                         "partners"},
            {"confirm-after", "check a site that looks lost or down once more after this pause, at the end of the "
                                "run; one that the second check does not confirm is unchanged, with a note (default "
                                "30, 0 for no second check)",
             "SECONDS"},
            {"down-after", "a page that was OK and cannot be opened is \"down\"; it counts as lost when it stays "
                             "down N checks in a row; kept in the history for the checks that follow (default: the value "
                             "kept there, else 3)",
             "N"},
            {"render", "look once more at pages as a browser shows them once their scripts have run, in headless "
                       "Chromium (see Rendering below): missing (what --render alone means) renders the pages that "
                       "opened without the term, all also those whose source carries it (default: render nothing)",
             "WHICH"},
            {"render-jobs", "at most N pages rendering at once, 1 to 16 (default 2)", "N"},
            {"render-timeout", "end a page's browser after S seconds, whatever it is doing (default 20)", "S"},
            {"render-memory", "end a page's browser when its processes together hold more than M MiB, 64 to 65536 "
                              "(default 1024)",
             "M"},
            {"browser", "the browser to render with (default: chromium or chromium-browser on PATH)", "PATH"},
            {"no-history", "record nothing"},
            {"history", "print each site's timeline (state, from, to) from the history and check nothing; --site "
                          "picks one site"},
            {{"h", "help"}, "show this text and exit"},
            {"version", "show the version and exit"},
    };
    return definitions;
}

// What the options do not tell: the reports, the history and the exit status.
constexpr char Details[] =
        "Output, on standard output and always in the order of the sites file:\n"
        "  text  one line per site: its name, a tab and the window's status text\n"
        "        (\"  --> OK\", \"  --> Search Term Not Found\" or \"  --> Page Not Found\"),\n"
        "        and, unless --quiet, why the page failed in brackets after it, e.g.\n"
        "        \"  --> Page Not Found  [timed out]\" or \"  --> OK  [HTTP 404]\",\n"
        "        and why a match does not count, e.g. \"[hollow: nofollow link]\";\n"
        "        then the closing line \"Finished . . .N out of M verified\", where M\n"
        "        is the number of sites checked and N is left out when it is 0.\n"
        "        A page that opens but is empty gets no line, as in the window.\n"
        "  json  one document: \"schema\" (1, the version of this layout), \"sites\",\n"
        "        an array with one object per site (name, url, status, http_status,\n"
        "        final_url, bytes, ms, match_offset, truncated, error, match_context,\n"
        "        occurrences, rel, robots, noindex, nofollow, hollow, verified, rendered,\n"
        "        previous_status, status_since, change, note, hollow_reasons,\n"
        "        link_text, link_href, canonical), and \"summary\"\n"
        "        (sites_file, checked, strict, verified, not_verified, ok, not_found,\n"
        "        page_not_found, empty, hollow, ms).\n"
        "  csv   RFC 4180: a header row with the same field names, one row per site;\n"
        "        rel and hollow_reasons are space-separated and robots \"; \"-separated\n"
        "        there; a text that begins with = + - @, a tab or a carriage return\n"
        "        gets a leading ' so that a spreadsheet shows it as text.\n"
        "  Control characters in names, addresses and reasons are shown as \\xHH or\n"
        "  \\uHHHH in text and csv (json escapes them its own way).\n"
        "  status is ok, not_found (term not in the page), page_not_found (the page\n"
        "  could not be opened) or empty (it opened but delivered nothing);\n"
        "  match_offset is where the term begins in the page text, in characters;\n"
        "  a value that does not apply is null in json and an empty field in csv.\n"
        "\n"
        "Where the match sits (each page that is ok is parsed, unless --no-analysis):\n"
        "  match_context  the best place the term occurs at: link-href, flagged-link-href\n"
        "                 (a link marked nofollow, sponsored or ugc), link-text, text,\n"
        "                 attribute, script (script, style or noscript), comment, markup,\n"
        "                 or unknown when the page is too large or too deeply nested\n"
        "  occurrences    how many places the term occurs at\n"
        "  rel            the rel values of that link\n"
        "  robots         what the page tells search engines, e.g. \"noindex (meta\n"
        "                 robots)\" or \"nofollow (X-Robots-Tag)\"\n"
        "  noindex, nofollow  the page asks not to be indexed, its links not followed\n"
        "  hollow         search engines will not count the match: it is only in a\n"
        "                 comment, a script, style or noscript, or a flagged link, or\n"
        "                 the page says noindex or nofollow, or the page answered\n"
        "                 with an error status (400 or more), and more: see below\n"
        "  hollow_reasons why, strongest first: comment, script, flagged-link,\n"
        "                 noindex, nofollow, error-status, robots-txt, canonical,\n"
        "                 hidden, crawler-view, script-removed, script-drawn,\n"
        "                 empty-term (the manual page explains each)\n"
        "  link_text      the text of the link holding the match (an image's alt)\n"
        "  link_href      where that link goes, as an absolute address\n"
        "  canonical      the address the page names as its canonical one\n"
        "  verified       true for ok, and with --strict only when not hollow\n"
        "  rendered       true when the verdict came from the rendered page\n"
        "  These are null unless the site is ok (verified and rendered excepted),\n"
        "  and null where there is none.\n"
        "\n"
        "Rendering (--render): many pages are built by scripts, and a link that a\n"
        "script adds after the page loads is not in its source, where the plain check\n"
        "looks. With --render such a page is loaded once more in a headless Chromium,\n"
        "given up to 5 s of the page's own time to settle, and its document as the\n"
        "browser then holds it is searched and analysed as a source is. A term found\n"
        "only there is OK with the hollow reason script-drawn: some search engines and\n"
        "all older crawlers do not see it. With --render=all a term that is in the\n"
        "source but that the scripts remove, hide or weaken is hollow with the reason\n"
        "script-removed. The browser loads the page's own scripts, pictures and other\n"
        "resources from the partner's site, as a visitor's would; each page costs a\n"
        "browser start (about a second) and a few hundred MiB while it renders. It runs\n"
        "in a fresh temporary profile that is removed afterwards, with downloads\n"
        "refused. A page that cannot be rendered (no answer within --render-timeout,\n"
        "over --render-memory, a crash) keeps the verdict of its source, with\n"
        "\"render failed: ...\" in its reason and error; a page whose source lacks the\n"
        "term and could not be rendered counts in the history as a page that failed,\n"
        "not as a lost link. --render needs Debian's chromium package, or --browser.\n"
        "\n"
        "History: every run is recorded (unless --no-history) in an SQLite file beside\n"
        "the sites file and named after it (Sites.dqx -> Sites.history.db). A site is\n"
        "known by its address and search term; renaming it keeps its history.\n"
        "  previous_status  its state at its previous check: ok, hollow_ok, not_found\n"
        "                   or page_not_found (an empty page counts as one that could\n"
        "                   not be opened); null for a new site\n"
        "  status_since     since when it has been in its present state (UTC)\n"
        "  change           new, unchanged, lost (was OK; the term is gone, or the\n"
        "                   page stayed down --down-after checks), down (was OK; the\n"
        "                   page cannot be opened), back (was not OK, now OK) or\n"
        "                   changed (e.g. ok to hollow_ok, or the link's text,\n"
        "                   target, rel or reasons changed while its state did not)\n"
        "  note             what changed about the link, e.g. link text \"Garden\n"
        "                   Shop\" -> \"click here\", now nofollow; or a first finding\n"
        "                   that the second check did not confirm\n"
        "  These are null without history. Telling ok from hollow_ok needs the\n"
        "  analysis: runs with --no-analysis keep the kind of OK a site had.\n"
        "\n"
        "Exit status:\n"
        "  0  every site checked was verified (its term was found; with --strict, and\n"
        "     the match is not hollow)\n"
        "  1  at least one was not: term not found, page not found or empty page, or\n"
        "     with --strict a hollow match\n"
        "  2  bad usage, a sites file that cannot be read or is damaged (reported on\n"
        "     standard error, the file left as it is), an unknown --site name, a\n"
        "     report that could not be written, or --render without a browser\n";

const QCommandLineOption *definitionOf(const QString &name)
{
    for (const QCommandLineOption &option : Definitions())
        if (option.names().contains(name))
            return &option;
    return nullptr;
}

// "--jobs" for "j" as well as for "jobs".
QString longName(const QString &name)
{
    return QStringLiteral("--") + definitionOf(name)->names().constLast();
}

QString quoted(const QString &text)
{
    return u'\u201c' + text + u'\u201d';
}

// Empty when the value was taken; else the complaint.
QString takeSeconds(std::chrono::milliseconds &into, QStringView name, const QString &value)
{
    bool ok = false;
    const double seconds = value.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > MostSeconds)
        return QStringLiteral("%1 takes a number of seconds above 0 and at most %2, not %3")
                .arg(name)
                .arg(MostSeconds)
                .arg(quoted(value));
    into = std::chrono::milliseconds(std::max<qint64>(1, std::llround(seconds * 1000)));
    return {};
}

QString takeCount(auto &into, QStringView name, const QString &value, long least, long most)
{
    bool ok = false;
    const long count = value.toLong(&ok);
    if (!ok || count < least || count > most)
        return QStringLiteral("%1 takes a whole number from %2 to %3, not %4").arg(name).arg(least).arg(most).arg(quoted(value));
    into = static_cast<std::remove_reference_t<decltype(into)>>(count);
    return {};
}

// Takes the value of an option that has one.
QString apply(Options &options, QStringView name, const QString &value)
{
    if (name == u"--sites") {
        if (value.isEmpty())
            return QStringLiteral("--sites needs a file name");
        options.sitesFile = value;
    } else if (name == u"--site") {
        if (options.site)
            return QStringLiteral("--site may be given only once");
        options.site = value;
    } else if (name == u"--jobs") {
        return takeCount(options.jobs, name, value, 1, MaxJobs);
    } else if (name == u"--format") {
        if (value == u"text")
            options.format = Format::Text;
        else if (value == u"json")
            options.format = Format::Json;
        else if (value == u"csv")
            options.format = Format::Csv;
        else
            return QStringLiteral("--format takes text, json or csv, not %1").arg(quoted(value));
    } else if (name == u"--output") {
        if (value.isEmpty())
            return QStringLiteral("--output needs a file name");
        options.output = value;
    } else if (name == u"--timeout") {
        return takeSeconds(options.limits.idleTimeout, name, value);
    } else if (name == u"--connect-timeout") {
        return takeSeconds(options.limits.connectTimeout, name, value);
    } else if (name == u"--max-time") {
        return takeSeconds(options.limits.totalTimeout, name, value);
    } else if (name == u"--user-agent" || name == u"--crawler-agent") {
        // Sent as a header line: a line break would start a header of the user's making.
        if (std::any_of(value.begin(), value.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }))
            return QStringLiteral("%1 may not hold a control character").arg(name);
        // An empty agent would turn the crawler's copy off unseen.
        if (name == u"--crawler-agent" && value.trimmed().isEmpty())
            return QStringLiteral("--crawler-agent needs an agent");
        (name == u"--user-agent" ? options.limits.userAgent : options.crawlerAgent) = value.toUtf8();
    } else if (name == u"--max-redirects") {
        return takeCount(options.limits.maxRedirects, name, value, 0, MostRedirects);
    } else if (name == u"--retry") {
        return takeCount(options.retries, name, value, 0, MaxRetries);
    } else if (name == u"--confirm-after") {
        return takeCount(options.confirmAfter, name, value, 0, MaxConfirmAfter);
    } else if (name == u"--down-after") {
        return takeCount(options.downAfter, name, value, 1, MaxDownAfter);
    } else if (name == u"--render") {
        if (value == u"missing")
            options.render = RenderedVerdict::Mode::Missing;
        else if (value == u"all")
            options.render = RenderedVerdict::Mode::All;
        else
            return QStringLiteral("--render takes missing or all, not %1").arg(quoted(value));
    } else if (name == u"--render-jobs") {
        return takeCount(options.renderJobs, name, value, 1, MaxRenderJobs);
    } else if (name == u"--render-timeout") {
        return takeSeconds(options.renderTimeout, name, value);
    } else if (name == u"--render-memory") {
        return takeCount(options.renderMemoryMiB, name, value, LeastRenderMemoryMiB, MostRenderMemoryMiB);
    } else if (name == u"--browser") {
        if (value.isEmpty())
            return QStringLiteral("--browser needs a program");
        options.browser = value;
    }
    return {};
}

// Empty when the options go together.
QString conflicts(const Options &options)
{
    if (options.noHistory) {
        for (const auto &[given, name] : {std::pair{options.changes, "--changes"}, {options.history, "--history"},
                                          {options.notify, "--notify"}})
            if (given)
                return QStringLiteral("%1 needs the history, which --no-history turns off").arg(QLatin1StringView(name));
    }
    if (options.noAnalysis) {
        // Each of these judges by where the match sits.
        for (const auto &[given, name] : {std::pair{options.strict, "--strict"}, {options.crawlerCheck, "--crawler-check"},
                                          {options.render != RenderedVerdict::Mode::Off, "--render"}})
            if (given)
                return QStringLiteral("%1 judges by the analysis, which --no-analysis turns off").arg(QLatin1StringView(name));
    }
    if (options.history && (options.changes || options.notify))
        return QStringLiteral("--history prints what was recorded and checks nothing; it takes no --changes or --notify");
    return {};
}

} // namespace

// Qt's parser tells what went wrong, but not where first. Parsing the arguments one more at a
// time finds the first one at fault, the message names it as the user typed it, and each value
// is judged as soon as it is complete, so a bad value before a bad option is the one told of.
Parsed Parse(const QStringList &arguments)
{
    Parsed out;
    QCommandLineParser parser;
    // -j4 for -j 4, as well as -qj4 for -q -j 4.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.addOptions(Definitions());
    QStringList given{QString::fromLatin1(ProgramName)};
    parser.parse(given);
    bool awaitingValue = false;
    qsizetype judged = 0;            // of parser.optionNames()
    QHash<QString, qsizetype> taken; // values judged, per option
    for (qsizetype at = 0; at < arguments.size(); ++at) {
        QString argument = arguments[at];
        // Qt's parser has no option whose value may be left out: --render alone is missing.
        if (!awaitingValue && argument == u"--render"
            && (at + 1 == arguments.size() || (arguments[at + 1] != u"missing" && arguments[at + 1] != u"all")))
            argument = QStringLiteral("--render=missing");
        // Qt's parser takes "--" for the end of the options and "--j" for "-j"; this program
        // has no arguments to follow the options, and only its long names take two dashes.
        if (!awaitingValue && argument.startsWith(u"--") && argument.section(u'=', 0, 0).size() <= 3) {
            out.error = QStringLiteral("unknown option %1").arg(quoted(argument));
            return out;
        }
        given << argument;
        const bool understood = parser.parse(given);
        if (!parser.unknownOptionNames().isEmpty()) {
            out.error = QStringLiteral("unknown option %1").arg(quoted(argument));
            return out;
        }
        if (!parser.positionalArguments().isEmpty()) {
            out.error = argument.startsWith(u'-') ? QStringLiteral("unknown option %1").arg(quoted(argument))
                                                  : QStringLiteral("unexpected argument %1").arg(quoted(argument));
            return out;
        }
        if (!understood) {
            awaitingValue = parser.parse(given + QStringList{QString()});
            if (!awaitingValue) {
                out.error = QStringLiteral("%1 takes no value").arg(longName(parser.optionNames().constLast()));
                return out;
            }
            continue;
        }
        awaitingValue = false;
        const QStringList found = parser.optionNames();
        for (; judged < found.size(); ++judged) {
            const QCommandLineOption &option = *definitionOf(found[judged]);
            if (option.valueName().isEmpty())
                continue;
            const QString name = longName(found[judged]);
            out.error = apply(out.options, name, parser.values(option).at(taken[name]++));
            if (!out.error.isEmpty())
                return out;
        }
    }
    if (awaitingValue) {
        out.error = QStringLiteral("%1 needs a value").arg(longName(parser.optionNames().constLast()));
        return out;
    }
    Options &options = out.options;
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    options.strict = parser.isSet(QStringLiteral("strict"));
    options.help = parser.isSet(QStringLiteral("help"));
    options.version = parser.isSet(QStringLiteral("version"));
    options.noHistory = parser.isSet(QStringLiteral("no-history"));
    options.noAnalysis = parser.isSet(QStringLiteral("no-analysis"));
    options.changes = parser.isSet(QStringLiteral("changes"));
    options.history = parser.isSet(QStringLiteral("history"));
    options.notify = parser.isSet(QStringLiteral("notify"));
    options.crawlerCheck = parser.isSet(QStringLiteral("crawler-check"));
    if (options.render == RenderedVerdict::Mode::Off)
        for (const char *name : {"render-jobs", "render-timeout", "render-memory", "browser"})
            if (parser.isSet(QLatin1StringView(name))) {
                out.error = QStringLiteral("--%1 goes with --render").arg(QLatin1StringView(name));
                return out;
            }
    out.error = conflicts(options);
    return out;
}

bool NeedsAnalysis(const Options &options)
{
    return !options.noAnalysis;
}

RenderStage::Settings Rendering(const Options &options)
{
    RenderStage::Settings rendering{options.render, options.renderJobs, {}, options.strict};
    if (options.render == RenderedVerdict::Mode::Off)
        return rendering;
    rendering.render.browser = PageRenderer::FindBrowser(options.browser.value_or(QString()));
    rendering.render.timeout = options.renderTimeout;
    rendering.render.memoryBudget = qint64(options.renderMemoryMiB) << 20;
    return rendering;
}

QString NoBrowser(const Options &options)
{
    const QString install = QStringLiteral("install the %1 package (apt-get install %1)").arg(QLatin1StringView(PageRenderer::BrowserPackage));
    if (options.browser)
        return QStringLiteral("--browser: %1 is not a program; name Chromium's, or %2").arg(quoted(*options.browser), install);
    return QStringLiteral("--render needs Chromium, which is not on PATH: %1, or name it with --browser").arg(install);
}

QStringList OptionNames()
{
    QStringList names;
    for (const QCommandLineOption &option : Definitions())
        names << QStringLiteral("--") + option.names().constLast();
    return names;
}

QString HelpText()
{
    static const QStringList notForChecking{"history", "help", "version"};
    static const QStringList forHistory{"sites", "site", "format", "output"};
    QList<QCommandLineOption> checking, history;
    for (const QCommandLineOption &option : Definitions()) {
        if (!notForChecking.contains(option.names().constLast()))
            checking << option;
        if (forHistory.contains(option.names().constLast()))
            history << option;
    }
    return OptionHelp::Synopsis(QStringLiteral("Usage: %1").arg(QLatin1StringView(ProgramName)), checking)
            + OptionHelp::Synopsis(QStringLiteral("       %1 --history").arg(QLatin1StringView(ProgramName)), history)
            + QStringLiteral(
                    "\n"
                    "Checks whether each partner site of a Tallyweave sites file still carries your\n"
                    "link: downloads each site's page and searches its source, without regard to\n"
                    "letter case, for the site's search term, with the same fetch rules, verdicts\n"
                    "and status texts as the Tallyweave window, without the window and its pauses.\n"
                    "The sites file is only read, never written.\n"
                    "\n"
                    "Options:\n")
            + OptionHelp::List(Definitions()) + QStringLiteral("\n") + QLatin1StringView(Details);
}

QString VersionText()
{
    return QStringLiteral("%1 %2.%3.%4\n")
            .arg(QLatin1StringView(ProgramName))
            .arg(AppInfo::Major)
            .arg(AppInfo::Minor)
            .arg(AppInfo::Revision);
}

} // namespace CheckOptions
