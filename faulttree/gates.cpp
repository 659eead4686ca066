// The gates reader: header matching, data cells, and the gate that each
// data row fills.
//
// A later row fills the first element of its name in preorder below the
// root (each element met once, at its first place). The reader finds it
// without searching the tree, through its record of the tree, which starts
// plain and becomes ordered once for all:
// - Plain, while no event has inputs and no name stands for two elements of
//   the tree: a name's element is its gate, or its event while gates' inputs
//   name it. Ordinary files stay plain, at the cost of a field or a counter
//   per row and input.
// - Ordered, from the row that breaks that rule on: the whole tree in
//   preorder in an order list (ftorder.h): every element, and every "E"
//   input of its gates, an event's own inputs following its first input.
//   Per name, its elements ordered by that list; per event, its inputs.
//   A row's gate is its name's first element. A row takes out what its
//   gate held (gates below it die; an event whose first input goes moves to
//   its next input, or leaves the tree with its part when it has none) and
//   puts in its new inputs (an event they name first moves up, or comes
//   back with its part of the tree).
// Cost: hashing and the plain record, a constant per cell; the ordered
// record, O(log n) per element or input it puts in or takes out (n the
// elements and inputs in the tree). A row puts in its own inputs, takes out
// what its gate held once, and moves each event whose first input changes
// with its part of the tree. So a load costs O(n log n) in all but files
// that move large parts of the tree again and again (an input naming an
// event turned into a gate, added before its first input, dropped again,
// ...): each such row costs the part it moves. Some such cost comes with an
// exact first element in preorder: it tells whether a part is in the tree
// at all, which is reachability in a graph that every row may change, and
// no known method keeps that up to date at a small cost per change. The
// cycle check is ftcycle.h.
#include "gates.h"

#include <cstdint>
#include <cstring>
#include <memory_resource>
#include <new>
#include <set>
#include <unordered_map>
#include <vector>

#include "ftcycle.h"
#include "ftnames.h"
#include "ftorder.h"
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

typedef order_list::node order_node;

// Nodes of the order list, first in preorder first.
struct in_preorder_less {
    bool operator()(const order_node *a, const order_node *b) const {
        return order_list::before(a, b);
    }
};
typedef std::pmr::set<const order_node *, in_preorder_less> in_preorder;

// The ordered record of one name: its elements in the order, and the slots
// in the order of the inputs that name its event.
struct name_order {
    in_preorder elements, inputs;
    explicit name_order(std::pmr::memory_resource *memory) : elements(memory), inputs(memory) {}
};

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
    name_index &names;  // per name: its first event, and the plain record
    ft_element *root;   // filled by the first data row
    import_scan scan{}; // counter, state (G_HEADER, G_FIRST, G_NEXT), row buffers
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

    // The record of the tree (see the top of this file).
    // Plain: name_entry::gate and name_entry::refs, and the root's name
    // (rows of that name fill the root, which comes first in preorder).
    const name_entry *root_name = nullptr;
    // The row being built breaks the plain record's rule: the record is
    // ordered at the row's end.
    bool plain_broken = false;
    // Where the ordered record's nodes and name_orders come from: made and
    // freed often, in any order, and all given back at once when the run
    // ends (nothing in it is destroyed one by one).
    node_memory memory{};
    // Ordered: the tree's elements (ft_element *) and the slots of the "E"
    // inputs of its gates (ft_element ** in the children lists' chunks) in
    // preorder; empty while the record is plain. Per name, name_entry::order.
    order_list order{&memory};
    // Events taken out of the order whose inputs may still be in it: each
    // goes back after its first input before the row ends.
    std::vector<ft_element *> unplaced{};
    // The stacks of the walks over inputs: one that puts inputs into the
    // order, one that takes them out (the first calls the second).
    std::vector<input_cursor> placing{}, taking{};
};

void gates_reset_columns(unsigned char flags) {
    import_reset(gates_columns, GATES_COLUMNS, flags);
}

/* ---- The record of the tree ---- */

