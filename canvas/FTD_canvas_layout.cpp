// Tree layout in tree units: subtree sizes and node placement.
//
// Each terminal node takes a 20 by 20 cell; a gate takes the summed width of
// its inputs and is centred above them; every level lies 20 units below its
// parent. The sizes of one walk are kept in size_cache, so each subtree is
// measured once per walk however deep it lies.
#include "FTD_canvas.h"

// Size of e's inputs side by side: summed widths, tallest height plus one
// level; 0 by 0 when e has no inputs.
FTD_size FTD_canvas::children_size(ft_element *e) {
    FTD_size s;
    if (!ft_has_children(e))
        return s;
    int tallest = 0;
    for (ft_list *chunk = ft_get_children(e); chunk; chunk = chunk->next) {
        for (int i = 0; i <= chunk->last; i++) {
            FTD_size c = subtree_size(chunk->items[i]);
            s.w += c.w;
            if (c.h > tallest)
                tallest = c.h;
        }
    }
    s.h = tallest + 20;
    return s;
}

// Size of the subtree e occupies below the root: a terminal is one cell, a
// gate measures its inputs, a gate without inputs takes no room.
FTD_size FTD_canvas::subtree_size(ft_element *e) {
    auto found = size_cache.find(e);
    if (found != size_cache.end())
        return found->second;
    FTD_size s;
    if (ft_is_terminal(e)) {
        s.w = 20;
        s.h = 20;
    } else {
        s = children_size(e);
    }
    size_cache[e] = s;
    return s;
}

// The node sits at the horizontal centre of its span, at the span's top.
FTD_point FTD_canvas::place_node(ft_element *e, FTD_point origin, int as_root) {
    FTD_size s = as_root ? children_size(e) : subtree_size(e);
    FTD_point pos;
    pos.x = origin.x + s.w / 2;
    pos.y = origin.y;
    ft_add_coord(e, pos.x, pos.y);
    return pos;
}

void FTD_canvas::reset_layout() { size_cache.clear(); }

/* The screen walk's own measuring: one pass in walk order into a flat array,
   so that a redraw costs no look-ups. The sizes equal subtree_size (below the
   root) and children_size (the root). */

void FTD_canvas::measure_walk(ft_element *root) {
    walk.clear();
    walk_next = 0;
    walk_root = NULL;
    measure_placement(root, 1);
}

FTD_size FTD_canvas::measure_placement(ft_element *e, int as_root) {
    size_t slot = walk.size();
    walk.push_back(walk_place());
    FTD_size s;
    if (!as_root && ft_is_terminal(e)) {
        s.w = 20;
        s.h = 20;
    } else if (ft_has_children(e)) {
        int tallest = 0;
        for (ft_list *chunk = ft_get_children(e); chunk; chunk = chunk->next) {
            for (int i = 0; i <= chunk->last; i++) {
                FTD_size c = measure_placement(chunk->items[i], 0);
                s.w += c.w;
                tallest = c.h > tallest ? c.h : tallest;
            }
        }
        s.h = tallest + 20;
    }
    walk_place &p = walk[slot];
    p.e = e;
    p.size = s;
    p.end = walk.size();
    return s;
}

FTD_point FTD_canvas::place_next(ft_element *e, FTD_point origin, int as_root) {
    if (walk_next >= walk.size())
        return place_node(e, origin, as_root);
    walk_place &p = walk[walk_next++];
    p.origin = origin;
    p.pos.x = origin.x + p.size.w / 2;
    p.pos.y = origin.y;
    ft_add_coord(e, p.pos.x, p.pos.y);
    return p.pos;
}
