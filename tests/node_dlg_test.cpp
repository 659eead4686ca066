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

} // namespace
