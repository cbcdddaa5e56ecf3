#include "frmMain.h"

#include "AppInfo.h"
#include "Feedback.h"
#include "MainLayout.h"
#include "Module1.h"
#include "PageFetcher.h"
#include "SecondLook.h"
#include "ResultLineDelegate.h"
#include "SitesFile.h"
#include "SitesLocation.h"
#include "SourceBox.h"
#include "frmAbout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QHelpEvent>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <map>

namespace {
constexpr char CentreProperty[] = "layoutCentreX";
}

frmMain::frmMain(QWidget *parent)
    : QMainWindow(parent,
                  Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    // The pictures live in this library's resources, which a static link would otherwise drop.
    Q_INIT_RESOURCE(resources);
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(AppInfo::Title));
    QIcon icon;
    icon.addFile(QStringLiteral(":/app/icon16.png"));
    icon.addFile(QStringLiteral(":/app/icon32.png"));
    setWindowIcon(icon);

    createControls();
    createMenus();
    createTimers();
    connectHandlers();

    setFixedSize(sizeHint());
}

frmMain::~frmMain() = default;

template<typename T>
T *frmMain::control(const char *name) const
{
    T *found = findChild<T *>(QString::fromLatin1(name));
    Q_ASSERT_X(found, "frmMain::control", name);
    return found;
}

void frmMain::createControls()
{
    using MainLayout::Kind;
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(MainLayout::ToPixels(0, 0, MainLayout::ClientWidth, MainLayout::ClientHeight).size());
    // The original look: an 8-point default font, in which one line of text is 13 pixels.
    QFont font = client->font();
    font.setPointSize(8);
    client->setFont(font);
    setCentralWidget(client);

    QHash<QString, QWidget *> byName;
    std::map<int, QWidget *> tabOrder;
    for (const MainLayout::Control &c : MainLayout::Controls()) {
        QWidget *parent = c.container ? byName.value(QString::fromLatin1(c.container)) : client;
        const QString caption = QString::fromLatin1(c.caption ? c.caption : "");
        QWidget *w = nullptr;
        switch (c.kind) {
        case Kind::Button:
            w = new QPushButton(caption, parent);
            break;
        case Kind::ListBox: {
            auto *list = new QListWidget(parent);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            // Nobody sees a data holder's lines, so it need not measure each of them.
            if (c.flags & MainLayout::DataHolder)
                list->setUniformItemSizes(true);
            w = list;
            break;
        }
        case Kind::TextBox: {
            auto *box = new QLineEdit(parent);
            // The fields have no length limit: the toolkit's default would cut a longer field,
            // and the cut text would be saved.
            box->setMaxLength(std::numeric_limits<int>::max());
            w = box;
            break;
        }
        case Kind::SourceBox: {
            auto *box = new SourceBox(parent);
            box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            w = box;
            break;
        }
        case Kind::Frame:
            w = new QGroupBox(caption, parent);
            break;
        case Kind::Label: {
            auto *label = new QLabel(caption, parent);
            // Labels show site names and other user data, never as markup.
            label->setTextFormat(Qt::PlainText);
            if (c.flags & MainLayout::Centred)
                label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
            w = label;
            break;
        }
        case Kind::Image: {
            auto *image = new QLabel(parent);
            image->setPixmap(QPixmap(QString::fromLatin1(c.picture)));
            w = image;
            break;
        }
        case Kind::Line: {
            w = new QWidget(parent);
            w->setAutoFillBackground(true);
            QPalette palette = w->palette();
            palette.setColor(QPalette::Window, QColor::fromRgb(c.colour));
            w->setPalette(palette);
            break;
        }
        }
        w->setObjectName(QString::fromLatin1(c.name));
        if (c.toolTip)
            w->setToolTip(QString::fromLatin1(c.toolTip));
        const int height = c.kind == Kind::Line ? MainLayout::TwipsPerPixel : c.height;
        w->setGeometry(MainLayout::ToPixels(c.left, c.top, c.width, height));
        if (c.flags & MainLayout::SizedToText) {
            // A centred label keeps its centre as its text changes, so it stays under what it
            // belongs to whatever the width of the desktop's font.
            if (c.flags & MainLayout::Centred)
                w->setProperty(CentreProperty, w->geometry().center().x());
            FitToText(static_cast<QLabel *>(w));
        }
        if (c.flags & MainLayout::Hidden)
            w->setVisible(false);
        if (c.flags & MainLayout::Disabled)
            w->setEnabled(false);
        if (c.flags & MainLayout::DataHolder)
            w->setFocusPolicy(c.kind == Kind::SourceBox ? Qt::ClickFocus : Qt::NoFocus);
        if (qobject_cast<QLabel *>(w) || qobject_cast<QGroupBox *>(w))
            w->setFocusPolicy(Qt::NoFocus);
        else if (c.tab >= 0 && !(c.flags & MainLayout::DataHolder))
            tabOrder[c.tab] = w;
        byName.insert(w->objectName(), w);
    }
    QWidget *previous = nullptr;
    for (const auto &[tab, w] : tabOrder) {
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }

    cmdStart = control<QPushButton>("cmdStart");
    cmdAdd = control<QPushButton>("cmdAdd");
    cmdSkip = control<QPushButton>("cmdSkip");
    cmdAgain = control<QPushButton>("cmdAgain");
    cmdBack = control<QPushButton>("cmdBack");
    cmdPrevious = control<QPushButton>("cmdPrevious");
    cmdNext = control<QPushButton>("cmdNext");
    Command1 = control<QPushButton>("Command1");
    Command2 = control<QPushButton>("Command2");
    Command3 = control<QPushButton>("Command3");
    txtCount = control<QLineEdit>("txtCount");
    txtName = control<QLineEdit>("txtName");
    txtCompany = control<QLineEdit>("txtCompany");
    txtPhone1 = control<QLineEdit>("txtPhone1");
    txtSource = control<SourceBox>("txtSource");
    lstSearch = control<QListWidget>("lstSearch");
    lstUrl = control<QListWidget>("lstUrl");
    lstNames = control<QListWidget>("lstNames");
    lstResults = control<QListWidget>("lstResults");
    frScan = control<QGroupBox>("frScan");
    frAdd = control<QGroupBox>("frAdd");
    lblScan1 = control<QLabel>("lblScan1");
    lblManual = control<QLabel>("lblManual");
    lblCurrRecord = control<QLabel>("lblCurrRecord");
    lblResults = control<QLabel>("lblResults");
    // A hollow match's warning sign stays within the height of one line of text.
    lstResults->setIconSize(QSize(12, 12));
    lstResults->setItemDelegate(new ResultLineDelegate(lstResults));
}

