// The model's memory: every mapping that the model and the readers use comes
// from here (the slabs below, the positions pool, the name index's entries
// and slots), and so does every small block of the model that lives as long
// as its element: elements, texts, list chunks, positions. The arrays of an
// element's drawn places come from malloc (ft_coords.cpp): each layout
// releases and makes them again, and a slab goes back only once all of it
// is free, so slabs would keep every array a redraw ever made.
//
// A load makes a few hundred thousand small blocks in a row and frees them
// all together when the tree goes. So small blocks are cut in turn from
// slabs of FT_SLAB_BYTES mapped from the system (ft_pages_map): they lie
// side by side, with no header and no rounding beyond their alignment, and
// making one costs a pointer step. Each slab counts the blocks in it and goes
// back to the system when the last of them is freed; the slab that blocks are
// being cut from starts again from its beginning instead. Larger blocks come
// from malloc. Not thread-safe (the model is used from one thread).
//
// In the address sanitizer's build every block, every pool block and every
// mapping is an ordinary heap allocation of its own instead, so that the
// sanitizer checks every access to it, reports a block used after its
// release and scans it for pointers when it looks for leaks. Only this
// module knows which build it is in.
#ifndef FTD_FTSLAB_H
#define FTD_FTSLAB_H

#include <cstddef>

// The processor's large page (x86-64: 2 MB).
#define FT_LARGE_PAGE (size_t(2) << 20)
#define FT_SLAB_BYTES FT_LARGE_PAGE
// Largest block cut from a slab; a larger one comes from malloc.
#define FT_SLAB_MAX_BLOCK (FT_SLAB_BYTES / 16)

// A block of n bytes (0 counts as 1) aligned to align (1, 2, 4 or 8), not
// zeroed. Throws std::bad_alloc when memory is exhausted.
void *ft_slab_alloc(size_t n, size_t align);
// Frees a block of ft_slab_alloc. NULL does nothing. Cannot fail.
void ft_slab_free(void *p);
// Slabs mapped now (for tests; 0 in the sanitizer's build).
size_t ft_slab_count(void);
// 1 in the address sanitizer's build, else 0: how a test asks which build
// it runs in (the slabs' and the pool's blocks are heap allocations there,
// and address-space limits do not mix with the sanitizer).
int ft_sanitizer_build(void);

// Options of ft_pages_map, or-ed together.
enum {
    // Whole FT_LARGE_PAGEs at an FT_LARGE_PAGE boundary, which the system is
    // asked to back with large pages where it offers them on request: the
    // first write to each 2 MB then costs one fault instead of 512 (and the
    // page is resident whole), a walk over it few address translations.
    // Without it: whole 4 KB pages.
    FT_PAGES_LARGE = 1,
    // Every page made at once and ready for writing, for memory that is read
    // before it is written (a fresh page read first faults twice: once for
    // the system's zero page, once for its copy at the first write).
    FT_PAGES_NOW = 2
};
// A zero-filled mapping of n bytes (0 counts as 1) rounded up to whole pages
// as how says, starting at a page boundary (in the sanitizer's build: at the
// heap's alignment). Throws std::bad_alloc when memory is exhausted.
void *ft_pages_map(size_t n, int how);
// Unmaps a mapping of ft_pages_map; n and how as given to it. NULL does
// nothing. Cannot fail.
void ft_pages_unmap(void *p, size_t n, int how);

// A pool of zero-filled blocks of one size, for blocks that mostly stay all
// zero: they are cut from mappings of FT_POOL_BYTES, whose pages the system
// makes only when a block in them is first written, so making a block
// neither touches nor zeroes it. A released block waits on the pool's list
// for reuse; the list's room is taken whenever a mapping is made, so a
// release never needs memory. The mappings are kept for the life of the
// program. Make one with FT_POOL(block bytes, a multiple of 8); its fields
// are the pool's own.
#define FT_POOL_BYTES (4 * FT_LARGE_PAGE)
typedef struct {
    size_t block;
    char *next;      // the newest mapping's first never-used block
    char *end;       // the newest mapping's end
    void **released; // blocks given back, all zero again
    size_t count;    // of released
    size_t room;     // of released: one place for every block mapped
} ft_pool;
#define FT_POOL(block)                                                                             \
    { block, nullptr, nullptr, nullptr, 0, 0 }
// A block of pool->block bytes, all zero bytes, aligned to 8. Throws
// std::bad_alloc when memory is exhausted.
void *ft_pool_alloc(ft_pool *pool);
// Gives b back to pool. b must be all zero bytes again: the caller clears
// what it wrote, and only that, so that pages nobody wrote stay untouched.
// NULL does nothing. Allocates nothing; cannot fail.
void ft_pool_release(ft_pool *pool, void *b);

#endif
