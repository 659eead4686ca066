// Canvas widget under a real X server: zoom fitting, layout positions, press
// to node mapping and pixels of an offscreen drawing.
#include "app_fixture.h"

#include <FL/Fl_Scroll.H>

#include <cmath>
#include <cstring>

static std::vector<ft_coord> places(ft_element *e) {
    std::vector<ft_coord> out;
    for (int i = 0; i < FT_MAX_COORDS && e->coord->coord[i].x && e->coord->coord[i].y; i++)
        out.push_back(e->coord->coord[i]);
    return out;
}

static const unsigned BLACK = 0x000000, WHITE = 0xffffff, RED = 0xff0000, YELLOW = 0xffff00;

struct CanvasTest : CanvasWindowTest<900, 700, 720, 540> {
    std::vector<unsigned char> rgb;
    int rw = 0;

    void SetUp() override {
        canvas->color(FL_YELLOW); // tells box fills apart from the background
        CanvasWindowTest::SetUp();
    }
    void render(int w, int h) {
        rgb = render_rgb(win, canvas, w, h);
        rw = w;
    }
    unsigned px(int x, int y) {
        const unsigned char *p = &rgb[(y * rw + x) * 3];
        return (p[0] << 16) | (p[1] << 8) | p[2];
    }
};

TEST_F(CanvasTest, SetTreeFitsZoom) {
    struct Row {
        int events;
        double zoom, max_zoom;
    };
    for (Row r : {Row{0, 27.0, 1638.35}, Row{10, 720.0 / 220, 32767.0 / 220}}) {
        ft_element *g = node("G", FT_AND);
        for (int i = 0; i < r.events; i++)
            ft_add_child(g, node("E", FT_BASIC));
        ft_element *top = r.events ? node("R", FT_OR, {g}) : g;
        canvas->set_tree(top);
        EXPECT_NEAR(canvas->zoom, r.zoom, 1e-3);
        EXPECT_NEAR(canvas->max_zoom, r.max_zoom, 1e-2);
        ft_free_tree(top, nullptr);
    }
    canvas->set_tree(nullptr);
}

TEST_F(CanvasTest, LayoutPlacesEveryNode) {
    ft_element *e1 = node("E1", FT_BASIC), *e2 = node("E2", FT_BASIC), *e3 = node("E3", FT_BASIC);
    ft_element *p1 = node("P1", FT_AND, {node("X", FT_BASIC)}, FT_PAGE_ON);
    ft_element *empty = node("N", FT_OR), *shared = node("S", FT_BASIC);
    ft_element *g1 = node("G1", FT_OR, {e2, e3, shared});
    root = node("G0", FT_AND, {e1, g1, p1, empty, shared});
    canvas->set_tree(root);
    canvas->zoom = 1;
    render(200, 100);
    std::string got; // the places of each element, ";" after each element
    for (ft_element *e : {root, e1, g1, e2, e3, p1, ft_list_get(p1->children, 0), empty, shared}) {
        for (ft_coord c : places(e))
            got += std::to_string(c.x) + "," + std::to_string(c.y) + " ";
        got += ";";
    }
    EXPECT_EQ(got, "70,10 ;20,30 ;60,30 ;40,50 ;60,50 ;100,30 ;;110,30 ;80,50 120,30 ;");
    // A press at each place of the shared event finds that one element.
    canvas->zoom = 2;
    for (ft_coord c : places(shared))
        EXPECT_EQ(canvas->select_at(c.x * 2 + 2, c.y * 2 + 4, 0, 0), shared);
    EXPECT_EQ(canvas->select_at(90, 30 * 2 + 4, 0, 0), nullptr); // between E1 and G1
}

TEST_F(CanvasTest, PressMapsThroughScrollArea) {
    Fl_Window w(900, 700);
    Fl_Scroll scroll(120, 90, 300, 200);
    FTD_canvas c(120, 90, 2000, 2000);
    scroll.end();
    w.end();
    c.zoom = 3;
    scroll.scroll_to(100, 0); // the canvas moves to x = 20
    EXPECT_EQ(c.to_tree_coords(130, 95, 100, 0).x, 36);
    scroll.position(200, 50); // the tile border moved
    scroll.scroll_to(0, 0);
    FTD_point p = c.to_tree_coords(200 + 60, 50 + 90, 0, 0);
    EXPECT_EQ(p.x, 20);
    EXPECT_EQ(p.y, 30);
    root = node("R", FT_AND);
    c.set_tree(root);
    for (float z : {0.0f, -1.0f, INFINITY, NAN}) {
        c.zoom = z;
        EXPECT_EQ(c.select_at(125, 95, 0, 0), nullptr);
        EXPECT_EQ(root->coord->selected, 0);
    }
}

