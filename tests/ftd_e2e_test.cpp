// The built program as a user runs it: started in examples/ with the example
// pair under the test X server, driven by key presses sent through xdotool.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

static const std::string ftd = std::string(FTD_BINARY_DIR) + "/app/ftd";

// The first output line of a shell command.
static std::string first_line(const std::string &cmd) {
    char line[256] = "";
    FILE *p = popen(cmd.c_str(), "r");
    if (p && !fgets(line, sizeof line, p))
        line[0] = '\0';
    if (p)
        pclose(p);
    std::string out = line;
    return out.substr(0, out.find('\n'));
}

// Exit status of pid, waiting at most about 20 s (then killed: -1).
static int wait_exit(pid_t pid) {
    int status = 0;
    for (int i = 0; i < 400; i++, usleep(50000))
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

TEST(FtdE2E, RunsTheExampleAndEndsWithTheRightStatus) {
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    char home[] = "/tmp/ftd_e2e_XXXXXX";
    ASSERT_NE(mkdtemp(home), nullptr);
    setenv("HOME", home, 1); // the preference store of this run only
    for (const char *args : {" one", " a b c"})
        EXPECT_EQ(system(("timeout 20 " + ftd + args + " >/dev/null 2>&1").c_str()) >> 8, 1);

    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(FTD_SOURCE_DIR "/examples") == 0)
            execl(ftd.c_str(), "ftd", "events.txt", "gates.txt", (char *)nullptr);
        _exit(98);
    }
    std::string wid;
    for (int i = 0; i < 200 && wid.empty(); i++, usleep(50000))
        wid = first_line("xdotool search --all --onlyvisible --pid " + std::to_string(pid) +
                         " --name '^ORVIK: Fault Tree Displayer$' 2>/dev/null");
    ASSERT_FALSE(wid.empty()) << "no main window appeared";
    EXPECT_EQ(first_line("xdotool getwindowname " + wid), "ORVIK: Fault Tree Displayer");
    EXPECT_NE(first_line("xwininfo -id " + wid + " | grep IsViewable"), "");
    // Zoom In and Close keep the program running; Exit ends it (the key
    // release after Exit finds no window, so its result is not checked).
    for (const char *k : {"ctrl+equal", "ctrl+c"}) {
        EXPECT_EQ(system(("xdotool key --window " + wid + " " + k + " 2>/dev/null").c_str()), 0);
        usleep(200000);
        EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << k; // still running
    }
    (void)!system(("xdotool key --window " + wid + " ctrl+q >/dev/null 2>&1").c_str());
    EXPECT_EQ(wait_exit(pid), 0);
    (void)!system((std::string("rm -rf ") + home).c_str());
}
