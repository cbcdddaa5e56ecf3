#include "frmMain.h"

#include "AppInfo.h"
#include "CommandLine.h"

#include <QApplication>

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

// A full list is a few hundred thousand small strings and list lines, built at start-up. Each
// new page of memory costs a fault, and on a virtual machine the faults cost more than the
// building; the heap is therefore grown once, by enough for a full list, in huge pages where
// the system offers them.
void PrepareHeap()
{
    constexpr std::size_t Room = 64 * 1024 * 1024;
    constexpr std::size_t Request = 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, 2 * Request);
    mallopt(M_TOP_PAD, Room);
    mallopt(M_TRIM_THRESHOLD, 2 * Room);
    const auto before = reinterpret_cast<std::uintptr_t>(sbrk(0));
    void *volatile block = std::malloc(Request);
    const auto after = reinterpret_cast<std::uintptr_t>(sbrk(0));
    std::free(block);
    const std::uintptr_t page = sysconf(_SC_PAGESIZE);
    const std::uintptr_t start = (before + page - 1) & ~(page - 1);
    if (after > start)
        madvise(reinterpret_cast<void *>(start), after - start, MADV_HUGEPAGE);
}

} // namespace

int main(int argc, char *argv[])
{
    // Answered on the terminal, without a window or a display.
    if (const std::optional<int> status = CommandLine::Answer(argc, argv))
        return *status;
    PrepareHeap();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(AppInfo::Title));
    QApplication::setApplicationVersion(
            QStringLiteral("%1.%2.%3").arg(AppInfo::Major).arg(AppInfo::Minor).arg(AppInfo::Revision));

    auto *window = new frmMain;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->Form_Load();
    window->ShowCentred();
    if (CommandLine::OpensPartners(QApplication::arguments()))
        window->ShowLostPartners();
    return app.exec();
}
