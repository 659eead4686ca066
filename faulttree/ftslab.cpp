// The model's memory (see ftslab.h): mappings, the pools and the slabs. A
// slab's first word counts the blocks in it; the mapped slabs are kept
// sorted by address, so that a freed block finds its slab by a binary
// search. FT_HEAP_ONLY, the address sanitizer's build, puts heap blocks in
// the place of all of them.
#include "ftslab.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define FT_HEAP_ONLY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FT_HEAP_ONLY 1
#endif
#endif
static void *must_malloc(size_t n) {
    void *p = malloc(n == 0 ? 1 : n);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}

static size_t page_of(int how) {
    return how & FT_PAGES_LARGE ? FT_LARGE_PAGE : 4096;
}

// n (0 counts as 1) rounded up to whole pages of how.
static size_t whole_pages(size_t n, int how) {
    const size_t page = page_of(how);
    return ((n == 0 ? 1 : n) + page - 1) & ~(page - 1);
}

#ifdef FT_HEAP_ONLY

int ft_sanitizer_build(void) {
    return 1;
}

void *ft_pages_map(size_t n, int how) {
    if (n > SIZE_MAX - 2 * FT_LARGE_PAGE)
        throw std::bad_alloc();
    // calloc, not an aligned block zeroed by hand: a large block comes from
    // the system zeroed, and writing every page of it would cost each load
    // of the sanitizer's build a fault per page.
    void *m = calloc(1, whole_pages(n, how));
    if (m == nullptr)
        throw std::bad_alloc();
    return m;
}

void ft_pages_unmap(void *p, size_t, int) {
    free(p);
}

void *ft_pool_alloc(ft_pool *pool) {
    void *b = calloc(1, pool->block);
    if (b == nullptr)
        throw std::bad_alloc();
    return b;
}

void ft_pool_release(ft_pool *, void *b) {
    free(b);
}

void *ft_slab_alloc(size_t n, size_t) {
    return must_malloc(n);
}
void ft_slab_free(void *p) {
    free(p);
}
size_t ft_slab_count(void) {
    return 0;
}

#else

int ft_sanitizer_build(void) {
    return 0;
}

// A mapping of n bytes, whole large pages at a large-page boundary: one large
// page more than asked for is mapped, so that an aligned stretch lies inside,
// and the ends around it are given back.
static char *map_large(size_t n) {
    const size_t len = n + FT_LARGE_PAGE;
    void *m = mmap(nullptr, len, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED)
        throw std::bad_alloc();
    const uintptr_t start = reinterpret_cast<uintptr_t>(m);
    const uintptr_t aligned = (start + FT_LARGE_PAGE - 1) & ~uintptr_t(FT_LARGE_PAGE - 1);
    if (aligned > start)
        munmap(m, aligned - start);
    if (start + len > aligned + n)
        munmap(reinterpret_cast<void *>(aligned + n), start + len - (aligned + n));
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void *>(aligned), n, MADV_HUGEPAGE); // a hint only
#endif
    return reinterpret_cast<char *>(aligned);
}

void *ft_pages_map(size_t n, int how) {
    if (n > SIZE_MAX - 2 * FT_LARGE_PAGE)
        throw std::bad_alloc();
    n = whole_pages(n, how);
    if (!(how & FT_PAGES_LARGE)) {
        const int now = how & FT_PAGES_NOW ? MAP_POPULATE : 0;
        void *m =
            mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | now, -1, 0);
        if (m == MAP_FAILED)
            throw std::bad_alloc();
        return m;
    }
    char *m = map_large(n);
    if (how & FT_PAGES_NOW) // after the hint, so that the pages made are large ones
        for (size_t at = 0; at < n; at += 4096)
            static_cast<volatile char *>(m)[at] = 0;
    return m;
}

void ft_pages_unmap(void *p, size_t n, int how) {
    if (p != nullptr)
        munmap(p, whole_pages(n, how));
}

