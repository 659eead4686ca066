// FaultTree+ reader tests on byte strings written to temporary files, and
// fault injection on the input side: files that cannot be read, one enormous
// cell, a million empty rows, inputs built to make a reader slow. Each read
// ends with a clear result and releases everything it built.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fault_support.h"
#include "ftgen.h"
#include "ftnames.h"
#include "ftread.h"
#include "ftscan.h"

using namespace std::string_literals;

namespace {

const std::string EV_HEAD = "Name\tDescription\tFailure Model Type\tFailure Model Parameter 0\r\n";
const std::string EV = EV_HEAD + "A\tEvent A\tFixed\t1.5E-4 per hour\r\nB\t\tRate\t2\r\nA\tdup\r\n";
const std::string G_HEAD =
    "Name\tType\tInput  0 Type and Name\tInput  1 Type and Name\tPage Flag\tNotes1\r\n";

// Reads a pair into a holder of its own and releases it; checks that every
// element made by the run is released again.
int read_pair(const std::string &events, const std::string &gates) {
    long before = ft_live_elements();
    FTD_tree *holder = new FTD_tree();
    int code = read_faulttree_files(holder, events.c_str(), gates.c_str());
    delete holder;
    EXPECT_EQ(ft_live_elements(), before) << "elements leaked by " << events << " " << gates;
    return code;
}

// The result code of reading the pair in a child process that an alarm ends
// after 30 seconds (a linear reader needs well under one), so that a reader
// that never returns fails the test instead of hanging it; -1 when the child
// did not exit by itself.
int read_pair_bounded(const std::string &events, const std::string &gates) {
    fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(30);
        FTD_tree t;
        _exit(read_faulttree_files(&t, events.c_str(), gates.c_str()));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Writes head, then count copies of unit, then tail, without holding the
// whole file in memory.
void write_repeated(const std::string &path, const std::string &head, const std::string &unit,
                    long count, const std::string &tail) {
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::string block;
    for (int i = 0; i < 4096; i++)
        block += unit;
    fputs(head.c_str(), f);
    for (long done = 0; done < count; done += 4096)
        fwrite(block.data(), 1, unit.size() * (size_t)std::min(4096L, count - done), f);
    fputs(tail.c_str(), f);
    ASSERT_EQ(fclose(f), 0);
}

struct Reader : ::testing::Test {
    temp_dir tmp;
    std::string put(const char *name, const std::string &bytes) {
        write_all(tmp.file(name), bytes);
        return tmp.file(name);
    }
    int load(FTD_tree &t, const std::string &ev, const std::string &gt) {
        return read_faulttree_files(&t, put("ev", ev).c_str(), put("gt", gt).c_str());
    }
};

TEST_F(Reader, EventsFileByteTable) {
    // clang-format off
    struct { const char *what; std::string bytes; int rc, count; const char *name; } cases[] = {
        {"CR LF", "Name\r\nE1\r\n", 0, 1, "E1"},
        {"empty file", "", 0, 0, nullptr},
        {"header only", "Name\r\n", 0, 0, nullptr},
        {"unterminated last row is read", "Name\r\nE1\r\nE2", 0, 2, "E1"},
        {"unterminated tabs only", "Name\r\nE1\r\n\t\t", 0, 1, "E1"},
        {"lone LF joins lines", "Name\nE1\n", 4, 0, nullptr},
        {"lone LF before TAB ends line", "Name\tDescription\n\tD\r\n", 4, 0, nullptr},
        {"lone CR: later cell wins, CR echoed", "Name\r\nA\rB\r\n", 0, 1, "B"},
        {"NUL ends stored text", "Name\r\nx\0y\r\n"s, 0, 1, "x"},
        {"NUL header cell", "Name\0z\r\nE1\r\n"s, 0, 1, "E1"},
        {"cell of NUL first", "Name\r\n\0x\r\n"s, 0, 1, ""},
        {"LF after NUL is cell text", "Name\tDescription\r\nx\0\n\tD\r\n"s, 0, 1, "x"},
        {"LF before NUL starts a cell", "Name\r\n\n\0y\r\n"s, 0, 1, "\n"},
        {"NUL cell, lone CR: later cell wins, CR echoed", "Name\r\nx\0y\rz\r\n"s, 0, 1, "z"},
        {"byte order mark", "\xEF\xBB\xBFName\r\nE1\r\n", 4, 0, nullptr},
        {"bytes above 127 are cell text", "Name\r\nP\xC3\xBCmpe \xE9\xFF\r\n", 0, 1, "P\xC3\xBCmpe \xE9\xFF"},
        {"lower case name", "name\r\nE1\r\n", 4, 0, nullptr},
        {"unknown column", "Name\tColour\r\nE1\r\n", 4, 0, nullptr},
        {"start of a column name", "Nam\r\nE1\r\n", 4, 0, nullptr},
        {"start of a later column name", "Name\tDesc\r\nE1\tD\r\n", 4, 0, nullptr},
        {"no Name column", "Description\r\nx\r\n", 4, 0, nullptr},
        {"no Name column, no line end", "Description", 0, 0, nullptr},
        {"repeated name, cell in column 1", "Name\tName\r\nE1\r\n", 4, 0, nullptr},
        {"repeated name, cell in column 2", "Name\tName\r\n\tE1\r\n", 0, 1, "E1"},
        {"empty cells beyond header", "Name\r\nE1\t\t\r\n", 0, 1, "E1"},
        {"text beyond header", "Name\r\nE1\tx\r\n", 4, 0, nullptr},
        {"blank last line", "Name\r\nE1\r\n\r\n", 4, 1, "E1"},
        {"row without name", "Name\tDescription\r\n\tD\r\nE2\r\n", 4, 0, nullptr},
    };
    // clang-format on
    for (auto &c : cases) {
        FTD_tree t;
        testing::internal::CaptureStdout();
        EXPECT_EQ(load(t, c.bytes, ""), c.rc) << c.what;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), strstr(c.what, "CR echoed") ? "\r" : "")
            << c.what;
        EXPECT_EQ(ft_list_get_size(t.events), c.count) << c.what;
        if (c.name) {
            EXPECT_STREQ(ft_get_name(ft_list_get(t.events, 0)), c.name) << c.what;
        }
    }
}

