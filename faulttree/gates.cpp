// The gates reader: header matching, data cells, and the gate that each
// data row fills.
//
// Look-ups are indexed so that loading stays linear: "E" inputs find the
// first events row of a name through the name index, and a later row finds
// its gate through the index's record of the names in the tree. Where the
// index cannot decide (several elements of one name, which only a preorder
// walk can order) the walk is used; after a children list was replaced the
// record is rebuilt. The cycle check is ftcycle.h.
#include "gates.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ftcycle.h"
#include "ftnames.h"
#include "ftresult.h"

import_column gates_columns[GATES_COLUMNS] = {
    {"Name", 0, nullptr},
    {"Type", 0, nullptr},
    {"Description", 0, nullptr},
    {"Input  0 Type and Name", 0, nullptr},
    {"Input  1 Type and Name", 0, nullptr},
    {"Input  2 Type and Name", 0, nullptr},
    {"Input  3 Type and Name", 0, nullptr},
    {"Input  4 Type and Name", 0, nullptr},
    {"Input  5 Type and Name", 0, nullptr},
    {"Input  6 Type and Name", 0, nullptr},
    {"Input  7 Type and Name", 0, nullptr},
    {"Input  8 Type and Name", 0, nullptr},
    {"Input  9 Type and Name", 0, nullptr},
    {"Input  10 Type and Name", 0, nullptr},
    {"Input  11 Type and Name", 0, nullptr},
    {"Input  12 Type and Name", 0, nullptr},
    {"Input  13 Type and Name", 0, nullptr},
    {"Input  14 Type and Name", 0, nullptr},
    {"Input  15 Type and Name", 0, nullptr},
    {"Input  16 Type and Name", 0, nullptr},
    {"Input  17 Type and Name", 0, nullptr},
    {"Vote Number", 0, nullptr},
    {"Page Flag", 0, nullptr},
    {"Tag Setting", 0, nullptr},
    {"Font", 0, nullptr},
    {"Extend Name Box", 0, nullptr},
    {"Retain Results", 0, nullptr},
    {"Always Modularise", 0, nullptr},
    {"Hyperlink", 0, nullptr},
    {"Notes1", 0, nullptr},
    {"Notes2", 0, nullptr},
    {"Notes3", 0, nullptr},
    {"Notes4", 0, nullptr},
    {"Notes5", 0, nullptr},
    {"Notes6", 0, nullptr},
    {"Notes7", 0, nullptr},
    {"Notes8", 0, nullptr},
};

enum {
    G_NAME = 0,
    G_TYPE = 1,
    G_DESC = 2,
    G_INPUT0 = 3,
    G_INPUT17 = 20,
    G_PAGE = 22,
    G_NOTES1 = 29
};
enum { G_HEADER = 0, G_FIRST = 1, G_NEXT = 2 };

static const char PROB_MARKER[] = "Morvu-SA probability: ";
static const char CRIT_MARKER[] = "Morvu-SA criticality: ";

// One run of the reader.
struct gates_run {
    name_index &names;             // per name: its first event, its elements in the tree
    ft_element *root;              // filled by the first data row
    import_scan scan;              // counter, state (G_HEADER, G_FIRST, G_NEXT), row buffers
    bool tree_index_stale = false; // a children list was replaced since the
                                   // tree part of names was built
    cycle_guard cycles;
    // Without events turned into gates the tree is drawn with each element
    // once under its parent, so it takes at most one place more than the
    // inputs ever added: the places need no count.
    long inputs = 0;
    bool events_filled = false;
    // Per table row: hash_of the name in the row's cell (the gate's own name,
    // an input's name after its kind letter and separator), taken as the cell
    // is read.
    uint32_t hashes[GATES_COLUMNS] = {};
};

void gates_reset_columns(unsigned char flags) {
    import_reset(gates_columns, GATES_COLUMNS, flags);
}

/* ---- Name index ---- */

