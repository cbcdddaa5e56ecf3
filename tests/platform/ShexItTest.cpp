#include "Feedback.h"
#include "ShexIt.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

// The desktop's opener is replaced by one that answers as the test says.
class Opener : public testing::Test
{
protected:
    void SetUp() override
    {
        Feedback::SetRecorder(&feedback);
        ShexIt::SetSink([this](QWidget *, const QUrl &target) {
            asked << target;
            return answers;
        });
    }
    void TearDown() override
    {
        ShexIt::SetSink({});
        Feedback::SetRecorder(nullptr);
    }

    Feedback::Recorder feedback;
    QList<QUrl> asked;
    bool answers = true;
    QWidget owner;
};

TEST_F(Opener, AnAnsweredRequestSaysNothing)
{
    EXPECT_TRUE(ShexIt::OpenWebAddress(&owner, QStringLiteral("http://partner.example/links")));
    EXPECT_EQ(asked, QList<QUrl>{QUrl(QStringLiteral("http://partner.example/links"))});
    EXPECT_TRUE(feedback.messages.isEmpty());
}

TEST_F(Opener, WithNoBrowserTheMessageGivesTheAddressAsItIs)
{
    answers = false;
    const QString address = QStringLiteral("http://partner.example/<b>links</b>?a=1&b=2");
    ShexIt::OpenWebAddress(&owner, address);
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_TRUE(feedback.messages[0].startsWith(QStringLiteral("The page could not be opened")));
    EXPECT_TRUE(feedback.messages[0].contains(QUrl(address, QUrl::TolerantMode).toString()))
            << feedback.messages[0].toStdString();
}

TEST_F(Opener, WithNoBrowserALocalFileIsShownAsItsPath)
{
    answers = false;
    ShexIt::OpenLocalFile(&owner, QStringLiteral("/opt/tally weave/tallyweave.htm"));
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_TRUE(feedback.messages[0].endsWith(QStringLiteral("\n/opt/tally weave/tallyweave.htm")))
            << feedback.messages[0].toStdString();
}

TEST_F(Opener, AVeryLongAddressIsCutInTheMessage)
{
    answers = false;
    const QString address = QStringLiteral("http://partner.example/") + QString(5000, u'x');
    ShexIt::OpenWebAddress(&owner, address);
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_LT(feedback.messages[0].size(), 600);
    EXPECT_TRUE(feedback.messages[0].contains(address.left(200)));
}

} // namespace
