// Reading a FaultTree+ file pair into a tree holder.
#include "ftread.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>

#include "events.h"
#include "gates.h"

FTD_tree::FTD_tree() {
    events = ft_list_init();
    root = ft_init();
}

FTD_tree::~FTD_tree() { ft_free_tree(root, events); }

// Runs the events scanner once over f. A read error or exhausted memory
// gives FTREAD_ERROR; the scanner is reset either way.
static int run_events(FILE *f, ft_list *events) {
    int rc;
    try {
        eventsrestart(f);
        rc = eventslex(events);
    } catch (const import_scan_error &) {
        rc = FTREAD_ERROR;
    } catch (const std::bad_alloc &) {
        rc = FTREAD_ERROR;
    }
    eventslex_destroy();
    return rc;
}

static int run_gates(FILE *f, ft_list *events, ft_element *root) {
    int rc;
    try {
        gatesrestart(f);
        rc = gateslex(events, root);
    } catch (const import_scan_error &) {
        rc = FTREAD_ERROR;
    } catch (const std::bad_alloc &) {
        rc = FTREAD_ERROR;
    }
    gateslex_destroy();
    gates_end_run();
    return rc;
}

// Most places a loaded tree may take when drawn as a tree. A basic event
// named by several gates is drawn under each of them, and a later row can
// turn it into a gate whose inputs are again shared: a small file can then
// stand for more places than any walk finishes or an int width holds.
static const long FTREAD_MAX_PLACES = 5000000;

// Counted places of the gates (elements with inputs) met by one count: an
// open-addressing table keyed by element address, linear probing, sized
// from the number of live elements so that it rarely grows. An element
// without inputs takes one place and is never stored, so the table holds
// gates only and the many basic events cost no look-up.
class place_table {
    struct slot {
        const ft_element *key; // NULL: free
        long places;
    };
    std::vector<slot> slots;
    size_t used = 0;

    size_t home(const ft_element *e) const {
        const uint64_t h = uint64_t(reinterpret_cast<uintptr_t>(e)) * 0x9E3779B97F4A7C15ull;
        return size_t(h >> 32) & (slots.size() - 1);
    }
    size_t probe(const ft_element *e) const {
        size_t i = home(e);
        while (slots[i].key != NULL && slots[i].key != e) i = (i + 1) & (slots.size() - 1);
        return i;
    }
    void grow() {
        std::vector<slot> old(2 * slots.size(), slot{NULL, 0});
        old.swap(slots);
        for (const slot &s : old)
            if (s.key != NULL) slots[probe(s.key)] = s;
    }

  public:
    explicit place_table(size_t expected) {
        size_t n = 64;
        while (n < 2 * expected) n *= 2;
        slots.assign(n, slot{NULL, 0});
    }
    // The counted places of e, or -1 while e is not counted.
    long get(const ft_element *e) const {
        if (e->children == NULL || e->children->last == -1) return 1;
        const slot &s = slots[probe(e)];
        return s.key != NULL ? s.places : -1;
    }
    void put(const ft_element *e, long places) {
        if (2 * (used + 1) > slots.size()) grow();
        slot &s = slots[probe(e)];
        if (s.key == NULL) ++used;
        s = slot{e, places};
    }
};

// Asks the processor early for the elements of a children list: each one
// is read next to learn whether it has inputs, and far apart in memory.
// The compiler counts a prefetch as no effect and would drop this call;
// the empty volatile asm is an effect it must keep.
static void prefetch_items(ft_list *list) {
    for (ft_list *c = list; c != NULL; c = c->next)
        for (int i = 0; i <= c->last; ++i) __builtin_prefetch(c->items[i]);
    asm volatile("" : : "r"(list));
}

// Number of places root takes when every element is drawn under every gate
// that names it, counted once per element (the tree is acyclic) and capped
// just above FTREAD_MAX_PLACES. Iterative: chains may be very deep.
static long drawn_places(ft_element *root) {
    place_table places(size_t(ft_live_elements()) / 4);
    std::vector<std::pair<ft_element *, int>> stack{{root, 0}};
    while (!stack.empty()) {
        ft_element *e = stack.back().first;
        int next = stack.back().second;
        ft_list *kids = ft_get_children(e);
        int n = kids ? ft_list_get_size(kids) : 0;
        if (next == 0) prefetch_items(kids);
        if (next < n) {
            stack.back().second++;
            ft_element *child = ft_list_get(kids, next);
            if (places.get(child) < 0) stack.push_back({child, 0});
            continue;
        }
        long total = 1;
        for (int i = 0; i < n && total <= FTREAD_MAX_PLACES; i++)
            total += places.get(ft_list_get(kids, i));
        if (n > 0) places.put(e, total > FTREAD_MAX_PLACES ? FTREAD_MAX_PLACES + 1 : total);
        stack.pop_back();
        if (stack.empty()) return total > FTREAD_MAX_PLACES ? FTREAD_MAX_PLACES + 1 : total;
    }
    return 1;
}

int read_faulttree_files(FTD_tree *holder, const char *events_path, const char *gates_path) {
    FILE *f = fopen(events_path, "rb");
    if (f == NULL) return FTREAD_NO_EVENTS_FILE;
    int rc = run_events(f, holder->events);
    fclose(f);
    if (rc != FTREAD_OK) return rc;
    f = fopen(gates_path, "rb");
    if (f == NULL) return FTREAD_NO_GATES_FILE;
    rc = run_gates(f, holder->events, holder->root);
    fclose(f);
    if (rc == FTREAD_OK && drawn_places(holder->root) > FTREAD_MAX_PLACES)
        rc = FTREAD_BAD_GATES;
    return rc;
}