static void note_in_tree(name_entry &n, ft_element *e) {
    if (n.in_tree == nullptr)
        n.in_tree = e;
    else if (n.in_tree != e)
        n.several = true;
}

static void rebuild_tree_index(gates_run *run) {
    run->names.for_each([](name_entry &n) {
        n.in_tree = nullptr;
        n.several = false;
    });
    std::unordered_set<ft_element *> seen{run->root};
    std::vector<ft_element *> stack{run->root};
    while (!stack.empty()) {
        ft_element *e = stack.back();
        stack.pop_back();
        note_in_tree(run->names.get(ft_get_name(e)), e);
        ft_list *l = ft_get_children(e);
        for (int i = 0, n = l ? ft_list_get_size(l) : 0; i < n; ++i)
            if (seen.insert(ft_list_get(l, i)).second)
                stack.push_back(ft_list_get(l, i));
    }
    run->tree_index_stale = false;
}

// The first element in preorder below and including the root named name;
// *is_event tells whether it is the name's event.
static ft_element *find_in_tree(gates_run *run, const char *name, size_t len, uint32_t hash,
                                bool *is_event) {
    if (run->tree_index_stale)
        rebuild_tree_index(run);
    name_entry *entry = run->names.find(name, len, hash);
    if (entry == nullptr || entry->in_tree == nullptr)
        return nullptr;
    ft_element *found = entry->several ? ft_find_by_name(run->root, name) : entry->in_tree;
    *is_event = found == entry->event;
    return found;
}

/* ---- Building a gate ---- */

static const char *value_of(int row) {
    return gates_columns[row].column != 0 ? gates_columns[row].value : nullptr;
}

// The gate kind named by the Type cell; OR when the file has no Type column.
static int build_type(ft_element *gate) {
    ft_type type = FT_OR;
    if (gates_columns[G_TYPE].column != 0)
        type = ft_keyword2type(gates_columns[G_TYPE].value);
    if (type == FT_INVALID)
        return FTREAD_BAD_GATES;
    ft_set_type(gate, type);
    return FTREAD_OK;
}

// The page flag from the Page Flag cell, "On" or "Off"; off when the file
// has no such column.
static int build_page(ft_element *gate) {
    short page = FT_PAGE_OFF;
    if (gates_columns[G_PAGE].column != 0) {
        const char *v = gates_columns[G_PAGE].value;
        if (v != nullptr && strcmp(v, "On") == 0)
            page = FT_PAGE_ON;
        else if (v == nullptr || strcmp(v, "Off") != 0)
            return FTREAD_BAD_GATES;
    }
    ft_set_page(gate, page);
    return FTREAD_OK;
}

static void build_notes(ft_element *gate) {
    const char *v = value_of(G_NOTES1);
    if (v == nullptr)
        return;
    const char *p = strstr(v, PROB_MARKER);
    if (p != nullptr)
        ft_set_prob(gate, p + sizeof PROB_MARKER - 1);
    const char *c = strstr(v, CRIT_MARKER);
    if (c != nullptr)
        ft_set_criticality(gate, c + sizeof CRIT_MARKER - 1);
}

// One input cell of len bytes of a gate of block: "E" and a separator byte
// and an event name, or "G" and a separator byte and a gate name.
static int build_input(gates_run *run, ft_element *gate, int block, const char *cell, size_t len,
                       uint32_t hash) {
    if ((cell[0] != 'E' && cell[0] != 'G') || cell[1] == '\0')
        return FTREAD_BAD_GATES;
    const char *name = cell + 2;
    len -= 2;
    if (cell[0] == 'G') {
        ft_element *child = ft_init_texts(name, len, "", 0, nullptr, 0);
        ft_add_child(gate, child);
        const char *key = ft_get_name(child); // the index keeps the key, not a copy
        note_in_tree(run->names.get(key, len, hash), child);
        run->cycles.set_block(child, block);
        ++run->inputs;
        return FTREAD_OK;
    }
    name_entry *entry = run->names.find(name, len, hash);
    if (entry == nullptr || entry->event == nullptr)
        return FTREAD_UNDEFINED_EVENT;
    run->cycles.add_input(block, entry->event);
    ft_add_child(gate, entry->event);
    note_in_tree(*entry, entry->event);
    ++run->inputs;
    return FTREAD_OK;
}

