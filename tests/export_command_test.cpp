// File > Export: the order of checks, the questions asked and the log lines,
// answered through the dialog seam; then a full disk, a special file and
// links. A failure keeps the earlier file and leaves no temporary file behind.
#include "app_fixture.h"

#include <grp.h>
#include <signal.h>
#include <sys/wait.h>

#include "file_replace.h"

namespace {

// The example tree on display, every log line kept; the chooser answers
// chosen, the overwrite question answer.
struct Export : AppTest {
    std::string chosen, proposed; // "" cancels; the name the chooser proposed
    int answer = 1, asked = 0;
    void SetUp() override {
        AppTest::SetUp();
        if (!h)
            return;
        logger->set_level(LOG_DEBUG);
        responder.file_chooser = [this](const char *, const char *, const char *fname, int) {
            proposed = fname;
            return chosen.empty() ? (const char *)nullptr : chosen.c_str();
        };
        responder.choice = [this](const std::string &, const char *, const char *, const char *) {
            asked++;
            return answer;
        };
        ASSERT_EQ(load_example(), 0);
    }
    // Exports through File > Export into path; the log lines it added.
    std::string export_log(const std::string &path) {
        chosen = path;
        asked = 0;
        logger->clear();
        h->on_export();
        std::string all = text_of(logger->buffer), start = "from scratch.\n\n";
        return all.substr(all.find(start) + start.size());
    }
    // Exports into path as export_log does, but in a child process running
    // as user and group as (0: root stays root), so that the kernel decides
    // what that user may write. The log lines written and the questions asked.
    std::pair<std::string, int> export_as(uid_t as, const std::string &path) {
        const std::string log_path = dir + "/export.log";
        fflush(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            static log_file child_log(log_path.c_str(), LOG_DEBUG); // opened before the drop
            global_log = &child_log;
            if (as && (setgroups(0, nullptr) != 0 || setgid(as) != 0 || setuid(as) != 0))
                _exit(99);
            chosen = path;
            asked = 0;
            h->on_export();
            _exit(asked);
        }
        int status = -1;
        waitpid(pid, &status, 0);
        return {read_all(log_path), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
    }
};

const uid_t nobody = 65534; // also the group id of nobody's group

const std::string file_err = "ERROR. File could not be written.\n";
const std::string ext_err = "ERROR. Not a valid file extension.\n";

} // namespace

TEST_F(Export, ChecksQuestionsAndLogLines) {
    file_replace_startup(); // a write past the file-size limit fails, as in the program
    enum { NONE, OLD, LINK, LOOP };
    struct {
        const char *chosen; // in the test directory; "" cancels
        int existing;       // nothing, a file holding "OLD", a dangling link, a loop
        int answer, asked;
        std::string log; // expected log lines
        bool replaced;   // the file then holds a document
        int fsize;       // largest file size allowed (a full disk); 0 no limit
    } cases[] = {{"", NONE, 0, 0, "", false, 0},
                 {".", NONE, 0, 0,
                  "ERROR. You chose a directory.\nPlease, choose a different file.\n", false, 0},
                 {"a.svg", OLD, 0, 1, "", false, 0},
                 {"a.svg", OLD, 1, 1, "", true, 0},
                 {"new.svg", NONE, 0, 0, "", true, 0},
                 {"new.SVG", NONE, 1, 0, ext_err, false, 0},
                 {"a.txt", OLD, 1, 1, ext_err, false, 0},
                 {"link.svg", LINK, 1, 0, file_err, false, 0}, // refused before the question
                 {"loop.svg", LOOP, 1, 0, file_err, false, 0},
                 {"missing/x.svg", NONE, 1, 0, file_err, false, 0},
                 {"a.svg", OLD, 1, 1, file_err, false, 64}};
    h->on_close(); // no events file: the bare name is proposed
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.chosen) + " " + std::to_string(c.fsize));
        std::string path = dir + "/" + c.chosen;
        unlink(path.c_str());
        if (c.existing == OLD)
            write_all(path, "OLD");
        if (c.existing == LINK) {
            ASSERT_EQ(0, symlink((dir + "/nowhere").c_str(), path.c_str()));
        }
        if (c.existing == LOOP) {
            ASSERT_EQ(0, symlink(path.c_str(), path.c_str()));
        }
        answer = c.answer;
        std::string log;
        {
            file_size_limit limit(c.fsize);
            log = export_log(*c.chosen ? path : "");
        }
        EXPECT_EQ("ft_export.svg", proposed);
        EXPECT_EQ(c.asked, asked);
        EXPECT_EQ(c.log, log);
        if (c.replaced || c.existing == OLD) { // a document, or the old content kept
            EXPECT_EQ(c.replaced ? "<?xml" : "OLD", read_all(path).substr(0, c.replaced ? 5 : 99));
        }
        for (const std::string &name : names_in(dir)) // only chosen names, no temporary file
            EXPECT_TRUE(std::any_of(std::begin(cases), std::end(cases), [&](const auto &k) {
                return name == k.chosen;
            })) << name;
    }
}

