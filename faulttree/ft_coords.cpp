// Drawn positions: the positions blocks of the elements, the slots that
// hold their places, the hit tests over the places, and the clearing of the
// places of a whole tree.
#include "saFaultTree.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "ft_walk.h"
#include "ftslab.h"

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

int ft_clear_coords(ft_element *e) {
    int changed = 0;
    auto clear = [&changed](ft_element *x) {
        if (x->coord != nullptr && zero_slots(x->coord->coord))
            changed = 1;
        return false;
    };
    walk(nullptr, e, clear, walk_every);
    if (changed)
        ft_touch();
    return 0;
}
