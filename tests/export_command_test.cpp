// File > Export: the order of checks, the questions asked and the log lines,
// answered through the dialog seam.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "FTD_wnd_handler.h"
#include "dialogs.h"
#include "log.h"

static std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

static void put(const std::string &path, const char *bytes) {
    std::ofstream(path) << bytes;
}

class ExportCommand : public testing::Test {
  protected:
    std::string dir, chosen, proposed, log_path;
    int answer = 0, asked = 0;
    dlg_responder responder;
    FTD_wnd_handler *handler = nullptr;
    std::optional<log_file> file_log;

    void SetUp() override {
        char tmpl[] = "/tmp/ftd-export-XXXXXX";
        dir = mkdtemp(tmpl);
        setenv("HOME", dir.c_str(), 1);
        log_path = dir + "/log.txt";
        file_log.emplace(log_path.c_str(), LOG_DEBUG);
        global_log = &*file_log;
        responder.file_chooser = [this](const char *, const char *, const char *fname, int) {
            proposed = fname;
            return chosen.empty() ? (const char *)NULL : chosen.c_str();
        };
        responder.choice = [this](const std::string &, const char *, const char *, const char *) {
            asked++;
            return answer;
        };
        dlg_set_responder(&responder);
        handler = new FTD_wnd_handler();
    }
    void TearDown() override {
        dlg_set_responder(NULL);
        delete handler;
        global_log = NULL;
        fclose(file_log->file);
        system(("rm -rf " + dir).c_str());
    }
    std::string logged() {
        global_log->save(NULL);
        return slurp(log_path);
    }
};

TEST_F(ExportCommand, Branches) {
    const std::string doc_start = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
    struct {
        const char *chosen;   // relative to the test directory; "" cancels
        const char *existing; // content of an existing file, NULL for none
        int answer;
        int asked;
        const char *log; // expected log line ("" none)
        bool replaced;   // the file then holds a document
    } cases[] = {
        {"", NULL, 0, 0, "", false},
        {".", NULL, 0, 0, "ERROR. You chose a directory.\nPlease, choose a different file.\n",
         false},
        {"a.svg", "OLD", 0, 1, "", false},
        {"a.svg", "OLD", 1, 1, "", true},
        {"new.svg", NULL, 0, 0, "", true},
        {"new.SVG", NULL, 1, 0, "ERROR. Not a valid file extension.\n", false},
        {"a.txt", "OLD", 1, 1, "ERROR. Not a valid file extension.\n", false},
        {"missing/x.svg", NULL, 1, 0, "ERROR. File could not be written.\n", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.chosen);
        std::string path = dir + "/" + c.chosen;
        chosen = *c.chosen ? path : "";
        unlink(path.c_str());
        if (c.existing)
            put(path, c.existing);
        answer = c.answer;
        asked = 0;
        global_log->clear();
        handler->on_export();
        EXPECT_EQ("ft_export.svg", proposed);
        EXPECT_EQ(c.asked, asked);
        EXPECT_EQ(c.log, logged());
        std::string content = slurp(path);
        if (c.replaced) {
            EXPECT_EQ(0, content.compare(0, doc_start.size(), doc_start));
            EXPECT_EQ(0, system(("xmllint --noout " + path).c_str()));
        } else if (c.existing) {
            EXPECT_EQ(c.existing, content);
        }
    }
    EXPECT_EQ(0, system(("test -z \"$(ls -A " + dir + " | grep ft_export)\"").c_str()));
}

TEST_F(ExportCommand, ProposesNameBesideEventsFile) {
    handler->events_output->value("/data/x/events.txt");
    handler->on_export();
    EXPECT_EQ("/data/x/ft_export.svg", proposed);
}

TEST_F(ExportCommand, ExistingNameThatCannotBeReadIsAskedAbout) {
    std::string link = dir + "/dangling.svg";
    ASSERT_EQ(0, symlink((dir + "/nowhere").c_str(), link.c_str()));
    chosen = link;
    handler->on_export();
    EXPECT_EQ(1, asked);
}

TEST_F(ExportCommand, FullDiskKeepsTheOldFile) {
    std::string path = dir + "/a.svg";
    put(path, "OLD");
    chosen = path;
    answer = 1;
    // Writes beyond 64 bytes fail as on a full disk (EFBIG instead of ENOSPC).
    signal(SIGXFSZ, SIG_IGN);
    rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &small);
    handler->on_export();
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ("ERROR. File could not be written.\n", logged());
    EXPECT_EQ("OLD", slurp(path));
    EXPECT_EQ(0, system(("test -z \"$(ls -A " + dir + " | grep ft_export)\"").c_str()));
}
