// The About window and the help pages (started in the user's web browser).
#ifndef FTD_ABOUT_DLG_H
#define FTD_ABOUT_DLG_H

class Fl_Window;
class Fl_Widget;
class Fl_Text_Display;
class Fl_Output;

class FTD_about_dlg {
  public:
    Fl_Window *window = nullptr;                 // the About window; user data = this
    Fl_Text_Display *version_box = nullptr;      // label: the version string
    Fl_Text_Display *version_text_box = nullptr; // label: the version sentence
    Fl_Output *fltk_output = nullptr;            // toolkit version line
    Fl_Output *expat_output = nullptr;           // XML parser version line
    Fl_Output *gcc_output = nullptr;             // compiler version line

    // Builds the modal, fixed-size window and its widgets (not shown) and
    // returns it. The window belongs to the caller.
    Fl_Window *make_window();
    // OK button: finds the dialog through the window's user data and hides
    // the window.
    static void cb_OK(Fl_Widget *w, void *data);
    void cb_OK_i(Fl_Widget *w, void *data);
};

// Builds, shows and fills a new About window; returns 0. Every call gives a
// window of its own; OK or the window's close button hides it.
int show_about();
// Start the user's web browser (in the background) on the help contents, the
// release notes (pages relative to the working directory) or the project web
// page; 0 when the shell started, 1 when it failed (already logged).
int show_help_contents();
int show_release_notes();
int show_web_page();

#endif
