#include "AboutFixture.h"

#include "SysInfoRegistry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QThread>

#include <functional>

using Registry::HKEY_LOCAL_MACHINE;

namespace {

const QString PathKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString PathValue = QStringLiteral("PATH");
const QString LocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString LocationValue = QStringLiteral("MSINFO");
const QString Unavailable = QStringLiteral("System Information Is Unavailable At This Time");

struct Scratch {
    QString folder;
    std::function<QString(const QString &)> makeProgram;
};

struct SysInfoCase {
    const char *what;
    // Fills the registry; returns the path that must be started, or empty text when nothing
    // can be.
    std::function<QString(Registry::MemoryStore &, const Scratch &)> fill;
    bool secondLocationAsked;
};

void PrintTo(const SysInfoCase &c, std::ostream *os)
{
    *os << c.what;
}

const SysInfoCase SysInfoCases[] = {
    {"first location names a program: started as it is",
     [](auto &r, const Scratch &s) {
         const QString program = s.makeProgram(QStringLiteral("tools/sysinfo"));
         r.SetText(HKEY_LOCAL_MACHINE, PathKey, PathValue, program);
         r.SetText(HKEY_LOCAL_MACHINE, LocationKey, LocationValue, s.folder);
         s.makeProgram(QStringLiteral("MSINFO32.EXE"));
         return program;
     },
     false},
    {"first location names a missing program: the second is not tried",
     [](auto &r, const Scratch &s) {
         r.SetText(HKEY_LOCAL_MACHINE, PathKey, PathValue, s.folder + QStringLiteral("/gone"));
         r.SetText(HKEY_LOCAL_MACHINE, LocationKey, LocationValue, s.folder);
         s.makeProgram(QStringLiteral("MSINFO32.EXE"));
         return QString();
     },
     false},
    {"first location holds another type: the empty path cannot start",
     [](auto &r, const Scratch &s) {
         r.SetValue(HKEY_LOCAL_MACHINE, PathKey, PathValue, Registry::REG_BINARY, "\x01\x02");
         r.SetText(HKEY_LOCAL_MACHINE, LocationKey, LocationValue, s.folder);
         s.makeProgram(QStringLiteral("MSINFO32.EXE"));
         return QString();
     },
     false},
    {"first location holds a number: its text names no program",
     [](auto &r, const Scratch &) {
         r.SetDword(HKEY_LOCAL_MACHINE, PathKey, PathValue, 7);
         return QString();
     },
     false},
    {"first location holds a value of length zero",
     [](auto &r, const Scratch &s) {
         r.SetValue(HKEY_LOCAL_MACHINE, PathKey, PathValue, Registry::REG_SZ, QByteArray());
         r.SetText(HKEY_LOCAL_MACHINE, LocationKey, LocationValue, s.folder);
         s.makeProgram(QStringLiteral("MSINFO32.EXE"));
         return QString();
     },
     false},
    {"first missing, second names a folder holding the program",
     [](auto &r, const Scratch &s) {
         r.SetText(HKEY_LOCAL_MACHINE, LocationKey, LocationValue, s.folder + QStringLiteral("/msinfo"));
         return s.makeProgram(QStringLiteral("msinfo/MSINFO32.EXE"));
     },
     true},
    {"first key without its value, second names a folder holding the program",
     [](auto &r, const Scratch &s) {
         r.SetText(HKEY_LOCAL_MACHINE, PathKey, QStringLiteral("OTHER"), QStringLiteral("/bin/true"));
         r.SetText(HKEY_LOCAL_MACHINE, LocationKey, LocationValue, s.folder);
         return s.makeProgram(QStringLiteral("MSINFO32.EXE"));
     },
     true},
    {"first missing, second names a folder without the program",
     [](auto &r, const Scratch &s) {
         r.SetText(HKEY_LOCAL_MACHINE, LocationKey, LocationValue, s.folder);
         s.makeProgram(QStringLiteral("msinfo32.exe.bak"));
         return QString();
     },
     true},
    {"first missing, second names a folder where the program's name is a folder",
     [](auto &r, const Scratch &s) {
         QDir(s.folder).mkpath(QStringLiteral("MSINFO32.EXE"));
         r.SetText(HKEY_LOCAL_MACHINE, LocationKey, LocationValue, s.folder);
         return QString();
     },
     true},
    {"first missing, second names a missing folder",
     [](auto &r, const Scratch &s) {
         r.SetText(HKEY_LOCAL_MACHINE, LocationKey, LocationValue, s.folder + QStringLiteral("/none"));
         return QString();
     },
     true},
    {"neither location",
     [](auto &, const Scratch &) { return QString(); },
     true},
    {"both keys may only be read",
     [](auto &r, const Scratch &s) {
         r.SetText(HKEY_LOCAL_MACHINE, PathKey, PathValue, s.makeProgram(QStringLiteral("tools/sysinfo")));
         r.SetText(HKEY_LOCAL_MACHINE, LocationKey, LocationValue, s.folder);
         s.makeProgram(QStringLiteral("MSINFO32.EXE"));
         r.SetGranted(HKEY_LOCAL_MACHINE, PathKey, Registry::KEY_READ);
         r.SetGranted(HKEY_LOCAL_MACHINE, LocationKey, Registry::KEY_READ);
         return QString();
     },
     true},
};

class StartSysInfoTest : public AboutFixture, public ::testing::WithParamInterface<SysInfoCase>
{
};

TEST_P(StartSysInfoTest, StartsTheProgramOrSaysItCannot)
{
    const Scratch s{scratch.path(), [this](const QString &p) { return makeProgram(p); }};
    const QString expected = GetParam().fill(registry, s);
    frmAbout *form = frmAbout::ShowAbout();

    form->StartSysInfo();

    const QString locationKey = QStringLiteral("HKEY_LOCAL_MACHINE\\") + LocationKey;
    EXPECT_EQ(registry.OpenRequests().first(), QStringLiteral("HKEY_LOCAL_MACHINE\\") + PathKey);
    EXPECT_EQ(registry.OpenRequests().contains(locationKey), GetParam().secondLocationAsked);
    EXPECT_EQ(registry.OpenHandles(), 0);
    if (expected.isEmpty()) {
        EXPECT_EQ(feedback.messages, QStringList{Unavailable});
        for (const Started &start : started)
            EXPECT_FALSE(startsSucceed(start.program)) << qPrintable(start.program);
    } else {
        EXPECT_TRUE(feedback.messages.isEmpty());
        ASSERT_EQ(started.size(), 1);
        EXPECT_EQ(QFileInfo(started[0].program).canonicalFilePath(), QFileInfo(expected).canonicalFilePath());
        EXPECT_EQ(started[0].program, expected) << "the path as found, joined plainly";
        EXPECT_TRUE(started[0].arguments.isEmpty());
        EXPECT_EQ(started[0].style, ProcessStart::NormalFocus);
    }
    EXPECT_EQ(frmAbout::Loaded(), form) << "the About window stays open";
    EXPECT_TRUE(form->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Cases, StartSysInfoTest, ::testing::ValuesIn(SysInfoCases),
                         [](const auto &info) { return CaseName(info.param.what); });

TEST_F(AboutFixture, SystemInfoButtonRunsStartSysInfo)
{
    const QString program = makeProgram(QStringLiteral("sysinfo"));
    registry.SetText(HKEY_LOCAL_MACHINE, PathKey, PathValue, program);
    frmAbout *form = frmAbout::ShowAbout();
    auto *button = form->findChild<QPushButton *>(QStringLiteral("Command4"));
    ASSERT_NE(button, nullptr);
    button->click();
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started[0].program, program);
}

// The machine's own registry answers with the first system-information program it finds.
class MachineRegistryTest : public AboutFixture
{
protected:
    QString folderFor(const QStringList &programs)
    {
        const QString folder = scratch.filePath(QStringLiteral("bin%1").arg(++folders));
        for (const QString &name : programs)
            makeProgram(QStringLiteral("bin%1/").arg(folders) + name);
        return folder;
    }
    int folders = 0;
};

TEST_F(MachineRegistryTest, AnswersTheFirstProgramOfTheList)
{
    const struct {
        QStringList installed;
        const char *answer;
    } cases[] = {
        {{QStringLiteral("xfce4-taskmanager"), QStringLiteral("kinfocenter")}, "kinfocenter"},
        {{QStringLiteral("xfce4-taskmanager"), QStringLiteral("hardinfo"), QStringLiteral("gnome-system-monitor")}, "hardinfo"},
        {{QStringLiteral("gnome-system-monitor"), QStringLiteral("kinfocenter")}, "gnome-system-monitor"},
        {{QStringLiteral("xfce4-taskmanager")}, "xfce4-taskmanager"},
    };
    for (const auto &c : cases) {
        const QString folder = folderFor(c.installed);
        Registry::SysInfoStore machine({folder});
        Registry::SetStore(&machine);
        frmAbout form;
        QString KeyVal;
        EXPECT_EQ(form.GetKeyValue(HKEY_LOCAL_MACHINE, PathKey, PathValue, KeyVal), frmAbout::KeyAnswer::Found);
        EXPECT_EQ(KeyVal, folder + QLatin1Char('/') + QString::fromLatin1(c.answer));
        Registry::SetStore(&registry);
    }
}

TEST_F(MachineRegistryTest, AnswersNothingElse)
{
    Registry::SysInfoStore machine({folderFor({QStringLiteral("hardinfo")})});
    Registry::SetStore(&machine);
    frmAbout form;
    const struct {
        Registry::HKEY root;
        QString key;
        QString value;
    } others[] = {
        {Registry::HKEY_CURRENT_USER, PathKey, PathValue},
        {HKEY_LOCAL_MACHINE, LocationKey, LocationValue},
        {HKEY_LOCAL_MACHINE, PathKey, QStringLiteral("Version")},
        {HKEY_LOCAL_MACHINE, PathKey + QStringLiteral("\\Sub"), PathValue},
    };
    for (const auto &o : others) {
        QString KeyVal = QStringLiteral("x");
        EXPECT_EQ(form.GetKeyValue(o.root, o.key, o.value, KeyVal), frmAbout::KeyAnswer::Missing) << qPrintable(o.key);
        EXPECT_EQ(KeyVal, QString());
    }
}

TEST_F(MachineRegistryTest, ProgramThatCannotRunDoesNotCount)
{
    const QString folder = folderFor({QStringLiteral("kinfocenter")});
    QFile plain(folder + QStringLiteral("/hardinfo"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    Registry::SysInfoStore machine({folder});
    EXPECT_EQ(machine.FindProgram(), folder + QStringLiteral("/kinfocenter"));
}

TEST_F(MachineRegistryTest, WithoutAnyProgramTheButtonSaysSo)
{
    Registry::SysInfoStore machine({folderFor({})});
    Registry::SetStore(&machine);
    frmAbout::ShowAbout()->StartSysInfo();
    EXPECT_TRUE(started.isEmpty());
    EXPECT_EQ(feedback.messages, QStringList{Unavailable});
}

TEST_F(MachineRegistryTest, WithAProgramTheButtonStartsIt)
{
    const QString folder = folderFor({QStringLiteral("gnome-system-monitor")});
    Registry::SysInfoStore machine({folder});
    Registry::SetStore(&machine);
    frmAbout::ShowAbout()->StartSysInfo();
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started[0].program, folder + QStringLiteral("/gnome-system-monitor"));
    EXPECT_TRUE(feedback.messages.isEmpty());
}

// Without the recorder: a real program is started and left to run on its own. The program
// goes on only once StartSysInfo has returned, so a start that waited for it would never see
// it finish its work.
TEST_F(AboutFixture, RealStartRunsTheProgramWithoutWaiting)
{
    ProcessStart::SetStarter({});
    const QString go = scratch.filePath(QStringLiteral("go"));
    const QString marker = scratch.filePath(QStringLiteral("ran"));
    const QString program = scratch.filePath(QStringLiteral("sysinfo.sh"));
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\n"
                                "for i in $(seq 200); do\n"
                                "  if [ -e '%1' ]; then echo ran > '%2'; exit 0; fi\n"
                                "  sleep 0.05\n"
                                "done\n")
                     .arg(go, marker)
                     .toLocal8Bit());
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    registry.SetText(HKEY_LOCAL_MACHINE, PathKey, PathValue, program);

    frmAbout::ShowAbout()->StartSysInfo();
    EXPECT_TRUE(feedback.messages.isEmpty());
    QFile goSignal(go);
    ASSERT_TRUE(goSignal.open(QIODevice::WriteOnly));
    goSignal.close();

    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(marker) && clock.elapsed() < 20000)
        QThread::msleep(50);
    EXPECT_TRUE(QFile::exists(marker));
}

TEST_F(AboutFixture, RealStartOfAFileThatCannotRunShowsTheMessage)
{
    ProcessStart::SetStarter({});
    const QString program = scratch.filePath(QStringLiteral("not-a-program"));
    QFile plain(program);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("just text\n");
    plain.close();
    for (const QString &path : {program, scratch.filePath(QStringLiteral("missing"))}) {
        feedback.messages.clear();
        registry.SetText(HKEY_LOCAL_MACHINE, PathKey, PathValue, path);
        frmAbout::ShowAbout()->StartSysInfo();
        EXPECT_EQ(feedback.messages, QStringList{Unavailable}) << qPrintable(path);
    }
}

} // namespace
