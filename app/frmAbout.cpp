#include "frmAbout.h"

#include "AppInfo.h"
#include "Feedback.h"
#include "ProcessStart.h"
#include "ShexIt.h"

#include <QCloseEvent>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Where Windows keeps the path of its System Information program, and where else to look.
constexpr char gREGKEYSYSINFO[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr char gREGVALSYSINFO[] = "PATH";
constexpr char gREGKEYSYSINFOLOC[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr char gREGVALSYSINFOLOC[] = "MSINFO";
constexpr char SysInfoProgram[] = "/MSINFO32.EXE";

// Asks to change the key as well as to read it, so keys the user may only read count as
// missing.
constexpr std::uint32_t KEY_ALL_ACCESS = Registry::READ_CONTROL | Registry::KEY_QUERY_VALUE
    | Registry::KEY_SET_VALUE | Registry::KEY_CREATE_SUB_KEY | Registry::KEY_ENUMERATE_SUB_KEYS
    | Registry::KEY_NOTIFY | Registry::KEY_CREATE_LINK;
static_assert(KEY_ALL_ACCESS == 0x2003F);

constexpr char SysInfoUnavailable[] = "System Information Is Unavailable At This Time";

constexpr char Description[] =
    "Find more of our programs on our web site: the Orvandel button leads there. Join the "
    "mailing list to hear of new releases.";
constexpr char Disclaimer[] =
    "Warning: this program is protected by copyright law. Copying it or passing it on, in "
    "whole or in part, without the written permission of Orvandel Software is against the "
    "law and may be prosecuted.";

// Twips to pixels, at 15 twips to the pixel.
int px(int twips)
{
    return static_cast<int>(std::lround(twips / 15.0));
}

enum class Kind { PictureBox, Label, Frame, Button, Image };

struct Control {
    const char *name;
    Kind kind;
    const char *container; // nullptr: the window
    const char *caption;
    const char *toolTip;
    int left, top, width, height; // twips
    int tab;                      // place in the tab order; -1: takes no place
    bool handPointer;             // the pointer that marks a way to the maker
};

// The window as laid out, in tab order. Captions left empty here are set at load.
const Control Layout[] = {
    // name              kind              container  caption                            tool tip                     left   top width height tab hand
    {"picIcon",        Kind::PictureBox, nullptr,  "",                                "Orvandel Software",         120,  120, 1065, 2205,  0, true},
    {"lblTitle",       Kind::Label,      nullptr,  "",                                "",                         1560,  240, 1710,  240,  1, false},
    {"lblVersion",     Kind::Label,      nullptr,  "",                                "",                         1560,  600,  810,  240,  2, false},
    {"Frame1",         Kind::Frame,      nullptr,  "",                                "",                          120, 2405, 4095, 1455,  3, false},
    {"lblDisclaimer",  Kind::Label,      "Frame1", Disclaimer,                        "",                          120,  240, 3870, 1185,  4, false},
    {"Frame2",         Kind::Frame,      nullptr,  "",                                "",                         1560,  840, 3975, 1095,  5, false},
    {"lblDescription", Kind::Label,      "Frame2", Description,                       "",                          120,  120, 3795,  810,  6, false},
    {"Command1",       Kind::Button,     nullptr,  "&Join the Orvandel mailing list", "Join our mailing list",     1560, 2040, 2295,  345,  7, true},
    {"Command2",       Kind::Button,     nullptr,  "&Orvandel",                       "Visit Orvandel",            4290, 2040, 1245,  345,  8, true},
    {"Command3",       Kind::Button,     nullptr,  "Clos&e",                          "Close this window",         4290, 2777, 1245,  345,  9, false},
    {"Command4",       Kind::Button,     nullptr,  "&System Info",                    "Info about your computer",  4290, 3480, 1245,  345, 10, false},
    {"Image1",         Kind::Image,      nullptr,  "",                                "",                         5040,  120,  480,  480, -1, true},
};

constexpr int InnerWidth = 5730;
constexpr int InnerHeight = 3990;

frmAbout *loaded = nullptr;

QCursor handCursor()
{
    // The tip of the forefinger is the hot spot.
    return QCursor(QPixmap(QStringLiteral(":/about/hand.png")), 10, 1);
}

QFont titleFont(const QFont &base)
{
    QFont font = base;
    if (QFontDatabase::families().contains(QStringLiteral("MS Sans Serif")))
        font.setFamily(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(9.75);
    font.setBold(true);
    return font;
}

// The layout was drawn for a narrower font than most desktops have: a caption that would not
// show whole on its button is written a little smaller instead.
void fitCaption(QPushButton *button)
{
    QFont font = button->font();
    while (button->sizeHint().width() > button->width() && font.pointSizeF() > 6.0) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        button->setFont(font);
    }
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

} // namespace

frmAbout *frmAbout::ShowAbout()
{
    if (!loaded) {
        auto *form = new frmAbout;
        if (QScreen *screen = QGuiApplication::primaryScreen())
            form->move(screen->availableGeometry().center() - form->rect().center());
    }
    loaded->show();
    loaded->raise();
    loaded->activateWindow();
    return loaded;
}

frmAbout *frmAbout::Loaded()
{
    return loaded;
}

frmAbout::frmAbout()
    : QWidget(nullptr,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                  | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    loaded = this;
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmAbout"));
    setFixedSize(px(InnerWidth), px(InnerHeight));
    // The same 8-point text as the main window.
    QFont text = font();
    text.setPointSize(8);
    setFont(text);
    QIcon icon;
    for (const char *file : {":/app/icon16.png", ":/app/icon32.png"}) {
        if (QFile::exists(QString::fromLatin1(file)))
            icon.addFile(QString::fromLatin1(file));
    }
    if (!icon.isNull())
        setWindowIcon(icon);
    createControls();
    Form_Load();
}

frmAbout::~frmAbout()
{
    if (loaded == this)
        loaded = nullptr;
}

void frmAbout::createControls()
{
    // The window's pictures travel inside the program; a static library needs to be told.
    Q_INIT_RESOURCE(about);

    QHash<QString, QWidget *> made;
    std::vector<const Control *> byTab;
    for (const Control &c : Layout) {
        QWidget *parent = c.container ? made.value(QString::fromLatin1(c.container)) : this;
        const QString caption = QString::fromUtf8(c.caption);
        QWidget *widget = nullptr;
        switch (c.kind) {
        case Kind::PictureBox: {
            auto *box = new QLabel(parent);
            box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            box->setLineWidth(2);
            box->setAlignment(Qt::AlignCenter);
            box->setPixmap(QPixmap(QStringLiteral(":/about/logo.png")));
            widget = box;
            break;
        }
        case Kind::Label: {
            auto *label = new QLabel(caption, parent);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            widget = label;
            break;
        }
        case Kind::Frame:
            widget = new QGroupBox(caption, parent);
            break;
        case Kind::Button:
            widget = new QPushButton(caption, parent);
            break;
        case Kind::Image: {
            auto *image = new QLabel(parent);
            image->setPixmap(QPixmap(QStringLiteral(":/about/image1.png")));
            widget = image;
            break;
        }
        }
        widget->setObjectName(QString::fromLatin1(c.name));
        widget->setGeometry(px(c.left), px(c.top), px(c.width), px(c.height));
        if (*c.toolTip)
            widget->setToolTip(QString::fromUtf8(c.toolTip));
        if (c.handPointer)
            widget->setCursor(handCursor());
        made.insert(widget->objectName(), widget);
        if (c.tab >= 0)
            byTab.push_back(&c);
    }

    std::stable_sort(byTab.begin(), byTab.end(),
                     [](const Control *a, const Control *b) { return a->tab < b->tab; });
    QWidget *previous = nullptr;
    for (const Control *c : byTab) {
        QWidget *widget = made.value(QString::fromLatin1(c->name));
        if (widget->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }

    picIcon = qobject_cast<QLabel *>(made.value(QStringLiteral("picIcon")));
    lblTitle = qobject_cast<QLabel *>(made.value(QStringLiteral("lblTitle")));
    lblVersion = qobject_cast<QLabel *>(made.value(QStringLiteral("lblVersion")));
    Frame1 = qobject_cast<QGroupBox *>(made.value(QStringLiteral("Frame1")));
    lblDisclaimer = qobject_cast<QLabel *>(made.value(QStringLiteral("lblDisclaimer")));
    Frame2 = qobject_cast<QGroupBox *>(made.value(QStringLiteral("Frame2")));
    lblDescription = qobject_cast<QLabel *>(made.value(QStringLiteral("lblDescription")));
    Command1 = qobject_cast<QPushButton *>(made.value(QStringLiteral("Command1")));
    Command2 = qobject_cast<QPushButton *>(made.value(QStringLiteral("Command2")));
    Command3 = qobject_cast<QPushButton *>(made.value(QStringLiteral("Command3")));
    Command4 = qobject_cast<QPushButton *>(made.value(QStringLiteral("Command4")));
    Image1 = qobject_cast<QLabel *>(made.value(QStringLiteral("Image1")));

    // The logo box fits itself around its picture.
    const int border = 2 * picIcon->frameWidth();
    picIcon->resize(picIcon->pixmap().size() + QSize(border, border));

    for (QLabel *label : {lblTitle, lblVersion}) {
        label->setWordWrap(false);
        label->setFont(titleFont(label->font()));
        setTextColour(label, Qt::blue);
    }
    for (QLabel *label : {lblDisclaimer, lblDescription})
        setTextColour(label, Qt::black);

    picIcon->installEventFilter(this);
    Image1->installEventFilter(this);
    for (QPushButton *button : {Command1, Command2, Command3, Command4})
        fitCaption(button);

    connect(Command1, &QPushButton::clicked, this, &frmAbout::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmAbout::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmAbout::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmAbout::Command4_Click);
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + QString::fromLatin1(AppInfo::Title));
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(AppInfo::Major)
                            .arg(AppInfo::Minor)
                            .arg(AppInfo::Revision));
    lblTitle->setText(QString::fromLatin1(AppInfo::Title));
    // Both labels size themselves to their text.
    lblVersion->adjustSize();
    lblTitle->adjustSize();
}

void frmAbout::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    // Unloaded from here on: the next About loads a new window, even before this one is gone.
    if (event->isAccepted() && loaded == this)
        loaded = nullptr;
}

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        auto *widget = qobject_cast<QWidget *>(watched);
        if (mouse->button() == Qt::LeftButton && widget
            && widget->rect().contains(mouse->position().toPoint())) {
            if (watched == picIcon)
                picIcon_Click();
            else if (watched == Image1)
                Image1_Click();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmAbout::Command1_Click()
{
    ShexIt::ShellOpen(this, QUrl(QString::fromLatin1(Maker::MailingList)));
}

void frmAbout::Command2_Click()
{
    ShexIt::ShellOpen(this, QUrl(QString::fromLatin1(Maker::WebSite)));
}

void frmAbout::picIcon_Click()
{
    Command2_Click();
}

void frmAbout::Image1_Click()
{
    ProcessStart::Start(QString::fromLatin1(Maker::Opener), {QString::fromLatin1(Maker::WebSite)},
                        ProcessStart::MinimizedFocus);
}

void frmAbout::Command3_Click()
{
    close();
}

void frmAbout::Command4_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    QString SysInfoPath;
    // Every failure below ends here, as one error trap would.
    const auto unavailable = [this] {
        Feedback::Message(this, QString::fromLatin1(SysInfoUnavailable));
    };

    switch (GetKeyValue(Registry::HKEY_LOCAL_MACHINE, QString::fromLatin1(gREGKEYSYSINFO),
                        QString::fromLatin1(gREGVALSYSINFO), SysInfoPath)) {
    case KeyAnswer::Fault:
        return unavailable();
    case KeyAnswer::Found:
        // Taken as it is: a path that names nothing fails to start below.
        break;
    case KeyAnswer::Missing: {
        if (GetKeyValue(Registry::HKEY_LOCAL_MACHINE, QString::fromLatin1(gREGKEYSYSINFOLOC),
                        QString::fromLatin1(gREGVALSYSINFOLOC), SysInfoPath)
            != KeyAnswer::Found)
            return unavailable();
        const QFileInfo program(SysInfoPath + QString::fromLatin1(SysInfoProgram));
        // Only an ordinary file will do: no folder, no hidden file.
        if (!program.exists() || !program.isFile() || program.isHidden())
            return unavailable();
        SysInfoPath = program.filePath();
        break;
    }
    }

    if (!ProcessStart::Start(SysInfoPath, {}, ProcessStart::NormalFocus))
        unavailable();
}

