// The walks over the tree: the walk that visits each element once and the
// searches built on it (an element at a point, an element by name, the
// parent of a child to delete), and the page gathering.
//
// The walks keep a stack of their own (deep trees cannot overflow the
// machine stack) and, but for the page list, visit an element reached along
// several paths once (see walk in ft_walk.h).
#include "ft_walk.h"

#include <cassert>
#include <cstring>
#include <vector>

#include "saFaultTree.h"

void ft_walk_once(ft_element *root, void (*fn)(ft_element *e, void *arg), void *arg) {
    auto visit = [&](ft_element *e) {
        fn(e, arg);
        return false;
    };
    walk(nullptr, root, visit, walk_every);
}

ft_element *ft_find_at(ft_element *root, int x, int y) {
    auto hit = [&](ft_element *e) { return ft_hit(x, y, e) != 0; };
    auto drawn_below = [](ft_element *e) { return e->page != FT_PAGE_NONE; };
    return walk(nullptr, root, hit, drawn_below).e;
}

ft_element *ft_find_by_name(ft_element *root, const char *name) {
    auto named = [&](ft_element *e) { return strcmp(e->name, name) == 0; };
    return walk(nullptr, root, named, walk_every).e;
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
    const walk_frame found = walk(parent, e, hit, walk_every);
    return found.e != nullptr && found.parent != nullptr ? take_hit_child(found.parent, x, y)
                                                         : nullptr;
}