TEST_F(Reader, EventFieldsAndProbabilityRule) {
    FTD_tree t;
    ASSERT_EQ(load(t, EV + "C\tc\tfixed\t9\r\nD\td\tFixed\r\n", ""), 0);
    const char *probs[] = {"1.5E-4", "0.0", "0.0", "0.0", "0.0"};
    const char *descs[] = {"Event A", "", "dup", "c", "d"};
    ASSERT_EQ(ft_list_get_size(t.events), 5);
    for (int i = 0; i < 5; ++i) {
        ft_element *e = ft_list_get(t.events, i);
        EXPECT_STREQ(ft_get_prob(e), probs[i]) << i;
        EXPECT_STREQ(ft_get_desc(e), descs[i]) << i;
        EXPECT_EQ(ft_get_type(e), FT_BASIC);
        EXPECT_EQ(ft_get_criticality(e), nullptr);
    }
}

TEST_F(Reader, CompletePairBuildsTree) {
    FTD_tree t;
    ASSERT_EQ(load(t, EV,
                   G_HEAD + "Top\tAND\tG X\tG P\tOff\tnote Morvu-SA probability: 0.5 x "
                            "Morvu-SA criticality: 7 y\r\nX\tPAND\tE A\tE.B\tOff\r\n"
                            "P\tOR\tE_A\tG N\tOn\tMorvu-SA probability: \r\n"
                            "N\tNULL\tE B\t\tOff"), // last row without line end
              0);
    ft_element *r = t.root, *x = ft_find_by_name(r, "X"), *p = ft_find_by_name(r, "P");
    ft_element *n = ft_find_by_name(r, "N");
    ASSERT_TRUE(x && p && n);
    EXPECT_EQ(ft_get_type(r), FT_AND);
    EXPECT_STREQ(ft_get_prob(r), "0.5");
    EXPECT_STREQ(ft_get_criticality(r), "7");
    EXPECT_EQ(ft_get_type(x), FT_PAND);
    EXPECT_EQ(ft_get_type(p), FT_OR);
    EXPECT_EQ(ft_get_page(p), FT_PAGE_ON);
    EXPECT_STREQ(ft_get_prob(p), "");
    EXPECT_EQ(ft_list_get(ft_get_children(x), 0), ft_list_get(t.events, 0)); // first "A" row
    EXPECT_EQ(ft_list_get(ft_get_children(p), 0), ft_list_get(t.events, 0)); // shared event
    EXPECT_EQ(ft_get_type(n), FT_NULL);
    EXPECT_EQ(ft_list_get(ft_get_children(n), 0), ft_list_get(t.events, 1));
}

TEST_F(Reader, GatesResultTable) {
    // clang-format off
    const struct { const char *what; std::string bytes; int rc; } cases[] = {
        {"no Type column: OR", "Name\tInput  0 Type and Name\r\nT\tE A\r\n", 0},
        {"child row before parent", G_HEAD + "T\tOR\tG X\t\tOff\r\nY\tOR\tE A\t\tOff\r\n", 3},
        {"bad type", G_HEAD + "T\tor\tE A\t\tOff\r\n", 3},
        {"basic event kind", G_HEAD + "T\tBASIC\tE A\t\tOff\r\n", 3},
        {"bad page flag", G_HEAD + "T\tOR\tE A\t\toff\r\n", 3},
        {"empty present Type", G_HEAD + "T\t\tE A\t\tOff\r\n", 3},
        {"lower case kind", G_HEAD + "T\tOR\te A\t\tOff\r\n", 3},
        {"kind letter alone", G_HEAD + "T\tOR\tE\t\tOff\r\n", 3},
        {"undefined event", G_HEAD + "T\tOR\tE Z\t\tOff\r\n", 5},
        {"long gate name found by a later row",
         G_HEAD + "T\tOR\tG A gate with a long name\t\tOff\r\nA gate with a long name\tOR\tE A\t\tOff\r\n", 0},
        {"unknown header", "Name\tInput 0 Type and Name\r\n", 3},
        {"start of a column name", "Nam\r\nT\r\n", 3},
        {"start of an input column name", "Name\tInput  0\r\nT\tE A\r\n", 3},
        {"event turned gate naming itself",
         G_HEAD + "T\tOR\tE A\t\tOff\r\nA\tOR\tE A\t\tOff\r\n", 3},
        {"cycle through a gate",
         G_HEAD + "T\tOR\tE A\t\tOff\r\nA\tOR\tG X\t\tOff\r\nX\tAND\tE A\t\tOff\r\n", 3},
        {"event turned gate, no cycle", G_HEAD + "T\tOR\tE A\t\tOff\r\nA\tOR\tE B\t\tOff\r\n", 0},
        {"cycle through gates below two events", G_HEAD + "T\tOR\tE A\t\tOff\r\nA\tOR\tG X\t\tOff\r\n"
         "X\tOR\tE B\t\tOff\r\nB\tOR\tG Y\t\tOff\r\nY\tOR\tE A\t\tOff\r\n", 3},
        {"refilled event forgets its inputs", G_HEAD + "T\tOR\tE A\tE B\tOff\r\nA\tOR\tE B\t\tOff\r\n"
         "A\tOR\t\t\tOff\r\nB\tOR\tE A\t\tOff\r\n", 0},
        {"and those of the gates below", G_HEAD + "T\tOR\tE A\tE B\tOff\r\nA\tOR\tG X\t\tOff\r\n"
         "X\tOR\tE B\t\tOff\r\nA\tOR\t\t\tOff\r\nB\tOR\tE A\t\tOff\r\n", 0},
        {"cycle undone by a later row", G_HEAD + "T\tOR\tE A\tE B\tOff\r\nA\tOR\tE B\t\tOff\r\n"
         "B\tOR\tE A\t\tOff\r\nA\tOR\t\t\tOff\r\n", 0},
        {"cycle, then an undefined event", G_HEAD + "T\tOR\tE A\tG X\tOff\r\nA\tOR\tE A\t\tOff\r\n"
         "X\tOR\tE Z\t\tOff\r\n", 3},
    };
    // clang-format on
    for (auto &c : cases) {
        FTD_tree t;
        EXPECT_EQ(load(t, EV, c.bytes), c.rc) << c.what;
    }
}

