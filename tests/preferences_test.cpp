// Preference record and store, always against a fresh temporary HOME; then
// fault injection: a corrupt store, a store that cannot be read and a home
// directory that cannot be written. Loading falls back to the defaults,
// saving never destroys a file that was there, the record stays usable.
#include "dialogs.h"
#include "fault_support.h"
#include "preferences.h"

#include <FL/Fl_Preferences.H>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

struct PrefsStore : ::testing::Test {
    temp_home home;
    preferences p;
    // Reads or writes one integer straight in the store, as another tool would.
    int stored(const char *group, const char *key, int value = 0, bool write = false) {
        Fl_Preferences root(Fl_Preferences::USER, "Brenmoor", "ORVIK_Morvu-SA/preferences");
        Fl_Preferences g(root, group);
        write ? (void)g.set(key, value) : (void)g.get(key, value, -99);
        return value;
    }
};

void expect_defaults(preferences &p) {
    EXPECT_STREQ(p.get_string(PREF_BROWSER_PATH), "netscape");
    EXPECT_STREQ(p.get_string(PREF_GNUPLOT_PATH), "gnuplot");
    EXPECT_EQ(p.get_int(PREF_LOG_LEVEL), 1);
    EXPECT_STREQ(p.get_string(PREF_LOG_FILE), "/ORVIK.log");
}

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
    EXPECT_NE(access(home.store().c_str(), F_OK), 0); // loading never creates a store
    char *slot = p.set_string(PREF_LOG_FILE, std::string(5000, 'a').c_str());
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
    ASSERT_EQ(stat(home.store().c_str(), &before), 0);
    std::string bytes = read_all(home.store());
    p.load();
    ASSERT_EQ(stat(home.store().c_str(), &after), 0);
    EXPECT_EQ(read_all(home.store()), bytes);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    p.set_int(PREF_PATH_SAVE, 1);
    p.save();
    EXPECT_EQ(stored("Foreign", "Answer"), 42);
    EXPECT_EQ(stored("Log", "Other"), 7);
    EXPECT_EQ(stored("General", "PathSave"), 1);
    EXPECT_EQ(stored("Save", "PathSave"), 1);
}

// Loading a damaged store reports it, gives the defaults and leaves the
// bytes alone; a save keeps them aside and writes a store that loads back.
TEST(PrefsFault, CorruptStoreLoadsDefaults) {
    const std::string garbage[] = {
        std::string("\0\0\0\xff\xfe[General\nConfirmExit\n=\n\\", 20),
        std::string(1 << 20, 'q'), // one line of a megabyte
        "[ExternalTools\nBrowserPath:\n[[[]]]\n=firefox\n",
        "; no groups at all\n\x01\x02\x03\n",
        "h1\nh2\nh3\n[Log]\n[General\n+orphan continuation\n",
        std::string(5000, 'x') + "\n[./Log]\nLogFile:" + std::string(6000, 'y') + "\n",
    };
    for (const std::string &bytes : garbage) {
        temp_home home;
        home.make_store_dir();
        write_all(home.store(), bytes);
        preferences p;
        EXPECT_EQ(p.load(), 1);
        expect_defaults(p);
        EXPECT_EQ(read_all(home.store()), bytes) << "loading must not rewrite the store";
        p.set_string(PREF_BROWSER_PATH, "firefox");
        EXPECT_EQ(p.save(), 0);
        EXPECT_EQ(read_all(home.store() + ".corrupt"), bytes) << "the damaged store is kept";
        preferences q;
        q.load();
        EXPECT_STREQ(q.get_string(PREF_BROWSER_PATH), "firefox");
    }
}

// The store cannot be opened: its directory path runs into a file, the store
// is a directory, or (not as root) it may not be read. Defaults, no crash,
// nothing replaced.
TEST(PrefsFault, UnreadableStoreLoadsDefaults) {
    for (bool store_is_dir : {false, true}) {
        temp_home home;
        const std::string kept = store_is_dir ? home.store() + "/keep" : home.path + "/.fltk";
        if (store_is_dir) {
            home.make_store_dir();
            ASSERT_EQ(mkdir(home.store().c_str(), 0755), 0);
        }
        write_all(kept, "kept");
        preferences p;
        EXPECT_EQ(p.load(), 1);
        expect_defaults(p);
        EXPECT_EQ(p.save(), -1);
        EXPECT_EQ(read_all(kept), "kept");
    }
    if (geteuid() == 0)
        return; // file modes do not stop root from reading
    temp_home home;
    home.make_store_dir();
    write_all(home.store(), "[ExternalTools]\nBrowserPath:firefox\n");
    ASSERT_EQ(chmod(home.store().c_str(), 0), 0);
    preferences p;
    p.load();
    expect_defaults(p);
}

// A home directory on a read-only file system: the existing store loads,
// a save leaves it byte for byte as it was, and the record keeps the values.
TEST(PrefsFault, ReadOnlyHomeKeepsStore) {
    if (private_mounts() != 0)
        GTEST_SKIP() << "no mount namespace here (needs CAP_SYS_ADMIN)";
    temp_home home;
    {
        preferences first;
        first.load();
        first.set_string(PREF_BROWSER_PATH, "firefox");
        first.save();
    }
    const std::string stored = read_all(home.store()) + "[./Other]\nforeign:kept\n";
    write_all(home.store(), stored);
    const char *h = home.path.c_str();
    ASSERT_EQ(mount(h, h, nullptr, MS_BIND, nullptr), 0);
    ASSERT_EQ(mount(nullptr, h, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);
    preferences p;
    p.load();
    EXPECT_STREQ(p.get_string(PREF_BROWSER_PATH), "firefox");
    p.set_string(PREF_BROWSER_PATH, "lynx");
    p.set_int(PREF_LOG_LEVEL, 2);
    EXPECT_EQ(p.save(), -1);
    EXPECT_EQ(read_all(home.store()), stored);
    EXPECT_STREQ(p.get_string(PREF_BROWSER_PATH), "lynx");
    EXPECT_EQ(umount(h), 0);
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
