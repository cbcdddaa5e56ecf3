#include "AboutFixture.h"

#include "AppInfo.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <optional>

namespace {

struct Expected {
    const char *name;
    const char *className;
    const char *container; // nullptr: the window itself
    const char *caption;   // nullptr: not fixed here
    const char *toolTip;
    int left, top, width, height; // twips
    bool sizedToText;
    bool handPointer;
};

void PrintTo(const Expected &e, std::ostream *os)
{
    *os << e.name;
}

const Expected Controls[] = {
    {"picIcon", "QLabel", nullptr, "", "Orvandel Software", 120, 120, 1065, 2205, false, true},
    {"lblTitle", "QLabel", nullptr, "Tallyweave", "", 1560, 240, 1710, 240, true, false},
    {"lblVersion", "QLabel", nullptr, "Version 1.0.0", "", 1560, 600, 810, 240, true, false},
    {"Frame1", "QGroupBox", nullptr, "", "", 120, 2405, 4095, 1455, false, false},
    {"lblDisclaimer", "QLabel", "Frame1", nullptr, "", 120, 240, 3870, 1185, false, false},
    {"Frame2", "QGroupBox", nullptr, "", "", 1560, 840, 3975, 1095, false, false},
    {"lblDescription", "QLabel", "Frame2", nullptr, "", 120, 120, 3795, 810, false, false},
    {"Command1", "QPushButton", nullptr, "&Join the Orvandel mailing list", "Join our mailing list", 1560, 2040, 2295, 345, false, true},
    {"Command2", "QPushButton", nullptr, "&Orvandel", "Visit Orvandel", 4290, 2040, 1245, 345, false, true},
    {"Command3", "QPushButton", nullptr, "Clos&e", "Close this window", 4290, 2777, 1245, 345, false, false},
    {"Command4", "QPushButton", nullptr, "&System Info", "Info about your computer", 4290, 3480, 1245, 345, false, false},
    {"Image1", "QLabel", nullptr, "", "", 5040, 120, 480, 480, false, true},
};

int px(int twips)
{
    return qRound(twips / 15.0);
}

std::optional<QString> captionOf(QWidget *widget)
{
    if (auto *button = qobject_cast<QPushButton *>(widget))
        return button->text();
    if (auto *box = qobject_cast<QGroupBox *>(widget))
        return box->title();
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    return std::nullopt;
}

class AboutControlTest : public AboutFixture, public ::testing::WithParamInterface<Expected>
{
};

TEST_P(AboutControlTest, IsLaidOutAsDesigned)
{
    const Expected &e = GetParam();
    frmAbout *form = frmAbout::ShowAbout();
    auto *widget = form->findChild<QWidget *>(QString::fromLatin1(e.name));
    ASSERT_NE(widget, nullptr);
    EXPECT_STREQ(widget->metaObject()->className(), e.className);
    const QString container = e.container ? QString::fromLatin1(e.container) : QStringLiteral("frmAbout");
    EXPECT_EQ(widget->parentWidget()->objectName(), container);
    if (e.caption) {
        EXPECT_EQ(captionOf(widget), QString::fromLatin1(e.caption));
    }
    EXPECT_EQ(widget->toolTip(), QString::fromLatin1(e.toolTip));
    EXPECT_TRUE(widget->isVisible());
    EXPECT_TRUE(widget->isEnabled());

    EXPECT_EQ(widget->pos(), QPoint(px(e.left), px(e.top)));
    if (e.sizedToText)
        EXPECT_EQ(widget->size(), widget->sizeHint());
    else
        EXPECT_EQ(widget->size(), QSize(px(e.width), px(e.height)));

    const bool hand = widget->cursor().shape() == Qt::BitmapCursor;
    EXPECT_EQ(hand, e.handPointer);
    if (hand) {
        EXPECT_EQ(widget->cursor().pixmap().size(), QSize(32, 32));
    }
}

INSTANTIATE_TEST_SUITE_P(Controls, AboutControlTest, ::testing::ValuesIn(Controls),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(AboutFixture, WindowIsAFixedDialogCaptionedAfterTheProgram)
{
    frmAbout *form = frmAbout::ShowAbout();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("About Tallyweave"));
    EXPECT_EQ(form->size(), QSize(382, 266));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "cannot be resized";
    EXPECT_EQ(form->windowType(), Qt::Dialog);
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_EQ(form->parentWidget(), nullptr) << "no owner window";
    EXPECT_EQ(form->windowModality(), Qt::NonModal);
    const QPoint screenCentre = form->screen()->availableGeometry().center();
    EXPECT_LE((form->geometry().center() - screenCentre).manhattanLength(), 40);
}

TEST_F(AboutFixture, VersionComesFromTheProgramsOwnNumbers)
{
    frmAbout *form = frmAbout::ShowAbout();
    auto *version = form->findChild<QLabel *>(QStringLiteral("lblVersion"));
    EXPECT_EQ(version->text(), QStringLiteral("Version %1.%2.%3").arg(AppInfo::Major).arg(AppInfo::Minor).arg(AppInfo::Revision));
}

TEST_F(AboutFixture, TitleAndVersionAreBoldBlueAndTheTextsBlack)
{
    frmAbout *form = frmAbout::ShowAbout();
    for (const char *name : {"lblTitle", "lblVersion"}) {
        auto *label = form->findChild<QLabel *>(QString::fromLatin1(name));
        EXPECT_TRUE(label->font().bold()) << name;
        EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 9.75) << name;
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::blue)) << name;
    }
    for (const char *name : {"lblDisclaimer", "lblDescription"}) {
        auto *label = form->findChild<QLabel *>(QString::fromLatin1(name));
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::black)) << name;
        EXPECT_FALSE(label->font().bold()) << name;
    }
}