TEST_F(Reader, RootRefilledAndDuplicateGateNames) {
    FTD_tree t;
    ASSERT_EQ(load(t, EV,
                   G_HEAD + "T\tOR\tG X\tG X\tOff\r\nX\tAND\tE A\tE B\tOff\r\n"
                            "T\tOR\tG X\tE B\tOff\r\nX\tPAND\tE A\t\tOff\r\n"),
              0);
    ft_list *kids = ft_get_children(t.root);
    ASSERT_EQ(ft_list_get_size(kids), 2);
    EXPECT_EQ(ft_get_type(ft_list_get(kids, 0)), FT_PAND);
    EXPECT_EQ(ft_list_get(kids, 1), ft_list_get(t.events, 1));
}

// Events named 18 times over, each turned into a gate whose inputs again
// name one event 18 times: six levels stand for 18^6 drawn places, more than
// any walk should face. Five levels (about 2 million places) still load.
TEST_F(Reader, SharedEventsExpandingBeyondLimitAreRefused) {
    std::string ev = "Name\r\nL0\r\nL1\r\nL2\r\nL3\r\nL4\r\nL5\r\nL6\r\n";
    auto rows = [](int levels) {
        std::string text;
        for (int level = 0; level < levels; level++) {
            text += level == 0 ? "TOP" : "L" + std::to_string(level - 1);
            for (int i = 0; i < 18; i++)
                text += "\tE L" + std::to_string(level);
            text += "\r\n";
        }
        return text;
    };
    FTD_tree ok, refused;
    EXPECT_EQ(load(ok, ev, ftgen_inputs_header() + rows(5)), 0);
    EXPECT_EQ(load(refused, ev, ftgen_inputs_header() + rows(6)), 3);
}

TEST_F(Reader, GeneratedPairMatchesItsCounts) {
    ftgen_params p;
    p.gates = 1000, p.events = 4000, p.page_every = 7;
    ftgen_stats st;
    const std::string ev = tmp.file("gen_ev"), gt = tmp.file("gen_gt");
    ASSERT_EQ(ftgen_write_pair(ev.c_str(), gt.c_str(), p, &st), 0);
    const long live = ft_live_elements();
    {
        FTD_tree t;
        ASSERT_EQ(read_faulttree_files(&t, ev.c_str(), gt.c_str()), 0);
        EXPECT_EQ(ft_list_get_size(t.events), st.event_rows);
        ft_list *pages = ft_list_init(), *leaves = ft_get_leaves(t.root);
        ft_get_pages(t.root, pages);
        EXPECT_EQ(ft_list_get_size(pages), st.page_gates);
        EXPECT_EQ(ft_list_get_size(leaves), st.distinct_events);
        ft_list_free(pages);
        ft_list_free(leaves);
        EXPECT_EQ(ft_get_type(ft_find_by_name(t.root, "G_999")), FT_NULL); // filled by the last row
        // The first gates take the gate kinds of the kinds table in order: the
        // generator writes every kind the reader knows.
        int i = 0;
        for (const ft_kind &kind : ft_kinds)
            if (kind.keyword != nullptr) {
                const std::string g = "G_" + std::to_string(i++);
                EXPECT_EQ(ft_get_type(ft_find_by_name(t.root, g.c_str())), kind.type) << g;
            }
    }
    EXPECT_EQ(ft_live_elements(), live);
}

