#include "GetSource.h"

#include "CodePage.h"
#include "CurlHolder.h"
#include "TransferBudget.h"
#include "WebAddress.h"

#include <QByteArrayView>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>

namespace GetSource {

namespace {

using Clock = std::chrono::steady_clock;

// Redirects are held to the same schemes as the address itself, so a server cannot send the
// program to file: or to anything else it would not fetch when asked directly.
constexpr char Schemes[] = "http,https,ftp";

constexpr long ReadBuffer = 64 * 1024;

struct MultiCleanup {
    void operator()(CURLM *multi) const { curl_multi_cleanup(multi); }
};

Failure FailureOf(CURLcode result)
{
    switch (result) {
    case CURLE_OK:
        return Failure::None;
    case CURLE_COULDNT_RESOLVE_HOST:
        return Failure::NameNotResolved;
    case CURLE_COULDNT_CONNECT:
        return Failure::ConnectionRefused;
    case CURLE_OPERATION_TIMEDOUT:
        return Failure::TimedOut;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        return Failure::ConnectionReset;
    case CURLE_TOO_MANY_REDIRECTS:
        return Failure::TooManyRedirects;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_UNSUPPORTED_PROTOCOL: // also an HTTP status line curl cannot read
        return Failure::BadResponse;
    default:
        return Failure::Other;
    }
}

long StatusOf(QByteArrayView statusLine)
{
    const qsizetype blank = statusLine.indexOf(' ');
    if (blank < 0)
        return 0;
    long status = 0;
    for (char c : statusLine.sliced(blank + 1)) {
        if (c < '0' || c > '9')
            break;
        status = status * 10 + (c - '0');
    }
    return status;
}

// How many bytes at the end begin a UTF-8 sequence that the page stops in the middle of.
qsizetype UnfinishedUtf8Tail(QByteArrayView bytes)
{
    for (qsizetype back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto c = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

// curl's C interface ends the address at a NUL, and the other control characters have no
// place in one: refused, so that no other page than the one named is fetched.
std::optional<char16_t> ControlCharacterIn(const QString &address)
{
    for (const QChar c : address) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            return u;
    }
    return std::nullopt;
}

} // namespace

Limits &DefaultLimits()
{
    static Limits limits;
    return limits;
}

// Everything curl's callbacks touch lives here, on the heap, so that moving the PageTransfer
// leaves the pointers curl was given valid.
struct PageTransfer::State {
    CurlHolder curl;
    Limits limits;
    QString address;
    QString refusal; // why the address was not handed to curl
    bool valid = false;
    Page page;

    bool inHttpResponse = false; // header lines belong to an HTTP response
    bool hasLocation = false;    // the current response names a non-empty Location
    bool responded = false;      // the response that carries the page has begun
    bool headersEnded = false;   // and its headers have all arrived
    long responseStatus = 0;

    bool started = false;
    bool connecting = true; // between a new socket and the first sign of the server
    Clock::time_point begun;
    Clock::time_point connectStart;
    Clock::time_point lastActivity;
    curl_off_t lastDownloaded = 0;
    bool idleExpired = false;
    bool totalExpired = false;

    TransferBudget *budget = nullptr;
    int weight = 1;     // what the budget counts for each byte of page
    qint64 charged = 0; // what the budget granted the page, in its units
    bool paused = false;
    Clock::time_point pausedAt;

    ~State() { release(); }

    std::atomic<bool> cancelled{false};
    std::mutex multiLock;
    CURLM *multi = nullptr; // while Perform() waits on it, for Cancel() to wake

    void start(Clock::time_point now)
    {
        if (started)
            return;
        started = true;
        begun = connectStart = lastActivity = now;
    }

    void release()
    {
        if (budget && charged > 0)
            budget->give(this, charged);
        charged = 0;
    }

    // Room for `need` bytes of page, granted by the budget; up to twice the room held, so
    // that the page does not grow by every piece.
    bool makeRoom(qint64 need)
    {
        if (need * weight <= charged)
            return true;
        const qint64 generous = qMin(qMax(need, 2 * charged / weight), limits.maxBytes);
        const qint64 granted = budget->take(this, charged, need * weight - charged, generous * weight - charged);
        if (granted == 0)
            return false;
        charged += granted;
        page.bytes.reserve(charged / weight);
        return true;
    }

    void heardFromServer(Clock::time_point now)
    {
        start(now);
        lastActivity = now;
        connecting = false;
    }

