#include "CurlHolder.h"
#include "GetSource.h"

#include "HttpServer.h"
#include "RawServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QStringList>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using GetSource::Fetch;
using GetSource::GetPageSource;
using GetSource::Limits;
using GetSource::Page;
using GetSource::PageTransfer;
using TestSupport::HttpServer;
using TestSupport::RawServer;

namespace {

// Printable bytes that change from one position to the next, so a lost, doubled or shifted
// piece shows.
QByteArray PatternBody(qsizetype size)
{
    QByteArray body(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        body[i] = static_cast<char>('!' + (i * 7 + i / 91) % 94);
    return body;
}

qint64 MillisecondsOf(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now()
                                                                 - start).count();
}

bool HasHeader(const Page &page, const QByteArray &name)
{
    for (const auto &header : page.headers) {
        if (header.first == name)
            return true;
    }
    return false;
}

class FetchTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { server = new HttpServer; }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(server->running()); }

    static HttpServer *server;
};

HttpServer *FetchTest::server = nullptr;

// --- Page sizes -----------------------------------------------------------------------------

class PageSizeTest : public FetchTest, public ::testing::WithParamInterface<qsizetype>
{
};

TEST_P(PageSizeTest, DeliversExactlyTheBytesInOrder)
{
    const qsizetype size = GetParam();
    const QString path = QStringLiteral("/size/%1").arg(size);
    const QByteArray body = PatternBody(size);
    server->route(path, body);

    const Page page = Fetch(server->url(path));
    EXPECT_TRUE(page.opened);
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.bytes.size(), size);
    EXPECT_TRUE(page.bytes == body);
    EXPECT_EQ(page.text, QString::fromLatin1(body));
    EXPECT_FALSE(page.truncated);
    EXPECT_TRUE(page.error.isEmpty()) << page.error.toStdString();
    EXPECT_EQ(page.finalUrl, server->url(path));

    bool opened = false;
    EXPECT_EQ(GetPageSource(server->url(path), &opened), QString::fromLatin1(body));
    EXPECT_TRUE(opened);
}

// Around the old 256-byte reads, around one curl buffer (16 KiB), and well beyond it.
INSTANTIATE_TEST_SUITE_P(Sizes, PageSizeTest,
                         ::testing::Values(0, 1, 255, 256, 257, 16383, 16384, 16385, 100'000,
                                           (1 << 20) + 3),
                         [](const auto &info) { return "Bytes" + std::to_string(info.param); });

// --- Error pages ----------------------------------------------------------------------------

class ErrorStatusTest : public FetchTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(ErrorStatusTest, BodyIsThePage)
{
    const int status = GetParam();
    const QString path = QStringLiteral("/status/%1").arg(status);
    const QByteArray body = "<html>gone, but it names www.partner-term.example</html>";
    server->route(path, body, status);

    const Page page = Fetch(server->url(path));
    EXPECT_TRUE(page.opened);
    EXPECT_EQ(page.status, status);
    EXPECT_EQ(page.text, QString::fromLatin1(body));

    bool opened = false;
    const QString text = GetPageSource(server->url(path), &opened);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(text.contains(u"www.partner-term.example"));
}

INSTANTIATE_TEST_SUITE_P(Statuses, ErrorStatusTest, ::testing::Values(403, 404, 410, 500, 503),
                         [](const auto &info) { return "Status" + std::to_string(info.param); });

// --- Addresses that cannot be opened --------------------------------------------------------

struct Unopenable {
    const char *name;
    std::function<QString(const HttpServer &)> address;
    bool reachesNetwork; // the address is handed to curl, which then fails
};

void PrintTo(const Unopenable &value, std::ostream *out)
{
    *out << value.name;
}

class UnopenableTest : public FetchTest, public ::testing::WithParamInterface<Unopenable>
{
};

