#pragma once

#include <QString>

#include <atomic>
#include <chrono>

// A page as a browser shows it once its scripts have run: a headless Chromium loads it in a
// fresh temporary profile and prints its document. Each page has a browser process of its own,
// started in a session of its own and ended with all its helpers when the page is done, when
// its time runs out, when it holds more memory than allowed or when the caller stops; it also
// ends when the thread that started it does, so no browser outlives the program. A failure of
// any kind is a value, never an exception or a wait without end.
namespace PageRenderer {

inline constexpr std::chrono::milliseconds DefaultTimeout{20'000};
inline constexpr qint64 DefaultMemoryBudget = 1024LL * 1024 * 1024;
// What Debian calls the package that brings the browser.
inline constexpr char BrowserPackage[] = "chromium";

struct Settings {
    QString browser; // the browser program (FindBrowser)
    // The whole page, from the start of the browser to its document, at most.
    std::chrono::milliseconds timeout = DefaultTimeout;
    // Time the page's timers and scripts may take to settle. The browser runs it as virtual
    // time, which passes at once while nothing waits for the network.
    std::chrono::milliseconds settle{5'000};
    // The memory of the browser's processes together (ProcessTree::MemoryBytes), at most.
    qint64 memoryBudget = DefaultMemoryBudget;
    // The document printed, at most; as much as a page the checker downloads.
    qint64 maxDocumentBytes = 64LL * 1024 * 1024;
    // Set from any thread to end the page at once.
    const std::atomic<bool> *stop = nullptr;
};

struct Rendered {
    bool ok = false;
    QString dom;   // the document after the scripts ran, serialised; empty unless ok
    QString error; // why there is no document, e.g. "no answer within 20 s"
    qint64 ms = 0;
    qint64 peakBytes = 0; // the most memory the browser held at one time, as the budget counts it
};

// The browser given (an executable file, else nothing), or when none is given the first of
// chromium and chromium-browser on PATH; empty when there is none.
QString FindBrowser(const QString &given = {});

// Only http and https pages are rendered.
Rendered Render(const QString &url, const Settings &settings);

} // namespace PageRenderer
