// The gates reader: header matching, data cells, and the gate that each
// data row fills.
//
// Look-ups are indexed so that loading stays linear: "E" inputs find the
// first events row of a name through a hash map, and a later row finds its
// gate through a map of the names in the tree. Where that map cannot decide
// (several elements of one name, which only a preorder walk can order) the
// walk is used; after a children list was replaced the map is rebuilt.
#include "gates.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <unordered_set>
#include <vector>

#include "ftnames.h"
#include "ftread.h"

import_column gates_columns[GATES_COLUMNS] = {
    {"Name", 0, NULL},
    {"Type", 0, NULL},
    {"Description", 0, NULL},
    {"Input  0 Type and Name", 0, NULL},
    {"Input  1 Type and Name", 0, NULL},
    {"Input  2 Type and Name", 0, NULL},
    {"Input  3 Type and Name", 0, NULL},
    {"Input  4 Type and Name", 0, NULL},
    {"Input  5 Type and Name", 0, NULL},
    {"Input  6 Type and Name", 0, NULL},
    {"Input  7 Type and Name", 0, NULL},
    {"Input  8 Type and Name", 0, NULL},
    {"Input  9 Type and Name", 0, NULL},
    {"Input  10 Type and Name", 0, NULL},
    {"Input  11 Type and Name", 0, NULL},
    {"Input  12 Type and Name", 0, NULL},
    {"Input  13 Type and Name", 0, NULL},
    {"Input  14 Type and Name", 0, NULL},
    {"Input  15 Type and Name", 0, NULL},
    {"Input  16 Type and Name", 0, NULL},
    {"Input  17 Type and Name", 0, NULL},
    {"Vote Number", 0, NULL},
    {"Page Flag", 0, NULL},
    {"Tag Setting", 0, NULL},
    {"Font", 0, NULL},
    {"Extend Name Box", 0, NULL},
    {"Retain Results", 0, NULL},
    {"Always Modularise", 0, NULL},
    {"Hyperlink", 0, NULL},
    {"Notes1", 0, NULL},
    {"Notes2", 0, NULL},
    {"Notes3", 0, NULL},
    {"Notes4", 0, NULL},
    {"Notes5", 0, NULL},
    {"Notes6", 0, NULL},
    {"Notes7", 0, NULL},
    {"Notes8", 0, NULL},
};

enum { G_NAME = 0, G_TYPE = 1, G_DESC = 2, G_INPUT0 = 3, G_INPUT17 = 20, G_PAGE = 22, G_NOTES1 = 29 };
enum { G_HEADER = 0, G_FIRST = 1, G_NEXT = 2 };

static const char PROB_MARKER[] = "Morvu-SA probability: ";
static const char CRIT_MARKER[] = "Morvu-SA criticality: ";

static import_scan scan;

static name_index names;
static ft_list *indexed_events = NULL; // the events list behind names
static int indexed_size = -1;
static ft_element *tree_root = NULL;   // NULL outside a run
static bool tree_index_stale = false;
// Whether an element of the indexed events list may have inputs: an event
// only gets some when a gate row names it. Until then an "E" input cannot
// close a cycle, and the check need not read the event.
static bool events_have_inputs = true;

// Indexes the events a chunk at a time: the chunk's slots are asked for
// first, then filled, so that the memory waits overlap.
static void index_events(ft_list *events) {
    names.release();
    const int n = ft_list_get_size(events);
    names.reserve(size_t(n) + 64);
    size_t len[FT_LIST_CHUNK];
    uint32_t hash[FT_LIST_CHUNK];
    events_have_inputs = false;
    for (ft_list *c = events; c != NULL; c = c->next) {
        for (int i = 0; i <= c->last; ++i) {
            if (ft_has_children(c->items[i])) events_have_inputs = true;
            const char *key = ft_get_name(c->items[i]);
            len[i] = strlen(key);
            hash[i] = name_index::hash_of(key, len[i]);
            names.prefetch(hash[i]);
        }
        for (int i = 0; i <= c->last; ++i) {
            name_entry &entry = names.get(ft_get_name(c->items[i]), len[i], hash[i]);
            if (entry.event == NULL) entry.event = c->items[i]; // the first row of a name wins
        }
    }
    indexed_events = events;
    indexed_size = n;
}

// The first event of the list named name, NULL when none.
static ft_element *find_event(ft_list *events, const char *name) {
    if (events == indexed_events && ft_list_get_size(events) == indexed_size) {
        name_entry *entry = names.find(name);
        return entry == NULL ? NULL : entry->event;
    }
    const int n = ft_list_get_size(events);
    for (int i = 0; i < n; ++i)
        if (strcmp(ft_get_name(ft_list_get(events, i)), name) == 0) return ft_list_get(events, i);
    return NULL;
}

