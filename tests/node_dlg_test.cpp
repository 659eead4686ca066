// Edit, Insert and Delete on a shown canvas, with the node dialog answered
// from timeouts and alerts caught by the dialog seam. Run under xvfb-run.
#include <FL/Fl.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Scroll.H>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "FTD_canvas.h"
#include "FTD_node_dlg.h"
#include "dialogs.h"

namespace {

ft_element *make_node(const char *name, ft_type type, short page,
                      std::vector<ft_element *> children = {}) {
    ft_element *e = ft_init();
    ft_set_name(e, name);
    ft_set_desc(e, (std::string("about ") + name).c_str());
    ft_set_type(e, type);
    ft_set_page(e, page);
    if (type != FT_BASIC)
        ft_set_children(e, ft_list_init());
    for (ft_element *c : children)
        ft_add_child(e, c);
    return e;
}

std::function<void(FTD_node_dlg *)> answer_fn;
void answer_cb(void *) {
    if (FTD_node_dlg::running)
        answer_fn(FTD_node_dlg::running);
}
// Bounds every modal wait: a dialog left open is closed after 10 s.
void guard_cb(void *) {
    if (FTD_node_dlg::running)
        FTD_node_dlg::running->window->hide();
}

// Laid out at zoom 2 (tree units): G0 (50,10); E1 (20,30); G1 (50,30) with
// E2 (40,50) and E1 again (60,50); page gate P1 (80,30) with E3 not drawn.
class NodeEdit : public ::testing::Test {
  protected:
    ft_element *e1, *e2, *e3, *g1, *p1, *root;
    Fl_Double_Window *win;
    Fl_Browser *pages;
    FTD_canvas *canvas;
    std::vector<std::string> alerts;
    dlg_responder responder;
    long live_before = ft_live_elements();