    Clock::time_point deadline() const
    {
        // While a connection is being made the connect time-out applies, not the idle bound;
        // the later deadline only keeps a connection that never reports back from hanging on.
        const Clock::time_point idle = connecting ? connectStart + limits.connectTimeout + limits.idleTimeout
                                                  : lastActivity + limits.idleTimeout;
        return std::min(idle, begun + limits.totalTimeout);
    }

    int pollTimeoutMs() const
    {
        constexpr int Longest = 1000;
        if (!started || connecting)
            return Longest;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline() - Clock::now());
        return static_cast<int>(std::clamp<qint64>(left.count(), 0, Longest));
    }

    static size_t OnWrite(char *data, size_t size, size_t count, void *user)
    {
        auto *s = static_cast<State *>(user);
        const size_t length = size * count;
        s->heardFromServer(Clock::now());
        s->responded = true;
        s->headersEnded = true;
        const qint64 room = s->limits.maxBytes - s->page.bytes.size();
        if (s->budget && !s->makeRoom(s->page.bytes.size() + qMin(static_cast<qint64>(length), room))) {
            // curl hands the same bytes over again once the transfer goes on.
            s->paused = true;
            s->pausedAt = Clock::now();
            return CURL_WRITEFUNC_PAUSE;
        }
        if (static_cast<qint64>(length) > room) {
            if (room > 0)
                s->page.bytes.append(data, room);
            s->page.truncated = true;
            return 0; // anything but length makes curl stop the transfer
        }
        s->page.bytes.append(data, static_cast<qsizetype>(length));
        return length;
    }

    static size_t OnHeader(char *data, size_t size, size_t count, void *user)
    {
        auto *s = static_cast<State *>(user);
        const size_t length = size * count;
        s->heardFromServer(Clock::now());
        QByteArrayView line(data, static_cast<qsizetype>(length));
        while (!line.isEmpty() && (line.back() == '\n' || line.back() == '\r'))
            line.chop(1);

        if (line.startsWith("HTTP/")) {
            s->page.headers.clear();
            s->inHttpResponse = true;
            s->hasLocation = false;
            s->responseStatus = StatusOf(line);
            s->responded = s->responseStatus >= 200;
            s->headersEnded = false;
        } else if (!s->inHttpResponse) {
            // FTP replies come here too; they are not headers.
        } else if (line.isEmpty()) {
            // curl follows every 3xx that names a Location: the page is still to come.
            if (s->responseStatus >= 300 && s->responseStatus < 400 && s->hasLocation)
                s->responded = false;
            s->headersEnded = s->responded;
        } else if ((line.front() == ' ' || line.front() == '\t') && !s->page.headers.isEmpty()) {
            QByteArray &value = s->page.headers.last().second;
            value += ' ';
            value += line.trimmed().toByteArray();
        } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
            QByteArray name = line.first(colon).trimmed().toByteArray().toLower();
            QByteArray value = line.sliced(colon + 1).trimmed().toByteArray();
            if (name == "location" && !value.isEmpty())
                s->hasLocation = true;
            // Knowing the size up front spares the page its growing copies.
            if (name == "content-length") {
                bool ok = false;
                const qint64 announced = value.toLongLong(&ok);
                if (ok && announced > 0) {
                    const qint64 expected = qMin(announced, s->limits.maxBytes);
                    if (s->budget)
                        s->makeRoom(expected);
                    else
                        s->page.bytes.reserve(expected);
                }
            }
            s->page.headers.append({std::move(name), std::move(value)});
        }
        return length;
    }

    static int OnProgress(void *user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t)
    {
        auto *s = static_cast<State *>(user);
        if (s->cancelled)
            return 1;
        // Waiting for room in the budget is no silence of the server.
        if (s->paused)
            return 0;
        const auto now = Clock::now();
        s->start(now);
        // Redirect bodies that curl skips reach no write callback but still count here.
        if (downloaded > s->lastDownloaded)
            s->heardFromServer(now);
        s->lastDownloaded = downloaded;
        if (now >= s->begun + s->limits.totalTimeout) {
            s->totalExpired = true;
            return 1;
        }
        if (now >= s->deadline()) {
            s->idleExpired = true;
            return 1;
        }
        return 0;
    }

    static int OnSocket(void *user, curl_socket_t, curlsocktype)
    {
        auto *s = static_cast<State *>(user);
        const auto now = Clock::now();
        s->start(now);
        s->connecting = true;
        s->connectStart = now;
        return CURL_SOCKOPT_OK;
    }

    // Called before each request, including every hop of a redirect chain.
    static int OnConnected(void *user, char *, char *, int, int)
    {
        auto *s = static_cast<State *>(user);
        s->heardFromServer(Clock::now());
        s->page.headers.clear();
        s->inHttpResponse = false;
        s->responded = false;
        s->headersEnded = false;
        return CURL_PREREQFUNC_OK;
    }

