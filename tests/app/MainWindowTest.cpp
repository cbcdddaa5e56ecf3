#include "HttpServer.h"
#include "WindowFixture.h"
#include "frmAbout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QScrollBar>
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

// The window as the program's description gives it, written out here rather than read from
// the layout table that builds the window, so that a wrong row in the table shows.
struct Specified {
    const char *name;
    const char *container;
    const char *caption;
    const char *toolTip;
    int left, top, width, height; // twips
    enum Shown { Visible, Hidden, Disabled } shown;
    enum Size { Fixed, SizedToText, CentredSizedToText } size;
};

const Specified specified[] = {
        {"cmdStart", "client", "&Start Scan", "Start scanning sites", 6960, 3555, 1335, 350, Specified::Visible, Specified::Fixed},
        {"cmdAdd", "client", "&Add Sites", "", 3960, 3555, 1335, 350, Specified::Visible, Specified::Fixed},
        {"cmdSkip", "client", "S&kip", "", 5460, 3555, 1335, 350, Specified::Disabled, Specified::Fixed},
        {"txtCount", "client", "", "", 2640, 6960, 255, 285, Specified::Visible, Specified::Fixed},
        {"txtSource", "client", "", "", 240, 8400, 615, 495, Specified::Visible, Specified::Fixed},
        {"lstSearch", "client", "", "", 960, 6720, 975, 645, Specified::Visible, Specified::Fixed},
        {"lstUrl", "client", "", "", 3960, 6600, 2415, 1035, Specified::Visible, Specified::Fixed},
        {"cmdAgain", "client", "&Start Scan", "", 6960, 3555, 1335, 350, Specified::Hidden, Specified::Fixed},
        {"frScan", "client", "Scan Sites", "", 120, 240, 8175, 2775, Specified::Visible, Specified::Fixed},
        {"lstNames", "frScan", "", "", 240, 480, 3735, 1815, Specified::Visible, Specified::Fixed},
        {"lstResults", "frScan", "", "", 4200, 480, 3735, 1815, Specified::Visible, Specified::Fixed},
        {"lblScan1", "frScan", "Double click or press Enter to scan selected", "", 540, 2400, 3135, 195, Specified::Hidden, Specified::CentredSizedToText},
        {"lblManual", "frScan", "Double click or press Enter to verify manually", "", 4470, 2400, 3195, 195, Specified::Hidden, Specified::CentredSizedToText},
        {"Label4", "frScan", "Sites to Scan", "", 1635, 240, 945, 195, Specified::Visible, Specified::SizedToText},
        {"Label5", "frScan", "Results of Scan", "", 5505, 240, 1125, 195, Specified::Visible, Specified::SizedToText},
        {"frAdd", "client", "Click the Add button first to add a site", "", 120, 240, 8175, 2775, Specified::Hidden, Specified::Fixed},
        {"cmdBack", "frAdd", "&Back to Scan", "Back to Sites", 5940, 2280, 1335, 350, Specified::Visible, Specified::Fixed},
        {"txtName", "frAdd", "", "", 720, 600, 4095, 285, Specified::Visible, Specified::Fixed},
        {"txtCompany", "frAdd", "", "", 720, 1380, 4095, 285, Specified::Visible, Specified::Fixed},
        {"txtPhone1", "frAdd", "", "", 720, 2160, 4095, 285, Specified::Visible, Specified::Fixed},
        {"cmdPrevious", "frAdd", "&<<", "Go back through records", 6000, 1440, 615, 350, Specified::Visible, Specified::Fixed},
        {"cmdNext", "frAdd", "&>>", "Go forward through records", 6720, 1440, 615, 350, Specified::Visible, Specified::Fixed},
        {"Command1", "frAdd", "&Add", "Clear current record and add new", 5280, 960, 855, 350, Specified::Visible, Specified::Fixed},
        {"Command2", "frAdd", "&Delete", "Delete this record", 6180, 960, 855, 350, Specified::Visible, Specified::Fixed},
        {"Command3", "frAdd", "&Save", "Save/Modify this record", 7080, 960, 855, 350, Specified::Visible, Specified::Fixed},
        {"Label1", "frAdd", "Name of Site to Scan:", "", 720, 360, 1560, 195, Specified::Visible, Specified::SizedToText},
        {"Label2", "frAdd", "Page on Site to Scan:", "", 720, 1125, 1560, 195, Specified::Visible, Specified::SizedToText},
        {"Label3", "frAdd", "Term to Search For:", "", 720, 1920, 1410, 195, Specified::Visible, Specified::SizedToText},
        {"lblCurrRecord", "frAdd", "Site #", "", 5820, 1920, 1575, 255, Specified::Visible, Specified::Fixed},
        {"Label6", "client", "Copy Test", "", 840, 3120, 1575, 255, Specified::Visible, Specified::Fixed},
        {"Image1", "client", "", "", 240, 3460, 480, 480, Specified::Visible, Specified::Fixed},
        {"Image2", "client", "", "", 840, 3505, 2700, 450, Specified::Visible, Specified::Fixed},
        {"lblResults", "client", "Ready . . .", "", 3825, 3165, 765, 195, Specified::Visible, Specified::CentredSizedToText},
};

