// Path helpers, installation directory and the fatal report.
#include "dialogs.h"
#include "fatal.h"
#include "paths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

TEST(Paths, KindRelativeJoinResolve) {
    const std::pair<const char *, int> kinds[] = {{"/x", 0},  {"C:\\x", 2}, {"c:/x", 2},
                                                  {"C:x", 1}, {"x/y", 1},   {"", 1}};
    for (const auto &k : kinds)
        EXPECT_EQ(k.second, path_kind(k.first)) << k.first;
    typedef int (*fn)(char *, int, const char *, const char *);
    // clang-format off
    const struct { fn f; const char *a, *b; int size, code; const char *out; } cases[] = {
        {path_relative, "/a/b/c/file.txt", "/a/d/e.txt", 64, 0, "../../d/e.txt"},
        {path_relative, "/a/b", "/a/b/c", 64, 0, "b/c"},
        {path_relative, "/a/f", "/a/f", 64, 0, "f"},
        {path_relative, "a/f", "/a/f", 64, 1, ""},
        {path_relative, "/a/b/c/d/f", "/a/x", 8, 4, ""},
        {path_relative, "/a/b/f", "/a/b/verylongname", 8, 4, ""},
        {path_join_relative, "/a/b/file", "c/d", 64, 0, "/a/b/c/d"},
        {path_join_relative, "rel/file", "x", 64, 1, ""},
        {path_join_relative, "/a/file", "/x", 64, 1, ""},
        {path_resolve, "/a/b/file", "../c/./d", 64, 0, "/a/c/d"},
        {path_resolve, "/a/b/f", "./x", 64, 0, "/a/b/x"},
        {path_resolve, "/a/f", "../..", 64, 2, ""},
        {path_resolve, "/a/f", "..", 64, 0, "/"},
        // Components that only begin with dots are names, kept whole.
        {path_resolve, "/home/u/f", ".profile", 64, 0, "/home/u/.profile"},
        {path_resolve, "/a/b/f", "..x/../.y/.", 64, 0, "/a/b/.y"},
        {path_resolve, "/a/b/f", "c/d", 6, 4, ""},
    };
    // clang-format on
    for (const auto &c : cases) {
        char out[64] = "junk";
        EXPECT_EQ(c.code, c.f(out, c.size, c.a, c.b)) << c.a << " , " << c.b;
        EXPECT_STREQ(c.out, out) << c.a << " , " << c.b;
    }
}

TEST(Paths, JoinAndDirnameNeverCut) {
    EXPECT_STREQ("../icons/gnome-note2.xpm", path_join("../icons", "gnome-note2.xpm"));
    EXPECT_STREQ("dir/f", path_join("dir/", "f"));
    EXPECT_STREQ("f", path_join("", "f"));
    EXPECT_STREQ("/home/u/tree/", path_dirname("/home/u/tree/events.txt"));
    EXPECT_STREQ("", path_dirname("events.txt"));
    // Results that do not fit are "" rather than a shorter, different path.
    EXPECT_STREQ("", path_join(std::string(FTD_PATH_MAX - 3, 'd').c_str(), "name"));
    std::string longpath = "/" + std::string(300, 'a') + "/f.txt";
    EXPECT_EQ(longpath.substr(0, 302), path_dirname(longpath.c_str()));
    EXPECT_STREQ("", path_dirname(("/" + std::string(FTD_PATH_MAX, 'x')).c_str()));
}

TEST(Paths, Absolute) {
    char cwd[FTD_PATH_MAX];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    std::string here = cwd, parent = here.substr(0, here.rfind('/')) + "/";
    std::string name(1000, 'n');
    // clang-format off
    const struct { const char *in; int rc; std::string out; } cases[] = {
        {"/etc/x", 0, "/etc/x"},
        {"./a.html", 1, here + "/a.html"},
        {"../doc/r.html", 1, parent + "doc/r.html"},
        {name.c_str(), 1, here + "/" + name}, // far past 255 characters
    };
    // clang-format on
    for (const auto &c : cases) {
        char out[FTD_PATH_MAX];
        EXPECT_EQ(c.rc, absolute_path(out, sizeof out, c.in)) << c.in;
        EXPECT_EQ(c.out, out) << c.in;
    }
    char small[8];
    EXPECT_EQ(-1, absolute_path(small, sizeof small, name.c_str()));
    EXPECT_STREQ("", small);
}

TEST(Paths, InstallDir) {
    char out[FTD_PATH_MAX] = "junk";
    unsetenv("ORVIK_INST_DIR");
    EXPECT_STREQ("", get_install_dir(out));
    const std::pair<std::string, std::string> cases[] = {
        {"", ""}, {"/opt/orvik", "/opt/orvik"}, {std::string(FTD_PATH_MAX, 'i'), ""}};
    for (const auto &c : cases) {
        setenv("ORVIK_INST_DIR", c.first.c_str(), 1);
        EXPECT_EQ(c.second, get_install_dir(out));
    }
    unsetenv("ORVIK_INST_DIR");
}

TEST(PathsDeathTest, FatalAssertShowsAlertAndExits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    static dlg_responder r;
    r.alert = [](const std::string &text) {
        fprintf(stderr, "font=%d size=%d\n%s", int(dlg_last_message_font()),
                int(dlg_last_message_size()), text.c_str());
    };
    dlg_set_responder(&r);
    EXPECT_EXIT(fatal_assert("0", "gates", 42), ::testing::ExitedWithCode(1),
                "font=4 size=14\nABNORMAL PROGRAM TERMIMATION\\.\n\nSorry, an internal error "
                "occurred\\.\nORVIK/Morvu-SA application will be closed\\.\n\n\n"
                "Assertion:\t0\nFile:\t\tgates\nLine:\t\t42\n");
    dlg_set_responder(nullptr);
}

} // namespace
