// The key of the name index's hash (see ftnames.h).
#include "ftnames.h"

#include <sys/random.h>

#include <cerrno>
#include <ctime>

// 16 bytes from the system's random source. Where it gives none (a kernel
// without getrandom), the clock and the addresses that the system's layout
// randomisation chose: weaker, but still nothing a file can know.
static name_hash_key random_key() {
    name_hash_key k{0, 0};
    ssize_t n;
    do
        n = getrandom(&k, sizeof k, 0);
    while (n < 0 && errno == EINTR);
    if (n == ssize_t(sizeof k))
        return k;
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    k.k0 ^= uint64_t(t.tv_nsec) * 0x9E3779B97F4A7C15ull ^ uint64_t(reinterpret_cast<uintptr_t>(&k));
    k.k1 ^= uint64_t(t.tv_sec) ^ uint64_t(reinterpret_cast<uintptr_t>(&random_key));
    return k;
}

name_hash_key name_index::name_key = random_key();
