// Load time of read_faulttree_files over generated FaultTree+ pairs, side by
// side with awk splitting the same files, the time hostile inputs take to end
// with their result code, and the figures behind the readers' speed tricks.
//
// Goal: a pair of 20,000 gates / 100,000 events loads in at most twice the
// time awk takes to split it into cells, in both shapes below, and ten times
// the input takes at most twelve times the time. Every hostile input ends
// with its result code in well under a second.
//
// Shapes: "tree" is ftgen's default (fanout 8, fresh events in file order, a
// tenth shared); "spread" gives every gate a description, two gate inputs and
// three event inputs spread over the whole events file, a page flag on every
// 50th gate, and five-column events rows with a "Fixed" model.
//
// Last measured (five runs on an 8-core machine shared with other work), each
// load in a fresh process: the 20,000-gate pairs load in 1.47 to 1.78 (tree)
// and 1.32 to 1.65 (spread) times awk's time, the 200,000-gate pairs in 1.83
// to 2.25 and 1.88 to 1.99 times. So the goal holds for a first load of the
// 20,000-gate pairs; the large ones reach it on some runs.
// Where a first load of the 20,000-gate tree pair goes (26 to 28 ms against
// awk's 16): the scanners' automaton and the reads about 14 ms (the bare
// scanners' row; that alone is 0.85 of awk's time), first writes to the model's
// 20 MB and the name index's 7.8 MB about 2 ms (on large pages: about 200
// faults in the whole process, where 4 KB pages took about 13,000, each
// costing about 1.6 us here), the readers' handlers about 11 ms (name-index
// look-ups that miss the caches, making elements, list chunks; hashing each
// name cell under the process's key with SipHash-1-3 about 1.5 ms, some 5 %
// of the first load, where an unkeyed multiply-and-shift hash takes about a
// third of that but lets a file choose its collisions). Resident memory
// after a first load: 23.0 MB (tree and spread; large pages are resident
// whole), 187 and 189 MB for the 200,000-gate pairs. Ten times the
// input takes 9.2 to 12.0 times the time. The large pairs lose to their size:
// their name index (74 MB) and the 250 MB they build no longer stay in the
// caches, so their random look-ups cost more.
//
// Hostile rows (one load each in this process): every one ends in well under
// a second. Searched rows: the gates reader's record answers the rows that
// move a part of the tree back and forth and the rows of one name held in
// several places (0 to 0.03 steps of its meter per byte), which load in 0.07
// to 0.25 s at 4 MB; rows of two names held twice in turn need a search each
// and are refused at the meter's budget: 0.09, 0.14 and 0.35 s at 0.1, 1 and
// 4 MB. The 200,000-gate pair with one event of the root's turned into a
// gate loads in 1.19 times the pair's time (the drawn places are counted
// then), with a gate named twice in 1.00 times (fresh processes, medians of
// 15).
//
// Tricks that stay, each with the row that shows its gain (same machine), or
// plainly cheaper:
// - the hand-written name index (ftnames.h): about 1.7 times faster than
//   std::unordered_map (with its unkeyed std::hash) over the same 100,000
//   names, every name hashed under the process's key;
// - asking for a name's index slot as its cell is read, looked up at the row's
//   end with the hash taken at the cell (prefetch in ftnames.h): look-ups
//   about 1.2 to 1.45 times faster in the million names of the large pairs;
// - the events reader appending the names' records as the rows end and giving
//   them their slots once the events are read (name_index::append,
//   index_appended): about 1.8 times faster than putting each name into a
//   growing table, and the events are not read a second time to index them;
// - the index's slot table mapped with its pages made at once (ft_pages_map,
//   FT_PAGES_NOW): 1.4 to 1.9 times faster to fill than calloc'd pages, each
//   of which faults twice when a probe reads it before writing it;
// - elements, texts and list chunks cut from the model's slabs (ftslab.h):
//   100,000 basic events made 6 to 7 times faster than with one malloc each
//   (1.2 times on 4 KB pages), in 1 to 2 % less memory;
// - the model's slabs and the name index's records on large pages
//   (ft_pages_map): first writes to 26 MB 7 times faster than on 4 KB pages,
//   in the same memory; first loads of the 20,000-gate pairs take 25 to 30 %
//   less time;
// - an element and its texts in one block (ft_init_texts): basic events made
//   about 1.2 times faster (in the same memory: slab blocks carry no header);
// - the pool of zero-filled positions blocks (ft_pool, ftslab.h): about
//   1.1 MB resident for 120,000 blocks (the row's own list of them) against
//   6.3 MB with one calloc each, none of it touched while loading; a walk
//   that reads a flag of every block as fast as over calloc'd blocks or
//   faster;
// - input blocks of 128 KiB: scanning 3 to 4 % faster than with flex's
//   16 KiB;
// - (plainly cheaper) a data cell's text used where it lies in the scanner's
//   buffer until its row ends, not copied; the per-cell steps of the table
//   scanner inline; a later gates row keeping the name its gate was found by
//   instead of comparing it again.
// Gone, for measuring no gain: the hand-written table and prefetch of the
// drawn-places count (std::unordered_map does as well, and a tree without
// events turned into gates is no longer counted at all); an empty volatile asm
// beside each prefetch (the compiler keeps the prefetch without it); asking
// for the index records of a row's look-ups before making them (at the row's
// end or a cell later); one token for a cell together with the TABs or the
// line end after it (a quarter fewer tokens, loads no faster); one search for
// both Notes1 markers in place of two; the model's slabs and the index's
// records with their pages made at once (2.5 to 7 % faster on 4 KB pages, no
// faster on large pages, and the last slab resident whole). Not taken: flex's fast table form
// (-CF), 3 to 4 % faster scanning, reads past its tables on some bytes above
// 127 (the fuzzer's address sanitizer reports it), so the full form stays.
//
// Usage: load_bench [dir] (default: a new directory in /tmp, removed at the
// end). Each load runs in a fresh process (this program started again), as
// the first load after starting the displayer does; awk and the loads run
// alternately; each figure is a median.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fresh.h"
#include "ftgen.h"
#include "ftnames.h"
#include "ftread.h"
#include "ftslab.h"
#include "scanrow.h"

