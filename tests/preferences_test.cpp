// Preference record and store, always against a fresh temporary HOME.
#include "dialogs.h"
#include "paths.h"
#include "preferences.h"

#include <FL/Fl_Preferences.H>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace {

struct PrefsStore : ::testing::Test {
    std::string home, dir, file;
    preferences p;
    void SetUp() override {
        char tmpl[] = "/tmp/ftd-prefs-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        setenv("HOME", (home = tmpl).c_str(), 1);
        file = (dir = home + "/.fltk/Brenmoor/ORVIK_Morvu-SA") + "/preferences.prefs";
        install_dir[0] = '\0';
    }
    void TearDown() override { std::system(("rm -rf '" + home + "'").c_str()); }
    std::string slurp() { return (std::stringstream() << std::ifstream(file).rdbuf()).str(); }
    // Reads or writes one integer straight in the store, as another tool would.
    int stored(const char *group, const char *key, int value = 0, bool write = false) {
        Fl_Preferences root(Fl_Preferences::USER, "Brenmoor", "ORVIK_Morvu-SA/preferences");
        Fl_Preferences g(root, group);
        write ? (void)g.set(key, value) : (void)g.get(key, value, -99);
        return value;
    }
};

TEST_F(PrefsStore, DefaultsWithAndWithoutInstallDir) {
    EXPECT_EQ(p.load(), 0); // no store yet is not a failure
    const char *strings[] = {"netscape", "emacs", "soffice", "gnuplot"};
    for (int i = 0; i < 4; i++)
        EXPECT_STREQ(p.get_string(i), strings[i]);
    for (int i : {4, 5, 6, 7, 8, 9, 11})
        EXPECT_EQ(p.get_int(i), int(i == PREF_LOG_LEVEL || i == PREF_ALERT_LEVEL)) << i;
    EXPECT_STREQ(p.get_string(PREF_LOG_FILE), "/ORVIK.log");
    EXPECT_STREQ(p.get_string(PREF_SAT_XSL_LOCAL_FILE), "/XML-support/SAT.xsl");
    setenv("ORVIK_INST_DIR", "/opt/x", 1);
    get_install_dir(install_dir);
    unsetenv("ORVIK_INST_DIR");
    p.load();
    EXPECT_STREQ(p.get_string(PREF_LOG_FILE), "/opt/x/ORVIK.log");
    EXPECT_STREQ(p.get_string(PREF_SAT_XSL_LOCAL_FILE), "/opt/x/XML-support/SAT.xsl");
    EXPECT_NE(access(file.c_str(), F_OK), 0); // loading never creates a store
    char *slot = p.set_string(PREF_LOG_FILE, std::string(5000, 'a').c_str());
    EXPECT_EQ(slot, p.get_string(PREF_LOG_FILE));
    EXPECT_EQ(strlen(slot), (size_t)PREF_STRING_SIZE - 1);
    EXPECT_EQ(p.get_int(PREF_SAT_XSL_MODE), 0); // the neighbouring slot is intact
}

TEST_F(PrefsStore, StoredValuesAndForeignKeys) {
    for (int v : {3, 4, 0, -1, 7}) {
        stored("Log", "LogLevel", v, true);
        stored("Log", "AlertLevel", v, true);
        p.load();
        EXPECT_EQ(p.get_int(PREF_LOG_LEVEL), v == 3 ? 2 : v);
        EXPECT_EQ(p.get_int(PREF_ALERT_LEVEL), v == 3 ? 2 : v);
    }
    stored("General", "PathSave", 1, true); // "Save" alone counts
    p.load();
    EXPECT_EQ(p.get_int(PREF_PATH_SAVE), 0);
    stored("Save", "PathSave", 1, true);
    p.load();
    EXPECT_EQ(p.get_int(PREF_PATH_SAVE), 1);
    // Loading leaves the store untouched; saving keeps foreign keys.
    stored("Foreign", "Answer", 42, true);
    stored("Log", "Other", 7, true);
    struct stat before, after;
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    std::string bytes = slurp();
    p.load();
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(slurp(), bytes);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    p.set_int(PREF_PATH_SAVE, 1);
    p.save();
    EXPECT_EQ(stored("Foreign", "Answer"), 42);
    EXPECT_EQ(stored("Log", "Other"), 7);
    EXPECT_EQ(stored("General", "PathSave"), 1);
    EXPECT_EQ(stored("Save", "PathSave"), 1);
}

TEST_F(PrefsStore, CorruptOrUnreadableStoreGivesDefaults) {
    // Damaged stores: loading reports them and gives the defaults; a save keeps
    // their bytes aside and writes a readable store.
    const std::string rows[] = {
        std::string("\x01\xff[[[\n+cont\n:\n[Log\nLogLevel:zz\n", 26),
        "h1\nh2\nh3\n[Log]\n[General\n+orphan continuation\n",
        std::string(5000, 'x') + "\n[./Log]\nLogFile:" + std::string(6000, 'y') + "\n",
    };
    for (const std::string &bytes : rows) {
        std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
        std::ofstream(file, std::ios::binary) << bytes;
        EXPECT_EQ(p.load(), 1);
        EXPECT_STREQ(p.get_string(PREF_BROWSER_PATH), "netscape");
        EXPECT_LT(strlen(p.get_string(PREF_LOG_FILE)), (size_t)PREF_STRING_SIZE);
        p.set_int(PREF_LOG_LEVEL, 0);
        p.save(); // keeps unreadable bytes aside, writes a readable store
        p.load();
        EXPECT_EQ(p.get_int(PREF_LOG_LEVEL), 0);
        EXPECT_EQ(access((file + ".corrupt").c_str(), F_OK), 0);
    }
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + file + "'").c_str());
    p.load(); // a directory in place of the file
    EXPECT_EQ(p.get_int(PREF_LOG_LEVEL), 1);
}

TEST(PrefsDeathTest, BadIndexEndsInFatalReport) {
    static dlg_responder r;
    r.alert = [](const std::string &t) { fprintf(stderr, "%s", t.c_str()); };
    dlg_set_responder(&r);
    preferences p;
    EXPECT_EXIT(p.get_string(4), ::testing::ExitedWithCode(1), "preferences\nLine:\t\t73\n");
    EXPECT_EXIT(p.get_int(12), ::testing::ExitedWithCode(1), "preferences\nLine:\t\t117\n");
    EXPECT_EXIT(p.set_string(11, "x"), ::testing::ExitedWithCode(1), "preferences\nLine:\t\t156");
    EXPECT_EXIT(p.set_int(-1, 0), ::testing::ExitedWithCode(1), "preferences\nLine:\t\t196");
    dlg_set_responder(nullptr);
}

} // namespace
