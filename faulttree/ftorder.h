// A list of elements whose order insertions and removals never change for
// the elements already in it, with the order of any two told in constant
// time. The gates reader keeps the gates below the root in preorder with
// it: a gate's new inputs go right after the gate, and the order of the
// gates already there stays.
//
// Each element holds a label that grows along the list. An insertion
// between two labels that lie side by side spreads the labels of the
// smallest aligned range around it that is sparse enough (density below
// 1.25^-i for a range of 2^i labels): amortised O(log n) labels move per
// insertion, whatever the order of insertions.
#ifndef FTD_FTORDER_H
#define FTD_FTORDER_H

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "saFaultTree.h"

class order_list {
  public:
    bool empty() const { return nodes.empty(); }
    // Makes the list items, in this order; the list must be empty. Throws
    // std::bad_alloc when memory is exhausted (as insert_after).
    void assign(const std::vector<const ft_element *> &items);
    // Puts item (not in the list) right after anchor (in the list).
    void insert_after(const ft_element *anchor, const ft_element *item);
    // Takes item (in the list) out. Cannot fail.
    void erase(const ft_element *item);
    // True when a comes before b; both are in the list. Cannot fail.
    bool before(const ft_element *a, const ft_element *b) const {
        return nodes.at(a).label < nodes.at(b).label;
    }

  private:
    struct node {
        uint64_t label = 0;
        node *prev = nullptr, *next = nullptr;
    };
    static const int BITS = 62; // labels lie below 2^BITS
    std::unordered_map<const ft_element *, node> nodes;

    void spread(node *p, node *x);
};

#endif
