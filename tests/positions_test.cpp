// Drawn positions as stored: the slots of a positions block through each
// step of its growth up to the limit and back.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "saFaultTree.h"

namespace {

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
    EXPECT_LE(sizeof(ft_coords), 32u);
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

} // namespace
