#include "ScanFixture.h"
#include "SourceBox.h"

#include <QImage>
#include <QScrollBar>

#include <ostream>

namespace {

// A page of `lines` lines of 64 characters each, their line breaks `lineEnd` included,
// followed by the link to my.example written as `found`.
QByteArray PageOfLines(int lines, const char *lineEnd, const char *found)
{
    const QByteArray line = "<p>" + QByteArray(61 - qstrlen(lineEnd), 'x') + lineEnd;
    return line.repeated(lines) + "<a href=\"http://" + found + "/\">us</a>";
}

struct LargePage {
    const char *name;
    int lines;
    const char *lineEnd;
    const char *found;
    qsizetype start; // where the box selects the match
};

void PrintTo(const LargePage &page, std::ostream *os)
{
    *os << page.name;
}

// The match is selected at its offset in the page as fetched: line breaks of either kind count
// as the characters they are, and the page's own letters are what is selected.
const LargePage LargePages[] = {
    {"ManyLines", 100000, "\n", "my.example", 6400016},
    {"WindowsLineBreaks", 100000, "\r\n", "my.example", 6400016},
    {"OneLine", 100000, "", "my.example", 6400016},
    {"TermInOtherLetters", 100000, "\n", "My.EXAMPLE", 6400016},
};

class PageBox : public Scan, public testing::WithParamInterface<LargePage>
{
};

TEST_P(PageBox, SelectsTheFoundTextAfterTheScanOfALargePage)
{
    const LargePage &page = GetParam();
    server.route(QStringLiteral("/large"), PageOfLines(page.lines, page.lineEnd, page.found));
    startWith({site("Large", server.url(QStringLiteral("/large")))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle(60000));
    EXPECT_EQ(items("lstResults"), QStringList{"Large\t  --> OK"});
    const auto *box = find<SourceBox>("txtSource");
    EXPECT_EQ(box->toPlainText().size(), 6400035);
    EXPECT_EQ(box->selectionStart(), page.start);
    EXPECT_EQ(box->selectionLength(), 10);
    EXPECT_EQ(box->selectedText(), QString::fromLatin1(page.found));
}

INSTANTIATE_TEST_SUITE_P(Pages, PageBox, testing::ValuesIn(LargePages),
                         [](const testing::TestParamInfo<LargePage> &info) { return info.param.name; });

// A page near the size limit, all on one line, is scanned to its end; its place of the match is
// not worked out, and the line says so.
TEST_F(Scan, ABigPageIsScannedToTheEnd)
{
    const QByteArray page = QByteArray(48 << 20, 'x') + "<a href=\"http://my.example/\">us</a>";
    server.route(QStringLiteral("/big"), page);
    startWith({site("Big", server.url(QStringLiteral("/big")))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle(120000)) << "the scan of the big page did not end";
    EXPECT_EQ(items("lstResults"), QStringList{"Big\t  --> OK"});
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . .1 out of 1 verified"));
    EXPECT_TRUE(find<QListWidget>("lstResults")->item(0)->toolTip().contains(QStringLiteral("too large")));
    const auto *box = find<SourceBox>("txtSource");
    EXPECT_EQ(box->selectionStart(), 50331664);
    EXPECT_EQ(box->selectedText(), QStringLiteral("my.example"));
}

// A term found on one page and missed on a shorter next one: the search step selects the last
// match's range again, within the new page.
TEST_F(Scan, AMissOnAShorterPageKeepsTheSelectionWithinThePage)
{
    server.route(QStringLiteral("/long"), QByteArray(300, ' ') + "my.example");
    server.route(QStringLiteral("/short"), "none here");
    startWith({site("Long", server.url(QStringLiteral("/long"))), site("Short", server.url(QStringLiteral("/short")))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(items("lstResults"), (QStringList{"Long\t  --> OK", "Short\t  --> Search Term Not Found"}));
    const auto *box = find<SourceBox>("txtSource");
    EXPECT_EQ(box->toPlainText(), QStringLiteral("none here"));
    EXPECT_EQ(box->selectionStart(), 9);
    EXPECT_EQ(box->selectionLength(), 0);
    EXPECT_EQ(box->selectedText(), QString());
}

// The box on its own, shown where it can be seen.
class SourceBoxShown : public testing::Test
{
protected:
    void SetUp() override
    {
        box.resize(300, 120);
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    }

    int highlighted()
    {
        const QImage image = box.viewport()->grab().toImage();
        const QRgb highlight = box.palette().color(QPalette::Highlight).rgb();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, y) == highlight;
        return count;
    }

    SourceBox box;
};

TEST_F(SourceBoxShown, ScrollsTheSelectionIntoViewAndDrawsIt)
{
    QString text;
    for (int i = 0; i < 5000; ++i)
        text += QStringLiteral("line %1\n").arg(i, 4, 10, QLatin1Char('0'));
    box.setPlainText(text);
    EXPECT_EQ(highlighted(), 0);
    // "line 4000" starts at 4000 lines of 10 characters.
    box.select(40000, 9);
    EXPECT_EQ(box.selectedText(), QStringLiteral("line 4000"));
    EXPECT_EQ(box.verticalScrollBar()->value(), 4000);
    EXPECT_GT(highlighted(), 0);
    box.clear();
    EXPECT_EQ(box.selectionStart(), 0);
    EXPECT_EQ(box.selectionLength(), 0);
    EXPECT_EQ(box.verticalScrollBar()->value(), 0);
    EXPECT_EQ(highlighted(), 0);
}

TEST_F(SourceBoxShown, KeepsTheSelectionWithinTheText)
{
    box.setPlainText(QStringLiteral("0123456789"));
    const struct {
        qsizetype start, length, wantStart, wantLength;
    } cases[] = {{2, 3, 2, 3}, {8, 5, 8, 2}, {12, 4, 10, 0}, {-3, 2, 0, 2}, {4, -1, 4, 0}};
    for (const auto &c : cases) {
        box.select(c.start, c.length);
        EXPECT_EQ(box.selectionStart(), c.wantStart) << c.start << ", " << c.length;
        EXPECT_EQ(box.selectionLength(), c.wantLength) << c.start << ", " << c.length;
    }
}

} // namespace
