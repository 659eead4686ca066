// The built program as a user runs it: started in examples/ with the example
// pair under the test X server, driven by key presses sent through xdotool.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

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

TEST(FtdE2E, RunsTheExampleAndEndsWithTheRightStatus) {
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    temp_home tmp; // the preference store of this run only
    for (const char *args : {" one", " a b c"})
        EXPECT_EQ(sh("timeout 20 " + ftd + args + " >/dev/null 2>&1") >> 8, 1);
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
    EXPECT_NE(first_line("xwininfo -id " + wid + " | grep IsViewable"), "");
    // Zoom In and Close keep the program running; Exit ends it (the key
    // release after Exit finds no window, so its result is not checked).
    for (const char *k : {"ctrl+equal", "ctrl+c"}) {
        EXPECT_EQ(sh("xdotool key --window " + wid + " " + k + " 2>/dev/null"), 0);
        usleep(200000);
        EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << k; // still running
    }
    (void)!sh("xdotool key --window " + wid + " ctrl+q >/dev/null 2>&1");
    int status = 0, i = 0; // the exit status, waiting at most about 20 s (then killed)
    while (waitpid(pid, &status, WNOHANG) != pid && i++ < 400)
        usleep(50000);
    if (i > 400)
        kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    EXPECT_TRUE(i <= 400 && WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
