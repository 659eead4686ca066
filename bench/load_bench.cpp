// Load time of read_faulttree_files over generated FaultTree+ pairs.
//
// For each size: writes a pair (gates, 5 x gates events) into a temporary
// directory, loads it several times and prints the median time and the peak
// resident memory. Usage: load_bench [dir] (default: a new directory in /tmp).
// The pair files stay in place for bench/load_vs_awk.sh.
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ftgen.h"
#include "ftread.h"

static double load_once(const std::string &ev, const std::string &gt, int *rc) {
    FTD_tree *holder = new FTD_tree;
    auto t0 = std::chrono::steady_clock::now();
    *rc = read_faulttree_files(holder, ev.c_str(), gt.c_str());
    auto t1 = std::chrono::steady_clock::now();
    delete holder; // release is not part of the load time
    return std::chrono::duration<double>(t1 - t0).count();
}

static double median_load(const std::string &ev, const std::string &gt, int runs, int *rc) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) t.push_back(load_once(ev, gt, rc));
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

static long peak_rss_kb() {
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

int main(int argc, char **argv) {
    std::string dir = argc > 1 ? argv[1] : "";
    if (dir.empty()) {
        char tmpl[] = "/tmp/ftd_load_bench_XXXXXX";
        if (mkdtemp(tmpl) == nullptr) return 1;
        dir = tmpl;
    }
    const int sizes[] = {2000, 20000, 200000};
    printf("dir %s\n%8s %8s %10s %12s %10s %12s\n", dir.c_str(), "gates", "events", "MB", "median s",
           "result", "peak RSS MB");
    for (int gates : sizes) {
        ftgen_params p;
        p.gates = gates;
        p.events = 5 * gates;
        p.page_every = 100;
        std::string ev = dir + "/events_" + std::to_string(gates) + ".txt";
        std::string gt = dir + "/gates_" + std::to_string(gates) + ".txt";
        if (ftgen_write_pair(ev.c_str(), gt.c_str(), p) != 0) return 1;
        struct stat se, sg;
        stat(ev.c_str(), &se);
        stat(gt.c_str(), &sg);
        int rc = -1;
        const double med = median_load(ev, gt, gates >= 200000 ? 5 : 7, &rc);
        printf("%8d %8d %10.1f %12.4f %10d %12.1f\n", gates, p.events,
               double(se.st_size + sg.st_size) / 1e6, med, rc, double(peak_rss_kb()) / 1024.0);
        fflush(stdout);
    }
    return 0;
}
