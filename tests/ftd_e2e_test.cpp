// The built program as a user runs it: started from examples/ with the
// example pair, driven by key presses sent through xdotool.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

static const std::string ftd = std::string(FTD_BINARY_DIR) + "/app/ftd";

// Runs a shell command; returns its first output line.
static std::string run(const std::string &cmd) {
    std::string out;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char line[256];
    if (fgets(line, sizeof line, p))
        out = line;
    pclose(p);
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

// Starts ftd in examples/ with a fresh HOME; returns its pid.
static pid_t start_ftd(const std::string &home) {
    pid_t pid = fork();
    if (pid == 0) {
        setenv("HOME", home.c_str(), 1);
        if (chdir(FTD_SOURCE_DIR "/examples") != 0)
            _exit(99);
        execl(ftd.c_str(), "ftd", "events.txt", "gates.txt", (char *)nullptr);
        _exit(98);
    }
    return pid;
}

// Waits for pid to end, at most about 20 s; returns its exit status or -1.
static int wait_exit(pid_t pid) {
    for (int i = 0; i < 400; i++) {
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        usleep(50000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

class FtdE2E : public ::testing::Test {
  protected:
    std::string home;
    void SetUp() override {
        if (!getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        char tmpl[] = "/tmp/ftd_e2e_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = tmpl;
    }
    void TearDown() override { (void)!system(("rm -rf '" + home + "'").c_str()); }
};

TEST_F(FtdE2E, WrongArgumentCountExitsWithOne) {
    std::string env = "HOME='" + home + "' ";
    EXPECT_EQ(system((env + "timeout 20 " + ftd + " one >/dev/null 2>&1").c_str()) >> 8, 1);
    EXPECT_EQ(system((env + "timeout 20 " + ftd + " a b c >/dev/null 2>&1").c_str()) >> 8, 1);
}

TEST_F(FtdE2E, ExampleRunsZoomsClosesAndExitsWithZero) {
    pid_t pid = start_ftd(home);
    ASSERT_GT(pid, 0);
    std::string search = "xdotool search --all --onlyvisible --pid " + std::to_string(pid) +
                         " --name '^ORVIK: Fault Tree Displayer$' 2>/dev/null";
    std::string wid;
    for (int i = 0; i < 200 && wid.empty(); i++) {
        wid = run(search);
        if (wid.empty())
            usleep(50000);
    }
    ASSERT_FALSE(wid.empty()) << "no main window appeared";
    EXPECT_EQ(run("xdotool getwindowname " + wid), "ORVIK: Fault Tree Displayer");
    EXPECT_NE(run("xwininfo -id " + wid + " | grep 'Map State'").find("IsViewable"),
              std::string::npos);
    // Zoom In and Close keep the program running; Exit ends it (the key
    // release after Exit finds no window, so its result is not checked).
    for (const char *k : {"ctrl+equal", "ctrl+c"}) {
        EXPECT_EQ(system(("xdotool key --window " + wid + " " + k + " 2>/dev/null").c_str()), 0);
        usleep(200000);
        EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << k; // still running
    }
    (void)!system(("xdotool key --window " + wid + " ctrl+q >/dev/null 2>&1").c_str());
    EXPECT_EQ(wait_exit(pid), 0);
}
