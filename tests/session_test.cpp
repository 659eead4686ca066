// A long session in one process: load a generated 5,000-gate tree, zoom,
// page through, select, export and close it, fifty times over, with the main
// window on screen. Memory after the last round stays within 10% of memory
// after the first, and every element is released at each close.
#include "app_fixture.h"

#include <malloc.h>

#include "ftgen.h"
#include "ftslab.h"

namespace {

// Resident set size of this process in kilobytes.
long resident_kb() {
    malloc_trim(0);
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Lets the window draw what changed; bounded, never waits for input.
void settle() {
    Fl::flush();
    for (int i = 0; i < 5 && Fl::check(); i++) {
    }
}

struct Session : AppTest {
    // One round of what a user does with a tree. Returns the number of pages.
    int one_round(const std::string &ev, const std::string &ga, const std::string &svg) {
        EXPECT_EQ(h->load_files(ev.c_str(), ga.c_str()), 0);
        settle();
        h->set_zoom(100.0f);
        h->scroll->scroll_to(0, 0);
        settle();
        int lines = h->page_browser->size();
        for (int n = 2; n <= lines; n++) {
            h->page_browser->value(n);
            h->on_page_select();
            settle();
        }
        h->page_browser->value(1);
        h->on_page_select();
        ft_coord c = h->canvas->tree->coord->coord[0];
        float z = h->canvas->zoom;
        h->canvas->select_at(h->canvas->x() + (int)(c.x * z) + 1,
                             h->canvas->y() + (int)(c.y * z) + 1, 0, 0);
        h->on_canvas_click();
        settle();
        EXPECT_EQ(h->write_svg_file(svg.c_str()), 0);
        h->on_close();
        settle();
        return lines - 1;
    }
};

} // namespace

TEST_F(Session, FiftyRoundsOfAGeneratedTree) {
    const std::string ev = dir + "/events.txt", ga = dir + "/gates.txt", svg = dir + "/out.svg";
    ftgen_params p;
    p.gates = 5000;
    p.events = 12000;
    p.fanout = 6;
    p.page_every = 1000;
    ASSERT_EQ(ftgen_write_pair(ev.c_str(), ga.c_str(), p), 0);
    settle();
    long live = ft_live_elements();
    int pages = one_round(ev, ga, svg);
    long after_first = resident_kb();
    EXPECT_EQ(ft_live_elements(), live);
    for (int round = 2; round <= 50 && !HasFailure(); round++) {
        one_round(ev, ga, svg);
        EXPECT_EQ(ft_live_elements(), live) << "round " << round;
    }
    long after_last = resident_kb();
    printf("session: %d page gates; resident memory after round 1: %ld kB, after round 50: "
           "%ld kB (%+.1f%%)\n",
           pages, after_first, after_last, 100.0 * (after_last - after_first) / after_first);
    if (!ft_sanitizer_build()) { // the sanitizer holds freed memory in quarantine
        EXPECT_LE(after_last, after_first + after_first / 10);
    }
}
