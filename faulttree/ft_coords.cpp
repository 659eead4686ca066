// Drawn positions of elements, hit tests and the walks over the tree.
//
// The walks keep a stack of their own (deep trees cannot overflow the
// machine stack) and, but for the page list, visit an element reached along
// several paths once (see walk below).
#include "saFaultTree.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "ftslab.h"

/* ---- Change counter ---- */

static unsigned long generation = 1;

unsigned long ft_generation(void) {
    return generation;
}
void ft_touch(void) {
    ++generation;
}

/* ---- Positions blocks ----
   A block stays all zero until its element is drawn, so blocks come from a
   pool of zero-filled blocks (ftslab.h): making an element neither touches
   nor zeroes its block, and a released block is cleared field by field
   before it goes back, so that pages nobody wrote stay untouched. */

static ft_pool pool = FT_POOL(sizeof(ft_coords));

ft_coords *ft_coords_alloc(void) {
    return static_cast<ft_coords *>(ft_pool_alloc(&pool));
}

/* ---- Slots ---- */

// The steps in which a block's array grows (see ft_coord_slots).
static int next_room(int room) {
    return room < 4 ? 4 : std::min(2 * room, FT_MAX_COORDS);
}

// Where the slots of s are stored.
static ft_coord *slots_of(ft_coord_slots &s) {
    return s.room ? s.many : &s.one;
}

// Forgets every place of s and releases its array. Writes nothing to a block
// without places or array, so a never drawn block keeps its untouched
// pages. Returns 1 when a place was forgotten.
static int zero_slots(ft_coord_slots &s) {
    const int had = s.used;
    if (s.room)
        free(s.many);
    if (s.room != 0 || s.used != 0) {
        s.one = ft_coord{0, 0};
        s.used = 0;
        s.room = 0;
    }
    return had > 0;
}

// Makes room for one more place; 0 on success, -1 when memory is exhausted
// (nothing changes then).
static int grow(ft_coord_slots &s) {
    const int room = next_room(s.room);
    ft_coord *a = static_cast<ft_coord *>(malloc(sizeof(ft_coord) * size_t(room)));
    if (a == nullptr)
        return -1;
    memcpy(a, slots_of(s), sizeof(ft_coord) * s.used);
    if (s.room)
        free(s.many);
    s.many = a;
    s.room = (unsigned char)room;
    return 0;
}

void ft_coords_release(ft_coords *b) {
    if (b == nullptr)
        return;
    // Each field is written only when it is not zero already: the block of
    // an element that was never drawn lies in pages nobody has written, and
    // releasing a large tree must not make the system back them with fresh
    // pages just to store zeros again.
    zero_slots(b->coord);
    if (b->selected != 0)
        b->selected = 0;
    if (b->highlighted != 0)
        b->highlighted = 0;
    ft_pool_release(&pool, b);
}

// Slot of (x, y) among the places of s, or -1.
static int find_coord(ft_coord_slots &s, int x, int y) {
    const ft_coord *c = slots_of(s);
    for (int i = 0; i < s.used; ++i)
        if (c[i].x == x && c[i].y == y)
            return i;
    return -1;
}

ft_element *ft_add_coord(ft_element *e, int x, int y) {
    assert(e != nullptr && e->coord != nullptr);
    ft_coord_slots &s = e->coord->coord;
    if (x == 0 || y == 0 || s.used >= FT_MAX_COORDS || find_coord(s, x, y) >= 0)
        return e;
    if (s.used >= (s.room ? s.room : 1) && grow(s) != 0)
        return e;
    slots_of(s)[s.used++] = ft_coord{x, y};
    ft_touch();
    return e;
}

ft_coord ft_get_coord(ft_element *e, int x, int y) {
    assert(e != nullptr && e->coord != nullptr);
    return find_coord(e->coord->coord, x, y) >= 0 ? ft_coord{x, y} : ft_coord{0, 0};
}

ft_element *ft_remove_coord(ft_element *e, int x, int y) {
    assert(e != nullptr && e->coord != nullptr);
    ft_coord_slots &s = e->coord->coord;
    const int i = find_coord(s, x, y);
    if (i < 0)
        return nullptr;
    ft_coord *c = slots_of(s);
    memmove(c + i, c + i + 1, sizeof(ft_coord) * size_t(s.used - 1 - i));
    c[--s.used] = ft_coord{0, 0};
    ft_touch();
    return e;
}

