// The model's memory for elements, their texts and list chunks.
//
// A load makes a few hundred thousand small blocks in a row and frees them
// all together when the tree goes. So small blocks are cut in turn from
// slabs of FT_SLAB_BYTES mapped from the system: they lie side by side, with
// no header and no rounding beyond their alignment, and making one costs a
// pointer step. Each slab counts the blocks in it and goes back to the
// system when the last of them is freed; the slab that blocks are being cut
// from starts again from its beginning instead. Larger blocks come from
// malloc. Not thread-safe (the model is used from one thread).
//
// In the address sanitizer's build every block is a malloc allocation of its
// own instead, so that the sanitizer checks every access to it and reports
// it when it leaks.
#ifndef FTD_FTSLAB_H
#define FTD_FTSLAB_H

#include <cstddef>

#define FT_SLAB_BYTES (size_t(1) << 20)
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

#endif