// 15 twips to the pixel.
QRect pixels(const Specified &c)
{
    return QRect(c.left / 15, c.top / 15, c.width / 15, c.height / 15);
}

TEST_F(MainWindow, EveryControlIsWhereTheDescriptionPutsIt)
{
    window = std::make_unique<frmMain>();
    for (const Specified &c : specified) {
        SCOPED_TRACE(c.name);
        QWidget *w = find(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget()->objectName(), QString::fromLatin1(c.container));
        EXPECT_EQ(captionOf(w), QString::fromLatin1(c.caption));
        EXPECT_EQ(w->toolTip(), QString::fromLatin1(c.toolTip));
        const QRect expected = pixels(c);
        EXPECT_EQ(w->y(), expected.y());
        switch (c.size) {
        case Specified::Fixed:
            EXPECT_EQ(w->geometry(), expected);
            break;
        case Specified::SizedToText:
            EXPECT_EQ(w->x(), expected.x());
            break;
        case Specified::CentredSizedToText:
            EXPECT_NEAR(w->geometry().center().x(), expected.center().x(), 1);
            break;
        }
        EXPECT_EQ(w->isHidden(), c.shown == Specified::Hidden);
        EXPECT_EQ(w->isEnabled(), c.shown != Specified::Disabled);
    }
    // The rule: grey over white, a pixel apart, just below the menu bar.
    EXPECT_EQ(find("Line1")->geometry(), QRect(0, 4, 566, 1));
    EXPECT_EQ(find("Line2")->geometry(), QRect(0, 5, 560, 1));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tallyweave"));
    EXPECT_EQ(find("client")->size(), QSize(560, 268));
}

TEST_F(MainWindow, ShowsExactlyOneStartScanButtonAndNoStrayControl)
{
    start();
    int startButtons = 0;
    for (QPushButton *button : window->findChildren<QPushButton *>())
        if (button->isVisible() && button->text() == QStringLiteral("&Start Scan"))
            ++startButtons;
    EXPECT_EQ(startButtons, 1);
    QStringList names;
    for (const Specified &c : specified)
        names << QString::fromLatin1(c.name);
    names << QStringLiteral("Line1") << QStringLiteral("Line2");
    for (const char *container : {"client", "frScan", "frAdd"})
        for (QWidget *w : find(container)->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(names.contains(w->objectName())) << "unexpected control " << w->objectName().toStdString();
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
    for (const char *name : {"tmrScan", "tmrSearch", "tmrScan2", "tmrSearch2"})
        EXPECT_FALSE(find<QTimer>(name)->isActive()) << name;
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

// Exit, from the menu or with its shortcut, ends the program the way closing the window does:
// typed text is stored and saved.
enum class Ending { Close, Exit, CtrlQ };

class MainWindowEnding : public WindowTest, public testing::WithParamInterface<Ending>
{
protected:
    // Ends the program the way this case names.
    void end()
    {
        switch (GetParam()) {
        case Ending::Close:
            window->close();
            break;
        case Ending::Exit:
            find<QAction>("mnuExit")->trigger();
            break;
        case Ending::CtrlQ:
            pressOnWindow(Qt::Key_Q, Qt::ControlModifier);
            break;
        }
    }
};

TEST_P(MainWindowEnding, StoresTheEditorFieldsAndSaves)
{
    writeSites(sites({{"Old", "http://old.example/", "old"}}));
    start();
    click("cmdAdd");
    find<QLineEdit>("txtName")->clear();
    type("txtName", QStringLiteral("Typed, not saved"));
    end();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(sitesFile(), sites({{"Typed, not saved", "http://old.example/", "old"}}));
}

// An About window left open goes with the main window, and the program ends with them.
TEST_P(MainWindowEnding, ClosesTheAboutWindowAndEndsTheProgram)
{
    QApplication::setQuitOnLastWindowClosed(true);
    const auto restore = qScopeGuard([] { QApplication::setQuitOnLastWindowClosed(false); });
    writeSites(sites({{"Old", "http://old.example/", "old"}}));
    start();
    click("cmdAdd");
    find<QLineEdit>("txtName")->clear();
    type("txtName", QStringLiteral("Typed, not saved"));
    find<QAction>("mnuAboutLink")->trigger();
    const QPointer<frmAbout> about = frmAbout::Loaded();
    ASSERT_FALSE(about.isNull());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about.data()));

    QTimer::singleShot(0, window.get(), [this] {
        end();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    watchdog.start(5000);

    EXPECT_EQ(QApplication::exec(), 0) << "the program went on running";
    EXPECT_EQ(frmAbout::Loaded(), nullptr);
    EXPECT_TRUE(about.isNull() || !about->isVisible());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(sitesFile(), sites({{"Typed, not saved", "http://old.example/", "old"}}));
}

INSTANTIATE_TEST_SUITE_P(Endings, MainWindowEnding, testing::Values(Ending::Close, Ending::Exit, Ending::CtrlQ),
                         [](const testing::TestParamInfo<Ending> &info) {
                             return info.param == Ending::Close ? "Close" : info.param == Ending::Exit ? "Exit" : "CtrlQ";
                         });

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

TEST_F(MainWindow, MarkupInASiteNameIsShownAsItsCharacters)
{
    writeSites(sites({{"<b>Shop</b>", "http://127.0.0.1:9/", "x"}}));
    start();
    click("cmdStart");
    auto *status = find<QLabel>("lblResults");
    EXPECT_EQ(status->text(), QStringLiteral("Scanning <b>Shop</b> . . . ."));
    // Shown as markup, the line would be as wide as "Scanning Shop . . . ." only.
    EXPECT_GE(status->width(), status->fontMetrics().horizontalAdvance(status->text()));
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (label->pixmap().isNull()) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
        }
    }
    window->close();
}

