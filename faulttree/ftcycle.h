// The cycle check of the gates reader: whether the "E" inputs read so far
// make the tree cyclic, in time linear in the file.
//
// Only a basic event can close a cycle: every other element has one parent
// (the gate whose row made it) and the root has none. So the check works on
// groups, not elements. A group is a basic event that a row turned into a
// gate together with the gates below it down to the next events; the root
// and the gates below it form the root group, which nothing can reach. An
// "E" input of a gate is an edge from the gate's group to the event's
// group, and the input closes a cycle exactly when the event's group
// reaches the gate's group.
//
// While the rows are read, the check only keeps the edges between groups
// (with the number of inputs that make each), adding and dropping them as
// rows fill and refill gates: a constant time per input. The reader finds
// each element once, at its first place in preorder, so a cycle standing for
// a while does it no harm. At the end of the rows (or at the first row that
// fails otherwise) one depth-first search over the groups tells whether a
// cycle stands: time linear in the groups and edges, whatever the order of
// rows.
#ifndef FTD_FTCYCLE_H
#define FTD_FTCYCLE_H

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "saFaultTree.h"

class cycle_guard {
  public:
    // The group of the root and of the gates below it without an event
    // between.
    static const int ROOT = -1;

    // The group that event heads; made on first use. Throws std::bad_alloc
    // when memory is exhausted (as every operation that adds).
    int event_group(ft_element *event);
    // The group of a gate made by a "G" input: the one set_group gave it,
    // ROOT when none. Cannot fail.
    int gate_group(ft_element *gate) const;
    // Puts a gate just made by a "G" input into group (its parent's group).
    void set_group(ft_element *gate, int group);

    // Records that a gate of group names event as an input.
    void add_input(int group, ft_element *event);
    // Forgets one input naming event that a gate of group held: the gate's
    // children list is being replaced, or the gate leaves the tree with the
    // gate above it. Cannot fail.
    void drop_input(int group, ft_element *event);
    // True when the inputs recorded and not dropped make a cycle (an event
    // that reaches itself through the gates below it). Iterative.
    bool has_cycle() const;

  private:
    struct edge {
        int from, to;
        int count; // inputs that make this edge; 0: not in the graph
    };
    struct group {
        std::vector<int> out; // edge numbers, counts 0 included
    };
    std::vector<group> groups;
    std::vector<edge> edges;
    std::unordered_map<uint64_t, int> edge_of;      // (from, to) -> edge number
    std::unordered_map<ft_element *, int> event_of; // event -> its group
    std::unordered_map<ft_element *, int> gate_of;  // gate -> its group, not ROOT

    static uint64_t key(int from, int to) { return uint64_t(uint32_t(from)) << 32 | uint32_t(to); }
};

#endif
