#pragma once

#include "Registry.h"

#include <QStringList>

#include <map>

namespace Registry {

// This machine keeps no registry. It answers the one value through which the About window
// finds a system-information program, HKEY_LOCAL_MACHINE "SOFTWARE\Microsoft\Shared Tools\MSINFO"
// value "PATH", with the first such program installed here, and nothing else.
class SysInfoStore : public Store
{
public:
    // Looked for in this order.
    static const QStringList &Programs();

    // Where the programs are looked for; empty: the folders of the PATH.
    explicit SysInfoStore(QStringList searchFolders = {});

    Status OpenKey(HKEY root, const QByteArray &subKey, std::uint32_t options,
                   std::uint32_t access, HKEY &result) override;
    Status QueryValue(HKEY key, const QByteArray &valueName, std::uint32_t reserved,
                      std::uint32_t &type, char *data, std::uint32_t &size) override;
    Status CloseKey(HKEY key) override;

    // The full path of the first program found, or empty text.
    QString FindProgram() const;

private:
    QStringList folders;
    std::map<HKEY, QByteArray> handles; // the PATH text each open key answers with
    HKEY nextHandle = 0x100;
};

} // namespace Registry
