// Drawn positions of elements, hit tests and the searches over the tree.
//
// The searches walk the tree with an explicit stack (deep trees cannot
// overflow the machine stack). Searches that stop at the first match also
// skip a gate met again along another path: its whole subtree was already
// searched without a match, so the result is the same as a plain preorder
// walk, without the cost of walking a shared subtree once per path.
#include "saFaultTree.h"

#include <cassert>
#include <cstring>
#include <unordered_set>
#include <utility>
#include <vector>

// Number of used slots: those before the first slot with x or y 0.
static int used_coords(const ft_coords *b) {
    int n = 0;
    while (n < FT_MAX_COORDS && b->coord[n].x != 0 && b->coord[n].y != 0) ++n;
    return n;
}

static int find_coord(const ft_coords *b, int x, int y) {
    const int n = used_coords(b);
    for (int i = 0; i < n; ++i)
        if (b->coord[i].x == x && b->coord[i].y == y) return i;
    return -1;
}

ft_element *ft_add_coord(ft_element *e, int x, int y) {
    assert(e != NULL && e->coord != NULL);
    const int n = used_coords(e->coord);
    for (int i = 0; i < n; ++i)
        if (e->coord->coord[i].x == x && e->coord->coord[i].y == y) return e;
    if (n < FT_MAX_COORDS) e->coord->coord[n] = ft_coord{x, y}; // a 201st place is dropped
    return e;
}

ft_coord ft_get_coord(ft_element *e, int x, int y) {
    assert(e != NULL && e->coord != NULL);
    return find_coord(e->coord, x, y) >= 0 ? ft_coord{x, y} : ft_coord{0, 0};
}

ft_element *ft_remove_coord(ft_element *e, int x, int y) {
    assert(e != NULL && e->coord != NULL);
    const int i = find_coord(e->coord, x, y);
    if (i < 0) return NULL;
    ft_coord *c = e->coord->coord;
    memmove(c + i, c + i + 1, sizeof(ft_coord) * size_t(FT_MAX_COORDS - 1 - i));
    c[FT_MAX_COORDS - 1] = ft_coord{0, 0};
    return e;
}

int ft_coord_hit(int x, int y, ft_coord c) {
    const double dx = double(x) - double(c.x);
    const double dy = double(y) - double(c.y);
    return dx > -7.5 && dx < 7.5 && dy > 0.0 && dy < 15.0;
}

int ft_hit(int x, int y, ft_element *e) {
    assert(e != NULL && e->coord != NULL);
    for (int i = 0; i < FT_MAX_COORDS; ++i)
        if (ft_coord_hit(x, y, e->coord->coord[i])) return 1;
    return 0;
}

// Pushes the children of e in reverse, so that they pop in list order.
static void push_children(ft_element *e, std::vector<ft_element *> &stack) {
    ft_list *l = e->children;
    if (l == NULL) return;
    for (int i = ft_list_get_size(l) - 1; i >= 0; --i) stack.push_back(ft_list_get(l, i));
}

// Preorder search for the first element that matches; descend(e) decides
// whether e's children are searched. Gates met twice are skipped (see top).
template <class Match, class Descend>
static ft_element *first_in_preorder(ft_element *root, Match match, Descend descend) {
    std::vector<ft_element *> stack;
    std::unordered_set<ft_element *> searched;
    if (root != NULL) stack.push_back(root);
    while (!stack.empty()) {
        ft_element *e = stack.back();
        stack.pop_back();
        if (match(e)) return e;
        if (!ft_has_children(e) || !descend(e)) continue;
        if (!searched.insert(e).second) continue;
        push_children(e, stack);
    }
    return NULL;
}

int ft_clear_coords(ft_element *e) {
    std::vector<ft_element *> stack;
    std::unordered_set<ft_element *> cleared;
    if (e != NULL) stack.push_back(e);
    while (!stack.empty()) {
        ft_element *x = stack.back();
        stack.pop_back();
        if (x->coord != NULL) memset(x->coord->coord, 0, sizeof x->coord->coord);
        if (ft_has_children(x) && cleared.insert(x).second) push_children(x, stack);
    }
    return 0;
}

ft_element *ft_find_at(ft_element *root, int x, int y) {
    return first_in_preorder(
        root, [&](ft_element *e) { return ft_hit(x, y, e) != 0; },
        [](ft_element *e) { return e->page != FT_PAGE_NONE; });
}

ft_element *ft_find_by_name(ft_element *root, const char *name) {
    return first_in_preorder(
        root, [&](ft_element *e) { return strcmp(e->name, name) == 0; },
        [](ft_element *) { return true; });
}

void ft_get_pages(ft_element *root, ft_list *out) {
    assert(root != NULL);
    std::vector<ft_element *> stack{root};
    while (!stack.empty()) {
        ft_element *e = stack.back();
        stack.pop_back();
        if (ft_get_page(e) == FT_PAGE_ON) ft_list_cons(e, out);
        push_children(e, stack);
    }
}

// Takes the first child of parent hit at (x, y) out of its list; it goes to
// parent's detached list.
static ft_element *take_hit_child(ft_element *parent, int x, int y) {
    ft_list *l = parent->children;
    const int n = ft_list_get_size(l);
    for (int i = 0; i < n; ++i) {
        ft_element *c = ft_list_get(l, i);
        if (!ft_hit(x, y, c)) continue;
        ft_list_remove_at(l, i);
        if (parent->detached == NULL) parent->detached = ft_list_init();
        ft_list_cons(c, parent->detached);
        return parent;
    }
    return NULL;
}

ft_element *ft_delete_at(ft_element *parent, ft_element *e, int x, int y) {
    std::vector<std::pair<ft_element *, ft_element *>> stack; // (parent, element)
    std::unordered_set<ft_element *> searched;
    if (e != NULL) stack.emplace_back(parent, e);
    while (!stack.empty()) {
        auto [p, x_e] = stack.back();
        stack.pop_back();
        if (ft_hit(x, y, x_e)) {
            if (p == NULL) return NULL;
            return take_hit_child(p, x, y);
        }
        if (!ft_has_children(x_e) || !searched.insert(x_e).second) continue;
        ft_list *l = x_e->children;
        for (int i = ft_list_get_size(l) - 1; i >= 0; --i) stack.emplace_back(x_e, ft_list_get(l, i));
    }
    return NULL;
}
