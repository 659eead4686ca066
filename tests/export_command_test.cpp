// File > Export: the order of checks, the questions asked and the log lines,
// answered through the dialog seam; then a full disk and a special file. A
// failure keeps the earlier file and leaves no temporary file behind.
#include "app_fixture.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <set>

TEST_F(AppTest, ExportBranches) {
    setenv("HOME", dir.c_str(), 1);
    logger->set_level(LOG_DEBUG);
    std::string chosen, proposed;
    int answer = 0, asked = 0;
    responder.file_chooser = [&](const char *, const char *, const char *fname, int) {
        proposed = fname;
        return chosen.empty() ? (const char *)NULL : chosen.c_str();
    };
    responder.choice = [&](const std::string &, const char *, const char *, const char *) {
        asked++;
        return answer;
    };
    enum { NONE, OLD, LINK };
    const std::string err = "ERROR. ", file_err = err + "File could not be written.\n";
    const std::string ext_err = err + "Not a valid file extension.\n";
    struct {
        const char *chosen; // in the test directory; "" cancels
        int existing;       // nothing, a file holding "OLD", a dangling link
        int answer, asked;
        std::string log; // expected log lines
        bool replaced;   // the file then holds a document
        int fsize;       // largest file size allowed (a full disk); 0 no limit
    } cases[] = {{"", NONE, 0, 0, "", false, 0},
                 {".", NONE, 0, 0,
                  err + "You chose a directory.\nPlease, choose a different file.\n", false, 0},
                 {"a.svg", OLD, 0, 1, "", false, 0},
                 {"a.svg", OLD, 1, 1, "", true, 0},
                 {"new.svg", NONE, 0, 0, "", true, 0},
                 {"new.SVG", NONE, 1, 0, ext_err, false, 0},
                 {"a.txt", OLD, 1, 1, ext_err, false, 0},
                 {"link.svg", LINK, 0, 1, "", false, 0}, // exists, though it cannot be read
                 {"missing/x.svg", NONE, 1, 0, file_err, false, 0},
                 {"a.svg", OLD, 1, 1, file_err, false, 64}};
    signal(SIGXFSZ, SIG_IGN); // an oversized write then fails as on a full disk
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.chosen) + " " + std::to_string(c.fsize));
        std::string path = dir + "/" + c.chosen;
        chosen = *c.chosen ? path : "";
        unlink(path.c_str());
        if (c.existing == OLD)
            write_all(path, "OLD");
        if (c.existing == LINK) {
            ASSERT_EQ(0, symlink((dir + "/nowhere").c_str(), path.c_str()));
        }
        answer = c.answer;
        asked = 0;
        logger->clear();
        rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = c.fsize ? c.fsize : old.rlim_cur;
        setrlimit(RLIMIT_FSIZE, &small);
        h->on_export();
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ("ft_export.svg", proposed);
        EXPECT_EQ(c.asked, asked);
        EXPECT_TRUE(log_ends("from scratch.\n\n" + c.log));
        if (c.replaced || c.existing == OLD) { // a document, or the old content kept
            EXPECT_EQ(c.replaced ? "<?xml" : "OLD", read_all(path).substr(0, c.replaced ? 5 : 99));
        }
        for (const std::string &name : names_in(dir)) // only chosen names, no temporary file
            EXPECT_TRUE(std::any_of(std::begin(cases), std::end(cases), [&](const auto &k) {
                return name == k.chosen;
            })) << name;
    }
    h->events_output->value("/data/x/events.txt");
    chosen = "";
    h->on_export();
    EXPECT_EQ("/data/x/ft_export.svg", proposed);
}

namespace {

// The example tree on display, overwrites confirmed, errors logged.
struct ExportFault : AppTest {
    void SetUp() override {
        AppTest::SetUp();
        if (!h)
            return;
        logger->set_level(LOG_ERROR);
        responder.choice = [](const std::string &, const char *, const char *, const char *) {
            return 1;
        };
        ASSERT_EQ(load_example(), 0);
    }
    // Exports through File > Export into path; true when the failure is logged.
    bool export_fails(const std::string &path) {
        responder.file_chooser = [path](const char *, const char *, const char *, int) {
            return path.c_str();
        };
        logger->clear();
        h->on_export();
        return log_ends("ERROR. File could not be written.\n");
    }
};

} // namespace

