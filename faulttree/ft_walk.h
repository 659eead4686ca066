// The walk that the model's walks share (ft_walk.cpp, the clearing of places
// in ft_coords.cpp, the gates reader's metered search): a preorder walk with
// a stack of its own that visits each element once. For the files of
// faulttree/ only; callers outside it use the walks declared in
// saFaultTree.h.
#ifndef FTD_FT_WALK_H
#define FTD_FT_WALK_H

#include <algorithm>
#include <vector>

#include "saFaultTree.h"

// The marks of one walk: every element it visited, unmarked again when the
// walk ends, however it ends.
struct walk_marks {
    std::vector<ft_element *> visited;
    walk_marks() = default;
    walk_marks(const walk_marks &) = delete;
    walk_marks &operator=(const walk_marks &) = delete;
    ~walk_marks() {
        for (ft_element *e : visited)
            e->walk_mark = 0;
    }
    // Marks e; false when this walk visited it already.
    bool first_visit(ft_element *e) {
        if (e->walk_mark)
            return false;
        visited.push_back(e); // may throw: e then stays unmarked
        e->walk_mark = 1;
        return true;
    }
};

// An element the walk has still to visit, and the element among whose
// inputs it was met (for the walk's root: the parent the walk was given).
struct walk_frame {
    ft_element *parent;
    ft_element *e;
};

// Pushes the inputs of e that the walk has not visited yet, so that they pop
// in list order.
inline void walk_push_children(ft_element *e, std::vector<walk_frame> &stack) {
    const size_t from = stack.size();
    for (ft_list *c = e->children; c != nullptr; c = c->next)
        for (int i = 0; i <= c->last; ++i)
            if (!c->items[i]->walk_mark)
                stack.push_back({e, c->items[i]});
    std::reverse(stack.begin() + long(from), stack.end());
}

// Preorder walk from root (whose parent is taken to be parent) visiting each
// element once: stop(e) true ends the walk at e; descend(e) says whether e's
// inputs are walked. Returns the frame the walk stopped at, or one whose e
// is NULL when no element stops it. An element met again along another path
// is skipped: it and everything it leads to were visited already, so a
// search finds what a walk along every path finds (the parent too: the one
// along the first path in preorder), without walking a shared subtree once
// per path. Throws std::bad_alloc when its stack cannot grow; no element is
// left marked.
template <class Stop, class Descend>
walk_frame walk(ft_element *parent, ft_element *root, Stop stop, Descend descend) {
    walk_marks marks;
    std::vector<walk_frame> stack;
    if (root != nullptr)
        stack.push_back({parent, root});
    while (!stack.empty()) {
        const walk_frame f = stack.back();
        stack.pop_back();
        if (!marks.first_visit(f.e))
            continue;
        if (stop(f.e))
            return f;
        if (descend(f.e))
            walk_push_children(f.e, stack);
    }
    return {nullptr, nullptr};
}

// A descend of walk: every element's inputs are walked.
inline bool walk_every(ft_element *) {
    return true;
}

#endif