// The index entry of an element of the tree: every name met is indexed.
static name_entry &entry_of(gates_run *run, const ft_element *e) {
    return *run->names.find(e->name);
}

static bool ordered(const gates_run *run) {
    return !run->order.empty();
}

// Calls step(slot) for every input slot of x in order, going first through
// the inputs of each element for which step returns true (depth first, in
// preorder). Keeps its own stack (chains may be very deep) in stack, whose
// memory stays for the next walk.
template <class Step>
static void walk_inputs(ft_element *x, std::vector<input_cursor> &stack, Step step) {
    stack.assign(1, {x->children, 0});
    while (!stack.empty()) {
        ft_element **slot = stack.back().next();
        if (slot == nullptr)
            stack.pop_back();
        else if (step(slot))
            stack.push_back({(*slot)->children, 0});
    }
}

// The ordered record of name n, made empty when new.
static name_order &order_of(gates_run *run, name_entry &n) {
    if (n.order == nullptr) {
        void *at = run->memory.allocate(sizeof(name_order), alignof(name_order));
        n.order = new (at) name_order(&run->memory);
    }
    return *n.order;
}

// Puts element e (of index entry n) into the order right after at; returns
// its node.
static order_node *put_element(gates_run *run, order_node *at, ft_element *e, name_entry &n) {
    order_node *node = run->order.insert_after(at, e);
    order_of(run, n).elements.insert(node);
    return node;
}

static void take_element(gates_run *run, ft_element *e, name_entry &n) {
    order_node *node = run->order.find(e);
    n.order->elements.erase(node);
    run->order.erase(node);
}

// Takes the inputs of x out of the order, with the gates below x and the
// parts of the events whose first input they are. Those events may have
// other inputs in the tree: they wait in unplaced.
static void take_out_inputs(gates_run *run, ft_element *x) {
    walk_inputs(x, run->taking, [run](ft_element **slot) {
        ft_element *c = *slot;
        name_entry &n = entry_of(run, c);
        if (n.event == c) {
            order_node *node = run->order.find(slot);
            in_preorder &inputs = n.order->inputs;
            const bool first = *inputs.begin() == node && run->order.find(c) != nullptr;
            inputs.erase(node);
            run->order.erase(node);
            if (!first)
                return false;
            run->unplaced.push_back(c);
        }
        take_element(run, c, n);
        return true;
    });
}

// Puts the inputs of x into the order right after at (x's node, its inputs
// not in the order), each followed in preorder by what it leads to: a gate's
// own inputs, an event's part of the tree where this is the event's first
// input. An event whose first input this becomes is moved here.
static void place_inputs(gates_run *run, ft_element *x, order_node *at) {
    walk_inputs(x, run->placing, [run, &at](ft_element **slot) {
        ft_element *c = *slot;
        name_entry &n = entry_of(run, c);
        if (n.event == c) {
            at = run->order.insert_after(at, slot);
            in_preorder &inputs = order_of(run, n).inputs;
            inputs.insert(at);
            if (*inputs.begin() != at)
                return false; // c comes earlier, or waits in unplaced for an earlier input
            if (run->order.find(c) != nullptr) {
                take_element(run, c, n);
                take_out_inputs(run, c);
            }
        }
        at = put_element(run, at, c, n);
        return true;
    });
}

// Puts every unplaced event that has an input in the tree back after the
// first of them.
static void place_unplaced(gates_run *run) {
    while (!run->unplaced.empty()) {
        ft_element *e = run->unplaced.back();
        run->unplaced.pop_back();
        name_entry &n = entry_of(run, e);
        if (run->order.find(e) != nullptr || n.order->inputs.empty())
            continue;
        order_node *first = const_cast<order_node *>(*n.order->inputs.begin());
        place_inputs(run, e, put_element(run, first, e, n));
    }
}

// Makes the record ordered: the tree from its root.
static void order_tree(gates_run *run) {
    run->names.for_each([](name_entry &n) { n.order = nullptr; }); // in place of the gates
    place_inputs(run, run->root, put_element(run, nullptr, run->root, entry_of(run, run->root)));
    place_unplaced(run);
}