int ft_coord_hit(int x, int y, ft_coord c) {
    const double dx = double(x) - double(c.x);
    const double dy = double(y) - double(c.y);
    return dx > -7.5 && dx < 7.5 && dy > 0.0 && dy < 15.0;
}

// Only the used slots count: a free slot marks no drawn place, so a point
// where nothing is drawn (such as the corner left of and above the origin)
// hits nothing.
int ft_hit(int x, int y, ft_element *e) {
    assert(e != nullptr && e->coord != nullptr);
    ft_coord_slots &s = e->coord->coord;
    const ft_coord *c = slots_of(s);
    for (int n = 0; n < s.used; ++n)
        if (ft_coord_hit(x, y, c[n]))
            return 1;
    return 0;
}

/* ---- Walks ---- */

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

} // namespace

// Pushes the inputs of e that the walk has not visited yet, so that they pop
// in list order.
static void push_children(ft_element *e, std::vector<ft_element *> &stack) {
    const size_t from = stack.size();
    for (ft_list *c = e->children; c != nullptr; c = c->next)
        for (int i = 0; i <= c->last; ++i)
            if (!c->items[i]->walk_mark)
                stack.push_back(c->items[i]);
    std::reverse(stack.begin() + long(from), stack.end());
}

// Preorder walk from root visiting each element once: stop(e) true ends the
// walk at e (the result; NULL when no element stops it); descend(e) says
// whether e's inputs are walked. An element met again along another path is
// skipped: it and everything it leads to were visited already, so a search
// finds what a walk along every path finds, without walking a shared subtree
// once per path.
template <class Stop, class Descend>
static ft_element *walk(ft_element *root, Stop stop, Descend descend) {
    walk_marks marks;
    std::vector<ft_element *> stack;
    if (root != nullptr)
        stack.push_back(root);
    while (!stack.empty()) {
        ft_element *e = stack.back();
        stack.pop_back();
        if (!marks.first_visit(e))
            continue;
        if (stop(e))
            return e;
        if (descend(e))
            push_children(e, stack);
    }
    return nullptr;
}

static bool every(ft_element *) {
    return true;
}

void ft_walk_once(ft_element *root, void (*fn)(ft_element *e, void *arg), void *arg) {
    walk(
        root,
        [&](ft_element *e) {
            fn(e, arg);
            return false;
        },
        every);
}

int ft_clear_coords(ft_element *e) {
    int changed = 0;
    walk(
        e,
        [&](ft_element *x) {
            if (x->coord != nullptr && zero_slots(x->coord->coord))
                changed = 1;
            return false;
        },
        every);
    if (changed)
        ft_touch();
    return 0;
}

ft_element *ft_find_at(ft_element *root, int x, int y) {
    return walk(
        root, [&](ft_element *e) { return ft_hit(x, y, e) != 0; },
        [](ft_element *e) { return e->page != FT_PAGE_NONE; });
}

ft_element *ft_find_by_name(ft_element *root, const char *name) {
    return walk(
        root, [&](ft_element *e) { return strcmp(e->name, name) == 0; }, every);
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

// The parent under which the first element in preorder hit at (x, y) hangs
// (NULL for the first element itself), as a walk along every path finds it.
// *found is set when an element is hit.
static ft_element *hit_parent(ft_element *parent, ft_element *e, int x, int y, bool *found) {
    walk_marks marks;
    std::vector<std::pair<ft_element *, ft_element *>> stack; // (parent, element)
    *found = false;
    if (e != nullptr)
        stack.emplace_back(parent, e);
    while (!stack.empty()) {
        auto [p, x_e] = stack.back();
        stack.pop_back();
        if (!marks.first_visit(x_e))
            continue;
        if (ft_hit(x, y, x_e)) {
            *found = true;
            return p;
        }
        const size_t from = stack.size();
        for (ft_list *c = x_e->children; c != nullptr; c = c->next)
            for (int i = 0; i <= c->last; ++i)
                if (!c->items[i]->walk_mark)
                    stack.emplace_back(x_e, c->items[i]);
        std::reverse(stack.begin() + long(from), stack.end());
    }
    return nullptr;
}

ft_element *ft_delete_at(ft_element *parent, ft_element *e, int x, int y) {
    bool found = false;
    ft_element *p = hit_parent(parent, e, x, y, &found);
    return found && p != nullptr ? take_hit_child(p, x, y) : nullptr;
}
