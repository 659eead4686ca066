// Redraw and click cost of the canvas for generated trees of 100, 1,000 and
// 10,000 gates, at the fitted zoom and at 100% (zoom 10), drawn into a 720 by
// 540 offscreen buffer; then the first draw after a load of the pair of
// 20,000 gates and 100,000 events beside that load. Run under an X server
// (xvfb-run -a).
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FTD_canvas.h"
#include "ftgen.h"
#include "ftread.h"

static const int VIEW_W = 720, VIEW_H = 540;

static double now_us() {
    using namespace std::chrono;
    return duration<double, std::micro>(steady_clock::now().time_since_epoch()).count();
}

static double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median time of one draw() into the offscreen buffer, in microseconds.
static double time_redraw(Fl_Window *win, FTD_canvas *c, int runs) {
    win->make_current();
    Fl_Offscreen off = fl_create_offscreen(VIEW_W, VIEW_H);
    std::vector<double> t;
    fl_begin_offscreen(off);
    fl_push_clip(0, 0, VIEW_W, VIEW_H);
    fl_color(FL_WHITE);
    fl_rectf(0, 0, VIEW_W, VIEW_H);
    for (int i = 0; i < runs; i++) {
        double t0 = now_us();
        c->draw();
        t.push_back(now_us() - t0);
    }
    fl_pop_clip();
    fl_end_offscreen();
    fl_delete_offscreen(off);
    return median(t);
}

// Median time of a press resolved at the view's centre (row of the root's inputs), in microseconds.
static double time_click(FTD_canvas *c, int runs) {
    std::vector<double> t;
    for (int i = 0; i < runs; i++) {
        double t0 = now_us();
        c->select_at(VIEW_W / 2 + 100, 350, 0, 0);
        t.push_back(now_us() - t0);
    }
    return median(t);
}

// Median time of clearing the recorded places of the whole tree.
static double time_clear(ft_element *root, int runs) {
    std::vector<double> t;
    for (int i = 0; i < runs; i++) {
        double t0 = now_us();
        ft_clear_coords(root);
        t.push_back(now_us() - t0);
    }
    return median(t);
}

