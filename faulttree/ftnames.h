// The name index of the gates reader: from a name's text to what the run
// knows of that name (its first events row, the elements of that name in
// the tree). Header only, so that the per-cell look-ups inline.
//
// Layout, chosen for loads far larger than the caches: the hashed table
// holds only 8-byte slots (a record number and 32 bits of the hash), and
// the records sit in insertion order in fixed-size blocks. The events are
// indexed in file order and gates mostly name them in that order, so record
// reads are close to sequential; only the small slots are read at random.
// A wrong slot is passed over on its hash bits, so nearly every probe that
// reads a record's text is the one that matches.
#ifndef FTD_FTNAMES_H
#define FTD_FTNAMES_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "saFaultTree.h"

// What a run knows of one name. key points at an element's name, which does
// not change during a run; it is not copied.
struct name_entry {
    ft_element *event = NULL;   // the first events row of that name
    ft_element *in_tree = NULL; // the first distinct element of that name met in the tree
    const char *key = NULL;
    size_t len = 0;
    char head[15];        // the first bytes of key: a short key matches without reading it
    bool several = false; // more than one distinct element of that name in the tree
};

class name_index {
    struct slot {
        uint32_t record; // record number + 1; 0: free
        uint32_t hash;
    };
    static const size_t BLOCK = 4096; // records per block
    static const size_t HEAD = sizeof(name_entry::head);
    slot *slots = NULL;
    size_t capacity = 0; // a power of two, or 0
    size_t used = 0;
    std::vector<name_entry *> blocks;

    static slot *map_slots(size_t n) {
        void *m = calloc(n, sizeof(slot));
        if (m == NULL) throw std::bad_alloc();
        return static_cast<slot *>(m);
    }
    name_entry &record(uint32_t r) { return blocks[r / BLOCK][r % BLOCK]; }
    // Index of the slot holding key, or of the free slot where it would go.
    size_t probe(const char *key, size_t len, uint32_t h) {
        const size_t mask = capacity - 1;
        for (size_t i = h & mask;; i = (i + 1) & mask) {
            const slot s = slots[i];
            if (s.record == 0) return i;
            if (s.hash != h) continue;
            const name_entry &e = record(s.record - 1);
            if (e.len == len && memcmp(len <= HEAD ? e.head : e.key, key, len) == 0) return i;
        }
    }
    // A larger table: every slot moves to the place its hash bits give.
    void grow(size_t n) {
        slot *old = slots;
        const size_t old_capacity = capacity;
        slots = map_slots(n);
        capacity = n;
        for (size_t i = 0; i < old_capacity; ++i) {
            if (old[i].record == 0) continue;
            size_t j = old[i].hash & (n - 1);
            while (slots[j].record != 0) j = (j + 1) & (n - 1);
            slots[j] = old[i];
        }
        free(old);
    }
    name_entry &add_record(const char *key, size_t len) {
        if (used % BLOCK == 0 && used / BLOCK == blocks.size()) {
            name_entry *b = static_cast<name_entry *>(malloc(BLOCK * sizeof(name_entry)));
            if (b == NULL) throw std::bad_alloc();
            try {
                blocks.push_back(b);
            } catch (...) {
                free(b);
                throw;
            }
        }
        name_entry *e = new (&blocks[used / BLOCK][used % BLOCK]) name_entry;
        e->key = key;
        e->len = len;
        memcpy(e->head, key, len < HEAD ? len : HEAD);
        ++used;
        return *e;
    }

  public:
    name_index() = default;
    name_index(const name_index &) = delete;
    name_index &operator=(const name_index &) = delete;
    ~name_index() { release(); }

    // FNV-1a over the text, folded to 32 bits.
    static uint32_t hash_of(const char *key, size_t len) {
        uint64_t h = 1469598103934665603ull;
        for (size_t i = 0; i < len; ++i) h = (h ^ (unsigned char)key[i]) * 1099511628211ull;
        return uint32_t(h ^ (h >> 32));
    }
    // Room for n names without growing (the table stays at most 3/4 full).
    void reserve(size_t n) {
        size_t c = 64;
        while (3 * c < 4 * n) c *= 2;
        if (c > capacity) grow(c);
    }
    // The entry of key, NULL when none.
    name_entry *find(const char *key) { return find(key, strlen(key)); }
    name_entry *find(const char *key, size_t len) {
        if (used == 0) return NULL;
        const slot s = slots[probe(key, len, hash_of(key, len))];
        return s.record != 0 ? &record(s.record - 1) : NULL;
    }
    // The entry of key, made empty when new; key must outlive the table.
    // Throws std::bad_alloc when memory is exhausted.
    name_entry &get(const char *key) {
        const size_t len = strlen(key);
        return get(key, len, hash_of(key, len));
    }
    // The same with the key's length and hash_of value already known.
    name_entry &get(const char *key, size_t len, uint32_t h) {
        if (4 * (used + 1) > 3 * capacity) grow(capacity == 0 ? 64 : 2 * capacity);
        slot &s = slots[probe(key, len, h)];
        if (s.record != 0) return record(s.record - 1);
        name_entry &e = add_record(key, len);
        s.record = uint32_t(used); // the new record's number + 1
        s.hash = h;
        return e;
    }
    // Asks the processor early for the slot where key's search starts: the
    // table can be far larger than the caches.
    //
    // The compiler counts a prefetch as no effect at all, so a function whose
    // only work ends in one is dropped with its calls; the empty volatile asm
    // is an effect it must keep, and with it the prefetch.
    void prefetch(uint32_t h) const {
        if (capacity == 0) return;
        const slot *p = &slots[h & (capacity - 1)];
        __builtin_prefetch(p);
        asm volatile("" : : "r"(p));
    }
    void prefetch(const char *key, size_t len) const { prefetch(hash_of(key, len)); }
    template <class F> void for_each(F f) {
        for (size_t r = 0; r < used; ++r) f(record(uint32_t(r)));
    }
    // Forgets every name and gives the memory back.
    void release() {
        free(slots);
        for (name_entry *b : blocks) free(b);
        blocks.clear();
        slots = NULL;
        capacity = 0;
        used = 0;
    }
};

#endif
