// Help texts written from option definitions: where they wrap and where descriptions begin.
#include "OptionHelp.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(OptionHelp, SynopsisWrapsUnderTheFirstOption)
{
    const QList<QCommandLineOption> options{{{"a", "alpha"}, "", "N"},      {"bravo-bravo", "", "SECONDS"},
                                            {"charlie-charlie", ""},       {{"d", "delta"}, ""},
                                            {"echo-echo-echo", "", "TEXT"}, {"foxtrot", ""}};
    EXPECT_EQ(OptionHelp::Synopsis(QStringLiteral("Usage: program-name"), options).toStdString(),
              std::string("Usage: program-name [-a|--alpha N] [--bravo-bravo SECONDS] [--charlie-charlie]\n"
                          "                    [-d|--delta] [--echo-echo-echo TEXT] [--foxtrot]\n"));
}

TEST(OptionHelp, ListPutsEachDescriptionInOneColumn)
{
    const QList<QCommandLineOption> options{
            {{"j", "jobs"}, "at most N downloads at once, 1 to 256 (default 16), and never more than 2 at once to "
                            "any one host",
             "N"},
            {"confirm-after", "check once more after this pause", "SECONDS"},
            {"quiet", "no bar"},
    };
    EXPECT_EQ(OptionHelp::List(options).toStdString(),
              std::string("  -j, --jobs N         at most N downloads at once, 1 to 256 (default 16), and\n"
                          "                       never more than 2 at once to any one host\n"
                          "  --confirm-after SECONDS\n"
                          "                       check once more after this pause\n"
                          "  --quiet              no bar\n"));
}

// A word longer than a line stands alone on its line rather than being cut.
TEST(OptionHelp, LongWordsAreNotCut)
{
    const QString word(70, u'x');
    EXPECT_EQ(OptionHelp::List({{"path", "a " + word + " b", "P"}}).toStdString(),
              "  --path P             a\n                       " + word.toStdString() + "\n                       b\n");
}

} // namespace
