#include "WebAddress.h"

#include <QString>

#include <gtest/gtest.h>

namespace {

struct Address {
    const char *name;
    const char *text;
    bool web;
};

class WebAddresses : public testing::TestWithParam<Address> { };

TEST_P(WebAddresses, OnlyHttpHttpsAndFtpCount)
{
    EXPECT_EQ(WebAddress::IsWebAddress(QString::fromUtf8(GetParam().text)), GetParam().web) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, WebAddresses,
                         testing::Values(Address{"Http", "http://example.com/", true}, Address{"HttpsInCapitals", "HTTPS://EXAMPLE.COM", true},
                                         Address{"Ftp", "ftp://files.example.com/x", true}, Address{"MixedCaseScheme", "Http://a", true},
                                         Address{"SchemeAlone", "http://", false}, Address{"Empty", "", false}, Address{"NoScheme", "example.com", false},
                                         Address{"LocalFile", "file:///etc/passwd", false}, Address{"Program", "/usr/bin/xterm", false},
                                         Address{"Script", "javascript:alert(1)", false}, Address{"Mail", "mailto:me@example.com", false},
                                         Address{"LeadingBlank", " http://leading.blank/", false}, Address{"UnknownScheme", "httpx://a", false}),
                         [](const testing::TestParamInfo<Address> &info) { return std::string(info.param.name); });

} // namespace
