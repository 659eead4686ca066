// The name index of the FaultTree+ readers: from a name's text to what the
// load knows of that name (its first events row, the elements of that name
// in the tree). The events reader fills it, the gates reader uses and
// extends it. The table is in this header, so that the per-cell look-ups
// inline; ftnames.cpp holds the hash's key.
//
// Layout, chosen for loads far larger than the caches: the hashed table
// holds only 8-byte slots (an entry number and 32 bits of the hash), and
// the entries sit in insertion order in blocks of one large page. The events
// are indexed in file order and gates mostly name them in that order, so
// entry reads are close to sequential; only the small slots are read at
// random. A wrong slot is passed over on its hash bits, so nearly every probe
// that reads an entry's text is the one that matches. The events reader
// appends its entries while their names are fresh in the cache and gives
// them their slots at the end, when the number of names is known and the
// table need not grow.
#ifndef FTD_FTNAMES_H
#define FTD_FTNAMES_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "ftslab.h"
#include "saFaultTree.h"

// What a run knows of one name. key points at an element's name, which does
// not change during a run; it is not copied. gate, several and refs are the
// gates reader's record of the tree (gates.cpp says how).
struct name_entry {
    ft_element *event = nullptr; // the first events row of that name
    ft_element *gate = nullptr;  // the live gate of that name, while it is the only one
    const char *key = nullptr;
    uint32_t len = 0;     // of key
    uint32_t hash = 0;    // name_index::hash_of key
    uint32_t refs = 0;    // inputs naming event that live gates hold
    char head[11];        // the first bytes of key: a short key matches without reading it
    bool several = false; // two live gates of that name were made at once
};

// The 128-bit key of name_index::hash_of.
struct name_hash_key {
    uint64_t k0, k1;
};

class name_index {
    // The process's key (ftnames.cpp): drawn from the system's random
    // source before main starts.
    static name_hash_key name_key;
    struct slot {
        uint32_t entry; // entry number + 1; 0: free
        uint32_t hash;
    };
    // Entries per block: a block is one large page (ftslab.h), whose first
    // writes cost one fault where 4 KB pages would cost 512.
    static const size_t BLOCK = FT_LARGE_PAGE / sizeof(name_entry);
    static const size_t HEAD = sizeof(name_entry::head);
    slot *slots = nullptr;
    size_t capacity = 0; // a power of two, or 0
    size_t used = 0;     // entries
    size_t indexed = 0;  // entries before this one have had their slot
    std::vector<name_entry *> blocks;

