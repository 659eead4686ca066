// Reading a FaultTree+ file pair into a tree holder.
#include "ftread.h"

#include <cstdio>
#include <unordered_map>
#include <vector>

#include "events.h"
#include "gates.h"

FTD_tree::FTD_tree() {
    events = ft_list_init();
    root = ft_init();
}

FTD_tree::~FTD_tree() {
    ft_free_tree(root, events);
}

// Most places a loaded tree may take when drawn as a tree. A basic event
// named by several gates is drawn under each of them, and a later row can
// turn it into a gate whose inputs are again shared: a small file can then
// stand for more places than any walk finishes or an int width holds.
static const long FTREAD_MAX_PLACES = 5000000;

// Places of the gates (elements with inputs) met by one count. An element
// without inputs takes one place and is never stored, so the map holds gates
// only and the many basic events cost no look-up.
class place_count {
    std::unordered_map<const ft_element *, long> gates;

  public:
    // The counted places of e, or -1 while e is not counted.
    long get(const ft_element *e) const {
        if (e->children == NULL || e->children->last == -1)
            return 1;
        auto found = gates.find(e);
        return found != gates.end() ? found->second : -1;
    }
    void put(const ft_element *e, long places) { gates[e] = places; }
};

// Number of places root takes when every element is drawn under every gate
// that names it, counted once per element (the tree is acyclic) and capped
// just above FTREAD_MAX_PLACES. Iterative: chains may be very deep.
static long drawn_places(ft_element *root) {
    if (root->children == NULL || root->children->last == -1)
        return 1;
    place_count places;
    // A gate waits on the stack until every gate below it is counted.
    std::vector<ft_element *> stack{root};
    while (!stack.empty()) {
        ft_element *e = stack.back();
        if (places.get(e) >= 0) { // pushed twice, counted already
            stack.pop_back();
            continue;
        }
        long total = 1;
        bool ready = true;
        for (ft_list *c = e->children; c != NULL; c = c->next)
            for (int i = 0; i <= c->last; ++i) {
                const long n = places.get(c->items[i]);
                if (n < 0)
                    stack.push_back(c->items[i]), ready = false;
                else
                    total += n;
            }
        if (!ready)
            continue;
        total = total > FTREAD_MAX_PLACES ? FTREAD_MAX_PLACES + 1 : total;
        places.put(e, total);
        stack.pop_back();
        if (stack.empty())
            return total;
    }
    return 1;
}

// Opens path and reads it with read(f): FTREAD_ERROR for anything but a
// regular file and for a file with a cell beyond IMPORT_MAX_CELL,
// missing_code when it cannot be opened.
template <class Read> static int read_file(const char *path, int missing_code, Read read) {
    int not_a_file;
    FILE *f = import_open(path, &not_a_file);
    if (f == NULL)
        return not_a_file ? FTREAD_ERROR : missing_code;
    const int rc = import_has_long_cell(f) ? FTREAD_ERROR : read(f);
    fclose(f);
    return rc;
}

int read_faulttree_files(FTD_tree *holder, const char *events_path, const char *gates_path) {
    int rc = read_file(events_path, FTREAD_NO_EVENTS_FILE,
                       [&](FILE *f) { return events_read(f, holder->events); });
    if (rc != FTREAD_OK)
        return rc;
    rc = read_file(gates_path, FTREAD_NO_GATES_FILE,
                   [&](FILE *f) { return gates_read(f, holder->events, holder->root); });
    if (rc == FTREAD_OK && drawn_places(holder->root) > FTREAD_MAX_PLACES)
        rc = FTREAD_BAD_GATES;
    return rc;
}
