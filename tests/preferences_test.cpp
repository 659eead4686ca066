// Preference record and store, always against a fresh temporary HOME; then
// fault injection: damaged stores, stores the toolkit reads although they are
// not of its own writing, stores that cannot be read, and homes that cannot
// be written (read-only, full). Loading falls back to the defaults, saving
// never destroys a file that was there.
#include "dialogs.h"
#include "fault_support.h"
#include "file_replace.h"
#include "preferences.h"
#include "preferences_store.h"

#include <FL/Fl_Preferences.H>
#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

const std::string header = "; FLTK preferences file format 1.0\n; vendor: Brenmoor\n"
                           "; application: ORVIK_Morvu-SA/preferences\n";
// Two settings of this program and a group of another tool.
const std::string body = "[./ExternalTools]\nBrowserPath:firefox\n[./Log]\nLogLevel:2\n"
                         "[./OtherTool]\nforeign:kept\n";

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

// n key lines "k0:" ... of one group.
std::string keys(int n) {
    std::string s = "[./Many]\n";
    for (int i = 0; i < n; i++)
        s += "k" + std::to_string(i) + ":\n";
    return s;
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
    EXPECT_EQ(p.save(), 0);
    EXPECT_EQ(stored("Foreign", "Answer"), 42);
    EXPECT_EQ(stored("Log", "Other"), 7);
}

// Every slot goes to its own group and key and comes back into its own slot.
TEST_F(PrefsStore, AllSlotsRoundTripUnderTheirKeys) {
    // clang-format off
    const struct { int index; const char *group, *key, *value; } keys[] = {
        {4, "General", "ConfirmExit", "41"}, {5, "General", "Confirm_SR_FM_Del", "51"},
        {6, "General", "MorvuWindow", "61"}, {7, "General", "PathSave", "71"},
        {0, "ExternalTools", "BrowserPath", "s0"}, {2, "ExternalTools", "SpreadsheetPath", "s2"},
        {1, "ExternalTools", "TextEditorPath", "s1"}, {3, "ExternalTools", "GnuplotPath", "s3"},
        {10, "Log", "LogFile", "s10"}, {8, "Log", "LogLevel", "81"}, {9, "Log", "AlertLevel", "91"},
        {7, "Save", "PathSave", "71"}, {11, "Save", "SAT_XSL_Mode", "111"},
        {12, "Save", "SAT_XSL_LocalFile", "s12"}};
    // clang-format on
    std::string text = header + "\n[.]\n\n", group;
    for (const auto &k : keys) {
        if (k.group != group)
            text += "\n[./" + (group = k.group) + "]\n\n";
        text += std::string(k.key) + ":" + k.value + "\n";
        k.value[0] == 's' ? (void)p.set_string(k.index, k.value)
                          : p.set_int(k.index, atoi(k.value));
    }
    ASSERT_EQ(p.save(), 0);
    EXPECT_EQ(read_all(home.store()), text);
    preferences back;
    ASSERT_EQ(back.load(), 0);
    for (const auto &k : keys) {
        if (k.value[0] == 's')
            EXPECT_STREQ(back.get_string(k.index), k.value) << k.key;
        else
            EXPECT_EQ(back.get_int(k.index), atoi(k.value)) << k.key;
    }
}

// Stores the toolkit reads although it did not write them that way: they
// load, and a save keeps the other tool's group.
TEST(PrefsFault, ReadableStoresLoadAndKeepForeignGroups) {
    std::string crlf = header + body;
    for (size_t i = 0; (i = crlf.find('\n', i)) != std::string::npos; i += 2)
        crlf.insert(i, "\r");
    const std::string stores[] = {
        header + "# a comment\n" + body,
        header + body + "flag\n",
        header + " \t \n" + body,
        crlf,
        "# my settings\n\n\n" + body,
        header + "[Stray]\n\n" + body, // a group line with nothing under it
        header + "[./" + std::string(98, 'g') + "]\nk:v\n" + body, // a 100-character group
        header + body + keys(10000 - 22), // 10,000 group and key lines once saved
    };
    for (const std::string &bytes : stores) {
        temp_home home;
        home.write_store(bytes);
        preferences p;
        EXPECT_EQ(p.load(), 0) << bytes.substr(0, 200);
        EXPECT_STREQ(p.get_string(PREF_BROWSER_PATH), "firefox");
        EXPECT_EQ(p.get_int(PREF_LOG_LEVEL), 2);
        p.set_int(PREF_ALERT_LEVEL, 0);
        EXPECT_EQ(p.save(), 0);
        EXPECT_NE(read_all(home.store()).find("[./OtherTool]\n\nforeign:kept\n"),
                  std::string::npos);
        EXPECT_EQ(names_in(home.folder()), std::set<std::string>{"preferences.prefs"});
        preferences q;
        EXPECT_EQ(q.load(), 0);
        EXPECT_STREQ(q.get_string(PREF_BROWSER_PATH), "firefox");
        EXPECT_EQ(q.get_int(PREF_ALERT_LEVEL), 0);
    }
}