    void SetUp() override {
        e1 = make_node("E1", FT_BASIC, FT_PAGE_NONE);
        e2 = make_node("E2", FT_BASIC, FT_PAGE_NONE);
        e3 = make_node("E3", FT_BASIC, FT_PAGE_NONE);
        g1 = make_node("G1", FT_OR, FT_PAGE_OFF, {e2, e1});
        p1 = make_node("P1", FT_AND, FT_PAGE_ON, {e3});
        root = make_node("G0", FT_AND, FT_PAGE_OFF, {e1, g1, p1});
        win = new Fl_Double_Window(840, 631);
        pages = new Fl_Browser(0, 90, 120, 540);
        pages->add("G0", root);
        pages->add("P1", p1);
        Fl_Scroll *scroll = new Fl_Scroll(120, 90, 720, 540);
        canvas = new FTD_canvas(120, 90, 720, 540);
        scroll->end();
        win->end();
        responder.alert = [this](const std::string &t) { alerts.push_back(t); };
        dlg_set_responder(&responder);
        canvas->set_tree(root);
        win->show();
        draw();
    }
    void TearDown() override {
        Fl::remove_timeout(answer_cb);
        Fl::remove_timeout(guard_cb);
        dlg_set_responder(NULL);
        delete win;
        ft_free_tree(root, NULL);
        EXPECT_EQ(ft_live_elements(), live_before); // nothing leaked or lost
    }
    // Draws the displayed tree at zoom 2, recording every drawn position.
    void draw() {
        canvas->zoom = 2;
        ft_clear_coords(canvas->tree);
        canvas->redraw();
        for (int i = 0; i < 500 && canvas->tree->coord->coord[0].x == 0; i++)
            Fl::wait(0.01);
        ASSERT_NE(canvas->tree->coord->coord[0].x, 0);
    }
    // Puts the mouse on a drawn place (tree units) and presses there.
    void press(int x, int y) {
        Fl::e_x = 120 + 2 * x;
        Fl::e_y = 90 + 2 * (y + 5);
        canvas->select_at_mouse();
    }
    void answer(std::function<void(FTD_node_dlg *)> fn) {
        answer_fn = fn;
        Fl::add_timeout(0.05, answer_cb);
        Fl::add_timeout(10, guard_cb);
    }
    // The export of the edited tree is well-formed XML.
    void expect_valid_export() {
        draw();
        char path[] = "/tmp/nodedlgXXXXXX";
        int fd = mkstemp(path);
        ASSERT_GE(fd, 0);
        FILE *out = fdopen(fd, "w");
        EXPECT_EQ(canvas->write_svg(out), 0);
        fclose(out);
        EXPECT_EQ(system(("xmllint --noout " + std::string(path)).c_str()), 0);
        unlink(path);
    }
};

void type_ok(FTD_node_dlg *d, const char *name, int type) {
    d->name_input->value(name);
    d->desc_input->value("typed");
    d->type_choice->value(type);
    d->on_ok();
}

TEST_F(NodeEdit, NothingSelectedOrUnderMouse) {
    EXPECT_EQ(canvas->edit_selected(pages), 0);
    EXPECT_EQ(alerts, std::vector<std::string>{"Please Make a Selection!"});
    EXPECT_EQ(canvas->delete_at(300, 300), 0);
    EXPECT_EQ(canvas->delete_at(50, 15), 0); // the displayed root stays
    answer([](FTD_node_dlg *d) { type_ok(d, "X", FT_OR); });
    Fl::e_x = Fl::e_y = 700; // no node there: the new element is released
    EXPECT_EQ(canvas->insert_child(), 0);
    canvas->set_tree(NULL);
    canvas->delete_selected();
    EXPECT_EQ(canvas->delete_at(20, 35), 0);
    canvas->set_tree(root);
    EXPECT_EQ(ft_list_get_size(ft_get_children(root)), 3);
}

TEST_F(NodeEdit, UntickedPageGateRefillsPageList) {
    canvas->set_page_tree(root);
    draw();
    press(80, 30);
    int ticked = -1;
    answer([&](FTD_node_dlg *d) {
        ticked = d->page_check->value();
        d->page_check->value(0);
        d->on_ok();
    });
    EXPECT_EQ(canvas->edit_selected(pages), 1);
    EXPECT_EQ(ticked, 1);
    EXPECT_EQ(ft_get_page(p1), FT_PAGE_OFF);
    ASSERT_EQ(pages->size(), 1); // only the page root is still a page
    EXPECT_EQ(pages->data(1), root);
    EXPECT_EQ(pages->value(), 1);
    EXPECT_EQ(canvas->tree, root);
    expect_valid_export();
}

TEST_F(NodeEdit, WithoutPageRootPageListIsKept) {
    press(80, 30);
    answer([](FTD_node_dlg *d) {
        d->page_check->value(0);
        d->on_ok();
    });
    EXPECT_EQ(canvas->edit_selected(pages), 1);
    EXPECT_EQ(ft_get_page(p1), FT_PAGE_OFF);
    EXPECT_EQ(pages->size(), 2);
    expect_valid_export(); // E3 is now laid out below P1
}

TEST_F(NodeEdit, CancelAndCloseLeaveNodeUnchanged) {
    press(50, 30);
    std::vector<std::function<void(FTD_node_dlg *)>> endings = {
        [](FTD_node_dlg *d) { d->on_cancel(); },
        [](FTD_node_dlg *d) { d->window->do_callback(); }}; // the close button
    for (auto &end : endings) {
        std::string shown_name;
        int shown_type = -1;
        answer([&](FTD_node_dlg *d) {
            shown_name = d->name_input->value();
            shown_type = d->type_choice->value();
            type_ok(d, "", FT_AND); // alert, stays open
            d->name_input->value("X");
            end(d);
        });
        EXPECT_EQ(canvas->edit_selected(pages), 1);
        EXPECT_EQ(shown_name, "G1");
        EXPECT_EQ(shown_type, FT_OR);
        EXPECT_STREQ(ft_get_name(g1), "G1");
        EXPECT_STREQ(ft_get_desc(g1), "about G1");
        EXPECT_EQ(ft_get_type(g1), FT_OR);
    }
    EXPECT_EQ(alerts.size(), 2u);
}

TEST_F(NodeEdit, OkWithEmptyFieldAlertsAndStaysOpen) {
    press(50, 30);
    int stayed = 0;
    answer([&](FTD_node_dlg *d) {
        d->desc_input->value("");
        d->on_ok();
        stayed = d->window->shown();
        d->desc_input->insert(std::string(40000, 'd').c_str()); // as if pasted
        d->on_ok();
    });
    EXPECT_EQ(canvas->edit_selected(pages), 1);
    EXPECT_EQ(alerts, std::vector<std::string>{"All fields should be filled"});
    EXPECT_EQ(stayed, 1);
    EXPECT_EQ(std::string(ft_get_desc(g1)), std::string(40000, 'd')); // nothing cut
}

TEST_F(NodeEdit, TypeLeafMakesGateTerminal) {
    press(50, 30);
    answer([](FTD_node_dlg *d) { type_ok(d, "G1", FT_BASIC); });
    EXPECT_EQ(canvas->edit_selected(pages), 1);
    EXPECT_TRUE(ft_is_terminal(g1));
    EXPECT_EQ(ft_list_get_size(ft_get_children(g1)), 2);
    expect_valid_export();
    EXPECT_EQ(e2->coord->coord[0].x, 0); // its inputs are no longer laid out
}

TEST_F(NodeEdit, InsertOrGateUnderMouse) {
    Fl::e_x = 120 + 2 * 50;
    Fl::e_y = 90 + 2 * 35;
    answer([](FTD_node_dlg *d) { type_ok(d, "G9", FT_OR); });
    EXPECT_EQ(canvas->insert_child(), 1);
    EXPECT_EQ(canvas->selected(), g1);
    ft_list *kids = ft_get_children(g1);
    ASSERT_EQ(ft_list_get_size(kids), 3);
    ft_element *added = ft_list_get(kids, 2);
    EXPECT_STREQ(ft_get_name(added), "G9");
    EXPECT_EQ(ft_get_type(added), FT_OR);
    EXPECT_FALSE(ft_has_children(added));
    expect_valid_export();
}

TEST_F(NodeEdit, InsertUnderBasicEventGivesItAList) {
    Fl::e_x = 120 + 2 * 20;
    Fl::e_y = 90 + 2 * 35;
    answer([](FTD_node_dlg *d) { d->on_cancel(); });
    EXPECT_EQ(canvas->insert_child(), 1);
    ASSERT_EQ(ft_list_get_size(ft_get_children(e1)), 1);
    EXPECT_EQ(ft_get_type(ft_list_get(ft_get_children(e1), 0)), FT_INVALID);
    expect_valid_export();
}

TEST_F(NodeEdit, DeleteSharedEventAtPressedPlaceOnly) {
    press(60, 50); // E1 under G1; E1 also hangs under G0, earlier in preorder
    ASSERT_EQ(canvas->selected(), e1);
    canvas->delete_selected();
    ASSERT_EQ(ft_list_get_size(ft_get_children(g1)), 1);
    EXPECT_EQ(ft_list_get(ft_get_children(g1), 0), e2);
    EXPECT_EQ(ft_list_get(ft_get_children(root), 0), e1);
    EXPECT_EQ(canvas->selected(), nullptr);
    expect_valid_export();
}

TEST_F(NodeEdit, DeletePageGateDropsItsPageLine) {
    pages->value(2);
    press(80, 30);
    canvas->delete_selected();
    EXPECT_EQ(ft_list_get_size(ft_get_children(root)), 2);
    EXPECT_EQ(pages->size(), 1);
    EXPECT_EQ(canvas->selected(), nullptr);
    EXPECT_FALSE(p1->coord->selected);
    expect_valid_export();
}

} // namespace
