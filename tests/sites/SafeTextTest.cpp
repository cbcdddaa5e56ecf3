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
                TextCase{"LastC0", QStringLiteral("a\x1f"), QStringLiteral("a\\x1F")},
                TextCase{"FirstPrintable", QStringLiteral(" ~"), QStringLiteral(" ~")},
                TextCase{"FirstC1", QString(QChar(0x80)), QStringLiteral("\\u0080")},
                TextCase{"LastC1", QString(QChar(0x9f)), QStringLiteral("\\u009F")},
                TextCase{"AfterC1", QString(QChar(0xa0)) + QChar(0xa9), QString(QChar(0xa0)) + QChar(0xa9)},
                TextCase{"ArabicLetterMark", QString(QChar(0x061c)), QStringLiteral("\\u061C")},
                TextCase{"LeftToRightAndRightToLeftMarks", QString(QChar(0x200e)) + QChar(0x200f),
                         QStringLiteral("\\u200E\\u200F")},
                TextCase{"BeforeEmbeddings", QString(QChar(0x2029)), QString(QChar(0x2029))},
                TextCase{"FirstEmbedding", QString(QChar(0x202a)), QStringLiteral("\\u202A")},
                TextCase{"LastOverride", QString(QChar(0x202e)), QStringLiteral("\\u202E")},
                TextCase{"AfterOverrides", QString(QChar(0x202f)), QString(QChar(0x202f))},
                TextCase{"BeforeIsolates", QString(QChar(0x2065)), QString(QChar(0x2065))},
                TextCase{"FirstIsolate", QString(QChar(0x2066)), QStringLiteral("\\u2066")},
                TextCase{"PopDirectionalIsolate", QString(QChar(0x2069)), QStringLiteral("\\u2069")},
                TextCase{"AfterIsolates", QString(QChar(0x206a)), QString(QChar(0x206a))},
                TextCase{"BackslashIsDoubled", QStringLiteral("C:\\Sites"), QStringLiteral("C:\\\\Sites")},
                TextCase{"EscapeLookalikeIsNoEscape", QStringLiteral("\\x1B[2J"), QStringLiteral("\\\\x1B[2J")},
                TextCase{"LookalikeBesideARealEscape", QStringLiteral("\\x1B\x1b"), QStringLiteral("\\\\x1B\\x1B")},
                TextCase{"OtherLanguagesStay", QStringLiteral("Caf\u00e9 \u65e5\u672c"), QStringLiteral("Caf\u00e9 \u65e5\u672c")}),
        [](const auto &info) { return std::string(info.param.name); });

} // namespace
