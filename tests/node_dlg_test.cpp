// Edit, Insert and Delete on a shown canvas, with the node dialog answered
// and alerts caught through the dialog seam. Run under xvfb-run.
#include "app_fixture.h"

#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>

#include "FTD_node_dlg.h"

namespace {

typedef std::function<void(FTD_node_dlg *)> answer_fn;

answer_fn type_ok(const char *name, int type, const char *desc = "typed") {
    return [=](FTD_node_dlg *d) {
        d->name_input->value(name);
        if (desc)
            d->desc_input->value(desc);
        d->type_choice->value(type);
        d->on_ok();
    };
}
const answer_fn cancel = [](FTD_node_dlg *d) { d->on_cancel(); };

// Laid out at zoom 2 (tree units): G0 (50,10); E1 (20,30); G1 (50,30) with
// E2 (40,50) and E1 again (60,50); page gate P1 (80,30), its E3 not drawn.
class NodeEdit : public SeamTest {
  protected:
    long live_before = ft_live_elements();
    ft_element *e1 = node("E1", FT_BASIC), *e2 = node("E2", FT_BASIC);
    ft_element *g1 = node("G1", FT_OR, {e2, e1}, -1, "about G1");
    ft_element *p1 = node("P1", FT_AND, {node("E3", FT_BASIC)}, FT_PAGE_ON, "about P1");
    ft_element *root = node("G0", FT_AND, {e1, g1, p1}, -1, "about G0");
    Fl_Double_Window win{840, 631};
    Fl_Browser *pages = new Fl_Browser(0, 90, 120, 540);
    Fl_Scroll *scroll = new Fl_Scroll(120, 90, 720, 540);
    FTD_canvas *canvas = new FTD_canvas(120, 90, 720, 540);

