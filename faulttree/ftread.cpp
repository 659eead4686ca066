// Reading a FaultTree+ file pair into a tree holder.
#include "ftread.h"

#include <cstdio>
#include <new>
#include <unordered_map>
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

// Number of places root takes when every element is drawn under every gate
// that names it, counted once per element (the tree is acyclic) and capped
// just above FTREAD_MAX_PLACES. Iterative: chains may be very deep.
static long drawn_places(ft_element *root) {
    std::unordered_map<const ft_element *, long> places;
    std::vector<std::pair<ft_element *, int>> stack{{root, 0}};
    while (!stack.empty()) {
        ft_element *e = stack.back().first;
        int next = stack.back().second;
        ft_list *kids = ft_get_children(e);
        int n = kids ? ft_list_get_size(kids) : 0;
        if (next < n) {
            stack.back().second++;
            ft_element *child = ft_list_get(kids, next);
            if (places.find(child) == places.end())
                stack.push_back({child, 0});
            continue;
        }
        long total = 1;
        for (int i = 0; i < n && total <= FTREAD_MAX_PLACES; i++)
            total += places[ft_list_get(kids, i)];
        places[e] = total > FTREAD_MAX_PLACES ? FTREAD_MAX_PLACES + 1 : total;
        stack.pop_back();
    }
    return places[root];
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
