#pragma once

#include <gumbo.h>

#include <chrono>
#include <cstddef>
#include <memory>

namespace PageAnalysis {

struct ParseArena;

// libgumbo run on a buffer with a cap on time and memory. Gumbo has no way to be stopped, and
// for many tags its tree builder walks the whole stack of open elements, so a page of thousands
// of nested elements costs time quadratic in its length. Every allocation gumbo makes passes
// through here; when a cap is passed the parse is abandoned and all its memory released.
// The memory is an arena released as a whole: gumbo makes hundreds of thousands of small
// allocations for a large page and gives back little before the end, and gumbo_destroy_output
// recurses once per level of nesting, which overflows the stack on deep pages.
class GuardedParse
{
public:
    GuardedParse(const char *data, std::size_t size, std::chrono::milliseconds time,
                 std::size_t memory);
    ~GuardedParse();
    GuardedParse(const GuardedParse &) = delete;
    GuardedParse &operator=(const GuardedParse &) = delete;

    // nullptr when the parse was abandoned.
    const GumboOutput *output() const { return output_; }

private:
    std::unique_ptr<ParseArena> arena_;
    GumboOutput *output_ = nullptr;
};

} // namespace PageAnalysis
