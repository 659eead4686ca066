// View commands: page list, zoom, probability labels and canvas presses.
#include <FL/Fl.H>
#include <FL/filename.H>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "FTD_wnd_handler.h"
#include "dialogs.h"
#include "log.h"

// Largest widget size in pixels (the toolkit's sizes are 16-bit).
static const int max_canvas_size = 32767;

// A double as a float; beyond the float range it becomes an infinity
// instead of an undefined conversion.
static float to_float(double d) {
    if (d > FLT_MAX)
        return INFINITY;
    if (d < -FLT_MAX)
        return -INFINITY;
    return static_cast<float>(d);
}

int FTD_wnd_handler::tree_shown() {
    return canvas->tree != nullptr && canvas->tree_size;
}

void FTD_wnd_handler::show_fitted_zoom() {
    char text[32];
    double percent = canvas->zoom * 10.0;
    if (!std::isfinite(percent) || std::fabs(percent) > 2e9)
        percent = 0;
    snprintf(text, sizeof text, "%d%%", static_cast<int>(percent));
    zoom_input->value(text);
}

void FTD_wnd_handler::on_page_select() {
    int line = page_browser->value();
    if (line == 0)
        return;
    try {
        canvas->set_tree(static_cast<ft_element *>(page_browser->data(line)));
        show_fitted_zoom();
    } catch (const std::bad_alloc &) {
        page_browser->deselect();
        zoom_input->value("");
        report_load_error(FTREAD_ERROR, events_path, gates_path);
    }
    window->redraw();
}

// zoom times a tree extent plus its margin, in pixels, within 0..32767.
static int canvas_extent(float zoom, int units) {
    double px = static_cast<double>(zoom) * (static_cast<double>(units) + 20.0);
    if (!(px > 0))
        return 0;
    if (px > max_canvas_size)
        return max_canvas_size;
    return static_cast<int>(px);
}

void FTD_wnd_handler::set_zoom(float percent) {
    if (!tree_shown())
        return;
    char text[32];
    // A zoom below 0 has no drawing (Zoom Out never goes there): refused as
    // a percentage that is not a number is, the field showing the zoom again.
    if (std::isnan(percent) || percent < 0) {
        snprintf(text, sizeof text, "%g%%", canvas->zoom * 10.0);
        zoom_input->value(text);
        zoom_input->take_focus();
        return;
    }
    // An infinite percentage (inf typed, or a number beyond the float range)
    // gives the largest finite zoom: the drawing and the SVG writer multiply
    // by it.
    float z = std::min(percent / 10.0f, FLT_MAX);
    if (z == 0) // "-0" typed: the zoom 0, shown and written without a sign
        z = percent = 0;
    if (z > canvas->max_zoom)
        dlg_alert("WARNING: zoom rate is too high. Fault Tree will be clipped.\n\n"
                  "Maximum rate allowed for viewing the complete tree is %d%%",
                  static_cast<int>(canvas->max_zoom * 10.0));
    canvas->zoom = z;
    canvas->size(canvas_extent(z, canvas->tree_size->w), canvas_extent(z, canvas->tree_size->h));
    scroll->redraw();
    snprintf(text, sizeof text, "%g%%", static_cast<double>(percent));
    zoom_input->value(text);
    zoom_input->take_focus();
}

void FTD_wnd_handler::on_zoom_input() {
    set_zoom(to_float(atof(zoom_input->value())));
}

void FTD_wnd_handler::on_zoom_in() {
    if (!tree_shown())
        return;
    set_zoom(to_float(atof(zoom_input->value()) + 20.0));
    page_browser->take_focus();
}

void FTD_wnd_handler::on_zoom_out() {
    if (!tree_shown())
        return;
    float percent = to_float(atof(zoom_input->value()) - 20.0);
    if (percent >= 0)
        set_zoom(percent);
    page_browser->take_focus();
}

void FTD_wnd_handler::on_full_size() {
    set_zoom(100.0f);
}

void FTD_wnd_handler::on_toggle_probability() {
    if (canvas->show_probability() == 1) {
        canvas->set_show_probability(0);
        item_hide_probability->label("Show Probability");
    } else {
        canvas->set_show_probability(1);
        item_hide_probability->label("Hide Probability");
    }
    scroll->redraw();
}

// path with its extension set to ext (fl_filename_setext), whatever its length.
static std::string with_extension(const std::string &path, const char *ext) {
    std::vector<char> name(path.size() + strlen(ext) + 1, '\0');
    path.copy(name.data(), path.size());
    return fl_filename_setext(name.data(), (int)name.size(), ext);
}

// The probe prefix: for an events file whose name holds "msg", its name up
// to and including the first '_' (all of it without one); else "".
static std::string probe_prefix(const std::string &base) {
    if (base.find("msg") == std::string::npos)
        return std::string();
    size_t us = base.find('_');
    return us == std::string::npos ? base : base.substr(0, us + 1);
}

static void activate_if_readable(Fl_Menu_Item *item, const std::string &path) {
    if (file_exists(path.c_str()))
        item->activate();
}

// Activates the two Actions items whose files lie next to the events file
// for node (a name holding "fault_cfg_"). A directory too long for the path
// buffers names no file that can be opened: nothing is probed then.
static void probe_node_files(const char *events, const std::string &name) {
    std::string dir = path_dirname(events);
    if (dir.empty() && strchr(events, '/'))
        return;
    std::string start = dir + probe_prefix(fl_filename_name(events));
    activate_if_readable(FTD_wnd_handler::item_open_counterexample,
                         with_extension(start + name, ".trc"));
    std::string suffix = name.substr(name.rfind('_'));
    activate_if_readable(FTD_wnd_handler::item_compute_ordering,
                         start + "order" + suffix + ".smv_cpp");
}

void FTD_wnd_handler::on_canvas_click() {
    item_open_counterexample->deactivate();
    item_compute_ordering->deactivate();
    ft_element *node = canvas->selected();
    if (node && strstr(ft_get_name(node), "fault_cfg_"))
        probe_node_files(events_output->value(), ft_get_name(node));
    if (Fl::event_clicks() > 0)
        on_zoom_in();
}

void FTD_wnd_handler::on_open_counterexample() {}

void FTD_wnd_handler::on_compute_ordering() {}

void FTD_wnd_handler::not_implemented() {
    if (global_log)
        global_log->log(LOG_WARNING, "Sorry, this is not yet implemented.");
}

void FTD_wnd_handler::not_implemented_2() {
    not_implemented();
}
