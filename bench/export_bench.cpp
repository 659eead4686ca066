// Export speed: time of one SVG export of generated trees beside the time a
// plain copy (cp) of the written file takes, and of a small tree whose one
// basic event has a long description. Prints medians of several runs.
#include <sys/stat.h>
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
#include "saFaultTree.h"

static double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

static double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median seconds of one export of canvas into path.
static double time_export(FTD_canvas &canvas, const std::string &path, int runs) {
    std::vector<double> t;
    for (int r = 0; r < runs; r++) {
        double t0 = now();
        FILE *out = fopen(path.c_str(), "w");
        if (out == nullptr || canvas.write_svg(out) != 0 || fclose(out) != 0) {
            fprintf(stderr, "export to %s failed\n", path.c_str());
            exit(1);
        }
        t.push_back(now() - t0);
    }
    return median(t);
}

// Median seconds of "cp path copy".
static double time_copy(const std::string &path, int runs) {
    std::vector<double> t;
    std::string cmd = "cp " + path + " " + path + ".copy";
    for (int r = 0; r < runs; r++) {
        double t0 = now();
        if (system(cmd.c_str()) != 0)
            exit(1);
        t.push_back(now() - t0);
    }
    return median(t);
}

// Loads a generated tree of the given number of gates and measures it.
// Returns the export's median seconds.
static double bench(const std::string &dir, int gates, int runs) {
    ftgen_params p;
    p.gates = gates;
    p.events = gates * 3;
    p.page_every = 50;
    std::string events = dir + "/events.txt", gates_file = dir + "/gates.txt";
    FTD_tree holder;
    if (ftgen_write_pair(events.c_str(), gates_file.c_str(), p) != 0 ||
        read_faulttree_files(&holder, events.c_str(), gates_file.c_str()) != 0) {
        fprintf(stderr, "cannot build the tree of %d gates\n", gates);
        exit(1);
    }
    FTD_canvas canvas(0, 0, 720, 540);
    canvas.set_tree(holder.root);
    std::string out = dir + "/export.svg";
    double te = time_export(canvas, out, runs);
    double tc = time_copy(out, runs);
    struct stat st;
    stat(out.c_str(), &st);
    double mb = st.st_size / 1e6;
    printf("%6d gates  %9.2f MB  export %8.2f ms (%7.1f MB/s)  cp %8.2f ms (%7.1f MB/s)  "
           "export/cp throughput %.3f\n",
           gates, mb, te * 1e3, mb / te, tc * 1e3, mb / tc, tc / te);
    return te;
}

// A root gate over two basic events, the first with a description of about
// mb megabytes of prose (words, blanks, a few line breaks). Returns the
// export's median seconds.
static double bench_long_text(const std::string &dir, int mb, int runs) {
    ftgen_params p;
    p.gates = 1;
    p.events = 2;
    p.fanout = 2;
    std::string events = dir + "/events.txt", gates_file = dir + "/gates.txt";
    FTD_tree holder;
    if (ftgen_write_pair(events.c_str(), gates_file.c_str(), p) != 0 ||
        read_faulttree_files(&holder, events.c_str(), gates_file.c_str()) != 0) {
        fprintf(stderr, "cannot build the tree for the long text\n");
        exit(1);
    }
    const std::string sentence = "Loss of cooling water flow to the heat exchanger of train A; ";
    std::string desc;
    desc.reserve(size_t(mb) << 20);
    for (int k = 1; desc.size() < (size_t(mb) << 20); k++)
        desc += k % 100 == 0 ? sentence + "\n" : sentence;
    ft_set_desc(ft_list_get(ft_get_children(holder.root), 0), desc.c_str());
    FTD_canvas canvas(0, 0, 720, 540);
    canvas.set_tree(holder.root);
    double te = time_export(canvas, dir + "/export.svg", runs);
    printf("%6d MB description  export %10.2f ms (%7.2f MB/s)\n", mb, te * 1e3, mb / te);
    return te;
}

int main() {
    char tmpl[] = "/tmp/ftd-export-bench-XXXXXX";
    if (mkdtemp(tmpl) == nullptr)
        return 1;
    std::string dir = tmpl;
    const int runs = 7;
    double small = bench(dir, 1000, runs);
    double large = bench(dir, 10000, runs);
    printf("growth: 10 x the gates takes %.2f x the time (linear: 10)\n", large / small);
    fflush(stdout);
    double t1 = bench_long_text(dir, 1, 3);
    fflush(stdout);
    bench_long_text(dir, 4, 3);
    fflush(stdout);
    double t16 = bench_long_text(dir, 16, 3);
    printf("growth: 16 x the text takes %.2f x the time (linear: 16)\n", t16 / t1);
    return system(("rm -rf " + dir).c_str()) == 0 ? 0 : 1;
}