TEST_F(CanvasTest, MakeLabelSizedToContent) {
    std::string n300(300, 'n');
    const char *rows[][4] = {{"G1", "1.0e-3", nullptr, "G1\nP = 1.0e-3"},
                             {"G1", nullptr, "2", "G1\nC = 2"},
                             {"G1", "1", "2", "G1\nP = 1\nC = 2"},
                             {n300.c_str(), nullptr, nullptr, n300.c_str()}};
    for (auto &r : rows)
        EXPECT_EQ(FTD_canvas::make_label(r[0], r[1], r[2]), r[3]);
}

// Texts with an '@' followed by bytes above 127 (a name in UTF-8 or Latin-1):
// the toolkit's symbol look-up must never see them, or it may crash.
TEST_F(CanvasTest, AtSignsBeforeHighBytesDrawSafely) {
    FTD_canvas c(0, 0, 300, 200);
    c.zoom = 10;
    win->make_current();
    Fl_Offscreen off = fl_create_offscreen(300, 200);
    fl_begin_offscreen(off);
    for (const char *before : {"@", "AB@", "name\nP = 1@"})
        for (int a = 0x80; a < 0x100; a++)
            for (int b = 0x80; b < 0x100; b++)
                c.draw_fitted_text((before + std::string{char(a), char(b), 'x'}).c_str(), 1, 1, 15,
                                   6);
    fl_end_offscreen();
    fl_delete_offscreen(off);
}

// Two inputs at zoom 10: G0 at (30,10), E1 at (20,30), E2 at (40,30).
TEST_F(CanvasTest, OffscreenPixels) {
    ft_element *e2 = node("", FT_BASIC);
    root = node("", FT_AND, {node("", FT_BASIC), e2});
    canvas->set_tree(root);
    canvas->zoom = 10;
    canvas->show_prob = 0;
    render(500, 460); // records the places a press is resolved against
    EXPECT_EQ(canvas->select_at(405, 350, 0, 0), e2);
    render(500, 460);
    EXPECT_EQ(px(300, 100), BLACK); // top of G0's description box
    EXPECT_EQ(px(270, 240), BLACK); // AND body below the name box
    EXPECT_EQ(px(270, 220), WHITE); // ... hidden by the name box fill
    EXPECT_EQ(px(290, 85), YELLOW); // above the symbol
    EXPECT_EQ(px(250, 275), BLACK); // connector across at y 27.5
    EXPECT_EQ(px(200, 290), BLACK); // connector down to E1
    EXPECT_EQ(px(325, 350), RED);   // solid frame around E2
    EXPECT_NE(px(125, 350), RED);   // E1 is not selected
}

// Each kind, as a root over one event at zoom 10 (its description box from
// (12.5,10)): it is drawn on screen exactly when the SVG export writes it,
// and only FT_INVALID shows nothing.
TEST_F(CanvasTest, EveryKindShowsOnScreenAsInSvg) {
    for (const ft_kind &k : ft_kinds) {
        SCOPED_TRACE(k.name);
        root = node("", k.type);
        if (k.type == FT_BASIC)
            ft_set_children(root, ft_list_init());
        ft_add_child(root, node("", FT_BASIC));
        canvas->set_tree(root);
        canvas->zoom = 10;
        render(500, 460);
        const bool drawn = px(200, 100) == BLACK; // the top of the root's box
        char *buf = nullptr;
        size_t size = 0;
        FILE *out = open_memstream(&buf, &size);
        ASSERT_EQ(canvas->write_svg(out), 0);
        fclose(out);
        const bool written = strstr(buf, "<rect x=\"12.50\" y=\"10\"") != nullptr;
        free(buf);
        EXPECT_EQ(drawn, written);
        EXPECT_EQ(drawn, k.type != FT_INVALID);
        canvas->set_tree(nullptr);
        ft_free_tree(root, nullptr);
        root = nullptr;
    }
}

// Inputs 10 units left and right of the root lie 65400 pixels away: their
// connectors are cut to the view, not wrapped around into it.
TEST_F(CanvasTest, HugeZoomDrawsNoStrayLines) {
    ft_element *b = node("B", FT_BASIC);
    root = node("R", FT_AND, {node("A", FT_BASIC), b});
    canvas->set_tree(root);
    canvas->zoom = 6540;
    canvas->position(200 - 30 * 6540, 150 - 27.5 * 6540); // root at x 200, joint row at y 150
    render(400, 300);
    EXPECT_EQ(places(b).size(), 1u);
    EXPECT_EQ(px(100, 150), BLACK);
    for (int x = 0; x < 400; x++)
        EXPECT_NE(px(x, 250), BLACK) << x;
}