// Maps a new stretch of the pool's blocks and makes room on the list for
// each of them.
static void pool_map(ft_pool *pool) {
    const size_t blocks = FT_POOL_BYTES / pool->block;
    char *m = static_cast<char *>(ft_pages_map(FT_POOL_BYTES, FT_PAGES_LARGE));
    void **list =
        static_cast<void **>(realloc(pool->released, (pool->room + blocks) * sizeof(void *)));
    if (list == nullptr) {
        ft_pages_unmap(m, FT_POOL_BYTES, FT_PAGES_LARGE);
        throw std::bad_alloc();
    }
    pool->released = list;
    pool->room += blocks;
    pool->next = m;
    pool->end = m + blocks * pool->block;
}

void *ft_pool_alloc(ft_pool *pool) {
    if (pool->count > 0)
        return pool->released[--pool->count];
    if (pool->next == pool->end)
        pool_map(pool);
    void *b = pool->next;
    pool->next += pool->block;
    return b;
}

void ft_pool_release(ft_pool *pool, void *b) {
    if (b != nullptr)
        pool->released[pool->count++] = b;
}

static const size_t SLAB_HEAD = sizeof(size_t); // the count of blocks

static std::vector<char *> slabs; // mapped slabs, by address
static char *current = nullptr;   // the slab that blocks are cut from
static char *next = nullptr;      // its first free byte

static size_t &live_blocks(char *slab) {
    return *reinterpret_cast<size_t *>(slab);
}

static char *align_up(char *p, size_t align) {
    const uintptr_t a = align - 1;
    return reinterpret_cast<char *>((reinterpret_cast<uintptr_t>(p) + a) & ~a);
}

// The slab holding p; NULL when p lies in none.
static char *slab_of(const void *p) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(p);
    auto after = std::upper_bound(slabs.begin(), slabs.end(), at, [](uintptr_t a, char *s) {
        return a < reinterpret_cast<uintptr_t>(s);
    });
    if (after == slabs.begin())
        return nullptr;
    char *s = *(after - 1);
    return at < reinterpret_cast<uintptr_t>(s) + FT_SLAB_BYTES ? s : nullptr;
}

// Maps a new slab and makes it the current one.
static void new_slab() {
    slabs.reserve(slabs.size() + 1); // the insertion below cannot fail then
    char *s = static_cast<char *>(ft_pages_map(FT_SLAB_BYTES, FT_PAGES_LARGE));
    slabs.insert(std::upper_bound(slabs.begin(), slabs.end(), s, std::less<char *>()), s);
    live_blocks(s) = 0;
    current = s;
    next = s + SLAB_HEAD;
}

// Where a block of n bytes aligned to align starts in the current slab, NULL
// when it does not fit.
static char *fit(size_t n, size_t align) {
    if (current == nullptr)
        return nullptr;
    char *p = align_up(next, align);
    return size_t(current + FT_SLAB_BYTES - p) >= n ? p : nullptr;
}

void *ft_slab_alloc(size_t n, size_t align) {
    if (n > FT_SLAB_MAX_BLOCK)
        return must_malloc(n);
    n = n == 0 ? 1 : n;
    char *p = fit(n, align);
    if (p == nullptr) {
        new_slab();
        p = fit(n, align);
    }
    next = p + n;
    ++live_blocks(current);
    return p;
}

void ft_slab_free(void *p) {
    if (p == nullptr)
        return;
    char *s = slab_of(p);
    if (s == nullptr) {
        free(p);
        return;
    }
    if (--live_blocks(s) != 0)
        return;
    if (s == current) {
        next = s + SLAB_HEAD;
        return;
    }
    slabs.erase(std::lower_bound(slabs.begin(), slabs.end(), s, std::less<char *>()));
    ft_pages_unmap(s, FT_SLAB_BYTES, FT_PAGES_LARGE);
}

size_t ft_slab_count(void) {
    return slabs.size();
}

#endif