void frmMain::FitToText(QLabel *label)
{
    const QSize size = label->sizeHint();
    const QVariant centre = label->property(CentreProperty);
    const int left = centre.isValid() ? centre.toInt() - size.width() / 2 : label->x();
    label->setGeometry(left, label->y(), size.width(), size.height());
}

void frmMain::createMenus()
{
    QHash<QString, QMenu *> menus;
    for (const MainLayout::MenuItem &item : MainLayout::Menu()) {
        const QString menuName = QString::fromLatin1(item.menu);
        QMenu *menu = menus.value(menuName);
        if (!menu) {
            menu = menuBar()->addMenu(QString::fromLatin1(item.title));
            menu->setObjectName(menuName);
            menus.insert(menuName, menu);
        }
        QAction *action = menu->addAction(QString::fromLatin1(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        if (item.shortcut)
            action->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut)));
    }
    mnuAdd = findChild<QAction *>(QStringLiteral("mnuAdd"));
    mnuScan = findChild<QAction *>(QStringLiteral("mnuScan"));
    mnuExit = findChild<QAction *>(QStringLiteral("mnuExit"));
    mnuContents = findChild<QAction *>(QStringLiteral("mnuContents"));
    mnuAboutLink = findChild<QAction *>(QStringLiteral("mnuAboutLink"));
    mnuImport = findChild<QAction *>(QStringLiteral("mnuImport"));
    mnuExportSites = findChild<QAction *>(QStringLiteral("mnuExportSites"));
    mnuExportResults = findChild<QAction *>(QStringLiteral("mnuExportResults"));
    mnuPartners = findChild<QAction *>(QStringLiteral("mnuPartners"));
}

void frmMain::createTimers()
{
    for (const char *name : MainLayout::Timers()) {
        auto *timer = new QTimer(this);
        timer->setObjectName(QString::fromLatin1(name));
        timer->setInterval(MainLayout::TimerInterval);
    }
    tmrScan = findChild<QTimer *>(QStringLiteral("tmrScan"));
    tmrSearch = findChild<QTimer *>(QStringLiteral("tmrSearch"));
    tmrScan2 = findChild<QTimer *>(QStringLiteral("tmrScan2"));
    tmrSearch2 = findChild<QTimer *>(QStringLiteral("tmrSearch2"));
    pageFetch = new PageFetcher(this);
    pageFetch->setObjectName(QStringLiteral("pageFetch"));
    secondLook = new SecondLook(this);
    secondLook->setObjectName(QStringLiteral("secondLook"));
}