// An element drawn at more places than it can record is still framed there.
TEST_F(CanvasTest, FrameBeyondRecordedPlaces) {
    ft_element *e = node("E", FT_BASIC);
    root = node("R", FT_AND);
    for (int i = 0; i < 205; i++)
        ft_add_child(root, e);
    canvas->set_tree(root);
    canvas->zoom = 1;
    render(4120, 60);
    ASSERT_EQ(canvas->select_at(20, 31, 0, 0), e);
    render(4120, 60);
    int red = 0;
    for (int y = 28; y < 48; y++)
        for (int x = 4090; x < 4110; x++)
            red += px(x, y) == RED;
    EXPECT_GT(red, 3);
}

// A redraw of any clip region paints there exactly what one full draw paints:
// every gate and event kind with labels, a page gate, shared events, both
// frames, at the fitted zoom, 100% and 400%, in tiles of several sizes.
TEST_F(CanvasTest, TiledRedrawEqualsFullDraw) {
    ft_element *e1 = node("E1", FT_BASIC, {}, -1, "Pump fails", "1.0e-3", "0.2");
    ft_element *e2 = node("PA_MECH", FT_BASIC, {}, -1, "Valve stuck closed", "5e-4");
    root = node("TOP", FT_OR,
                {node("G1", FT_PAND, {e1, e2}, -1, "Order matters", "2e-3"),
                 node("G2", FT_NULL, {e1}, -1, "Pass", "1e-2", "0.3"),
                 node("P1", FT_AND, {node("E3", FT_BASIC)}, FT_PAGE_ON, "Subsystem page"),
                 node("G3", FT_AND), node("", FT_INVALID, {e2}), e2},
                -1, "System fails", "2.5e-2", "0.4");
    canvas->set_tree(root);
    const float fitted = canvas->zoom;
    render(720, 540); // records the places a press is resolved against
    ASSERT_EQ(canvas->select_at(int(60 * fitted) + 2, int(52 * fitted) + 2, 0, 0), e1);
    canvas->highlight_by_name("G2");
    struct {
        float zoom;
        int x, y; // canvas position: the part of the drawing in view
    } views[] = {{fitted, 0, 0}, {10, 0, -130}, {40, -600, -2400}};
    for (auto v : views)
        for (int scrolled = 0; scrolled < 52; scrolled += 13) {
            canvas->zoom = v.zoom;
            canvas->position(v.x, v.y - scrolled);
            std::vector<unsigned char> full = render_rgb(win, canvas, 720, 540);
            for (int tile : {37, 64, 256}) {
                std::vector<unsigned char> part =
                    render_rgb(win, canvas, 720, 540, 0, 0, -1, -1, tile);
                size_t differ = 0;
                for (size_t i = 0; i < full.size(); i += 3)
                    differ += memcmp(&full[i], &part[i], 3) != 0;
                EXPECT_EQ(differ, 0u)
                    << "zoom " << v.zoom << ", " << scrolled << " down, tiles of " << tile;
            }
        }
}

// A chain of gates far deeper than the machine stack could follow by
// recursion: fitted, drawn, pressed, edited, exported and released.
TEST_F(CanvasTest, DeepChainOfGates) {
    const int depth = 150000;
    root = node("E", FT_BASIC);
    for (int i = depth; i > 0; i--)
        root = node("", ft_type(FT_AND + i % 4), {root});
    canvas->show_prob = 0;
    canvas->set_tree(root);
    EXPECT_EQ(canvas->tree_size->h, 20 * (depth + 1));
    render(720, 540);
    canvas->zoom = 10;
    render(720, 540);
    ft_element *third = root; // every node lies at x = 20, each level 20 units lower
    for (int i = 0; i < 3; i++)
        third = ft_list_get(ft_get_children(third), 0);
    EXPECT_EQ(canvas->select_at(202, 10 * 72, 0, 0), third);
    EXPECT_EQ(canvas->select_at(9000, 10 * 72, 0, 0), nullptr); // clears the selection
    canvas->highlight_by_name("E");
    canvas->clear_highlight();
    EXPECT_EQ(canvas->delete_at(20, 20 * depth + 12), 1); // the event at the bottom
    EXPECT_EQ(svg_export_fault(canvas), "");
    canvas->set_tree(nullptr);
}
