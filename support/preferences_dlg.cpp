// The platform's preferences dialog.
#include "preferences_dlg.h"

#include "dialogs.h"
#include "log_wnd.h"
#include "paths.h"
#include "preferences.h"
#include "window_owner.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>

#include <cstring>

// The web address of the platform's stylesheet, shown for the "URL" mode.
static const char *const xsl_web_address = "http://www.example.org/tools/ORVIK/XML-support/SAT.xsl";

#define LEVEL_ITEM(text)                                                                           \
    { text, 0, 0, 0, 0, FL_NORMAL_LABEL, 0, 14, 0 }
#define END_ITEM                                                                                   \
    { 0, 0, 0, 0, 0, 0, 0, 0, 0 }

Fl_Menu_Item preferences_dlg::alert_level_menu[] = {LEVEL_ITEM("Error (least verbose)"),
                                                    LEVEL_ITEM("Warning"), LEVEL_ITEM("Info"),
                                                    LEVEL_ITEM("Debug (most verbose)"), END_ITEM};
Fl_Menu_Item preferences_dlg::log_level_menu[] = {LEVEL_ITEM("Error (least verbose)"),
                                                  LEVEL_ITEM("Warning"), LEVEL_ITEM("Info"),
                                                  LEVEL_ITEM("Debug (most verbose)"), END_ITEM};

preferences_dlg::preferences_dlg(preferences *p) : prefs(p) {}

// ------------------------------------------------------------ building

// A help panel of a tab, with a text buffer of its own. At size 12 every
// help text fits the panel line for line; wrapping at the panel's width
// keeps it whole where a wider font would not fit.
static Fl_Text_Display *make_help(const char *text) {
    Fl_Text_Display *help = new Fl_Text_Display(35, 65, 565, 75);
    help->box(FL_NO_BOX);
    help->color(FL_BACKGROUND_COLOR);
    help->wrap_mode(Fl_Text_Display::WRAP_AT_BOUNDS, 0);
    help->textsize(12);
    Fl_Text_Buffer *buffer = new Fl_Text_Buffer(0);
    buffer->text(text);
    help->buffer(buffer);
    return help;
}

static Fl_Check_Button *make_check(int x, int y, int w, const char *label, const char *tip) {
    Fl_Check_Button *b = new Fl_Check_Button(x, y, w, 25, label);
    b->down_box(FL_DOWN_BOX);
    b->tooltip(tip);
    return b;
}

// An input that holds at most what a string setting holds.
static Fl_Input *make_input(int x, int y, int w, const char *label, const char *tip) {
    Fl_Input *in = new Fl_Input(x, y, w, 25, label);
    in->tooltip(tip);
    in->maximum_size(PREF_STRING_SIZE - 1);
    return in;
}

static Fl_Button *make_choose(int x, int y, Fl_Callback *cb) {
    Fl_Button *b = new Fl_Button(x, y, 70, 25, "Choose...");
    b->callback(cb);
    return b;
}

static Fl_Choice *make_level_choice(int x, const char *label, const char *tip, Fl_Menu_Item *menu) {
    Fl_Choice *c = new Fl_Choice(x, 195, 180, 25, label);
    c->down_box(FL_BORDER_BOX);
    c->tooltip(tip);
    c->menu(menu);
    return c;
}

static Fl_Round_Button *make_radio(int y, const char *label, const char *tip, Fl_Callback *cb) {
    Fl_Round_Button *b = new Fl_Round_Button(43, y, 62, 25, label);
    b->type(FL_RADIO_BUTTON);
    b->down_box(FL_ROUND_DOWN_BOX);
    b->tooltip(tip);
    b->callback(cb);
    return b;
}

// A framed group of the "Save" tab, labelled above its left end.
static Fl_Group *make_frame(int y, int h, const char *label) {
    Fl_Group *g = new Fl_Group(35, y, 565, h, label);
    g->box(FL_ENGRAVED_BOX);
    g->align(Fl_Align(FL_ALIGN_TOP | FL_ALIGN_LEFT));
    return g;
}

Fl_Double_Window *preferences_dlg::make_window() {
    window = new Fl_Double_Window(630, 392, "ORVIK/Morvu-SA Preferences");
    window->callback(cb_window, this);
    make_children();
    window->set_modal();
    window->end();
    prefs->load();
    load_widgets();
    adjust_level_menus();
    return window;
}

