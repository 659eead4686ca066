// Path helpers, installation directory and the fatal report.
#include "dialogs.h"
#include "paths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

struct code_case {
    const char *a, *b;
    int size, code;
    const char *out;
};

typedef int (*code_fn)(char *, int, const char *, const char *);

void check_codes(code_fn fn, const code_case *cases, size_t n) {
    for (size_t i = 0; i < n; i++) {
        char out[64] = "junk";
        int rc = fn(out, cases[i].size, cases[i].a, cases[i].b);
        EXPECT_EQ(cases[i].code, rc) << cases[i].a << " , " << cases[i].b;
        EXPECT_STREQ(cases[i].out, out) << cases[i].a << " , " << cases[i].b;
    }
}

TEST(Paths, Kind) {
    const struct {
        const char *p;
        int kind;
    } cases[] = {{"/x", 0},  {"C:\\x", 2}, {"c:/x", 2}, {"C:x", 1},
                 {"x/y", 1}, {"", 1},      {"1:/x", 1}};
    for (const auto &c : cases)
        EXPECT_EQ(c.kind, path_kind(c.p)) << c.p;
}

TEST(Paths, Relative) {
    const code_case cases[] = {
        {"/a/b/c/file.txt", "/a/d/e.txt", 64, 0, "../../d/e.txt"},
        {"/a/b", "/a/b/c", 64, 0, "b/c"},
        {"/a/f", "/a/f", 64, 0, "f"},
        {"a/f", "/a/f", 64, 1, ""},
        {"/a/f", "a/f", 64, 1, ""},
        {"/a/b/c/d/f", "/a/x", 8, 4, ""},
        {"/a/b/f", "/a/b/verylongname", 8, 4, ""},
    };
    check_codes(path_relative, cases, sizeof cases / sizeof cases[0]);
}

TEST(Paths, JoinRelative) {
    const code_case cases[] = {
        {"/a/b/file", "c/d", 64, 0, "/a/b/c/d"},
        {"rel/file", "x", 64, 1, ""},
        {"/a/file", "/x", 64, 1, ""},
        {"/a/file", "xyz", 6, 4, ""},
        {"/a/b/file", "x", 4, 4, ""},
    };
    check_codes(path_join_relative, cases, sizeof cases / sizeof cases[0]);
}

TEST(Paths, Resolve) {
    const code_case cases[] = {
        {"/a/b/file", "../c/./d", 64, 0, "/a/c/d"},
        {"/a/b/f", "./x", 64, 0, "/a/b/x"},
        {"/a/f", "../../x", 64, 2, ""},
        {"/a/f", "../..", 64, 2, ""},
        {"/a/f", "..", 64, 0, "/"},
        // Components that only begin with dots are names, kept whole.
        {"/home/u/f", ".profile", 64, 0, "/home/u/.profile"},
        {"/a/b/f", "..x/../.y/.", 64, 0, "/a/b/.y"},
        {"/a/b/f", "...", 64, 0, "/a/b/..."},
        {"/a/b/f", "c/d", 6, 4, ""},
        {"a/f", "x", 64, 1, ""},
    };
    check_codes(path_resolve, cases, sizeof cases / sizeof cases[0]);
}

TEST(Paths, JoinAndDirname) {
    EXPECT_STREQ("../icons/gnome-note2.xpm", path_join("../icons", "gnome-note2.xpm"));
    EXPECT_STREQ("dir/f", path_join("dir/", "f"));
    EXPECT_STREQ("dir\\f", path_join("dir\\", "f"));
    EXPECT_STREQ("f", path_join("", "f"));
    EXPECT_STREQ("/home/u/tree/", path_dirname("/home/u/tree/events.txt"));
    EXPECT_STREQ("", path_dirname("events.txt"));

    // Results that do not fit are "" rather than a shorter, different path.
    std::string dir(FTD_PATH_MAX - 3, 'd');
    EXPECT_STREQ("", path_join(dir.c_str(), "name"));
    std::string longpath = "/" + std::string(300, 'a') + "/f.txt";
    EXPECT_EQ(longpath.substr(0, 302), path_dirname(longpath.c_str()));
    std::string huge(FTD_PATH_MAX, 'x');
    huge[0] = '/';
    EXPECT_STREQ("", path_dirname(huge.c_str()));
}

