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