// The gate's name; a row of the same text keeps the stored string.
static int build_name(ft_element *gate) {
    const char *name = gates_columns[G_NAME].value;
    if (name == nullptr)
        return FTREAD_BAD_GATES;
    if (strcmp(ft_get_name(gate), name) != 0)
        ft_set_name(gate, name);
    return FTREAD_OK;
}

// The filled inputs in column table order; the first failure ends them.
static int build_inputs(gates_run *run, ft_element *gate, int block) {
    for (int row = G_INPUT0; row <= G_INPUT17; ++row) {
        const char *cell = gates_columns[row].value;
        const int rc = cell != nullptr
                           ? build_input(run, gate, block, cell,
                                         import_value_length(&run->scan, row), run->hashes[row])
                           : FTREAD_OK;
        if (rc != FTREAD_OK)
            return rc;
    }
    return FTREAD_OK;
}

// The block of the cycle check that gate belongs to (see ftcycle.h).
static int block_of(gates_run *run, ft_element *gate, bool is_event) {
    if (gate == run->root)
        return cycle_guard::ROOT;
    if (!is_event)
        return run->cycles.gate_block(gate);
    run->events_filled = true;
    return run->cycles.event_block(gate);
}

// The columns are applied in table order: name, type, description, inputs,
// page flag, notes. Only these feed the gate; the others are dropped.
int gates_build_gate(gates_run *run, ft_element *gate, bool is_event) {
    const int block = block_of(run, gate, is_event);
    if (gate->children != nullptr && !ft_list_is_empty(gate->children)) {
        run->tree_index_stale = true;
        run->cycles.drop_inputs(block, gate);
    }
    ft_set_children(gate, ft_list_init());
    int rc = build_name(gate);
    if (rc == FTREAD_OK)
        rc = build_type(gate);
    if (rc != FTREAD_OK)
        return rc;
    ft_set_desc(gate, value_of(G_DESC) ? value_of(G_DESC) : "");
    rc = build_inputs(run, gate, block);
    if (rc == FTREAD_OK)
        rc = build_page(gate);
    if (rc == FTREAD_OK)
        build_notes(gate);
    return rc;
}

/* ---- Drawn places ---- */

// Places of the gates (elements with inputs) met by one count. An element
// without inputs takes one place and is never stored, so the map holds gates
// only and the many basic events cost no look-up.
class place_count {
    std::unordered_map<const ft_element *, long> gates;

  public:
    // The counted places of e, or -1 while e is not counted.
    long get(const ft_element *e) const {
        if (e->children == nullptr || e->children->last == -1)
            return 1;
        auto found = gates.find(e);
        return found != gates.end() ? found->second : -1;
    }
    void put(const ft_element *e, long places) { gates[e] = places; }
};

// Number of places root takes when every element is drawn under every gate
// that names it, counted once per element (the tree is acyclic) and capped
// just above GATES_MAX_PLACES. Iterative: chains may be very deep.
static long drawn_places(ft_element *root) {
    if (root->children == nullptr || root->children->last == -1)
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
        for (ft_list *c = e->children; c != nullptr; c = c->next)
            for (int i = 0; i <= c->last; ++i) {
                const long n = places.get(c->items[i]);
                if (n < 0)
                    stack.push_back(c->items[i]), ready = false;
                else
                    total += n;
            }
        if (!ready)
            continue;
        total = total > GATES_MAX_PLACES ? GATES_MAX_PLACES + 1 : total;
        places.put(e, total);
        stack.pop_back();
        if (stack.empty())
            return total;
    }
    return 1;
}

