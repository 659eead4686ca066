// A list of items whose order insertions and removals never change for the
// items already in it, with the order of any two told in constant time. The
// gates reader keeps the tree in preorder with it: an element's inputs go
// right after it, and the order of what is there already stays.
//
// Each item's node holds a label that grows along the list. An insertion
// between two labels that lie side by side spreads the labels of the
// smallest aligned range around it that is sparse enough (density below
// 1.25^-i for a range of 2^i labels): amortised O(log n) labels move per
// insertion, whatever the order of insertions. An item appended at the end
// takes a fixed step, so a list built in order spreads no labels.
#ifndef FTD_FTORDER_H
#define FTD_FTORDER_H

#include <cstdint>
#include <memory_resource>
#include <unordered_map>

class order_list {
  public:
    // An item's place in the list. A node stays where it is in memory until
    // its item is erased.
    struct node {
        uint64_t label = 0;
        node *prev = nullptr, *next = nullptr;
        void *item = nullptr;
    };

    // A list whose nodes come from memory.
    explicit order_list(std::pmr::memory_resource *memory) : nodes(memory) {}
    bool empty() const { return nodes.empty(); }
    // The node of item; NULL when item is not in the list. Cannot fail.
    node *find(const void *item) {
        auto found = nodes.find(item);
        return found != nodes.end() ? &found->second : nullptr;
    }
    // Puts item (not in the list) right after anchor, a node of the list, or
    // first when anchor is NULL (the list must then be empty); returns its
    // node. Throws std::bad_alloc when memory is exhausted.
    node *insert_after(node *anchor, void *item);
    // Takes n's item out of the list. Cannot fail.
    void erase(node *n);
    // True when a comes before b. Cannot fail.
    static bool before(const node *a, const node *b) { return a->label < b->label; }

  private:
    static const int BITS = 62;                     // labels lie below 2^BITS
    static const uint64_t STEP = uint64_t(1) << 24; // between an appended item and the one before
    std::pmr::unordered_map<const void *, node> nodes;

    void spread(node *p, node *x);
};

#endif
