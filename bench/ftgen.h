// Synthetic FaultTree+ file pairs for benchmarks and long tests.
//
// Header only, no toolkit. ftgen_write_pair writes an events file and a gates
// file that the import reads without error: TAB-separated cells, CR LF line
// ends, full headers, every gate row after the row of the gate that names it.
//
// Shape of the tree: gate 0 is the root; gate j (j >= 1) is an input of gate
// (j - 1) / gate_children, so gates form a complete tree in row order. The
// remaining input slots of a gate (up to fanout, at most 18 in all) name basic
// events: a fresh event in events-file order, or with probability
// shared_fraction an event already used elsewhere (a shared node). When the
// fresh events run out, events are reused. With spread, event input k of gate
// i names event (7i + 13k) mod events instead, so that neighbouring rows name
// events from all over the events file. Gate types cycle through the gate
// kinds of the model's kinds table (AND, PAND, OR, NULL), gate i having kind
// i modulo their number; every page_every-th gate (not the root) has its page
// flag "On".
// Names: events "BE_<n>", gates "G_<n>", both decimal from 0.
#ifndef FTD_BENCH_FTGEN_H
#define FTD_BENCH_FTGEN_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "saFaultTree.h"

struct ftgen_params {
    int gates = 100;              // gate rows, root included (>= 1)
    int events = 300;             // events rows (>= 1)
    int fanout = 8;               // inputs per gate, 1..18 (gate inputs first)
    double shared_fraction = 0.1; // share of event inputs that reuse an event
    int page_every = 0;           // every n-th gate is a page gate; 0: none
    bool notes = true;            // write "Notes1" with probability/criticality markers
    unsigned seed = 1;            // same seed, same files
    int gate_children = 2;        // gate inputs per gate (before event inputs)
    bool spread = false;          // event inputs spread over the events file (see above)
    bool short_events = false;    // events rows of five columns, every model "Fixed"
};

// What a written pair holds, for tests that check the loaded tree.
struct ftgen_stats {
    long gate_rows = 0;       // rows in the gates file
    long event_rows = 0;      // rows in the events file
    long event_inputs = 0;    // "E" cells over all gates
    long gate_inputs = 0;     // "G" cells over all gates
    long distinct_events = 0; // events named by at least one gate
    long page_gates = 0;      // gates with page flag "On"
};

