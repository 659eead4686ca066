// A replaced global operator new that fails on demand, for the tests of
// running out of memory. Include it in one file of a test program: it
// defines the program's operators new and delete.
#ifndef FAILING_NEW_H
#define FAILING_NEW_H

#include <cstdlib>
#include <new>

// The replacements below allocate with malloc and release with free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// When armed, the allocation that fail_after counts down to throws, and so
// does every later one unless fail_once is set; only allocations of at least
// fail_min bytes count.
static long fail_after = -1;
static size_t fail_min = 0;
static bool fail_once = false;
static bool failed = false;

// The allocator the replacements take memory from: malloc, or where the
// program counts its own malloc calls too (see export_memory_test.cpp) the
// unwrapped one.
#ifndef FAILING_NEW_MALLOC
#define FAILING_NEW_MALLOC malloc
#endif

// True when an allocation of n bytes is to fail now (it is counted).
static bool allocation_fails(size_t n) {
    if (fail_after < 0 || n < fail_min || fail_after-- != 0)
        return false;
    failed = true;
    fail_after = fail_once ? -1 : 0;
    return true;
}

void *operator new(size_t n) {
    if (allocation_fails(n))
        throw std::bad_alloc();
    if (void *p = FAILING_NEW_MALLOC(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void *operator new[](size_t n) {
    return operator new(n);
}
void *operator new(size_t n, const std::nothrow_t &) noexcept {
    try {
        return operator new(n);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}
void *operator new[](size_t n, const std::nothrow_t &t) noexcept {
    return operator new(n, t);
}
void operator delete(void *p) noexcept {
    free(p);
}
void operator delete[](void *p) noexcept {
    free(p);
}
void operator delete(void *p, size_t) noexcept {
    free(p);
}
void operator delete[](void *p, size_t) noexcept {
    free(p);
}
void operator delete(void *p, const std::nothrow_t &) noexcept {
    free(p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept {
    free(p);
}

// Arms the failure for its lifetime: the allocation after `after` counted
// ones fails, counting those of at least `least` bytes; with once, that one
// alone.
struct failing_allocation {
    failing_allocation(long after, size_t least, bool once) {
        failed = false;
        fail_min = least;
        fail_once = once;
        fail_after = after;
    }
    ~failing_allocation() { fail_after = -1; }
};

#endif