void frmMain::connectHandlers()
{
    connect(cmdAdd, &QPushButton::clicked, this, &frmMain::cmdAdd_Click);
    connect(cmdBack, &QPushButton::clicked, this, &frmMain::cmdBack_Click);
    connect(mnuAdd, &QAction::triggered, this, &frmMain::mnuAdd_Click);
    connect(mnuScan, &QAction::triggered, this, &frmMain::mnuScan_Click);
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
    connect(mnuContents, &QAction::triggered, this, &frmMain::mnuContents_Click);
    connect(mnuAboutLink, &QAction::triggered, this, &frmMain::mnuAboutLink_Click);
    connect(mnuImport, &QAction::triggered, this, &frmMain::mnuImport_Click);
    connect(mnuExportSites, &QAction::triggered, this, &frmMain::mnuExportSites_Click);
    connect(mnuExportResults, &QAction::triggered, this, &frmMain::mnuExportResults_Click);
    connect(mnuPartners, &QAction::triggered, this, &frmMain::mnuPartners_Click);

    connect(lstNames, &QListWidget::currentRowChanged, this, &frmMain::lstNames_Click);
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmMain::Command3_Click);
    connect(cmdNext, &QPushButton::clicked, this, &frmMain::cmdNext_Click);
    connect(cmdPrevious, &QPushButton::clicked, this, &frmMain::cmdPrevious_Click);
    // Only the user's own edits are checked: a long term read from the file is shown as it is.
    connect(txtPhone1, &QLineEdit::textEdited, this, &frmMain::txtPhone1_Change);

    connect(cmdStart, &QPushButton::clicked, this, &frmMain::cmdStart_Click);
    connect(cmdAgain, &QPushButton::clicked, this, &frmMain::cmdAgain_Click);
    connect(cmdSkip, &QPushButton::clicked, this, &frmMain::cmdSkip_Click);
    connect(tmrScan, &QTimer::timeout, this, &frmMain::tmrScan_Timer);
    connect(tmrSearch, &QTimer::timeout, this, &frmMain::tmrSearch_Timer);
    connect(tmrScan2, &QTimer::timeout, this, &frmMain::tmrScan2_Timer);
    connect(tmrSearch2, &QTimer::timeout, this, &frmMain::tmrSearch2_Timer);
    connect(pageFetch, &PageFetcher::pageFetched, this, &frmMain::PageFetched);
    connect(secondLook, &SecondLook::looked, this, &frmMain::SecondLooked);
    connect(secondLook, &SecondLook::idle, this, &frmMain::secondLook_Idle);

    // A double-click anywhere in a list, on a line or below the last one, acts on the selected
    // line as Enter does; the list's own signal only reports clicks on a line.
    for (QListWidget *list : {lstNames, lstResults}) {
        list->installEventFilter(this);
        list->viewport()->installEventFilter(this);
    }
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    QListWidget *list = watched == lstNames->viewport() ? lstNames : watched == lstResults->viewport() ? lstResults : nullptr;
    if (list && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
            if (list == lstNames)
                lstNames_DblClick();
            else
                lstResults_DblClick();
        }
        // A press below the last line leaves the selection as it is, so that a double-click
        // there acts on the selected line.
        if (!list->indexAt(mouse->position().toPoint()).isValid())
            return true;
    } else if (list == lstResults && event->type() == QEvent::ToolTip) {
        ShowLineTip(static_cast<QHelpEvent *>(event));
        return true;
    } else if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == lstNames)
                lstNames_KeyPress(13);
            else if (watched == lstResults)
                lstResults_KeyPress(13);
        }
    }
    // Everything else goes on to the list as usual.
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::Form_Load()
{
    // Relative names (the sites file, its backup) resolve in the folder that holds the list,
    // whatever directory the program was started from.
    QString placeError;
    if (!QDir::setCurrent(SitesLocation::Prepare(SitesLocation::Observe(), &placeError)) && placeError.isEmpty())
        placeError = QStringLiteral("Cannot open the folder that holds the list of sites.");
    if (!placeError.isEmpty())
        Feedback::Message(this, placeError);
    if (const QString error = Module1::LoadSites(); !error.isEmpty())
        Feedback::Message(this, error);
    if (const QString message = history_.open(QDir::current().absoluteFilePath(QString::fromLatin1(SitesFile::FileName)));
        !message.isEmpty())
        Feedback::Message(this, message);
    ShowRecord();
    FillLists();
    if (lstNames->count() > 0)
        SelectName(Module1::CurrRecord - 1);
    lstNames->setFocus();
}

void frmMain::ShowCentred()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
    // An About window left open would keep the program running with nothing else to show.
    if (frmAbout *about = frmAbout::Loaded())
        about->close();
}

void frmMain::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    for (QTimer *timer : {tmrScan, tmrSearch, tmrScan2, tmrSearch2})
        timer->stop();
    pageFetch->cancel();
    // A finding not confirmed is not history.
    secondLook->cancel();
    history_.endRun();
    StoreRecord();
    if (const QString error = Module1::SaveSites(); !error.isEmpty())
        Feedback::Message(this, error);
}

void frmMain::cmdAdd_Click()
{
    frAdd->show();
    frScan->hide();
}

void frmMain::mnuAdd_Click()
{
    cmdAdd_Click();
}

void frmMain::cmdBack_Click()
{
    frAdd->hide();
    frScan->show();
}

void frmMain::mnuExit_Click()
{
    // Ends the program as closing the window does: the user's edits are stored and saved.
    close();
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}