// Stores the toolkit cannot read safely: they crash it (a group line it
// cannot place followed by an entry; a group path of 128 characters or more,
// refused here from 101), hold bytes it cannot read, or are too big for its
// look-ups. Loading reports them and gives the defaults without reading them
// through the toolkit; a save keeps their bytes aside, never overwriting an
// earlier copy, and writes a store that loads back.
TEST(PrefsFault, DamagedStoresAreSetAside) {
    const std::string stores[] = {
        header + "[ExternalTools]\nBrowserPath:firefox\n",
        "h1\nh2\nh3\n[Log]\n[General\n+orphan continuation\n",
        header + "k:" + std::string(1021, 'v') + "[Log]\nk:v\n", // the toolkit's 1023-byte lines
        header + "[./" + std::string(99, 'g') + "]\n" + body,
        header + "[./a/" + std::string(200, 'g') + "]\n",
        header + "[./ExternalTools]\nBrowserPath:fire\0fox\n"s, // a NUL byte
        header + body + std::string(1 << 20, '\n'),             // over 1 MiB
        header + body + keys(10000 - 6),                        // 10,001 group and key lines
    };
    for (const std::string &bytes : stores) {
        temp_home home;
        home.write_store(bytes);
        preferences p;
        EXPECT_EQ(p.load(), 1) << bytes.substr(0, 200);
        expect_defaults(p);
        EXPECT_EQ(read_all(home.store()), bytes) << "loading must not rewrite the store";
        p.set_string(PREF_BROWSER_PATH, "lynx");
        EXPECT_EQ(p.save(), 0);
        EXPECT_EQ(read_all(home.store() + ".corrupt"), bytes) << "the damaged store is kept";
        preferences q;
        EXPECT_EQ(q.load(), 0);
        EXPECT_STREQ(q.get_string(PREF_BROWSER_PATH), "lynx");
        // A second damaged store goes beside the first.
        write_all(home.store(), stores[0]);
        EXPECT_EQ(q.save(), 0);
        EXPECT_EQ(read_all(home.store() + ".corrupt"), bytes);
        EXPECT_EQ(read_all(home.store() + ".corrupt.1"), stores[0]);
        EXPECT_EQ(names_in(home.folder()),
                  (std::set<std::string>{"preferences.prefs", "preferences.prefs.corrupt",
                                         "preferences.prefs.corrupt.1"}));
    }
}

