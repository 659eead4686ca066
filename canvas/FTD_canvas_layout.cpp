// Tree layout in tree units: the one walk that measures and places every
// node (see the top of FTD_canvas.h), the recorded positions, and what the
// screen and the SVG writer share: the walk in drawing order and the table
// of the kinds' symbols.
//
// Each terminal node takes a 20 by 20 cell; a gate takes the summed width of
// its inputs and is centred above them; every level lies 20 units below its
// parent. A gate without inputs takes no room.
#include <algorithm>
#include <climits>
#include <new>

#include "FTD_canvas.h"
#include "fatal.h"

// 1 when e's inputs are laid out below it: always for a laid-out root that
// has inputs, below the root only for a node that is not terminal.
static int expands(ft_element *e, int as_root) {
    return (as_root || !ft_is_terminal(e)) && ft_has_children(e);
}

// A new place of e: a terminal cell, or nothing yet (sizes are summed later).
static FTD_place new_place(ft_element *e, int parent, int as_root) {
    FTD_place p = {};
    p.e = e;
    p.parent = parent;
    if (!as_root && ft_is_terminal(e))
        p.size.w = p.size.h = 20;
    return p;
}

// Pass 1: the places in preorder, each with its parent and its end, into
// out; with out NULL the places are only counted. Returns their number.
// Throws std::bad_alloc for more places than an int counts (no array could
// hold them anyway).
static int collect_places(std::vector<FTD_place> *out, ft_element *root, int as_root) {
    struct open_node {
        int place;
        int slot;       // slot of its next input in chunk
        ft_list *chunk; // chunk of its children list holding that input
    };
    std::vector<open_node> open;
    int count = 1;
    if (out) {
        out->push_back(new_place(root, -1, as_root));
        (*out)[0].end = 1;
    }
    if (expands(root, as_root))
        open.push_back({0, 0, ft_get_children(root)});
    while (!open.empty()) {
        open_node &n = open.back();
        if (n.chunk && n.slot > n.chunk->last) {
            n.chunk = n.chunk->next;
            n.slot = 0;
            continue;
        }
        if (!n.chunk) { // every input placed
            if (out)
                (*out)[n.place].end = count;
            open.pop_back();
            continue;
        }
        ft_element *child = n.chunk->items[n.slot++];
        if (count == INT_MAX)
            throw std::bad_alloc();
        int at = count++;
        if (out) {
            out->push_back(new_place(child, n.place, 0));
            (*out)[at].end = at + 1;
        }
        if (expands(child, 0))
            open.push_back({at, 0, ft_get_children(child)});
    }
    return count;
}

// Pass 2, backwards: a place's inputs come after it, so each is complete
// when it is added to its parent (widths summed, the tallest kept).
static void sum_sizes(std::vector<FTD_place> &places) {
    for (int i = (int)places.size() - 1; i >= 0; i--) {
        FTD_place &p = places[i];
        if (p.end > i + 1)
            p.size.h += 20; // one level above its tallest input
        if (p.parent < 0)
            continue;
        FTD_size &up = places[p.parent].size;
        up.w += p.size.w;
        up.h = std::max(up.h, p.size.h);
    }
}

// Pass 3, forwards: each place's inputs get their spans side by side from
// the left edge of its own span, one level down; a node sits at the centre
// of its span.
static void place_all(std::vector<FTD_place> &places, FTD_point origin) {
    places[0].pos.x = origin.x + places[0].size.w / 2;
    places[0].pos.y = origin.y;
    for (int i = 0; i < (int)places.size(); i++) {
        FTD_place &p = places[i];
        int x = p.pos.x - p.size.w / 2;
        for (int j = i + 1; j < p.end; j = places[j].end) {
            FTD_place &c = places[j];
            c.pos.x = x + c.size.w / 2;
            c.pos.y = p.pos.y + 20;
            x += c.size.w;
        }
    }
}

// The first place that the screen draws by its type although the type is no
// kind (a laid-out root, or a node below it that is not a page gate); -1
// when there is none.
static int first_of_no_kind(const std::vector<FTD_place> &places, int as_root) {
    for (size_t i = 0; i < places.size(); i++) {
        const FTD_place &p = places[i];
        if ((i == 0 && as_root) || ft_get_page(p.e) != FT_PAGE_ON)
            if (!ft_type_known(ft_get_type(p.e)))
                return (int)i;
    }
    return -1;
}

