#include "SysInfoRegistry.h"

#include <QStandardPaths>

namespace Registry {

namespace {
constexpr char MsinfoKey[] = "software\\microsoft\\shared tools\\msinfo";
constexpr char PathValue[] = "path";
} // namespace

const QStringList &SysInfoStore::Programs()
{
    static const QStringList programs{
        QStringLiteral("hardinfo"),
        QStringLiteral("gnome-system-monitor"),
        QStringLiteral("kinfocenter"),
        QStringLiteral("xfce4-taskmanager"),
    };
    return programs;
}

SysInfoStore::SysInfoStore(QStringList searchFolders)
    : folders(std::move(searchFolders))
{
}

QString SysInfoStore::FindProgram() const
{
    for (const QString &program : Programs()) {
        const QString path = QStandardPaths::findExecutable(program, folders);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

Status SysInfoStore::OpenKey(HKEY root, const QByteArray &subKey, std::uint32_t options,
                             std::uint32_t access, HKEY &result)
{
    Q_UNUSED(options);
    Q_UNUSED(access);
    if (root != HKEY_LOCAL_MACHINE || subKey.toLower() != MsinfoKey)
        return ERROR_FILE_NOT_FOUND;
    // Looked for at each opening: a program installed while the window is open counts.
    const QString program = FindProgram();
    if (program.isEmpty())
        return ERROR_FILE_NOT_FOUND;
    QByteArray text = program.toLocal8Bit();
    text.append('\0');
    result = nextHandle++;
    handles[result] = text;
    return ERROR_SUCCESS;
}

Status SysInfoStore::QueryValue(HKEY key, const QByteArray &valueName, std::uint32_t reserved,
                                std::uint32_t &type, char *data, std::uint32_t &size)
{
    Q_UNUSED(reserved);
    auto handle = handles.find(key);
    if (handle == handles.end())
        return ERROR_INVALID_HANDLE;
    if (valueName.toLower() != PathValue)
        return ERROR_FILE_NOT_FOUND;
    type = REG_SZ;
    return CopyOut(handle->second, data, size);
}

Status SysInfoStore::CloseKey(HKEY key)
{
    return handles.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

} // namespace Registry
