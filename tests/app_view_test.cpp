// The view commands: page list, zoom, probability labels and canvas presses.
#include "app_fixture.h"

#include <cfloat>
#include <cmath>

static std::string fitted(FTD_canvas *c) {
    return std::to_string((int)(c->zoom * 10.0)) + "%";
}

TEST_F(AppTest, PageListShowsEachPageFittedToTheCanvas) {
    ASSERT_EQ(load_example(), 0);
    EXPECT_EQ(h->zoom_input->value(), fitted(h->canvas));
    EXPECT_EQ(h->canvas->w(), 703);
    EXPECT_EQ(h->canvas->h(), 523);
    EXPECT_EQ(h->page_browser->value(), 1);
    h->on_zoom_in();
    int w = h->canvas->w();
    h->page_browser->value(2);
    h->page_browser->do_callback();
    EXPECT_STREQ(ft_get_name(h->canvas->tree), "CONTROL");
    EXPECT_EQ(h->canvas->w(), w); // a page keeps the zoomed canvas size
    EXPECT_EQ(h->zoom_input->value(), fitted(h->canvas));
}

// A gate is as tall as its tallest input, wherever that input stands: the
// root's inputs are an event (20 units) and a gate over a gate over an event
// (60), so the tree is 80 units tall, fitted into 523 pixels at 523 / (80 +
// 20), and its SVG is 10 * (80 + 20) pixels tall at 100%.
TEST_F(AppTest, GateIsAsTallAsItsTallestInput) {
    const std::string header = "Name\tType\tDescription\tInput  0 Type and Name\t"
                               "Input  1 Type and Name\tPage Flag\r\n";
    std::string ev = write_file("e.txt", "Name\r\nE1\r\nE2\r\n");
    for (const char *inputs : {"E E1\tG G1", "G G1\tE E1"}) {
        std::string ga =
            write_file("g.txt", header + "T\tOR\t\t" + inputs + "\tOff\r\n" +
                                    "G1\tAND\t\tG G2\t\tOff\r\n" + "G2\tOR\t\tE E2\t\tOff\r\n");
        ASSERT_EQ(h->load_files(ev.c_str(), ga.c_str()), 0) << inputs;
        EXPECT_STREQ(h->zoom_input->value(), "52%") << inputs;
        h->on_full_size();
        ASSERT_EQ(h->write_svg_file((dir + "/t.svg").c_str()), 0);
        std::string svg = read_all(dir + "/t.svg");
        size_t at = svg.find(" height=\"") + 9;
        EXPECT_EQ(svg.substr(at, svg.find('"', at) - at), "1000") << inputs;
    }
}

// A press below the page list's lines selects none, and its callback then
// changes nothing: the page shown and the zoom field stay.
TEST_F(AppTest, PageListPressOnNoLineChangesNothing) {
    ASSERT_EQ(load_example(), 0);
    for (int line : {1, 2}) {
        h->page_browser->value(line);
        h->page_browser->do_callback();
        h->set_zoom(250.0f);
        ft_element *shown = h->canvas->tree;
        Fl::e_x = Fl::e_x_root = h->page_browser->x() + 20;
        Fl::e_y = Fl::e_y_root = h->page_browser->y() + h->page_browser->h() - 30;
        Fl::handle(FL_PUSH, h->window);
        Fl::handle(FL_RELEASE, h->window);
        EXPECT_EQ(h->page_browser->value(), 0) << line;
        EXPECT_EQ(h->canvas->tree, shown) << line;
        EXPECT_STREQ(h->zoom_input->value(), "250%") << line;
    }
}

