// Fault injection on the input side: file pairs that cannot be read, that are
// directories, that hold one enormous cell or a million empty rows. Each must
// end with a clear result (and alert in the main window), release what it
// built, and leave the program able to load a good pair afterwards.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "FTD_wnd_handler.h"
#include "dialogs.h"
#include "fault_support.h"
#include "ftread.h"
#include "saFaultTree.h"

namespace {

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

const char good_events[] = "Name\tDescription\r\nA\tfirst\r\nB\tsecond\r\n";
const char good_gates[] = "Name\tType\tInput  0 Type and Name\tInput  1 Type and Name\r\n"
                          "TOP\tAND\tE A\tE B\r\n";

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

} // namespace

// The events or the gates file is a directory, a file the process may not
// read, or a file whose reads fail.
TEST(ReliabilityInput, UnreadableFilesGiveResultCodes) {
    temp_dir dir;
    write_all(dir.file("ev"), good_events);
    write_all(dir.file("ga"), good_gates);
    ASSERT_EQ(mkdir(dir.file("subdir").c_str(), 0755), 0);
    const std::string ev = dir.file("ev"), ga = dir.file("ga"), sub = dir.file("subdir");
    struct row {
        std::string events, gates;
        int expected;
    } rows[] = {
        {sub, ga, FTREAD_ERROR}, // opens, reading fails
        {ev, sub, FTREAD_ERROR},
        {"/proc/self/mem", ga, FTREAD_ERROR}, // reading at offset 0 fails with EIO
        {ev, "/proc/self/mem", FTREAD_ERROR},
        {dir.file("missing"), ga, FTREAD_NO_EVENTS_FILE},
        {ev, dir.file("missing"), FTREAD_NO_GATES_FILE},
        {ev, ga, FTREAD_OK},
    };
    for (const row &r : rows)
        EXPECT_EQ(read_pair(r.events, r.gates), r.expected) << r.events << " / " << r.gates;
}

TEST(ReliabilityInput, PermissionDeniedIsNotFound) {
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: file modes do not stop reading";
    temp_dir dir;
    write_all(dir.file("ev"), good_events);
    write_all(dir.file("ga"), good_gates);
    ASSERT_EQ(chmod(dir.file("ev").c_str(), 0), 0);
    EXPECT_EQ(read_pair(dir.file("ev"), dir.file("ga")), FTREAD_NO_EVENTS_FILE);
    ASSERT_EQ(chmod(dir.file("ev").c_str(), 0644), 0);
    ASSERT_EQ(chmod(dir.file("ga").c_str(), 0), 0);
    EXPECT_EQ(read_pair(dir.file("ev"), dir.file("ga")), FTREAD_NO_GATES_FILE);
}

// One cell of 100 MB without TAB or CR, in each file: read whole, kept
// whole, released with the holder.
TEST(ReliabilityInput, HundredMegabyteCell) {
    const long big = 100L * 1024 * 1024;
    temp_dir dir;
    write_repeated(dir.file("ev_big"), "Name\r\n", "x", big, "\r\n");
    write_all(dir.file("ga"), "Name\r\nTOP\r\n");
    long before = ft_live_elements();
    {
        FTD_tree holder;
        ASSERT_EQ(read_faulttree_files(&holder, dir.file("ev_big").c_str(), dir.file("ga").c_str()),
                  FTREAD_OK);
        ASSERT_EQ(ft_list_get_size(holder.events), 1);
        EXPECT_EQ((long)strlen(ft_get_name(ft_list_get(holder.events, 0))), big);
    }
    write_all(dir.file("ev"), good_events);
    write_repeated(dir.file("ga_big"), "Name\tDescription\r\nTOP\t", "y", big, "\r\n");
    {
        FTD_tree holder;
        ASSERT_EQ(read_faulttree_files(&holder, dir.file("ev").c_str(), dir.file("ga_big").c_str()),
                  FTREAD_OK);
        EXPECT_EQ((long)strlen(ft_get_desc(holder.root)), big);
    }
    EXPECT_EQ(ft_live_elements(), before);
    // A 100 MB header cell names no column.
    write_repeated(dir.file("ev_head"), "", "z", big, "\r\n");
    EXPECT_EQ(read_pair(dir.file("ev_head"), dir.file("ga")), FTREAD_BAD_EVENTS);
}