// The inputs of gate (of block) are about to be replaced: the gates below it
// down to the events die, and the events lose those inputs in the cycle
// check and the plain record.
static void drop_inputs(gates_run *run, ft_element *gate, int block) {
    const bool plain = !ordered(run);
    walk_inputs(gate, run->taking, [run, block, plain](ft_element **slot) {
        ft_element *c = *slot;
        name_entry &n = entry_of(run, c);
        if (n.event == c) {
            run->cycles.drop_input(block, c);
            n.refs -= plain;
            return false;
        }
        if (plain && n.gate == c)
            n.gate = nullptr;
        return true;
    });
}

// The first element in preorder below and including the root named name;
// *is_event tells whether it is the name's event.
static ft_element *find_in_tree(gates_run *run, const char *name, size_t len, uint32_t hash,
                                bool *is_event) {
    name_entry *n = run->names.find(name, len, hash);
    ft_element *found = nullptr;
    if (n != nullptr && ordered(run)) {
        if (n->order != nullptr && !n->order->elements.empty())
            found = static_cast<ft_element *>((*n->order->elements.begin())->item);
    } else if (n != nullptr) {
        found = n == run->root_name  ? run->root
                : n->gate != nullptr ? n->gate
                : n->refs > 0        ? n->event
                                     : nullptr;
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

// One input cell of len bytes of a gate of block: "E" and a separator byte
// and an event name, or "G" and a separator byte and a gate name.
static int build_input(gates_run *run, ft_element *gate, int block, const char *cell, size_t len,
                       uint32_t hash) {
    if ((cell[0] != 'E' && cell[0] != 'G') || cell[1] == '\0')
        return FTREAD_BAD_GATES;
    const char *name = cell + 2;
    len -= 2;
    const bool plain = !ordered(run);
    if (cell[0] == 'G') {
        ft_element *child = ft_init_texts(name, len, "", 0, nullptr, 0);
        ft_add_child(gate, child);
        const char *key = ft_get_name(child); // the index keeps the key, not a copy
        run->cycles.set_block(child, block);
        name_entry &n = run->names.get(key, len, hash);
        if (plain && (n.gate != nullptr || n.refs > 0))
            run->plain_broken = true;
        else if (plain)
            n.gate = child;
        ++run->inputs;
        return FTREAD_OK;
    }
    name_entry *entry = run->names.find(name, len, hash);
    if (entry == nullptr || entry->event == nullptr)
        return FTREAD_UNDEFINED_EVENT;
    run->cycles.add_input(block, entry->event);
    ft_add_child(gate, entry->event);
    if (plain && entry->gate != nullptr)
        run->plain_broken = true;
    entry->refs += plain;
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
    if (ordered(run) && gate->children != nullptr)
        take_out_inputs(run, gate);
    if (gate->children != nullptr)
        drop_inputs(run, gate, block);
    ft_set_children(gate, ft_list_init());
    int rc = build_name(run, gate);
    if (rc == FTREAD_OK)
        rc = build_type(gate);
    if (rc != FTREAD_OK)
        return rc;
    ft_set_desc(gate, value_of(G_DESC) ? value_of(G_DESC) : "");
    rc = build_inputs(run, gate, block);
    if (rc == FTREAD_OK)
        rc = build_page(gate);
    if (rc != FTREAD_OK)
        return rc;
    build_notes(gate);
    if (ordered(run)) {
        place_inputs(run, gate, run->order.find(gate));
        place_unplaced(run);
    } else if (run->plain_broken) {
        order_tree(run);
    }
    return FTREAD_OK;
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
        if (is_event && !ordered(run))
            order_tree(run); // an event with inputs breaks the plain record's rule
    }
    const int rc = gates_build_gate(run, gate, is_event);
    if (rc != FTREAD_OK)
        return rc;
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
    return import_input(&run->scan, start, buf, max, f);
}

int gates_read(FILE *f, name_index *names, ft_element *root) {
    gates_run run{*names, root};
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
