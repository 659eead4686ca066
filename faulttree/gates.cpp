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
// - Ordered, from the row that breaks that rule on: the tree in preorder in
//   an order list (ftorder.h): every element, every "E" input of a gate, and
//   after an event's first input the event's part of the tree (the event
//   and what its inputs lead to). Per name, its elements in that order; per
//   event, its inputs. A row's gate is its name's first element in the
//   tree. A row takes out what its gate held (the gates below it die; an
//   event's part whose input goes moves to the event's next input, or leaves
//   the tree) and puts in its new inputs (an event they name first moves its
//   part there, or brings it back into the tree).
// Cost: hashing and the plain record, a constant per cell. The ordered
// record, O(log n) per element or input put in or taken out (n the nodes of
// the order), and O(log n) per part that moves, whatever its size; but a
// node of a moving part that shares its set (a name's elements, an event's
// inputs) with a node outside the part has to be sorted into the set again,
// O(log^2 n) each. So a load costs O(n log^2 n) but for files that move
// parts holding many such nodes again and again: each such move costs those
// nodes. Some such cost comes with an exact first element in preorder,
// which tells whether a part is in the tree at all: reachability in a graph
// that every row may change, which no known method keeps up to date at a
// small cost per change. The cycle check is ftcycle.h.
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

// What an order node stands for (order_node::tag).
enum { ITEM_ELEMENT, ITEM_INPUT, ITEM_MARK };

// Nodes of the order list, first in preorder first.
struct in_preorder_less {
    const order_list *order;
    bool operator()(const order_node *a, const order_node *b) const { return order->before(a, b); }
};
typedef std::pmr::set<order_node *, in_preorder_less> in_preorder;

// The ordered record of one name: its elements in the order; for its event
// (once it is in the order), the slots of the inputs that name it, the one
// its part of the tree follows (the first outside the part; NULL for none:
// the part then lies at the order's end), its own node (NULL while it is
// not in the order) and the last node of its part (its own while it has no
// inputs, else a mark after them).
struct name_order {
    in_preorder elements, inputs;
    order_node *node = nullptr, *host = nullptr, *end = nullptr;
    name_order(const order_list *order, std::pmr::memory_resource *memory)
        : elements(in_preorder_less{order}, memory), inputs(in_preorder_less{order}, memory) {}
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
    name_index &names;  // per name: its first event, and the record of the tree
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
    // Ordered: the root and what it leads to in preorder, the elements (their
    // own nodes), the "E" inputs of gates (their slots in the children lists'
    // chunks) and the end of each event's part (ITEM_MARK); then tree_end;
    // then the parts of events out of the tree. Empty while the record is
    // plain. Per name, name_entry::order.
    order_list order{&memory};
    order_node *tree_end = nullptr;
    order_node *row_node = nullptr; // ordered: the node of the row's gate
    long parked = 0;                // parts of events with inputs of their own past tree_end
    // Events whose part may belong elsewhere: placed again before the row
    // ends.
    std::vector<ft_element *> recheck{};
    // The marked nodes of a part being moved.
    std::vector<order_node *> moving{};
    // The stacks of the walks over inputs: one that puts inputs into the
    // order, one that takes them out.
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
        n.order = new (at) name_order(&run->order, &run->memory);
    }
    return *n.order;
}

// The set that node n, of an element or an input, belongs to.
static in_preorder &set_of(gates_run *run, const order_node *n) {
    if (n->tag == ITEM_ELEMENT)
        return entry_of(run, static_cast<ft_element *>(n->item)).order->elements;
    return entry_of(run, *static_cast<ft_element **>(n->item)).order->inputs;
}

// Puts n into s. A node is marked once it shares its set: a part of the
// tree that moves sorts its marked nodes into their sets again. The mark
// stays while the node does (a node that shares no more is sorted again for
// nothing, but marking costs a walk up the order).
static void join(gates_run *run, in_preorder &s, order_node *n) {
    if (!s.empty() && run->order.before(*s.rbegin(), n))
        s.emplace_hint(s.end(), n); // the usual place: later inputs come later
    else
        s.insert(n);
    if (s.size() >= 2)
        for (order_node *m : {*s.begin(), *s.rbegin(), n})
            run->order.set_mark(m, true);
}

// Takes n out of s; a small set is searched for n itself, without comparing
// places.
static void leave(in_preorder &s, order_node *n) {
    auto at = s.begin();
    if (s.size() <= 4)
        while (*at != n)
            ++at;
    else
        at = s.find(n);
    s.erase(at);
}

// The one input of an event is marked as the members of larger sets are
// while the event's part follows none: its only input lies in the part
// itself, and a move of that input may give the part a place.
static void mark_single_input(gates_run *run, name_order &o) {
    if (o.inputs.size() == 1 && o.host == nullptr)
        run->order.set_mark(*o.inputs.begin(), true);
}

static bool in_tree(const gates_run *run, const order_node *n) {
    return run->parked == 0 || run->order.before(n, run->tree_end);
}

// Moves the part of the event of record o right after at, a node outside
// it. Its marked nodes go into their sets again at their new places, and
// the events of the marked inputs among them are checked again.
static void move_part(gates_run *run, name_order &o, order_node *at) {
    run->moving.clear();
    run->order.marked_in(o.node, o.end, run->moving);
    for (order_node *n : run->moving)
        set_of(run, n).erase(n);
    run->order.move_after(o.node, o.end, at);
    for (order_node *n : run->moving) {
        set_of(run, n).insert(n);
        if (n->tag == ITEM_INPUT)
            run->recheck.push_back(*static_cast<ft_element **>(n->item));
    }
}

