#include "frmMain.h"

#include "AppInfo.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(AppInfo::Title));
    QApplication::setApplicationVersion(
            QStringLiteral("%1.%2.%3").arg(AppInfo::Major).arg(AppInfo::Minor).arg(AppInfo::Revision));

    auto *window = new frmMain;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->Form_Load();
    window->ShowCentred();
    return app.exec();
}
