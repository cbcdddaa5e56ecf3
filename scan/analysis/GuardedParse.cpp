#include "GuardedParse.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>

namespace PageAnalysis {

namespace {

struct alignas(std::max_align_t) ChunkHead {
    ChunkHead *previous;
};

constexpr std::size_t Align = alignof(std::max_align_t);
constexpr std::size_t FirstChunk = std::size_t(64) << 10;
constexpr std::size_t LargestChunk = std::size_t(4) << 20;

// Reading the clock costs more than an allocation; gumbo allocates at least once per token.
constexpr unsigned ClockEvery = 64;

} // namespace

struct ParseArena {
    ChunkHead *chunk = nullptr; // newest; each points to the one before
    char *next = nullptr;       // free space in the newest chunk
    char *end = nullptr;
    std::size_t chunkSize = FirstChunk;
    std::size_t used = 0;       // bytes handed out, freed or not
    std::size_t memoryCap = 0;
    std::chrono::steady_clock::time_point deadline;
    unsigned sinceClock = 0;
    std::jmp_buf escape;
};

namespace {

// Called from inside gumbo. Leaving it by longjmp is sound: between the setjmp in Run and here
// there are only gumbo's C frames and this function, none with anything to destroy, and all
// that gumbo holds is in the arena.
void *Allocate(void *userdata, size_t size)
{
    auto *arena = static_cast<ParseArena *>(userdata);
    size = (std::max<size_t>(size, 1) + Align - 1) & ~(Align - 1);
    if (size > arena->memoryCap - arena->used)
        std::longjmp(arena->escape, 1);
    if (++arena->sinceClock >= ClockEvery) {
        arena->sinceClock = 0;
        if (std::chrono::steady_clock::now() > arena->deadline)
            std::longjmp(arena->escape, 1);
    }
    if (size > std::size_t(arena->end - arena->next)) {
        // Never more than the cap leaves: a doubled chunk would otherwise hold up to twice it.
        const std::size_t room = std::clamp(arena->chunkSize, size, arena->memoryCap - arena->used);
        auto *chunk = static_cast<ChunkHead *>(std::malloc(sizeof(ChunkHead) + room));
        if (!chunk)
            std::longjmp(arena->escape, 1);
        chunk->previous = arena->chunk;
        arena->chunk = chunk;
        arena->next = reinterpret_cast<char *>(chunk + 1);
        arena->end = arena->next + room;
        arena->chunkSize = std::min(arena->chunkSize * 2, LargestChunk);
    }
    void *block = arena->next;
    arena->next += size;
    arena->used += size;
    return block;
}

// What gumbo gives back during the parse is a small part of what it takes; it stays in the
// arena until the end.
void Release(void *, void *) {}

GumboOutput *Run(ParseArena *arena, const GumboOptions *options, const char *data,
                 std::size_t size)
{
    if (setjmp(arena->escape) != 0)
        return nullptr;
    return gumbo_parse_with_options(options, data, size);
}

} // namespace

GuardedParse::GuardedParse(const char *data, std::size_t size, std::chrono::milliseconds time,
                           std::size_t memory)
    : arena_(std::make_unique<ParseArena>())
{
    arena_->memoryCap = memory;
    arena_->deadline = std::chrono::steady_clock::now() + time;

    GumboOptions options = kGumboDefaultOptions;
    options.allocator = Allocate;
    options.deallocator = Release;
    options.userdata = arena_.get();
    // Parse errors are of no use here, and recording them costs memory on broken pages.
    options.max_errors = 0;
    output_ = Run(arena_.get(), &options, data, size);
}

GuardedParse::~GuardedParse()
{
    for (ChunkHead *chunk = arena_->chunk; chunk;) {
        ChunkHead *previous = chunk->previous;
        std::free(chunk);
        chunk = previous;
    }
}

} // namespace PageAnalysis
