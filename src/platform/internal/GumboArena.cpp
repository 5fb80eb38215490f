#include "platform/internal/GumboArena.h"

#include "platform/Stop.h"

#include <cstdint>
#include <cstdlib>

namespace platform::internal {

GumboArena::~GumboArena()
{
    for (Large* b = m_large.next; b != &m_large;) {
        Large* next = b->next;
        std::free(b);
        b = next;
    }
    auto& cache = spareChunks();
    for (char* chunk : m_chunks) {
        if (cache.size() < kSpareChunks)
            cache.push_back(chunk);
        else
            std::free(chunk);
    }
}

const GumboOutput* GumboArena::parse(const char* data, std::size_t size)
{
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &GumboArena::allocate;
    options.deallocator = &GumboArena::deallocate;
    options.userdata = this;
    // Recording parse errors copies the open-element stack for each one.
    options.max_errors = 0;
    return run(&options, data, size, this);
}

// Kept apart from the caller: a budget overrun jumps back here, and no frame
// with destructors may lie between the jump and its target.
GumboOutput* GumboArena::run(const GumboOptions* options, const char* data, std::size_t size,
                             GumboArena* arena)
{
    if (setjmp(arena->m_overBudget) != 0)
        return nullptr;
    return gumbo_parse_with_options(options, data, size);
}

void* GumboArena::allocate(void* self, std::size_t size)
{
    return static_cast<GumboArena*>(self)->take(size);
}

void GumboArena::deallocate(void* self, void* block)
{
    if (block && (reinterpret_cast<std::uintptr_t>(block) & 15) == 8) {
        Large* b = reinterpret_cast<Large*>(static_cast<char*>(block) - sizeof(Large));
        auto* arena = static_cast<GumboArena*>(self);
        arena->m_used -= b->size;
        b->prev->next = b->next;
        b->next->prev = b->prev;
        std::free(b);
    }
}

// Chunks of earlier parses on this thread, so a harvest reuses warm memory.
std::vector<char*>& GumboArena::spareChunks()
{
    static thread_local struct Spare
    {
        std::vector<char*> chunks;
        ~Spare()
        {
            for (char* c : chunks)
                std::free(c);
        }
    } spare;
    return spare.chunks;
}

void* GumboArena::take(std::size_t size)
{
    size = (size + 15) & ~std::size_t(15);
    if (size == 0)
        size = 16;
    m_used += size;
    // A stop asked for during a long parse ends it here: the parser
    // allocates for every token, so the stop is seen at once.
    if (m_used > m_budget || (m_stop && m_stop->requested()))
        std::longjmp(m_overBudget, 1);
    if (size > kLarge) {
        auto* b = static_cast<Large*>(std::malloc(sizeof(Large) + size));
        if (!b)
            std::longjmp(m_overBudget, 1);
        b->size = size;
        b->prev = &m_large;
        b->next = m_large.next;
        m_large.next->prev = b;
        m_large.next = b;
        return b + 1;
    }
    if (std::size_t(m_end - m_next) < size) {
        auto& cache = spareChunks();
        char* chunk = nullptr;
        if (!cache.empty()) {
            chunk = cache.back();
            cache.pop_back();
        } else {
            chunk = static_cast<char*>(std::malloc(kChunk));
            if (!chunk)
                std::longjmp(m_overBudget, 1);
        }
        m_chunks.push_back(chunk);
        m_next = chunk;
        m_end = chunk + kChunk;
    }
    void* block = m_next;
    m_next += size;
    return block;
}

} // namespace platform::internal
