// The gates reader: header matching, data cells, and the gate that each
// data row fills.
//
// A later row fills the first element of its name in preorder below the
// root (each element met once, at its first place). The run's record of the
// tree answers that for nearly every row in constant time:
// - per name (name_entry): its gate while it is the only live one (a live
//   gate is one whose parent still holds it: not dropped with the inputs of
//   a gate filled again), whether two were ever live at once, and refs, the
//   inputs naming its event that live gates and events hold;
// - refs_kept: no input naming an event turned into a gate was dropped;
// - the previous row's name and the element it filled.
// Invariants: every live gate of the root's group (ftcycle.h) is in the
// tree; while refs_kept, so is every live gate and every event with refs.
// Filling an element changes nothing before it in preorder, so a row of the
// previous row's name fills the same element. Else the name's element is
// its one live gate (no refs) or its event (refs, no live gate) where the
// invariants say it is in the tree; with neither, it has none. Every other
// row searches the tree from the root, and every element a search visits
// counts on the run's meter (ftread_meter), which refuses a file past its
// budget. So a load costs O(n) for a gates file of n bytes: a constant per
// cell, each gate dropped once, and the budget's steps. The cycle check is
// ftcycle.h.
#include "gates.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "ft_walk.h"
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

// The slots of a children list in order, the next one first.
struct input_cursor {
    ft_list *chunk;
    int i;
    ft_element **next() {
        while (chunk != nullptr && i > chunk->last)
            chunk = chunk->next, i = 0;
        return chunk != nullptr ? &chunk->items[i++] : nullptr;
    }
};

// One run of the reader.
struct gates_run {
    name_index &names;   // per name: its first event, and the record of the tree
    ft_element *root;    // filled by the first data row
    ftread_meter &meter; // the searches' steps against the file's budget
    import_scan scan{};  // counter, state (G_HEADER, G_FIRST, G_NEXT), row buffers
    cycle_guard cycles{};
    // Without events turned into gates the tree is drawn with each element
    // once under its parent, so it takes at most one place more than the
    // inputs ever added: the places need no count.
    long inputs = 0;
    bool events_filled = false;
    // Per table row: hash_of the name in the row's cell (the gate's own name,
    // an input's name after its kind letter and separator), taken as the cell
    // is read.
    uint32_t hashes[GATES_COLUMNS] = {};
    // The record of the tree (see the top of this file), beside the names'
    // entries: the root's name (rows of that name fill the root, which comes
    // first in preorder), refs_kept, and the previous row's name and element.
    const name_entry *root_name = nullptr;
    bool refs_kept = true;
    const name_entry *last_name = nullptr;
    ft_element *last_filled = nullptr;
    // The stack of the walk over the inputs that a row drops.
    std::vector<input_cursor> dropping{};
};

void gates_reset_columns(unsigned char flags) {
    import_reset(gates_columns, GATES_COLUMNS, flags);
}

/* ---- The record of the tree ---- */

// The index entry of an element of the tree: every name met is indexed.
static name_entry &entry_of(gates_run *run, const ft_element *e) {
    return *run->names.find(e->name);
}

// The inputs of gate (of group) are about to be replaced: the gates below it
// down to the events die, and the events lose those inputs in the record
// and in the cycle check. Each gate dies once, so the walks of a run cost
// no more than the inputs it made. Keeps its own stack: chains may be very
// deep.
static void drop_inputs(gates_run *run, ft_element *gate, int group) {
    run->dropping.assign(1, {gate->children, 0});
    while (!run->dropping.empty()) {
        ft_element **slot = run->dropping.back().next();
        if (slot == nullptr) {
            run->dropping.pop_back();
            continue;
        }
        ft_element *c = *slot;
        name_entry &n = entry_of(run, c);
        if (n.event == c) {
            run->cycles.drop_input(group, c);
            --n.refs;
            run->refs_kept = run->refs_kept && c->children == nullptr;
            continue;
        }
        if (n.gate == c)
            n.gate = nullptr;
        run->dropping.push_back({c->children, 0});
    }
}

// Whether the record places e, a live gate or an event with refs, in the
// tree for sure.
static bool surely_in_tree(gates_run *run, ft_element *e, bool is_event) {
    return run->refs_kept || (!is_event && run->cycles.gate_group(e) == cycle_guard::ROOT);
}

// The rule's search: the first element in preorder below and including the
// root named name, each element visited a step of the meter. NULL when
// there is none, or when the meter refused the file.
static ft_element *search(gates_run *run, const char *name) {
    auto named = [run, name](ft_element *e) {
        return !run->meter.step() || strcmp(e->name, name) == 0;
    };
    ft_element *found = walk(nullptr, run->root, named, walk_every).e;
    return run->meter.refused ? nullptr : found;
}