TEST(Paths, Absolute) {
    char cwd[FTD_PATH_MAX];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    std::string here = cwd;
    std::string parent = here.substr(0, here.rfind('/'));
    if (parent.empty())
        parent = "/";
    std::string parent_slash = parent == "/" ? "/" : parent + "/";
    const struct {
        const char *in;
        int rc;
        std::string out;
    } cases[] = {
        {"/etc/x", 0, "/etc/x"},
        {"a.html", 1, here + "/a.html"},
        {"./a.html", 1, here + "/a.html"},
        {"../doc/r.html", 1, parent_slash + "doc/r.html"},
        {".profile", 1, here + "/.profile"},
    };
    for (const auto &c : cases) {
        char out[FTD_PATH_MAX];
        EXPECT_EQ(c.rc, absolute_path(out, sizeof out, c.in)) << c.in;
        EXPECT_EQ(c.out, out) << c.in;
    }
    // Longer than 255 characters is fine; beyond the buffer is refused.
    std::string name(1000, 'n');
    char out[FTD_PATH_MAX];
    EXPECT_EQ(1, absolute_path(out, sizeof out, name.c_str()));
    EXPECT_EQ(here + "/" + name, out);
    char small[8];
    EXPECT_EQ(-1, absolute_path(small, sizeof small, name.c_str()));
    EXPECT_STREQ("", small);
    EXPECT_EQ(-1, absolute_path(small, sizeof small, "/usr/local/bin"));
    EXPECT_STREQ("", small);
}

TEST(Paths, UpcaseAndInstallDir) {
    char *up = str_upcase_dup("firefox-3.0");
    EXPECT_STREQ("FIREFOX-3.0", up);
    free(up);

    char out[FTD_PATH_MAX] = "junk";
    unsetenv("ORVIK_INST_DIR");
    EXPECT_STREQ("", get_install_dir(out));
    setenv("ORVIK_INST_DIR", "", 1);
    EXPECT_STREQ("", get_install_dir(out));
    setenv("ORVIK_INST_DIR", "/opt/orvik", 1);
    EXPECT_STREQ("/opt/orvik", get_install_dir(out));
    setenv("ORVIK_INST_DIR", std::string(FTD_PATH_MAX, 'i').c_str(), 1);
    EXPECT_STREQ("", get_install_dir(out));
    unsetenv("ORVIK_INST_DIR");
}

TEST(Paths, FileExists) {
    char dir[] = "/tmp/pathstestXXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    std::string file = std::string(dir) + "/present";
    FILE *f = fopen(file.c_str(), "w");
    ASSERT_NE(nullptr, f);
    fclose(f);
    EXPECT_EQ(1, file_exists(file.c_str()));
    EXPECT_EQ(0, file_exists((std::string(dir) + "/absent").c_str()));
    remove(file.c_str());
    rmdir(dir);
}

void report_and_die() {
    static dlg_responder r;
    r.alert = [](const std::string &text) {
        fprintf(stderr, "font=%d size=%d\n%s", int(dlg_last_message_font()),
                int(dlg_last_message_size()), text.c_str());
    };
    dlg_set_responder(&r);
    fatal_assert("0", "gates", 42);
}

TEST(PathsDeathTest, FatalAssertShowsAlertAndExits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(report_and_die(), ::testing::ExitedWithCode(1),
                "font=4 size=14\nABNORMAL PROGRAM TERMIMATION\\.\n\nSorry, an internal error "
                "occurred\\.\nORVIK/Morvu-SA application will be closed\\.\n\n\n"
                "Assertion:\t0\nFile:\t\tgates\nLine:\t\t42\n");
}

} // namespace