// Line shapes around each rule of the toolkit's reader. A continuation line
// extends the entry last set in its group; after a comment (an entry without
// a value) it crashes the reader, elsewhere it is harmless. A value is
// un-escaped when read: a backslash needs one byte after it, three before a
// digit, or the toolkit reads past the value. Readable rows load BrowserPath
// as given and save a store that loads it again; damaged rows give the
// defaults and are set aside on the next save.
TEST(PrefsFault, ContinuationAndEscapeShapes) {
    const std::string tools = "[./ExternalTools]\n", firefox = tools + "BrowserPath:firefox\n";
    const std::string n127(127, 'n'), n130(130, 'n');
    // clang-format off
    const struct { std::string lines; const char *browser; } rows[] = { // NULL: damaged
        {"+at the start\n" + firefox, "firefox"},
        {tools + "+after a group line\nBrowserPath:firefox\n", "firefox"},
        {tools + "BrowserPath:fire\n\n+\n+\r\n+fox\n", "firefox"},
        {"[./Log]\n#LogFile:/home/analyst/projects/plant-safety/fault-trees/logs/orvik-m\n"
         "+orvu-sa.log\nLogLevel:1\n" + firefox, nullptr},
        {tools + ";BrowserPath:x\n+y\n", nullptr},
        {firefox + "#note\n\n+more\n", nullptr},
        {tools + "#note\n+\r\nBrowserPath:firefox\n", "firefox"},
        {tools + "#note\nBrowserPath:fire\n#note\n+fox\n", "firefox"}, // a repeated comment
        {tools + "BrowserPath:fire\n#note\nBrowserPath:fire\n+fox\n", "firefox"},
        {tools + "#note\n[./Log]\nLogLevel:2\n" + tools + "+x\n", nullptr},
        {tools + "BrowserPath:fire\n[./Log]\n#note\n" + tools + "+fox\n", "firefox"},
        {"#note\n[.]\n+x\n" + firefox, nullptr},
        {firefox + "#" + std::string(1022, 'c') + "+x\n", nullptr}, // the toolkit's line cut
        {tools + "BrowserPath:firefox\\\n", nullptr},
        {firefox + "SpreadsheetPath:soffice\\1\n", nullptr},
        {firefox + "SpreadsheetPath:soffice\\12\n", nullptr},
        {tools + "BrowserPath:fire\\146ox\n", "firefox"},
        {tools + "BrowserPath:fi\\qre\\\\fox\n", "fire\\fox"},
        {tools + "BrowserPath:fire\\\\\\\n", nullptr},
        {tools + "BrowserPath:fire\\\n+146ox\n", "firefox"},
        {tools + "BrowserPath:fire\\1\n+4\n", nullptr},
        {tools + "BrowserPath:firefox\\\r\n", nullptr},
        {tools + "BrowserPath:x\\\nBrowserPath:firefox\n", "firefox"},
        {tools + "#firefox\\\nBrowserPath:firefox\n", "firefox"},
        {"[./OtherTool]\nforeign:x\\9\n" + firefox, nullptr},
        {firefox + n130 + ":x\\\n" + n127 + "zz:y\n", "firefox"}, // names cut to 127 bytes
        {firefox + n130 + ":x\\\n" + n130 + "\n", nullptr},      // but not without a colon
    };
    // clang-format on
    for (const auto &row : rows) {
        temp_home home;
        const std::string bytes = header + row.lines;
        home.write_store(bytes);
        int state = store_state(home.store());
        EXPECT_EQ(state, row.browser ? STORE_READABLE : STORE_DAMAGED) << row.lines;
        if (state != (row.browser ? STORE_READABLE : STORE_DAMAGED))
            continue; // the toolkit would crash or read past a value
        preferences p;
        EXPECT_EQ(p.load(), row.browser ? 0 : 1) << row.lines;
        EXPECT_STREQ(p.get_string(PREF_BROWSER_PATH), row.browser ? row.browser : "netscape");
        EXPECT_EQ(p.save(), 0);
        EXPECT_EQ(read_all(home.store() + ".corrupt"), row.browser ? "" : bytes);
        EXPECT_EQ(p.load(), 0) << row.lines;
        EXPECT_STREQ(p.get_string(PREF_BROWSER_PATH), row.browser ? row.browser : "netscape");
    }
}

// What is at the store's place is not a file: a directory or a pipe (which
// the toolkit would wait on for ever). Loading gives the defaults at once; a
// save moves it aside whole. A path that runs into a file cannot be saved.
TEST(PrefsFault, NonFileStoreIsSetAside) {
    for (int kind : {0, 1}) {
        temp_home home;
        home.make_store_dir();
        ASSERT_EQ(kind ? mkfifo(home.store().c_str(), 0600) : mkdir(home.store().c_str(), 0755), 0);
        if (!kind)
            write_all(home.store() + "/keep", "kept");
        preferences p;
        EXPECT_EQ(p.load(), 1);
        expect_defaults(p);
        EXPECT_EQ(p.save(), 0);
        struct stat st;
        ASSERT_EQ(stat((home.store() + ".corrupt").c_str(), &st), 0);
        EXPECT_TRUE(kind ? S_ISFIFO(st.st_mode) : S_ISDIR(st.st_mode));
        if (!kind) {
            EXPECT_EQ(read_all(home.store() + ".corrupt/keep"), "kept");
        }
        EXPECT_EQ(p.load(), 0);
    }
    temp_home home;
    write_all(home.path + "/.fltk", "kept");
    preferences p;
    EXPECT_EQ(p.load(), 1);
    EXPECT_EQ(p.save(), -1);
    EXPECT_EQ(read_all(home.path + "/.fltk"), "kept");
    if (geteuid() == 0)
        return; // file modes do not stop root from reading
    temp_home unreadable;
    unreadable.write_store(header + body);
    ASSERT_EQ(chmod(unreadable.store().c_str(), 0), 0);
    EXPECT_EQ(p.load(), 1);
    expect_defaults(p);
}