TEST_F(AboutFixture, DescriptionAndWarningSayWhatTheyShouldAndFitTheirLabels)
{
    frmAbout *form = frmAbout::ShowAbout();
    auto *description = form->findChild<QLabel *>(QStringLiteral("lblDescription"));
    auto *warning = form->findChild<QLabel *>(QStringLiteral("lblDisclaimer"));
    for (const char *words : {"web site", "Orvandel button", "mailing list", "new releases"})
        EXPECT_TRUE(description->text().contains(QString::fromLatin1(words))) << words;
    for (const char *words : {"Warning", "copyright", "Orvandel Software"})
        EXPECT_TRUE(warning->text().contains(QString::fromLatin1(words))) << words;
    for (QLabel *label : {description, warning}) {
        EXPECT_TRUE(label->wordWrap());
        EXPECT_LE(label->heightForWidth(label->width()), label->height())
            << qPrintable(label->objectName()) << " needs more room than it has";
    }
}

TEST_F(AboutFixture, EveryButtonShowsItsWholeCaption)
{
    frmAbout *form = frmAbout::ShowAbout();
    EXPECT_EQ(form->font().pointSize(), 8) << "the main window's text size";
    for (QPushButton *button : form->findChildren<QPushButton *>()) {
        EXPECT_LE(button->sizeHint().width(), button->width()) << qPrintable(button->objectName());
        EXPECT_GE(button->font().pointSizeF(), 6.0) << qPrintable(button->objectName());
    }
}

TEST_F(AboutFixture, LogoBoxFitsItsPicture)
{
    frmAbout *form = frmAbout::ShowAbout();
    auto *logo = form->findChild<QLabel *>(QStringLiteral("picIcon"));
    auto *image = form->findChild<QLabel *>(QStringLiteral("Image1"));
    EXPECT_EQ(logo->pixmap().size(), QSize(67, 143));
    EXPECT_EQ(logo->size(), QSize(67, 143) + QSize(2 * logo->frameWidth(), 2 * logo->frameWidth()));
    EXPECT_EQ(image->pixmap().size(), QSize(32, 32));
}

TEST_F(AboutFixture, TabGoesThroughTheButtonsInOrder)
{
    frmAbout *form = frmAbout::ShowAbout();
    QApplication::setActiveWindow(form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    const QStringList order{QStringLiteral("Command1"), QStringLiteral("Command2"),
                            QStringLiteral("Command3"), QStringLiteral("Command4"),
                            QStringLiteral("Command1")};
    form->findChild<QWidget *>(order.first())->setFocus();
    for (qsizetype i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), order[i]);
    }
    for (const char *name : {"picIcon", "lblTitle", "lblVersion", "Frame1", "lblDisclaimer", "Frame2", "lblDescription", "Image1"})
        EXPECT_EQ(form->findChild<QWidget *>(QString::fromLatin1(name))->focusPolicy(), Qt::NoFocus) << name;
}

TEST_F(AboutFixture, TwoAboutsLeaveOneWindow)
{
    frmAbout *first = frmAbout::ShowAbout();
    frmAbout *second = frmAbout::ShowAbout();
    EXPECT_EQ(first, second);
    EXPECT_EQ(loadedWindows(), 1);
    EXPECT_TRUE(second->isVisible());
}

