#include "FTD_import_dlg.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>

#include <cstring>

#include "dialogs.h"
#include "paths.h"
#include "window_owner.h"

FTD_import_dlg::FTD_import_dlg(char *events_buf, char *gates_buf)
    : result(0), events_path(events_buf), gates_path(gates_buf), window(nullptr),
      events_input(nullptr), events_choose(nullptr), gates_input(nullptr), gates_choose(nullptr),
      cancel_button(nullptr), ok_button(nullptr) {}

FTD_import_dlg::~FTD_import_dlg() {
    delete window;
}

Fl_Window *FTD_import_dlg::make_window() {
    window = new Fl_Window(557, 168, "FaultTree+ Import");
    window->user_data(this);
    events_input = new Fl_Input(105, 39, 345, 25, "Events file:");
    events_choose = new Fl_Button(460, 39, 70, 25, "C&hoose...");
    events_choose->callback(cb_choose_events);
    gates_input = new Fl_Input(105, 79, 345, 25, "Gates file:");
    gates_choose = new Fl_Button(460, 79, 70, 25, "Ch&oose...");
    gates_choose->callback(cb_choose_gates);
    cancel_button = new Fl_Button(460, 130, 70, 25, "&Cancel");
    cancel_button->callback(cb_Cancel);
    ok_button = new Fl_Return_Button(380, 130, 70, 25, "&OK");
    ok_button->callback(cb_OK);
    window->set_modal();
    window->end();
    return window;
}

// The dialog of any widget in its window.
static FTD_import_dlg *owner(Fl_Widget *o) {
    return window_owner<FTD_import_dlg>(o);
}

void FTD_import_dlg::cb_choose_events(Fl_Widget *o, void *v) {
    owner(o)->cb_choose_events_i(o, v);
}
void FTD_import_dlg::cb_choose_events_i(Fl_Widget *, void *) {
    on_choose_events();
}
void FTD_import_dlg::cb_choose_gates(Fl_Widget *o, void *v) {
    owner(o)->cb_choose_gates_i(o, v);
}
void FTD_import_dlg::cb_choose_gates_i(Fl_Widget *, void *) {
    on_choose_gates();
}
void FTD_import_dlg::cb_Cancel(Fl_Widget *o, void *v) {
    owner(o)->cb_Cancel_i(o, v);
}
void FTD_import_dlg::cb_Cancel_i(Fl_Widget *, void *) {
    on_cancel();
}
void FTD_import_dlg::cb_OK(Fl_Widget *o, void *v) {
    owner(o)->cb_OK_i(o, v);
}
void FTD_import_dlg::cb_OK_i(Fl_Widget *, void *) {
    on_ok();
}

// Copies name into buf only when it fits whole; a longer name stays out of
// the buffer so that it is never cut into another path.
static void copy_if_fits(char *buf, const std::string &name) {
    if (buf && name.size() < FTD_PATH_MAX)
        memcpy(buf, name.c_str(), name.size() + 1);
}

void FTD_import_dlg::on_ok() {
    const char *ev = events_input->value();
    const char *ga = gates_input->value();
    if (!ev[0] || !ga[0]) {
        dlg_alert("Both filenames are necessary for displaying the fault tree.");
        return;
    }
    events_name = ev;
    gates_name = ga;
    copy_if_fits(events_path, events_name);
    copy_if_fits(gates_path, gates_name);
    result = 1;
    window->hide();
}

void FTD_import_dlg::on_cancel() {
    result = 0;
    window->hide();
}

void FTD_import_dlg::on_choose_events() {
    events_input->value(dlg_file_chooser("", "*.txt", "", 0));
}

void FTD_import_dlg::on_choose_gates() {
    gates_input->value(dlg_file_chooser("", "*.txt", "", 0));
}
