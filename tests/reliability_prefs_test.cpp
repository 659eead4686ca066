// Fault injection on the preference store: a corrupt store file, a store
// that cannot be read, and a home directory that cannot be written. Loading
// falls back to the defaults without a crash, saving never destroys a file
// that was there, and the record stays usable.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "fault_support.h"
#include "paths.h"
#include "preferences.h"

namespace {

const char store_dir[] = "/.fltk/Brenmoor/ORVIK_Morvu-SA";
const char store_file[] = "/.fltk/Brenmoor/ORVIK_Morvu-SA/preferences.prefs";

// A fresh HOME per test; the store lives below it.
struct temp_home : temp_dir {
    temp_home() {
        setenv("HOME", path.c_str(), 1);
        install_dir[0] = '\0';
    }
    std::string store() const { return path + store_file; }
    void make_store_dir() const { (void)!system(("mkdir -p '" + path + store_dir + "'").c_str()); }
};

void expect_defaults(preferences &p) {
    EXPECT_STREQ(p.get_string(PREF_BROWSER_PATH), "netscape");
    EXPECT_STREQ(p.get_string(PREF_GNUPLOT_PATH), "gnuplot");
    EXPECT_EQ(p.get_int(PREF_LOG_LEVEL), 1);
    EXPECT_STREQ(p.get_string(PREF_LOG_FILE), "/ORVIK.log");
}

} // namespace

// Garbage of several kinds in the store file: loading gives the defaults and
// leaves the bytes alone; a save afterwards writes a store that loads back.
TEST(ReliabilityPrefs, CorruptStoreLoadsDefaults) {
    const std::string garbage[] = {
        std::string("\0\0\0\xff\xfe[General\nConfirmExit\n=\n\\", 20),
        std::string(1 << 20, 'q'), // one line of a megabyte
        "[ExternalTools\nBrowserPath:\n[[[]]]\n=firefox\n",
        "; no groups at all\n\x01\x02\x03\n",
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

// The store cannot be opened: its directory path runs into a file, or the
// store is a directory. Defaults, no crash, nothing replaced.
TEST(ReliabilityPrefs, UnreadableStoreLoadsDefaults) {
    {
        temp_home home;
        write_all(home.path + "/.fltk", "not a directory");
        preferences p;
        EXPECT_EQ(p.load(), 1);
        expect_defaults(p);
        EXPECT_EQ(p.save(), -1);
        EXPECT_EQ(read_all(home.path + "/.fltk"), "not a directory");
    }
    {
        temp_home home;
        home.make_store_dir();
        ASSERT_EQ(mkdir(home.store().c_str(), 0755), 0);
        write_all(home.store() + "/keep", "kept");
        preferences p;
        EXPECT_EQ(p.load(), 1);
        expect_defaults(p);
        EXPECT_EQ(p.save(), -1);
        EXPECT_EQ(read_all(home.store() + "/keep"), "kept");
    }
}

TEST(ReliabilityPrefs, PermissionDeniedLoadsDefaults) {
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: file modes do not stop reading";
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
TEST(ReliabilityPrefs, ReadOnlyHomeKeepsStore) {
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