// The first element in preorder below and including the root named name,
// whose entry is n (NULL: a name never met); *is_event tells whether it is
// the name's event.
static ft_element *find_in_tree(gates_run *run, const name_entry *n, const char *name,
                                bool *is_event) {
    ft_element *found = nullptr;
    if (n == nullptr || n == run->root_name)
        found = n != nullptr ? run->root : nullptr;
    else if (n == run->last_name)
        found = run->last_filled;
    else if (n->several || (n->gate != nullptr && n->refs > 0))
        found = search(run, name);
    else if (n->gate != nullptr || n->refs > 0) {
        found = n->gate != nullptr ? n->gate : n->event;
        if (!surely_in_tree(run, found, n->gate == nullptr))
            found = search(run, name);
    }
    *is_event = found != nullptr && found == n->event;
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

// One input cell of len bytes of a gate of group: "E" and a separator byte
// and an event name, or "G" and a separator byte and a gate name.
static int build_input(gates_run *run, ft_element *gate, int group, const char *cell, size_t len,
                       uint32_t hash) {
    if ((cell[0] != 'E' && cell[0] != 'G') || cell[1] == '\0')
        return FTREAD_BAD_GATES;
    const char *name = cell + 2;
    len -= 2;
    if (cell[0] == 'G') {
        ft_element *child = ft_init_texts(name, len, "", 0, nullptr, 0);
        ft_add_child(gate, child);
        const char *key = ft_get_name(child); // the index keeps the key, not a copy
        run->cycles.set_group(child, group);
        name_entry &n = run->names.get(key, len, hash);
        n.several = n.several || n.gate != nullptr;
        n.gate = child;
        ++run->inputs;
        return FTREAD_OK;
    }
    name_entry *entry = run->names.find(name, len, hash);
    if (entry == nullptr || entry->event == nullptr)
        return FTREAD_UNDEFINED_EVENT;
    run->cycles.add_input(group, entry->event);
    ft_add_child(gate, entry->event);
    ++entry->refs;
    ++run->inputs;
    return FTREAD_OK;
}

// The gate's name. A later row found its gate by this very name, so only the
// first row names its gate (the root), which the index learns; the stored
// string stays otherwise.
static int build_name(gates_run *run, ft_element *gate) {
    const char *name = gates_columns[G_NAME].value;
    if (name == nullptr)
        return FTREAD_BAD_GATES;
    if (run->scan.state != G_FIRST)
        return FTREAD_OK;
    if (strcmp(ft_get_name(gate), name) != 0)
        ft_set_name(gate, name);
    run->root_name = &run->names.get(ft_get_name(gate));
    return FTREAD_OK;
}

// The filled inputs in column table order; the first failure ends them.
static int build_inputs(gates_run *run, ft_element *gate, int group) {
    for (int row = G_INPUT0; row <= G_INPUT17; ++row) {
        const char *cell = gates_columns[row].value;
        const int rc = cell != nullptr
                           ? build_input(run, gate, group, cell,
                                         import_value_length(&run->scan, row), run->hashes[row])
                           : FTREAD_OK;
        if (rc != FTREAD_OK)
            return rc;
    }
    return FTREAD_OK;
}

// The group of the cycle check that gate belongs to (see ftcycle.h).
static int group_of(gates_run *run, ft_element *gate, bool is_event) {
    if (gate == run->root)
        return cycle_guard::ROOT;
    if (!is_event)
        return run->cycles.gate_group(gate);
    run->events_filled = true;
    return run->cycles.event_group(gate);
}

// The columns are applied in table order: name, type, description, inputs,
// page flag, notes. Only these feed the gate; the others are dropped.
int gates_build_gate(gates_run *run, ft_element *gate, bool is_event) {
    const int group = group_of(run, gate, is_event);
    if (gate->children != nullptr)
        drop_inputs(run, gate, group);
    ft_set_children(gate, ft_list_init());
    int rc = build_name(run, gate);
    if (rc == FTREAD_OK)
        rc = build_type(gate);
    if (rc != FTREAD_OK)
        return rc;
    ft_set_desc(gate, value_of(G_DESC) ? value_of(G_DESC) : "");
    rc = build_inputs(run, gate, group);
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
    const name_entry *n = run->root_name;
    if (run->scan.state == G_NEXT) {
        const char *name = gates_columns[G_NAME].value;
        if (name == nullptr)
            return FTREAD_BAD_GATES;
        n = run->names.find(name, import_value_length(&run->scan, G_NAME), run->hashes[G_NAME]);
        gate = find_in_tree(run, n, name, &is_event);
        if (gate == nullptr)
            return FTREAD_BAD_GATES;
    }
    const int rc = gates_build_gate(run, gate, is_event);
    if (rc != FTREAD_OK)
        return rc;
    run->last_name = run->scan.state == G_FIRST ? run->root_name : n;
    run->last_filled = gate;
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

size_t gates_input(gates_run *run, const char *start, char *buf, size_t max, FILE *f) {
    const size_t n = import_input(&run->scan, start, buf, max, f);
    run->meter.bytes += (long long)n;
    return n;
}

int gates_read(FILE *f, name_index *names, ft_element *root, ftread_meter *meter) {
    gates_run run{*names, root, *meter};
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