TEST_P(UnopenableTest, EmptyTextAndNotOpened)
{
    server->route(QStringLiteral("/unopenable"), "this page must not be fetched");
    const QString address = GetParam().address(*server);
    const int hitsBefore = server->hits(QStringLiteral("/unopenable"));

    PageTransfer transfer(address);
    EXPECT_EQ(transfer.valid(), GetParam().reachesNetwork);
    EXPECT_EQ(transfer.handle() != nullptr, GetParam().reachesNetwork);
    const Page page = transfer.Perform();
    EXPECT_FALSE(page.opened);
    EXPECT_TRUE(page.text.isEmpty());
    EXPECT_TRUE(page.bytes.isEmpty());
    EXPECT_EQ(page.status, 0);
    EXPECT_FALSE(page.error.isEmpty());

    bool opened = true;
    EXPECT_TRUE(GetPageSource(address, &opened).isEmpty());
    EXPECT_FALSE(opened);
    EXPECT_EQ(server->hits(QStringLiteral("/unopenable")), hitsBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, UnopenableTest,
    ::testing::Values(
        // curl would guess http for this one and fetch the page.
        Unopenable{"NoScheme",
                   [](const HttpServer &s) {
                       return QStringLiteral("127.0.0.1:%1/unopenable").arg(s.port());
                   },
                   false},
        Unopenable{"Empty", [](const HttpServer &) { return QString(); }, false},
        Unopenable{"SchemeOnly", [](const HttpServer &) { return QStringLiteral("http://"); },
                   false},
        Unopenable{"File",
                   [](const HttpServer &) { return QStringLiteral("file:///etc/hostname"); },
                   false},
        Unopenable{"OtherScheme",
                   [](const HttpServer &s) {
                       return QStringLiteral("gopher://127.0.0.1:%1/unopenable").arg(s.port());
                   },
                   false},
        Unopenable{"RefusedHttpPort",
                   [](const HttpServer &) {
                       return QStringLiteral("http://127.0.0.1:%1/unopenable")
                           .arg(RawServer::UnusedPort());
                   },
                   true},
        Unopenable{"RefusedFtpPort",
                   [](const HttpServer &) {
                       return QStringLiteral("ftp://127.0.0.1:%1/unopenable.txt")
                           .arg(RawServer::UnusedPort());
                   },
                   true},
        Unopenable{"BlankInAddress",
                   [](const HttpServer &s) {
                       return QStringLiteral("http://127.0.0.1:%1/un openable").arg(s.port());
                   },
                   true}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Redirects ------------------------------------------------------------------------------

struct RedirectChain {
    const char *name;
    int hops;
    int status;
    bool absolute; // Location names the whole address, not only the path
    bool opened;
};

void PrintTo(const RedirectChain &value, std::ostream *out)
{
    *out << value.name;
}

class RedirectTest : public FetchTest, public ::testing::WithParamInterface<RedirectChain>
{
};

TEST_P(RedirectTest, FollowsUpToTenHops)
{
    const RedirectChain &chain = GetParam();
    const QString base = QStringLiteral("/chain/%1").arg(chain.name);
    const QString target = base + QStringLiteral("/target");
    const QByteArray body = "<p>the partner page</p>";
    server->route(target, body, 200, {{"X-Page", "target"}});
    for (int hop = 0; hop < chain.hops; ++hop) {
        const QString next = hop + 1 == chain.hops ? target : base + QStringLiteral("/%1").arg(hop + 1);
        server->route(base + QStringLiteral("/%1").arg(hop), "moved", chain.status,
                      {{"Location", (chain.absolute ? server->url(next) : next).toUtf8()},
                       {"X-Hop", QByteArray::number(hop)}});
    }

    const Page page = Fetch(server->url(base + QStringLiteral("/0")));
    EXPECT_EQ(page.opened, chain.opened);
    if (chain.opened) {
        EXPECT_EQ(page.finalUrl, server->url(target));
        EXPECT_EQ(page.text, QString::fromLatin1(body));
        EXPECT_EQ(page.status, 200);
        EXPECT_TRUE(HasHeader(page, "x-page"));
        EXPECT_FALSE(HasHeader(page, "x-hop"));
        EXPECT_TRUE(page.error.isEmpty());
    } else {
        EXPECT_TRUE(page.text.isEmpty());
        EXPECT_FALSE(page.error.isEmpty());
        EXPECT_EQ(server->hits(target), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Chains, RedirectTest,
    ::testing::Values(RedirectChain{"One302", 1, 302, false, true},
                      RedirectChain{"One301Absolute", 1, 301, true, true},
                      RedirectChain{"Three303", 3, 303, false, true},
                      RedirectChain{"Two307", 2, 307, true, true},
                      RedirectChain{"One308", 1, 308, false, true},
                      RedirectChain{"Ten", 10, 302, false, true},
                      RedirectChain{"Eleven", 11, 302, false, false},
                      RedirectChain{"Twenty", 20, 301, true, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(FetchTest, RedirectToAFileIsNotFollowed)
{
    server->redirect(QStringLiteral("/to-file"), QStringLiteral("file:///etc/hostname"));
    const Page page = Fetch(server->url(QStringLiteral("/to-file")));
    EXPECT_FALSE(page.opened);
    EXPECT_TRUE(page.text.isEmpty());
}

TEST_F(FetchTest, HeadersOfTheResponseWithLowerCaseNames)
{
    server->route(QStringLiteral("/headers"), "x", 200,
                  {{"X-Partner-Thing", "Some Value"}, {"Content-Type", "text/plain; charset=utf-8"}});
    const Page page = Fetch(server->url(QStringLiteral("/headers")));
    ASSERT_TRUE(page.opened);
    const QPair<QByteArray, QByteArray> custom{"x-partner-thing", "Some Value"};
    const QPair<QByteArray, QByteArray> type{"content-type", "text/plain; charset=utf-8"};
    EXPECT_TRUE(page.headers.contains(custom));
    EXPECT_TRUE(page.headers.contains(type));
    for (const auto &header : page.headers)
        EXPECT_EQ(header.first, header.first.toLower());
}

TEST_F(FetchTest, SendsTheUserAgent)
{
    server->route(QStringLiteral("/agent"), "agent page");
    ASSERT_TRUE(Fetch(server->url(QStringLiteral("/agent"))).opened);
    const auto requests = server->requests();
    ASSERT_FALSE(requests.isEmpty());
    EXPECT_EQ(requests.last().path, QStringLiteral("/agent"));
    EXPECT_EQ(requests.last().header("User-Agent"), QByteArray("vb wininet"));
}

// --- Proxy settings in the environment ------------------------------------------------------

class ScopedEnvironment
{
public:
    void set(const char *name, const std::string &value)
    {
        remember(name);
        ::setenv(name, value.c_str(), 1);
    }
    void unset(const char *name)
    {
        remember(name);
        ::unsetenv(name);
    }
    ~ScopedEnvironment()
    {
        for (const auto &[name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

private:
    void remember(const char *name)
    {
        const char *old = std::getenv(name);
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST_F(FetchTest, IgnoresTheEnvironmentsProxy)
{
    server->route(QStringLiteral("/direct"), "reached directly");
    const std::string deadProxy = "http://127.0.0.1:" + std::to_string(RawServer::UnusedPort());
    ScopedEnvironment environment;
    for (const char *name : {"http_proxy", "HTTPS_PROXY", "https_proxy", "all_proxy", "ALL_PROXY"})
        environment.set(name, deadProxy);
    environment.unset("no_proxy");
    environment.unset("NO_PROXY");

    // A handle left to curl's defaults goes through the dead proxy: the setting is in effect.
    {
        GetSource::CurlHolder plain;
        const QByteArray url = server->url(QStringLiteral("/direct")).toUtf8();
        curl_easy_setopt(plain.handle(), CURLOPT_URL, url.constData());
        curl_easy_setopt(plain.handle(), CURLOPT_NOBODY, 1L);
        EXPECT_EQ(curl_easy_perform(plain.handle()), CURLE_COULDNT_CONNECT);
    }

    bool opened = false;
    EXPECT_EQ(GetPageSource(server->url(QStringLiteral("/direct")), &opened),
              QStringLiteral("reached directly"));
    EXPECT_TRUE(opened);
}

// --- Decoding -------------------------------------------------------------------------------

struct Encoding {
    const char *name;
    QByteArray bytes;
    QString text;
};

void PrintTo(const Encoding &value, std::ostream *out)
{
    *out << value.name;
}

class DecodingTest : public FetchTest, public ::testing::WithParamInterface<Encoding>
{
};

TEST_P(DecodingTest, Utf8WhenValidElseWindows1252)
{
    const QString path = QStringLiteral("/decode/%1").arg(GetParam().name);
    server->route(path, GetParam().bytes, 200, {{"Content-Type", "text/html; charset=iso-8859-1"}});
    const Page page = Fetch(server->url(path));
    ASSERT_TRUE(page.opened);
    EXPECT_TRUE(page.bytes == GetParam().bytes);
    EXPECT_EQ(page.text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, DecodingTest,
    ::testing::Values(Encoding{"Ascii", "plain text", QStringLiteral("plain text")},
                      Encoding{"Utf8", "caf\xC3\xA9 \xE2\x82\xAC", QString::fromUtf8(u8"café €")},
                      Encoding{"Windows1252", "caf\xE9 \x80 \x99", QString::fromUtf8(u8"café € ™")},
                      // One byte that is no UTF-8 turns the whole page to Windows-1252.
                      Encoding{"Mixed", "\xC3\xA9\xE9", QString::fromUtf8(u8"Ã©é")}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Size cap -------------------------------------------------------------------------------

struct Cap {
    qint64 maxBytes;
    qsizetype bodySize;
};

void PrintTo(const Cap &value, std::ostream *out)
{
    *out << value.bodySize << " bytes, cap " << value.maxBytes;
}

class SizeCapTest : public FetchTest, public ::testing::WithParamInterface<Cap>
{
};

TEST_P(SizeCapTest, KeepsThePartBeforeTheCap)
{
    const Cap cap = GetParam();
    const QString path = QStringLiteral("/cap/%1/%2").arg(cap.maxBytes).arg(cap.bodySize);
    const QByteArray body = PatternBody(cap.bodySize);
    server->route(path, body);
    Limits limits;
    limits.maxBytes = cap.maxBytes;

    const Page page = Fetch(server->url(path), limits);
    const bool over = cap.bodySize > cap.maxBytes;
    EXPECT_TRUE(page.opened);
    EXPECT_EQ(page.truncated, over);
    EXPECT_TRUE(page.bytes == body.first(std::min<qsizetype>(cap.bodySize, cap.maxBytes)));
    EXPECT_EQ(page.text, QString::fromLatin1(page.bytes));
    EXPECT_EQ(page.error.isEmpty(), !over);
}

INSTANTIATE_TEST_SUITE_P(Caps, SizeCapTest,
                         ::testing::Values(Cap{1000, 999}, Cap{1000, 1000}, Cap{1000, 1001},
                                           Cap{1000, 200'000}, Cap{20'000, 1 << 20}),
                         [](const auto &info) {
                             return "Cap" + std::to_string(info.param.maxBytes) + "Body"
                                    + std::to_string(info.param.bodySize);
                         });

TEST_F(FetchTest, CapInsideACharacterKeepsUtf8)
{
    const QByteArray body = QByteArray(9, 'a') + "\xC3\xA9" + "bbb";
    server->route(QStringLiteral("/cap-utf8"), body);
    Limits limits;
    limits.maxBytes = 10; // stops after the first byte of é
    const Page page = Fetch(server->url(QStringLiteral("/cap-utf8")), limits);
    EXPECT_TRUE(page.opened);
    EXPECT_TRUE(page.truncated);
    EXPECT_TRUE(page.bytes == body.first(10));
    EXPECT_EQ(page.text, QString(9, u'a'));
}

// --- Servers that misbehave -----------------------------------------------------------------

const QByteArray PartialHead = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                               "Content-Length: 1000\r\n\r\n";
const QByteArray PartialBody = "<html><body><a href=\"http://www.partner-term.example/\">us</a>"
    + QByteArray(200, '.');

TEST(MisbehavingServerTest, StopsMidBodyGivesWhatArrived)
{
    RawServer raw(RawServer::Mode::StopMidBody, PartialHead + PartialBody);
    ASSERT_TRUE(raw.running());
    const Page page = Fetch(raw.url(QStringLiteral("/page")));
    EXPECT_TRUE(page.opened);
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.bytes == PartialBody);
    EXPECT_EQ(page.text, QString::fromLatin1(PartialBody));
    EXPECT_FALSE(page.truncated);
    EXPECT_FALSE(page.error.isEmpty());

    bool opened = false;
    EXPECT_TRUE(GetPageSource(raw.url(QStringLiteral("/page")), &opened).contains(u"partner-term"));
    EXPECT_TRUE(opened);
}

// A zlib stream, as "Content-Encoding: deflate" carries it.
QByteArray Deflated(const QByteArray &bytes)
{
    return qCompress(bytes, 9).sliced(4);
}

QByteArray ChunkedHead()
{
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n";
}

struct MalformedCase {
    const char *name;
    QByteArray reply;
    const char *reason; // a part of the error
};

void PrintTo(const MalformedCase &c, std::ostream *out)
{
    *out << c.name;
}

class MalformedResponseTest : public ::testing::TestWithParam<MalformedCase> { };

// Headers or framing curl cannot read leave no page to search: not opened, with the reason.
TEST_P(MalformedResponseTest, IsNotOpenedAndSaysWhy)
{
    RawServer raw(RawServer::Mode::StopMidBody, GetParam().reply);
    ASSERT_TRUE(raw.running());
    const Page page = Fetch(raw.url(QStringLiteral("/page")));
    EXPECT_FALSE(page.opened);
    EXPECT_EQ(page.failure, GetSource::Failure::BadResponse);
    EXPECT_TRUE(page.bytes.isEmpty());
    EXPECT_TRUE(page.error.contains(QLatin1StringView(GetParam().reason))) << page.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
        Table, MalformedResponseTest,
        ::testing::Values(
                MalformedCase{"HeaderLineOfAMegabyte",
                              "HTTP/1.1 200 OK\r\nX-Big: " + QByteArray(1 << 20, 'a')
                                      + "\r\nContent-Length: 5\r\n\r\nhello",
                              "headers are malformed or too large"},
                MalformedCase{"ChunkSizeNotHex", ChunkedHead() + "zz\r\nhello\r\n0\r\n\r\n", "chunk"},
                MalformedCase{"ChunkSizeTooLong", ChunkedHead() + "FFFFFFFFFFFFFFFFFFFF\r\nhello\r\n0\r\n\r\n",
                              "chunk"},
                MalformedCase{"BadChunkAfterAGoodOne",
                              ChunkedHead() + "5\r\nhello\r\nzz\r\nworld\r\n0\r\n\r\n", "chunk"},
                MalformedCase{"CorruptCompressedBody",
                              "HTTP/1.1 200 OK\r\nContent-Encoding: deflate\r\nContent-Length: 20\r\n\r\n"
                              "this is not deflate!",
                              "malformed response"},
                MalformedCase{"UnreadableStatusLine", "HTTP/1.1 2x0 OK\r\nContent-Length: 5\r\n\r\nhello",
                              "malformed response"}),
        [](const auto &info) { return std::string(info.param.name); });

// A server may compress a page nobody asked it to: the page is its decoded bytes.
TEST(CompressedPageTest, SentUnaskedIsSearchedDecoded)
{
    const QByteArray html = "<html><body><a href=\"http://www.partner-term.example/\">us</a></body></html>";
    const QByteArray body = Deflated(html);
    RawServer raw(RawServer::Mode::StopMidBody,
                  "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Encoding: deflate\r\nContent-Length: "
                          + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    ASSERT_TRUE(raw.running());
    const Page page = Fetch(raw.url(QStringLiteral("/page")));
    EXPECT_TRUE(page.opened);
    EXPECT_TRUE(page.error.isEmpty()) << page.error.toStdString();
    EXPECT_TRUE(page.bytes == html);
    EXPECT_TRUE(page.text.contains(u"partner-term"));
}

// The size cap holds for what the page decodes to, however small it came.
TEST(CompressedPageTest, ABombStopsAtTheCap)
{
    const QByteArray body = Deflated(QByteArray(32 << 20, '<'));
    ASSERT_LT(body.size(), 64 << 10);
    RawServer raw(RawServer::Mode::StopMidBody,
                  "HTTP/1.1 200 OK\r\nContent-Encoding: deflate\r\nContent-Length: " + QByteArray::number(body.size())
                          + "\r\n\r\n" + body);
    ASSERT_TRUE(raw.running());
    Limits limits;
    limits.maxBytes = 1 << 20;
    const Page page = Fetch(raw.url(QStringLiteral("/bomb")), limits);
    EXPECT_TRUE(page.opened);
    EXPECT_TRUE(page.truncated);
    EXPECT_EQ(page.failure, GetSource::Failure::TooLarge);
    EXPECT_EQ(page.bytes.size(), limits.maxBytes);
    EXPECT_TRUE(page.bytes == QByteArray(limits.maxBytes, '<'));
}

TEST_F(FetchTest, AsksForTheEncodingsItCanDecode)
{
    server->route(QStringLiteral("/encodings"), "plain");
    ASSERT_TRUE(Fetch(server->url(QStringLiteral("/encodings"))).opened);
    const QByteArray asked = server->requests().last().header("accept-encoding");
    EXPECT_TRUE(asked.contains("deflate")) << asked.toStdString();
    EXPECT_TRUE(asked.contains("gzip")) << asked.toStdString();
}

TEST(MisbehavingServerTest, NeverAnswersEndsAfterTheIdleBound)
{
    RawServer raw(RawServer::Mode::NeverAnswer);
    ASSERT_TRUE(raw.running());
    Limits limits;
    limits.idleTimeout = std::chrono::milliseconds(1000);
    Page page;
    const qint64 ms = MillisecondsOf([&] { page = Fetch(raw.url(QStringLiteral("/")), limits); });
    EXPECT_FALSE(page.opened);
    EXPECT_TRUE(page.text.isEmpty());
    EXPECT_TRUE(page.error.contains(u"no data"));
    EXPECT_EQ(raw.accepted(), 1);
    EXPECT_GE(ms, 950);
    EXPECT_LT(ms, 10'000);
}

TEST(MisbehavingServerTest, StallMidBodyEndsAfterTheIdleBoundWithWhatArrived)
{
    RawServer raw(RawServer::Mode::StallMidBody, PartialHead + PartialBody);
    ASSERT_TRUE(raw.running());
    Limits limits;
    limits.idleTimeout = std::chrono::milliseconds(800);
    Page page;
    const qint64 ms = MillisecondsOf([&] { page = Fetch(raw.url(QStringLiteral("/")), limits); });
    EXPECT_TRUE(page.opened);
    EXPECT_TRUE(page.bytes == PartialBody);
    EXPECT_TRUE(page.error.contains(u"no data"));
    EXPECT_GE(ms, 750);
    EXPECT_LT(ms, 10'000);
}

TEST(MisbehavingServerTest, DefaultLimitsApplyAndCanBeShortened)
{
    const Limits saved = GetSource::DefaultLimits();
    EXPECT_EQ(saved.connectTimeout, std::chrono::milliseconds(60'000));
    EXPECT_EQ(saved.idleTimeout, std::chrono::milliseconds(30'000));
    EXPECT_EQ(saved.maxBytes, 64LL * 1024 * 1024);

    RawServer raw(RawServer::Mode::NeverAnswer);
    GetSource::DefaultLimits().idleTimeout = std::chrono::milliseconds(500);
    bool opened = true;
    QString text;
    const qint64 ms = MillisecondsOf([&] { text = GetPageSource(raw.url(QStringLiteral("/")), &opened); });
    GetSource::DefaultLimits() = saved;
    EXPECT_FALSE(opened);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_GE(ms, 450);
    EXPECT_LT(ms, 10'000);
}

// The idle bound starts once a connection is up; a connection still being made is bounded by
// the connect time-out alone.
TEST(MisbehavingServerTest, ConnectTimeoutBoundsAConnectionThatNeverComesUp)
{
    RawServer raw(RawServer::Mode::NeverAccept);
    ASSERT_TRUE(raw.running());
    Limits limits;
    limits.connectTimeout = std::chrono::milliseconds(1500);
    limits.idleTimeout = std::chrono::milliseconds(300);
    Page page;
    const qint64 ms = MillisecondsOf([&] { page = Fetch(raw.url(QStringLiteral("/")), limits); });
    EXPECT_FALSE(page.opened);
    EXPECT_FALSE(page.error.isEmpty());
    EXPECT_FALSE(page.error.contains(u"no data"));
    EXPECT_GE(ms, 1400);
    EXPECT_LT(ms, 10'000);
}

// A server that answers its first connection with a status line and headers, then sends the
// body one byte at a time, a pause apart, for as long as the client listens.
class DripServer
{
public:
    explicit DripServer(std::chrono::milliseconds pause) : pause_(pause)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
            || ::listen(listener_, 4) != 0
            || ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }

    ~DripServer()
    {
        stop_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        ::close(listener_);
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1/drip").arg(port_); }
    int bytesSent() const { return sent_; }

private:
    void serve()
    {
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            return;
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, std::size_t(n));
        }
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100000\r\n\r\n";
        bool open = ::send(connection, head.data(), head.size(), MSG_NOSIGNAL) == ssize_t(head.size());
        while (open && !stop_) {
            std::this_thread::sleep_for(pause_);
            open = ::send(connection, "x", 1, MSG_NOSIGNAL) == 1;
            sent_ += open ? 1 : 0;
        }
        ::close(connection);
    }

    std::chrono::milliseconds pause_;
    int listener_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> sent_{0};
    std::thread thread_;
};

// Bytes arrive often enough for the idle bound never to end the transfer; the bound on the
// whole transfer ends it, and the part that arrived is not taken for the page.
TEST(MisbehavingServerTest, DrippingPageEndsAfterTheTotalBound)
{
    DripServer drip(std::chrono::milliseconds(100));
    Limits limits;
    limits.idleTimeout = std::chrono::milliseconds(1000);
    limits.totalTimeout = std::chrono::milliseconds(1500);
    Page page;
    const qint64 ms = MillisecondsOf([&] { page = Fetch(drip.url(), limits); });
    EXPECT_FALSE(page.opened);
    EXPECT_TRUE(page.text.isEmpty());
    EXPECT_EQ(page.error, QStringLiteral("the transfer took longer than 1500 ms"));
    EXPECT_EQ(page.failure, GetSource::Failure::TimedOut);
    EXPECT_GE(drip.bytesSent(), 5);
    EXPECT_GE(ms, 1400);
    EXPECT_LT(ms, 10'000);
}

// The window's fetch goes by the default limits.
TEST(MisbehavingServerTest, DrippingPageIsNotFoundThroughTheDefaultLimits)
{
    const Limits saved = GetSource::DefaultLimits();
    GetSource::DefaultLimits().totalTimeout = std::chrono::milliseconds(800);
    DripServer drip(std::chrono::milliseconds(50));
    bool opened = true;
    const QString text = GetPageSource(drip.url(), &opened);
    GetSource::DefaultLimits() = saved;
    EXPECT_FALSE(opened);
    EXPECT_TRUE(text.isEmpty());
}

// --- Control characters in the address ---------------------------------------------------

struct ControlCharacter {
    const char *name;
    char16_t character;
};

void PrintTo(const ControlCharacter &value, std::ostream *out)
{
    *out << value.name;
}

class ControlCharacterTest : public FetchTest, public ::testing::WithParamInterface<ControlCharacter>
{
};

// curl's C interface would end the address at a NUL and fetch the page before it; the other
// control characters are refused alike, before any network use.
TEST_P(ControlCharacterTest, IsRefusedBeforeAnyNetworkUse)
{
    server->route(QStringLiteral("/before"), "the page before the control character");
    const int hitsBefore = server->hits(QStringLiteral("/before"));
    const QString address = server->url(QStringLiteral("/before")) + QChar(GetParam().character)
                            + QStringLiteral("/after");

    PageTransfer transfer(address);
    EXPECT_FALSE(transfer.valid());
    const Page page = transfer.Perform();
    EXPECT_FALSE(page.opened);
    EXPECT_TRUE(page.bytes.isEmpty());
    EXPECT_EQ(page.error, QStringLiteral("the address holds the control character U+%1")
                                  .arg(QString::number(GetParam().character, 16).toUpper().rightJustified(4, u'0')));

    bool opened = true;
    EXPECT_TRUE(GetPageSource(address, &opened).isEmpty());
    EXPECT_FALSE(opened);
    EXPECT_EQ(server->hits(QStringLiteral("/before")), hitsBefore);
}

INSTANTIATE_TEST_SUITE_P(Characters, ControlCharacterTest,
                         ::testing::Values(ControlCharacter{"Nul", u'\0'}, ControlCharacter{"Tab", u'\t'},
                                           ControlCharacter{"LineFeed", u'\n'},
                                           ControlCharacter{"CarriageReturn", u'\r'},
                                           ControlCharacter{"Escape", u'\x1B'},
                                           ControlCharacter{"UnitSeparator", u'\x1F'},
                                           ControlCharacter{"Delete", u'\x7F'},
                                           ControlCharacter{"NextLine", u'\x85'},
                                           ControlCharacter{"ApplicationCommand", u'\x9F'}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(FetchTest, PrintableNonAsciiIsNoControlCharacter)
{
    const PageTransfer transfer(server->url(QStringLiteral("/caf\u00e9")));
    EXPECT_TRUE(transfer.valid());
}

// --- Nothing left open ---------------------------------------------------------------------

int OpenDescriptors()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

TEST_F(FetchTest, LeavesNoConnectionOpen)
{
    server->route(QStringLiteral("/open/page"), PatternBody(70'000));
    server->route(QStringLiteral("/open/missing"), "gone", 404);
    server->redirect(QStringLiteral("/open/moved"), QStringLiteral("/open/page"));
    RawServer raw(RawServer::Mode::StopMidBody, PartialHead + PartialBody);
    const QStringList addresses = {
        server->url(QStringLiteral("/open/page")),
        server->url(QStringLiteral("/open/missing")),
        server->url(QStringLiteral("/open/moved")),
        raw.url(QStringLiteral("/")),
        QStringLiteral("http://127.0.0.1:%1/").arg(RawServer::UnusedPort()),
        QStringLiteral("no-scheme.example"),
    };
    Fetch(addresses.first()); // curl's one-time set-up may keep descriptors of its own
    const int before = OpenDescriptors();
    for (int round = 0; round < 5; ++round) {
        for (const QString &address : addresses)
            Fetch(address);
    }
    // The servers close their side a moment after the client has closed its own.
    int after = OpenDescriptors();
    for (int wait = 0; wait < 100 && after > before; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        after = OpenDescriptors();
    }
    EXPECT_LE(after, before);
}

// --- Moving and the multi interface ---------------------------------------------------------

TEST_F(FetchTest, MovedTransferStillCollectsThePage)
{
    server->route(QStringLiteral("/moved"), PatternBody(50'000));
    PageTransfer first(server->url(QStringLiteral("/moved")));
    ASSERT_TRUE(first.valid());
    CURL *handle = first.handle();
    PageTransfer second(std::move(first));
    EXPECT_FALSE(first.valid()); // NOLINT(bugprone-use-after-move): a moved-from transfer is empty
    EXPECT_EQ(first.handle(), nullptr);
    EXPECT_EQ(second.handle(), handle);

    PageTransfer third(QStringLiteral("file:///etc/hostname"));
    third = std::move(second);
    const Page page = third.Perform();
    EXPECT_TRUE(page.opened);
    EXPECT_TRUE(page.bytes == PatternBody(50'000));
    EXPECT_FALSE(first.Perform().opened);
}

TEST_F(FetchTest, TransfersRunOnSomeoneElsesMultiHandle)
{
    std::vector<QString> addresses;
    std::vector<QByteArray> bodies;
    for (int i = 0; i < 5; ++i) {
        const QString path = QStringLiteral("/multi/%1").arg(i);
        bodies.push_back(PatternBody(1000 + i * 30'000));
        server->route(path, bodies.back(), i == 3 ? 404 : 200);
        addresses.push_back(server->url(path));
    }
    addresses.push_back(QStringLiteral("no-scheme.example/page"));

    // Growing the vector moves the transfers after their handles were configured.
    std::vector<PageTransfer> transfers;
    for (const QString &address : addresses)
        transfers.emplace_back(address);

    CURLM *multi = curl_multi_init();
    ASSERT_NE(multi, nullptr);
    for (PageTransfer &transfer : transfers) {
        if (transfer.valid()) {
            ASSERT_EQ(curl_multi_add_handle(multi, transfer.handle()), CURLM_OK);
        }
    }
    std::vector<std::optional<Page>> pages(transfers.size());
    int running = 1;
    while (running > 0) {
        ASSERT_EQ(curl_multi_perform(multi, &running), CURLM_OK);
        int queued = 0;
        while (CURLMsg *message = curl_multi_info_read(multi, &queued)) {
            ASSERT_EQ(message->msg, CURLMSG_DONE);
            for (size_t i = 0; i < transfers.size(); ++i) {
                if (transfers[i].handle() == message->easy_handle) {
                    curl_multi_remove_handle(multi, message->easy_handle);
                    pages[i] = transfers[i].finish(message->data.result);
                }
            }
        }
        if (running > 0) {
            ASSERT_EQ(curl_multi_poll(multi, nullptr, 0, 1000, nullptr), CURLM_OK);
        }
    }
    curl_multi_cleanup(multi);

    for (size_t i = 0; i < bodies.size(); ++i) {
        ASSERT_TRUE(pages[i].has_value()) << i;
        EXPECT_TRUE(pages[i]->opened) << i;
        EXPECT_TRUE(pages[i]->bytes == bodies[i]) << i;
        EXPECT_EQ(pages[i]->status, i == 3 ? 404 : 200) << i;
    }
    EXPECT_FALSE(pages.back().has_value());
    const Page refused = transfers.back().finish(CURLE_OK);
    EXPECT_FALSE(refused.opened);
    EXPECT_FALSE(refused.error.isEmpty());
}

} // namespace
