#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <tuple>

// A small registry of keys and typed values, read the way the About window reads the location
// of the system-information tool: open a key with an access mask, query one value into a
// caller's buffer, close the key. Names and texts cross the calls as 8-bit bytes.
namespace Registry {

using HKEY = std::uint32_t;
using Status = long;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;

inline constexpr Status ERROR_SUCCESS = 0;
inline constexpr Status ERROR_FILE_NOT_FOUND = 2;
inline constexpr Status ERROR_ACCESS_DENIED = 5;
inline constexpr Status ERROR_INVALID_HANDLE = 6;
inline constexpr Status ERROR_MORE_DATA = 234;

inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;

inline constexpr std::uint32_t READ_CONTROL = 0x20000;
inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x1;
inline constexpr std::uint32_t KEY_SET_VALUE = 0x2;
inline constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x4;
inline constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x8;
inline constexpr std::uint32_t KEY_NOTIFY = 0x10;
inline constexpr std::uint32_t KEY_CREATE_LINK = 0x20;
inline constexpr std::uint32_t KEY_READ = READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;

// One registry, as the three calls see it.
class Store
{
public:
    virtual ~Store() = default;
    // On success result receives a handle that only CloseKey releases.
    virtual Status OpenKey(HKEY root, const QByteArray &subKey, std::uint32_t options,
                           std::uint32_t access, HKEY &result) = 0;
    // size holds the buffer's capacity on entry and the number of bytes written on return;
    // a value that does not fit answers ERROR_MORE_DATA with the size it would need.
    virtual Status QueryValue(HKEY key, const QByteArray &valueName, std::uint32_t reserved,
                              std::uint32_t &type, char *data, std::uint32_t &size) = 0;
    virtual Status CloseKey(HKEY key) = 0;

protected:
    // Answers a query with value: copied into data when it fits, as QueryValue promises.
    static Status CopyOut(const QByteArray &value, char *data, std::uint32_t &size);
};

// A registry held in memory. Keys and value names compare without regard to letter case.
class MemoryStore : public Store
{
public:
    Status OpenKey(HKEY root, const QByteArray &subKey, std::uint32_t options,
                   std::uint32_t access, HKEY &result) override;
    Status QueryValue(HKEY key, const QByteArray &valueName, std::uint32_t reserved,
                      std::uint32_t &type, char *data, std::uint32_t &size) override;
    Status CloseKey(HKEY key) override;

    // Creates the key when needed.
    void SetValue(HKEY root, const QString &subKey, const QString &valueName, std::uint32_t type,
                  const QByteArray &data);
    // A text value, stored with its terminating zero unless told otherwise.
    void SetText(HKEY root, const QString &subKey, const QString &valueName, const QString &text,
                 bool terminatingZero = true);
    void SetDword(HKEY root, const QString &subKey, const QString &valueName, std::uint32_t number);
    // The access rights a key grants; a new key grants every right.
    void SetGranted(HKEY root, const QString &subKey, std::uint32_t granted);

    // What the calls have done, for tests: every key asked for ("root\subkey") in order, and
    // the handles still open.
    const QList<QString> &OpenRequests() const { return openRequests; }
    int OpenHandles() const { return static_cast<int>(handles.size()); }

private:
    struct Value {
        std::uint32_t type = REG_NONE;
        QByteArray data;
    };
    struct Key {
        std::uint32_t granted = 0xFFFFFFFFu;
        std::map<QByteArray, Value> values; // by lower-case name
    };
    Key &key(HKEY root, const QString &subKey);

    std::map<std::tuple<HKEY, QByteArray>, Key> keys; // by root and lower-case path
    std::map<HKEY, Key *> handles;
    HKEY nextHandle = 0x100;
    QList<QString> openRequests;
};

// The registry the program reads: the machine's own unless a test installed another.
void SetStore(Store *store); // nullptr: back to the machine's registry
Store &CurrentStore();

// The three calls, on the current store.
Status RegOpenKeyExA(HKEY hKey, const QByteArray &lpSubKey, std::uint32_t ulOptions,
                     std::uint32_t samDesired, HKEY &phkResult);
Status RegQueryValueExA(HKEY hKey, const QByteArray &lpValueName, std::uint32_t lpReserved,
                        std::uint32_t &lpType, char *lpData, std::uint32_t &lpcbData);
Status RegCloseKey(HKEY hKey);

} // namespace Registry