    // A table of n free slots, its pages made at once (the probes read a
    // slot before they write it).
    static slot *map_slots(size_t n) {
        if (n > SIZE_MAX / sizeof(slot))
            throw std::bad_alloc();
        return static_cast<slot *>(ft_pages_map(n * sizeof(slot), FT_PAGES_NOW));
    }
    static void unmap_slots(slot *table, size_t n) {
        ft_pages_unmap(table, n * sizeof(slot), FT_PAGES_NOW);
    }
    static uint64_t rotl(uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }
    static void sip_round(uint64_t &v0, uint64_t &v1, uint64_t &v2, uint64_t &v3) {
        v0 += v1;
        v1 = rotl(v1, 13) ^ v0;
        v0 = rotl(v0, 32);
        v2 += v3;
        v3 = rotl(v3, 16) ^ v2;
        v0 += v3;
        v3 = rotl(v3, 21) ^ v0;
        v2 += v1;
        v1 = rotl(v1, 17) ^ v2;
        v2 = rotl(v2, 32);
    }
    // The n bytes at p (n < 8) as a little-endian word, read in at most
    // two loads.
    static uint64_t tail(const char *p, size_t n) {
        if (n >= 4) {
            uint32_t lo, hi;
            memcpy(&lo, p, 4);
            memcpy(&hi, p + n - 4, 4);
            return lo | uint64_t(hi) << (8 * (n - 4));
        }
        if (n == 0)
            return 0;
        const unsigned char *u = reinterpret_cast<const unsigned char *>(p);
        return u[0] | uint64_t(u[n / 2]) << (8 * (n / 2)) | uint64_t(u[n - 1]) << (8 * (n - 1));
    }
    name_entry &entry(uint32_t r) { return blocks[r / BLOCK][r % BLOCK]; }
    // Index of the slot holding key, or of the free slot where it would go.
    size_t probe(const char *key, size_t len, uint32_t h) {
        const size_t mask = capacity - 1;
        for (size_t i = h & mask;; i = (i + 1) & mask) {
            const slot s = slots[i];
            if (s.entry == 0)
                return i;
            if (s.hash != h)
                continue;
            const name_entry &e = entry(s.entry - 1);
            if (e.len == len && memcmp(len <= HEAD ? e.head : e.key, key, len) == 0)
                return i;
        }
    }
    // A larger table: every slot moves to the place its hash bits give.
    void grow(size_t n) {
        slot *old = slots;
        const size_t old_capacity = capacity;
        slots = map_slots(n);
        capacity = n;
        for (size_t i = 0; i < old_capacity; ++i) {
            if (old[i].entry == 0)
                continue;
            size_t j = old[i].hash & (n - 1);
            while (slots[j].entry != 0)
                j = (j + 1) & (n - 1);
            slots[j] = old[i];
        }
        unmap_slots(old, old_capacity);
    }
    static name_entry *new_block() {
        return static_cast<name_entry *>(ft_pages_map(BLOCK * sizeof(name_entry), FT_PAGES_LARGE));
    }
    static void free_block(name_entry *b) {
        ft_pages_unmap(b, BLOCK * sizeof(name_entry), FT_PAGES_LARGE);
    }
    name_entry &add_entry(const char *key, size_t len, uint32_t h) {
        if (used % BLOCK == 0 && used / BLOCK == blocks.size()) {
            name_entry *b = new_block();
            try {
                blocks.push_back(b);
            } catch (...) {
                free_block(b);
                throw;
            }
        }
        name_entry *e = new (&blocks[used / BLOCK][used % BLOCK]) name_entry;
        e->key = key;
        e->len = uint32_t(len);
        e->hash = h;
        memcpy(e->head, key, len < HEAD ? len : HEAD);
        ++used;
        return *e;
    }

  public:
    name_index() = default;
    name_index(const name_index &) = delete;
    name_index &operator=(const name_index &) = delete;
    ~name_index() { release(); }