// Resident memory of the process now, in MB.
static double rss_mb() {
    long pages = 0, resident = 0;
    FILE *f = fopen("/proc/self/statm", "r");
    if (f) {
        if (fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        fclose(f);
    }
    return resident * (double)sysconf(_SC_PAGESIZE) / 1e6;
}

// One load of the pair, then the canvas shows it as a load does (fitted to
// the view) and draws it once: layout, recorded places and drawing. Times in
// seconds; the resident memory after each step.
struct first_draw {
    double load, draw, rss_before, rss_loaded, rss_drawn;
};

static first_draw load_and_draw(Fl_Window *win, FTD_canvas *c, const std::string &ev,
                                const std::string &gt) {
    first_draw r;
    r.rss_before = rss_mb();
    FTD_tree *holder = new FTD_tree;
    double t0 = now_us();
    if (read_faulttree_files(holder, ev.c_str(), gt.c_str()) != FTREAD_OK)
        exit(1);
    r.load = (now_us() - t0) / 1e6;
    r.rss_loaded = rss_mb();
    win->make_current();
    Fl_Offscreen off = fl_create_offscreen(VIEW_W, VIEW_H);
    fl_begin_offscreen(off);
    fl_push_clip(0, 0, VIEW_W, VIEW_H);
    c->size(VIEW_W, VIEW_H);
    t0 = now_us();
    c->set_tree(holder->root);
    c->draw();
    r.draw = (now_us() - t0) / 1e6;
    fl_pop_clip();
    fl_end_offscreen();
    fl_delete_offscreen(off);
    r.rss_drawn = rss_mb();
    c->set_tree(nullptr);
    delete holder;
    return r;
}

// Rounds of load and first draw; the first round runs in a process that
// has not drawn a tree of that size yet, as after starting the program.
static int bench_first_draw(Fl_Window *win, FTD_canvas *c, const std::string &dir) {
    ftgen_params p;
    p.gates = 20000;
    p.events = 100000;
    p.page_every = 100;
    std::string ev = dir + "/events_20000.txt", gt = dir + "/gates_20000.txt";
    if (ftgen_write_pair(ev.c_str(), gt.c_str(), p) != 0)
        return 1;
    std::vector<double> load, draw;
    for (int i = 0; i < 5; i++) {
        first_draw r = load_and_draw(win, c, ev, gt);
        if (i == 0)
            printf("20,000 gates / 100,000 events, first round: load %.3f s, first draw %.3f s; "
                   "resident %.0f MB before, %.0f MB loaded, %.0f MB drawn\n",
                   r.load, r.draw, r.rss_before, r.rss_loaded, r.rss_drawn);
        load.push_back(r.load);
        draw.push_back(r.draw);
    }
    printf("20,000 gates / 100,000 events, median of 5: load %.3f s, first draw %.3f s "
           "= %.2f x the load (target <= 2)\n",
           median(load), median(draw), median(draw) / median(load));
    return 0;
}

struct result {
    int gates;
    double fit_zoom, fit_draw, full_draw, click, clear;
};

static int run(Fl_Window *win, FTD_canvas *c, const std::string &dir, int gates, result &r) {
    ftgen_params p;
    p.gates = gates;
    p.events = gates * 3;
    p.page_every = 50;
    std::string ev = dir + "/events.txt", gt = dir + "/gates.txt";
    if (ftgen_write_pair(ev.c_str(), gt.c_str(), p) != 0)
        return 1;
    FTD_tree holder;
    if (read_faulttree_files(&holder, ev.c_str(), gt.c_str()) != FTREAD_OK)
        return 1;
    int runs = gates >= 10000 ? 15 : 41;
    c->size(VIEW_W, VIEW_H);
    c->set_tree(holder.root);
    r.gates = gates;
    r.fit_zoom = c->zoom;
    r.fit_draw = time_redraw(win, c, runs);
    c->zoom = 10; // the root at the top centre of the view
    c->position(VIEW_W / 2 - 10 * (10 + c->tree_size->w / 2), 0);
    r.full_draw = time_redraw(win, c, runs);
    r.click = time_click(c, runs);
    r.clear = time_clear(holder.root, runs);
    c->set_tree(nullptr);
    c->position(0, 0);
    return 0;
}

int main() {
    char tmpl[] = "/tmp/draw_bench_XXXXXX";
    if (!mkdtemp(tmpl))
        return 1;
    Fl_Window win(VIEW_W, VIEW_H);
    FTD_canvas *c = new FTD_canvas(0, 0, VIEW_W, VIEW_H);
    win.end();
    win.show();
    Fl::check();
    if (bench_first_draw(&win, c, tmpl) != 0) {
        fprintf(stderr, "could not generate or read the 20,000-gate pair\n");
        return 1;
    }
    std::vector<result> rows;
    for (int gates : {100, 1000, 10000}) {
        result r;
        if (run(&win, c, tmpl, gates, r) != 0) {
            fprintf(stderr, "could not generate or read the %d-gate tree\n", gates);
            return 1;
        }
        rows.push_back(r);
    }
    printf("%8s %10s %14s %14s %12s %14s\n", "gates", "fit zoom", "redraw fit us", "redraw 100% us",
           "click us", "clear places us");
    for (const result &r : rows)
        printf("%8d %10.4f %14.1f %14.1f %12.1f %14.1f\n", r.gates, r.fit_zoom, r.fit_draw,
               r.full_draw, r.click, r.clear);
    printf("redraw at 100%%: 10,000 / 100 gates = %.2f (target <= 3)\n",
           rows[2].full_draw / rows[0].full_draw);
    printf("redraw fitted:   10,000 / 1,000 gates = %.2f (target < 10)\n",
           rows[2].fit_draw / rows[1].fit_draw);
    std::string cleanup = std::string("rm -rf ") + tmpl;
    return system(cleanup.c_str()) == 0 ? 0 : 1;
}