static void note_in_tree(name_entry &n, ft_element *e) {
    if (n.in_tree == NULL) n.in_tree = e;
    else if (n.in_tree != e) n.several = true;
}

// Notes that e is now in the tree.
static void index_add(ft_element *e) {
    if (tree_root != NULL) note_in_tree(names.get(ft_get_name(e)), e);
}

// The entry of an event name when events is the indexed list, else NULL.
static name_entry *event_entry(ft_list *events, const char *name) {
    if (events != indexed_events || ft_list_get_size(events) != indexed_size) return NULL;
    return names.find(name);
}

static void rebuild_tree_index(void) {
    names.for_each([](name_entry &n) { n.in_tree = NULL, n.several = false; });
    std::unordered_set<ft_element *> seen{tree_root};
    std::vector<ft_element *> stack{tree_root};
    while (!stack.empty()) {
        ft_element *e = stack.back();
        stack.pop_back();
        index_add(e);
        ft_list *l = ft_get_children(e);
        for (int i = 0, n = l ? ft_list_get_size(l) : 0; i < n; ++i)
            if (seen.insert(ft_list_get(l, i)).second) stack.push_back(ft_list_get(l, i));
    }
    tree_index_stale = false;
}

// The first element in preorder below and including root named name.
static ft_element *find_in_tree(ft_element *root, const char *name) {
    if (root != tree_root) return ft_find_by_name(root, name);
    if (tree_index_stale) rebuild_tree_index();
    name_entry *entry = names.find(name);
    if (entry == NULL || entry->in_tree == NULL) return NULL;
    if (!entry->several) return entry->in_tree;
    return ft_find_by_name(root, name);
}

/* ---- Building a gate ---- */

static const char *value_of(int row) {
    return gates_columns[row].column != 0 ? gates_columns[row].value : NULL;
}

static int build_type(ft_element *gate) {
    if (gates_columns[G_TYPE].column == 0) return ft_set_type(gate, FT_OR), FTREAD_OK;
    const char *v = gates_columns[G_TYPE].value;
    static const char *const kinds[] = {"AND", "PAND", "OR", "NULL"};
    static const ft_type types[] = {FT_AND, FT_PAND, FT_OR, FT_NULL};
    for (int i = 0; v != NULL && i < 4; ++i)
        if (strcmp(v, kinds[i]) == 0) return ft_set_type(gate, types[i]), FTREAD_OK;
    return FTREAD_BAD_GATES;
}

static int build_page(ft_element *gate) {
    if (gates_columns[G_PAGE].column == 0) return ft_set_page(gate, FT_PAGE_OFF), FTREAD_OK;
    const char *v = gates_columns[G_PAGE].value;
    if (v != NULL && strcmp(v, "Off") == 0) return ft_set_page(gate, FT_PAGE_OFF), FTREAD_OK;
    if (v != NULL && strcmp(v, "On") == 0) return ft_set_page(gate, FT_PAGE_ON), FTREAD_OK;
    return FTREAD_BAD_GATES;
}

static void build_notes(ft_element *gate) {
    const char *v = value_of(G_NOTES1);
    if (v == NULL) return;
    const char *p = strstr(v, PROB_MARKER);
    if (p != NULL) ft_set_prob(gate, p + sizeof PROB_MARKER - 1);
    const char *c = strstr(v, CRIT_MARKER);
    if (c != NULL) ft_set_criticality(gate, c + sizeof CRIT_MARKER - 1);
}

// 1 when target can be reached from e through children (e itself included).
static int reaches(ft_element *e, ft_element *target) {
    if (e == target) return 1;
    if (!ft_has_children(e)) return 0;
    std::unordered_set<ft_element *> seen{e};
    std::vector<ft_element *> stack{e};
    while (!stack.empty()) {
        ft_list *l = ft_get_children(stack.back());
        stack.pop_back();
        for (int i = 0, n = l ? ft_list_get_size(l) : 0; i < n; ++i) {
            ft_element *c = ft_list_get(l, i);
            if (c == target) return 1;
            if (seen.insert(c).second) stack.push_back(c);
        }
    }
    return 0;
}

// One input cell: "E" and a separator byte and an event name, or "G" and a
// separator byte and a gate name.
static int build_input(ft_element *gate, const char *cell, ft_list *events) {
    if ((cell[0] != 'E' && cell[0] != 'G') || cell[1] == '\0') return FTREAD_BAD_GATES;
    const char *name = cell + 2;
    ft_element *child;
    if (cell[0] == 'G') {
        child = ft_set_name(ft_init(), name);
        ft_add_child(gate, child);
        index_add(child);
        return FTREAD_OK;
    }
    name_entry *entry = event_entry(events, name);
    child = entry != NULL ? entry->event : find_event(events, name);
    if (child == NULL) return FTREAD_UNDEFINED_EVENT;
    if ((entry == NULL || events_have_inputs) && reaches(child, gate))
        return FTREAD_BAD_GATES; // the tree would be cyclic
    ft_add_child(gate, child);
    if (entry != NULL && tree_root != NULL) note_in_tree(*entry, child);
    else index_add(child);
    return FTREAD_OK;
}