    // The next node dialogs are answered by fn as soon as they are shown.
    void answer(answer_fn fn) {
        responder.modal = [fn](Fl_Window *w) { fn(window_owner<FTD_node_dlg>(w)); };
    }
    void SetUp() override {
        pages->add("G0", root);
        pages->add("P1", p1);
        win.end();
        SeamTest::SetUp();
        canvas->set_page_list(pages); // as the main window hands its page list
        canvas->set_tree(root);
        win.show();
        draw();
    }
    void TearDown() override {
        SeamTest::TearDown();
        win.hide();
        ft_free_tree(root, nullptr);
        EXPECT_EQ(ft_live_elements(), live_before); // nothing leaked or lost
    }
    void draw() { // records every drawn position at zoom 2
        canvas->zoom = 2;
        ft_clear_coords(canvas->tree);
        canvas->redraw();
        for (int i = 0; i < 500 && canvas->tree->coord->coord[0].x == 0; i++)
            Fl::wait(0.01);
        ASSERT_NE(canvas->tree->coord->coord[0].x, 0);
    }
    void mouse_at(int x, int y, int press = 0) { // on the symbol drawn at (x, y)
        Fl::e_x = 120 + 2 * x;
        Fl::e_y = 90 + 2 * (y + 5);
        if (press)
            canvas->select_at_mouse();
    }
    void expect_valid_export() {
        draw();
        EXPECT_EQ(svg_export_fault(canvas), "");
    }
    int children(ft_element *e) { return ft_list_get_size(ft_get_children(e)); }
};

TEST(NodeDialog, TypeMenuItemIndexIsTheKind) {
    FTD_node_dlg d;
    d.make_window();
    const std::pair<int, std::string> items[] = {{FT_INVALID, "Invalid"}, {FT_BASIC, "LEAF"},
                                                 {FT_AND, "AND Gate"},    {FT_PAND, "PAND Gate"},
                                                 {FT_OR, "OR Gate"},      {FT_NULL, "Null Gate"}};
    EXPECT_EQ(d.type_choice->size(), 7); // and the end item
    for (const auto &item : items)
        EXPECT_EQ(d.type_choice->menu()[item.first].label(), item.second);
}

TEST_F(NodeEdit, NothingSelectedOrUnderMouse) {
    EXPECT_EQ(canvas->edit_selected(pages), 0);
    EXPECT_EQ(alerts, std::vector<std::string>{"Please Make a Selection!"});
    EXPECT_EQ(canvas->delete_at(300, 300), 0);
    EXPECT_EQ(canvas->delete_at(50, 15), 0); // the displayed root stays
    answer(type_ok("X", FT_OR));
    mouse_at(300, 300); // the new element is released, not attached
    EXPECT_EQ(canvas->insert_child(), 0);
    canvas->set_tree(nullptr);
    canvas->delete_selected();
    canvas->set_tree(root);
    EXPECT_EQ(children(root), 3);
}

TEST_F(NodeEdit, UntickedPageGate) {
    for (int with_page_root : {0, 1}) {
        canvas->set_page_tree(with_page_root ? root : nullptr);
        ft_set_page(p1, FT_PAGE_ON);
        draw();
        mouse_at(80, 30, 1);
        int ticked = -1;
        answer([&](FTD_node_dlg *d) {
            ticked = d->page_check->value();
            d->page_check->value(0);
            d->on_ok();
        });
        EXPECT_EQ(canvas->edit_selected(pages), 1);
        EXPECT_EQ(ticked, 1);
        EXPECT_EQ(ft_get_page(p1), FT_PAGE_OFF);
        // Refilled with the page root alone, or left as it was.
        EXPECT_EQ(pages->size(), with_page_root ? 1 : 2);
        EXPECT_EQ(pages->value(), with_page_root ? 1 : 0);
        expect_valid_export(); // E3 is now laid out below P1
    }
}

TEST_F(NodeEdit, CancelCloseOrEmptyFieldChangeNothing) {
    mouse_at(50, 30, 1);
    for (answer_fn end : {cancel, answer_fn([](FTD_node_dlg *d) { d->window->do_callback(); })}) {
        std::string shown_name;
        int stayed = 0;
        answer([&](FTD_node_dlg *d) {
            shown_name = d->name_input->value() + std::to_string(d->type_choice->value());
            type_ok("X", FT_AND, "")(d); // alert, the dialog stays open
            stayed = d->window->shown();
            end(d);
        });
        EXPECT_EQ(canvas->edit_selected(pages), 1);
        EXPECT_EQ(shown_name, "G14"); // name and OR type shown
        EXPECT_EQ(stayed, 1);
        EXPECT_STREQ(ft_get_name(g1), "G1");
        EXPECT_EQ(ft_get_type(g1), FT_OR);
    }
    EXPECT_EQ(alerts, std::vector<std::string>(2, "All fields should be filled"));
}

TEST_F(NodeEdit, OkStoresLongTextAndLeafType) {
    mouse_at(50, 30, 1);
    answer([](FTD_node_dlg *d) {
        d->desc_input->value("");
        d->desc_input->insert(std::string(40000, 'd').c_str()); // as if pasted
        type_ok("G1", FT_BASIC, nullptr)(d);
    });
    EXPECT_EQ(canvas->edit_selected(pages), 1);
    EXPECT_EQ(std::string(ft_get_desc(g1)), std::string(40000, 'd'));
    EXPECT_TRUE(ft_is_terminal(g1));
    EXPECT_EQ(children(g1), 2);
    expect_valid_export();
    EXPECT_EQ(e2->coord->coord[0].x, 0); // its inputs are no longer laid out
}

TEST_F(NodeEdit, InsertUnderNodeAtMouse) {
    struct {
        int x, y;
        ft_element *parent;
        answer_fn end;
        ft_type added_type;
    } cases[] = {{50, 30, g1, type_ok("G9", FT_OR), FT_OR}, {20, 30, e1, cancel, FT_INVALID}};
    for (auto &c : cases) {
        int before = c.parent->children ? children(c.parent) : 0;
        mouse_at(c.x, c.y);
        answer(c.end);
        EXPECT_EQ(canvas->insert_child(), 1);
        EXPECT_EQ(canvas->selected(), c.parent);
        ASSERT_EQ(children(c.parent), before + 1);
        ft_element *added = ft_list_get(ft_get_children(c.parent), before);
        EXPECT_EQ(ft_get_type(added), c.added_type);
        EXPECT_FALSE(ft_has_children(added));
        expect_valid_export();
    }
}

TEST_F(NodeEdit, DeleteRemovesPressedPlaceOnly) {
    pages->value(2);
    mouse_at(60, 50, 1); // E1 under G1; E1 also hangs under G0, earlier in preorder
    canvas->delete_selected();
    EXPECT_EQ(children(g1), 1);
    EXPECT_EQ(ft_list_get(ft_get_children(root), 0), e1);
    EXPECT_EQ(canvas->selected(), nullptr);
    EXPECT_EQ(pages->size(), 2);
    draw();
    mouse_at(60, 30, 1); // G1 is narrower now; the page gate leaves the page list too
    canvas->delete_selected();
    EXPECT_EQ(children(root), 2);
    EXPECT_EQ(pages->size(), 1);
    EXPECT_EQ(canvas->selected(), nullptr);
    expect_valid_export();
}

// A tree whose page list holds a page below a page and a page that hangs in
// two places: G0 over P1 (a page, over the pages P2 and P3), G1 (over P3
// again) and E1. The canvas's page list, and another list of the same lines
// in the window, hold the lines a load gives.
class PageList : public SeamTest {
  protected:
    long live_before = ft_live_elements();
    ft_element *root = nullptr;
    Fl_Double_Window win{840, 631};
    Fl_Browser *pages = new Fl_Browser(0, 90, 120, 270);
    Fl_Browser *other = new Fl_Browser(0, 360, 120, 270);
    FTD_canvas *canvas = new FTD_canvas(120, 90, 720, 540);