TEST_F(Reader, ExhaustedMemoryIsAnError) {
    if (ft_sanitizer_build())
        GTEST_SKIP() << "address-space limits do not mix with the address sanitizer";
    const std::string ev = put("big", "Name\r\n" + std::string(24 << 20, 'x') + "\r\n");
    auto load_capped = [&ev] {
        cap_address_space(16 << 20);
        FTD_tree t;
        return read_faulttree_files(&t, ev.c_str(), ev.c_str());
    };
    EXPECT_EXIT(_exit(load_capped() == FTREAD_ERROR ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

// Directories, files whose reads fail, missing and (not as root) unreadable
// files.
TEST_F(Reader, UnreadableFilesGiveResultCodes) {
    const std::string ev = put("ev", EV), ga = put("ga", G_HEAD + "T\tOR\tE A\tE B\tOff\r\n");
    const std::string sub = tmp.file("subdir");
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    struct row {
        std::string events, gates;
        int expected;
    } rows[] = {
        {sub, ga, FTREAD_ERROR}, // opens, reading fails
        {ev, sub, FTREAD_ERROR},
        {"/proc/self/mem", ga, FTREAD_ERROR}, // reading at offset 0 fails with EIO
        {ev, "/proc/self/mem", FTREAD_ERROR},
        {tmp.file("missing"), ga, FTREAD_NO_EVENTS_FILE},
        {ev, tmp.file("missing"), FTREAD_NO_GATES_FILE},
        {ev, ga, FTREAD_OK},
    };
    for (const row &r : rows)
        EXPECT_EQ(read_pair(r.events, r.gates), r.expected) << r.events << " / " << r.gates;
    if (geteuid() == 0)
        return; // file modes do not stop root from reading
    ASSERT_EQ(chmod(ev.c_str(), 0), 0);
    EXPECT_EQ(read_pair(ev, ga), FTREAD_NO_EVENTS_FILE);
    ASSERT_EQ(chmod(ev.c_str(), 0644), 0);
    ASSERT_EQ(chmod(ga.c_str(), 0), 0);
    EXPECT_EQ(read_pair(ev, ga), FTREAD_NO_GATES_FILE);
}

// One cell of 100 MB without TAB or CR, in each file: read whole, kept
// whole, released with the holder; as a header cell it names no column.
TEST_F(Reader, HundredMegabyteCell) {
    const long big = 100L * 1024 * 1024;
    write_repeated(tmp.file("ev_big"), "Name\r\n", "x", big, "\r\n");
    const std::string ga = put("ga", "Name\r\nTOP\r\n"), ev = put("ev", "Name\r\nA\r\n");
    long before = ft_live_elements();
    {
        FTD_tree holder;
        ASSERT_EQ(read_faulttree_files(&holder, tmp.file("ev_big").c_str(), ga.c_str()), FTREAD_OK);
        ASSERT_EQ(ft_list_get_size(holder.events), 1);
        EXPECT_EQ((long)strlen(ft_get_name(ft_list_get(holder.events, 0))), big);
    }
    write_repeated(tmp.file("ga_big"), "Name\tDescription\r\nTOP\t", "y", big, "\r\n");
    {
        FTD_tree holder;
        ASSERT_EQ(read_faulttree_files(&holder, ev.c_str(), tmp.file("ga_big").c_str()), FTREAD_OK);
        EXPECT_EQ((long)strlen(ft_get_desc(holder.root)), big);
    }
    EXPECT_EQ(ft_live_elements(), before);
    write_repeated(tmp.file("ev_head"), "", "z", big, "\r\n");
    EXPECT_EQ(read_pair(tmp.file("ev_head"), ga), FTREAD_BAD_EVENTS);
}

// A million empty rows after the header: the first one is a row without a
// name, whatever follows. A million lone CRs after the last row are echoed
// and add no rows.
TEST_F(Reader, MillionEmptyRows) {
    const long rows = 1000000;
    const std::string ev = put("ev", EV), ga = put("ga", G_HEAD + "T\tOR\tE A\t\tOff\r\n");
    write_repeated(tmp.file("ev_blank"), "Name\r\n", "\r\n", rows, "");
    write_repeated(tmp.file("ev_tabs"), "Name\tDescription\r\n", "\t\r\n", rows, "");
    write_repeated(tmp.file("ga_blank"), "Name\tType\r\nTOP\tOR\r\n", "\r\n", rows, "");
    write_repeated(tmp.file("ev_cr"), "Name\r\nA\r\n", "\r", rows, "");
    EXPECT_EQ(read_pair(tmp.file("ev_blank"), ga), FTREAD_BAD_EVENTS);
    EXPECT_EQ(read_pair(tmp.file("ev_tabs"), ga), FTREAD_BAD_EVENTS);
    EXPECT_EQ(read_pair(ev, tmp.file("ga_blank")), FTREAD_BAD_GATES);
    testing::internal::CaptureStdout();
    EXPECT_EQ(read_pair(tmp.file("ev_cr"), ga), FTREAD_OK);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(rows, '\r'));
}

// Names of 16 bytes whose hash_of under key k falls into the first 4,096
// slots of any table of at most 2^19 slots (one name in 128), checked here
// under k. Every look-up in a table of such names hashed under k passes over
// nearly every name put in before it.
std::vector<std::string> crowded_names(name_hash_key k, int n) {
    const name_hash_key own = name_index::set_key(k);
    std::vector<std::string> names;
    char name[17];
    for (unsigned long long i = 0; int(names.size()) < n; ++i) {
        snprintf(name, sizeof name, "C%015llx", i);
        if ((name_index::hash_of(name, 16) & 0x7F000) == 0)
            names.push_back(name);
    }
    for (const std::string &c : names)
        EXPECT_EQ(name_index::hash_of(c.c_str(), 16) & 0x7F000, 0u) << c;
    name_index::set_key(own);
    return names;
}

// A gates file whose tree names each event once: gates T_i, each with 16
// events and two gates below it.
std::string naming_each(const std::vector<std::string> &events) {
    const size_t tree = (events.size() + 15) / 16;
    std::string g = ftgen_inputs_header() + "TOP\tG T_0\r\n";
    for (size_t i = 0; i < tree; i++) {
        g += "T_" + std::to_string(i);
        for (size_t c = 2 * i + 1; c <= 2 * i + 2 && c < tree; c++)
            g += "\tG T_" + std::to_string(c);
        for (size_t k = 16 * i; k < 16 * i + 16 && k < events.size(); k++)
            g += "\tE " + events[k];
        g += "\r\n";
    }
    return g;
}

} // namespace

namespace {

// Inputs that kept a reader busy for minutes or for ever: cells of NUL bytes,
// the cycle check over a long chain or with blocks out of order, files that
// are no regular files.
TEST_F(Reader, HostileInputsEndWithTheirCode) {
    const std::string nul(4 << 20, '\0'), ev = put("ev", EV), ga = put("ga", "Name\r\nTOP\r\n");
    const std::string fifo = tmp.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string ord_events, ord_gates = ftgen_reordering_gates(60000, &ord_events);
    const struct {
        const char *what;
        std::string events, gates;
        int rc;
    } rows[] = {
        {"NUL cell in events", put("ev_nul", "Name\r\nA" + nul), ga, FTREAD_OK},
        {"NUL cell in gates", ev, put("ga_nul", "Name\tDescription\r\nT\tD" + nul + "\r\n"),
         FTREAD_OK},
        {"cycle check", put("ev_xy", "Name\r\nX\r\nY\r\n"),
         put("ga_cyc", ftgen_cycle_gates(24000, 4800)), FTREAD_BAD_GATES},
        // Valid, but every X draws the whole chain: too many drawn places.
        {"blocks out of order", put("ev_ord", ord_events), put("ga_ord", ord_gates),
         FTREAD_BAD_GATES},
        {"events FIFO", fifo, ga, FTREAD_ERROR},
        {"gates FIFO", ev, fifo, FTREAD_ERROR},
        {"character device", "/dev/zero", ga, FTREAD_ERROR},
    };
    for (const auto &r : rows)
        EXPECT_EQ(read_pair_bounded(r.events, r.gates), r.rc) << r.what;
}

// A cell longer than the readers take (256 MiB) is a read error.
// Rows whose cells lie on both sides of the place where the scanner reads
// its next block of input. A first row of about one block, grown one byte at
// a time, moves the later rows of both files across that place by every
// offset, and a last row of a block's length fills the next block; the cells
// end in every way a cell ends (TAB, CR LF, a lone CR, a NUL), and every
// field of every element must read as written.
TEST_F(Reader, RowsAcrossInputBlocksReadWhole) {
    // An events row after its name: '#' stands for the row number.
    // clang-format off
    const struct { std::string cells, desc, prob; } shapes[] = {
        {"\tplain #\tFixed\t2.5E-3 per hour", "plain #", "2.5E-3"},
        {"\t\tFixed\t4#", "", "4#"},
        {"\tbefore CR\rafter CR #\tFixed\t1E-#", "after CR #", "1E-#"},
        {"\tbefore NUL #\0after NUL\tFixed\t7.# a b"s, "before NUL #", "7.#"},
        {"\tno parameter #\tFixed", "no parameter #", "0.0"},
        {"\tthen a lone CR #\r\tFixed\t#", "then a lone CR #", "#"},
    };
    // clang-format on
    auto with = [](std::string text, int i) {
        for (size_t at; (at = text.find('#')) != std::string::npos;)
            text.replace(at, 1, std::to_string(i));
        return text;
    };
    const int rows = 60;
    for (int shift = 0; shift < 160; shift++) {
        const std::string first(size_t(IMPORT_BLOCK - 400 + shift), 'p');
        std::string ev = "Name\tDescription\tFailure Model Type\tFailure Model Parameter 0\r\n";
        std::string ga =
            "Name\tDescription\tInput  0 Type and Name\tInput  1 Type and Name\tNotes1\r\n";
        ev += "E_first\t" + first + "\tRate\t0\r\n";
        ga += "TOP\t" + first + "\tG G0\tG LAST\r\n";
        for (int i = 0; i < rows; i++) {
            ev += with("E#" + shapes[i % 6].cells + "\r\n", i);
            const std::string gate_desc = "gate " + std::string(i % 40, 'd') + "#";
            ga += with("G#\t" + gate_desc + (i % 2 ? "\r" : "") + "\tE E#\t", i) +
                  (i + 1 < rows ? "G G" + std::to_string(i + 1) : "") +
                  with("\tMorvu-SA criticality: c# Morvu-SA probability: p#\r\n", i);
        }
        ev += "E_last\t" + first + "\r\n";
        ga += "LAST\t" + first + "\r\n";
        FTD_tree t;
        testing::internal::CaptureStdout();
        ASSERT_EQ(load(t, ev, ga), 0) << shift;
        ASSERT_EQ(testing::internal::GetCapturedStdout(), std::string(rows / 3 + rows / 2, '\r'))
            << shift;
        ASSERT_EQ(ft_list_get_size(t.events), rows + 2);
        for (ft_element *e : {t.root, ft_list_get(t.events, 0), ft_list_get(t.events, rows + 1),
                              ft_list_get(ft_get_children(t.root), 1)}) // the long rows
            ASSERT_TRUE(ft_get_desc(e) == first) << shift << " " << ft_get_name(e);
        ft_element *g = ft_list_get(ft_get_children(t.root), 0);
        for (int i = 0; i < rows; i++) {
            const std::string what = std::to_string(shift) + " " + std::to_string(i);
            ft_element *e = ft_list_get(t.events, i + 1);
            ASSERT_EQ(ft_get_name(e), with("E#", i)) << what;
            ASSERT_EQ(ft_get_desc(e), with(shapes[i % 6].desc, i)) << what;
            ASSERT_EQ(ft_get_prob(e), with(shapes[i % 6].prob, i)) << what;
            ASSERT_EQ(ft_get_name(g), with("G#", i)) << what;
            ASSERT_EQ(ft_get_desc(g), with("gate " + std::string(i % 40, 'd') + "#", i)) << what;
            ASSERT_EQ(ft_get_prob(g), with("p#", i)) << what;
            ASSERT_EQ(ft_get_criticality(g), with("c#", i)) << what;
            ASSERT_EQ(ft_list_get(ft_get_children(g), 0), e) << what;
            g = ft_list_get(ft_get_children(g), 1);
        }
    }
}

TEST_F(Reader, CellBeyondLimit) {
    write_repeated(tmp.file("ev_huge"), "Name\r\n", "x", (256L << 20) + (1L << 20), "\r\n");
    EXPECT_EQ(read_pair(tmp.file("ev_huge"), put("ga", "Name\r\nTOP\r\n")), FTREAD_ERROR);
}

} // namespace

namespace {

// A gates row: its name and its inputs ("E name" or "G name").
struct gate_row {
    std::string name;
    std::vector<std::string> inputs;
};

std::string gates_text(const std::vector<gate_row> &rows) {
    std::string text = ftgen_inputs_header();
    for (const gate_row &r : rows) {
        text += r.name;
        for (const std::string &in : r.inputs)
            text += "\t" + in;
        text += "\r\n";
    }
    return text;
}

// Whether the children lists below the root or a gate made of an event lead
// back to an element on the current path.
bool has_cycle(FTD_tree &t) {
    std::map<ft_element *, int> colour; // 1 on the path, 2 done
    std::vector<std::pair<ft_element *, int>> path;
    for (int k = -1; k < ft_list_get_size(t.events); k++) {
        ft_element *start = k < 0 ? t.root : ft_list_get(t.events, k);
        if (colour[start] != 0 || ft_get_children(start) == nullptr)
            continue;
        colour[start] = 1, path.emplace_back(start, 0);
        while (!path.empty()) {
            auto &[e, next] = path.back();
            ft_list *l = ft_get_children(e);
            if (l == nullptr || next == ft_list_get_size(l)) {
                colour[e] = 2, path.pop_back();
                continue;
            }
            ft_element *c = ft_list_get(l, next++);
            if (colour[c] == 1)
                return true;
            if (colour[c] == 0)
                colour[c] = 1, path.emplace_back(c, 0);
        }
    }
    return false;
}

// The tree and result code of the rule, built with the model alone: the
// first row fills the root, every later row the first element of its name in
// preorder (ft_find_by_name).
int rule_build(FTD_tree &t, const std::vector<std::string> &events,
               const std::vector<gate_row> &rows) {
    for (const std::string &n : events)
        ft_list_cons(ft_set_type(ft_set_name(ft_init(), n.c_str()), FT_BASIC), t.events);
    int rc = 0;
    for (size_t i = 0; i < rows.size() && rc == 0; i++) {
        ft_element *g = i == 0 ? t.root : ft_find_by_name(t.root, rows[i].name.c_str());
        if (g == nullptr) {
            rc = 3;
            break;
        }
        ft_set_children(g, ft_list_init());
        ft_set_type(ft_set_name(g, rows[i].name.c_str()), FT_OR);
        for (const std::string &in : rows[i].inputs) {
            ft_element *c = in[0] == 'G' ? ft_set_name(ft_init(), in.c_str() + 2) : nullptr;
            for (size_t k = 0; c == nullptr && k < events.size(); k++)
                if (events[k] == in.substr(2))
                    c = ft_list_get(t.events, int(k));
            if (c == nullptr) {
                rc = 5;
                break;
            }
            ft_add_child(g, c);
        }
        if (rc == 0)
            ft_set_page(g, FT_PAGE_OFF);
    }
    return has_cycle(t) ? 3 : rc;
}

// Every element reachable from the root, numbered as met: its event number
// or "G", name, type, page flag and the numbers of its children.
std::string dump(FTD_tree &t) {
    std::map<ft_element *, int> event_no, id{{t.root, 0}};
    for (int k = 0; k < ft_list_get_size(t.events); k++)
        event_no.emplace(ft_list_get(t.events, k), k);
    std::vector<ft_element *> met{t.root};
    std::string out;
    for (size_t i = 0; i < met.size(); i++) {
        ft_element *e = met[i];
        out += (event_no.count(e) ? "E" + std::to_string(event_no[e]) : "G") + " " +
               ft_get_name(e) + " " + std::to_string(ft_get_type(e)) + " " +
               std::to_string(ft_get_page(e)) + " [";
        ft_list *l = ft_get_children(e);
        for (int k = 0; l != nullptr && k < ft_list_get_size(l); k++) {
            ft_element *c = ft_list_get(l, k);
            if (id.emplace(c, int(id.size())).second)
                met.push_back(c);
            out += " " + std::to_string(id[c]);
        }
        out += " ]\n";
    }
    return out;
}

// Small files of gates rows that refill names held by several elements,
// events turned into gates, inputs replaced and cycles made and undone: the
// reader builds the tree and gives the result code of the rule. Each row is
// named after an input of an earlier row; names serve as events and gates.
TEST_F(Reader, RowsFillTheFirstElementOfTheirNameInPreorder) {
    const std::vector<std::string> events = {"X", "Y", "A", "X", "Z"};
    const char *gates[] = {"A", "B", "C", "X", "Y"};
    std::string ev = "Name\r\n";
    for (const std::string &n : events)
        ev += n + "\r\n";
    // clang-format off
    std::vector<std::vector<gate_row>> files = {
        {{"T", {"G B", "G A", "G A"}}, {"A", {"E X"}}, {"A", {"G A", "E Y"}}, {"A", {"E Z"}}},
        {{"T", {"E A", "G A"}}, {"A", {"G A"}}, {"A", {"E X"}}, {"T", {"G A", "E A"}}, {"A", {}}},
        {{"T", {"E X", "E Y"}}, {"X", {"G C", "E Y"}}, {"Y", {"G C"}}, {"C", {"E Z"}}, {"X", {}},
         {"C", {"E X"}}},
        // A leaves the tree with event Y and comes back with it.
        {{"T", {"E Y"}}, {"Y", {"G A"}}, {"T", {"G C"}}, {"C", {"E Y"}}, {"A", {"E X"}}},
    };
    // clang-format on
    uint64_t seed = 7;
    auto next = [&seed](int n) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return int((seed >> 33) % uint64_t(n));
    };
    for (int file = 0; file < 3000; file++) {
        std::vector<gate_row> rows{{next(4) == 0 ? "A" : "T", {}}};
        std::vector<std::string> named{"T"};
        for (int r = 0, n = 2 + next(10); r < n; r++) {
            gate_row &row = rows.back();
            for (int k = next(4); k > 0; k--) {
                const bool event = next(10) < 3;
                std::string in =
                    event ? (next(30) == 0 ? "Q" : events[size_t(next(5))]) : gates[next(5)];
                row.inputs.push_back((event ? "E " : "G ") + in);
                named.push_back(in);
            }
            rows.push_back({named[size_t(next(int(named.size())))], {}});
        }
        files.push_back(rows);
    }
    const std::string ev_path = put("ev", ev);
    for (const std::vector<gate_row> &rows : files) {
        const std::string text = gates_text(rows);
        FTD_tree read, rule;
        const int rc = read_faulttree_files(&read, ev_path.c_str(), put("gt", text).c_str());
        ASSERT_EQ(rc, rule_build(rule, events, rows)) << text;
        ASSERT_EQ(dump(read), dump(rule)) << text;
    }
    for (int copies : {1, 2}) {
        std::string ev_refill;
        const std::string text = ftgen_refill_gates(40, 25, copies, &ev_refill);
        FTD_tree t;
        ASSERT_EQ(load(t, ev_refill, text), 0);
        ft_list *kids = ft_get_children(t.root);
        ASSERT_EQ(ft_list_get_size(kids), 1 + copies);
        ft_element *a = ft_list_get(kids, 1);
        ASSERT_EQ(ft_list_get_size(ft_get_children(a)), 1);
        EXPECT_STREQ(ft_get_name(ft_list_get(ft_get_children(a), 0)), "BE_24");
        if (copies == 2) {
            EXPECT_EQ(ft_get_children(ft_list_get(kids, 2)), nullptr);
        }
    }
}

// Longer files of the same kind, more of whose inputs name events: events
// turned into gates move with their first input, leave the tree and come
// back, in chains of several.
TEST_F(Reader, MovingPartsFillTheFirstElementOfTheirNameInPreorder) {
    const std::vector<std::string> events = {"X", "Y", "A", "Z", "W", "X"};
    const char *names[] = {"A", "B", "C", "X", "Y", "Z", "W", "T"};
    std::string ev = "Name\r\n";
    for (const std::string &n : events)
        ev += n + "\r\n";
    const std::string ev_path = put("ev", ev);
    uint64_t seed = 11;
    auto next = [&seed](int n) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return int((seed >> 33) % uint64_t(n));
    };
    for (int file = 0; file < 2000; file++) {
        std::vector<gate_row> rows{{"T", {}}};
        std::vector<std::string> named{"T"};
        for (int r = 0, n = 10 + next(30); r < n; r++) {
            for (int k = next(5); k > 0; k--) {
                const bool event = next(10) < 6;
                named.push_back(event ? events[size_t(next(5))] : names[next(8)]);
                rows.back().inputs.push_back((event ? "E " : "G ") + named.back());
            }
            rows.push_back({named[size_t(next(int(named.size())))], {}});
        }
        const std::string text = gates_text(rows);
        FTD_tree read, rule;
        const int rc = read_faulttree_files(&read, ev_path.c_str(), put("gt", text).c_str());
        ASSERT_EQ(rc, rule_build(rule, events, rows)) << text;
        ASSERT_EQ(dump(read), dump(rule)) << text;
    }
}