TEST_F(ExportFault, FullDisk) {
    temp_dir tmp; // unmounts its "full" at the end
    const std::string full = tmp.file("full");
    if (mount_small_tmpfs(full, "64k") != 0)
        GTEST_SKIP() << "no mount namespace here (needs CAP_SYS_ADMIN)";
    write_all(full + "/tree.svg", "precious earlier export");
    write_all(full + "/filler", std::string(1 << 17, 'x')); // no byte more fits
    const std::set<std::string> before = names_in(full);
    EXPECT_TRUE(export_fails(full + "/tree.svg"));
    EXPECT_EQ(read_all(full + "/tree.svg"), "precious earlier export");
    EXPECT_TRUE(export_fails(full + "/new.svg"));
    EXPECT_EQ(names_in(full), before) << "no partial or temporary file may stay";
    ASSERT_EQ(unlink((full + "/filler").c_str()), 0);
    EXPECT_FALSE(export_fails(full + "/tree.svg"));
    EXPECT_EQ(read_all(full + "/tree.svg").rfind("<?xml", 0), 0u);
}

// Renaming a new file over a pipe (here behind a link) would replace the pipe.
TEST_F(ExportFault, SpecialFileIsNotReplaced) {
    const std::string fifo = dir + "/pipe", link = dir + "/tree.svg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(symlink(fifo.c_str(), link.c_str()), 0);
    EXPECT_TRUE(export_fails(link));
    struct stat st;
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"pipe", "tree.svg"}))
        << "no temporary file may stay";
}

// A symbolic link is written through: the file it resolves to gets the
// document beside it and the link stays. A dangling link or a loop is
// refused and stays as it is. The extension counts on the chosen name.
TEST_F(ExportFault, LinksAreWrittenThrough) {
    ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
    const char *files[] = {"sub/real.svg", "sub/text.txt"};
    const struct {
        const char *link, *target;
        const char *log;     // the error logged, "" for none
        const char *written; // the file that gets the document, "" for none
    } rows[] = {{"real.svg", "sub/real.svg", "", "sub/real.svg"},
                {"chain.svg", "real.svg", "", "sub/real.svg"},
                {"text.svg", "sub/text.txt", "", "sub/text.txt"},
                {"svg.txt", "sub/real.svg", "Not a valid file extension.", ""},
                {"dangling.svg", "sub/nowhere.svg", "File could not be written.", ""},
                {"loop.svg", "loop.svg", "File could not be written.", ""}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.link);
        for (const char *f : files)
            write_all(dir + "/" + f, "OLD");
        const std::string link = dir + "/" + r.link;
        ASSERT_EQ(symlink(r.target, link.c_str()), 0);
        const std::set<std::string> before = names_in(dir), before_sub = names_in(dir + "/sub");
        responder.file_chooser = [&](const char *, const char *, const char *, int) {
            return link.c_str();
        };
        logger->clear();
        h->on_export();
        EXPECT_TRUE(log_ends(*r.log ? "ERROR. " + std::string(r.log) + "\n" : "scratch.\n\n"));
        char back[256] = "";
        EXPECT_GT(readlink(link.c_str(), back, sizeof back - 1), 0) << "the link is gone";
        EXPECT_STREQ(back, r.target);
        for (const char *f : files)
            EXPECT_EQ(read_all(dir + "/" + f).substr(0, 5), strcmp(f, r.written) ? "OLD" : "<?xml")
                << f;
        EXPECT_EQ(names_in(dir), before) << "no temporary file may stay";
        EXPECT_EQ(names_in(dir + "/sub"), before_sub) << "no temporary file may stay";
    }
}
