#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

#include <curl/curl.h>

class TransferBudget;

// Downloading one page. A page counts as opened when a response arrived; its status is not
// checked (an error page is a page like any other).
namespace GetSource {

inline constexpr char UserAgent[] = "vb wininet";
inline constexpr long MaxRedirects = 10;

// The waits and the size a download accepts. Kept in one place so tests can shorten them.
struct Limits {
    std::chrono::milliseconds connectTimeout{60'000};
    // A transfer ends when no byte has arrived for this long.
    std::chrono::milliseconds idleTimeout{30'000};
    // The whole transfer ends after this long, however steadily bytes arrive; the page then
    // counts as not opened.
    std::chrono::milliseconds totalTimeout{120'000};
    // What lies beyond is not kept; the part read is searched.
    qint64 maxBytes = 64LL * 1024 * 1024;
    QByteArray userAgent = UserAgent;
    long maxRedirects = MaxRedirects;
};
Limits &DefaultLimits();

// Why a transfer failed, in the terms a user can act on.
enum class Failure {
    None,
    Refused,         // the address was refused before any network use
    NameNotResolved, // no such host
    ConnectionRefused,
    ConnectionReset, // the connection broke or closed without an answer
    TimedOut,        // the connect, idle or whole-transfer bound ran out
    TooLarge,        // the page is larger than maxBytes; the part read was kept
    TooManyRedirects,
    BadResponse,     // the response headers or the body's framing or encoding were malformed
    Other,
};

struct Page {
    bool opened = false;    // a response arrived
    QByteArray bytes;       // the bytes delivered, decoded from any content encoding, in order,
                            // up to maxBytes
    QString text;           // bytes decoded: UTF-8 when valid, else Windows-1252
    long status = 0;        // status code of the last response, 0 when none
    QString finalUrl;       // the address after redirects
    QList<QPair<QByteArray, QByteArray>> headers; // of the last response; names in lower case
    bool truncated = false; // maxBytes was reached
    QString error;          // why the transfer failed or ended early; empty when it did not
    Failure failure = Failure::None;
    qint64 elapsedMs = 0;
};

class CurlHolder;

// One configured transfer: owns its curl handle and collects the page. Run it alone with
// Perform(), or add handle() to a curl multi handle and call finish() with the result that
// the multi handle reports.
class PageTransfer
{
public:
    explicit PageTransfer(const QString &address, const Limits &limits = DefaultLimits());
    PageTransfer(PageTransfer &&) noexcept;
    PageTransfer &operator=(PageTransfer &&) noexcept;
    PageTransfer(const PageTransfer &) = delete;
    PageTransfer &operator=(const PageTransfer &) = delete;
    ~PageTransfer();

    // False when the address was refused before any network use (not http, https or ftp, or
    // holding a control character).
    bool valid() const;
    // nullptr when !valid().
    CURL *handle() const;
    // With decode false the text is left to DecodeText, for a caller that may not need it.
    Page finish(CURLcode result, bool decode = true);
    // Blocks until the download ends.
    Page Perform();
    // Ends a Perform() running on another thread at once; safe from any thread, also before
    // Perform() begins.
    void Cancel();

    // The page grows only as far as the budget allows; when it has no room the transfer
    // pauses until resume(). Set before the transfer starts; the budget outlives it. The
    // budget counts `weight` for each byte, for a page that will need more memory than its
    // bytes once it has arrived.
    void setBudget(TransferBudget *budget, int weight = 1);
    bool paused() const;
    // Goes on after a pause, unless the budget still has no room.
    void resume();

private:
    struct State;
    std::unique_ptr<State> d;
};

Page Fetch(const QString &address, const Limits &limits = DefaultLimits());

// Fills the text of an opened page from its bytes, as finish() does.
void DecodeText(Page &page);
// The bytes that DecodeText reads as UTF-8 (all of them, or those before a character that a
// page cut short stops inside of); nullopt when it reads the page as Windows-1252.
std::optional<QByteArrayView> Utf8Text(const Page &page);

// The page text; empty when the page cannot be opened, and *opened then false.
QString GetPageSource(const QString &address, bool *opened = nullptr);

} // namespace GetSource
