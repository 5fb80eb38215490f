#pragma once

#include <csetjmp>
#include <cstddef>
#include <gumbo.h>
#include <vector>

namespace platform {
class StopRequest;
}

namespace platform::internal {

// gumbo's memory for one parse. Small blocks are cut from large chunks and
// never freed one by one: the whole arena goes at once after the tree is
// copied, so no walk over gumbo's tree (whose destroy function recurses) is
// needed. Blocks over kLarge bytes (growing text buffers) come from malloc and
// go back when gumbo frees them. Small blocks are 16-byte aligned and large
// ones 8 past that, which tells them apart on free.
//
// A page whose tree outgrows its budget ends the parse: markup that reopens
// a formatting element copies its attributes each time, so a small page can
// otherwise ask for gigabytes.
class GumboArena
{
public:
    GumboArena(std::size_t budget, const StopRequest* stop) : m_budget(budget), m_stop(stop) {}
    GumboArena(const GumboArena&) = delete;
    GumboArena& operator=(const GumboArena&) = delete;
    ~GumboArena();

    // Parses UTF-8 markup in this arena's memory; the tree lives as long as
    // the arena. Null when the tree outgrew the budget, memory ran out or a
    // stop was asked for.
    const GumboOutput* parse(const char* data, std::size_t size);

private:
    static constexpr std::size_t kChunk = 256 * 1024;
    static constexpr std::size_t kLarge = 4096;
    static constexpr std::size_t kSpareChunks = 16;
    struct Large
    {
        Large* prev;
        Large* next;
        std::size_t size;
    };
    static_assert(sizeof(Large) == 24, "large blocks must start 8 past a 16-byte boundary");

    static void* allocate(void* self, std::size_t size);
    static void deallocate(void* self, void* block);
    static std::vector<char*>& spareChunks();
    static GumboOutput* run(const GumboOptions* options, const char* data, std::size_t size,
                            GumboArena* arena);
    void* take(std::size_t size);

    std::jmp_buf m_overBudget;
    std::size_t m_budget;
    const StopRequest* m_stop;
    std::size_t m_used = 0;
    char* m_next = nullptr;
    char* m_end = nullptr;
    std::vector<char*> m_chunks;
    Large m_large{&m_large, &m_large, 0};
};

} // namespace platform::internal
