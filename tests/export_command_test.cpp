// File > Export: the order of checks, the questions asked and the log lines,
// answered through the dialog seam.
#include "app_fixture.h"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

TEST(ExportCommand, Branches) {
    char tmpl[] = "/tmp/ftd-export-XXXXXX";
    const std::string dir = mkdtemp(tmpl), log_path = dir + "/log.txt";
    setenv("HOME", dir.c_str(), 1);
    log_file file_log(log_path.c_str(), LOG_DEBUG);
    global_log = &file_log;
    std::string chosen, proposed;
    int answer = 0, asked = 0;
    dlg_responder responder;
    responder.file_chooser = [&](const char *, const char *, const char *fname, int) {
        proposed = fname;
        return chosen.empty() ? (const char *)NULL : chosen.c_str();
    };
    responder.choice = [&](const std::string &, const char *, const char *, const char *) {
        asked++;
        return answer;
    };
    dlg_set_responder(&responder);
    FTD_wnd_handler handler;
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
            std::ofstream(path) << "OLD";
        if (c.existing == LINK) {
            ASSERT_EQ(0, symlink((dir + "/nowhere").c_str(), path.c_str()));
        }
        answer = c.answer;
        asked = 0;
        global_log->clear();
        rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = c.fsize ? c.fsize : old.rlim_cur;
        setrlimit(RLIMIT_FSIZE, &small);
        handler.on_export();
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ("ft_export.svg", proposed);
        EXPECT_EQ(c.asked, asked);
        global_log->save(NULL);
        EXPECT_EQ(c.log, slurp(log_path));
        if (c.replaced || c.existing == OLD) { // a document, or the old content kept
            EXPECT_EQ(c.replaced ? "<?xml" : "OLD", slurp(path).substr(0, c.replaced ? 5 : 99));
        }
        EXPECT_EQ(0, system(("test -z \"$(ls -A " + dir + " | grep ft_export)\"").c_str()));
    }
    handler.events_output->value("/data/x/events.txt");
    chosen = "";
    handler.on_export();
    EXPECT_EQ("/data/x/ft_export.svg", proposed);
    dlg_set_responder(NULL);
    global_log = NULL;
    fclose(file_log.file);
    EXPECT_EQ(0, system(("rm -rf " + dir).c_str()));
}
