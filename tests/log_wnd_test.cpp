// The log window, with real widgets under an X server and the dialog seam.
// GoogleTest goes first: the X11 headers define None and Bool.
#include <gtest/gtest.h>

#include "dialogs.h"
#include "log_wnd.h"
#include "preferences.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/x.H>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> alerts;
dlg_responder responder;

struct LogWnd : ::testing::Test {
    log_wnd *lw = nullptr;
    void SetUp() override {
        alerts.clear();
        responder.alert = [](const std::string &t) { alerts.push_back(t); };
        dlg_set_responder(&responder);
        lw = new log_wnd(); // never freed, as in the program
    }
    void TearDown() override { dlg_set_responder(nullptr); }
    std::string text() {
        char *t = lw->buffer->text();
        std::string s = t;
        free(t);
        return s;
    }
    void pick(const char *path) {
        Fl_Menu_Bar *bar = static_cast<Fl_Menu_Bar *>(lw->log_window->child(1));
        const Fl_Menu_Item *item = bar->find_item(path);
        ASSERT_NE(item, nullptr) << path;
        bar->picked(item);
    }
};

TEST_F(LogWnd, LevelAndAlertFiltering) {
    struct Row {
        int level, alert_level, enabled, msg;
        const char *appended, *alert;
    } rows[] = {
        {1, 1, 1, LOG_ERROR, "ERROR. 50% off\n", "ERROR!\n\n50% off"},
        {1, 1, 1, LOG_INFO, "", nullptr},
        {3, 0, 1, LOG_DEBUG, "DEBUG. 50% off\n", nullptr},
        {3, 0, 1, LOG_ERROR, "ERROR. 50% off\n", "ERROR!\n\n50% off"},
        {0, 3, 1, LOG_WARNING, "", nullptr},
        {3, 3, 1, LOG_WARNING, "WARNING. 50% off\n", "WARNING!\n\n50% off"},
        {3, 3, 0, LOG_INFO, "INFO. 50% off\n", nullptr},
        {3, 3, 1, 7, "", nullptr},
        {3, 3, 1, -1, "", nullptr},
    };
    EXPECT_EQ(text(), "\nStarting to log.\n\n");
    for (const Row &r : rows) {
        lw->clear();
        alerts.clear();
        std::string before = text();
        lw->set_level(r.level);
        lw->set_alert_level(r.alert_level);
        r.enabled ? lw->enable_alert() : lw->disable_alert();
        lw->log(r.msg, "%s", "50% off");
        EXPECT_EQ(text(), before + r.appended) << r.msg;
        EXPECT_EQ(alerts.size(), r.alert ? 1u : 0u) << r.msg;
        if (r.alert && !alerts.empty()) {
            EXPECT_EQ(alerts[0], r.alert);
        }
        EXPECT_EQ(lw->display->insert_position(), lw->buffer->length());
    }
    std::string big(5000, 'b');
    lw->clear();
    lw->message("%s", big.c_str());
    EXPECT_EQ(text().size(), strlen("\nLog cleared.\nStarting to log from scratch.\n\n") + 2047);
}

TEST_F(LogWnd, StatusReport) {
    global_prefs.set_int(PREF_LOG_LEVEL, 1);
    global_prefs.set_int(PREF_ALERT_LEVEL, 0);
    global_prefs.set_string(PREF_LOG_FILE, "/tmp/ORVIK.log");
    lw->clear();
    pick("&Edit/S&tatus");
    std::string cleared = "\nLog cleared.\nStarting to log from scratch.\n\n";
    EXPECT_EQ(text(), cleared + "\nLog Status:\n  Log Level:       WARNING\n"
                                "  Alert Box:       enabled\n  Alert Box Level: ERROR\n"
                                "  Log File:        /tmp/ORVIK.log\n\n");
    lw->clear();
    lw->disable_alert();
    global_prefs.set_int(PREF_LOG_LEVEL, 7);
    lw->status();
    EXPECT_EQ(text(), cleared + "\nLog Status:\n  Log Level:       UNKNOWN\n"
                                "  Alert Box:       disabled\n  Log File:        /tmp/ORVIK.log\n\n");
}

TEST_F(LogWnd, ClearThenSaveAndHide) {
    char tmpl[] = "/tmp/ftd-logwnd-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string path = std::string(tmpl) + "/saved.log";
    global_prefs.set_string(PREF_LOG_FILE, path.c_str());
    lw->message("something\n");
    pick("&Window/&Clear");
    pick("&File/&Save");
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string cleared = "\nLog cleared.\nStarting to log from scratch.\n\n";
    EXPECT_EQ(ss.str(), cleared);
    EXPECT_EQ(text(), cleared + "\n\nSaved log to file: " + path + ".\n\n");
    global_prefs.set_string(PREF_LOG_FILE, "/nonexistent-dir/x.log");
    pick("&File/&Save"); // a failed save adds nothing
    EXPECT_EQ(text(), cleared + "\n\nSaved log to file: " + path + ".\n\n");
    std::system((std::string("rm -rf ") + tmpl).c_str());

    lw->window->show();
    lw->window->do_callback(); // the window manager's close button
    EXPECT_FALSE(lw->window->shown());
}

// Keeps the text of the last paste it receives.
struct PasteTarget : Fl_Widget {
    std::string got = "unset";
    PasteTarget() : Fl_Widget(0, 0, 10, 10) {}
    void draw() override {}
    int handle(int event) override {
        if (event != FL_PASTE)
            return 0;
        got.assign(Fl::event_text(), Fl::event_length());
        return 1;
    }
};

TEST_F(LogWnd, CopyPutsSelectionOnClipboard) {
    fl_open_display();
    PasteTarget target;
    lw->buffer->text("abcdef");
    lw->buffer->select(1, 4);
    pick("&Edit/&Copy");
    Fl::paste(target, 1);
    EXPECT_EQ(target.got, "bcd");
    lw->buffer->unselect();
    pick("&Edit/&Copy");
    Fl::paste(target, 1);
    EXPECT_EQ(target.got, "");
}

} // namespace