namespace ftgen_detail {

// Small deterministic generator (xorshift64*), identical on every platform.
struct rng {
    uint64_t s;
    explicit rng(unsigned seed)
        : s(0x9E3779B97F4A7C15ull ^ (uint64_t(seed) * 0x2545F4914F6CDD1Dull)) {
        if (s == 0)
            s = 1;
    }
    uint64_t next() {
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return s * 0x2545F4914F6CDD1Dull;
    }
    double unit() { return double(next() >> 11) / double(1ull << 53); }
    long below(long n) { return n <= 0 ? 0 : long(next() % uint64_t(n)); }
};

// The keyword of gate i's kind: the gate kinds of ft_kinds in table order,
// round and round.
inline const char *gate_type(int i) {
    static const std::vector<const char *> keywords = [] {
        std::vector<const char *> k;
        for (const ft_kind &kind : ft_kinds)
            if (kind.keyword != nullptr)
                k.push_back(kind.keyword);
        return k;
    }();
    return keywords[size_t(i) % keywords.size()];
}

inline int write_events(FILE *f, const ftgen_params &p) {
    fputs("Name\tSymbol Type\tDescription\tFailure Model Type\tFailure Model Parameter 0", f);
    fputs(p.short_events ? "\r\n" : "\tFailure Model Parameter 1\r\n", f);
    for (int i = 0; p.short_events && i < p.events; ++i)
        fprintf(f, "BE_%d\tBasic\tBasic event number %d\tFixed\t%d.0E-%d\r\n", i, i, 1 + i % 9,
                2 + i % 6);
    for (int i = 0; !p.short_events && i < p.events; ++i) {
        const bool fixed = (i % 5) != 4;
        fprintf(f, "BE_%d\tBasic\tBasic event number %d\t%s\t%d.0E-%d per hour\t0\r\n", i, i,
                fixed ? "Fixed" : "Rate", 1 + i % 9, 2 + i % 6);
    }
    return ferror(f) ? 1 : 0;
}

inline void write_gates_header(FILE *f) {
    fputs("Name\tType\tDescription", f);
    for (int k = 0; k < 18; ++k)
        fprintf(f, "\tInput  %d Type and Name", k);
    fputs("\tPage Flag\tNotes1\r\n", f);
}

// Which events the gates name: the list of distinct events named so far, and
// for spread pairs whether an event was named already.
struct picks {
    long next_fresh = 0;
    std::vector<int> used;
    std::vector<char> named;
};

// Event input k of gate i: spread over the events, or fresh events
// first-come and shared ones at random.
inline int pick_event(rng &r, const ftgen_params &p, int i, int k, picks &pk) {
    if (p.spread) {
        const int ev = int((7L * i + 13L * k) % p.events);
        pk.named.resize(size_t(p.events));
        if (!pk.named[size_t(ev)])
            pk.named[size_t(ev)] = 1, pk.used.push_back(ev);
        return ev;
    }
    const bool share =
        !pk.used.empty() && (r.unit() < p.shared_fraction || pk.next_fresh >= p.events);
    int ev = share ? pk.used[size_t(r.below(long(pk.used.size())))] : int(pk.next_fresh++);
    if (!share)
        pk.used.push_back(ev);
    return ev;
}

inline void write_gate_row(FILE *f, int i, const ftgen_params &p, rng &r, picks &pk,
                           ftgen_stats &st) {
    fprintf(f, "G_%d\t%s\tGate number %d", i, gate_type(i), i);
    const long first = long(i) * p.gate_children + 1;
    int slot = 0;
    for (long j = first; j < first + p.gate_children && j < p.gates && slot < p.fanout; ++j) {
        fprintf(f, "\tG G_%ld", j);
        ++slot;
        ++st.gate_inputs;
    }
    for (int k = 0; slot < p.fanout; ++slot, ++k) {
        fprintf(f, "\tE BE_%d", pick_event(r, p, i, k, pk));
        ++st.event_inputs;
    }
    for (; slot < 18; ++slot)
        fputc('\t', f);
    const bool page = i > 0 && p.page_every > 0 && i % p.page_every == 0;
    st.page_gates += page ? 1 : 0;
    fprintf(f, "\t%s\t", page ? "On" : "Off");
    if (p.notes)
        fprintf(f,
                "Review note %d. Morvu-SA probability: %d.5E-%d (computed) "
                "Morvu-SA criticality: 0.%d high",
                i, 1 + i % 9, 3 + i % 4, 1 + i % 9);
    fputs("\r\n", f);
}

inline int write_gates(FILE *f, const ftgen_params &p, ftgen_stats &st) {
    rng r(p.seed);
    picks pk;
    write_gates_header(f);
    for (int i = 0; i < p.gates; ++i)
        write_gate_row(f, i, p, r, pk, st);
    st.distinct_events = long(pk.used.size());
    return ferror(f) ? 1 : 0;
}

inline int write_file(const char *path, int (*body)(FILE *, const ftgen_params &, ftgen_stats &),
                      const ftgen_params &p, ftgen_stats &st) {
    FILE *f = fopen(path, "wb");
    if (f == nullptr)
        return 1;
    std::vector<char> buf(1 << 16);
    setvbuf(f, buf.data(), _IOFBF, buf.size());
    int rc = body(f, p, st);
    if (fclose(f) != 0)
        rc = 1;
    return rc;
}

inline int events_body(FILE *f, const ftgen_params &p, ftgen_stats &) {
    return write_events(f, p);
}
inline int gates_body(FILE *f, const ftgen_params &p, ftgen_stats &st) {
    return write_gates(f, p, st);
}

} // namespace ftgen_detail

