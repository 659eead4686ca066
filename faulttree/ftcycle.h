// The cycle check of the gates reader: refuses an "E" input that would make
// the tree cyclic, in time close to linear in the file.
//
// Only a basic event can close a cycle: every other element has one parent
// (the gate whose row made it) and the root has none. So the check works on
// blocks, not elements. A block is a basic event that a row turned into a
// gate together with the gates below it down to the next events; the root
// and the gates below it form the root block, which nothing can reach. An
// "E" input of a gate is an edge from the gate's block to the event's
// block, and the input closes a cycle exactly when the event's block
// reaches the gate's block.
//
// The blocks are kept in a topological order (Pearce and Kelly's dynamic
// order): an edge that agrees with the order is added at once, one that
// does not is checked by a search bounded to the stretch of the order
// between its two ends, and that stretch is then reordered. An input that
// repeats an edge costs one look-up. Edges from the root block are not
// kept: they cannot lie on a cycle.
#ifndef FTD_FTCYCLE_H
#define FTD_FTCYCLE_H

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "saFaultTree.h"

class cycle_guard {
  public:
    // The block of the root and of the gates below it without an event
    // between.
    static const int ROOT = -1;

    // The block that event heads; made on first use. Throws std::bad_alloc
    // when memory is exhausted (as every operation that adds).
    int event_block(ft_element *event);
    // The block of a gate made by a "G" input: the one set_block gave it,
    // ROOT when none. Cannot fail.
    int gate_block(ft_element *gate) const;
    // Puts a gate just made by a "G" input into block (its parent's block).
    void set_block(ft_element *gate, int block);

    // Records that a gate of block names event as an input. Returns false,
    // recording nothing, when the event's block reaches block: the input
    // would close a cycle.
    bool add_input(int block, ft_element *event);
    // Forgets the inputs of gate (which belongs to block) and of every gate
    // below it down to the events: gate's children list is being replaced,
    // and the gates below it leave the tree. Cannot fail.
    void drop_inputs(int block, ft_element *gate);

  private:
    struct edge {
        int from, to;
        int count; // inputs that make this edge; 0: not in the graph
    };
    struct block {
        long long order;               // position in the topological order
        int live_in = 0, live_out = 0; // edges with a count above 0
        std::vector<int> in, out;      // edge numbers, counts 0 included
        unsigned mark = 0;             // the search that last visited it
    };
    std::vector<block> blocks;
    std::vector<edge> edges;
    std::unordered_map<uint64_t, int> edge_of;      // (from, to) -> edge number
    std::unordered_map<ft_element *, int> event_of; // event -> its block
    std::unordered_map<ft_element *, int> gate_of;  // gate -> its block, not ROOT
    long long lowest = 0, highest = 0;              // ends of the order so far
    unsigned visit = 0;

    static uint64_t key(int from, int to) { return uint64_t(uint32_t(from)) << 32 | uint32_t(to); }
    bool keep_order(int from, int to);
    bool search(int start, bool forward, long long bound, int target, std::vector<int> &found);
    void reorder(std::vector<int> &earlier, std::vector<int> &later);
};

#endif
