// The preferences dialog, with real widgets and the dialog seam, against a
// fresh temporary HOME. GoogleTest goes first: X11 headers define None.
#include <gtest/gtest.h>

#include "dialogs.h"
#include "log_wnd.h"
#include "paths.h"
#include "preferences.h"
#include "preferences_dlg.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Preferences.H>
#include <FL/Fl_Round_Button.H>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> alerts, chooser_starts;
const char *chooser_answer = nullptr;
dlg_responder responder;

struct PrefsDlg : ::testing::Test {
    std::string home, store;
    preferences record;
    preferences_dlg *dlg = nullptr;
    void SetUp() override {
        char tmpl[] = "/tmp/ftd-prefsdlg-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = tmpl;
        setenv("HOME", tmpl, 1);
        store = home + "/.fltk/Brenmoor/ORVIK_Morvu-SA/preferences.prefs";
        install_dir[0] = '\0';
        alerts.clear();
        chooser_starts.clear();
        responder.alert = [](const std::string &t) { alerts.push_back(t); };
        responder.file_chooser = [](const char *, const char *, const char *fname, int) {
            chooser_starts.push_back(fname);
            return chooser_answer;
        };
        dlg_set_responder(&responder);
        global_log = nullptr;
    }
    void TearDown() override {
        dlg_set_responder(nullptr);
        global_log = nullptr;
        std::system(("rm -rf '" + home + "'").c_str());
    }
    void open() {
        dlg = new preferences_dlg(&record); // never freed, as in the program
        dlg->make_window();
    }
    // The buttons OK, Cancel, Apply and Restore Defaults by position.
    void press(int child) { dlg->window->child(child)->do_callback(); }
    void store_int(const char *group, const char *key, int value) {
        Fl_Preferences root(Fl_Preferences::USER, "Brenmoor", "ORVIK_Morvu-SA/preferences");
        Fl_Preferences(root, group).set(key, value);
    }
    std::string store_bytes() {
        std::ifstream in(store);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
};

TEST_F(PrefsDlg, ShowsStoredValuesAndHidesDebug) {
    store_int("Log", "LogLevel", 3);
    store_int("Log", "AlertLevel", -1);
    store_int("General", "ConfirmExit", 5);
    open();
    EXPECT_EQ(dlg->log_level_choice->value(), 2);
    EXPECT_STREQ(dlg->log_level_choice->text(), "Info (most verbose)");
    EXPECT_EQ(dlg->alert_level_choice->value(), -1);
    EXPECT_FALSE(preferences_dlg::log_level_menu[3].visible());
    EXPECT_FALSE(preferences_dlg::alert_level_menu[3].visible());
    EXPECT_EQ(dlg->confirm_exit->value(), 1);
    EXPECT_STREQ(dlg->browser_input->value(), "netscape");
    EXPECT_STREQ(dlg->xsl_url_output->value(),
                 "http://www.example.org/tools/ORVIK/XML-support/SAT.xsl");
}

TEST_F(PrefsDlg, ApplyWritesStoreAndSetsLoggerLevels) {
    open();
    dlg->browser_input->value("firefox");
    dlg->log_level_choice->value(0);
    dlg->alert_level_choice->value(2);
    dlg->xsl_local->setonly();
    press(2); // Apply with no logger: the store alone
    preferences back;
    back.load();
    EXPECT_STREQ(back.get_string(PREF_BROWSER_PATH), "firefox");
    EXPECT_EQ(back.get_int(PREF_LOG_LEVEL), 0);
    EXPECT_EQ(back.get_int(PREF_ALERT_LEVEL), 2);
    EXPECT_EQ(back.get_int(PREF_SAT_XSL_MODE), 2);

    log_wnd *lw = new log_wnd();
    global_log = lw;
    dlg->window->show();
    press(0); // OK
    EXPECT_EQ(lw->level, 0);
    EXPECT_EQ(lw->alert_level, 2);
    EXPECT_FALSE(dlg->window->shown());
}

TEST_F(PrefsDlg, RestoreDefaultsThenCancelChangesNothing) {
    store_int("ExternalTools", "BrowserPath", 0); // any store file
    open();
    dlg->browser_input->value("firefox");
    press(2);
    std::string before = store_bytes();
    dlg->confirm_exit->value(1);
    dlg->window->show();
    press(4); // Restore Defaults
    EXPECT_STREQ(dlg->browser_input->value(), "netscape");
    EXPECT_EQ(dlg->confirm_exit->value(), 0);
    EXPECT_STREQ(dlg->log_file_input->value(), "/ORVIK.log");
    EXPECT_EQ(dlg->log_level_choice->value(), 1);
    press(1); // Cancel
    EXPECT_FALSE(dlg->window->shown());
    EXPECT_EQ(store_bytes(), before);
    EXPECT_STREQ(record.get_string(PREF_BROWSER_PATH), "firefox");
}

TEST_F(PrefsDlg, StylesheetModeSetsRadiosAndActiveStates) {
    open();
    struct Row {
        int mode, none, url, local, url_active, local_active;
    } rows[] = {{0, 1, 0, 0, 0, 0}, {1, 0, 1, 0, 1, 0}, {2, 0, 0, 1, 0, 1}, {5, 0, 0, 1, 0, 1}};
    for (const Row &r : rows) {
        dlg->set_xsl_mode(r.mode);
        EXPECT_EQ(dlg->xsl_none->value(), r.none) << r.mode;
        EXPECT_EQ(dlg->xsl_url->value(), r.url) << r.mode;
        EXPECT_EQ(dlg->xsl_local->value(), r.local) << r.mode;
        EXPECT_EQ(dlg->xsl_url_output->active() != 0, r.url_active != 0) << r.mode;
        EXPECT_EQ(dlg->xsl_local_input->active() != 0, r.local_active != 0) << r.mode;
        EXPECT_EQ(dlg->choose_xsl->active() != 0, r.local_active != 0) << r.mode;
    }
    dlg->xsl_url->setonly();
    dlg->xsl_url->do_callback(); // a click: FLTK sets it, the callback shows the mode
    EXPECT_TRUE(dlg->xsl_url_output->active());
    EXPECT_FALSE(dlg->choose_xsl->active());
}

TEST_F(PrefsDlg, ChooserStartsInFieldDirectoryAndRefusesLongNames) {
    open();
    dlg->editor_input->value("/usr/bin/emacs");
    chooser_answer = "/opt/bin/vi";
    dlg->choose_editor->do_callback();
    EXPECT_EQ(chooser_starts.back(), "/usr/bin/");
    EXPECT_STREQ(dlg->editor_input->value(), "/opt/bin/vi");

    dlg->gnuplot_input->value("gnuplot");
    chooser_answer = nullptr; // cancelled
    dlg->choose_gnuplot->do_callback();
    EXPECT_EQ(chooser_starts.back(), "");
    EXPECT_STREQ(dlg->gnuplot_input->value(), "gnuplot");

    static std::string too_long = "/" + std::string(5000, 'l');
    chooser_answer = too_long.c_str();
    dlg->choose_xsl->do_callback();
    EXPECT_STREQ(dlg->xsl_local_input->value(), "/XML-support/SAT.xsl");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("The chosen file name is longer than 4095", 0), 0u);
}

} // namespace
