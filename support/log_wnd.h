// The log window: a logger with a window of its own ("ORVIK: Log"), a menu
// bar above a text panel. Levelled messages up to an alert level also raise
// an alert box. The logger, its buffer and its window live until the process
// ends; the window is built hidden.
#ifndef FTD_LOG_WND_H
#define FTD_LOG_WND_H

#include "log.h"

class Fl_Double_Window;
class Fl_Menu_Item;
class Fl_Widget;
class Fl_Window;

class log_wnd : public log_base {
  public:
    Fl_Window *window;      // the log window; belongs to the toolkit's tree
    Fl_Text_Buffer *buffer; // the log text, made here, never freed
    int alert_level;        // messages up to this level raise an alert
    int alert_enabled;      // 1: alert boxes on, 0: off
    Fl_Double_Window *log_window;
    Fl_Text_Display *display; // the window's text panel

    // Level 1, alert level 1, alerts on, text "\nStarting to log.\n\n"; builds
    // the window and leaves it hidden.
    log_wnd();

    void set_alert_level(int l) { alert_level = l; }
    void enable_alert() { alert_enabled = 1; }
    void disable_alert() { alert_enabled = 0; }

    // Appends the formatted text (cut at LOG_BUFFER_SIZE - 1 characters) and
    // scrolls to the end. No filter, no alert.
    void vmessage(const char *format, va_list args) override;
    // Puts the text back to "\nLog cleared.\nStarting to log from scratch.\n\n".
    void clear() override;
    // Replaces file with the text (log_panel_save); 0 written (a note is then
    // appended), 1 nothing written, 2 write error. Then scrolls to the end.
    int save(const char *file) override;

    // Appends the report of the LogLevel, AlertLevel and LogFile preferences
    // and the alert state, then scrolls to the end.
    void status();
    void scroll_to_end();
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

    // Builds the window, its panel and menu bar; returns it hidden.
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
