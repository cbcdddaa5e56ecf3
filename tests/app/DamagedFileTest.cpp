// The window started on sites files that are damaged in ways that left the program without a
// current record or dropped records without a word.
#include "WindowFixture.h"

namespace {

struct DamagedStart {
    const char *name;
    QByteArray countLine; // followed by two records
    bool reported;        // and then, as a damaged file, read no further
};

class DamagedStartTest : public WindowTest, public testing::WithParamInterface<DamagedStart> { };

TEST_P(DamagedStartTest, ShowsTheFirstRecord)
{
    writeSites(GetParam().countLine + "\"First\"\r\n\"http://first.example/\"\r\n\"one\"\r\n"
               + "\"Second\"\r\n\"http://second.example/\"\r\n\"two\"\r\n");
    start();
    const bool read = !GetParam().reported;
    EXPECT_EQ(feedback.messages.size(), read ? 0 : 1);
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 1 of 2"));
    EXPECT_EQ(text("txtName"), read ? QStringLiteral("First") : QString());
    EXPECT_EQ(items("lstNames"), (read ? QStringList{"First", "Second"} : QStringList{"", ""}));
    EXPECT_EQ(row("lstNames"), 0);

    // The editor pages through the records from there.
    find<QAction>("mnuAdd")->trigger();
    click("cmdNext");
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 2 of 2"));
    EXPECT_EQ(text("txtName"), read ? QStringLiteral("Second") : QString());
    click("cmdPrevious");
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 1 of 2"));
}

INSTANTIATE_TEST_SUITE_P(CountLines, DamagedStartTest,
                         testing::Values(DamagedStart{"CurrentNotANumber", "2,x\r\n", true},
                                         DamagedStart{"CurrentMissing", "2\r\n", true},
                                         DamagedStart{"CurrentPastTheLast", "2,9\r\n", false}),
                         [](const testing::TestParamInfo<DamagedStart> &info) { return std::string(info.param.name); });

TEST_F(WindowTest, RecordsAfterTheCountAreReportedAndKeptAsBackup)
{
    const QByteArray original = sites({{"a", "http://a.example/", "x"}, {"b", "http://b.example/", "y"}})
                                        .replace("2,1\r\n", "1,1\r\n");
    writeSites(original);
    start();
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_TRUE(feedback.messages[0].contains(QStringLiteral("1 more site"))) << feedback.messages[0].toStdString();
    EXPECT_EQ(items("lstNames"), QStringList{"a"});
    window->close();
    EXPECT_EQ(sitesFile(QStringLiteral("Sites.dqx.bak")), original);
    EXPECT_EQ(sitesFile(), sites({{"a", "http://a.example/", "x"}}));
}

} // namespace