// Takes the part of the event of record o, which follows no input now, out
// of the tree: an event without inputs of its own leaves the order (it
// comes back as new), another's part goes to the order's end.
static void park(gates_run *run, name_order &o) {
    o.host = nullptr;
    if (o.end->tag == ITEM_MARK) {
        move_part(run, o, run->order.back());
        ++run->parked;
        return;
    }
    leave(o.elements, o.node);
    run->order.erase(o.node);
    o.node = o.end = nullptr;
}

// Puts the part of event e (of record o) right after its input at: moved
// there, or made of e alone when e is not in the order.
static void host_part(gates_run *run, ft_element *e, name_order &o, order_node *at) {
    run->parked -= o.end != nullptr && o.end->tag == ITEM_MARK && o.host == nullptr;
    o.host = at;
    if (o.end != nullptr) {
        move_part(run, o, at);
        return;
    }
    o.node = o.end = run->order.insert_after(at, e, ITEM_ELEMENT);
    join(run, o.elements, o.node);
}

// Puts the part of event e after the first of its inputs outside the part
// (in the tree or not); takes it out of the tree when it has none.
static void place_part(gates_run *run, ft_element *e) {
    name_order &o = *entry_of(run, e).order;
    auto first = o.inputs.begin();
    if (first != o.inputs.end() && *first != o.host && o.node != nullptr &&
        !run->order.before(*first, o.node))
        first = o.inputs.upper_bound(o.end);
    order_node *host = first != o.inputs.end() ? *first : nullptr;
    if (host != o.host && host == nullptr)
        park(run, o);
    else if (host != o.host)
        host_part(run, e, o, host);
    mark_single_input(run, o);
}

// Places every event checked again, until none is left.
static void place_rechecked(gates_run *run) {
    while (!run->recheck.empty()) {
        ft_element *e = run->recheck.back();
        run->recheck.pop_back();
        place_part(run, e);
    }
}

// Takes the inputs of x (of order node at) out of the order, with the gates
// below x, which die. The part of an event that followed one of those inputs
// goes past the tree's end until it is placed again. The walk over the
// inputs meets their nodes one after the other right after at.
static void take_out_inputs(gates_run *run, ft_element *x, order_node *at) {
    walk_inputs(x, run->taking, [run, at](ft_element **slot) {
        ft_element *c = *slot;
        name_entry &n = entry_of(run, c);
        order_node *node = run->order.next(at); // those before it are gone
        if (n.event != c) {
            leave(n.order->elements, node);
            run->order.erase(node);
            return true;
        }
        name_order &o = *n.order;
        if (o.host == node) {
            park(run, o);
            run->recheck.push_back(c);
        }
        leave(o.inputs, node);
        run->order.erase(node);
        mark_single_input(run, o);
        return false;
    });
}

// Puts the inputs of x into the order right after at (x's node, its inputs
// not in the order), each followed in preorder by what it leads to: a gate's
// own inputs, an event's part where this is the event's first input (an
// event not in the order has no inputs).
static void place_inputs(gates_run *run, ft_element *x, order_node *at) {
    walk_inputs(x, run->placing, [run, &at](ft_element **slot) {
        ft_element *c = *slot;
        name_entry &n = entry_of(run, c);
        name_order &o = order_of(run, n);
        if (n.event != c) {
            at = run->order.insert_after(at, c, ITEM_ELEMENT);
            join(run, o.elements, at);
            return true;
        }
        at = run->order.insert_after(at, slot, ITEM_INPUT);
        join(run, o.inputs, at);
        if (*o.inputs.begin() != at)
            return false; // c's part follows an earlier input
        host_part(run, c, o, at);
        mark_single_input(run, o);
        at = o.end;
        return false;
    });
}

// Makes the record ordered: the tree from its root.
static void order_tree(gates_run *run) {
    run->names.for_each([](name_entry &n) { n.order = nullptr; }); // in place of the gates
    order_node *root = run->order.insert_after(nullptr, run->root, ITEM_ELEMENT);
    join(run, order_of(run, entry_of(run, run->root)).elements, root);
    run->tree_end = run->order.insert_after(root, &run->tree_end, ITEM_MARK);
    place_inputs(run, run->root, root);
    place_rechecked(run);
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
// *is_event tells whether it is the name's event, *node its node in the
// ordered record (NULL while the record is plain).
static ft_element *find_in_tree(gates_run *run, const char *name, size_t len, uint32_t hash,
                                bool *is_event, order_node **node) {
    name_entry *n = run->names.find(name, len, hash);
    ft_element *found = nullptr;
    *node = nullptr;
    if (n != nullptr && ordered(run)) {
        order_node *first = n->order != nullptr && !n->order->elements.empty()
                                ? *n->order->elements.begin()
                                : nullptr;
        if (first != nullptr && in_tree(run, first))
            found = static_cast<ft_element *>(first->item), *node = first;
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
        take_out_inputs(run, gate, run->row_node);
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
        order_node *node = run->row_node;
        name_order &o = *entry_of(run, gate).order;
        if (is_event && o.end == node) // the part's inputs come before a mark of its own
            o.end = run->order.insert_after(node, &o.end, ITEM_MARK);
        place_inputs(run, gate, node);
        place_rechecked(run);
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
                         run->hashes[G_NAME], &is_event, &run->row_node);
        if (gate == nullptr)
            return FTREAD_BAD_GATES;
        if (is_event && !ordered(run)) { // an event with inputs breaks the plain record's rule
            order_tree(run);
            run->row_node = entry_of(run, gate).order->node;
        }
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
