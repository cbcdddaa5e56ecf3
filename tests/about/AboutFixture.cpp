#include "AboutFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool AboutFixture::startsSucceed(const QString &program)
{
    const QFileInfo file(program);
    return file.isFile() && file.isExecutable();
}

QString AboutFixture::makeProgram(const QString &relativePath)
{
    const QString path = scratch.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nexit 0\n");
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return path;
}

int AboutFixture::loadedWindows()
{
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<frmAbout *>(widget))
            ++count;
    }
    return count;
}
