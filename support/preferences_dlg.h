// The platform's preferences dialog: a modal window with four tabs
// ("General", "External Tools", "Log", "Save") that edits a preference
// record, and the buttons OK, Cancel, Apply and Restore Defaults. Only Apply
// and OK change the record and the store. The object and its window are
// never destroyed; the widgets belong to the window.
#ifndef FTD_PREFERENCES_DLG_H
#define FTD_PREFERENCES_DLG_H

class Fl_Button;
class Fl_Check_Button;
class Fl_Choice;
class Fl_Double_Window;
class Fl_Group;
class Fl_Input;
class Fl_Menu_Item;
class Fl_Output;
class Fl_Round_Button;
class Fl_Tabs;
class Fl_Text_Display;
class Fl_Widget;
class preferences;

class preferences_dlg {
  public:
    preferences *prefs; // the record edited, not owned
    Fl_Double_Window *window;
    Fl_Tabs *tabs;
    Fl_Group *general_tab;
    Fl_Check_Button *confirm_delete;
    Fl_Check_Button *confirm_exit;
    Fl_Check_Button *interactive_quit;
    Fl_Text_Display *general_help;
    Fl_Button *choose_editor;
    Fl_Button *choose_browser;
    Fl_Button *choose_spreadsheet;
    Fl_Button *choose_gnuplot;
    Fl_Input *editor_input;
    Fl_Input *browser_input;
    Fl_Input *spreadsheet_input;
    Fl_Input *gnuplot_input;
    Fl_Text_Display *tools_help;
    Fl_Input *log_file_input;
    Fl_Button *choose_log_file;
    Fl_Text_Display *log_help;
    Fl_Choice *alert_level_choice;
    Fl_Choice *log_level_choice;
    Fl_Text_Display *save_help;
    Fl_Group *xsl_group;
    Fl_Round_Button *xsl_none;
    Fl_Round_Button *xsl_url;
    Fl_Round_Button *xsl_local;
    Fl_Button *choose_xsl;
    Fl_Input *xsl_local_input;
    Fl_Output *xsl_url_output;
    Fl_Check_Button *path_absolute;

    // Level menus of "Alert Box:" and "Log Window:"; item i is log level i.
    // make_window hides the debug item and marks "Info" as most verbose.
    static Fl_Menu_Item alert_level_menu[];
    static Fl_Menu_Item log_level_menu[];

    // Stores the record pointer; the widgets exist after make_window.
    explicit preferences_dlg(preferences *prefs);

    // Builds a new modal window, reloads the record from the store and shows
    // it in the widgets. Returns the window, not shown. Cannot fail.
    Fl_Double_Window *make_window();

    void on_close(); // hides the window
    void on_ok();    // on_apply, then hides the window
    // Widgets to record, record to store, then the global logger's level
    // (and alert level for a log window); no logger: only the store.
    void on_apply();
    void restore_defaults(); // default of every setting into the widgets
    // Shows stylesheet mode 0 (none), 1 (URL) or 2 (local file); any other
    // mode sets no radio button and changes no active state.
    void set_xsl_mode(int mode);
    void load_widgets();  // record to widgets
    void store_widgets(); // widgets to record

  private:
    void make_children();
    void make_general_tab();
    void make_tools_tab();
    void make_log_tab();
    void make_save_tab();
    void make_xsl_group();
    void adjust_level_menus();
    // Shows record r in the widgets, in the order of load_widgets.
    void show_record(preferences *r);
    // Runs the file chooser from the directory of input's text; a chosen
    // name replaces the text, one too long for a setting is refused with an
    // alert, a cancelled chooser changes nothing.
    void choose_file(Fl_Input *input, const char *pattern);

    static void cb_window(Fl_Widget *w, void *);
    void cb_window_i();
    static void cb_OK(Fl_Widget *w, void *);
    void cb_OK_i();
    static void cb_Cancel(Fl_Widget *w, void *);
    void cb_Cancel_i();
    static void cb_Apply(Fl_Widget *w, void *);
    void cb_Apply_i();
    static void cb_choose_editor(Fl_Widget *w, void *);
    void cb_choose_editor_i();
    static void cb_choose_browser(Fl_Widget *w, void *);
    void cb_choose_browser_i();
    static void cb_choose_spreadsheet(Fl_Widget *w, void *);
    void cb_choose_spreadsheet_i();
    static void cb_choose_gnuplot(Fl_Widget *w, void *);
    void cb_choose_gnuplot_i();
    static void cb_choose_log_file(Fl_Widget *w, void *);
    void cb_choose_log_file_i();
    static void cb_None(Fl_Widget *w, void *);
    void cb_None_i();
    static void cb_URL(Fl_Widget *w, void *);
    void cb_URL_i();
    static void cb_Local(Fl_Widget *w, void *);
    void cb_Local_i();
    static void cb_choose_xsl(Fl_Widget *w, void *);
    void cb_choose_xsl_i();
    static void cb_Restore_Defaults(Fl_Widget *w, void *);
    void cb_Restore_Defaults_i();
};

#endif