    bool configure()
    {
        CURL *h = curl.handle();
        const QByteArray url = address.toUtf8(); // curl keeps its own copy of every string
        const long connectMs = static_cast<long>(limits.connectTimeout.count());
        const CURLcode codes[] = {
            curl_easy_setopt(h, CURLOPT_URL, url.constData()),
            curl_easy_setopt(h, CURLOPT_USERAGENT, limits.userAgent.constData()),
            // A direct connection, whatever the environment's proxy variables say.
            curl_easy_setopt(h, CURLOPT_PROXY, ""),
            curl_easy_setopt(h, CURLOPT_NOPROXY, "*"),
            curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, Schemes),
            curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, Schemes),
            curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L),
            curl_easy_setopt(h, CURLOPT_MAXREDIRS, limits.maxRedirects),
            // Every encoding curl can decode is asked for, and what a server sends compressed
            // unasked is decoded too: the page is searched, and capped, as decoded bytes.
            curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, ""),
            curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, std::max(connectMs, 1L)),
            curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L),
            // Larger reads than libcurl's 16 KiB: a third of the calls into the kernel and of the
            // waits for a socket, for a page that arrives faster than it is read.
            curl_easy_setopt(h, CURLOPT_BUFFERSIZE, ReadBuffer),
            curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &State::OnWrite),
            curl_easy_setopt(h, CURLOPT_WRITEDATA, this),
            curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &State::OnHeader),
            curl_easy_setopt(h, CURLOPT_HEADERDATA, this),
            curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L),
            curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &State::OnProgress),
            curl_easy_setopt(h, CURLOPT_XFERINFODATA, this),
            curl_easy_setopt(h, CURLOPT_SOCKOPTFUNCTION, &State::OnSocket),
            curl_easy_setopt(h, CURLOPT_SOCKOPTDATA, this),
            curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &State::OnConnected),
            curl_easy_setopt(h, CURLOPT_PREREQDATA, this),
        };
        return std::all_of(std::begin(codes), std::end(codes),
                           [](CURLcode code) { return code == CURLE_OK; });
    }
};

PageTransfer::PageTransfer(const QString &address, const Limits &limits)
    : d(std::make_unique<State>())
{
    d->limits = limits;
    d->address = address;
    if (const auto control = ControlCharacterIn(address)) {
        d->refusal = QStringLiteral("the address holds the control character U+%1")
                         .arg(QString::number(*control, 16).toUpper().rightJustified(4, u'0'));
    } else if (!WebAddress::IsWebAddress(address)) {
        d->refusal = QStringLiteral("not an http, https or ftp address");
    } else if (!d->curl.handle()) {
        d->refusal = QStringLiteral("could not set up a transfer");
    } else if (!d->configure()) {
        d->refusal = QStringLiteral("could not set up a transfer for this address");
    } else {
        d->valid = true;
    }
}

PageTransfer::PageTransfer(PageTransfer &&) noexcept = default;
PageTransfer &PageTransfer::operator=(PageTransfer &&) noexcept = default;
PageTransfer::~PageTransfer() = default;

bool PageTransfer::valid() const
{
    return d && d->valid;
}

CURL *PageTransfer::handle() const
{
    return valid() ? d->curl.handle() : nullptr;
}