// The places are counted first, so that the array is made once at its size:
// growing it step by step would leave the heap with every smaller copy.
void FTD_canvas::build_layout(FTD_layout &out, ft_element *e, FTD_point origin, int as_root) {
    out.as_root = as_root;
    const size_t n = (size_t)collect_places(nullptr, e, as_root);
    if (out.places.capacity() > 2 * n) // a much larger layout's array is let go
        std::vector<FTD_place>().swap(out.places);
    out.places.clear();
    out.places.reserve(n);
    collect_places(&out.places, e, as_root);
    sum_sizes(out.places);
    place_all(out.places, origin);
    out.no_kind = first_of_no_kind(out.places, as_root);
}

FTD_canvas::kind_symbol FTD_canvas::symbol_of(ft_type t, int line) {
    switch (t) {
    case FT_INVALID:
        return {nullptr, nullptr};
    case FT_BASIC:
        return {&FTD_canvas::draw_basic, &FTD_canvas::svg_basic};
    case FT_AND:
        return {&FTD_canvas::draw_and, &FTD_canvas::svg_and};
    case FT_PAND:
        return {&FTD_canvas::draw_pand, &FTD_canvas::svg_pand};
    case FT_OR:
        return {&FTD_canvas::draw_or, &FTD_canvas::svg_or};
    case FT_NULL:
        return {&FTD_canvas::draw_null, &FTD_canvas::svg_null};
    case FT_TYPE_COUNT: // the end value, no kind
        break;
    }
    fatal_assert("0", "FTD_canvas", line);
}

void FTD_canvas::record_layout(const FTD_layout &l) {
    for (const FTD_place &p : l.places)
        ft_add_coord(p.e, p.pos.x, p.pos.y);
}

void FTD_canvas::check_kinds(const FTD_layout &l, int root_line, int line) {
    if (l.no_kind >= 0)
        fatal_assert("0", "FTD_canvas", l.no_kind == 0 && l.as_root ? root_line : line);
}

FTD_layout FTD_canvas::recorded_layout(ft_element *e, FTD_point origin, int as_root, int root_line,
                                       int line) {
    FTD_layout l;
    build_layout(l, e, origin, as_root);
    if (root_line)
        check_kinds(l, root_line, line);
    record_layout(l);
    return l;
}

const FTD_layout &FTD_canvas::current_layout() {
    if (layout_root == tree && layout_generation == ft_generation() && !layout.places.empty())
        return layout;
    layout_root = nullptr; // until the new layout is built and recorded
    build_layout(layout, tree, FTD_point{10, 10}, 1);
    ft_clear_coords(tree);
    record_layout(layout);
    layout_root = tree;
    // Recording moved the counter; only changes made from now on count.
    layout_generation = ft_generation();
    return layout;
}

void FTD_canvas::walk_layout(const FTD_layout &l, layout_visitor &v) {
    const std::vector<FTD_place> &places = l.places;
    struct open_node {
        int place;
        int next; // its next input's place
    };
    std::vector<open_node> open;
    v.node(places[0], l.as_root);
    if (places[0].end > 1)
        open.push_back({0, 1});
    while (!open.empty()) {
        open_node &n = open.back();
        if (n.next == places[n.place].end) { // its inputs are done
            int done = n.place;
            open.pop_back();
            if (!open.empty())
                v.connector(places[open.back().place], places[done]);
            continue;
        }
        int c = n.next;
        n.next = places[c].end;
        if (v.wanted(places[c])) {
            v.node(places[c], 0);
            if (places[c].end > c + 1) {
                open.push_back({c, c + 1}); // its connector follows its subtree
                continue;
            }
        }
        v.connector(places[n.place], places[c]);
    }
}

FTD_size FTD_canvas::children_size(ft_element *e) {
    FTD_layout l;
    build_layout(l, e, FTD_point{0, 0}, 1);
    return l.places[0].size;
}

FTD_size FTD_canvas::subtree_size(ft_element *e) {
    FTD_layout l;
    build_layout(l, e, FTD_point{0, 0}, 0);
    return l.places[0].size;
}

FTD_point FTD_canvas::place_node(ft_element *e, FTD_point origin, int as_root) {
    FTD_size s = as_root ? children_size(e) : subtree_size(e);
    FTD_point pos = {origin.x + s.w / 2, origin.y};
    ft_add_coord(e, pos.x, pos.y);
    return pos;
}
