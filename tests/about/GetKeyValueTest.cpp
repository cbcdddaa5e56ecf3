#include "AboutFixture.h"

#include <QByteArray>

#include <functional>

using Registry::HKEY_LOCAL_MACHINE;
using Answer = frmAbout::KeyAnswer;

namespace {

const QString Key = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString Value = QStringLiteral("PATH");
const QString Before = QStringLiteral("left from before");

struct ReadCase {
    const char *what;
    std::function<void(Registry::MemoryStore &)> fill;
    Answer answer;
    QString keyVal;
};

void PrintTo(const ReadCase &c, std::ostream *os)
{
    *os << c.what;
}

QByteArray textOf(int length, char fill)
{
    return QByteArray(length, fill);
}

const ReadCase ReadCases[] = {
    {"text with its terminating zero loses only the zero",
     [](auto &r) { r.SetText(HKEY_LOCAL_MACHINE, Key, Value, QStringLiteral("/usr/bin/hardinfo")); },
     Answer::Found, QStringLiteral("/usr/bin/hardinfo")},
    {"text without a terminating zero keeps every character",
     [](auto &r) { r.SetText(HKEY_LOCAL_MACHINE, Key, Value, QStringLiteral("/usr/bin/hardinfo"), false); },
     Answer::Found, QStringLiteral("/usr/bin/hardinfo")},
    {"text of a single zero is empty",
     [](auto &r) { r.SetValue(HKEY_LOCAL_MACHINE, Key, Value, Registry::REG_SZ, QByteArray(1, '\0')); },
     Answer::Found, QString()},
    {"text ending in two zeros keeps the first",
     [](auto &r) { r.SetValue(HKEY_LOCAL_MACHINE, Key, Value, Registry::REG_SZ, QByteArray("ab\0\0", 4)); },
     Answer::Found, QString::fromLatin1("ab\0", 3)},
    {"key and value names regardless of letter case",
     [](auto &r) { r.SetText(HKEY_LOCAL_MACHINE, Key.toLower(), QStringLiteral("path"), QStringLiteral("x")); },
     Answer::Found, QStringLiteral("x")},
    {"number in hexadecimal, most significant digit first",
     [](auto &r) { r.SetDword(HKEY_LOCAL_MACHINE, Key, Value, 0x1A2B3C4Du); },
     Answer::Found, QStringLiteral("&h1A2B3C4D")},
    {"number whose top byte is zero",
     [](auto &r) { r.SetDword(HKEY_LOCAL_MACHINE, Key, Value, 0xA00u); },
     Answer::Found, QStringLiteral("&hA00")},
    {"number zero",
     [](auto &r) { r.SetDword(HKEY_LOCAL_MACHINE, Key, Value, 0u); },
     Answer::Found, QStringLiteral("&h0")},
    {"largest number",
     [](auto &r) { r.SetDword(HKEY_LOCAL_MACHINE, Key, Value, 0xFFFFFFFFu); },
     Answer::Found, QStringLiteral("&hFFFFFFFF")},
    {"another type leaves the text as it was",
     [](auto &r) { r.SetValue(HKEY_LOCAL_MACHINE, Key, Value, Registry::REG_BINARY, "\x01\x02\x03"); },
     Answer::Found, Before},
    {"expandable text is another type too",
     [](auto &r) { r.SetValue(HKEY_LOCAL_MACHINE, Key, Value, Registry::REG_EXPAND_SZ, QByteArray("%HOME%", 7)); },
     Answer::Found, Before},
    {"value of exactly 1024 bytes fits",
     [](auto &r) { r.SetValue(HKEY_LOCAL_MACHINE, Key, Value, Registry::REG_SZ, textOf(1024, 'q')); },
     Answer::Found, QString(1024, QLatin1Char('q'))},
    {"value over 1024 bytes counts as missing",
     [](auto &r) { r.SetValue(HKEY_LOCAL_MACHINE, Key, Value, Registry::REG_SZ, textOf(1025, 'q')); },
     Answer::Missing, QString()},
    {"value of length zero is a fault",
     [](auto &r) { r.SetValue(HKEY_LOCAL_MACHINE, Key, Value, Registry::REG_SZ, QByteArray()); },
     Answer::Fault, Before},
    {"missing key",
     [](auto &r) { r.SetText(HKEY_LOCAL_MACHINE, Key + QStringLiteral("X"), Value, QStringLiteral("x")); },
     Answer::Missing, QString()},
    {"key under another root",
     [](auto &r) { r.SetText(Registry::HKEY_CURRENT_USER, Key, Value, QStringLiteral("x")); },
     Answer::Missing, QString()},
    {"missing value",
     [](auto &r) { r.SetText(HKEY_LOCAL_MACHINE, Key, QStringLiteral("OTHER"), QStringLiteral("x")); },
     Answer::Missing, QString()},
    {"key the user may only read",
     [](auto &r) {
         r.SetText(HKEY_LOCAL_MACHINE, Key, Value, QStringLiteral("x"));
         r.SetGranted(HKEY_LOCAL_MACHINE, Key, Registry::KEY_READ);
     },
     Answer::Missing, QString()},
};

class GetKeyValueTest : public AboutFixture, public ::testing::WithParamInterface<ReadCase>
{
};

TEST_P(GetKeyValueTest, ReadsAsTheRegistryHoldsIt)
{
    const ReadCase &c = GetParam();
    c.fill(registry);
    frmAbout form;
    const Registry::HKEY root = HKEY_LOCAL_MACHINE;
    QString KeyVal = Before;

    EXPECT_EQ(form.GetKeyValue(root, Key, Value, KeyVal), c.answer);
    EXPECT_EQ(KeyVal, c.keyVal);
    EXPECT_EQ(registry.OpenHandles(), 0) << "the key is closed again";
    EXPECT_TRUE(feedback.messages.isEmpty()) << "a failed read shows no message of its own";
}

INSTANTIATE_TEST_SUITE_P(Cases, GetKeyValueTest, ::testing::ValuesIn(ReadCases),
                         [](const auto &info) { return CaseName(info.param.what); });

// The key is opened asking for every one of these rights, and for no other.
class AccessMaskTest : public AboutFixture, public ::testing::WithParamInterface<std::uint32_t>
{
};

TEST_P(AccessMaskTest, KeyWithoutOneRequestedRightIsRefused)
{
    registry.SetText(HKEY_LOCAL_MACHINE, Key, Value, QStringLiteral("x"));
    registry.SetGranted(HKEY_LOCAL_MACHINE, Key, 0x2003Fu & ~GetParam());
    frmAbout form;
    QString KeyVal = Before;
    EXPECT_EQ(form.GetKeyValue(HKEY_LOCAL_MACHINE, Key, Value, KeyVal), Answer::Missing);
    EXPECT_EQ(KeyVal, QString());
}

INSTANTIATE_TEST_SUITE_P(Rights, AccessMaskTest,
                         ::testing::Values(Registry::READ_CONTROL, Registry::KEY_QUERY_VALUE,
                                           Registry::KEY_SET_VALUE, Registry::KEY_CREATE_SUB_KEY,
                                           Registry::KEY_ENUMERATE_SUB_KEYS, Registry::KEY_NOTIFY,
                                           Registry::KEY_CREATE_LINK),
                         [](const ::testing::TestParamInfo<std::uint32_t> &info) -> std::string {
                             switch (info.param) {
                             case Registry::READ_CONTROL: return "ReadControl";
                             case Registry::KEY_QUERY_VALUE: return "QueryValue";
                             case Registry::KEY_SET_VALUE: return "SetValue";
                             case Registry::KEY_CREATE_SUB_KEY: return "CreateSubKey";
                             case Registry::KEY_ENUMERATE_SUB_KEYS: return "EnumerateSubKeys";
                             case Registry::KEY_NOTIFY: return "Notify";
                             case Registry::KEY_CREATE_LINK: return "CreateLink";
                             }
                             return "Right" + std::to_string(info.param);
                         });

TEST_F(AboutFixture, KeyGrantingExactlyTheRequestedRightsOpens)
{
    registry.SetText(HKEY_LOCAL_MACHINE, Key, Value, QStringLiteral("x"));
    registry.SetGranted(HKEY_LOCAL_MACHINE, Key, 0x2003Fu);
    frmAbout form;
    QString KeyVal;
    EXPECT_EQ(form.GetKeyValue(HKEY_LOCAL_MACHINE, Key, Value, KeyVal), Answer::Found);
    EXPECT_EQ(KeyVal, QStringLiteral("x"));
}

TEST(MemoryStore, ValueTooLongForTheBufferTellsTheSizeItNeeds)
{
    Registry::MemoryStore store;
    store.SetValue(HKEY_LOCAL_MACHINE, Key, Value, Registry::REG_SZ, textOf(40, 'z'));
    Registry::HKEY key = 0;
    ASSERT_EQ(store.OpenKey(HKEY_LOCAL_MACHINE, Key.toLocal8Bit(), 0, Registry::KEY_READ, key),
              Registry::ERROR_SUCCESS);
    char buffer[16] = {};
    std::uint32_t type = 0;
    std::uint32_t size = sizeof buffer;
    EXPECT_EQ(store.QueryValue(key, Value.toLocal8Bit(), 0, type, buffer, size), Registry::ERROR_MORE_DATA);
    EXPECT_EQ(size, 40u);
    EXPECT_EQ(store.CloseKey(key), Registry::ERROR_SUCCESS);
    EXPECT_EQ(store.CloseKey(key), Registry::ERROR_INVALID_HANDLE);
    EXPECT_EQ(store.QueryValue(key, Value.toLocal8Bit(), 0, type, buffer, size), Registry::ERROR_INVALID_HANDLE);
}

} // namespace
