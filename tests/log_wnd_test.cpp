// The log window, with real widgets under an X server and the dialog seam.
#include "app_fixture.h"

#include "file_replace.h"
#include "log_wnd.h"
#include "preferences.h"

#include <FL/Fl_Input.H>

namespace {

const std::string cleared = "\nLog cleared.\nStarting to log from scratch.\n\n";
using texts = std::vector<std::string>;

struct LogWnd : SeamTest {
    log_wnd *lw = new log_wnd(); // never freed, as in the program
    std::string text() { return text_of(lw->buffer); }
    void pick(const char *path) { // a menu item, through the menu bar's callbacks
        Fl_Menu_Bar *bar = first_of<Fl_Menu_Bar>(lw->window);
        bar->picked(bar->find_item(path));
    }
};

TEST_F(LogWnd, LevelAndAlertFiltering) {
    // clang-format off
    const struct { int level, alert_level, enabled, msg; const char *appended, *alert; } rows[] = {
        {1, 1, 1, 0, "ERROR. 50% off\n", "ERROR!\n\n50% off"}, {1, 1, 1, 2, "", nullptr},
        {3, 3, 1, 1, "WARNING. 50% off\n", "WARNING!\n\n50% off"},
        {3, 0, 1, 3, "DEBUG. 50% off\n", nullptr}, {0, 3, 1, 1, "", nullptr},
        {3, 3, 0, 2, "INFO. 50% off\n", nullptr}, {3, 3, 1, 7, "", nullptr},
        {3, 3, 1, -1, "", nullptr}};
    // clang-format on
    EXPECT_EQ(text(), "\nStarting to log.\n\n");
    for (const auto &r : rows) {
        lw->clear();
        alerts.clear();
        lw->set_level(r.level);
        lw->set_alert_level(r.alert_level);
        r.enabled ? lw->enable_alert() : lw->disable_alert();
        lw->log(r.msg, "%s", "50% off");
        EXPECT_EQ(text(), cleared + r.appended) << r.msg;
        EXPECT_EQ(alerts, r.alert ? texts{r.alert} : texts{}) << r.msg;
    }
}

TEST_F(LogWnd, StatusClearAndSaveMenus) {
    global_prefs.set_int(PREF_LOG_LEVEL, 1);
    global_prefs.set_int(PREF_ALERT_LEVEL, 0);
    global_prefs.set_string(PREF_LOG_FILE, "/tmp/ORVIK.log");
    pick("&Edit/S&tatus");
    lw->disable_alert();
    global_prefs.set_int(PREF_LOG_LEVEL, 7);
    lw->status();
    EXPECT_EQ(text(), "\nStarting to log.\n\n"
                      "\nLog Status:\n  Log Level:       WARNING\n  Alert Box:       enabled\n"
                      "  Alert Box Level: ERROR\n  Log File:        /tmp/ORVIK.log\n\n"
                      "\nLog Status:\n  Log Level:       UNKNOWN\n  Alert Box:       disabled\n"
                      "  Log File:        /tmp/ORVIK.log\n\n");
    std::string path = testing::TempDir() + "ftd-logwnd-" + std::to_string(getpid());
    global_prefs.set_string(PREF_LOG_FILE, path.c_str());
    pick("&Window/&Clear");
    pick("&File/&Save");
    EXPECT_EQ(read_all(path), cleared);
    EXPECT_EQ(text(), cleared + "\n\nSaved log to file: " + path + ".\n\n");
    remove(path.c_str());
    // On a full file system: a write error and no note.
    temp_dir dir;
    if (mount_small_tmpfs(dir.file("full")) != 0)
        GTEST_SKIP() << "no mount namespace here (needs CAP_SYS_ADMIN)";
    write_all(dir.file("full/filler"), std::string(1 << 16, 'x')); // no byte more fits
    global_prefs.set_string(PREF_LOG_FILE, dir.file("full/log.txt").c_str());
    EXPECT_EQ(lw->save(global_prefs.get_string(PREF_LOG_FILE)), 2);
    pick("&File/&Save");
    EXPECT_EQ(text(), cleared + "\n\nSaved log to file: " + path + ".\n\n");
}

// Save replaces the log file whole or not at all: on a full file system or
// past a file-size limit the old log stays byte for byte, no temporary file
// is left and an alert says so. A link to the log file is written through,
// also to a file not made yet, and stays.
TEST_F(LogWnd, SaveReplacesTheLogWhole) {
    enum { FULL_DISK, SIZE_LIMIT, LINK, DANGLING };
    file_replace_startup(); // a write past the file-size limit fails, as in the program
    temp_dir dir;
    const std::string old_log(21000, 'o'), new_log(40000, 'n');
    for (int way : {FULL_DISK, SIZE_LIMIT, LINK, DANGLING}) {
        SCOPED_TRACE(way);
        const std::string folder = dir.file(way == FULL_DISK ? "full" : std::to_string(way));
        if (way == FULL_DISK ? mount_small_tmpfs(folder, "32k") != 0
                             : mkdir(folder.c_str(), 0755) != 0)
            continue; // no mount namespace here (needs CAP_SYS_ADMIN)
        const std::string path = folder + "/log.txt", real = folder + "/real.txt";
        if (way == LINK || way == DANGLING) {
            ASSERT_EQ(symlink("real.txt", path.c_str()), 0);
        }
        if (way != DANGLING)
            write_all(way == LINK ? real : path, old_log);
        const std::set<std::string> before = names_in(folder);
        global_prefs.set_string(PREF_LOG_FILE, path.c_str());
        lw->buffer->text(new_log.c_str());
        alerts.clear();
        {
            file_size_limit limit(way == SIZE_LIMIT ? 30000 : 0);
            pick("&File/&Save");
        }
        if (way == FULL_DISK || way == SIZE_LIMIT) {
            const std::string kept = read_all(path);
            EXPECT_TRUE(kept == old_log) << "the old log became " << kept.size() << " bytes";
            EXPECT_EQ(names_in(folder), before) << "no temporary file may stay";
            EXPECT_EQ(alerts, texts{"ERROR!\n\nThe log could not be saved to file: " + path + "."});
            EXPECT_EQ(text(), new_log);
        } else {
            EXPECT_TRUE(read_all(real) == new_log);
            EXPECT_EQ(names_in(folder), (std::set<std::string>{"log.txt", "real.txt"}));
            char back[16] = "";
            EXPECT_GT(readlink(path.c_str(), back, sizeof back - 1), 0) << "the link is gone";
            EXPECT_EQ(alerts, texts{});
            EXPECT_EQ(text(), new_log + "\n\nSaved log to file: " + path + ".\n\n");
        }
    }
}

// The saved-file note is the last line, and it is shown, as any other line.
TEST_F(LogWnd, SaveScrollsToItsNote) {
    std::string path = testing::TempDir() + "ftd-logwnd-note-" + std::to_string(getpid());
    global_prefs.set_string(PREF_LOG_FILE, path.c_str());
    lw->window->show();
    for (int i = 0; i < 100; i++)
        lw->message("line %d\n", i);
    pick("&File/&Save");
    lw->window->wait_for_expose();
    Fl::check();
    int x, y, end = lw->buffer->length();
    EXPECT_EQ(lw->display->insert_position(), end);
    EXPECT_TRUE(lw->display->position_to_xy(end - 3, &x, &y)) << "the note is out of sight";
    lw->window->hide();
    remove(path.c_str());
}

TEST_F(LogWnd, CopyPutsSelectionOnClipboard) {
    fl_open_display();
    Fl_Input target(0, 0, 10, 10);
    lw->buffer->text("abcdef");
    for (bool selected : {true, false}) {
        selected ? lw->buffer->select(1, 4) : lw->buffer->unselect();
        pick("&Edit/&Copy");
        target.value("");
        Fl::paste(target, 1);
        EXPECT_STREQ(target.value(), selected ? "bcd" : "");
    }
}

} // namespace
