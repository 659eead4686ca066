// A list of items in an order that insertions, removals and moves of whole
// runs never change for the other items, with marks on some items. The
// gates reader keeps the tree in preorder with it: an element's inputs go
// right after it, and an event's part of the tree moves as one run.
//
// The list is a treap (a binary search tree in list order whose nodes also
// form a heap by a random priority): its depth is O(log n) whatever the
// order of operations, as the priorities come from a generator seeded at
// random when the list is made, which no input can know. Insertion, removal
// and the order of two items cost O(log n); a run is cut out and put back
// elsewhere in O(log n), and the marked items in a run are found in
// O(log n) each. Not thread-safe.
#ifndef FTD_FTORDER_H
#define FTD_FTORDER_H

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <vector>

#include "ftslab.h"

// Memory for the nodes of an order list and of the containers beside it,
// small blocks made and freed often in any order: an arena of the model's
// memory (ft_arena, ftslab.h), given back whole when this goes. No block
// asks for an alignment above the arena's 16.
class node_memory : public std::pmr::memory_resource {
  public:
    node_memory() = default;
    node_memory(const node_memory &) = delete;
    node_memory &operator=(const node_memory &) = delete;
    ~node_memory() override { ft_arena_delete(arena); }

  private:
    ft_arena *arena = nullptr; // made at the first block: making a node_memory cannot fail

    void *do_allocate(size_t bytes, size_t) override {
        if (arena == nullptr)
            arena = ft_arena_new();
        return ft_arena_alloc(arena, bytes);
    }
    void do_deallocate(void *p, size_t bytes, size_t) override { ft_arena_free(arena, p, bytes); }
    bool do_is_equal(const std::pmr::memory_resource &o) const noexcept override {
        return this == &o;
    }
};

class order_list {
  public:
    // An item's place in the list. A node stays where it is in memory until
    // its item is erased; tag is the caller's.
    struct node {
        node *parent, *left, *right;
        void *item;
        uint32_t priority;
        uint32_t marked; // marked items in the subtree of this node
        uint32_t seen;   // the last comparison that went up through this node
        bool mark;
        unsigned char tag;
    };

    // A list whose nodes come from memory and go with it: the list frees no
    // node of its own when it goes. Cannot fail.
    explicit order_list(node_memory *memory);
    bool empty() const { return root == nullptr; }
    // The node after n; NULL after the last. Cannot fail.
    node *next(const node *n) const;
    // The last node; NULL for an empty list. Cannot fail.
    node *back() const;
    // Puts item (not in the list) right after anchor, a node of the list, or
    // first when anchor is NULL (the list must then be empty); returns its
    // node, unmarked. Throws std::bad_alloc when memory is exhausted.
    node *insert_after(node *anchor, void *item, unsigned char tag);
    // Takes n's item out of the list. Cannot fail.
    void erase(node *n);
    // True when a comes before b. Cannot fail.
    bool before(const node *a, const node *b) const;
    // Marks n or takes its mark away. Cannot fail.
    void set_mark(node *n, bool mark);
    // Appends to out the marked nodes from first to last (first not after
    // last), in order. Throws std::bad_alloc when out cannot grow.
    void marked_in(node *first, node *last, std::vector<node *> &out);
    // Moves the run from first to last (first not after last) right after
    // anchor, a node outside the run. Cannot fail.
    void move_after(node *first, node *last, node *anchor);

  private:
    node_memory *memory;
    node *root = nullptr;
    uint64_t random;             // the priorities' generator
    mutable uint32_t seeing = 0; // the comparisons made (node::seen)

    void rotate_up(node *x);
    void relink(node *parent, node *old, node *with);
    void split_before(node *x, node **left, node **right);
    void split_after(node *x, node **left, node **right);
    static node *merge(node *a, node *b);
};

#endif