    void SetUp() override {
        win.end();
        pages->type(FL_HOLD_BROWSER);
        canvas->set_page_list(pages);
        SeamTest::SetUp();
    }
    void TearDown() override {
        release();
        SeamTest::TearDown();
    }
    // A fresh tree, both lists filled.
    void build() {
        release();
        ft_element *p2 = node("P2", FT_AND, {node("E2", FT_BASIC)}, FT_PAGE_ON);
        ft_element *p3 = node("P3", FT_OR, {node("E3", FT_BASIC)}, FT_PAGE_ON);
        ft_element *p1 = node("P1", FT_OR, {p2, p3}, FT_PAGE_ON);
        ft_element *g1 = node("G1", FT_AND, {p3, node("E4", FT_BASIC)});
        root = node("G0", FT_AND, {p1, g1, node("E1", FT_BASIC)});
        for (Fl_Browser *b : {pages, other})
            for (ft_element *e : {root, p1, p2, p3, p3})
                b->add(ft_get_name(e), e);
    }
    void release() {
        pages->clear();
        other->clear();
        canvas->set_tree(nullptr);
        ft_free_tree(root, nullptr);
        root = nullptr;
        EXPECT_EQ(ft_live_elements(), live_before); // nothing leaked or lost
    }
    static std::string names(Fl_Browser *b) {
        std::string s;
        for (int line = 1; line <= b->size(); line++)
            s += ft_get_name(static_cast<ft_element *>(b->data(line))) + std::string(" ");
        return s;
    }
};

// Each row shows a page of the tree and deletes the places named, each where
// it is drawn first: the lines of exactly the pages that the tree no longer
// reaches go, the selected line stays on its page while that page is listed,
// and the other list in the window keeps every line.
TEST_F(PageList, DeleteDropsTheLinesOfPagesNoLongerReached) {
    struct {
        const char *shown;
        std::vector<const char *> deleted;
        const char *lines;
    } rows[] = {
        {"G0", {"P1"}, "G0 P3 P3 "},             // P2 goes with it; P3 hangs under G1 too
        {"P1", {"P2"}, "G0 P1 P3 P3 "},          // the page alone
        {"P1", {"P3"}, "G0 P1 P2 P3 P3 "},       // still under G1
        {"G0", {"P3"}, "G0 P1 P2 P3 P3 "},       // still under P1
        {"G0", {"G1"}, "G0 P1 P2 P3 P3 "},       // P3 still under P1
        {"G0", {"G1", "P1"}, "G0 "},             // then nothing below G0 is a page
        {"G0", {"E1", "G0"}, "G0 P1 P2 P3 P3 "}, // no page below E1; the shown root stays
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.shown) + " " + r.lines);
        build();
        canvas->set_tree(ft_find_by_name(root, r.shown));
        pages->value(5); // P3
        for (const char *name : r.deleted) {
            ASSERT_EQ(svg_export_fault(canvas), ""); // records the places drawn now
            ft_coord c = ft_find_by_name(canvas->tree, name)->coord->coord[0];
            canvas->delete_at(c.x, c.y + 5);
        }
        EXPECT_EQ(names(pages), r.lines);
        ft_element *chosen = static_cast<ft_element *>(pages->data(pages->value()));
        EXPECT_STREQ(chosen ? ft_get_name(chosen) : "", strstr(r.lines, "P3") ? "P3" : "");
        EXPECT_EQ(names(other), "G0 P1 P2 P3 P3 ");
        EXPECT_EQ(svg_export_fault(canvas), "");
    }
}

