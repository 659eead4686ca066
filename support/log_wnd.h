// The log window: a logger with a window of its own ("ORVIK: Log"), a menu
// bar above a text panel that is the panel logger's (log_text_display: its
// text, messages, Clear and Save). Levelled messages up to an alert level
// also raise an alert box. The logger, its buffer and its window live until
// the process ends; the window is built hidden.
#ifndef FTD_LOG_WND_H
#define FTD_LOG_WND_H

#include "log.h"

class Fl_Double_Window;
class Fl_Menu_Item;
class Fl_Widget;
class Fl_Window;

class log_wnd : public log_text_display {
  public:
    Fl_Window *window; // the log window; belongs to the toolkit's tree
    int alert_level;   // messages up to this level raise an alert
    int alert_enabled; // 1: alert boxes on, 0: off

    // Level 1, alert level 1, alerts on, text "\nStarting to log.\n\n"; builds
    // the window and leaves it hidden.
    log_wnd();

    void set_alert_level(int l) { alert_level = l; }
    void enable_alert() { alert_enabled = 1; }
    void disable_alert() { alert_enabled = 0; }

    // Appends the report of the LogLevel, AlertLevel and LogFile preferences
    // and the alert state, then scrolls to the end.
    void status();
    // "ERROR", "WARNING", "INFO" or "DEBUG"; "UNKNOWN" outside 0..3.
    static const char *level_name(int level);

    // Menu and window handlers. on_save saves to the LogFile preference and
    // raises an error alert when that fails.
    void on_save();
    void on_copy();
    void on_status();
    void on_clear();
    void on_iconize();
    void on_hide();
    void on_close();

    // Builds the window, its panel (display) and menu bar; returns it hidden.
    Fl_Double_Window *make_window();

  protected:
    // A line that passed is appended, then alerted ("ERROR!\n\n" and the
    // text, and the like) when alerts are on and level is at most
    // alert_level. Every levelled message, passed or not, then scrolls to the
    // end.
    void write_line(int level, const char *line, const char *text) override;

  private:
    static Fl_Menu_Item menu_table[];
    static void cb_window(Fl_Widget *w, void *v);
    void cb_window_i();
    static void cb_Save(Fl_Widget *w, void *v);
    void cb_Save_i();
    static void cb_Copy(Fl_Widget *w, void *v);
    void cb_Copy_i();
    static void cb_Status(Fl_Widget *w, void *v);
    void cb_Status_i();
    static void cb_Clear(Fl_Widget *w, void *v);
    void cb_Clear_i();
    static void cb_Iconify(Fl_Widget *w, void *v);
    void cb_Iconify_i();
    static void cb_Hide(Fl_Widget *w, void *v);
    void cb_Hide_i();
};

#endif
