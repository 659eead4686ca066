// File commands: load, open, reload, close, exit.
#include <FL/Fl.H>

#include <cstring>
#include <new>
#include <string>

#include "FTD_import_dlg.h"
#include "FTD_wnd_handler.h"
#include "dialogs.h"
#include "log.h"

// The line the internal-error report shows for an unknown import result: a
// fixed number of the report, not a line of any file here.
enum { LINE_LOAD_RESULT = 679 };

// Unlevelled line on the global log, when there is one.
static void log_line(const char *text) {
    if (global_log)
        global_log->message("%s", text);
}

void FTD_wnd_handler::report_load_error(int code, const char *events, const char *gates) {
    switch (code) {
    case FTREAD_NO_GATES_FILE:
        dlg_alert("File \"%s\" not found!\nLoading aborted.", gates);
        break;
    case FTREAD_NO_EVENTS_FILE:
        dlg_alert("File \"%s\" not found!\nLoading aborted.", events);
        break;
    case FTREAD_BAD_GATES:
        dlg_alert("The format of gates file \"%s\" is not correct.\nLoading aborted.", gates);
        break;
    case FTREAD_BAD_EVENTS:
        dlg_alert("The format of events file \"%s\" is not correct.\nLoading aborted.", events);
        break;
    case FTREAD_UNDEFINED_EVENT:
        dlg_alert("Gates file \"%s\" contains a reference to an undefined basic event.\n"
                  "Loading aborted.",
                  gates);
        break;
    case FTREAD_ERROR:
        dlg_alert("Error.\nLoading aborted.");
        break;
    default:
        fatal_assert("0", "FTD_wnd_handler", LINE_LOAD_RESULT);
    }
}

// A new, empty tree holder; NULL when memory is exhausted.
static FTD_tree *new_holder() {
    try {
        return new FTD_tree();
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

int FTD_wnd_handler::load_tree() {
    FTD_tree *holder = new_holder();
    ftread_meter meter;
    int code =
        holder ? read_faulttree_files(holder, events_path, gates_path, &meter) : FTREAD_ERROR;
    if (code == FTREAD_OK)
        code = show_tree(holder);
    else
        delete holder;               // nothing shows it
    if (meter.refused && global_log) // the alert names the file's format; the log says why
        global_log->log(LOG_ERROR,
                        "Gates file \"%s\" refused: resolving its rows would take too long.",
                        gates_path);
    if (code != FTREAD_OK)
        report_load_error(code, events_path, gates_path);
    zoom_input->take_focus();
    return code;
}

int FTD_wnd_handler::show_tree(FTD_tree *holder) {
    // The tree shown so far goes first: the canvas and the page list let go
    // of it, and its memory is free before the new tree is laid out.
    canvas->set_tree(nullptr);
    page_browser->clear();
    release_tree();
    current_tree = holder;
    fit_canvas_to_area();
    try {
        canvas->set_tree(holder->root);
        FTD_canvas::fill_page_list(page_browser, holder->root, 1);
        page_browser->value(1);
    } catch (const std::bad_alloc &) {
        show_no_tree(); // releases holder
        return FTREAD_ERROR;
    }
    show_fitted_zoom();
    set_tree_controls(1);
    window->redraw();
    return FTREAD_OK;
}

void FTD_wnd_handler::fit_canvas_to_area() {
    canvas->size(scroll->w() - 17, scroll->h() - 17);
    show_canvas_origin();
}

void FTD_wnd_handler::show_canvas_origin() {
    // Scrolling moves the canvas only by a change of the scroll offsets, and
    // the canvas is built on the area's outer corner, where it would stick
    // out by the frame's width and get both scrollbars before any scrolling.
    scroll->scroll_to(0, 0);
    canvas->position(scroll->x() + Fl::box_dx(scroll->box()),
                     scroll->y() + Fl::box_dy(scroll->box()));
}

void FTD_wnd_handler::release_tree() {
    if (!current_tree)
        return;
    delete current_tree;
    current_tree = nullptr;
}

// Shows the absolute form of path in field, whole: the buffer holds any
// working directory joined with any path that fits the path buffers.
static void show_absolute(Fl_Output *field, const char *path) {
    char out[2 * FTD_PATH_MAX + 2];
    field->value(absolute_path(out, sizeof out, path) < 0 ? path : out);
}

void FTD_wnd_handler::show_absolute_paths() {
    show_absolute(events_output, events_path);
    show_absolute(gates_output, gates_path);
}

FTD_wnd_handler::path_pair FTD_wnd_handler::current_paths() const {
    path_pair p;
    strcpy(p.events, events_path);
    strcpy(p.gates, gates_path);
    return p;
}

int FTD_wnd_handler::load_pair(const char *events, const char *gates, const path_pair &before) {
    size_t elen = strlen(events);
    size_t glen = strlen(gates);
    int code;
    if (elen >= FTD_PATH_MAX || glen >= FTD_PATH_MAX) {
        code = elen >= FTD_PATH_MAX ? FTREAD_NO_EVENTS_FILE : FTREAD_NO_GATES_FILE;
        report_load_error(code, events, gates);
    } else {
        memmove(events_path, events, elen + 1);
        memmove(gates_path, gates, glen + 1);
        code = load_tree();
    }
    if (code == FTREAD_OK) {
        show_absolute_paths();
    } else if (current_tree) { // the tree from before is shown: its paths
        strcpy(events_path, before.events);
        strcpy(gates_path, before.gates);
    } else { // no tree is shown, as after Close
        events_path[0] = gates_path[0] = '\0';
    }
    page_browser->take_focus();
    return code;
}

int FTD_wnd_handler::load_files(const char *events, const char *gates) {
    item_open_counterexample->deactivate();
    item_compute_ordering->deactivate();
    return load_pair(events, gates, current_paths());
}

void FTD_wnd_handler::on_open() {
    // The dialog writes the chosen names into the path buffers on OK: the
    // paths to put back are those from before it.
    path_pair before = current_paths();
    FTD_import_dlg dlg(events_path, gates_path);
    dlg_run_modal(dlg.make_window());
    if (!dlg.result) {
        page_browser->take_focus();
        return;
    }
    int r = load_pair(dlg.events_name.c_str(), dlg.gates_name.c_str(), before);
    log_line(r == FTREAD_OK ? "Fault Tree loaded.\n" : "Fault Tree not loaded.\n");
}

void FTD_wnd_handler::on_reload() {
    if (events_path[0] && gates_path[0]) {
        int r = load_files(events_path, gates_path);
        log_line(r == FTREAD_OK ? "Fault Tree reloaded.\n" : "Fault Tree not loaded.\n");
    } else {
        dlg_alert("Reload impossible. No fault tree currently loaded.");
        log_line("Reload impossible. No fault tree currently loaded.\n");
    }
}

void FTD_wnd_handler::show_no_tree() {
    events_path[0] = '\0';
    gates_path[0] = '\0';
    set_tree_controls(0);
    page_browser->clear();
    events_output->value("");
    gates_output->value("");
    zoom_input->value("");
    canvas->set_tree(nullptr);
    release_tree();
}

void FTD_wnd_handler::on_close() {
    show_no_tree();
    item_import_xml->deactivate();
    log_line("Fault Tree closed.\n");
}

void FTD_wnd_handler::on_exit() {
    window->hide();
}

void FTD_wnd_handler::on_window_close() {
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape)
        return;
    on_exit();
}

void FTD_wnd_handler::on_import_xml() {}
