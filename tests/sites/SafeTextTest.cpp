// Untrusted text on its way to a terminal.
#include "VisibleText.h"

#include <gtest/gtest.h>

namespace {

struct TextCase {
    const char *name;
    QString in;
    QString out;
};

void PrintTo(const TextCase &c, std::ostream *out)
{
    *out << c.name;
}

class Visible : public testing::TestWithParam<TextCase> { };

TEST_P(Visible, ShowsEveryControlAndNothingElseChanges)
{
    EXPECT_EQ(VisibleText::Of(GetParam().in), GetParam().out);
    EXPECT_EQ(VisibleText::Of(GetParam().in.toStdString()), GetParam().out.toStdString());
}

INSTANTIATE_TEST_SUITE_P(
        Table, Visible,
        testing::Values(
                TextCase{"PlainName", QStringLiteral("Shop & Co."), QStringLiteral("Shop & Co.")},
                TextCase{"TitleSequence", QStringLiteral("\x1b]0;owned\x07"), QStringLiteral("\\x1B]0;owned\\x07")},
                TextCase{"ColourAndCursor", QStringLiteral("a\x1b[31m\x1b[2Jb"), QStringLiteral("a\\x1B[31m\\x1B[2Jb")},
                TextCase{"LineBreaksAndTab", QStringLiteral("a\r\nb\tc"), QStringLiteral("a\\x0D\\x0Ab\\x09c")},
                TextCase{"Delete", QStringLiteral("a\x7f"), QStringLiteral("a\\x7F")},
                TextCase{"C1Introducer", QString(QChar(0x9b)) + QStringLiteral("2J"), QStringLiteral("\\u009B2J")},
                TextCase{"BidiOverride", QString(QChar(0x202e)) + QStringLiteral("txt.exe"),
                         QStringLiteral("\\u202Etxt.exe")},
                TextCase{"OtherLanguagesStay", QStringLiteral("Caf\u00e9 \u65e5\u672c"), QStringLiteral("Caf\u00e9 \u65e5\u672c")}),
        [](const auto &info) { return std::string(info.param.name); });

} // namespace
