// Redraws that reuse the last layout, the model's change counter, the hit
// test over used slots and zeroed positions blocks.
#include "app_fixture.h"

#include <cstring>

static ft_element *pnode(const char *name, ft_type t, std::vector<ft_element *> kids = {}) {
    return ft_set_prob(node(name, t, kids, FT_PAGE_OFF), "1.5E-3");
}

struct DrawReuseTest : CanvasWindowTest<400, 300, 400, 300> {
    // Pixels of one draw clipped to (cx, cy, cw, ch); full forces a new walk.
    std::vector<unsigned char> render(bool full, int cx = 0, int cy = 0, int cw = 400,
                                      int ch = 300) {
        if (full)
            ft_touch();
        return render_rgb(win, canvas, 400, 300, cx, cy, cw, ch);
    }
};

// A kept walk draws what a full walk draws (clipped, with a frame), and any
// change made through the model lays the tree out again.
TEST_F(DrawReuseTest, KeptWalkMatchesFullWalkAndFollowsEdits) {
    ft_element *b = pnode("B", FT_BASIC), *g = pnode("G", FT_OR, {b, pnode("C", FT_BASIC)});
    root = pnode("R", FT_AND, {pnode("A", FT_BASIC), g});
    canvas->set_tree(root);
    canvas->zoom = 5;
    for (int round = 0; round < 3; ++round) {
        std::vector<unsigned char> full = render(true);
        EXPECT_TRUE(full == render(false)) << round;
        full = render(true, 120, 150, 90, 60);
        EXPECT_TRUE(full == render(false, 120, 150, 90, 60)) << round;
        if (round == 0) {
            ASSERT_EQ(canvas->select_at(5 * 40, 5 * 52, 0, 0), b); // B at (40, 50)
        } else if (round == 1) {
            ft_add_child(g, pnode("D", FT_BASIC)); // G widens and moves right
            render(false);
            EXPECT_EQ(ft_get_coord(g, 50, 30).x, 0);
            EXPECT_EQ(ft_get_coord(g, 60, 30).x, 60);
        }
    }
    ft_set_page(g, FT_PAGE_ON); // G becomes a transfer: its inputs are not placed
    render(false);
    EXPECT_EQ(b->coord->coord[0].x, 0);
    EXPECT_EQ(ft_find_at(root, 40, 32), g);
}

TEST(ModelGeneration, MovesOnlyOnChange) {
    ft_element *e = pnode("E", FT_BASIC), *g = pnode("G", FT_AND, {e}), *x = pnode("X", FT_BASIC);
    ft_add_coord(e, 10, 20);
    struct {
        const char *what;
        std::function<void()> op;
        bool moves;
    } cases[] = {{"same place", [&] { ft_add_coord(e, 10, 20); }, false},
                 {"new place", [&] { ft_add_coord(e, 30, 20); }, true},
                 {"absent place", [&] { ft_remove_coord(e, 99, 99); }, false},
                 {"remove place", [&] { ft_remove_coord(e, 30, 20); }, true},
                 {"clear", [&] { ft_clear_coords(g); }, true},
                 {"clear again", [&] { ft_clear_coords(g); }, false},
                 {"same type", [&] { ft_set_type(e, FT_BASIC); }, false},
                 {"type", [&] { ft_set_type(g, FT_OR); }, true},
                 {"page", [&] { ft_set_page(g, FT_PAGE_ON); }, true},
                 {"name", [&] { ft_set_name(e, "F"); }, false},
                 {"add child", [&] { ft_add_child(g, e); }, true},
                 {"remove child", [&] { ft_list_remove_at(ft_get_children(g), 0); }, true},
                 {"release", [&] { ft_free_element(x); }, true}};
    for (auto &c : cases) {
        const unsigned long before = ft_generation();
        c.op();
        EXPECT_EQ(ft_generation() != before, c.moves) << c.what;
    }
    ft_free_tree(g, nullptr);
}

// ft_hit tests the used slots only, also when a half-written free slot
// follows them; a new element's block is all zero, also right after one was
// released.
TEST(PositionsBlock, HitOverUsedSlotsAndZeroedBlocks) {
    ft_element *e = ft_init();
    auto used_slots = [&](int x, int y, int used) {
        for (int i = 0; i < used; ++i)
            if (ft_coord_hit(x, y, e->coord->coord[i]))
                return 1;
        return 0;
    };
    for (int fill : {0, 3, FT_MAX_COORDS})
        for (ft_coord junk : {ft_coord{0, 0}, ft_coord{40, 0}, ft_coord{0, 40}}) {
            ft_clear_coords(e);
            for (int i = 0; i < fill; ++i)
                ft_add_coord(e, 100 + 20 * i, 30);
            if (fill < FT_MAX_COORDS)
                ft_add_coord(e, junk.x, junk.y); // a half-free slot
            for (int x = -10; x < 150; x += 3)
                for (int y = -2; y < 60; y += 2)
                    ASSERT_EQ(ft_hit(x, y, e), used_slots(x, y, fill))
                        << fill << " " << x << "," << y;
        }
    e->coord->selected = 1;
    ft_free_element(e);
    e = ft_init();
    static const ft_coords zero = {};
    EXPECT_EQ(memcmp(e->coord, &zero, sizeof zero), 0);
    ft_free_element(e);
}
