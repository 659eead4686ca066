// The log window.
#include "log_wnd.h"

#include "dialogs.h"
#include "preferences.h"
#include "window_owner.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>

#include <cstdlib>
#include <cstring>

static const char *const level_names[] = {"ERROR", "WARNING", "INFO", "DEBUG"};

log_wnd::log_wnd() : log_text_display(nullptr, "\nStarting to log.\n\n") {
    level = LOG_WARNING;
    alert_level = LOG_WARNING;
    enable_alert();
    window = make_window();
}

const char *log_wnd::level_name(int l) {
    if (l < LOG_ERROR || l > LOG_DEBUG)
        return "UNKNOWN";
    return level_names[l];
}

void log_wnd::write_line(int l, const char *line, const char *text) {
    if (line) {
        buffer->append(line);
        // The text is an argument, never a format: a '%' in it shows as is.
        if (alert_enabled && l <= alert_level)
            dlg_alert("%s!\n\n%s", level_name(l), text);
    }
    scroll_to_end();
}

void log_wnd::status() {
    buffer->append("\nLog Status:\n  Log Level:       ");
    buffer->append(level_name(global_prefs.get_int(PREF_LOG_LEVEL)));
    buffer->append("\n  Alert Box:       ");
    if (alert_enabled) {
        buffer->append("enabled\n  Alert Box Level: ");
        buffer->append(level_name(global_prefs.get_int(PREF_ALERT_LEVEL)));
    } else {
        buffer->append("disabled");
    }
    buffer->append("\n  Log File:        ");
    buffer->append(global_prefs.get_string(PREF_LOG_FILE));
    buffer->append("\n\n");
    scroll_to_end();
}

// ------------------------------------------------------------------ handlers

void log_wnd::on_save() {
    const char *file = global_prefs.get_string(PREF_LOG_FILE);
    if (save(file) != 0)
        dlg_alert("%s!\n\nThe log could not be saved to file: %s.", level_name(LOG_ERROR), file);
}

void log_wnd::on_copy() {
    char *text = buffer->selection_text();
    Fl::copy(text, (int)strlen(text), 1);
    free(text);
}

void log_wnd::on_status() {
    status();
}
void log_wnd::on_clear() {
    clear();
}
void log_wnd::on_iconize() {
    window->iconize();
}
void log_wnd::on_hide() {
    window->hide();
}
void log_wnd::on_close() {
    window->hide();
}

// -------------------------------------------------------------------- window

Fl_Menu_Item log_wnd::menu_table[] = {
    {"&File", 0, 0, 0, FL_SUBMENU, FL_NORMAL_LABEL, 0, 14, 0},
    {"&Save", 0, cb_Save, 0, FL_MENU_DIVIDER, FL_NORMAL_LABEL, 0, 14, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"&Edit", 0, 0, 0, FL_SUBMENU, FL_NORMAL_LABEL, 0, 14, 0},
    {"&Copy", FL_CTRL + 'c', cb_Copy, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {"S&tatus", 0, cb_Status, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"&Window", 0, 0, 0, FL_SUBMENU, FL_NORMAL_LABEL, 0, 14, 0},
    {"&Clear", 0, cb_Clear, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {"&Iconify", 0, cb_Iconify, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {"&Hide", 0, cb_Hide, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0}};

Fl_Double_Window *log_wnd::make_window() {
    Fl_Double_Window *w = new Fl_Double_Window(665, 390, "ORVIK: Log");
    w->callback(cb_window, this);
    display = new Fl_Text_Display(0, 27, 665, 363);
    display->selection_color(10);
    display->textfont(FL_COURIER);
    display->textsize(12);
    display->buffer(buffer);
    w->resizable(display);
    Fl_Menu_Bar *menu_bar = new Fl_Menu_Bar(0, 0, 665, 25);
    menu_bar->menu(menu_table);
    w->end();
    return w;
}

// ----------------------------------------------------------------- callbacks

// The logger of the log window or of any widget in it.
static log_wnd *owner_of(Fl_Widget *w) {
    return window_owner<log_wnd>(w);
}

void log_wnd::cb_window(Fl_Widget *w, void *) {
    owner_of(w)->cb_window_i();
}
void log_wnd::cb_window_i() {
    on_close();
}

void log_wnd::cb_Save(Fl_Widget *w, void *) {
    owner_of(w)->cb_Save_i();
}
void log_wnd::cb_Save_i() {
    on_save();
}

void log_wnd::cb_Copy(Fl_Widget *w, void *) {
    owner_of(w)->cb_Copy_i();
}
void log_wnd::cb_Copy_i() {
    on_copy();
}

void log_wnd::cb_Status(Fl_Widget *w, void *) {
    owner_of(w)->cb_Status_i();
}
void log_wnd::cb_Status_i() {
    on_status();
}

void log_wnd::cb_Clear(Fl_Widget *w, void *) {
    owner_of(w)->cb_Clear_i();
}
void log_wnd::cb_Clear_i() {
    on_clear();
}

void log_wnd::cb_Iconify(Fl_Widget *w, void *) {
    owner_of(w)->cb_Iconify_i();
}
void log_wnd::cb_Iconify_i() {
    on_iconize();
}

void log_wnd::cb_Hide(Fl_Widget *w, void *) {
    owner_of(w)->cb_Hide_i();
}
void log_wnd::cb_Hide_i() {
    on_hide();
}
