#include "CommandLine.h"

#include "AppInfo.h"
#include "OptionHelp.h"

#include <QCommandLineParser>

#include <cstdio>

namespace CommandLine {

namespace {

constexpr char ProgramName[] = "tallyweave";

const QList<QCommandLineOption> &Definitions()
{
    static const QList<QCommandLineOption> definitions{
            {{"h", "help"}, "show this text and exit"},
            {"version", "show the version and exit"},
            {"partners", "open with the Partners window, showing the partners whose links were lost or no longer "
                         "count"},
    };
    return definitions;
}

QString helpText()
{
    return OptionHelp::Synopsis(QStringLiteral("Usage: %1").arg(QLatin1StringView(ProgramName)), Definitions())
            + QStringLiteral("\n"
                             "Opens the Tallyweave window: your list of link-exchange partners, and a check\n"
                             "of whether each partner's page still carries your link. Qt's own options, such\n"
                             "as -platform or -style, are passed on to Qt.\n"
                             "\n"
                             "Options:\n")
            + OptionHelp::List(Definitions())
            + QStringLiteral("\n"
                             "For checks from a terminal or a daily job: tallyweave-check --help, and its\n"
                             "manual page, man tallyweave-check.\n");
}

// Qt's arguments are unknown here and no fault.
void parse(QCommandLineParser &parser, const QStringList &arguments)
{
    // Qt's options are single-dash words: -stylesheet must not read as -s -t -y ... -h.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(Definitions());
    parser.parse(arguments);
}

void print(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
}

} // namespace

std::optional<int> Answer(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parse(parser, arguments);
    if (parser.isSet(QStringLiteral("help"))) {
        print(helpText());
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        print(QStringLiteral("%1 %2.%3.%4\n")
                      .arg(QLatin1StringView(ProgramName))
                      .arg(AppInfo::Major)
                      .arg(AppInfo::Minor)
                      .arg(AppInfo::Revision));
        return 0;
    }
    return std::nullopt;
}

bool OpensPartners(const QStringList &arguments)
{
    QCommandLineParser parser;
    parse(parser, arguments);
    return parser.isSet(QStringLiteral("partners"));
}

} // namespace CommandLine
