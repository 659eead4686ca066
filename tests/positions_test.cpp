// Drawn positions as stored: the slots of a positions block through each
// step of its growth up to the limit and back; walks that visit an element
// reached along many paths once; the canvas's clearing of its flags; the
// positions the canvas leaves in the elements.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FTD_canvas.h"
#include "saFaultTree.h"

namespace {

ft_element *named(const char *name, ft_type type, short page = FT_PAGE_OFF) {
    return ft_set_page(ft_set_type(ft_set_name(ft_init(), name), type), page);
}

ft_element *gate(const char *name, std::vector<ft_element *> kids, short page = FT_PAGE_OFF) {
    ft_element *g = ft_set_children(named(name, FT_OR, page), ft_list_init());
    for (ft_element *k : kids)
        ft_add_child(g, k);
    return g;
}

// Place i: boxes 20 units apart, so no two hit boxes overlap.
ft_coord place(int i) {
    return ft_coord{20 + 20 * i, 30 + 20 * (i % 3)};
}

std::string slots(ft_element *e) {
    std::string s;
    for (int i = -1; i <= FT_MAX_COORDS; ++i) {
        ft_coord c = e->coord->coord[i];
        if (c.x || c.y)
            s += std::to_string(i) + ":" + std::to_string(c.x) + "," + std::to_string(c.y) + " ";
    }
    return s;
}

// The slots that places first..first+n-1 (but skip) fill, in order.
std::string expected(int n, int skip = -1) {
    std::string s;
    int slot = 0;
    for (int i = 0; i < n; ++i)
        if (i != skip) {
            ft_coord c = place(i);
            s += std::to_string(slot++) + ":" + std::to_string(c.x) + "," + std::to_string(c.y) +
                 " ";
        }
    return s;
}

// An element with places 0..n-1, and three positions with x or y 0, which
// mark no drawn place and are not recorded.
ft_element *with_places(int n) {
    ft_element *e = ft_init();
    for (int i = 0; i < n; ++i)
        ft_add_coord(e, place(i).x, place(i).y);
    for (ft_coord z : {ft_coord{0, 0}, ft_coord{40, 0}, ft_coord{0, 40}})
        ft_add_coord(e, z.x, z.y);
    return e;
}

// Every number of places around each growth step and the limit: the slots
// read back in order, the storage is sized to the step, a place recorded
// again or past the limit changes nothing, removal from the first, second,
// middle and last slot closes the gap, and clearing gives the memory back.
TEST(PositionSlots, GrowthStepsLimitRemovalAndClearing) {
    EXPECT_LE(sizeof(ft_coords), 24u);
    const struct {
        int added, room;
    } rows[] = {{0, 0},    {1, 0},     {2, 4},     {4, 4},     {5, 8},     {8, 8},
                {9, 16},   {16, 16},   {17, 32},   {32, 32},   {33, 64},   {64, 64},
                {65, 128}, {128, 128}, {129, 200}, {199, 200}, {200, 200}, {201, 200}};
    for (const auto &r : rows) {
        const int kept = std::min(r.added, FT_MAX_COORDS);
        ft_element *e = with_places(r.added);
        EXPECT_EQ(slots(e), expected(kept)) << r.added;
        EXPECT_EQ(e->coord->coord.used, kept) << r.added;
        EXPECT_EQ(e->coord->coord.room, r.room) << r.added;
        const unsigned long before = ft_generation();
        for (int i = 0; i <= r.added; ++i) // again, and one more
            ft_add_coord(e, place(i).x, place(i).y);
        if (r.added < FT_MAX_COORDS) {
            EXPECT_EQ(slots(e), expected(kept + 1)) << r.added;
            ft_remove_coord(e, place(kept).x, place(kept).y);
        } else {
            EXPECT_EQ(ft_generation(), before) << r.added << ": a 201st place is dropped";
        }
        for (int i = 0; i <= kept; ++i) {
            const ft_coord got = ft_get_coord(e, place(i).x, place(i).y);
            EXPECT_EQ(got.x, i < kept ? place(i).x : 0) << r.added << " get " << i;
            EXPECT_EQ(ft_hit(place(i).x, place(i).y + 1, e), i < kept) << r.added << " hit " << i;
        }
        for (int k : {0, 1, kept / 2, kept - 1}) {
            if (k < 0 || k >= kept)
                continue;
            ft_element *d = with_places(r.added);
            EXPECT_EQ(ft_remove_coord(d, place(k).x, place(k).y), d) << r.added << " remove " << k;
            EXPECT_EQ(slots(d), expected(kept, k)) << r.added << " remove " << k;
            EXPECT_EQ(ft_remove_coord(d, place(k).x, place(k).y), nullptr);
            ft_add_coord(d, place(k).x, place(k).y); // goes to the end
            EXPECT_EQ(d->coord->coord[kept - 1].x, place(k).x) << r.added << " remove " << k;
            ft_free_element(d);
        }
        ft_clear_coords(e);
        EXPECT_EQ(slots(e), "") << r.added;
        EXPECT_EQ(e->coord->coord.room, 0) << r.added;
        EXPECT_EQ(ft_hit(place(0).x, place(0).y + 1, e), 0);
        ft_add_coord(e, place(3).x, place(3).y);
        EXPECT_EQ(slots(e),
                  "0:" + std::to_string(place(3).x) + "," + std::to_string(place(3).y) + " ");
        ft_free_element(e);
    }
}

// G0 -> G1, G1; G1 -> G2, G2; ... G<depth - 1> -> E: 2^depth paths to E.
std::vector<ft_element *> ladder(int depth) {
    std::vector<ft_element *> g(1, named("E", FT_BASIC, FT_PAGE_NONE));
    for (int i = depth - 1; i >= 0; --i) {
        ft_element *below = g.back();
        g.push_back(gate(("G" + std::to_string(i)).c_str(), {below, below}));
    }
    return std::vector<ft_element *>(g.rbegin(), g.rend()); // G0 first, E last
}

void collect(ft_element *e, void *arg) {
    static_cast<std::vector<ft_element *> *>(arg)->push_back(e);
}

// Visits in preorder of first meeting, each element once, however many
// paths lead to it; no element stays marked, also when the visitor throws.
TEST(Walks, EachElementOnceInPreorderOfFirstMeeting) {
    ft_element *s = named("S", FT_BASIC, FT_PAGE_NONE), *e1 = named("E1", FT_BASIC, FT_PAGE_NONE);
    ft_element *a = gate("A", {s, e1}), *b = gate("B", {s, a}, FT_PAGE_ON);
    ft_element *r = gate("R", {a, s, b});
    std::vector<ft_element *> seen;
    ft_walk_once(r, collect, &seen);
    EXPECT_EQ(seen, (std::vector<ft_element *>{r, a, s, e1, b}));
    struct thrown {};
    auto stop_third = [](ft_element *, void *arg) {
        if (++*static_cast<int *>(arg) == 3)
            throw thrown{};
    };
    int count = 0;
    EXPECT_THROW(ft_walk_once(r, stop_third, &count), thrown);
    for (ft_element *x : {r, a, s, e1, b})
        EXPECT_EQ(x->walk_mark, 0) << x->name;
    seen.clear();
    ft_walk_once(r, collect, &seen);
    ft_walk_once(nullptr, collect, &seen);
    EXPECT_EQ(seen.size(), 5u); // all of them again, none for NULL
    ft_free_tree(r, nullptr);

    std::vector<ft_element *> l = ladder(64);
    seen.clear();
    ft_walk_once(l[0], collect, &seen);
    EXPECT_EQ(seen, l);
    ft_add_coord(l.back(), 100, 200);
    EXPECT_EQ(ft_find_at(l[0], 100, 201), l.back());
    EXPECT_EQ(ft_find_by_name(l[0], "E"), l.back());
    EXPECT_EQ(ft_find_at(l[0], 300, 201), nullptr);
    ft_clear_coords(l[0]);
    EXPECT_EQ(ft_find_at(l[0], 100, 201), nullptr);
    ft_add_coord(l.back(), 100, 200);
    EXPECT_EQ(ft_delete_at(nullptr, l[0], 100, 201), l[l.size() - 2]);
    EXPECT_EQ(ft_list_get_size(ft_get_children(l[l.size() - 2])), 1);
    ft_free_tree(l[0], nullptr);
}

// The canvas clears a flag on every element under the displayed root once,
// below page gates too, and leaves elements outside it alone; a root with
// 2^64 paths to its last element is cleared as quickly as any.
TEST(CanvasFlags, ClearingVisitsEachElementOnce) {
    FTD_canvas canvas(0, 0, 300, 200);
    ft_element *hidden = named("H", FT_BASIC, FT_PAGE_NONE), *s = named("S", FT_BASIC);
    ft_element *page = gate("P", {hidden, s}, FT_PAGE_ON), *outside = named("O", FT_BASIC);
    ft_element *root = gate("R", {s, gate("G", {s, page}), page});
    std::vector<ft_element *> l = ladder(64);
    const struct {
        void (FTD_canvas::*clear)();
        int ft_coords::*flag;
    } rows[] = {{&FTD_canvas::clear_selection, &ft_coords::selected},
                {&FTD_canvas::clear_highlight, &ft_coords::highlighted}};
    for (const auto &row : rows) {
        canvas.tree = root;
        for (ft_element *x : {root, hidden, s, page, outside, l[0], l.back()})
            x->coord->*row.flag = 1;
        (canvas.*row.clear)();
        for (ft_element *x : {root, hidden, s, page})
            EXPECT_EQ(x->coord->*row.flag, 0) << x->name;
        EXPECT_EQ(outside->coord->*row.flag, 1);
        canvas.tree = l[0];
        (canvas.*row.clear)();
        EXPECT_EQ(l[0]->coord->*row.flag, 0);
        EXPECT_EQ(l.back()->coord->*row.flag, 0);
        outside->coord->*row.flag = 0;
    }
    canvas.tree = nullptr;
    ft_free_tree(root, nullptr);
    ft_free_tree(l[0], nullptr);
    ft_free_element(outside);
}

// Element -> its places, for every element reachable from root.
using places_map = std::map<ft_element *, std::set<std::pair<int, int>>>;

void add_recorded(ft_element *e, void *arg) {
    auto &m = (*static_cast<places_map *>(arg))[e];
    for (int i = 0; i < e->coord->coord.used; ++i)
        m.insert({e->coord->coord[i].x, e->coord->coord[i].y});
}

void add_none(ft_element *e, void *arg) {
    (*static_cast<places_map *>(arg))[e];
}

places_map recorded(ft_element *root) {
    places_map m;
    ft_walk_once(root, add_recorded, &m);
    return m;
}

places_map laid_out(ft_element *root) {
    places_map m;
    ft_walk_once(root, add_none, &m);
    FTD_layout l;
    FTD_canvas::build_layout(l, root, FTD_point{10, 10}, 1);
    for (const FTD_place &p : l.places)
        m[p.e].insert({p.pos.x, p.pos.y});
    return m;
}

// Whatever the canvas does first after a change (fit a new root, export,
// delete), the elements under the displayed root then hold exactly the
// places of its layout: none left from an earlier layout, none below a page
// gate.
TEST(CanvasPositions, ElementsHoldTheShownLayout) {
    FTD_canvas canvas(0, 0, 300, 200);
    ft_element *s = named("S", FT_BASIC, FT_PAGE_NONE), *x = named("X", FT_BASIC, FT_PAGE_NONE);
    ft_element *g = gate("G", {s, x}), *p = gate("P", {s});
    ft_element *root = gate("R", {s, g, p});
    FILE *out = tmpfile();
    ASSERT_NE(out, nullptr);
    const struct {
        const char *what;
        std::function<void()> act;
    } rows[] = {
        {"fit", [&] { canvas.set_tree(root); }},
        {"input added, export", [&] { ft_add_child(g, s), canvas.write_svg(out); }},
        {"page gate, export", [&] { ft_set_page(g, FT_PAGE_ON), canvas.write_svg(out); }},
        {"page shown", [&] { canvas.set_tree(g); }},
        {"root again", [&] { canvas.set_tree(root); }},
        {"places cleared, delete", [&] { ft_clear_coords(root), canvas.delete_at(-50, -50); }},
        {"input deleted, export", [&] { canvas.delete_at(60, 31), canvas.write_svg(out); }},
        {"fit again", [&] { canvas.set_tree(root); }},
    };
    for (const auto &r : rows) {
        r.act();
        EXPECT_TRUE(recorded(canvas.tree) == laid_out(canvas.tree)) << r.what;
    }
    EXPECT_EQ(ft_list_get_size(ft_get_children(root)), 2); // P was taken out
    fclose(out);
    canvas.set_tree(nullptr);
    ft_free_tree(root, nullptr);
}

// A laid-out root, the top one or a page gate shown from the page list, is
// counted with its inputs: its layout's array holds exactly its places,
// built anew (and not let go) at a re-layout.
TEST(CanvasLayout, RootLaysOutIntoAnArrayOfExactlyItsPlaces) {
    ft_element *e = named("E", FT_BASIC, FT_PAGE_NONE), *x = named("X", FT_BASIC, FT_PAGE_NONE);
    ft_element *p = gate("P", {e, gate("G", {e, x}), gate("Q", {e}, FT_PAGE_ON)}, FT_PAGE_ON);
    ft_element *top = gate("T", {p, x});
    const struct {
        ft_element *root;
        size_t places;
    } rows[] = {{top, 3}, {p, 6}};
    for (const auto &r : rows) {
        FTD_layout l;
        for (int build = 1; build <= 2; build++) {
            FTD_canvas::build_layout(l, r.root, FTD_point{10, 10}, 1);
            EXPECT_EQ(l.places.size(), r.places) << ft_get_name(r.root) << " build " << build;
            EXPECT_EQ(l.places.capacity(), r.places) << ft_get_name(r.root) << " build " << build;
        }
    }
    ft_free_tree(top, nullptr);
}

} // namespace