// A save that cannot be written whole (a read-only home, a full file system,
// a file-size limit) fails and leaves the store byte for byte as it was, with
// no temporary file beside it; the record keeps the new values.
TEST(PrefsFault, FailedWriteKeepsStore) {
    enum { READ_ONLY, FULL_DISK, SIZE_LIMIT };
    file_replace_startup(); // a write past the file-size limit fails, as in the program
    for (int way : {READ_ONLY, FULL_DISK, SIZE_LIMIT}) {
        if (way != SIZE_LIMIT && private_mounts() != 0)
            continue; // no mount namespace here (needs CAP_SYS_ADMIN)
        temp_home home;
        if (way == FULL_DISK) {
            ASSERT_EQ(mount_small_tmpfs(home.home = home.path + "/full"), 0);
            setenv("HOME", home.home.c_str(), 1);
        }
        preferences p;
        p.load();
        ASSERT_EQ(p.save(), 0);
        const std::string stored = read_all(home.store()) + "[./OtherTool]\nforeign:kept\n";
        write_all(home.store(), stored);
        const char *h = home.home.c_str();
        if (way == READ_ONLY) {
            ASSERT_EQ(mount(h, h, nullptr, MS_BIND, nullptr), 0);
            ASSERT_EQ(mount(nullptr, h, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);
        }
        p.set_string(PREF_BROWSER_PATH, std::string(4000, 'b').c_str());
        p.set_string(PREF_LOG_FILE, std::string(4000, 'l').c_str());
        {
            file_size_limit limit(way == SIZE_LIMIT ? 4096 : 0);
            EXPECT_EQ(p.save(), -1) << way;
        }
        EXPECT_EQ(read_all(home.store()), stored) << way;
        EXPECT_EQ(names_in(home.folder()), std::set<std::string>{"preferences.prefs"}) << way;
        EXPECT_EQ(strlen(p.get_string(PREF_BROWSER_PATH)), 4000u);
        if (way == READ_ONLY) {
            EXPECT_EQ(umount(h), 0);
        }
    }
}

// A store file that is a symbolic link, as a user keeping settings elsewhere
// makes it: a save writes the file that the chain of links ends on, made
// there when missing, and keeps every link. A loop fails the save and
// changes nothing; loading it warns.
TEST(PrefsFault, StoreLinksAreWrittenThrough) {
    const struct {
        std::vector<std::pair<std::string, std::string>> links; // name in the folder, text
        const char *written;                                    // in the folder; "" for a loop
    } rows[] = {{{{"preferences.prefs", "real.prefs"}}, "real.prefs"},
                {{{"preferences.prefs", "hop"}, {"hop", "@/real.prefs"}}, "real.prefs"},
                {{{"preferences.prefs", "old.prefs"}}, "old.prefs"},
                {{{"preferences.prefs", "preferences.prefs"}}, ""},
                {{{"preferences.prefs", "hop"}, {"hop", "preferences.prefs"}}, ""}};
    for (const auto &r : rows) {
        temp_home home;
        home.make_store_dir();
        const std::string folder = home.folder() + "/";
        write_all(folder + "old.prefs", header + body);
        std::set<std::string> names{"old.prefs"};
        for (auto [name, text] : r.links) {
            if (text[0] == '@')
                text = folder + text.substr(2); // an absolute link
            ASSERT_EQ(symlink(text.c_str(), (folder + name).c_str()), 0);
            names.insert(name);
        }
        SCOPED_TRACE(r.links.back().second);
        preferences p;
        EXPECT_EQ(p.load(), *r.written ? 0 : 1);
        p.set_string(PREF_TEXT_EDITOR_PATH, "vi");
        EXPECT_EQ(p.save(), *r.written ? 0 : -1);
        names.insert(r.written);
        names.erase("");
        EXPECT_EQ(names_in(folder), names);
        for (const auto &[name, text] : r.links) {
            struct stat st;
            EXPECT_TRUE(lstat((folder + name).c_str(), &st) == 0 && S_ISLNK(st.st_mode)) << name;
        }
        if (*r.written) {
            EXPECT_NE(read_all(folder + r.written).find("TextEditorPath:vi"), std::string::npos);
        }
    }
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