void preferences_dlg::make_children() {
    (new Fl_Button(380, 361, 75, 25, "OK"))->callback(cb_OK);
    (new Fl_Button(465, 361, 75, 25, "Cancel"))->callback(cb_Cancel);
    (new Fl_Button(550, 361, 75, 25, "Apply"))->callback(cb_Apply);
    tabs = new Fl_Tabs(10, 10, 615, 330);
    make_general_tab();
    make_tools_tab();
    make_log_tab();
    make_save_tab();
    tabs->end();
    tabs->value(general_tab);
    Fl_Button *restore = new Fl_Button(10, 360, 125, 25, "Restore Defaults");
    restore->tooltip("Restore default settings for preferences.");
    restore->callback(cb_Restore_Defaults);
}

void preferences_dlg::make_general_tab() {
    general_tab = new Fl_Group(10, 35, 615, 305, "General");
    confirm_delete = make_check(
        35, 155, 250, "Confirm deletion of FM, SR, and AT",
        "Check this option to let the program ask for confirmation when deleting Failure "
        "Modes, Safety Requirements, and Analysis Tasks in the relevant browsers.");
    confirm_exit =
        make_check(35, 195, 155, "Confirm exit",
                   "Check this option to let the program ask for confirmation when quitting.");
    interactive_quit = make_check(
        35, 235, 235, "Interactive quit of Morvu session",
        "This option controls how to quit a Morvu session. If checked, the Morvu execution "
        "window stays open until the user types quit.If not checked, the Morvu session is "
        "automatically quitted by the system.Use it if you wish to check the detailed output "
        "provided by Morvu.");
    interactive_quit->deactivate();
    general_help = make_help(
        "   Some behaviours of the application can be customized in this panel, according to "
        "the \nuser preferences. Check the buttons relevant to the features you wish to "
        "activate.");
    general_tab->end();
}

void preferences_dlg::make_tools_tab() {
    Fl_Group *tab = new Fl_Group(10, 35, 615, 305, "External Tools");
    tab->hide();
    choose_editor = make_choose(531, 160, cb_choose_editor);
    choose_browser = make_choose(531, 200, cb_choose_browser);
    choose_spreadsheet = make_choose(531, 240, cb_choose_spreadsheet);
    choose_gnuplot = make_choose(531, 280, cb_choose_gnuplot);
    editor_input = make_input(
        123, 160, 398, "Text Editor:", "The default program for editing/viewing text files.");
    browser_input = make_input(123, 200, 398, "Browser:", "The default program for browsing.");
    spreadsheet_input =
        make_input(123, 240, 398, "Spreadsheet:", "The default program for viewing spreadsheets.");
    gnuplot_input =
        make_input(123, 280, 398, "Gnuplot:", "The default program for plotting traces.");
    tools_help = make_help(
        "   The default external tools used by ORVIK/Morvu-SA can be customized in this "
        "panel, \naccording to the user preferences. Supply valid executable program names, "
        "possibly \nincluding path.");
    tab->end();
}

void preferences_dlg::make_log_tab() {
    Fl_Group *tab = new Fl_Group(10, 35, 615, 305, "Log");
    tab->hide();
    log_file_input =
        make_input(110, 254, 400, "Log File:", "The file into which current log will be stored.");
    choose_log_file = make_choose(520, 254, cb_choose_log_file);
    log_help = make_help(
        "   The options relevant to the log functionality of ORVIK can be customized here.");
    alert_level_choice = make_level_choice(
        410, "Alert Box:",
        "The minimum level at which the user is notified about new messages in the log "
        "window.",
        alert_level_menu);
    log_level_choice = make_level_choice(
        110, "Log Window:", "The verbosity used for writing messages into the log window.",
        log_level_menu);
    tab->end();
}

void preferences_dlg::make_save_tab() {
    Fl_Group *tab = new Fl_Group(10, 35, 615, 305, "Save");
    tab->hide();
    save_help = make_help("   The options relevant to the saving of a SAT can be customized here.");
    make_xsl_group();
    Fl_Group *paths =
        make_frame(145, 45, "References to filenames and dirnames (SM, ESM, Results Directory):");
    path_absolute = make_check(
        43, 155, 212, "Store pathnames as absolute",
        "This option controls how pathnames and filenames are saved within the SAT. The "
        "default is to consider the paths relative with respect to the location of the SAT. "
        "Check this option if you rather wish absolute paths to be saved instead.");
    paths->end();
    tab->end();
}

