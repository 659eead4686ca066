// Command lines, file URLs, browser launching and m4 lines.
#include "app_fixture.h"
#include "preferences.h"
#include "spawn.h"

namespace {

std::vector<std::string> ran;
int system_result;
const std::string advice = "\nPlease, try to use the 'Edit->Preference' dialog to update the "
                           "name of the browser to use.\n";

// Command lines go to ran instead of the shell; log lines to a panel logger.
struct Spawn : ::testing::Test {
    log_text_display log{nullptr};
    void SetUp() override {
        ran.clear();
        system_result = 0;
        spawn_set_system([](const char *line) {
            ran.push_back(line);
            return system_result;
        });
        log.set_level(LOG_DEBUG);
        logged();
        global_log = &log;
    }
    void TearDown() override {
        spawn_set_system(nullptr), global_log = nullptr;
        delete log.buffer;
    }
    std::string logged() { // the lines logged since the last call
        std::string text = text_of(log.buffer);
        log.buffer->text("");
        return text;
    }
};

TEST_F(Spawn, CommandLines) {
    EXPECT_EQ(0, spawn_command(0, 0, "ls", "-l", nullptr));
    EXPECT_EQ(logged(), "INFO. Spawning command: \"ls -l\".\n");
    spawn_command(1, 1, "/usr/bin/firefox", "firefox", "file:///tmp/a.html", nullptr);
    spawn_command(0, 1, "/usr/bin/x", nullptr);
    spawn_command(1, 1, "/usr/bin/x", nullptr);
    spawn_command(1, 1, "/usr/bin/firefox", "firefox", "file://\"/tmp/a b.html\"", nullptr);
    spawn_command(0, 0, "viewer", "a;b", "it's", "$(touch X)", "a\\b", "\"open", "\"$HOME\"",
                  "x|y&", nullptr);
    spawn_command(0, 0, "viewer", "'it'\\''s'", "\"a'b\"", "-o=1,2", nullptr);
    spawn_command(1, 1, "/opt/A=B", "A=B", "c=d", nullptr); // a command, not an assignment
    EXPECT_EQ(ran, (std::vector<std::string>{
                       "ls -l", "firefox file:///tmp/a.html &", "", " &",
                       "firefox file://\"/tmp/a b.html\" &",
                       "viewer 'a;b' 'it'\\''s' '$(touch X)' 'a\\b' '\"open' '\"$HOME\"' 'x|y&'",
                       "viewer 'it'\\''s' \"a'b\" -o=1,2", "'A=B' c=d &"}));
}

TEST_F(Spawn, OverlongLineIsRefused) {
    // "ls " and 2044 characters make 2047: the longest line that runs.
    EXPECT_EQ(0, spawn_command(0, 0, "ls", std::string(2044, 'a').c_str(), nullptr));
    ASSERT_EQ(1u, ran.size());
    logged();
    EXPECT_EQ(-1, spawn_command(0, 0, "ls", std::string(2045, 'a').c_str(), nullptr));
    EXPECT_EQ(-1, spawn_command(0, 0, "ls", std::string(2043, '$').c_str(), nullptr));
    EXPECT_EQ(1u, ran.size());
    const std::string refused =
        "ERROR. Command line of 2048 characters is longer than 2047 characters; not run.\n";
    EXPECT_EQ(logged(), refused + refused);
}

TEST_F(Spawn, FileUrls) {
    char cwd[FTD_PATH_MAX];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    std::string parent(cwd, std::string(cwd).rfind('/'));
    std::string notes = parent + "/doc/release_notes.html";
    // clang-format off
    const struct { const char *browser, *path; std::string url; } cases[] = {
        {"netscape", "../doc/release_notes.html", "file://\"" + notes + "\""},
        {"/opt/kde/bin/konqueror", "../doc/release_notes.html", "file://" + notes},
        {"/usr/firefox/links", "/tmp/a.html", "file:///tmp/a.html"},
        {"mozilla-firefox", "/tmp/a.html", "file://\"/tmp/a.html\""},
        {"/usr/bin/Opera", "/tmp/it's.html", "file://\"/tmp/it's.html\""},
        {"konqueror", "/tmp/a b.html", "file://'/tmp/a b.html'"},
        {"firefox", "/tmp/$x`y`\\.html", "file://'/tmp/$x`y`\\.html'"},
        {"links", "/tmp/it's", "file://'/tmp/it'\\''s'"},
    };
    // clang-format on
    for (const auto &c : cases) {
        global_prefs.set_string(PREF_BROWSER_PATH, c.browser);
        EXPECT_EQ(c.url, make_file_url(c.path)) << c.browser << " " << c.path;
    }
    // Paths well past 255 characters keep their whole length.
    std::string deep = "/" + std::string(3000, 'd') + "/x.html";
    global_prefs.set_string(PREF_BROWSER_PATH, "links");
    EXPECT_EQ("file://" + deep, make_file_url(deep.c_str()));
    EXPECT_STREQ("", make_file_url(("/" + std::string(FTD_PATH_MAX, 'h')).c_str()));
}

TEST_F(Spawn, LaunchBrowserResult) {
    global_prefs.set_string(PREF_BROWSER_PATH, "/opt/web/firefox");
    EXPECT_EQ(0, launch_browser("file:///tmp/a.html"));
    EXPECT_EQ(ran, std::vector<std::string>{"firefox file:///tmp/a.html &"});
    logged();
    system_result = -1;
    EXPECT_EQ(1, launch_browser("file:///tmp/a.html"));
    EXPECT_EQ(logged(), "INFO. Spawning command: \"firefox file:///tmp/a.html &\".\n"
                        "ERROR. could not execute '/opt/web/firefox'." +
                            advice);
    // Without a logger nothing is logged and nothing breaks.
    global_log = nullptr;
    EXPECT_EQ(1, launch_browser("x"));
}

// A base name that is empty, or that the shell takes as its own command
// rather than a program, is refused: logged, result 1, nothing run.
TEST_F(Spawn, LaunchBrowserRefusesShellNames) {
    for (const char *browser : {"", "/usr/bin/", "/usr/bin/eval", "exec", "/bin/.", "command",
                                "/opt/if", "time", "source"}) {
        global_prefs.set_string(PREF_BROWSER_PATH, browser);
        EXPECT_EQ(1, launch_browser("file:///tmp/a.html")) << browser;
        EXPECT_TRUE(ran.empty()) << ran.back();
        EXPECT_EQ(logged(), "ERROR. could not execute '" + std::string(browser) + "'." + advice);
    }
}

// A stand-in browser first on PATH records its arguments; hostile paths must
// arrive as one literal argument and never run anything.
TEST(SpawnShell, HostilePathReachesBrowserLiterally) {
    temp_dir tmp;
    const std::string d = tmp.path;
    write_all(d + "/fake-firefox", "#!/bin/sh\nd=$(dirname \"$0\")\nfor a in \"$@\"; do "
                                   "printf '[%s]' \"$a\"; done > $d/t; mv $d/t $d/args\n");
    ASSERT_EQ(0, chmod((d + "/fake-firefox").c_str(), 0755));
    ASSERT_EQ(0, symlink((d + "/fake-firefox").c_str(), (d + "/fake-viewer").c_str()));
    std::string old_path = getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin";
    setenv("PATH", (d + ":" + old_path).c_str(), 1);
    const std::string page =
        "/tmp/a b/$(touch " + d + "/X).html;touch " + d + "/Y`touch " + d + "/Z`";
    ASSERT_EQ(0, symlink((d + "/fake-firefox").c_str(), (d + "/A=B").c_str()));
    const std::string browsers[] = {"fake-firefox", d + "/fake-firefox", "fake-viewer", "",
                                    "/opt/x/A=B"};
    for (const std::string &browser : browsers) {
        // The empty row passes a raw URL straight to launch_browser.
        global_prefs.set_string(PREF_BROWSER_PATH,
                                browser.empty() ? "fake-viewer" : browser.c_str());
        std::string raw = "file://" + page + "&x='1'";
        EXPECT_EQ(0, launch_browser(browser.empty() ? raw.c_str() : make_file_url(page.c_str())));
        std::string got;
        for (int i = 0; i < 3000 && got.empty(); i++, usleep(10000))
            got = read_all(d + "/args");
        EXPECT_EQ("[" + (browser.empty() ? raw : "file://" + page) + "]", got) << browser;
        for (const char *f : {"/X", "/Y", "/Z"})
            EXPECT_NE(0, access((d + f).c_str(), F_OK)) << browser << f;
        remove((d + "/args").c_str());
    }
    setenv("PATH", old_path.c_str(), 1);
}

TEST(M4Lines, FormatsAndBounds) {
    char buf[64], small[8];
    EXPECT_STREQ("define(N, `v x')\n", m4_define_str(buf, sizeof buf, "N", "v x"));
    EXPECT_STREQ("define(K, `-42')\n", m4_define_int(buf, sizeof buf, "K", -42));
    EXPECT_STREQ("undefine(`N')\n", m4_undefine(buf, sizeof buf, "N"));
    EXPECT_STREQ("include(`tree_m4')\n", m4_include(buf, sizeof buf, "tree"));
    EXPECT_EQ(nullptr, m4_include(small, sizeof small, "tree"));
    EXPECT_STREQ("", small);
}

// Values reach m4 byte for byte inside one quotation; a name is written only
// when it is an m4 macro name, since define reads it unquoted.
TEST(M4Lines, QuotingAndNames) {
    const std::string cq = "'changequote([,])[`]changequote(`,')`";
    // clang-format off
    const struct { const char *value; std::string line; } rows[] = {
        {"a`b'c (x, #y)", "define(V, `a`b'c (x, #y)')\n"},
        {"it's", "define(V, `it''`s')\n"},
        {"')syscmd(id)dnl", "define(V, `''`)syscmd(id)dnl')\n"},
        {"a`b", "define(V, `a" + cq + "b')\n"},
        {"``'", "define(V, `" + cq + "`'')\n"},
    };
    // clang-format on
    char buf[128];
    for (const auto &row : rows) {
        const char *line = m4_define_str(buf, sizeof buf, "V", row.value);
        EXPECT_EQ(row.line, line ? line : "(null)");
        EXPECT_EQ(nullptr, m4_define_str(buf, row.line.size(), "V", row.value));
    }
    EXPECT_STREQ("include(`it''`s_m4')\n", m4_include(buf, sizeof buf, "it's"));
    EXPECT_STREQ("define(_x9, `1')\n", m4_define_int(buf, sizeof buf, "_x9", 1));
    for (const char *name : {"", "9x", "a b", "a'b", "x)", "f(", "n\xc3\xa9", "`N'"}) {
        EXPECT_EQ(nullptr, m4_define_str(buf, sizeof buf, name, "v")) << name;
        EXPECT_STREQ("", buf);
        EXPECT_EQ(nullptr, m4_define_int(buf, sizeof buf, name, 1)) << name;
        EXPECT_EQ(nullptr, m4_undefine(buf, sizeof buf, name)) << name;
    }
}

// GNU m4 itself, when the machine has it, reads the lines: every value,
// hostile ones and every string of one to five bytes over ` ' x ) # and a
// newline, comes back as its definition; nothing is run; the include line
// finds its file.
TEST(M4Lines, M4ReadsEveryValueLiterally) {
    if (system("command -v m4 >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no m4 on this machine";
    std::vector<std::string> values = {"')syscmd(touch RAN)dnl",
                                       "`syscmd(touch RAN)",
                                       "'''syscmd(touch RAN)`",
                                       "``'')esyscmd(touch RAN)`",
                                       "changequote([,])syscmd(touch RAN)",
                                       "[`]",
                                       ""};
    std::vector<std::string> shorter = {""};
    for (int n = 1; n <= 5; n++) {
        std::vector<std::string> longer;
        for (const std::string &v : shorter)
            for (char c : std::string("`'x)#\n"))
                longer.push_back(v + c);
        values.insert(values.end(), longer.begin(), longer.end());
        shorter.swap(longer);
    }
    temp_dir tmp;
    write_all(tmp.file("it's `odd_m4"), "INCLUDED\n");
    std::string in = "divert(-1)\n", want = "INCLUDED\n\n"; // the file, the line end
    char line[512];
    for (size_t i = 0; i < values.size(); i++) {
        const char *define =
            m4_define_str(line, sizeof line, ("N" + std::to_string(i)).c_str(), values[i].c_str());
        in += define ? define : "";
        want += values[i] + "\3";
    }
    const char *include = m4_include(line, sizeof line, "it's `odd");
    in += "divert(0)dnl\n" + std::string(include ? include : "") + "changequote(\1,\2)dnl\n";
    for (size_t i = 0; i < values.size(); i++)
        in += "defn(\1N" + std::to_string(i) + "\2)\3";
    write_all(tmp.file("in.m4"), in);
    EXPECT_EQ(0, system(("cd '" + tmp.path + "' && m4 in.m4 >out 2>err").c_str()));
    const std::string out = read_all(tmp.file("out"));
    size_t at =
        std::mismatch(want.begin(), want.end(), out.begin(), out.end()).first - want.begin();
    EXPECT_TRUE(out == want) << "from byte " << at << " m4 wrote \"" << out.substr(at, 60)
                             << "\" for \"" << want.substr(at, 60) << "\"";
    EXPECT_EQ("", read_all(tmp.file("err")));
    EXPECT_NE(0, access(tmp.file("RAN").c_str(), F_OK));
}

} // namespace