    // SipHash-1-3 of the text under the process's key (name_key), folded to
    // 32 bits. SipHash is a keyed pseudorandom function made for tables
    // keyed by untrusted text: without the key, the hashes of chosen names
    // cannot be told from random numbers, so no file can choose names that
    // share a slot, however it picks them. A multiply-and-shift hash cannot
    // give that, even with a seed: its steps can be inverted, and a
    // difference in a word's top bit passes every multiply and add
    // unchanged, so names that collide under every seed are easy to build.
    // The key is drawn from the system's random source when the process
    // starts.
    static uint32_t hash_of(const char *key, size_t len) {
        uint64_t v0 = name_key.k0 ^ 0x736f6d6570736575ull, v1 = name_key.k1 ^ 0x646f72616e646f6dull;
        uint64_t v2 = name_key.k0 ^ 0x6c7967656e657261ull, v3 = name_key.k1 ^ 0x7465646279746573ull;
        uint64_t m;
        size_t i = 0;
        for (; i + 8 <= len; i += 8) {
            memcpy(&m, key + i, 8);
            v3 ^= m;
            sip_round(v0, v1, v2, v3);
            v0 ^= m;
        }
        m = tail(key + i, len - i) | uint64_t(len) << 56;
        v3 ^= m;
        sip_round(v0, v1, v2, v3);
        v0 ^= m;
        v2 ^= 0xff;
        for (int r = 0; r < 3; ++r)
            sip_round(v0, v1, v2, v3);
        const uint64_t h = v0 ^ v1 ^ v2 ^ v3;
        return uint32_t(h ^ (h >> 32));
    }
    // For tests: makes k the key of hash_of and returns the key before. A
    // table holding names must be released before the key changes (its
    // slots hold hashes under the old key). Cannot fail.
    static name_hash_key set_key(name_hash_key k) {
        const name_hash_key old = name_key;
        name_key = k;
        return old;
    }
    // Room for n names without growing (the table stays at most 3/4 full).
    void reserve(size_t n) {
        size_t c = 64;
        while (3 * c < 4 * n)
            c *= 2;
        if (c > capacity)
            grow(c);
    }
    // The entry of key, NULL when none.
    name_entry *find(const char *key) { return find(key, strlen(key)); }
    name_entry *find(const char *key, size_t len) { return find(key, len, hash_of(key, len)); }
    // The same with the key's hash_of value already known.
    name_entry *find(const char *key, size_t len, uint32_t h) {
        if (used == 0)
            return nullptr;
        const slot s = slots[probe(key, len, h)];
        return s.entry != 0 ? &entry(s.entry - 1) : nullptr;
    }
    // The entry of key, made empty when new; key must outlive the table.
    // Throws std::bad_alloc when memory is exhausted.
    name_entry &get(const char *key) {
        const size_t len = strlen(key);
        return get(key, len, hash_of(key, len));
    }
    // The same with the key's length and hash_of value already known.
    name_entry &get(const char *key, size_t len, uint32_t h) {
        if (4 * (used + 1) > 3 * capacity)
            grow(capacity == 0 ? 64 : 2 * capacity);
        slot &s = slots[probe(key, len, h)];
        if (s.entry != 0)
            return entry(s.entry - 1);
        name_entry &e = add_entry(key, len, h);
        s.entry = uint32_t(used); // the new entry's number + 1
        s.hash = h;
        indexed = used;
        return e;
    }
    // A new entry for key (len bytes, hash_of value h) that no look-up finds
    // until index_appended; key must outlive the table. Appending costs no
    // random memory access: many names are appended, then indexed at once.
    // Throws std::bad_alloc when memory is exhausted.
    name_entry &append(const char *key, size_t len, uint32_t h) { return add_entry(key, len, h); }
    // Gives the appended entries their slots, in the order appended: a name
    // appended twice keeps its first entry (the later one stays unfound).
    // The slots are asked for a few entries ahead, so that the memory waits
    // overlap. Must run before find or get once entries were appended.
    // Throws std::bad_alloc when memory is exhausted.
    void index_appended() {
        reserve(used);
        const size_t ahead = 16;
        for (size_t r = indexed; r < used; ++r) {
            if (r + ahead < used)
                prefetch(entry(uint32_t(r + ahead)).hash);
            const name_entry &e = entry(uint32_t(r));
            slot &s = slots[probe(e.key, e.len, e.hash)];
            if (s.entry == 0)
                s = slot{uint32_t(r + 1), e.hash};
        }
        indexed = used;
    }
    // Asks the processor early for the slot where key's search starts: the
    // table can be far larger than the caches.
    void prefetch(uint32_t h) const {
        if (capacity == 0)
            return;
        const slot *p = &slots[h & (capacity - 1)];
        __builtin_prefetch(p);
    }
    void prefetch(const char *key, size_t len) const { prefetch(hash_of(key, len)); }
    template <class F> void for_each(F f) {
        for (size_t r = 0; r < used; ++r)
            f(entry(uint32_t(r)));
    }
    // Forgets every name and gives the memory back.
    void release() {
        unmap_slots(slots, capacity);
        for (name_entry *b : blocks)
            free_block(b);
        blocks.clear();
        slots = nullptr;
        capacity = 0;
        used = 0;
        indexed = 0;
    }
};

#endif