// Rows naming a name that other elements of the tree hold too, below a large
// tree, each file about 4 MB: a search of the tree at every row takes
// minutes, the reader's record well under a second; and so do rows that move
// a large part of the tree at every row.
TEST_F(Reader, RowsOfSharedNamesLoadInLinearTime) {
    const struct {
        const char *what;
        ftgen_named shape;
        int size;
    } shapes[] = {
        {"gates A below two events turned into gates", FTGEN_TWO_BLOCKS, 100000},
        {"a gate and an event A", FTGEN_EVENT_AND_GATE, 100000},
        {"A below an event one of whose inputs was dropped", FTGEN_DROPPED_INPUT, 100000},
        {"a gate and an event A below a chain", FTGEN_CHAIN, 40000},
    };
    for (const auto &s : shapes) {
        std::string ev;
        const std::string gt = ftgen_named_gates(s.shape, s.size, 200000, &ev);
        EXPECT_EQ(read_pair_bounded(put("ev_named", ev), put("gt_named", gt)), FTREAD_OK) << s.what;
    }
    std::string ev;
    const std::string gt = ftgen_moving_gates(100000, 200000, &ev);
    EXPECT_EQ(read_pair_bounded(put("ev_moving", ev), put("gt_moving", gt)), FTREAD_OK)
        << "a part of 100,000 gates moved at every row";
}