void preferences_dlg::make_xsl_group() {
    xsl_group = make_frame(220, 110, "Reference to SAT stylesheet:");
    xsl_none = make_radio(231, "None",
                          "No reference to a stylesheet for the SAT is saved within the XML file.",
                          cb_None);
    xsl_url = make_radio(
        262, "URL",
        "The reference to the stylesheet for the XML file containing a  SAT is saved as a "
        "link to a web URL.",
        cb_URL);
    xsl_local = make_radio(
        294, "Local",
        "The reference to the stylesheet for the XML file containing a SAT is saved as the "
        "name of a local XSL file.",
        cb_Local);
    choose_xsl = make_choose(519, 294, cb_choose_xsl);
    choose_xsl->tooltip("Choose a different XSL file that represents a stylesheet for the "
                        "XML of verios of a SAT.");
    xsl_local_input = new Fl_Input(111, 294, 398, 25);
    xsl_local_input->maximum_size(PREF_STRING_SIZE - 1);
    xsl_url_output = new Fl_Output(111, 261, 398, 25);
    xsl_url_output->color(48);
    xsl_url_output->value(xsl_web_address);
    xsl_group->end();
}

// The user may choose levels 0 to 2 only. The tables are shared by every
// dialog, so doing this again changes nothing.
void preferences_dlg::adjust_level_menus() {
    log_level_menu[LOG_DEBUG].hide();
    alert_level_menu[LOG_DEBUG].hide();
    log_level_menu[LOG_INFO].label("Info (most verbose)");
    alert_level_menu[LOG_INFO].label("Info (most verbose)");
}

// ------------------------------------------------------- record and widgets

void preferences_dlg::load_widgets() {
    show_record(prefs);
}

void preferences_dlg::show_record(preferences *r) {
    browser_input->value(r->get_string(PREF_BROWSER_PATH));
    spreadsheet_input->value(r->get_string(PREF_SPREADSHEET_PATH));
    editor_input->value(r->get_string(PREF_TEXT_EDITOR_PATH));
    gnuplot_input->value(r->get_string(PREF_GNUPLOT_PATH));
    interactive_quit->value(r->get_int(PREF_MORVU_WINDOW) != 0);
    confirm_delete->value(r->get_int(PREF_CONFIRM_SR_FM_DEL) != 0);
    confirm_exit->value(r->get_int(PREF_CONFIRM_EXIT) != 0);
    log_level_choice->value(r->get_int(PREF_LOG_LEVEL));
    alert_level_choice->value(r->get_int(PREF_ALERT_LEVEL));
    log_file_input->value(r->get_string(PREF_LOG_FILE));
    path_absolute->value(r->get_int(PREF_PATH_SAVE) != 0);
    xsl_local_input->value(r->get_string(PREF_SAT_XSL_LOCAL_FILE));
    set_xsl_mode(r->get_int(PREF_SAT_XSL_MODE));
}

static int xsl_mode_of(const Fl_Round_Button *none, const Fl_Round_Button *url) {
    if (none->value())
        return 0;
    return url->value() ? 1 : 2;
}

void preferences_dlg::store_widgets() {
    prefs->set_string(PREF_BROWSER_PATH, browser_input->value());
    prefs->set_string(PREF_SPREADSHEET_PATH, spreadsheet_input->value());
    prefs->set_string(PREF_TEXT_EDITOR_PATH, editor_input->value());
    prefs->set_string(PREF_GNUPLOT_PATH, gnuplot_input->value());
    prefs->set_int(PREF_MORVU_WINDOW, interactive_quit->value() ? 1 : 0);
    prefs->set_int(PREF_CONFIRM_SR_FM_DEL, confirm_delete->value() ? 1 : 0);
    prefs->set_int(PREF_CONFIRM_EXIT, confirm_exit->value() ? 1 : 0);
    prefs->set_int(PREF_LOG_LEVEL, log_level_choice->value());
    prefs->set_int(PREF_ALERT_LEVEL, alert_level_choice->value());
    prefs->set_string(PREF_LOG_FILE, log_file_input->value());
    prefs->set_int(PREF_PATH_SAVE, path_absolute->value() ? 1 : 0);
    prefs->set_int(PREF_SAT_XSL_MODE, xsl_mode_of(xsl_none, xsl_url));
    prefs->set_string(PREF_SAT_XSL_LOCAL_FILE, xsl_local_input->value());
}

static void set_active(Fl_Widget *w, bool on) {
    if (on)
        w->activate();
    else
        w->deactivate();
}

void preferences_dlg::set_xsl_mode(int mode) {
    Fl_Round_Button *radios[] = {xsl_none, xsl_url, xsl_local};
    if (mode >= 0 && mode <= 2) {
        radios[mode]->setonly();
        set_active(xsl_url_output, mode == 1);
        set_active(xsl_local_input, mode == 2);
        set_active(choose_xsl, mode == 2);
    }
    xsl_group->redraw();
}

// ----------------------------------------------------------------- actions

void preferences_dlg::on_close() {
    window->hide();
}