// One fill for the load's list (the root's line first) and the refill from
// the page tree (page gates only); a page root is listed twice in the first.
TEST_F(PageList, FillFromARootAndRefillFromThePageTree) {
    build();
    struct {
        short root_page;
        int with_root;
        const char *lines;
    } rows[] = {{FT_PAGE_OFF, 1, "G0 P1 P2 P3 P3 "},
                {FT_PAGE_ON, 1, "G0 G0 P1 P2 P3 P3 "},
                {FT_PAGE_OFF, 0, "P1 P2 P3 P3 "},
                {FT_PAGE_ON, 0, "G0 P1 P2 P3 P3 "}};
    for (const auto &r : rows) {
        ft_set_page(root, r.root_page);
        FTD_canvas::fill_page_list(pages, root, r.with_root);
        EXPECT_EQ(names(pages), r.lines);
    }
    FTD_canvas::fill_page_list(pages, nullptr, 1);
    EXPECT_EQ(pages->size(), 0);
    ft_element *p1 = ft_find_by_name(root, "P1");
    for (int keep : {1, 0}) {
        canvas->set_tree(root);
        canvas->set_page_tree(p1);
        canvas->refresh_page_list(pages, keep);
        EXPECT_EQ(names(pages), "P1 P2 P3 ");
        EXPECT_EQ(pages->value(), keep ? 0 : 1);
        EXPECT_EQ(canvas->tree, keep ? root : p1);
    }
}

} // namespace

// Delete of the main window prunes the window's own page list, and no other
// list that the window holds.
TEST_F(AppTest, DeletePrunesThePageListOfTheWindowOnly) {
    std::string ev = write_file("e.txt", "Name\r\nA\r\n");
    std::string ga = write_file("g.txt", "Name\tType\tInput  0 Type and Name\tPage Flag\r\n"
                                         "T\tAND\tG P\tOff\r\nP\tOR\tE A\tOn\r\n");
    ASSERT_EQ(h->load_files(ev.c_str(), ga.c_str()), 0);
    ASSERT_EQ(h->page_browser->size(), 2);
    ft_element *page = static_cast<ft_element *>(h->page_browser->data(2));
    Fl_Browser *other = new Fl_Browser(0, 0, 10, 10); // a copy of the page list
    h->window->add(other);
    other->add("T", h->page_browser->data(1));
    other->add("P", page);
    ASSERT_EQ(svg_export_fault(h->canvas), ""); // records the drawn places
    ft_coord c = page->coord->coord[0];
    Fl::e_x = h->canvas->x() + (int)(c.x * h->canvas->zoom);
    Fl::e_y = h->canvas->y() + (int)((c.y + 5) * h->canvas->zoom);
    h->canvas->handle(FL_PUSH);
    ASSERT_EQ(h->canvas->selected(), page);
    FTD_wnd_handler::cb_Delete(h->canvas, nullptr);
    EXPECT_EQ(h->page_browser->size(), 1);
    EXPECT_EQ(other->size(), 2);
    EXPECT_EQ(h->canvas->selected(), nullptr);
}