// Files built to make the reader search the tree at row after row, 100 to
// 250 KB each, read against the meter: those whose rows the record answers
// (rows that move a part of the tree holding 17,000 gates X or inputs
// naming Z back and forth, rows of one name held by elements in several
// places) take one search at most; rows of two such names in turn are
// refused once their searches pass the budget. Counts, not times: the bound
// holds on any machine.
TEST_F(Reader, RowsThatNeedSearchesStayWithinTheMeter) {
    std::string ev[7];
    const struct shape {
        const char *what;
        std::string gates;
        const std::string &events;
        int rc;
    } shapes[] = {
        {"part of gates X moved", ftgen_part_moved_back_and_forth(1000, 1000, false, &ev[0]), ev[0],
         FTREAD_OK},
        {"part of inputs naming Z moved", ftgen_part_moved_back_and_forth(1000, 1000, true, &ev[1]),
         ev[1], FTREAD_OK},
        {"A below two events", ftgen_named_gates(FTGEN_TWO_BLOCKS, 10000, 5000, &ev[2]), ev[2],
         FTREAD_OK},
        {"gate and event A", ftgen_named_gates(FTGEN_EVENT_AND_GATE, 10000, 5000, &ev[3]), ev[3],
         FTREAD_OK},
        {"A, input to event dropped", ftgen_named_gates(FTGEN_DROPPED_INPUT, 10000, 5000, &ev[4]),
         ev[4], FTREAD_OK},
        {"gate and event A below a chain", ftgen_named_gates(FTGEN_CHAIN, 5000, 5000, &ev[5]),
         ev[5], FTREAD_OK},
        {"A and B, each held twice, in turn", ftgen_alternating_gates(20000, 400, &ev[6]), ev[6],
         FTREAD_BAD_GATES},
    };
    for (const shape &s : shapes) {
        FTD_tree t;
        ftread_meter meter;
        const long long bytes = (long long)s.gates.size();
        EXPECT_EQ(read_faulttree_files(&t, put("ev_m", s.events).c_str(),
                                       put("gt_m", s.gates).c_str(), &meter),
                  s.rc)
            << s.what;
        EXPECT_EQ(meter.refused, s.rc != FTREAD_OK) << s.what;
        EXPECT_LE(meter.steps, s.rc == FTREAD_OK
                                   ? bytes
                                   : FTREAD_STEPS_PER_BYTE * bytes + FTREAD_STEPS_ALLOWED + 1)
            << s.what;
    }
}