void preferences_dlg::on_ok() {
    on_apply();
    window->hide();
}

void preferences_dlg::on_apply() {
    store_widgets();
    if (prefs->save() != 0)
        dlg_alert("%s", "The preferences could not be saved.");
    if (!global_log)
        return;
    global_log->set_level(prefs->get_int(PREF_LOG_LEVEL));
    log_wnd *lw = dynamic_cast<log_wnd *>(global_log);
    if (lw)
        lw->set_alert_level(prefs->get_int(PREF_ALERT_LEVEL));
}

// The defaults come from the record's own table, as loading an empty store
// gives them.
void preferences_dlg::restore_defaults() {
    preferences defaults;
    defaults.set_defaults();
    show_record(&defaults);
}

void preferences_dlg::choose_file(Fl_Input *input, const char *pattern) {
    const char *chosen = dlg_file_chooser("", pattern, path_dirname(input->value()), 0);
    if (!chosen)
        return;
    if (strlen(chosen) >= PREF_STRING_SIZE) {
        dlg_alert("The chosen file name is longer than %d characters.\n"
                  "The setting is left unchanged.",
                  PREF_STRING_SIZE - 1);
        return;
    }
    input->value(chosen);
}

// --------------------------------------------------------------- callbacks

// The dialog of its window or of any widget in it.
static preferences_dlg *owner_of(Fl_Widget *w) {
    return window_owner<preferences_dlg>(w);
}

void preferences_dlg::cb_window(Fl_Widget *w, void *) {
    owner_of(w)->cb_window_i();
}
void preferences_dlg::cb_window_i() {
    on_close();
}

void preferences_dlg::cb_OK(Fl_Widget *w, void *) {
    owner_of(w)->cb_OK_i();
}
void preferences_dlg::cb_OK_i() {
    on_ok();
}

void preferences_dlg::cb_Cancel(Fl_Widget *w, void *) {
    owner_of(w)->cb_Cancel_i();
}
void preferences_dlg::cb_Cancel_i() {
    on_close();
}

void preferences_dlg::cb_Apply(Fl_Widget *w, void *) {
    owner_of(w)->cb_Apply_i();
}
void preferences_dlg::cb_Apply_i() {
    on_apply();
}

void preferences_dlg::cb_choose_editor(Fl_Widget *w, void *) {
    owner_of(w)->cb_choose_editor_i();
}
void preferences_dlg::cb_choose_editor_i() {
    choose_file(editor_input, "*");
}

void preferences_dlg::cb_choose_browser(Fl_Widget *w, void *) {
    owner_of(w)->cb_choose_browser_i();
}
void preferences_dlg::cb_choose_browser_i() {
    choose_file(browser_input, "*");
}

void preferences_dlg::cb_choose_spreadsheet(Fl_Widget *w, void *) {
    owner_of(w)->cb_choose_spreadsheet_i();
}
void preferences_dlg::cb_choose_spreadsheet_i() {
    choose_file(spreadsheet_input, "*");
}

void preferences_dlg::cb_choose_gnuplot(Fl_Widget *w, void *) {
    owner_of(w)->cb_choose_gnuplot_i();
}
void preferences_dlg::cb_choose_gnuplot_i() {
    choose_file(gnuplot_input, "*");
}

void preferences_dlg::cb_choose_log_file(Fl_Widget *w, void *) {
    owner_of(w)->cb_choose_log_file_i();
}
void preferences_dlg::cb_choose_log_file_i() {
    choose_file(log_file_input, "*");
}

void preferences_dlg::cb_None(Fl_Widget *w, void *) {
    owner_of(w)->cb_None_i();
}
void preferences_dlg::cb_None_i() {
    set_xsl_mode(0);
}

void preferences_dlg::cb_URL(Fl_Widget *w, void *) {
    owner_of(w)->cb_URL_i();
}
void preferences_dlg::cb_URL_i() {
    set_xsl_mode(1);
}

void preferences_dlg::cb_Local(Fl_Widget *w, void *) {
    owner_of(w)->cb_Local_i();
}
void preferences_dlg::cb_Local_i() {
    set_xsl_mode(2);
}

void preferences_dlg::cb_choose_xsl(Fl_Widget *w, void *) {
    owner_of(w)->cb_choose_xsl_i();
}
void preferences_dlg::cb_choose_xsl_i() {
    choose_file(xsl_local_input, "*.xsl");
}

void preferences_dlg::cb_Restore_Defaults(Fl_Widget *w, void *) {
    owner_of(w)->cb_Restore_Defaults_i();
}
void preferences_dlg::cb_Restore_Defaults_i() {
    restore_defaults();
}
