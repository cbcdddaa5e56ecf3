#include "CheckOptions.h"

#include "AppInfo.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

namespace CheckOptions {

namespace {

struct OptionRule {
    const char *name;
    bool takesValue;
};

constexpr OptionRule Rules[] = {
    {"--sites", true},      {"--site", true},          {"--jobs", true},        {"--format", true},
    {"--output", true},     {"--timeout", true},       {"--connect-timeout", true},
    {"--max-time", true},   {"--user-agent", true},    {"--max-redirects", true},
    {"--retry", true},      {"--quiet", false},        {"--strict", false},     {"--help", false},
    {"--version", false},   {"--no-history", false},   {"--changes", false},    {"--history", false},
    {"--notify", false},    {"--confirm-after", true}, {"--down-after", true},
};

// The short forms, each standing for one long option.
constexpr std::pair<char, const char *> ShortForms[] = {
    {'j', "--jobs"}, {'o', "--output"}, {'f', "--format"}, {'q', "--quiet"}, {'h', "--help"},
};

const OptionRule *findRule(QStringView name)
{
    for (const OptionRule &rule : Rules)
        if (name == QLatin1StringView(rule.name))
            return &rule;
    return nullptr;
}

// The long option a short form such as -j or -j4 stands for; nullptr when it is none.
const char *longFormOf(const QString &argument)
{
    if (argument.size() < 2 || argument[0] != u'-' || argument[1] == u'-')
        return nullptr;
    for (const auto &[letter, longName] : ShortForms)
        if (argument[1] == QLatin1Char(letter) && (argument.size() == 2 || findRule(QString::fromLatin1(longName))->takesValue))
            return longName;
    return nullptr;
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
    } else if (name == u"--user-agent") {
        // Sent as a header line: a line break would start a header of the user's making.
        if (std::any_of(value.begin(), value.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }))
            return QStringLiteral("--user-agent may not hold a control character");
        options.limits.userAgent = value.toUtf8();
    } else if (name == u"--max-redirects") {
        return takeCount(options.limits.maxRedirects, name, value, 0, MostRedirects);
    } else if (name == u"--retry") {
        return takeCount(options.retries, name, value, 0, MaxRetries);
    } else if (name == u"--quiet") {
        options.quiet = true;
    } else if (name == u"--strict") {
        options.strict = true;
    } else if (name == u"--help") {
        options.help = true;
    } else if (name == u"--version") {
        options.version = true;
    } else if (name == u"--no-history") {
        options.noHistory = true;
    } else if (name == u"--changes") {
        options.changes = true;
    } else if (name == u"--history") {
        options.history = true;
    } else if (name == u"--notify") {
        options.notify = true;
    } else if (name == u"--confirm-after") {
        return takeCount(options.confirmAfter, name, value, 0, MaxConfirmAfter);
    } else if (name == u"--down-after") {
        return takeCount(options.downAfter, name, value, 1, MaxDownAfter);
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
    if (options.history && (options.changes || options.notify))
        return QStringLiteral("--history prints what was recorded and checks nothing; it takes no --changes or --notify");
    return {};
}

} // namespace

Parsed Parse(const QStringList &arguments)
{
    Parsed out;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        QString name = argument;
        std::optional<QString> inlineValue;
        if (const char *longName = longFormOf(argument)) {
            name = QLatin1StringView(longName);
            // -j4 as well as -j 4.
            if (argument.size() > 2)
                inlineValue = argument.mid(2);
        } else if (argument.startsWith(u"--") && argument.contains(u'=')) {
            const qsizetype equals = argument.indexOf(u'=');
            name = argument.left(equals);
            inlineValue = argument.mid(equals + 1);
        }

        const OptionRule *rule = findRule(name);
        if (!rule) {
            out.error = argument.startsWith(u'-')
                    ? QStringLiteral("unknown option %1").arg(quoted(argument))
                    : QStringLiteral("unexpected argument %1").arg(quoted(argument));
            return out;
        }
        QString value;
        if (rule->takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                out.error = QStringLiteral("%1 needs a value").arg(name);
                return out;
            }
        } else if (inlineValue) {
            out.error = QStringLiteral("%1 takes no value").arg(name);
            return out;
        }
        out.error = apply(out.options, name, value);
        if (!out.error.isEmpty())
            return out;
    }
    out.error = conflicts(out.options);
    return out;
}

