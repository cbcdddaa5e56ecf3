#pragma once

#include "Registry.h"

#include <QString>
#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;

// The maker of the program and where the About window leads to.
namespace Maker {
inline constexpr char Name[] = "Orvandel Software";
inline constexpr char WebSite[] = "https://example.com/orvandel/";
inline constexpr char MailingList[] = "https://example.com/orvandel/mailing-list/";
// The desktop's own opener, started with the web site as its one argument.
inline constexpr char Opener[] = "xdg-open";
} // namespace Maker

// The About window: title, version, a description and a legal warning, ways to the maker and
// to the machine's system-information program. It has no owner, and closes with the main
// window; at most one is loaded at a time.
class frmAbout : public QWidget
{
    Q_OBJECT

public:
    // What GetKeyValue answers: found (-1) or missing (0), the program's truth values, or a
    // run-time fault that the caller's error trap deals with.
    enum class KeyAnswer : int { Missing = 0, Found = -1, Fault = 1 };

    // Loads the window on first use, else shows the one already loaded, and brings it forward.
    static frmAbout *ShowAbout();
    // The loaded window, or nullptr.
    static frmAbout *Loaded();

    frmAbout();
    ~frmAbout() override;

    // Finds the system-information program through the registry and starts it, or says that
    // it cannot.
    void StartSysInfo();
    // Reads the value SubKeyRef of the key Keyname under KeyRoot into KeyVal.
    KeyAnswer GetKeyValue(const Registry::HKEY &KeyRoot, const QString &Keyname,
                          const QString &SubKeyRef, QString &KeyVal);

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void picIcon_Click();
    void Image1_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void Form_Load();

    QLabel *picIcon = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLabel *lblDisclaimer = nullptr;
    QGroupBox *Frame2 = nullptr;
    QLabel *lblDescription = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command4 = nullptr;
    QLabel *Image1 = nullptr;
};
