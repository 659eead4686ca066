// Preference record and store, always against a fresh temporary HOME.
#include "dialogs.h"
#include "paths.h"
#include "preferences.h"

#include <FL/Fl_Preferences.H>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace {

class PrefsStore : public ::testing::Test {
  protected:
    std::string home, dir, file;
    void SetUp() override {
        char tmpl[] = "/tmp/ftd-prefs-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = tmpl;
        setenv("HOME", tmpl, 1);
        dir = home + "/.fltk/Brenmoor/ORVIK_Morvu-SA";
        file = dir + "/preferences.prefs";
        install_dir[0] = '\0';
    }
    void TearDown() override { std::system(("rm -rf '" + home + "'").c_str()); }
    std::string slurp() {
        std::ifstream in(file);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // Writes entries straight into the store, as another tool would.
    void store_int(const char *group, const char *key, int value) {
        Fl_Preferences root(Fl_Preferences::USER, "Brenmoor", "ORVIK_Morvu-SA/preferences");
        Fl_Preferences g(root, group);
        g.set(key, value);
    }
};

TEST_F(PrefsStore, DefaultsWithAndWithoutInstallDir) {
    preferences p;
    p.load();
    EXPECT_STREQ(p.get_string(PREF_BROWSER_PATH), "netscape");
    EXPECT_STREQ(p.get_string(PREF_TEXT_EDITOR_PATH), "emacs");
    EXPECT_STREQ(p.get_string(PREF_SPREADSHEET_PATH), "soffice");
    EXPECT_STREQ(p.get_string(PREF_GNUPLOT_PATH), "gnuplot");
    for (int i : {PREF_CONFIRM_EXIT, PREF_CONFIRM_SR_FM_DEL, PREF_MORVU_WINDOW, PREF_PATH_SAVE,
                  PREF_SAT_XSL_MODE})
        EXPECT_EQ(p.get_int(i), 0) << i;
    EXPECT_EQ(p.get_int(PREF_LOG_LEVEL), 1);
    EXPECT_EQ(p.get_int(PREF_ALERT_LEVEL), 1);
    EXPECT_STREQ(p.get_string(PREF_LOG_FILE), "/ORVIK.log");
    EXPECT_STREQ(p.get_string(PREF_SAT_XSL_LOCAL_FILE), "/XML-support/SAT.xsl");

    setenv("ORVIK_INST_DIR", "/opt/x", 1);
    get_install_dir(install_dir);
    unsetenv("ORVIK_INST_DIR");
    p.load();
    EXPECT_STREQ(p.get_string(PREF_LOG_FILE), "/opt/x/ORVIK.log");
    EXPECT_STREQ(p.get_string(PREF_SAT_XSL_LOCAL_FILE), "/opt/x/XML-support/SAT.xsl");
    // Loading never creates a store.
    EXPECT_NE(access(file.c_str(), F_OK), 0);
}

TEST_F(PrefsStore, StoredValuesAndLevelCorrection) {
    struct Row {
        int stored;
        int loaded;
    } rows[] = {{3, 2}, {4, 4}, {0, 0}, {-1, -1}, {7, 7}};
    preferences p;
    for (const Row &r : rows) {
        store_int("Log", "LogLevel", r.stored);
        store_int("Log", "AlertLevel", r.stored);
        p.load();
        EXPECT_EQ(p.get_int(PREF_LOG_LEVEL), r.loaded) << r.stored;
        EXPECT_EQ(p.get_int(PREF_ALERT_LEVEL), r.loaded) << r.stored;
    }
    // "PathSave" comes from the "Save" group alone.
    store_int("General", "PathSave", 1);
    p.load();
    EXPECT_EQ(p.get_int(PREF_PATH_SAVE), 0);
    store_int("General", "PathSave", 0);
    store_int("Save", "PathSave", 1);
    p.load();
    EXPECT_EQ(p.get_int(PREF_PATH_SAVE), 1);
}

TEST_F(PrefsStore, LoadLeavesStoreUntouchedAndSaveKeepsForeignKeys) {
    store_int("Foreign", "Answer", 42);
    store_int("Log", "Other", 7);
    struct stat before, after;
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    std::string bytes = slurp();
    preferences p;
    p.load();
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(slurp(), bytes);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);

