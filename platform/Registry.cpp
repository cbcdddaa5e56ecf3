#include "Registry.h"

#include "SysInfoRegistry.h"

#include <QtEndian>

#include <cstring>

namespace Registry {

namespace {

QByteArray folded(const QByteArray &name)
{
    return name.toLower();
}

QString rootName(HKEY root)
{
    switch (root) {
    case HKEY_CLASSES_ROOT:
        return QStringLiteral("HKEY_CLASSES_ROOT");
    case HKEY_CURRENT_USER:
        return QStringLiteral("HKEY_CURRENT_USER");
    case HKEY_LOCAL_MACHINE:
        return QStringLiteral("HKEY_LOCAL_MACHINE");
    case HKEY_USERS:
        return QStringLiteral("HKEY_USERS");
    default:
        return QStringLiteral("0x%1").arg(root, 8, 16, QLatin1Char('0'));
    }
}

Store *installed = nullptr;

} // namespace

Status Store::CopyOut(const QByteArray &value, char *data, std::uint32_t &size)
{
    const auto needed = static_cast<std::uint32_t>(value.size());
    if (needed > size) {
        size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed > 0)
        std::memcpy(data, value.constData(), needed);
    size = needed;
    return ERROR_SUCCESS;
}

Status MemoryStore::OpenKey(HKEY root, const QByteArray &subKey, std::uint32_t options,
                            std::uint32_t access, HKEY &result)
{
    Q_UNUSED(options);
    openRequests << rootName(root) + QLatin1Char('\\') + QString::fromLocal8Bit(subKey);
    auto found = keys.find({root, folded(subKey)});
    if (found == keys.end())
        return ERROR_FILE_NOT_FOUND;
    if ((access & ~found->second.granted) != 0)
        return ERROR_ACCESS_DENIED;
    result = nextHandle++;
    handles[result] = &found->second;
    return ERROR_SUCCESS;
}

Status MemoryStore::QueryValue(HKEY key, const QByteArray &valueName, std::uint32_t reserved,
                               std::uint32_t &type, char *data, std::uint32_t &size)
{
    Q_UNUSED(reserved);
    auto handle = handles.find(key);
    if (handle == handles.end())
        return ERROR_INVALID_HANDLE;
    auto &values = handle->second->values;
    auto found = values.find(folded(valueName));
    if (found == values.end())
        return ERROR_FILE_NOT_FOUND;
    type = found->second.type;
    return CopyOut(found->second.data, data, size);
}

Status MemoryStore::CloseKey(HKEY key)
{
    return handles.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

MemoryStore::Key &MemoryStore::key(HKEY root, const QString &subKey)
{
    return keys[{root, folded(subKey.toLocal8Bit())}];
}

void MemoryStore::SetValue(HKEY root, const QString &subKey, const QString &valueName,
                           std::uint32_t type, const QByteArray &data)
{
    key(root, subKey).values[folded(valueName.toLocal8Bit())] = Value{type, data};
}

void MemoryStore::SetText(HKEY root, const QString &subKey, const QString &valueName,
                          const QString &text, bool terminatingZero)
{
    QByteArray bytes = text.toLocal8Bit();
    if (terminatingZero)
        bytes.append('\0');
    SetValue(root, subKey, valueName, REG_SZ, bytes);
}

void MemoryStore::SetDword(HKEY root, const QString &subKey, const QString &valueName,
                           std::uint32_t number)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(number, bytes.data());
    SetValue(root, subKey, valueName, REG_DWORD, bytes);
}

void MemoryStore::SetGranted(HKEY root, const QString &subKey, std::uint32_t granted)
{
    key(root, subKey).granted = granted;
}

void SetStore(Store *store)
{
    installed = store;
}

Store &CurrentStore()
{
    if (installed)
        return *installed;
    static SysInfoStore machine;
    return machine;
}

Status RegOpenKeyExA(HKEY hKey, const QByteArray &lpSubKey, std::uint32_t ulOptions,
                     std::uint32_t samDesired, HKEY &phkResult)
{
    return CurrentStore().OpenKey(hKey, lpSubKey, ulOptions, samDesired, phkResult);
}

Status RegQueryValueExA(HKEY hKey, const QByteArray &lpValueName, std::uint32_t lpReserved,
                        std::uint32_t &lpType, char *lpData, std::uint32_t &lpcbData)
{
    return CurrentStore().QueryValue(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
}

Status RegCloseKey(HKEY hKey)
{
    return CurrentStore().CloseKey(hKey);
}

} // namespace Registry