// Writes the pair. Returns 0 on success, 1 when a file cannot be written or
// the parameters are out of range (gates or events < 1, fanout outside
// 1..18, gate_children < 1). gate_children above fanout counts as fanout.
// stats may be NULL.
inline int ftgen_write_pair(const char *events_path, const char *gates_path, const ftgen_params &p,
                            ftgen_stats *stats = nullptr) {
    if (p.gates < 1 || p.events < 1 || p.fanout < 1 || p.fanout > 18 || p.gate_children < 1)
        return 1;
    ftgen_params q = p;
    if (q.gate_children > q.fanout)
        q.gate_children = q.fanout;
    ftgen_stats st;
    st.gate_rows = p.gates;
    st.event_rows = p.events;
    if (ftgen_detail::write_file(events_path, ftgen_detail::events_body, q, st) != 0)
        return 1;
    if (ftgen_detail::write_file(gates_path, ftgen_detail::gates_body, q, st) != 0)
        return 1;
    if (stats != nullptr)
        *stats = st;
    return 0;
}

// A chain of gates: gate C<i> (i from 1) has the single input "G C<i+1>",
// types alternating OR and AND, the last gate the basic event BE. No
// descriptions in the gates file, so that its SVG document stays small.
// Returns 0 on success, 1 when a file cannot be written or gates < 1.
inline int ftgen_write_chain(const char *events_path, const char *gates_path, long gates) {
    if (gates < 1)
        return 1;
    FILE *e = fopen(events_path, "wb");
    FILE *g = e ? fopen(gates_path, "wb") : nullptr;
    if (g == nullptr) {
        if (e != nullptr)
            fclose(e);
        return 1;
    }
    fputs("Name\tDescription\r\nBE\tThe event at the end\r\n", e);
    fputs("Name\tType\tInput  0 Type and Name\r\n", g);
    for (long i = 1; i < gates; i++)
        fprintf(g, "C%ld\t%s\tG C%ld\r\n", i, i % 2 ? "OR" : "AND", i + 1);
    fprintf(g, "C%ld\tAND\tE BE\r\n", gates);
    const int bad = ferror(e) || ferror(g);
    return (fclose(e) != 0) | (fclose(g) != 0) | bad;
}

/* Hostile gates files for the cycle check and the search for a row's gate,
   as text (header of the 18 inputs only). */

// Header of a gates file with the "Name" column and the 18 input columns.
inline std::string ftgen_inputs_header() {
    std::string head = "Name";
    for (int i = 0; i < 18; i++)
        head += "\tInput  " + std::to_string(i) + " Type and Name";
    return head + "\r\n";
}

// Events X and Y; X turned into a gate with a chain of `chain` gates below
// it; then, in the block of Y turned into a gate, `rows` rows that each name
// X 17 times; a last row closes a cycle (the result is 3).
inline std::string ftgen_cycle_gates(int chain, int rows) {
    std::string g = ftgen_inputs_header() + "TOP\tE X\tE Y\r\nX\tG X0\r\nY\tG C0\r\n";
    for (int i = 0; i < chain; i++)
        g += "X" + std::to_string(i) + (i + 1 < chain ? "\tG X" + std::to_string(i + 1) : "") +
             "\r\n";
    for (int i = 0; i < rows; i++) {
        g += "C" + std::to_string(i);
        for (int k = 0; k < 17; k++)
            g += "\tE X";
        g += (i + 1 < rows ? "\tG C" + std::to_string(i + 1) : "") + "\r\n";
    }
    return g + "X" + std::to_string(chain - 1) + "\tE X\r\n";
}