frmAbout::KeyAnswer frmAbout::GetKeyValue(const Registry::HKEY &KeyRoot, const QString &Keyname,
                                          const QString &SubKeyRef, QString &KeyVal)
{
    using namespace Registry;

    HKEY hKey = 0;
    if (RegOpenKeyExA(KeyRoot, Keyname.toLocal8Bit(), 0, KEY_ALL_ACCESS, hKey) != ERROR_SUCCESS) {
        KeyVal.clear();
        return KeyAnswer::Missing;
    }

    QByteArray tmpVal(1024, '\0');
    std::uint32_t KeyValSize = 1024;
    std::uint32_t KeyValType = REG_NONE;
    KeyAnswer answer = KeyAnswer::Found;
    if (RegQueryValueExA(hKey, SubKeyRef.toLocal8Bit(), 0, KeyValType, tmpVal.data(), KeyValSize)
        != ERROR_SUCCESS) {
        KeyVal.clear();
        answer = KeyAnswer::Missing;
    } else if (KeyValSize == 0) {
        // The trim below looks at the last character written; with none there is nothing to
        // look at, and the read fails as a whole.
        answer = KeyAnswer::Fault;
    } else {
        // A text stored with its terminating zero loses only that zero.
        const qsizetype kept = tmpVal.at(KeyValSize - 1) == '\0' ? KeyValSize - 1 : KeyValSize;
        tmpVal.truncate(kept);
        switch (KeyValType) {
        case REG_SZ:
            KeyVal = QString::fromLocal8Bit(tmpVal);
            break;
        case REG_DWORD: {
            std::uint32_t number = 0;
            for (qsizetype i = std::min<qsizetype>(tmpVal.size(), 4) - 1; i >= 0; --i)
                number = (number << 8) | static_cast<unsigned char>(tmpVal.at(i));
            KeyVal = QStringLiteral("&h") + QString::number(number, 16).toUpper();
            break;
        }
        default:
            break;
        }
    }

    RegCloseKey(hKey);
    return answer;
}