// A million empty rows after the header: the first one is a row without a
// name, whatever follows.
TEST(ReliabilityInput, MillionEmptyRows) {
    const long rows = 1000000;
    temp_dir dir;
    write_all(dir.file("ev"), good_events);
    write_all(dir.file("ga"), good_gates);
    write_repeated(dir.file("ev_blank"), "Name\r\n", "\r\n", rows, "");
    write_repeated(dir.file("ev_tabs"), "Name\tDescription\r\n", "\t\r\n", rows, "");
    write_repeated(dir.file("ga_blank"), "Name\tType\r\nTOP\tOR\r\n", "\r\n", rows, "");
    // A million lone CRs after the last row: echoed, no rows added.
    write_repeated(dir.file("ev_cr"), "Name\r\nA\r\n", "\r", rows, "");
    write_all(dir.file("ga_a"), "Name\tInput  0 Type and Name\r\nTOP\tE A\r\n");
    EXPECT_EQ(read_pair(dir.file("ev_blank"), dir.file("ga")), FTREAD_BAD_EVENTS);
    EXPECT_EQ(read_pair(dir.file("ev_tabs"), dir.file("ga")), FTREAD_BAD_EVENTS);
    EXPECT_EQ(read_pair(dir.file("ev"), dir.file("ga_blank")), FTREAD_BAD_GATES);
    fflush(stdout);
    int saved = dup(STDOUT_FILENO);
    ASSERT_TRUE(freopen("/dev/null", "w", stdout) != nullptr);
    int cr_code = read_pair(dir.file("ev_cr"), dir.file("ga_a"));
    fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    EXPECT_EQ(cr_code, FTREAD_OK);
}

// ---------------------------------------------------------------- main window

namespace {

struct ReliabilityWindow : ::testing::Test {
    temp_dir dir;
    capture_log logger;
    dlg_responder responder;
    std::vector<std::string> alerts;
    FTD_wnd_handler *handler = nullptr;

    void SetUp() override {
        responder.alert = [this](const std::string &text) { alerts.push_back(text); };
        dlg_set_responder(&responder);
        global_log = &logger;
        write_all(dir.file("ev"), good_events);
        write_all(dir.file("ga"), good_gates);
        handler = new FTD_wnd_handler();
    }
    void TearDown() override {
        Fl_Double_Window *window = handler->window;
        delete handler;
        delete window;
        global_log = nullptr;
        dlg_set_responder(nullptr);
    }
    int load_good() { return handler->load_files(dir.file("ev").c_str(), dir.file("ga").c_str()); }
};

} // namespace

// Each broken pair shows its alert, keeps the tree on display and its paths,
// and a good pair loads afterwards.
TEST_F(ReliabilityWindow, BrokenPairKeepsWindowUsable) {
    ASSERT_EQ(mkdir(dir.file("subdir").c_str(), 0755), 0);
    write_repeated(dir.file("ev_blank"), "Name\r\n", "\r\n", 1000000, "");
    const std::string sub = dir.file("subdir"), ev = dir.file("ev"), ga = dir.file("ga");
    struct row {
        std::string events, gates, alert;
    } rows[] = {
        {sub, ga, "Error.\nLoading aborted."},
        {ev, sub, "Error.\nLoading aborted."},
        {dir.file("ev_blank"), ga,
         "The format of events file \"" + dir.file("ev_blank") +
             "\" is not correct.\nLoading aborted."},
        {dir.file("gone"), ga, "File \"" + dir.file("gone") + "\" not found!\nLoading aborted."},
    };
    ASSERT_EQ(load_good(), FTREAD_OK);
    ft_element *shown = handler->canvas->tree;
    ASSERT_NE(shown, nullptr);
    for (const row &r : rows) {
        alerts.clear();
        EXPECT_NE(handler->load_files(r.events.c_str(), r.gates.c_str()), FTREAD_OK);
        ASSERT_EQ(alerts.size(), 1u) << r.events;
        EXPECT_EQ(alerts[0], r.alert);
        EXPECT_EQ(handler->canvas->tree, shown);
        EXPECT_STREQ(handler->events_path, ev.c_str());
    }
    struct stat st;
    EXPECT_EQ(stat(sub.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    long live = ft_live_elements();
    EXPECT_EQ(load_good(), FTREAD_OK);
    EXPECT_EQ(ft_live_elements(), live) << "the replaced tree must be released";
    handler->on_close();
    EXPECT_EQ(handler->canvas->tree, nullptr);
}
