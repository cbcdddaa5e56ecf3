// A process group started here: its members, their memory, and its end.
#include "LiveProcesses.h"
#include "ProcessTree.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <thread>

#include <unistd.h>

namespace {

class ProcessTreeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        group_.setProgram(QStringLiteral("/bin/sh"));
        // Two helpers that name a mark of this test program (tests run side by side), and the
        // shell that waits for them.
        group_.setArguments({QStringLiteral("-c"), QStringLiteral("%1 & %1 & wait").arg(QString::fromStdString(mark_))});
        group_.setChildProcessModifier([] { setsid(); });
        group_.start();
        ASSERT_TRUE(group_.waitForStarted());
        pid_ = pid_t(group_.processId());
        for (int i = 0; i < 250 && ProcessTree::Naming(argv_).size() < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    void TearDown() override
    {
        ProcessTree::Kill(pid_);
        group_.waitForFinished();
    }

    const std::string mark_ = "sleep 271." + std::to_string(getpid());
    // The helpers' command line, its arguments apart and ended; the shell's holds the mark too.
    const QByteArray argv_ = QByteArray::fromStdString(mark_ + '\0').replace(' ', '\0');
    // What names the helpers and the shell, and no mark that merely begins like this one.
    const std::string named_ = mark_ + ' ';
    QProcess group_;
    pid_t pid_ = 0;
};

TEST_F(ProcessTreeTest, SeesTheGroupAndItsMemory)
{
    EXPECT_EQ(ProcessTree::Members(pid_).size(), 3u);
    EXPECT_EQ(ProcessTree::Naming(argv_).size(), 2u);
    // A shell and two sleeps hold some hundreds of KiB each, and far less than a GiB.
    EXPECT_GT(ProcessTree::MemoryBytes(pid_), 100 * 1024);
    EXPECT_LT(ProcessTree::MemoryBytes(pid_), 1LL << 30);
    EXPECT_EQ(ProcessTree::MemoryBytes(999'999'999), 0) << "no such group";
}

TEST_F(ProcessTreeTest, KillEndsEveryMember)
{
    ProcessTree::Kill(pid_);
    EXPECT_TRUE(ProcessTree::WaitGone(pid_, std::chrono::seconds(5)));
    EXPECT_TRUE(group_.waitForFinished(5000));
    EXPECT_EQ(LiveProcessesNaming(named_), std::vector<int>{});
}

TEST_F(ProcessTreeTest, KillNamingEndsTheNamedOnly)
{
    EXPECT_TRUE(ProcessTree::KillNaming(argv_, std::chrono::seconds(5)));
    // The shell that waited for them ends by itself once they are gone.
    EXPECT_TRUE(group_.waitForFinished(5000));
    EXPECT_EQ(group_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(LiveProcessesNaming(named_), std::vector<int>{});
}

TEST_F(ProcessTreeTest, WaitGoneGivesUpOnALiveGroup)
{
    EXPECT_FALSE(ProcessTree::WaitGone(pid_, std::chrono::milliseconds(100)));
    EXPECT_EQ(ProcessTree::Members(pid_).size(), 3u);
}

} // namespace