bool NeedsAnalysis(const Options &options)
{
    // --changes must tell OK from hollow OK, which only the analysis can.
    return options.strict || options.changes || options.format != Format::Text;
}

QStringList OptionNames()
{
    QStringList names;
    for (const OptionRule &rule : Rules)
        names << QLatin1StringView(rule.name);
    return names;
}

QString HelpText()
{
    return QStringLiteral(
            "Usage: tallyweave-check [--sites FILE|-] [--site NAME] [-j|--jobs N]\n"
            "                        [-f|--format text|json|csv] [-o|--output FILE]\n"
            "                        [--timeout S] [--connect-timeout S] [--max-time S]\n"
            "                        [--user-agent TEXT] [--max-redirects N] [--retry N]\n"
            "                        [--strict] [-q|--quiet] [--changes] [--notify]\n"
            "                        [--confirm-after SECONDS] [--down-after N] [--no-history]\n"
            "       tallyweave-check --history [--sites FILE] [--site NAME] [-f|--format FORMAT]\n"
            "                        [-o|--output FILE]\n"
            "\n"
            "Checks whether each partner site of a Tallyweave sites file still carries your\n"
            "link: downloads each site's page and searches its source, without regard to\n"
            "letter case, for the site's search term, with the same fetch rules, verdicts\n"
            "and status texts as the Tallyweave window, without the window and its pauses.\n"
            "The sites file is only read, never written.\n"
            "\n"
            "Options:\n"
            "  --sites FILE     the sites file to check; - reads it from standard input\n"
            "                   (default: the window's list: Sites.dqx beside the program\n"
            "                   in a portable folder, else in $XDG_DATA_HOME/tallyweave)\n"
            "  --site NAME      check only the site of that name (each of them when several\n"
            "                   share it); a name the file does not hold is an error\n"
            "  -j, --jobs N     at most N downloads at once, 1 to 256 (default 16), and\n"
            "                   never more than 2 at once to any one host\n"
            "  -f, --format FORMAT  text (default), json or csv\n"
            "  -o, --output FILE    write the report to FILE instead of standard output,\n"
            "                   whole or not at all (an existing FILE is replaced only\n"
            "                   when the whole report is written)\n"
            "  --timeout S      give up a download when no byte arrived for S seconds\n"
            "                   (default 30)\n"
            "  --connect-timeout S  give up a connection not made within S seconds\n"
            "                   (default 60)\n"
            "  --max-time S     give up a download that takes S seconds in all\n"
            "                   (default 120); S may have a fraction, e.g. 0.5\n"
            "  --user-agent TEXT  the agent named to the servers (default \"vb wininet\",\n"
            "                   as the window)\n"
            "  --max-redirects N  follow at most N redirects, 0 to 100 (default 10)\n"
            "  --retry N        try again up to N times (0 to 20, default 0) when a download\n"
            "                   fails in a way that may pass: a time-out, a broken\n"
            "                   connection, status 429 or 503; the pause is 1 s, then 2, 4,\n"
            "                   ... seconds, or what the server's Retry-After asks (at most\n"
            "                   300 s)\n"
            "  --strict         a hollow match (see below) does not count as verified, in\n"
            "                   the closing count, the exit status and json/csv \"verified\";\n"
            "                   the site's line and status stay \"  --> OK\"\n"
            "  -q, --quiet      no progress bar (it is drawn on standard error, and only\n"
            "                   when standard error is a terminal), and no reasons on the\n"
            "                   text lines\n"
            "  --changes        report only the sites whose state changed since their\n"
            "                   previous check (lost, down, back, changed, new), and\n"
            "                   nothing at all when none did; text lines then end in a tab\n"
            "                   and e.g. \"lost: ok -> not_found since 2026-12-07T06:00:00Z\"\n"
            "  --notify         when links are lost, one desktop notice names the partners\n"
            "  --confirm-after SECONDS\n"
            "                   check a site that looks lost or down once more after this\n"
            "                   pause, at the end of the run; one that the second check\n"
            "                   does not confirm is unchanged, with a note (default 30,\n"
            "                   0 for no second check)\n"
            "  --down-after N   a page that was OK and cannot be opened is \"down\"; it\n"
            "                   counts as lost when it stays down N checks in a row\n"
            "                   (default 3)\n"
            "  --no-history     record nothing\n"
            "  --history        print each site's timeline (state, from, to) from the\n"
            "                   history and check nothing; --site picks one site\n"
            "  -h, --help       show this text and exit\n"
            "  --version        show the version and exit\n"
            "\n"
            "Output, on standard output and always in the order of the sites file:\n"
            "  text  one line per site: its name, a tab and the window's status text\n"
            "        (\"  --> OK\", \"  --> Search Term Not Found\" or \"  --> Page Not Found\"),\n"
            "        and, unless --quiet, why the page failed in brackets after it, e.g.\n"
            "        \"  --> Page Not Found  [timed out]\" or \"  --> OK  [HTTP 404]\";\n"
            "        then the closing line \"Finished . . .N out of M verified\", where M\n"
            "        is the number of sites checked and N is left out when it is 0.\n"
            "        A page that opens but is empty gets no line, as in the window.\n"
            "  json  one document: \"schema\" (1, the version of this layout), \"sites\",\n"
            "        an array with one object per site (name, url, status, http_status,\n"
            "        final_url, bytes, ms, match_offset, truncated, error, match_context,\n"
            "        occurrences, rel, robots, noindex, nofollow, hollow, verified,\n"
            "        previous_status, status_since, change, note), and \"summary\"\n"
            "        (sites_file, checked, strict, verified, not_verified, ok, not_found,\n"
            "        page_not_found, empty, hollow, ms).\n"
            "  csv   RFC 4180: a header row with the same field names, one row per site;\n"
            "        rel is space-separated and robots \"; \"-separated there; a text that\n"
            "        begins with = + - @, a tab or a carriage return gets a leading ' so that\n"
            "        a spreadsheet shows it as text.\n"
            "  Control characters in names, addresses and reasons are shown as \\xHH or\n"
            "  \\uHHHH in text and csv (json escapes them its own way).\n"
            "  status is ok, not_found (term not in the page), page_not_found (the page\n"
            "  could not be opened) or empty (it opened but delivered nothing);\n"
            "  match_offset is where the term begins in the page text, in characters;\n"
            "  a value that does not apply is null in json and an empty field in csv.\n"
            "\n"
            "Where the match sits (json, csv and --strict parse each page that is ok):\n"
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
            "                 with an error status (400 or more)\n"
            "  verified       true for ok, and with --strict only when not hollow\n"
            "  These are null unless the site is ok.\n"
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
            "                   changed (e.g. ok to hollow_ok)\n"
            "  note             e.g. a first finding that the second check did not confirm\n"
            "  These are null without history. Telling ok from hollow_ok needs the\n"
            "  analysis: plain text runs without --changes keep the kind of OK a site had.\n"
            "\n"
            "Exit status:\n"
            "  0  every site checked was verified (its term was found; with --strict, and\n"
            "     the match is not hollow)\n"
            "  1  at least one was not: term not found, page not found or empty page, or\n"
            "     with --strict a hollow match\n"
            "  2  bad usage, a sites file that cannot be read or is damaged (reported on\n"
            "     standard error, the file left as it is), an unknown --site name, or a\n"
            "     report that could not be written\n");
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
