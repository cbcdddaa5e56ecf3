#include "WebAddress.h"

#include <QString>

#include <gtest/gtest.h>

namespace {

struct Address {
    const char *text;
    bool web;
};

class WebAddresses : public testing::TestWithParam<Address> { };

TEST_P(WebAddresses, OnlyHttpHttpsAndFtpCount)
{
    EXPECT_EQ(WebAddress::IsWebAddress(QString::fromUtf8(GetParam().text)), GetParam().web) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, WebAddresses,
                         testing::Values(Address{"http://example.com/", true}, Address{"HTTPS://EXAMPLE.COM", true},
                                         Address{"ftp://files.example.com/x", true}, Address{"Http://a", true},
                                         Address{"http://", false}, Address{"", false}, Address{"example.com", false},
                                         Address{"file:///etc/passwd", false}, Address{"/usr/bin/xterm", false},
                                         Address{"javascript:alert(1)", false}, Address{"mailto:me@example.com", false},
                                         Address{" http://leading.blank/", false}, Address{"httpx://a", false}));

} // namespace
