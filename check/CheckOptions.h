#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The command line of tallyweave-check.
namespace CheckOptions {

inline constexpr char ProgramName[] = "tallyweave-check";
inline constexpr int DefaultJobs = 16;
// More would only queue inside libcurl and cost descriptors.
inline constexpr int MaxJobs = 256;
// Transfers to one host at once, so partners are not hammered.
inline constexpr int PerHost = 2;

enum class Format { Text, Json, Csv };

struct Options {
    std::optional<QString> sitesFile; // none: the sites file beside the program
    std::optional<QString> site;      // none: every site
    int jobs = DefaultJobs;
    Format format = Format::Text;
    bool quiet = false;
    bool strict = false; // a hollow match is not verified
    bool help = false;
    bool version = false;
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