    p.set_int(PREF_PATH_SAVE, 1);
    p.set_string(PREF_LOG_FILE, "/tmp/my.log");
    p.save();
    Fl_Preferences root(Fl_Preferences::USER, "Brenmoor", "ORVIK_Morvu-SA/preferences");
    Fl_Preferences foreign(root, "Foreign"), log(root, "Log"), general(root, "General"),
        save(root, "Save");
    int v = 0;
    foreign.get("Answer", v, 0);
    EXPECT_EQ(v, 42);
    log.get("Other", v, 0);
    EXPECT_EQ(v, 7);
    general.get("PathSave", v, 0);
    EXPECT_EQ(v, 1);
    save.get("PathSave", v, 0);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(general.entries() + save.entries() + log.entries() - 1 +
                  Fl_Preferences(root, "ExternalTools").entries(),
              14);
}

TEST_F(PrefsStore, CorruptOrUnreadableStoreGivesDefaults) {
    struct Row {
        std::string bytes;
        bool set_aside; // the reader could not take it
    } rows[] = {
        {std::string("\x01\xff[[[\n+cont\n:\n[Log\nLogLevel:zz\n", 26), true},
        {"h1\nh2\nh3\n[Log]\n[General\n+orphan continuation\n", true},
        {std::string(5000, 'x') + "\n[./Log]\nLogFile:" + std::string(6000, 'y') + "\n", false},
    };
    for (const Row &r : rows) {
        std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
        std::ofstream(file, std::ios::binary) << r.bytes;
        preferences p;
        p.load();
        EXPECT_STREQ(p.get_string(PREF_BROWSER_PATH), "netscape");
        EXPECT_LT(strlen(p.get_string(PREF_LOG_FILE)), (size_t)PREF_STRING_SIZE);
        // Saving keeps unreadable bytes aside and writes a readable store.
        p.set_int(PREF_LOG_LEVEL, 0);
        p.save();
        p.load();
        EXPECT_EQ(p.get_int(PREF_LOG_LEVEL), 0);
        EXPECT_EQ(access((file + ".corrupt").c_str(), F_OK) == 0, r.set_aside);
    }
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + file + "'").c_str());
    preferences p;
    p.load();
    EXPECT_EQ(p.get_int(PREF_LOG_LEVEL), 1);
    EXPECT_STREQ(p.get_string(PREF_GNUPLOT_PATH), "gnuplot");
}

TEST(Prefs, SetStringIsBoundedAndKeepsItsAddress) {
    static preferences p;
    std::string longtext(5000, 'a');
    char *slot = p.set_string(PREF_LOG_FILE, longtext.c_str());
    EXPECT_EQ(slot, p.get_string(PREF_LOG_FILE));
    EXPECT_EQ(strlen(slot), (size_t)PREF_STRING_SIZE - 1);
    EXPECT_EQ(p.sat_xsl_mode, 0); // the next slot is untouched
    p.set_int(PREF_SAT_XSL_MODE, 2);
    EXPECT_EQ(p.get_int(PREF_SAT_XSL_MODE), 2);
}

TEST(PrefsDeathTest, BadIndexEndsInFatalReport) {
    static dlg_responder r;
    r.alert = [](const std::string &t) { fprintf(stderr, "%s", t.c_str()); };
    dlg_set_responder(&r);
    preferences p;
    EXPECT_EXIT(p.get_string(4), ::testing::ExitedWithCode(1), "preferences\nLine:\t\t73");
    EXPECT_EXIT(p.get_int(12), ::testing::ExitedWithCode(1), "preferences\nLine:\t\t117");
    EXPECT_EXIT(p.set_string(11, "x"), ::testing::ExitedWithCode(1),
                "preferences\nLine:\t\t156");
    EXPECT_EXIT(p.set_int(-1, 0), ::testing::ExitedWithCode(1), "preferences\nLine:\t\t196");
    EXPECT_EXIT(p.get_int(13), ::testing::ExitedWithCode(1), "Line:\t\t117");
    dlg_set_responder(nullptr);
}

} // namespace
