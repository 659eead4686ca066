// Memory running out while a loaded tree is shown: the load ends with the
// alert of code 6 and a usable window, nothing leaks, nothing aborts. This
// program replaces the global operator new so that an allocation can be made
// to fail on demand.
#include "app_fixture.h"

#include <cstring>
#include <functional>
#include <new>
#include <optional>
#include <sstream>

#include "failing_new.h"

// Larger than any allocation of the import and of a small tree, smaller than
// the layout of the shared-events trees below.
static const size_t LARGE = size_t(1) << 20;

class LoadMemoryTest : public AppTest {
  protected:
    const std::vector<std::string> alert{"Error.\nLoading aborted."};
    // A pair whose shared events make 111,151 drawn places: each of L0..L2
    // is an event turned into a gate naming the next 18 times. With page,
    // the root names a page gate P that holds the rest.
    std::pair<std::string, std::string> shared_pair(bool page) {
        std::string gates = "Name\tPage Flag";
        for (int i = 0; i < 18; i++)
            gates += "\tInput  " + std::to_string(i) + " Type and Name";
        gates += page ? "\r\nTOP\tOff\tG P\r\nP\tOn" : "\r\nTOP\tOff";
        for (int level = 0; level < 4; level++) {
            for (int i = 0; i < 18; i++)
                gates += "\tE L" + std::to_string(level);
            gates += level < 3 ? "\r\nL" + std::to_string(level) + "\tOff" : "\r\n";
        }
        return {write_file("e.txt", "Name\r\nL0\r\nL1\r\nL2\r\nL3\r\n"),
                write_file("g.txt", gates)};
    }
    // Paths, fields, page list, activation and the drawing area's geometry.
    std::string window_state() {
        std::ostringstream s;
        s << h->events_path << "|" << h->gates_path << "|" << h->events_output->value() << "|"
          << h->gates_output->value() << "|" << h->zoom_input->value() << "|"
          << h->page_browser->size() << (h->canvas->tree != nullptr) << h->scroll->active()
          << h->file_group->active() << h->page_browser->active()
          << FTD_wnd_handler::item_reload->active() << "|" << h->canvas->x() << ","
          << h->canvas->y() << " " << h->canvas->w() << "x" << h->canvas->h() << " at "
          << h->scroll->xposition() << "," << h->scroll->yposition();
        return s.str();
    }
};

// Each allocation of a load from the empty window, failing in turn: the load
// ends with the alert and the window as it was, or (past the last one)
// shows the tree.
TEST_F(LoadMemoryTest, EachFailingAllocationOfALoadEndsWithTheAlert) {
    const long live = ft_live_elements();
    ASSERT_EQ(load_example(), 0); // the toolkit's first-use allocations
    h->on_close();
    const std::string empty = window_state();
    const std::string ev = example("events.txt"), ga = example("gates.txt");
    for (long n = 0; n < 100000; n++) {
        alerts.clear();
        int code;
        {
            failing_allocation fail(n, 0, true);
            code = h->load_files(ev.c_str(), ga.c_str());
        }
        if (!failed) {
            ASSERT_EQ(code, 0);
            ASSERT_GT(n, 10);
            break;
        }
        ASSERT_EQ(code, FTREAD_ERROR) << "allocation " << n;
        ASSERT_EQ(alerts, alert) << "allocation " << n;
        ASSERT_EQ(window_state(), empty) << "allocation " << n;
        ASSERT_EQ(ft_live_elements(), live) << "allocation " << n;
    }
    EXPECT_EQ(h->page_browser->size(), 2) << "the root and its page gate";
}

// File > Open of a pair too large to lay out: the tree shown before and the
// new one are released, the window is as after Close, and with memory back
// the same pair loads.
TEST_F(LoadMemoryTest, OpenWithoutMemoryForTheLayoutShowsNoTree) {
    const long live = ft_live_elements();
    auto [ev, ga] = shared_pair(false);
    ASSERT_EQ(load_example(), 0);
    {
        failing_allocation fail(0, LARGE, false);
        open_with(fill_ok(ev, ga));
        EXPECT_TRUE(failed);
    }
    EXPECT_EQ(alerts, alert);
    EXPECT_TRUE(log_ends("Fault Tree not loaded.\n"));
    EXPECT_EQ(ft_live_elements(), live);
    const std::string after_failure = window_state();
    ASSERT_EQ(load_example(), 0);
    h->on_close();
    EXPECT_EQ(after_failure, window_state());
    open_with(fill_ok(ev, ga));
    EXPECT_TRUE(log_ends("Fault Tree loaded.\n"));
}