TEST_F(Export, FullDisk) {
    const std::string full = dir + "/full";
    if (mount_small_tmpfs(full, "64k") != 0)
        GTEST_SKIP() << "no mount namespace here (needs CAP_SYS_ADMIN)";
    write_all(full + "/tree.svg", "precious earlier export");
    write_all(full + "/filler", std::string(1 << 17, 'x')); // no byte more fits
    const std::set<std::string> before = names_in(full);
    EXPECT_EQ(export_log(full + "/tree.svg"), file_err);
    EXPECT_EQ(read_all(full + "/tree.svg"), "precious earlier export");
    EXPECT_EQ(export_log(full + "/new.svg"), file_err);
    EXPECT_EQ(names_in(full), before) << "no partial or temporary file may stay";
}

// Renaming a new file over a pipe (here behind a link) would replace the pipe.
TEST_F(Export, SpecialFileIsNotReplaced) {
    const std::string fifo = dir + "/pipe", link = dir + "/tree.svg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(symlink(fifo.c_str(), link.c_str()), 0);
    const std::set<std::string> before = names_in(dir);
    EXPECT_EQ(export_log(link), file_err);
    EXPECT_EQ(proposed, example("ft_export.svg")); // beside the events file
    struct stat st;
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(names_in(dir), before) << "no temporary file may stay";
}