// Rows that fill one name again and again below a large tree: the name held
// by one gate (its inputs replaced at every row) and by two. A search of the
// whole tree at every row would take an hour; a linear reader needs well
// under a second.
TEST_F(Reader, RefillingRowsLoadInLinearTime) {
    for (int copies : {1, 2}) {
        std::string ev;
        const std::string gt = ftgen_refill_gates(100000, 200000, copies, &ev);
        EXPECT_EQ(read_pair_bounded(put("ev_refill", ev), put("gt_refill", gt)), FTREAD_OK)
            << copies << " gates refilled";
    }
}

} // namespace

namespace {

// Names crowded into one corner of the name index's table under one key load
// in linear time under the process's own key: the events alone, and with a
// gates file naming each. Under the key they were made for, a look-up passes
// over every name before it and such a load takes minutes; a linear reader
// needs well under a second.
TEST_F(Reader, NamesCrowdedUnderAnotherKeyLoadInLinearTime) {
    const std::vector<std::string> names = crowded_names({1, 2}, 300000);
    std::string ev = "Name\r\n";
    for (const std::string &n : names)
        ev += n + "\r\n";
    const struct {
        const char *what;
        std::string gates;
    } rows[] = {
        {"events alone", "Name\r\nTOP\r\n"},
        {"a gates file naming each", naming_each(names)},
    };
    const std::string ev_path = put("ev_crowded", ev);
    for (const auto &r : rows)
        EXPECT_EQ(read_pair_bounded(ev_path, put("gt_crowded", r.gates)), FTREAD_OK) << r.what;
}

} // namespace