// Choosing a page whose layout finds no memory shows nothing but the alert;
// the loaded tree and its page list stay, and each line shows again.
TEST_F(LoadMemoryTest, PageWithoutMemoryForItsLayoutShowsNothing) {
    auto [ev, ga] = shared_pair(true);
    ASSERT_EQ(h->load_files(ev.c_str(), ga.c_str()), 0);
    {
        failing_allocation fail(0, LARGE, false);
        h->page_browser->value(2);
        h->page_browser->do_callback();
        EXPECT_TRUE(failed);
    }
    EXPECT_EQ(alerts, alert);
    EXPECT_EQ(h->canvas->tree, nullptr);
    EXPECT_EQ(h->page_browser->value(), 0);
    for (int line : {1, 2}) {
        h->page_browser->value(line);
        h->page_browser->do_callback();
        EXPECT_EQ(h->canvas->tree, static_cast<ft_element *>(h->page_browser->data(line)));
    }
}

// A drawing whose new layout (the tree grew) finds no memory draws nothing
// and the program goes on; with memory the tree is drawn again.
TEST_F(LoadMemoryTest, DrawWithoutMemoryForTheLayoutDrawsNothing) {
    ASSERT_EQ(load_example(), 0);
    ft_element *shared = ft_list_get(h->current_tree->events, 0);
    for (int i = 0; i < 40000; i++)
        ft_add_child(h->canvas->tree, shared);
    ft_touch();
    h->window->wait_for_expose();
    auto drawn = [this] {
        std::vector<unsigned char> rgb = render_rgb(h->window, h->canvas, 300, 300);
        for (size_t i = 0; i < rgb.size(); i += 3)
            if (rgb[i] != 255 || rgb[i + 1] != 255 || rgb[i + 2] != 0)
                return true; // not the yellow underneath
        return false;
    };
    {
        failing_allocation fail(0, LARGE, false);
        h->window->redraw();
        Fl::flush(); // as the event loop draws
        EXPECT_TRUE(failed);
        EXPECT_FALSE(drawn());
    }
    EXPECT_TRUE(drawn());
}

// File commands while a tree is shown or none, with every allocation of at
// least 32 bytes failing from the n-th one on, for each n until the command
// meets no failure: the command shows the alert or just closes, and the
// program goes on; once closed with memory back, every element is released.
// (Smaller allocations still succeed: the alert's own text is one.)
TEST_F(LoadMemoryTest, FileCommandsWithoutMemoryShowTheAlertOrClose) {
    const long live = ft_live_elements();
    ASSERT_EQ(load_example(), 0); // the toolkit's first-use allocations
    const std::string ev = example("events.txt"), ga = example("gates.txt");
    std::optional<failing_allocation> fail;
    auto arm = [&fail](long n) { fail.emplace(n, 32, false); };
    const struct {
        const char *what;
        bool tree_before;
        std::function<void(long n)> command;
    } rows[] = {
        {"Close", true, [&](long n) { arm(n), h->on_close(); }},
        {"Reload", true, [&](long n) { arm(n), h->on_reload(); }},
        {"Load into the empty window", false,
         [&](long n) { arm(n), h->load_files(ev.c_str(), ga.c_str()); }},
        {"Open", true,
         [&](long n) {
             open_with([&](FTD_import_dlg *d) {
                 fill_ok(ev, ga)(d);
                 arm(n);
             });
         }},
    };
    for (const auto &r : rows)
        for (long n = 0; n < 100000; n++) {
            h->on_close();
            if (r.tree_before) {
                ASSERT_EQ(load_example(), 0) << r.what;
            }
            alerts.clear();
            alerts.reserve(4);
            r.command(n);
            fail.reset();
            ASSERT_TRUE(alerts.empty() || alerts == alert) << r.what << ", allocation " << n;
            h->on_close();
            ASSERT_EQ(ft_live_elements(), live) << r.what << ", allocation " << n;
            if (!failed)
                break;
        }
}