TEST_F(AboutFixture, ShowingAgainDoesNotLoadAgain)
{
    frmAbout *form = frmAbout::ShowAbout();
    form->setWindowTitle(QStringLiteral("changed since load"));
    form->hide();
    EXPECT_EQ(frmAbout::ShowAbout(), form);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("changed since load"));
    EXPECT_TRUE(form->isVisible());
}

TEST_F(AboutFixture, CloseUnloadsAndTheNextAboutLoadsAgain)
{
    // Closed by its button and by the window's close box alike.
    const std::function<void(frmAbout *)> closers[] = {
        [](frmAbout *form) { form->findChild<QPushButton *>(QStringLiteral("Command3"))->click(); },
        [](frmAbout *form) { form->close(); },
    };
    for (const auto &close : closers) {
        QPointer<frmAbout> form = frmAbout::ShowAbout();
        form->setWindowTitle(QStringLiteral("changed since load"));
        close(form);
        EXPECT_EQ(frmAbout::Loaded(), nullptr);
        EXPECT_FALSE(form->isVisible());

        // Asked for again before the old one is gone: a new one all the same.
        frmAbout *again = frmAbout::ShowAbout();
        EXPECT_NE(again, form.data());
        EXPECT_EQ(again->windowTitle(), QStringLiteral("About Tallyweave"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(form.isNull()) << "the closed window is deleted";
        EXPECT_EQ(loadedWindows(), 1);
        delete again;
    }
}

TEST_F(AboutFixture, WaysToTheMakerGoThroughTheDesktop)
{
    const QUrl site(QString::fromLatin1(Maker::WebSite));
    const QUrl list(QString::fromLatin1(Maker::MailingList));
    ASSERT_TRUE(site.isValid());
    ASSERT_TRUE(list.isValid());
    EXPECT_NE(site, list);
    for (const QUrl &url : {site, list})
        EXPECT_TRUE(url.toString().startsWith(QStringLiteral("https://example.com/"))) << qPrintable(url.toString());

    frmAbout *form = frmAbout::ShowAbout();
    const struct {
        const char *control;
        QUrl target;
    } ways[] = {{"Command1", list}, {"Command2", site}, {"picIcon", site}};
    for (const auto &way : ways) {
        opened.clear();
        QTest::mouseClick(form->findChild<QWidget *>(QString::fromLatin1(way.control)), Qt::LeftButton);
        ASSERT_EQ(opened.size(), 1) << way.control;
        EXPECT_EQ(opened[0].owner, form) << way.control;
        EXPECT_EQ(opened[0].target, way.target) << way.control;
    }
    EXPECT_TRUE(started.isEmpty());

    opened.clear();
    QTest::mouseClick(form->findChild<QWidget *>(QStringLiteral("Image1")), Qt::LeftButton);
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started[0].program, QStringLiteral("xdg-open"));
    EXPECT_EQ(started[0].arguments, QStringList{site.toString()});
    EXPECT_EQ(started[0].style, ProcessStart::MinimizedFocus);
    EXPECT_EQ(frmAbout::Loaded(), form) << "nothing closes the window";
}

TEST_F(AboutFixture, RightClickOnThePicturesDoesNothing)
{
    frmAbout *form = frmAbout::ShowAbout();
    for (const char *name : {"picIcon", "Image1"})
        QTest::mouseClick(form->findChild<QWidget *>(QString::fromLatin1(name)), Qt::RightButton);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(started.isEmpty());
}

// Another window closing leaves the About window open; the program ends with its last window.
TEST_F(AboutFixture, ProgramEndsWhenTheLastWindowCloses)
{
    ASSERT_TRUE(QApplication::quitOnLastWindowClosed());
    auto *other = new QWidget;
    other->setAttribute(Qt::WA_DeleteOnClose);
    other->show();
    QPointer<frmAbout> about = frmAbout::ShowAbout();

    bool aboutOutlivedOther = false;
    QTimer::singleShot(0, other, [other] { other->close(); });
    QTimer::singleShot(100, [&] {
        aboutOutlivedOther = !about.isNull() && about->isVisible();
        if (about)
            about->close();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    watchdog.start(5000);

    EXPECT_EQ(QApplication::exec(), 0) << "the program did not end when its last window closed";
    EXPECT_TRUE(aboutOutlivedOther);
}

} // namespace
