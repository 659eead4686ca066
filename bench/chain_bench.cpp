// A chain of gates through the whole program: gate C<i> has the single input
// "G C<i+1>", the last gate one basic event. Loads it in the main window
// (the first load of the process, as after starting the program), fits,
// draws at the fitted zoom and at 100%, presses on a node, exports the SVG,
// checks it with "xmllint --noout --huge", closes it and reads the pair once
// more without a window, printing the time of each step and the resident
// memory after it (now and the most so far). (draw_bench times the chain's
// first load and first draw alone, in fresh processes.) Runs on the process's own
// stack (its limit is printed). Usage, under an X server (xvfb-run -a):
// chain_bench [gates] [--no-xmllint] (default 1,000,000 gates; the check of
// a million-gate document takes xmllint half a minute and 10 GB).
#include <FL/Fl.H>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FTD_wnd_handler.h"
#include "dialogs.h"
#include "fresh.h"
#include "ftgen.h"

static double peak_mb(int who) {
    struct rusage ru;
    getrusage(who, &ru);
    return ru.ru_maxrss / 1024.0;
}

static double step_start;

// Prints the step's time and the resident memory after it; returns the
// resident memory now, in MB.
static double step(const char *what) {
    double t = bench_now();
    const double rss = bench_status_mb("VmRSS");
    printf("%-34s %9.3f s  RSS %8.1f MB  peak %8.1f MB\n", what, t - step_start, rss,
           bench_status_mb("VmHWM"));
    fflush(stdout);
    step_start = bench_now();
    return rss;
}

int main(int argc, char **argv) {
    long gates = argc > 1 ? atol(argv[1]) : 1000000;
    const bool check = !(argc > 2 && strcmp(argv[2], "--no-xmllint") == 0);
    char tmpl[] = "/tmp/chain_bench_XXXXXX";
    if (gates < 1 || !mkdtemp(tmpl))
        return 1;
    std::string dir = tmpl, ev = dir + "/events.txt", gt = dir + "/gates.txt";
    std::string svg = dir + "/chain.svg";
    struct rlimit stack;
    getrlimit(RLIMIT_STACK, &stack);
    printf("chain of %ld gates; stack limit %ld KB\n", gates, (long)(stack.rlim_cur / 1024));
    fflush(stdout);
    if (ftgen_write_chain(ev.c_str(), gt.c_str(), gates) != 0)
        return 1;
    dlg_responder answer; // an alert (the zoom warning) is printed, as if read and closed
    answer.alert = [](const std::string &text) { printf("  alert: %s\n", text.c_str()); };
    dlg_set_responder(&answer);
    FTD_wnd_handler *h = new FTD_wnd_handler();
    h->window->show();
    Fl::check();
    step_start = bench_now();
    int rc = h->load_files(ev.c_str(), gt.c_str());
    step("load in the main window and fit");
    if (rc != 0)
        return 1;
    Fl::check();
    step("first draw at the fitted zoom");
    ft_touch(); // as after an edit: the next fit lays the tree out anew
    h->canvas->set_tree(h->canvas->tree);
    step("fit alone, laid out anew");
    Fl::check();
    h->canvas->redraw_area();
    Fl::check();
    step("draw at the fitted zoom again");
    h->on_full_size();
    Fl::check();
    step("draw at 100%");
    Fl::e_x = h->canvas->x() + 10 * 20 + 2; // the third node: (20, 50)
    Fl::e_y = h->canvas->y() + 10 * 52;
    h->canvas->handle(FL_PUSH);
    Fl::check();
    step(h->canvas->selected() ? "press (a node selected)" : "press (NOTHING selected)");
    rc = h->write_svg_file(svg.c_str());
    step(rc == 0 ? "SVG export" : "SVG export (FAILED)");
    if (check) {
        rc = system(("xmllint --noout --huge " + svg).c_str());
        printf("%-34s %9.3f s  peak RSS %8.1f MB (xmllint)\n",
               rc == 0 ? "xmllint: well-formed" : "xmllint: NOT WELL-FORMED",
               bench_now() - step_start, peak_mb(RUSAGE_CHILDREN));
        step_start = bench_now();
    }
    h->on_close();
    Fl::check();
    step("close");
    FTD_tree *alone = new FTD_tree;
    const int read_rc = read_faulttree_files(alone, ev.c_str(), gt.c_str());
    delete alone;
    step("read the pair alone, then release");
    (void)!system(("rm -rf " + dir).c_str());
    return rc == 0 && read_rc == 0 ? 0 : 1;
}
