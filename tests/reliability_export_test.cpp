// Fault injection on export: a full disk, and a directory removed between
// choosing the file and writing it. Each failure is logged, the file that
// was there before is kept as it was, no temporary file stays behind, and a
// later export works.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <functional>
#include <set>

#include "FTD_wnd_handler.h"
#include "dialogs.h"
#include "fault_support.h"

namespace {

std::set<std::string> names_in(const std::string &dir) {
    std::set<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

// Fills the file system of dir until a write fails for want of space.
void fill_up(const std::string &dir) {
    int fd = open((dir + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    char block[4096] = {0};
    while (write(fd, block, sizeof block) == (ssize_t)sizeof block) {
    }
    while (write(fd, block, 1) == 1) {
    }
    close(fd);
}

// The main window with a small tree loaded, the dialogs answered by the test.
struct ReliabilityExport : ::testing::Test {
    temp_dir tmp;
    std::string dir = tmp.path;
    capture_log logger;
    dlg_responder responder;
    std::string chooser_answer;
    std::function<void()> before_answer; // runs inside the chooser
    FTD_wnd_handler *handler = nullptr;

    void SetUp() override {
        responder.alert = [](const std::string &) {};
        responder.choice = [](const std::string &, const char *, const char *, const char *) {
            return 1; // "Yes": overwrite
        };
        responder.file_chooser = [this](const char *, const char *, const char *, int) {
            if (before_answer)
                before_answer();
            return chooser_answer.c_str();
        };
        dlg_set_responder(&responder);
        global_log = &logger;
        write_all(dir + "/ev", "Name\tDescription\r\nA\tfirst event\r\nB\tsecond\r\n");
        write_all(dir + "/ga", "Name\tType\tInput  0 Type and Name\tInput  1 Type and Name\r\n"
                               "TOP\tOR\tE A\tE B\r\n");
        handler = new FTD_wnd_handler();
        ASSERT_EQ(handler->load_files((dir + "/ev").c_str(), (dir + "/ga").c_str()), 0);
    }
    void TearDown() override {
        Fl_Double_Window *window = handler->window;
        delete handler;
        delete window;
        global_log = nullptr;
        dlg_set_responder(nullptr);
    }
    bool logged(const char *text) const { return logger.has(text); }
    // Exports through File > Export into name.
    void export_to(const std::string &name) {
        chooser_answer = name;
        logger.lines.clear();
        handler->on_export();
    }
};

} // namespace

// A disk with no room left: replacing an existing file and writing a new
// one both fail with the log line; the old file keeps its bytes and no
// temporary file is left. With room again the same export succeeds.
TEST_F(ReliabilityExport, FullDisk) {
    if (private_mounts() != 0)
        GTEST_SKIP() << "no mount namespace here (needs CAP_SYS_ADMIN)";
    const std::string full = dir + "/full";
    ASSERT_EQ(mkdir(full.c_str(), 0755), 0);
    ASSERT_EQ(mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k"), 0);
    write_all(full + "/tree.svg", "precious earlier export");
    fill_up(full);
    const std::set<std::string> before = names_in(full);

    export_to(full + "/tree.svg");
    EXPECT_TRUE(logged("File could not be written."));
    EXPECT_EQ(read_all(full + "/tree.svg"), "precious earlier export");
    export_to(full + "/new.svg");
    EXPECT_TRUE(logged("File could not be written."));
    EXPECT_EQ(names_in(full), before) << "no partial or temporary file may stay";

    ASSERT_EQ(unlink((full + "/filler").c_str()), 0);
    export_to(full + "/tree.svg");
    EXPECT_FALSE(logged("File could not be written."));
    EXPECT_EQ(read_all(full + "/tree.svg").rfind("<?xml", 0), 0u);
}

// The directory goes away while the chooser is open: the export fails with
// the log line and nothing is created; the next export works.
TEST_F(ReliabilityExport, DirectoryRemovedAfterChoosing) {
    const std::string gone = dir + "/gone";
    ASSERT_EQ(mkdir(gone.c_str(), 0755), 0);
    before_answer = [&]() { rmdir(gone.c_str()); };
    export_to(gone + "/tree.svg");
    EXPECT_TRUE(logged("File could not be written."));
    struct stat st;
    EXPECT_NE(stat(gone.c_str(), &st), 0);
    before_answer = nullptr;
    export_to(dir + "/tree.svg");
    EXPECT_FALSE(logged("File could not be written."));
    EXPECT_EQ(read_all(dir + "/tree.svg").rfind("<?xml", 0), 0u);
}

// A name that leads to a special file (here a pipe behind a link) is refused:
// renaming a new file over it would replace the pipe itself.
TEST_F(ReliabilityExport, SpecialFileIsNotReplaced) {
    const std::string fifo = dir + "/pipe", link = dir + "/tree.svg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(symlink(fifo.c_str(), link.c_str()), 0);
    export_to(link);
    EXPECT_TRUE(logged("File could not be written."));
    struct stat st;
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"ev", "ga", "pipe", "tree.svg"}))
        << "no temporary file may stay";
}