Page PageTransfer::finish(CURLcode result, bool decode)
{
    Page page;
    if (!d) {
        page.error = QStringLiteral("no transfer");
        return page;
    }
    State &s = *d;
    if (!s.valid) {
        page.finalUrl = s.address;
        page.error = s.refusal;
        page.failure = Failure::Refused;
        return page;
    }
    page = std::exchange(s.page, Page{});
    // The page leaves the transfer, and with it the budget.
    s.release();

    CURL *h = s.curl.handle();
    long status = 0;
    if (curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
        page.status = status;
    const char *effective = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
        page.finalUrl = QString::fromUtf8(effective);
    else
        page.finalUrl = s.address;
    curl_off_t totalUs = 0;
    if (curl_easy_getinfo(h, CURLINFO_TOTAL_TIME_T, &totalUs) == CURLE_OK)
        page.elapsedMs = totalUs / 1000;

    // A response is a page only once its headers have all arrived, and only when its body
    // could be read apart: a malformed header block or chunk says nothing about the page.
    // curl tells a header line too long for it as running out of memory.
    const bool headersTooLarge = result == CURLE_OUT_OF_MEMORY && !s.headersEnded;
    const bool malformed = !s.idleExpired && !s.totalExpired && !page.truncated
            && (headersTooLarge || FailureOf(result) == Failure::BadResponse
                || (result == CURLE_RECV_ERROR && QByteArrayView(s.curl.error()).contains("chunk")));
    page.opened = !s.totalExpired && !malformed && (result == CURLE_OK || s.headersEnded);
    if (malformed) {
        page.failure = Failure::BadResponse;
        const char *why = s.curl.error();
        page.error = headersTooLarge
                ? QStringLiteral("the response headers are malformed or too large")
                : QStringLiteral("malformed response: %1").arg(QString::fromUtf8(*why ? why : curl_easy_strerror(result)));
    } else if (s.totalExpired) {
        page.error = QStringLiteral("the transfer took longer than %1 ms").arg(s.limits.totalTimeout.count());
        page.failure = Failure::TimedOut;
    } else if (s.idleExpired) {
        page.error = QStringLiteral("no data arrived for %1 ms").arg(s.limits.idleTimeout.count());
        page.failure = Failure::TimedOut;
    } else if (page.truncated) {
        page.error = QStringLiteral("the page is larger than %1 bytes; the rest was not read")
                         .arg(s.limits.maxBytes);
        page.failure = Failure::TooLarge;
    } else if (result != CURLE_OK) {
        page.failure = FailureOf(result);
        const char *why = s.curl.error();
        page.error = QString::fromUtf8(*why ? why : curl_easy_strerror(result));
    }
    if (!page.opened)
        page.bytes.clear();
    else if (decode)
        DecodeText(page);
    return page;
}

Page PageTransfer::Perform()
{
    if (!valid())
        return finish(CURLE_FAILED_INIT);
    CURL *easy = d->curl.handle();
    // A multi handle of its own lets the wait end exactly when the idle bound runs out.
    std::unique_ptr<CURLM, MultiCleanup> multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK)
        return finish(CURLE_FAILED_INIT);
    {
        const std::lock_guard lock(d->multiLock);
        d->multi = multi.get();
    }

    while (!d->cancelled) {
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK || running == 0)
            break;
        if (curl_multi_poll(multi.get(), nullptr, 0, d->pollTimeoutMs(), nullptr) != CURLM_OK)
            break;
    }
    CURLcode result = CURLE_FAILED_INIT;
    int queued = 0;
    while (CURLMsg *message = curl_multi_info_read(multi.get(), &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
            result = message->data.result;
    }
    curl_multi_remove_handle(multi.get(), easy);
    {
        const std::lock_guard lock(d->multiLock);
        d->multi = nullptr;
    }
    return finish(result);
}

void PageTransfer::Cancel()
{
    if (!d)
        return;
    d->cancelled = true;
    const std::lock_guard lock(d->multiLock);
    if (d->multi)
        curl_multi_wakeup(d->multi);
}

void PageTransfer::setBudget(TransferBudget *budget, int weight)
{
    if (!d)
        return;
    d->budget = budget;
    d->weight = std::max(1, weight);
}

bool PageTransfer::paused() const
{
    return d && d->paused;
}

void PageTransfer::resume()
{
    if (!paused())
        return;
    State &s = *d;
    s.paused = false;
    // The wait for room does not count against the transfer's bounds.
    const auto now = Clock::now();
    s.begun += now - s.pausedAt;
    s.lastActivity = now;
    curl_easy_pause(s.curl.handle(), CURLPAUSE_CONT);
}

std::optional<QByteArrayView> Utf8Text(const Page &page)
{
    const QByteArrayView bytes = page.bytes;
    // An opened page that ended with an error (a broken transfer, the size cap, the idle
    // bound) was cut short, possibly inside a character; that alone must not turn a UTF-8
    // page into Windows-1252.
    if (!page.error.isEmpty()) {
        const QByteArrayView head = bytes.first(bytes.size() - UnfinishedUtf8Tail(bytes));
        if (head.size() < bytes.size() && CodePage::IsValidUtf8(head))
            return head;
    }
    if (CodePage::IsValidUtf8(bytes))
        return bytes;
    return std::nullopt;
}

void DecodeText(Page &page)
{
    const std::optional<QByteArrayView> utf8 = Utf8Text(page);
    page.text = utf8 ? QString::fromUtf8(*utf8) : CodePage::FromWindows1252(page.bytes);
}

Page Fetch(const QString &address, const Limits &limits)
{
    return PageTransfer(address, limits).Perform();
}

QString GetPageSource(const QString &address, bool *opened)
{
    const Page page = Fetch(address);
    if (opened)
        *opened = page.opened;
    return page.opened ? page.text : QString();
}

} // namespace GetSource
