#pragma once

#include "CheckRun.h"
#include "GetSource.h"
#include "HistoryRecorder.h"

#include <QString>
#include <QStringList>

#include <optional>

// The command line of tallyweave-check.
namespace CheckOptions {

inline constexpr char ProgramName[] = "tallyweave-check";
inline constexpr int DefaultJobs = CheckRun::DefaultJobs;
// More would only queue inside libcurl and cost descriptors.
inline constexpr int MaxJobs = 256;
inline constexpr int PerHost = CheckRun::PerHost;
inline constexpr int MaxRetries = 20;
inline constexpr long MostRedirects = 100;
// A day: longer waits are a mistake in the unit, not a wish.
inline constexpr double MostSeconds = 86'400;
// `--sites -`: the list comes on standard input.
inline constexpr char StandardInput[] = "-";

inline constexpr int DefaultConfirmAfter = HistoryRecorder::DefaultConfirmAfter;
inline constexpr int MaxConfirmAfter = 3600;
inline constexpr int DefaultDownAfter = HistoryStore::DefaultDownAfter;
inline constexpr int MaxDownAfter = 1000;

enum class Format { Text, Json, Csv };

struct Options {
    std::optional<QString> sitesFile; // none: where the window keeps it (SitesLocation)
    std::optional<QString> output;    // none: standard output
    std::optional<QString> site;      // none: every site
    int jobs = DefaultJobs;
    Format format = Format::Text;
    bool quiet = false;
    bool strict = false; // a hollow match is not verified
    // The waits, the agent and the redirects of every download.
    GetSource::Limits limits;
    // Further tries for a failure that may pass (RetryRule).
    int retries = 0;
    bool help = false;
    bool version = false;
    bool noHistory = false;  // record nothing
    bool changes = false;    // report only the sites whose state changed
    bool history = false;    // print the timelines instead of checking
    bool notify = false;     // a desktop notice names the links lost
    int confirmAfter = DefaultConfirmAfter; // seconds before a lost or down site is checked again; 0: never
    // Checks in a row a page must fail before its link counts as lost; none: the value the
    // history holds from an earlier run, or DefaultDownAfter.
    std::optional<int> downAfter;
};

struct Parsed {
    Options options;
    // Empty when the command line was understood; else what is wrong with it.
    QString error;
};

// The arguments after the program name.
Parsed Parse(const QStringList &arguments);

// Whether each match must be placed in its page's markup: json and csv report where it sits,
// --strict counts by it. The text lines alone never need it.
bool NeedsAnalysis(const Options &options);

// The long options the program understands, for the help text and its tests.
QStringList OptionNames();

QString HelpText();
QString VersionText();

} // namespace CheckOptions