/* ---- Token handlers ---- */

void gates_tab(gates_run *run) {
    import_tab(&run->scan);
}

static int finish_row(gates_run *run) {
    ft_element *gate = run->root;
    bool is_event = false;
    if (run->scan.state == G_NEXT) {
        if (gates_columns[G_NAME].value == nullptr)
            return FTREAD_BAD_GATES;
        gate =
            find_in_tree(run, gates_columns[G_NAME].value, import_value_length(&run->scan, G_NAME),
                         run->hashes[G_NAME], &is_event);
        if (gate == nullptr)
            return FTREAD_BAD_GATES;
    }
    const int rc = gates_build_gate(run, gate, is_event);
    if (rc != FTREAD_OK)
        return rc;
    if (run->scan.state == G_FIRST)
        note_in_tree(run->names.get(ft_get_name(gate)), gate);
    import_row_end(&run->scan, gates_columns);
    run->scan.state = G_NEXT;
    return FTREAD_OK;
}

int gates_line_end(gates_run *run) {
    if (run->scan.state != G_HEADER)
        return finish_row(run);
    if (import_header_end(&run->scan, gates_columns, GATES_COLUMNS) != 0)
        return FTREAD_BAD_GATES;
    run->scan.state = G_FIRST;
    return FTREAD_OK;
}

// Prefetches the index slot that the row will look the cell's name up in:
// the gate's own name, or the name of an input.
static void prefetch_cell(gates_run *run, const char *text, size_t len) {
    const int row = import_cell_row(&run->scan);
    if (row == G_NAME)
        run->names.prefetch(run->hashes[row] = name_index::hash_of(text, len));
    else if (row >= G_INPUT0 && row <= G_INPUT17 && len >= 2)
        run->names.prefetch(run->hashes[row] = name_index::hash_of(text + 2, len - 2));
}

int gates_cell(gates_run *run, const char *text, size_t len) {
    if (run->scan.state == G_HEADER)
        return import_header_cell(&run->scan, gates_columns, GATES_COLUMNS, text, len) == 0
                   ? FTREAD_OK
                   : FTREAD_BAD_GATES;
    if (import_data_cell(&run->scan, gates_columns, text, len) != 0)
        return FTREAD_BAD_GATES;
    prefetch_cell(run, text, len);
    return FTREAD_OK;
}

// A last data row with cells but no line end is read as if it had one.
int gates_end_of_input(gates_run *run) {
    if (run->scan.state != G_HEADER && run->scan.row_cells)
        return finish_row(run);
    return FTREAD_OK;
}

// The last checks of a run, on the rows read until it ended with lexed: a
// cycle makes the format wrong whatever else ended the rows (a read error
// stays one); a tree read whole must fit the drawn places, counted only when
// they may exceed the limit (and only on a tree without cycles).
static int finish_run(const gates_run &run, int lexed) {
    if (lexed == FTREAD_ERROR)
        return lexed;
    if (run.events_filled && run.cycles.has_cycle())
        return FTREAD_BAD_GATES;
    if (lexed != FTREAD_OK || (!run.events_filled && run.inputs < GATES_MAX_PLACES))
        return lexed;
    return drawn_places(run.root) > GATES_MAX_PLACES ? FTREAD_BAD_GATES : FTREAD_OK;
}

int gates_read(FILE *f, name_index *names, ft_element *root) {
    gates_run run{*names, root, {}, false, {}};
    void *scanner = nullptr;
    const int rc = import_guarded([&] {
        import_begin(&run.scan, gates_columns, GATES_COLUMNS);
        run.scan.state = G_HEADER;
        if (gateslex_init_extra(&run, &scanner) != 0)
            throw std::bad_alloc();
        gatesset_in(f, scanner);
        return finish_run(run, gateslex(scanner));
    });
    if (scanner != nullptr)
        gateslex_destroy(scanner);
    return rc;
}