TEST_F(AppTest, ZoomCommandsTypedPercentagesAndDoubleClick) {
    ASSERT_EQ(load_example(), 0);
    FTD_size t = *h->canvas->tree_size;
    h->on_full_size();
    EXPECT_STREQ(h->zoom_input->value(), "100%");
    EXPECT_EQ(h->canvas->w(), std::min(32767, 10 * (t.w + 20)));
    // A double click on an empty part of the drawing zooms in.
    Fl::e_x = h->canvas->x() + h->scroll->w() - 30;
    Fl::e_y = h->canvas->y() + h->scroll->h() - 30;
    Fl::event_clicks(1);
    h->canvas->handle(FL_PUSH);
    Fl::event_clicks(0);
    EXPECT_EQ(h->canvas->selected(), nullptr);
    EXPECT_STREQ(h->zoom_input->value(), "120%");
    h->on_full_size();
    h->on_zoom_in();
    EXPECT_STREQ(h->zoom_input->value(), "120%");
    EXPECT_EQ(Fl::focus(), h->page_browser);
    for (const char *from : {"7%", "20%"}) {
        h->zoom_input->value(from);
        h->on_zoom_out();
    }
    EXPECT_STREQ(h->zoom_input->value(), "0%");
    const std::string warning = "WARNING: zoom rate is too high. Fault Tree will be clipped.\n\n"
                                "Maximum rate allowed for viewing the complete tree is " +
                                std::to_string((int)(h->canvas->max_zoom * 10.0)) + "%";
    struct { // typed text, the field and the zoom afterwards; a value beyond
             // the largest zoom warns and the canvas ends at 32767 pixels; a
             // value below 0 is refused as Zoom Out refuses it: the zoom stays
             // and the field shows it again
        const char *typed, *field;
        float zoom;
    } rows[] = {{"250", "250%", 25.0f},
                {"33.333333", "33.3333%", 3.33333f},
                {"nan", "33.3333%", 3.33333f},
                {"-50", "33.3333%", 3.33333f},
                {"-0.001", "33.3333%", 3.33333f},
                {"-inf", "33.3333%", 3.33333f},
                {"-1e39", "33.3333%", 3.33333f},
                {"abc", "0%", 0.0f},
                {"-40", "0%", 0.0f},
                {"-0", "0%", 0.0f},
                {"1e30", "1e+30%", 1e29f},
                {"inf", "inf%", FLT_MAX},
                {"1e39", "inf%", FLT_MAX}};
    for (auto [typed, field, zoom] : rows) {
        alerts.clear();
        h->zoom_input->value(typed);
        h->zoom_input->do_callback();
        Fl::check(); // draws at that zoom
        bool beyond = zoom > h->canvas->max_zoom;
        EXPECT_STREQ(h->zoom_input->value(), field) << typed;
        EXPECT_NEAR(h->canvas->zoom, zoom, 1e-4 * std::max(1.0f, std::fabs(zoom))) << typed;
        EXPECT_EQ(alerts, beyond ? std::vector<std::string>{warning} : std::vector<std::string>{})
            << typed;
        EXPECT_EQ(h->canvas->w() == 32767 && h->canvas->h() == 32767, beyond) << typed;
        EXPECT_GE(h->canvas->w(), 0) << typed;
        EXPECT_FALSE(std::signbit(h->canvas->zoom)) << typed; // the SVG scale has no "-0"
    }
    h->on_full_size(); // Zoom In from a typed value below 0 is refused too
    h->zoom_input->value("-100");
    h->on_zoom_in();
    EXPECT_STREQ(h->zoom_input->value(), "100%");
    EXPECT_EQ(h->canvas->zoom, 10.0f);
}

TEST_F(AppTest, ProbabilityToggleRelabelsItem) {
    for (const char *label : {"Hide Probability", "Show Probability", "Hide Probability"}) {
        EXPECT_STREQ(FTD_wnd_handler::item_hide_probability->label(), label);
        EXPECT_EQ(h->canvas->show_probability(), label[0] == 'H');
        h->on_toggle_probability();
    }
}

TEST_F(AppTest, PressProbesTraceAndOrderingFiles) {
    // events file, its one event, trace and ordering files
    const char *rows[][4] = {
        {"events.txt", "fault_cfg_12", "fault_cfg_12.trc", "order_12.smv_cpp"},
        {"sys_msg_ev.txt", "top_fault_cfg_3", "sys_top_fault_cfg_3.trc", "sys_order_3.smv_cpp"},
        {"events.txt", "fault_cfg_7.1", "fault_cfg_7.trc", "order_7.1.smv_cpp"},
        {"msgev.txt", "fault_cfg_7", "msgev.trc", "msgev.txtorder_7.smv_cpp"}};
    Fl_Menu_Item *trace = FTD_wnd_handler::item_open_counterexample;
    Fl_Menu_Item *order = FTD_wnd_handler::item_compute_ordering;
    for (auto &[events, name, trace_file, order_file] : rows) {
        std::string ev = write_file(events, std::string("Name\r\n") + name + "\r\n");
        std::string ga = write_file("g.txt", std::string("Name\tInput  0 Type and Name\r\nT\tE ") +
                                                 name + "\r\n");
        ASSERT_EQ(h->load_files(ev.c_str(), ga.c_str()), 0) << name;
        h->canvas->selected_node = ft_list_get(ft_get_children(h->canvas->tree), 0);
        h->on_canvas_click();
        EXPECT_FALSE(trace->active() || order->active()) << name;
        write_file(trace_file, "");
        write_file(order_file, "");
        h->on_canvas_click();
        EXPECT_TRUE(trace->active()) << trace_file;
        EXPECT_TRUE(order->active()) << order_file;
        h->canvas->selected_node = h->canvas->tree; // "T": no probe
        h->on_canvas_click();
        EXPECT_FALSE(trace->active() || order->active());
        ASSERT_EQ(system(("rm -f '" + dir + "'/*").c_str()), 0);
    }
}
