// The About window and the help pages (started in the user's web browser).
#ifndef FTD_ABOUT_DLG_H
#define FTD_ABOUT_DLG_H

class Fl_Window;
class Fl_Widget;
class Fl_Text_Display;
class Fl_Output;

class FTD_about_dlg {
  public:
    Fl_Window *window;
    Fl_Text_Display *version_box;
    Fl_Text_Display *version_text_box;
    Fl_Output *fltk_output;
    Fl_Output *expat_output;
    Fl_Output *gcc_output;

    Fl_Window *make_window();
    static void cb_OK(Fl_Widget *w, void *data);
    void cb_OK_i(Fl_Widget *w, void *data);
};

// Builds, shows and fills a new About window; returns 0.
int show_about();
// Start the browser on a page; 0 started, 1 failed.
int show_help_contents();
int show_release_notes();
int show_web_page();

#endif
