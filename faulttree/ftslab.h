// The model's memory for elements, their texts and list chunks, and the
// large-page mappings that it and the readers' name index are made of.
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
// In the address sanitizer's build every block is a malloc allocation of its
// own instead, so that the sanitizer checks every access to it and reports
// it when it leaks.
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
// Frees a block of ft_slab_alloc. NULL does nothing.
void ft_slab_free(void *p);
// Slabs mapped now (for tests).
size_t ft_slab_count(void);
// 1 when blocks are cut from slabs, 0 in the address sanitizer's build.
int ft_slabs_in_use(void);

// A zero-filled mapping of n bytes (0 counts as 1) rounded up to whole
// FT_LARGE_PAGEs, at an FT_LARGE_PAGE boundary, that the system is asked to
// back with large pages where it offers them on request: the first write to
// each 2 MB then costs one fault instead of 512 (and the page is resident
// whole), a walk over it few address translations. In every build: the
// address sanitizer does not see into it. Throws std::bad_alloc when memory
// is exhausted.
void *ft_pages_map(size_t n);
// Unmaps a mapping of ft_pages_map; n as given to it. NULL does nothing.
void ft_pages_unmap(void *p, size_t n);

#endif
