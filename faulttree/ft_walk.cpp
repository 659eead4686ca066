// The walks over the tree: the walk that visits each element once and the
// searches built on it (an element at a point, an element by name, the
// parent of a child to delete), and the page gathering.
//
// The walks keep a stack of their own (deep trees cannot overflow the
// machine stack) and, but for the page list, visit an element reached along
// several paths once (see walk below).
#include "saFaultTree.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

namespace {

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

} // namespace

// Pushes the inputs of e that the walk has not visited yet, so that they pop
// in list order.
static void push_children(ft_element *e, std::vector<walk_frame> &stack) {
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
// per path.
template <class Stop, class Descend>
static walk_frame walk(ft_element *parent, ft_element *root, Stop stop, Descend descend) {
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
            push_children(f.e, stack);
    }
    return {nullptr, nullptr};
}

static bool every(ft_element *) {
    return true;
}

void ft_walk_once(ft_element *root, void (*fn)(ft_element *e, void *arg), void *arg) {
    walk(
        nullptr, root,
        [&](ft_element *e) {
            fn(e, arg);
            return false;
        },
        every);
}

ft_element *ft_find_at(ft_element *root, int x, int y) {
    auto hit = [&](ft_element *e) { return ft_hit(x, y, e) != 0; };
    auto drawn_below = [](ft_element *e) { return e->page != FT_PAGE_NONE; };
    return walk(nullptr, root, hit, drawn_below).e;
}

ft_element *ft_find_by_name(ft_element *root, const char *name) {
    auto named = [&](ft_element *e) { return strcmp(e->name, name) == 0; };
    return walk(nullptr, root, named, every).e;
}

void ft_get_pages(ft_element *root, ft_list *out) {
    assert(root != nullptr);
    std::vector<ft_element *> stack{root};
    while (!stack.empty()) {
        ft_element *e = stack.back();
        stack.pop_back();
        if (ft_get_page(e) == FT_PAGE_ON)
            ft_list_cons(e, out);
        ft_list *l = e->children;
        for (int i = l ? ft_list_get_size(l) - 1 : -1; i >= 0; --i)
            stack.push_back(ft_list_get(l, i));
    }
}

// Takes the first child of parent hit at (x, y) out of its list; it goes to
// parent's detached list.
static ft_element *take_hit_child(ft_element *parent, int x, int y) {
    ft_list *l = parent->children;
    const int n = ft_list_get_size(l);
    for (int i = 0; i < n; ++i) {
        ft_element *c = ft_list_get(l, i);
        if (!ft_hit(x, y, c))
            continue;
        ft_list_remove_at(l, i);
        if (parent->detached == nullptr)
            parent->detached = ft_list_init();
        ft_list_cons(c, parent->detached);
        return parent;
    }
    return nullptr;
}

// The first element in preorder hit at (x, y) is taken out under the parent
// it hangs from along the first path (nothing when that is the walk's root
// with parent NULL).
ft_element *ft_delete_at(ft_element *parent, ft_element *e, int x, int y) {
    auto hit = [&](ft_element *h) { return ft_hit(x, y, h) != 0; };
    const walk_frame found = walk(parent, e, hit, every);
    return found.e != nullptr && found.parent != nullptr ? take_hit_child(found.parent, x, y)
                                                         : nullptr;
}
