#include "MainLayout.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>

namespace {

using MainWindow = WindowTest;

QString captionOf(QWidget *w)
{
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->text();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *frame = qobject_cast<QGroupBox *>(w))
        return frame->title();
    return QString();
}

TEST_F(MainWindow, EveryControlOfTheLayoutIsThereAsCreated)
{
    window = std::make_unique<frmMain>();
    for (const MainLayout::Control &c : MainLayout::Controls()) {
        SCOPED_TRACE(c.name);
        QWidget *w = find(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(captionOf(w), QString::fromLatin1(c.caption ? c.caption : ""));
        EXPECT_EQ(w->toolTip(), QString::fromLatin1(c.toolTip ? c.toolTip : ""));
        const QRect expected = MainLayout::ToPixels(c.left, c.top, c.width, c.height);
        if ((c.flags & MainLayout::SizedToText) && (c.flags & MainLayout::Centred))
            EXPECT_NEAR(w->geometry().center().x(), expected.center().x(), 1);
        else
            EXPECT_EQ(w->pos(), expected.topLeft());
        EXPECT_EQ(w->y(), expected.y());
        if (!(c.flags & MainLayout::SizedToText) && c.kind != MainLayout::Kind::Line) {
            EXPECT_EQ(w->size(), expected.size());
        }
        EXPECT_EQ(w->isHidden(), bool(c.flags & MainLayout::Hidden));
        EXPECT_EQ(w->isEnabled(), !(c.flags & MainLayout::Disabled));
        const QString container = c.container ? QString::fromLatin1(c.container) : QStringLiteral("client");
        EXPECT_EQ(w->parentWidget()->objectName(), container);
    }
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tallyweave"));
    EXPECT_EQ(find("client")->size(), QSize(560, 268));
    EXPECT_EQ(text("lblResults"), QStringLiteral("Ready . . ."));
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site #"));
}

TEST_F(MainWindow, HasTheMenusAndTimersButNoMaximiseOrResize)
{
    window = std::make_unique<frmMain>();
    const std::pair<const char *, const char *> menus[] = {{"mnuFile", "&File"}, {"mnuAbout", "&Help"}};
    for (const auto &[name, title] : menus)
        EXPECT_EQ(find<QMenu>(name)->title(), QString::fromLatin1(title));
    const std::pair<const char *, const char *> actions[] = {
            {"mnuAdd", "&Add Sites"}, {"mnuScan", "&Start Scan"}, {"mnuExit", "&Exit"},
            {"mnuContents", "&Contents"}, {"mnuAboutLink", "&About"}};
    for (const auto &[name, caption] : actions) {
        EXPECT_EQ(find<QAction>(name)->text(), QString::fromLatin1(caption));
        EXPECT_TRUE(find<QAction>(name)->isEnabled());
        EXPECT_FALSE(find<QAction>(name)->isCheckable());
    }
    for (const char *name : {"tmrScan", "tmrSearch", "tmrScan2", "tmrSearch2"}) {
        EXPECT_FALSE(find<QTimer>(name)->isActive()) << name;
        EXPECT_EQ(find<QTimer>(name)->interval(), 500) << name;
        EXPECT_FALSE(find<QTimer>(name)->isSingleShot()) << name;
    }
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST_F(MainWindow, TabOrderFollowsTheLayoutAndSkipsTheDataHolders)
{
    window = std::make_unique<frmMain>();
    QStringList chain;
    QWidget *w = find("txtName");
    for (int i = 0; i < 20 && w; ++i) {
        chain << w->objectName();
        w = w->nextInFocusChain();
        while (w && !(w->focusPolicy() & Qt::TabFocus) && w->objectName() != QLatin1String("txtName"))
            w = w->nextInFocusChain();
        if (w && w->objectName() == QLatin1String("txtName"))
            break;
    }
    // txtName 0, txtCompany 1, txtPhone1 2, Add 3, Delete 4, Save 5, << 6, >> 7, cmdAgain 8,
    // lstNames 9, lstResults 14, cmdBack 22, Skip 26, Add Sites 27, Start 28.
    const QStringList order{"txtName", "txtCompany", "txtPhone1", "Command1", "Command2", "Command3",
                            "cmdPrevious", "cmdNext", "cmdAgain", "lstNames", "lstResults", "cmdBack",
                            "cmdSkip", "cmdAdd", "cmdStart"};
    for (int i = 0; i + 1 < order.size(); ++i) {
        const qsizetype a = chain.indexOf(order[i]);
        const qsizetype b = chain.indexOf(order[i + 1]);
        EXPECT_GE(a, 0) << order[i].toStdString();
        EXPECT_LT(a, b) << order[i].toStdString() << " before " << order[i + 1].toStdString();
    }
    for (const char *holder : {"lstUrl", "lstSearch", "txtCount", "txtSource"})
        EXPECT_FALSE(chain.contains(QString::fromLatin1(holder))) << holder;
}

TEST_F(MainWindow, WithoutASitesFileOpensEmptyAndSilent)
{
    start();
    EXPECT_TRUE(feedback.messages.isEmpty());
    EXPECT_TRUE(items("lstNames").isEmpty());
    EXPECT_TRUE(items("lstResults").isEmpty());
    EXPECT_EQ(row("lstNames"), -1);
    EXPECT_EQ(text("lblResults"), QStringLiteral("Ready . . ."));
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("No Records"));
    EXPECT_FALSE(find("txtName")->isEnabled());
    EXPECT_TRUE(find("frScan")->isVisible());
    EXPECT_FALSE(find("frAdd")->isVisible());
}

TEST_F(MainWindow, OpensOnTheCurrentRecordTheFileNames)
{
    QFile::copy(QStringLiteral(FIXTURES "/five-current-three.dqx"), path(QStringLiteral("Sites.dqx")));
    start();
    EXPECT_EQ(items("lstNames"), (QStringList{"A", "B", "C", "D", "E"}));
    EXPECT_EQ(items("lstUrl"), (QStringList{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(row("lstNames"), 2);
    EXPECT_EQ(row("lstUrl"), 2);
    EXPECT_EQ(row("lstSearch"), 2);
    EXPECT_EQ(text("txtName"), QStringLiteral("C"));
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 3 of 5"));
    EXPECT_TRUE(find("lstNames")->hasFocus());
}

TEST_F(MainWindow, StartedFromAnotherDirectoryUsesItsOwnFolder)
{
    writeSites(sites({{"Mine", "http://mine.example/", "me"}}));
    QTemporaryDir elsewhere;
    const QString before = QDir::currentPath();
    QDir::setCurrent(elsewhere.path());
    start();
    EXPECT_EQ(items("lstNames"), QStringList{"Mine"});
    EXPECT_EQ(QDir(QDir::currentPath()).canonicalPath(), QDir(folder.path()).canonicalPath());
    window->close();
    EXPECT_FALSE(QFile::exists(QDir(elsewhere.path()).filePath(QStringLiteral("Sites.dqx"))));
    EXPECT_TRUE(sitesFile().startsWith("1,1\r\n\"Mine\""));
    QDir::setCurrent(before);
}

TEST_F(MainWindow, SwitchingViewsLeavesListsAndSelectionAlone)
{
    writeSites(sites({{"a", "http://a/", "x"}, {"b", "http://b/", "y"}}));
    start();
    find<QListWidget>("lstNames")->setCurrentRow(1);
    click("cmdAdd");
    EXPECT_TRUE(find("frAdd")->isVisible());
    EXPECT_FALSE(find("frScan")->isVisible());
    find<QAction>("mnuAdd")->trigger();
    EXPECT_TRUE(find("frAdd")->isVisible());
    for (const char *always : {"cmdAdd", "cmdSkip", "cmdStart", "lblResults", "Label6", "Image1", "Image2", "Line1", "Line2"})
        EXPECT_TRUE(find(always)->isVisible()) << always;
    click("cmdBack");
    EXPECT_TRUE(find("frScan")->isVisible());
    EXPECT_FALSE(find("frAdd")->isVisible());
    EXPECT_EQ(row("lstNames"), 1);
    EXPECT_EQ(items("lstNames"), (QStringList{"a", "b"}));
}

TEST_F(MainWindow, ClosingAtOnceWithoutAFileWritesAnEmptyList)
{
    start();
    window->close();
    EXPECT_EQ(sitesFile(), QByteArray("0,1\r\n"));
}

// Exit ends the program the way closing the window does: typed text is stored and saved.
class MainWindowEnding : public WindowTest, public testing::WithParamInterface<bool> { };

TEST_P(MainWindowEnding, StoresTheEditorFieldsAndSaves)
{
    writeSites(sites({{"Old", "http://old.example/", "old"}}));
    start();
    click("cmdAdd");
    find<QLineEdit>("txtName")->clear();
    type("txtName", QStringLiteral("Typed, not saved"));
    if (GetParam())
        find<QAction>("mnuExit")->trigger();
    else
        window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(sitesFile(), sites({{"Typed, not saved", "http://old.example/", "old"}}));
}

INSTANTIATE_TEST_SUITE_P(CloseOrExit, MainWindowEnding, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool> &info) { return info.param ? "Exit" : "Close"; });

TEST_F(MainWindow, ChoosingASiteKeepsUnsavedTypingAndMovesTheCompanionLists)
{
    writeSites(sites({{"a", "http://a/", "x"}, {"b", "http://b/", "y"}, {"c", "http://c/", "z"}, {"d", "http://d/", "w"}}));
    start();
    click("cmdAdd");
    find<QLineEdit>("txtName")->clear();
    type("txtName", QStringLiteral("renamed"));
    click("cmdBack");
    find<QListWidget>("lstNames")->setCurrentRow(3);
    EXPECT_EQ(row("lstUrl"), 3);
    EXPECT_EQ(row("lstSearch"), 3);
    EXPECT_EQ(text("txtName"), QStringLiteral("renamed"));
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 1 of 4"));
}

TEST_F(MainWindow, DamagedFileIsReportedAndKeptAsBackup)
{
    QFile::copy(QStringLiteral(FIXTURES "/short.dqx"), path(QStringLiteral("Sites.dqx")));
    const QByteArray damaged = sitesFile();
    start();
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_TRUE(feedback.messages[0].contains(QStringLiteral("site 2 of 3")));
    EXPECT_EQ(items("lstNames"), (QStringList{"Only", "", ""}));
    window->close();
    EXPECT_EQ(sitesFile(QStringLiteral("Sites.dqx.bak")), damaged);
    EXPECT_EQ(sitesFile(), sites({{"Only", "http://only.example/", "only"}, {"", "", ""}, {"", "", ""}}));
}

TEST_F(MainWindow, EmptyFileIsReportedAndGivesNoRecords)
{
    writeSites(QByteArray());
    start();
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_TRUE(feedback.messages[0].contains(QStringLiteral("empty")));
    EXPECT_TRUE(items("lstNames").isEmpty());
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("No Records"));
}

TEST_F(MainWindow, ReadOnlyFileIsReportedOnCloseAndKept)
{
    writeSites(sites({{"a", "http://a/", "x"}}));
    QFile::setPermissions(path(QStringLiteral("Sites.dqx")), QFile::ReadOwner);
    start();
    click("cmdAdd");
    type("txtName", QStringLiteral("more"));
    window->close();
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_TRUE(feedback.messages[0].startsWith(QStringLiteral("Cannot write ")));
    EXPECT_EQ(sitesFile(), sites({{"a", "http://a/", "x"}}));
}

} // namespace