namespace {

double seconds_of(const std::function<void()> &work) {
    auto t0 = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Loads the pair once; the holder's release (when asked for) is not part of
// the time.
double load_once(const std::string &ev, const std::string &gt, int *rc, bool keep = false) {
    FTD_tree *holder = new FTD_tree;
    const double s =
        seconds_of([&] { *rc = read_faulttree_files(holder, ev.c_str(), gt.c_str()); });
    if (!keep)
        delete holder;
    return s;
}

// awk counting the cells of both files, its output thrown away. vfork, so
// that the loads after it do not pay for copy-on-write faults on the
// benchmark's own pages.
double awk_once(const std::string &ev, const std::string &gt) {
    return seconds_of([&] {
        const pid_t pid = vfork();
        if (pid == 0) {
            execlp("awk", "awk", "-F\t", "{n+=NF} END {print n > \"/dev/null\"}", ev.c_str(),
                   gt.c_str(), nullptr);
            _exit(127);
        }
        waitpid(pid, nullptr, 0);
    });
}

long rss_kb() {
    long pages = 0, resident = 0;
    if (FILE *f = fopen("/proc/self/statm", "r")) {
        if (fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// work() in a forked child, on a heap and pages of its own: the numbers it
// returns (at most eight).
std::vector<double> in_child(const std::function<std::vector<double>()> &work) {
    int fd[2];
    if (pipe(fd) != 0)
        exit(1);
    fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        const std::vector<double> v = work();
        (void)!write(fd[1], v.data(), v.size() * sizeof(double));
        _exit(0);
    }
    close(fd[1]);
    double v[8];
    const ssize_t n = read(fd[0], v, sizeof v);
    close(fd[0]);
    waitpid(pid, nullptr, 0);
    return std::vector<double>(v, v + (n > 0 ? n / ssize_t(sizeof(double)) : 0));
}

double megabytes(const std::string &a, const std::string &b) {
    struct stat sa {
    }, sb{};
    stat(a.c_str(), &sa);
    stat(b.c_str(), &sb);
    return double(sa.st_size + sb.st_size) / 1e6;
}

struct shape {
    const char *name;
    ftgen_params params;
};

shape tree_shape(int gates) {
    shape s{"tree", {}};
    s.params.gates = gates;
    s.params.events = 5 * gates;
    s.params.page_every = 100;
    return s;
}

shape spread_shape(int gates) {
    shape s = tree_shape(gates);
    s.name = "spread";
    s.params.fanout = 5;
    s.params.page_every = 50;
    s.params.spread = true;
    s.params.short_events = true;
    return s;
}

// One round in a fresh process (load_bench --load EVENTS GATES): the first
// load of the process, then, after its release, a second load on the warm
// heap. Prints both times in seconds, the first load's result, and the
// resident memory in MB after the first load and at most.
int load_child(const char *ev, const char *gt) {
    int rc = -1, again = -1;
    const double first = load_once(ev, gt, &rc, true);
    const double loaded = bench_status_mb("VmRSS"), peak = bench_status_mb("VmHWM");
    const double warm = load_once(ev, gt, &again, false);
    printf("%.5f %.5f %d %.1f %.1f\n", first, warm, rc, loaded, peak);
    fflush(stdout);
    _exit(0);
}

// One row per pair: the load in a fresh process and awk, run alternately,
// medians side by side and their ratio; the growth of the load time from the
// previous (ten times smaller) pair; the load on a warm heap; the resident
// memory after the first load and at most.
void pair_rows(const std::string &dir) {
    printf("%-7s %7s %8s %6s %8s %8s %8s %7s %8s %6s %7s %7s\n", "shape", "gates", "events", "MB",
           "load s", "awk s", "load/awk", "growth", "warm s", "result", "MB res", "MB peak");
    const std::vector<std::vector<shape>> series = {
        {tree_shape(2000), tree_shape(20000), tree_shape(200000)},
        {spread_shape(2000), spread_shape(20000), spread_shape(200000)}};
    for (const auto &sizes : series) {
        double previous = 0;
        for (const shape &s : sizes) {
            const std::string tag = std::string(s.name) + "_" + std::to_string(s.params.gates);
            const std::string ev = dir + "/events_" + tag + ".txt",
                              gt = dir + "/gates_" + tag + ".txt";
            if (ftgen_write_pair(ev.c_str(), gt.c_str(), s.params) != 0)
                exit(1);
            std::vector<std::vector<double>> rounds;
            std::vector<double> awks;
            for (int run = 0; run < (s.params.gates >= 200000 ? 7 : 15); ++run) {
                std::vector<double> r;
                if (bench_fresh({"--load", ev, gt}, r) != 0 || r.size() != 5)
                    exit(1);
                rounds.push_back(r);
                awks.push_back(awk_once(ev, gt));
            }
            const std::vector<double> m = bench_column_medians(rounds);
            const double load = m[0], awk = bench_median(awks);
            char growth[16] = "-";
            if (previous > 0)
                snprintf(growth, sizeof growth, "%.2f", load / previous);
            printf("%-7s %7d %8d %6.1f %8.4f %8.4f %8.2f %7s %8.4f %6d %7.1f %7.1f\n", s.name,
                   s.params.gates, s.params.events, megabytes(ev, gt), load, awk, load / awk,
                   growth, m[1], int(m[2]), m[3], m[4]);
            fflush(stdout);
            previous = load;
            remove(ev.c_str());
            remove(gt.c_str());
        }
    }
}

void write_file(const std::string &path, const std::string &head, char fill, long count,
                const std::string &tail) {
    FILE *f = fopen(path.c_str(), "wb");
    if (f == nullptr)
        exit(1);
    fputs(head.c_str(), f);
    const std::string block(1 << 20, fill);
    for (long done = 0; done < count; done += long(block.size()))
        fwrite(block.data(), 1, size_t(std::min(long(block.size()), count - done)), f);
    fputs(tail.c_str(), f);
    fclose(f);
}

// Rows that make the gates reader search the tree, or that its record
// answers, each shape at about 100 KB, 1 MB and 4 MB of gates file (scale 1,
// 10 and 40), one load each: the time, the result code and the meter's
// steps per byte of the gates file.
// The gates file of searched row shape `shape` (a row of searched_rows) at
// scale k; its events file goes into *events.
std::string searched_gates(int shape, int k, std::string *events) {
    switch (shape) {
    case 0:
    case 1:
        return ftgen_part_moved_back_and_forth(1000 * k, 1000 * k, shape == 1, events);
    case 6:
        return ftgen_moving_gates(1000 * k, 5000 * k, events);
    case 7:
        return ftgen_alternating_gates(5000 * k, 2000 * k, events);
    default: // the ftgen_named shapes, in their order
        return ftgen_named_gates(ftgen_named(shape - 2), (shape == 5 ? 1000 : 2500) * k, 5000 * k,
                                 events);
    }
}

void searched_rows(const std::string &dir) {
    const char *shapes[] = {
        "part of gates X moved", "part of inputs naming Z moved", "A below two events",
        "gate and event A",      "A, input to event dropped",     "gate and event A, chain",
        "moving part",           "A and B held twice, in turn"};
    const std::string ev = dir + "/ev_searched", gt = dir + "/ga_searched";
    printf("\n%-30s %5s %7s %9s %6s %12s\n", "searched rows", "scale", "MB", "load s", "result",
           "steps/byte");
    for (int shape = 0; shape < 8; ++shape)
        for (int scale : {1, 10, 40}) {
            std::string events;
            const std::string gates = searched_gates(shape, scale, &events);
            write_file(gt, gates, 'x', 0, "");
            write_file(ev, events, 'x', 0, "");
            FTD_tree *holder = new FTD_tree;
            ftread_meter meter;
            int rc = -1;
            const double seconds = seconds_of(
                [&] { rc = read_faulttree_files(holder, ev.c_str(), gt.c_str(), &meter); });
            delete holder;
            printf("%-30s %5d %7.2f %9.4f %6d %12.3f\n", shapes[shape], scale, gates.size() / 1e6,
                   seconds, rc, double(meter.steps) / double(gates.size()));
            fflush(stdout);
        }
    remove(ev.c_str());
    remove(gt.c_str());
}

// The 200,000-gate tree pair as it is and with one irregular row after its
// first row: an event of the root's turned into a gate, or a row for gate
// G_1 that makes a second gate G_3 (the row of G_1 fills it again later).
// Each load in a fresh process, alternately, medians of seven rounds.
void irregular_rows(const std::string &dir) {
    const shape s = tree_shape(200000);
    const std::string ev = dir + "/events_irregular.txt", gt = dir + "/gates_irregular.txt";
    if (ftgen_write_pair(ev.c_str(), gt.c_str(), s.params) != 0)
        exit(1);
    const struct {
        const char *what, *row;
    } rows[] = {{"as generated", nullptr},
                {"an event turned into a gate", "BE_0\tOR\tturned into a gate"},
                {"a gate named twice", "G_1\tOR\tfilled early\tG G_3"}};
    std::vector<std::string> files;
    for (const auto &r : rows) {
        if (r.row == nullptr) {
            files.push_back(gt);
            continue;
        }
        std::string text, line = std::string(r.row);
        for (int tabs = int(std::count(line.begin(), line.end(), '\t')); tabs < 20; ++tabs)
            line += '\t';
        line += "\tOff\t\r\n";
        FILE *f = fopen(gt.c_str(), "rb");
        char buf[1 << 16];
        for (size_t n; f != nullptr && (n = fread(buf, 1, sizeof buf, f)) > 0;)
            text.append(buf, n);
        if (f != nullptr)
            fclose(f);
        const size_t second = text.find("\r\n", text.find("\r\n") + 2) + 2; // after row 1
        text.insert(second, line);
        files.push_back(dir + "/gates_irregular" + std::to_string(files.size()) + ".txt");
        write_file(files.back(), text, 'x', 0, "");
    }
    std::vector<std::vector<double>> times(files.size());
    for (int round = 0; round < 7; ++round)
        for (size_t i = 0; i < files.size(); ++i) {
            std::vector<double> r;
            if (bench_fresh({"--load", ev, files[i]}, r) != 0 || r.size() != 5 || r[2] != 0)
                exit(1);
            times[i].push_back(r[0]);
        }
    printf("\n%-30s %9s %9s\n", "200,000 gates, one row", "load s", "ratio");
    for (size_t i = 0; i < files.size(); ++i) {
        printf("%-30s %9.4f %9.2f\n", rows[i].what, bench_median(times[i]),
               bench_median(times[i]) / bench_median(times[0]));
        remove(files[i].c_str());
    }
    remove(ev.c_str());
    fflush(stdout);
}

// An events file of n names of 16 bytes whose hashes under a key other than
// the process's fall into the first 4,096 slots of the name index's table (n
// at most 98,304, so that the table has 2^17 slots): under that key every
// look-up would pass over nearly every name before it.
std::string crowded_events(int n) {
    const name_hash_key own = name_index::set_key({1, 2});
    std::string events = "Name\r\n";
    char name[17];
    for (unsigned long long i = 0, found = 0; found < (unsigned long long)n; ++i) {
        snprintf(name, sizeof name, "C%015llx", i);
        if ((name_index::hash_of(name, 16) & 0x1F000) == 0 && ++found)
            events += std::string(name) + "\r\n";
    }
    name_index::set_key(own);
    return events;
}

// Hostile inputs: each row's time is one load, its result the code it ends with.
void hostile_rows(const std::string &dir) {
    const std::string ev = dir + "/ev", ga = dir + "/ga";
    write_file(ev, "Name\r\nX\r\nY\r\n", 'x', 0, "");
    write_file(ga, "Name\r\nTOP\r\n", 'x', 0, "");
    const long nul = 256 << 10, big = (1L << 30) + (1L << 20);
    write_file(dir + "/ev_nul", "Name\r\nA", '\0', nul, "");
    write_file(dir + "/ga_nul", "Name\tDescription\r\nTOP\tD", '\0', nul, "\r\n");
    write_file(dir + "/ga_cycle", ftgen_cycle_gates(16000, 1600), 'x', 0, "");
    std::string ord_events;
    write_file(dir + "/ga_order", ftgen_reordering_gates(60000, &ord_events), 'x', 0, "");
    write_file(dir + "/ev_order", ord_events, 'x', 0, "");
    // A gate name held by two gates or one, below a tree of every event,
    // filled again row after row: gates file ga_refill<copies>_<rows>, its
    // events file ev_refill_<events>.
    const struct {
        int copies, rows, events;
    } refills[] = {{2, 4000, 20000}, {2, 4000, 40000}, {2, 40000, 40000}, {1, 40000, 40000}};
    std::vector<std::string> refill_files;
    for (const auto &r : refills) {
        std::string events;
        const std::string gates = ftgen_refill_gates(r.events, r.rows, r.copies, &events);
        refill_files.push_back("ev_refill_" + std::to_string(r.events));
        write_file(dir + "/" + refill_files.back(), events, 'x', 0, "");
        refill_files.push_back("ga_refill" + std::to_string(r.copies) + "_" +
                               std::to_string(r.rows) + "_" + std::to_string(r.events));
        write_file(dir + "/" + refill_files.back(), gates, 'x', 0, "");
    }
    write_file(dir + "/ev_crowded", crowded_events(80000), 'x', 0, "");
    write_file(dir + "/ev_sparse", "Name\r\nA", 'x', 0, "");
    if (truncate((dir + "/ev_sparse").c_str(), 10 << 20) != 0)
        exit(1);
    mkfifo((dir + "/fifo").c_str(), 0600);
    write_file(dir + "/ev_huge", "Name\r\n", 'x', big, "\r\n");
    const struct {
        const char *what;
        std::string events, gates;
    } rows[] = {
        {"events cell of 256 KiB NUL", dir + "/ev_nul", ga},
        {"gates cell of 256 KiB NUL", ev, dir + "/ga_nul"},
        {"sparse events file, 10 MB", dir + "/ev_sparse", ga},
        {"80,000 names crowded, other key", dir + "/ev_crowded", ga},
        {"cycle check, 16,000-gate chain", ev, dir + "/ga_cycle"},
        {"cycle check, blocks out of order", dir + "/ev_order", dir + "/ga_order"},
        {"two A refilled, 4,000 x 20,000", dir + "/ev_refill_20000",
         dir + "/ga_refill2_4000_20000"},
        {"two A refilled, 4,000 x 40,000", dir + "/ev_refill_40000",
         dir + "/ga_refill2_4000_40000"},
        {"two A refilled, 40,000 x 40,000", dir + "/ev_refill_40000",
         dir + "/ga_refill2_40000_40000"},
        {"one A refilled, 40,000 x 40,000", dir + "/ev_refill_40000",
         dir + "/ga_refill1_40000_40000"},
        {"events FIFO", dir + "/fifo", ga},
        {"gates FIFO", ev, dir + "/fifo"},
        {"/dev/zero", "/dev/zero", ga},
        {"cell of 1 GiB + 1 MiB", dir + "/ev_huge", ga},
    };
    printf("\n%-32s %9s %6s\n", "hostile input", "load s", "result");
    for (const auto &r : rows) {
        int rc = -1;
        const double s = load_once(r.events, r.gates, &rc);
        printf("%-32s %9.4f %6d\n", r.what, s, rc);
        fflush(stdout);
    }
    searched_rows(dir);
    for (const char *name : {"ev", "ga", "ev_nul", "ga_nul", "ev_crowded", "ga_cycle", "ev_order",
                             "ga_order", "ev_sparse", "fifo", "ev_huge"})
        remove((dir + "/" + name).c_str());
    for (const std::string &name : refill_files)
        remove((dir + "/" + name).c_str());
}

// Names "BE_<n>" as the generated events files have them, and the look-ups
// that the spread pair's gates make (three inputs per gate).
struct name_set {
    std::vector<std::string> names;
    std::vector<const char *> lookups;
    explicit name_set(int events) {
        for (int i = 0; i < events; ++i)
            names.push_back("BE_" + std::to_string(i));
        for (int i = 0; i < events / 5; ++i)
            for (int k = 0; k < 3; ++k)
                lookups.push_back(names[size_t((7L * i + 13L * k) % events)].c_str());
    }
};

// Keeps the look-ups of a timed loop from being optimised away.
volatile long sink;

void trick_row(const char *what, double ours, double standard, const char *unit) {
    printf("%-40s %9.1f%s %9.1f%s %7.2f\n", what, ours, unit, standard, unit, standard / ours);
}

// The name index against std::unordered_map over the same names: index the
// events, then look the gates' inputs up.
void name_index_row(const name_set &set) {
    std::vector<double> ours, standard;
    long found = 0;
    for (int run = 0; run < 9; ++run) {
        ours.push_back(seconds_of([&] {
            name_index index;
            index.reserve(set.names.size());
            for (const std::string &n : set.names)
                index.get(n.c_str());
            for (const char *n : set.lookups)
                found += index.find(n) != nullptr;
        }));
        standard.push_back(seconds_of([&] {
            std::unordered_map<std::string_view, name_entry> index;
            index.reserve(set.names.size());
            for (const std::string &n : set.names)
                index[n];
            for (const char *n : set.lookups)
                found += long(index.count(n));
        }));
    }
    sink = found;
    trick_row("name index / std::unordered_map, 100,000", bench_median(ours) * 1e3,
              bench_median(standard) * 1e3, "ms");
}

// Look-ups in the index of the 200,000-gate pair's million events, three a
// row as the spread pair's gates make them, each name hashed once: with the
// slots asked for one row ahead (the gates reader asks at each cell and
// looks up at the row's end), against plain look-ups.
void prefetch_row(const name_set &set) {
    name_index index;
    index.reserve(set.names.size());
    for (const std::string &n : set.names)
        index.get(n.c_str());
    const std::vector<const char *> &l = set.lookups;
    std::vector<size_t> len;
    for (const char *n : l)
        len.push_back(strlen(n));
    std::vector<double> early, plain;
    long found = 0;
    for (int run = 0; run < 9; ++run) {
        early.push_back(seconds_of([&] {
            uint32_t next[3], now[3];
            for (size_t i = 0; i + 3 <= l.size(); i += 3) {
                for (size_t k = 0; k < 3 && i + 3 + k < l.size(); ++k)
                    index.prefetch(next[k] = name_index::hash_of(l[i + 3 + k], len[i + 3 + k]));
                for (size_t k = 0; k < 3; ++k)
                    found +=
                        index.find(l[i + k], len[i + k],
                                   i == 0 ? name_index::hash_of(l[k], len[k]) : now[k]) != nullptr;
                std::copy(next, next + 3, now);
            }
        }));
        plain.push_back(seconds_of([&] {
            for (size_t i = 0; i < l.size(); ++i)
                found += index.find(l[i], len[i]) != nullptr;
        }));
    }
    sink = found;
    trick_row("slots asked for early / plain, 1,000,000", bench_median(early) * 1e3,
              bench_median(plain) * 1e3, "ms");
}

// 100,000 basic events as the events reader makes them, the element and its
// three texts in one allocation (ft_init_texts) against an element and an
// allocation per text (ft_init and the setters): the time to make them and
// the memory they take.
void element_texts_rows() {
    const int n = 100000;
    std::vector<std::string> names, descs;
    for (int i = 0; i < n; ++i) {
        names.push_back("BE_" + std::to_string(i));
        descs.push_back("Basic event number " + std::to_string(i));
    }
    std::vector<ft_element *> made;
    made.reserve(size_t(n));
    auto make = [&](bool together) {
        for (int i = 0; i < n; ++i) {
            const std::string &name = names[size_t(i)], &desc = descs[size_t(i)];
            made.push_back(together ? ft_init_texts(name.c_str(), name.size(), desc.c_str(),
                                                    desc.size(), "1.0E-2", 6)
                                    : ft_set_prob(ft_set_desc(ft_set_name(ft_init(), name.c_str()),
                                                              desc.c_str()),
                                                  "1.0E-2"));
        }
    };
    auto release = [&made] {
        for (ft_element *e : made)
            ft_free_element(e);
        made.clear();
    };
    auto memory_of = [&](bool together) { // resident MB, in a fresh child
        return in_child([&] {
            const long before = rss_kb();
            make(together);
            return std::vector<double>{(rss_kb() - before) / 1024.0};
        })[0];
    };
    std::vector<double> together, apart;
    for (int run = 0; run < 9; ++run) {
        together.push_back(seconds_of([&] { make(true); }));
        release();
        apart.push_back(seconds_of([&] { make(false); }));
        release();
    }
    trick_row("texts in the element / apart, time", bench_median(together) * 1e3,
              bench_median(apart) * 1e3, "ms");
    trick_row("texts in the element / apart, memory", memory_of(true), memory_of(false), "MB");
}

// The events reader's way of indexing the names of 1,000,000 events: each
// record appended as its row ends, all slots given at the end (the table
// sized once), against each name put into the table as its row ends (the
// table growing, every insertion a random access).
void append_row(const name_set &set) {
    std::vector<uint32_t> hashes;
    for (const std::string &n : set.names)
        hashes.push_back(name_index::hash_of(n.c_str(), n.size()));
    std::vector<double> appended, one_by_one;
    for (int run = 0; run < 7; ++run) {
        appended.push_back(seconds_of([&] {
            name_index index;
            for (size_t i = 0; i < set.names.size(); ++i)
                index.append(set.names[i].c_str(), set.names[i].size(), hashes[i]);
            index.index_appended();
        }));
        one_by_one.push_back(seconds_of([&] {
            name_index index;
            for (size_t i = 0; i < set.names.size(); ++i)
                index.get(set.names[i].c_str(), set.names[i].size(), hashes[i]);
        }));
    }
    trick_row("names appended then indexed / one by one", bench_median(appended) * 1e3,
              bench_median(one_by_one) * 1e3, "ms");
}

// The positions blocks of 120,000 elements (the spread pair of 20,000
// gates), from the pool against one calloc each: resident memory once made,
// and the time of a walk that reads a flag of every block in an order
// unlike the order of making (as a click's hit test does; the pool's large
// pages need far fewer address translations). Run before any load, on a
// fresh heap.
void positions_rows() {
    const int blocks = 120000;
    std::vector<ft_coords *> pool, heap;
    long before = rss_kb();
    for (int i = 0; i < blocks; ++i)
        pool.push_back(ft_coords_alloc());
    const long pool_kb = rss_kb() - before;
    before = rss_kb();
    for (int i = 0; i < blocks; ++i)
        heap.push_back(static_cast<ft_coords *>(calloc(1, sizeof(ft_coords))));
    const long heap_kb = rss_kb() - before;
    trick_row("positions blocks: pool / calloc memory", pool_kb / 1024.0, heap_kb / 1024.0, "MB");
    std::vector<size_t> order{};
    order.resize(size_t(blocks));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = (i * 7919) % order.size(); // 7919 is prime: every block once
    auto walk = [&order](std::vector<ft_coords *> &v) {
        for (ft_coords *b : v)
            b->selected = 1;
        std::vector<double> t;
        long sum = 0;
        for (int run = 0; run < 9; ++run)
            t.push_back(seconds_of([&] {
                for (size_t i : order)
                    sum += v[i]->selected;
            }));
        sink = sum;
        return bench_median(t);
    };
    trick_row("positions blocks: pool / calloc walk", walk(pool) * 1e3, walk(heap) * 1e3, "ms");
    for (ft_coords *b : pool)
        ft_coords_release(b);
    for (ft_coords *b : heap)
        free(b);
}

// Two rows, the time and the resident memory of work(true) (ours) against
// work(false) (the standard way), each round in a fresh process, as a first
// load meets them: every page new. Medians of nine rounds.
void fresh_rows(const std::string &what, const std::function<void(bool ours)> &work) {
    auto round = [&](bool ours) {
        return in_child([&] {
            const long before = rss_kb();
            const double s = seconds_of([&] { work(ours); });
            return std::vector<double>{s, (rss_kb() - before) / 1024.0};
        });
    };
    std::vector<std::vector<double>> ours, standard;
    for (int run = 0; run < 9; ++run) {
        ours.push_back(round(true));
        standard.push_back(round(false));
    }
    const std::vector<double> a = bench_column_medians(ours), b = bench_column_medians(standard);
    trick_row((what + ", time").c_str(), a[0] * 1e3, b[0] * 1e3, "ms");
    trick_row((what + ", memory").c_str(), a[1], b[1], "MB");
}

// 100,000 blocks the size of a basic event and its texts as the events
// reader makes them, cut from the model's slabs against one malloc each,
// made and filled.
void slab_rows() {
    const size_t size = sizeof(ft_element) + 43; // "BE_12345", its description, "1.0E-2"
    fresh_rows("slab blocks / malloc", [&](bool slab) {
        long kept = 0;
        for (int i = 0; i < 100000; ++i)
            kept ^= long(memset(slab ? ft_slab_alloc(size, 8) : malloc(size), 1, size));
        sink = kept;
    });
}

// The first writes of a load of the 20,000-gate pairs, the model's 20 MB
// and the name index's records, in memory from ft_pages_map (large pages
// where the system offers them on request) against an ordinary mapping of
// 4 KB pages: blocks of an element's size written one after the other.
void large_pages_rows() {
    const size_t bytes = size_t(26) << 20, block = 72;
    fresh_rows("large pages / 4 KB pages, 26 MB", [&](bool large) {
        void *m = large ? ft_pages_map(bytes, FT_PAGES_LARGE)
                        : mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                               -1, 0);
        if (m == MAP_FAILED)
            exit(1);
        for (size_t at = 0; at + block <= bytes; at += block)
            memset(static_cast<char *>(m) + at, 1, block);
    });
}

// The events index's slot table of the 20,000-gate pairs (262,144 slots of
// 8 bytes) filled at 100,000 places, each slot read before it is written as
// the index's probes do: its pages made at once and ready for writing (as
// name_index maps it) against calloc's pages, made at first touch (a page
// that is read first faults twice). Each round in a fresh process.
void slot_table_rows() {
    const size_t slots = 262144, bytes = slots * 8;
    auto round = [&](bool at_once) {
        return in_child([&] {
            return std::vector<double>{seconds_of([&] {
                void *m = at_once ? ft_pages_map(bytes, FT_PAGES_NOW) : calloc(slots, 8);
                volatile uint64_t *t = static_cast<uint64_t *>(m);
                for (uint64_t i = 0, x = 1; i < 100000; ++i) {
                    x = x * 6364136223846793005ull + 1442695040888963407ull;
                    const size_t at = size_t(x >> 46);
                    t[at] = t[at] + i + 1;
                }
            })};
        })[0];
    };
    std::vector<double> at_once, first_touch;
    for (int run = 0; run < 9; ++run) {
        at_once.push_back(round(true));
        first_touch.push_back(round(false));
    }
    trick_row("slot table made at once / calloc, 2 MB", bench_median(at_once) * 1e3,
              bench_median(first_touch) * 1e3, "ms");
}

// One scan of path by a bare scanner (scanrow.h): its time.
template <class Init, class SetIn, class Lex, class Destroy>
double scan_once(Init init, SetIn set_in, Lex lex, Destroy destroy, const std::string &path) {
    scanrow_run run;
    void *scanner = nullptr;
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr || init(&run, &scanner) != 0)
        exit(1);
    set_in(f, scanner);
    const double s = seconds_of([&] { lex(scanner); });
    destroy(scanner);
    fclose(f);
    return s;
}

// A bare scanner's run over path (prefix: scanbig or scansmall).
#define SCAN(prefix, path)                                                                         \
    scan_once(prefix##lex_init_extra, prefix##set_in, prefix##lex, prefix##lex_destroy, path)

// The readers' token rules scanned with the readers' input blocks of 128 KiB
// and with flex's own 16 KiB: the 20,000-gate tree pair, nothing built (the
// files are in the page cache).
void input_block_row(const std::string &dir) {
    const std::string ev = dir + "/scan_ev", gt = dir + "/scan_gt";
    if (ftgen_write_pair(ev.c_str(), gt.c_str(), tree_shape(20000).params) != 0)
        exit(1);
    std::vector<double> big, small;
    for (int run = 0; run < 15; ++run) {
        big.push_back(SCAN(scanbig, ev) + SCAN(scanbig, gt));
        small.push_back(SCAN(scansmall, ev) + SCAN(scansmall, gt));
    }
    trick_row("input blocks: 128 KiB / 16 KiB", bench_median(big) * 1e3, bench_median(small) * 1e3,
              "ms");
    remove(ev.c_str());
    remove(gt.c_str());
}

// The trick rows, in a child process on a fresh heap: the pair rows' peak
// memory stays their own.
void trick_rows(const std::string &dir) {
    fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        printf("%-40s %11s %11s %7s\n", "trick", "ours", "standard", "gain");
        slab_rows();
        large_pages_rows();
        positions_rows();
        element_texts_rows();
        name_index_row(name_set(100000));
        const name_set million(1000000);
        prefetch_row(million);
        append_row(million);
        slot_table_rows();
        input_block_row(dir);
        printf("\n");
        fflush(stdout);
        _exit(0);
    }
    waitpid(pid, nullptr, 0);
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && strcmp(argv[1], "--load") == 0)
        return load_child(argv[2], argv[3]);
    std::string dir = argc > 1 ? argv[1] : "";
    const bool own_dir = dir.empty();
    if (own_dir) {
        char tmpl[] = "/tmp/ftd_load_bench_XXXXXX";
        if (mkdtemp(tmpl) == nullptr)
            return 1;
        dir = tmpl;
    }
    trick_rows(dir);
    pair_rows(dir);
    irregular_rows(dir);
    hostile_rows(dir);
    if (own_dir)
        rmdir(dir.c_str());
    return 0;
}