TEST_F(MainWindow, F1OpensTheHelpPage)
{
    start();
    pressOnWindow(Qt::Key_F1);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(path(QStringLiteral("tallyweave.htm"))));
    EXPECT_TRUE(window->isVisible());
}

// However the name list is filled, it shows what a list that measures every line shows.
struct NameListCase {
    const char *name;
    QStringList names;
};

class MainWindowNames : public WindowTest, public testing::WithParamInterface<NameListCase> { };

TEST_P(MainWindowNames, ShowLikeAListThatMeasuresEveryLine)
{
    QByteArray bytes = QByteArray::number(GetParam().names.size()) + ",1\r\n";
    for (const QString &name : GetParam().names)
        bytes += '"' + name.toUtf8() + "\"\r\n\"http://x.example/\"\r\n\"x\"\r\n";
    writeSites(bytes);
    start();
    auto *shown = find<QListWidget>("lstNames");
    ASSERT_EQ(items("lstNames"), GetParam().names);

    QListWidget reference;
    reference.setFont(shown->font());
    reference.setFixedSize(shown->size());
    reference.addItems(GetParam().names);
    reference.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&reference));
    EXPECT_EQ(shown->horizontalScrollBar()->maximum(), reference.horizontalScrollBar()->maximum());
    EXPECT_EQ(shown->verticalScrollBar()->maximum(), reference.verticalScrollBar()->maximum());
    for (int i = 0; i < shown->count(); ++i)
        EXPECT_EQ(shown->visualItemRect(shown->item(i)).height(), reference.visualItemRect(reference.item(i)).height()) << i;
}

QStringList manyNames(int count, int at = -1, const QString &odd = {})
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << (i == at ? odd : QStringLiteral("Partner %1").arg(i + 1));
    return names;
}

INSTANTIATE_TEST_SUITE_P(
        Names, MainWindowNames,
        testing::Values(NameListCase{"Plain", manyNames(400)},
                        NameListCase{"WiderThanTheListInTheMiddle", manyNames(400, 200, QString(80, u'W'))},
                        NameListCase{"EmptyInTheMiddle", manyNames(400, 200, QString())},
                        NameListCase{"OneOfTwoLines", manyNames(400, 10, QStringLiteral("first\nsecond"))},
                        NameListCase{"FromAnotherFont", manyNames(400, 399, QStringLiteral("\u6F22\u5B57 \U0001F600"))},
                        NameListCase{"RightToLeft", manyNames(40, 20, QStringLiteral("\u05E9\u05DC\u05D5\u05DD"))}),
        [](const testing::TestParamInfo<NameListCase> &info) { return std::string(info.param.name); });

// Each step of a scan waits half a second after the one before: the page is not fetched at
// once, and its line comes no sooner than a second after the click.
TEST_F(MainWindow, AScanStepsAtHalfSecondPauses)
{
    TestSupport::HttpServer server;
    server.route(QStringLiteral("/page"), "my.example");
    writeSites(sites({{"Paced", server.url(QStringLiteral("/page")).toUtf8().constData(), "my.example"}}));
    start();
    QElapsedTimer clock;
    clock.start();
    click("cmdStart");
    qint64 fetched = -1;
    while (clock.elapsed() < 15000 && items("lstResults").isEmpty()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (fetched < 0 && server.hits(QStringLiteral("/page")) > 0)
            fetched = clock.elapsed();
    }
    const qint64 written = clock.elapsed();
    ASSERT_EQ(items("lstResults"), QStringList{"Paced\t  --> OK"});
    EXPECT_GE(fetched, 450);
    EXPECT_GE(written, 950);
}

} // namespace