// The gate's name; a row of the same text keeps the stored string.
static int build_name(ft_element *gate) {
    const char *name = gates_columns[G_NAME].value;
    if (name == NULL) return FTREAD_BAD_GATES;
    if (strcmp(ft_get_name(gate), name) != 0) ft_set_name(gate, name);
    return FTREAD_OK;
}

// The filled inputs in column table order; the first failure ends them.
static int build_inputs(ft_element *gate, ft_list *events) {
    for (int row = G_INPUT0; row <= G_INPUT17; ++row) {
        const char *cell = gates_columns[row].value;
        const int rc = cell != NULL ? build_input(gate, cell, events) : FTREAD_OK;
        if (rc != FTREAD_OK) return rc;
    }
    return FTREAD_OK;
}

// The columns are applied in table order: name, type, description, inputs,
// page flag, notes. Only these feed the gate; the others are dropped.
int gates_build_gate(ft_element *gate, ft_list *events) {
    if (gate->children != NULL && !ft_list_is_empty(gate->children)) tree_index_stale = true;
    ft_set_children(gate, ft_list_init());
    int rc = build_name(gate);
    if (rc == FTREAD_OK) rc = build_type(gate);
    if (rc != FTREAD_OK) return rc;
    ft_set_desc(gate, value_of(G_DESC) ? value_of(G_DESC) : "");
    rc = build_inputs(gate, events);
    if (rc == FTREAD_OK) rc = build_page(gate);
    if (rc == FTREAD_OK) build_notes(gate);
    return rc;
}

/* ---- Token handlers ---- */

void gates_begin_run(ft_list *events, ft_element *root) {
    import_begin(&scan, gates_columns, GATES_COLUMNS);
    scan.state = G_HEADER;
    index_events(events);
    tree_root = root;
    tree_index_stale = false;
}

void gates_end_run(void) {
    names.release();
    indexed_events = NULL;
    indexed_size = -1;
    tree_root = NULL;
}

void gates_tab(void) { import_tab(&scan); }

static int finish_row(ft_list *events, ft_element *root) {
    ft_element *gate = root;
    if (scan.state == G_NEXT) {
        if (gates_columns[G_NAME].value == NULL) return FTREAD_BAD_GATES;
        gate = find_in_tree(root, gates_columns[G_NAME].value);
        if (gate == NULL) return FTREAD_BAD_GATES;
        // A row that fills an element named like an event may be filling
        // that event (or a namesake): from then on "E" inputs are checked.
        const bool indexed = events == indexed_events && ft_list_get_size(events) == indexed_size;
        name_entry *entry = indexed ? names.find(gates_columns[G_NAME].value) : NULL;
        if (!indexed || (entry != NULL && entry->event != NULL)) events_have_inputs = true;
    }
    const int rc = gates_build_gate(gate, events);
    if (rc != FTREAD_OK) return rc;
    if (scan.state == G_FIRST) index_add(root);
    import_row_end(&scan, gates_columns, GATES_COLUMNS);
    scan.state = G_NEXT;
    return FTREAD_OK;
}

int gates_line_end(ft_list *events, ft_element *root) {
    if (scan.state != G_HEADER) return finish_row(events, root);
    if (import_header_end(&scan, gates_columns, GATES_COLUMNS) != 0) return FTREAD_BAD_GATES;
    scan.state = G_FIRST;
    return FTREAD_OK;
}

// Prefetches the index slot that the row will look the cell's name up in:
// the gate's own name, or the name of an input.
static void prefetch_cell(const char *text) {
    const size_t c = size_t(scan.counter);
    const int row = c < scan.col2row.size() ? scan.col2row[c] : -1;
    if (row == G_NAME)
        names.prefetch(text, strlen(text));
    else if (row >= G_INPUT0 && row <= G_INPUT17 && text[0] != '\0' && text[1] != '\0')
        names.prefetch(text + 2, strlen(text + 2));
}

int gates_cell(const char *text) {
    if (scan.state == G_HEADER)
        return import_header_cell(&scan, gates_columns, GATES_COLUMNS, text) == 0 ? FTREAD_OK
                                                                                   : FTREAD_BAD_GATES;
    if (import_data_cell(&scan, gates_columns, text) != 0) return FTREAD_BAD_GATES;
    prefetch_cell(text);
    return FTREAD_OK;
}

// A last data row with cells but no line end is read as if it had one.
int gates_end_of_input(ft_list *events, ft_element *root) {
    if (scan.state != G_HEADER && scan.row_cells) return finish_row(events, root);
    return FTREAD_OK;
}