// A symbolic link is written through: the file it resolves to gets the
// document beside it and the link stays. A dangling link or a loop is
// refused and stays as it is. The extension counts on the chosen name.
TEST_F(Export, LinksAreWrittenThrough) {
    ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
    const char *files[] = {"sub/real.svg", "sub/text.txt"};
    const struct {
        const char *link, *target;
        std::string log;     // the error logged
        const char *written; // the file that gets the document, "" for none
    } rows[] = {{"real.svg", "sub/real.svg", "", "sub/real.svg"},
                {"chain.svg", "real.svg", "", "sub/real.svg"},
                {"text.svg", "sub/text.txt", "", "sub/text.txt"},
                {"svg.txt", "sub/real.svg", ext_err, ""},
                {"dangling.svg", "sub/nowhere.svg", file_err, ""},
                {"loop.svg", "loop.svg", file_err, ""}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.link);
        for (const char *f : files)
            write_all(dir + "/" + f, "OLD");
        const std::string link = dir + "/" + r.link;
        ASSERT_EQ(symlink(r.target, link.c_str()), 0);
        const std::set<std::string> before = names_in(dir), before_sub = names_in(dir + "/sub");
        EXPECT_EQ(export_log(link), r.log);
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

// An existing file is replaced only when its user may write it; a file whose
// owner or group a new file would not get, or with a second name, is written
// in place, so that it keeps its owner, group, inode and other names. Every
// replaced file keeps its permission bits.
TEST_F(Export, PermissionsOwnersAndHardLinks) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    const std::string own = dir + "/own"; // a folder of nobody's
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(own.c_str(), 0755), 0);
    ASSERT_EQ(chown(own.c_str(), nobody, nobody), 0);
    const struct {
        const char *name;
        uid_t as, owner;
        gid_t group;
        mode_t mode;
        bool linked; // a second name "<name>.other" for the same file
        bool written;
    } rows[] = {{"readonly.svg", nobody, nobody, nobody, 0444, false, false},
                {"foreign.svg", nobody, 0, 0, 0644, false, false},
                {"shared.svg", nobody, 0, 0, 0666, false, true},
                {"group.svg", nobody, nobody, 0, 0664, false, true},
                {"private.svg", nobody, nobody, nobody, 0640, false, true},
                {"linked.svg", nobody, nobody, nobody, 0644, true, true},
                {"theirs.svg", 0, nobody, nobody, 0600, false, true},
                {"root-linked.svg", 0, 0, 0, 0644, true, true},
                {"root-readonly.svg", 0, 0, 0, 0444, false, true}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        const std::string path = own + "/" + r.name, other = path + ".other";
        write_all(path, "OLD");
        ASSERT_EQ(chown(path.c_str(), r.owner, r.group), 0);
        ASSERT_EQ(chmod(path.c_str(), r.mode), 0);
        if (r.linked) {
            ASSERT_EQ(link(path.c_str(), other.c_str()), 0);
        }
        struct stat before, after;
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        const std::set<std::string> names = names_in(own);
        EXPECT_EQ(export_as(r.as, path), std::make_pair(r.written ? std::string() : file_err, 1));
        EXPECT_EQ(read_all(path).substr(0, 5), r.written ? "<?xml" : "OLD");
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode & 07777, r.mode);
        EXPECT_EQ(after.st_uid, r.owner);
        EXPECT_EQ(after.st_gid, r.group);
        if (r.linked) {
            EXPECT_EQ(after.st_ino, before.st_ino);
            EXPECT_EQ(read_all(other), read_all(path)) << "the second name lost the file";
        }
        EXPECT_EQ(names_in(own), names) << "no temporary file may stay";
    }
}

// Written in place over a longer file, the document leaves exactly its own
// bytes under both names: nothing of the old file's tail stays.
TEST_F(Export, InPlaceOverALongerFile) {
    EXPECT_EQ(export_log(dir + "/probe.svg"), "");
    const std::string document = read_all(dir + "/probe.svg");
    const std::string path = dir + "/tree.svg", other = dir + "/other.svg";
    write_all(path, document + "<!-- the old file's tail -->\n");
    ASSERT_EQ(link(path.c_str(), other.c_str()), 0);
    EXPECT_EQ(export_log(path), "");
    for (const std::string &name : {path, other})
        EXPECT_TRUE(read_all(name) == document)
            << name << ": " << read_all(name).size() << " bytes instead of " << document.size();
}

// Written in place, the finished document needs room beside its temporary
// copy. Where there is none, the export fails before the file is touched.
TEST_F(Export, InPlaceWriteOnFullDisk) {
    const std::string full = dir + "/full";
    if (mount_small_tmpfs(full, "4k") != 0)
        GTEST_SKIP() << "no mount namespace here (needs CAP_SYS_ADMIN)";
    ASSERT_EQ(umount(full.c_str()), 0);
    EXPECT_EQ(export_log(dir + "/probe.svg"), "");
    const size_t pages = (read_all(dir + "/probe.svg").size() + 4095) / 4096;
    ASSERT_GT(pages, 1u) << "the document must need more room than the old file";
    // Room for the old file and the temporary copy, not for the new file too.
    ASSERT_EQ(mount("tmpfs", full.c_str(), "tmpfs", 0,
                    ("size=" + std::to_string((pages + 1) * 4) + "k").c_str()),
              0);
    write_all(full + "/tree.svg", "OLD");
    ASSERT_EQ(link((full + "/tree.svg").c_str(), (full + "/other.svg").c_str()), 0);
    EXPECT_EQ(export_log(full + "/tree.svg"), file_err);
    EXPECT_EQ(read_all(full + "/tree.svg").substr(0, 9), "OLD");
    EXPECT_EQ(read_all(full + "/other.svg").substr(0, 9), "OLD");
    EXPECT_EQ(names_in(full), (std::set<std::string>{"other.svg", "tree.svg"}));
}
