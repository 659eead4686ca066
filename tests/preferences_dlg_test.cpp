// The preferences dialog, with real widgets and the dialog seam, against a
// fresh temporary HOME.
#include "app_fixture.h"

#include "log_wnd.h"
#include "preferences.h"
#include "preferences_dlg.h"

#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Preferences.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Tabs.H>

namespace {

struct PrefsDlg : SeamTest {
    temp_home home;
    preferences record;
    preferences_dlg *dlg = new preferences_dlg(&record); // never freed, as in the program
    std::vector<std::string> starts;                     // the chooser's start names
    const char *answer = nullptr;                        // the chooser's answer
    void SetUp() override {
        SeamTest::SetUp();
        responder.file_chooser = [this](const char *, const char *, const char *start, int) {
            starts.push_back(start);
            return answer;
        };
        global_log = nullptr;
    }
    void press(const char *button) { labelled(dlg->window, button)->do_callback(); }
    void store_int(const char *group, const char *key, int value) {
        Fl_Preferences root(Fl_Preferences::USER, "Brenmoor", "ORVIK_Morvu-SA/preferences");
        Fl_Preferences(root, group).set(key, value);
    }
};

TEST_F(PrefsDlg, ShowsStoredValuesAndApplies) {
    store_int("Log", "LogLevel", 3);
    store_int("Log", "AlertLevel", -1);
    store_int("General", "ConfirmExit", 5);
    dlg->make_window();
    EXPECT_STREQ(dlg->log_level_choice->text(), "Info (most verbose)");
    EXPECT_EQ(dlg->alert_level_choice->value(), -1);
    EXPECT_FALSE(preferences_dlg::log_level_menu[3].visible());
    EXPECT_FALSE(preferences_dlg::alert_level_menu[3].visible());
    EXPECT_EQ(dlg->confirm_exit->value(), 1);
    // Apply with no logger: the store alone.
    dlg->browser_input->value("firefox");
    dlg->log_level_choice->value(0);
    dlg->alert_level_choice->value(2);
    dlg->xsl_local->setonly();
    press("Apply");
    preferences back;
    back.load();
    EXPECT_STREQ(back.get_string(PREF_BROWSER_PATH), "firefox");
    EXPECT_EQ(back.get_int(PREF_LOG_LEVEL), 0);
    EXPECT_EQ(back.get_int(PREF_ALERT_LEVEL), 2);
    EXPECT_EQ(back.get_int(PREF_SAT_XSL_MODE), 2);
    log_wnd *lw = new log_wnd(); // never freed, as in the program
    global_log = lw;
    dlg->window->show();
    press("OK");
    EXPECT_EQ(lw->level, 0);
    EXPECT_EQ(lw->alert_level, 2);
    EXPECT_FALSE(dlg->window->shown());
    EXPECT_TRUE(alerts.empty());
    // A store that cannot be written: Apply says so, the record keeps the values.
    std::system(("rm -rf '" + home.path + "/.fltk' && touch '" + home.path + "/.fltk'").c_str());
    dlg->browser_input->value("lynx");
    press("Apply");
    EXPECT_EQ(alerts, std::vector<std::string>{"The preferences could not be saved."});
    EXPECT_STREQ(record.get_string(PREF_BROWSER_PATH), "lynx");
}

TEST_F(PrefsDlg, RestoreDefaultsThenCancelChangesNothing) {
    dlg->make_window();
    dlg->browser_input->value("firefox");
    dlg->confirm_exit->value(1);
    press("Apply");
    std::string before = read_all(home.store());
    dlg->window->show();
    press("Restore Defaults");
    press("Cancel");
    EXPECT_FALSE(dlg->window->shown());
    EXPECT_EQ(read_all(home.store()), before);
    EXPECT_STREQ(record.get_string(PREF_BROWSER_PATH), "firefox");
}

// Restore Defaults shows the default of every setting, as loading an empty
// store gives them; Apply would store exactly those.
TEST_F(PrefsDlg, RestoreDefaultsShowsEveryDefault) {
    setenv("ORVIK_INST_DIR", "/opt/x", 1);
    get_install_dir(install_dir);
    unsetenv("ORVIK_INST_DIR");
    preferences defaults;
    ASSERT_EQ(defaults.load(), 0);
    dlg->make_window();
    for (int i : {0, 1, 2, 3, 10, 12})
        record.set_string(i, "other");
    for (int i : {4, 5, 6, 7, 8, 9, 11})
        record.set_int(i, i % 2 ? 1 : 2);
    dlg->load_widgets();
    press("Restore Defaults");
    dlg->store_widgets();
    for (int i : {0, 1, 2, 3, 10, 12})
        EXPECT_STREQ(record.get_string(i), defaults.get_string(i)) << i;
    for (int i : {4, 5, 6, 7, 8, 9, 11})
        EXPECT_EQ(record.get_int(i), defaults.get_int(i)) << i;
}

TEST_F(PrefsDlg, StylesheetModeSetsRadiosAndActiveStates) {
    dlg->make_window();
    // The radio set; active url output, local input and chooser.
    struct Row {
        int mode;
        std::string radio;
        int url_active, local_active;
    } rows[] = {{0, "None", 0, 0}, {1, "URL", 1, 0}, {2, "Local", 0, 1}, {5, "Local", 0, 1}};
    for (const Row &r : rows) {
        dlg->set_xsl_mode(r.mode);
        for (Fl_Round_Button *b : {dlg->xsl_none, dlg->xsl_url, dlg->xsl_local})
            EXPECT_EQ(b->value(), r.radio == b->label()) << r.mode << " " << b->label();
        EXPECT_EQ(dlg->xsl_url_output->active(), r.url_active) << r.mode;
        EXPECT_EQ(dlg->xsl_local_input->active(), r.local_active) << r.mode;
        EXPECT_EQ(dlg->choose_xsl->active(), r.local_active) << r.mode;
    }
    dlg->xsl_url->do_callback(); // a click on "URL"
    EXPECT_EQ(dlg->xsl_url_output->active(), 1);
}

TEST_F(PrefsDlg, ChooserStartsInFieldDirectoryAndRefusesLongNames) {
    dlg->make_window();
    dlg->editor_input->value("/usr/bin/emacs");
    answer = "/opt/bin/vi";
    dlg->choose_editor->do_callback();
    EXPECT_EQ(starts.back(), "/usr/bin/");
    EXPECT_STREQ(dlg->editor_input->value(), "/opt/bin/vi");
    answer = nullptr; // cancelled
    dlg->choose_gnuplot->do_callback();
    EXPECT_EQ(starts.back(), "");
    EXPECT_STREQ(dlg->gnuplot_input->value(), "gnuplot");
    static std::string too_long = "/" + std::string(5000, 'l');
    answer = too_long.c_str();
    dlg->choose_xsl->do_callback();
    EXPECT_STREQ(dlg->xsl_local_input->value(), "/XML-support/SAT.xsl");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("The chosen file name is longer than 4095", 0), 0u);
}

// Each tab's help text shows whole in its 565 x 75 panel: no scrollbar, and
// the last character inside the panel.
TEST_F(PrefsDlg, HelpTextsShowWhole) {
    dlg->make_window();
    dlg->window->show();
    for (Fl_Text_Display *help :
         {dlg->general_help, dlg->tools_help, dlg->log_help, dlg->save_help}) {
        dlg->tabs->value(help->parent());
        Fl::check(); // lays the text out
        std::string text = text_of(help->buffer());
        SCOPED_TRACE(text);
        EXPECT_EQ(help->w(), 565);
        EXPECT_EQ(help->h(), 75);
        for (int i = 0; i < help->children(); i++)
            EXPECT_FALSE(help->child(i)->visible()) << "a scrollbar";
        int x = 0, y = 0;
        ASSERT_TRUE(help->position_to_xy(text.size() - 1, &x, &y));
        fl_font(help->textfont(), help->textsize());
        EXPECT_LE(x + fl_width(text.back()), help->x() + help->w());
        EXPECT_LE(y + fl_height(), help->y() + help->h());
    }
    dlg->window->hide();
}

} // namespace
