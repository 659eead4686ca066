// The built program as a user runs it: started with the example pair under
// the test X server, driven by key presses sent through xdotool.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstring>

#include "fault_support.h"

static const std::string ftd = std::string(FTD_BINARY_DIR) + "/app/ftd";

static int sh(const std::string &cmd) {
    return system(cmd.c_str());
}

// The first output line of a shell command.
static std::string first_line(const std::string &cmd) {
    char line[256] = "";
    if (FILE *p = popen(cmd.c_str(), "r")) {
        if (!fgets(line, sizeof line, p))
            line[0] = '\0';
        pclose(p);
    }
    std::string out = line;
    return out.substr(0, out.find('\n'));
}

// The program started in folder with its events.txt and gates.txt, the
// files it writes limited to fsize bytes (0: no limit), as a shell's ulimit
// does; ended and reaped at the end when it is still running.
struct ftd_run {
    pid_t pid;
    explicit ftd_run(const std::string &folder, rlim_t fsize = 0) {
        pid = fork();
        if (pid == 0) {
            rlimit limit = {fsize, fsize};
            if (chdir(folder.c_str()) == 0 && (!fsize || setrlimit(RLIMIT_FSIZE, &limit) == 0))
                execl(ftd.c_str(), "ftd", "events.txt", "gates.txt", (char *)nullptr);
            _exit(98);
        }
    }
    ~ftd_run() {
        if (waitpid(pid, nullptr, WNOHANG) == 0)
            kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    }
};

// The visible windows of process pid whose names match pattern.
static std::set<std::string> windows_of(pid_t pid, const std::string &pattern = "") {
    std::set<std::string> found;
    const std::string cmd = "xdotool search --all --onlyvisible --pid " + std::to_string(pid) +
                            " --name '" + pattern + "' 2>/dev/null";
    if (FILE *p = popen(cmd.c_str(), "r")) {
        char line[64];
        while (fgets(line, sizeof line, p))
            found.insert(std::string(line, strcspn(line, "\n")));
        pclose(p);
    }
    return found;
}

// The visible windows of pid named by pattern but for those in known, once
// there is one, waiting about 10 s at most (then none).
static std::set<std::string> new_windows(pid_t pid, const std::string &pattern,
                                         const std::set<std::string> &known = {}) {
    std::set<std::string> found;
    for (int i = 0; i < 200 && found.empty(); i++, usleep(50000)) {
        found = windows_of(pid, pattern);
        for (const std::string &w : known)
            found.erase(w);
    }
    return found;
}

// The main window of the program started as pid, "" when none appeared.
static std::string main_window(pid_t pid) {
    std::set<std::string> w = new_windows(pid, "^ORVIK: Fault Tree Displayer$");
    return w.empty() ? "" : *w.begin();
}

// Sends ctrl+q, File > Exit, to the main window wid of pid and waits about
// 20 s at most for the program to end. Its wait status, -1 when it did not
// end. (The key release after Exit finds no window, so xdotool's result is
// not checked.)
static int exit_status(pid_t pid, const std::string &wid) {
    (void)!sh("xdotool key --window " + wid + " ctrl+q >/dev/null 2>&1");
    int status = 0;
    for (int i = 0; i < 400; i++, usleep(50000))
        if (waitpid(pid, &status, WNOHANG) == pid)
            return status;
    return -1;
}

TEST(FtdE2E, RunsTheExampleAndEndsWithTheRightStatus) {
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    temp_home tmp; // the preference store of this run only
    for (const char *args : {" one", " a b c"})
        EXPECT_EQ(sh("timeout 20 " + ftd + args + " >/dev/null 2>&1") >> 8, 1);
    ftd_run run(FTD_SOURCE_DIR "/examples");
    const pid_t pid = run.pid;
    const std::string wid = main_window(pid);
    ASSERT_FALSE(wid.empty()) << "no main window appeared";
    EXPECT_NE(first_line("xwininfo -id " + wid + " | grep IsViewable"), "");
    // Zoom In and Close keep the program running; Exit ends it.
    for (const char *k : {"ctrl+equal", "ctrl+c"}) {
        EXPECT_EQ(sh("xdotool key --window " + wid + " " + k + " 2>/dev/null"), 0);
        usleep(200000);
        EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << k; // still running
    }
    const int status = exit_status(pid, wid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// Run under a file-size limit smaller than the document, File > Export onto
// an existing file, answered Yes, fails as on a full disk: the program runs
// on and Exit ends it with status 0; the old file stays and no temporary
// file is left beside it.
TEST(FtdE2E, ExportPastTheFileSizeLimitKeepsTheOldFile) {
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    temp_home tmp;
    const std::string work = tmp.file("work");
    ASSERT_EQ(mkdir(work.c_str(), 0755), 0);
    for (const char *name : {"events.txt", "gates.txt"})
        write_all(work + "/" + name, read_all(FTD_SOURCE_DIR "/examples/" + std::string(name)));
    write_all(work + "/ft_export.svg", "OLD");
    const std::set<std::string> names = names_in(work);
    ftd_run run(work, 4096);
    const pid_t pid = run.pid;
    const std::string wid = main_window(pid);
    ASSERT_FALSE(wid.empty()) << "no main window appeared";
    // Keys go to one window each, whatever else the X server shows. Alt+F
    // opens the File menu; Export... is its third item shown.
    (void)!sh("xdotool key --window " + wid + " alt+f Down Down Down Return 2>/dev/null");
    // Return takes the proposed ft_export.svg, then answers Yes.
    const std::set<std::string> chooser = new_windows(pid, "^Export fault tree as\\.\\.\\.$");
    ASSERT_EQ(chooser.size(), 1u) << "no file chooser appeared";
    (void)!sh("xdotool key --window " + *chooser.begin() + " Return 2>/dev/null");
    const std::set<std::string> question = new_windows(pid, "", {wid, *chooser.begin()});
    ASSERT_EQ(question.size(), 1u) << "no question appeared";
    (void)!sh("xdotool key --window " + *question.begin() + " Return 2>/dev/null");
    const int status = exit_status(pid, wid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << (WIFSIGNALED(status) ? "ended by signal " + std::to_string(WTERMSIG(status))
                                : "status " + std::to_string(status));
    EXPECT_EQ(read_all(work + "/ft_export.svg"), "OLD");
    EXPECT_EQ(names_in(work), names) << "no temporary file may stay";
}