// A chain of n events turned into gates (E1 names E2 ...); under event Y, n
// more events X1..Xn, each turned into a gate naming E1: rows in an order
// that an order of the blocks kept while reading would have to redo at each
// X. No cycle; every X draws the chain, so the places exceed the limit for
// large n (the result is 3). Returns the gates file; the events file goes
// into *events.
inline std::string ftgen_reordering_gates(int n, std::string *events) {
    std::string g = ftgen_inputs_header() + "TOP\tE E1\tE Y\r\nY\tG H0\r\n", x;
    *events = "Name\r\nY\r\n";
    for (int i = 1; i <= n; i++) {
        const std::string e = "E" + std::to_string(i), xi = "X" + std::to_string(i);
        *events += e + "\r\n" + xi + "\r\n";
        g += i < n ? e + "\tE E" + std::to_string(i + 1) + "\r\n" : "";
        g += "H" + std::to_string(i - 1) + "\tE " + xi +
             (i < n ? "\tG H" + std::to_string(i) : "") + "\r\n";
        x += xi + "\tE E1\r\n";
    }
    return g + x;
}

// The rows of a tree of gates T_0 .. that names every event BE_0 ..
// BE_<events - 1> once, and the events file "Name" BE_0 .. and then extra.
inline std::string ftgen_event_tree(int events, const std::string &extra,
                                    std::string *events_file) {
    const int tree = (events + 15) / 16;
    std::string g;
    *events_file = "Name\r\n";
    for (int i = 0; i < events; i++)
        *events_file += "BE_" + std::to_string(i) + "\r\n";
    *events_file += extra;
    for (int i = 0; i < tree; i++) {
        g += "T_" + std::to_string(i);
        for (int c = 2 * i + 1; c <= 2 * i + 2 && c < tree; c++)
            g += "\tG T_" + std::to_string(c);
        for (int k = 16 * i; k < 16 * i + 16 && k < events; k++)
            g += "\tE BE_" + std::to_string(k);
        g += "\r\n";
    }
    return g;
}

// `rows` rows "A", row r with the one input BE_<r mod events>.
inline std::string ftgen_rows_of_a(int events, int rows) {
    std::string g;
    for (int r = 0; r < rows; r++)
        g += "A\tE BE_" + std::to_string(r % events) + "\r\n";
    return g;
}

// Events BE_0 .. BE_<events - 1>; below the root a tree of gates T_0 ..
// that names every event once, then `copies` gates named A; then `rows`
// rows "A", row r with the one input BE_<r mod events>. Each row fills the
// first A in preorder, which comes after the whole tree of T gates, and
// replaces its inputs. Returns the gates file; the events file goes into
// *events.
inline std::string ftgen_refill_gates(int events, int rows, int copies, std::string *events_file) {
    std::string g = ftgen_inputs_header() + "TOP\tG T_0";
    for (int i = 0; i < copies; i++)
        g += "\tG A";
    g += "\r\n";
    return g + ftgen_event_tree(events, "", events_file) + ftgen_rows_of_a(events, rows);
}

// Where a name's first element in preorder has others of its name in the
// tree or beside it.
enum ftgen_named {
    FTGEN_TWO_BLOCKS,     // gates A below two events X1, X2 turned into gates
    FTGEN_EVENT_AND_GATE, // a gate A and the event A, after a large tree
    FTGEN_DROPPED_INPUT,  // A below event X turned into a gate, one input naming X dropped
    FTGEN_CHAIN           // a gate A and the event A below a chain of `events` gates
};

// A large tree (of `events` events below a tree of gates, or a chain of
// `events` gates) and an A placed as `shape` says, then `rows` rows "A",
// row r naming one event. Returns the gates file; the events file goes into
// *events_file.
inline std::string ftgen_named_gates(ftgen_named shape, int events, int rows,
                                     std::string *events_file) {
    std::string g = ftgen_inputs_header();
    switch (shape) {
    case FTGEN_TWO_BLOCKS:
        g += "TOP\tG T_0\tE X1\tE X2\r\n" + ftgen_event_tree(events, "X1\r\nX2\r\n", events_file) +
             "X1\tG A\r\nX2\tG A\r\n";
        break;
    case FTGEN_EVENT_AND_GATE:
        g += "TOP\tG T_0\tG A\tE A\r\n" + ftgen_event_tree(events, "A\r\n", events_file);
        break;
    case FTGEN_DROPPED_INPUT:
        g += "TOP\tG T_0\tG P\tE X\r\n" + ftgen_event_tree(events, "X\r\n", events_file) +
             "X\tG A\r\nP\tE X\r\nP\r\n";
        break;
    case FTGEN_CHAIN:
        g += "TOP\tG C_0\r\n";
        for (int i = 0; i < events; i++)
            g += "C_" + std::to_string(i) + "\tG C_" + std::to_string(i + 1) + "\r\n";
        g += "C_" + std::to_string(events) + "\tG A\tE A\r\n";
        *events_file = "Name\r\nA\r\n";
        for (int i = 0; i < 16; i++)
            *events_file += "BE_" + std::to_string(i) + "\r\n";
        events = 16;
        break;
    }
    return g + ftgen_rows_of_a(events, rows);
}

// Event X turned into a gate above a chain of `chain` gates, named by gate
// B; then `rows` rows for gate A, which comes before B in preorder, that in
// turn name X and drop it: X's part of the tree moves to A's input and back
// to B's at every row. Returns the gates file; the events file goes into
// *events_file.
inline std::string ftgen_moving_gates(int chain, int rows, std::string *events_file) {
    std::string g = ftgen_inputs_header() + "TOP\tG A\tG B\r\nB\tE X\r\nX\tG C_0\r\n";
    for (int i = 0; i < chain; i++)
        g += "C_" + std::to_string(i) + (i + 1 < chain ? "\tG C_" + std::to_string(i + 1) : "") +
             "\r\n";
    for (int r = 0; r < rows; r++)
        g += r % 2 == 0 ? "A\tE X\r\n" : "A\r\n";
    *events_file = "Name\r\nX\r\n";
    return g;
}

// Two gates A and two gates B below the root, after a tree of `events`
// events; then `rows` rows naming A and B in turn, row r with the one input
// BE_<r mod events>. A row's name is held by two gates and is not the
// previous row's, so only a search of the tree tells which comes first.
// Returns the gates file; the events file goes into *events_file.
inline std::string ftgen_alternating_gates(int events, int rows, std::string *events_file) {
    std::string g = ftgen_inputs_header() + "TOP\tG T_0\tG A\tG A\tG B\tG B\r\n" +
                    ftgen_event_tree(events, "", events_file);
    for (int r = 0; r < rows; r++)
        g +=
            (r % 2 == 0 ? "A" : "B") + std::string("\tE BE_") + std::to_string(r % events) + "\r\n";
    return g;
}

// Gate R over H1 and H2, each naming event E1, which a row turns into a
// gate above a chain of `chain` gates C0 .., each with 17 more inputs, all
// "G X" (or, with event_inputs, all "E Z"); then `pairs` pairs of rows that
// take E1 away from H1 and give it back, so that E1's part of the tree
// leaves H1 for H2 and comes back at every row. Returns the gates file; the
// events file goes into *events_file.
inline std::string ftgen_part_moved_back_and_forth(int chain, int pairs, bool event_inputs,
                                                   std::string *events_file) {
    std::string g = ftgen_inputs_header() + "R\tG H1\tG H2\r\nH1\tE E1\r\nH2\tE E1\r\nE1\tG C0\r\n";
    for (int i = 0; i < chain; i++) {
        g += "C" + std::to_string(i);
        for (int k = 0; k < 17; k++)
            g += event_inputs ? "\tE Z" : "\tG X";
        g += (i + 1 < chain ? "\tG C" + std::to_string(i + 1) : "") + "\r\n";
    }
    for (int i = 0; i < pairs; i++)
        g += "H1\r\nH1\tE E1\r\n";
    *events_file = "Name\r\nE1\r\nZ\r\n";
    return g;
}

#endif
