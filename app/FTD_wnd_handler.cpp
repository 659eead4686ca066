// The main window, its menu table and the callback pairs that route every
// widget to one command of the handler.
#include "FTD_wnd_handler.h"

#include <FL/Fl_Menu_Bar.H>

#include <algorithm>

#include "FTD_about_dlg.h"
#include "log.h"
#include "window_owner.h"

Fl_Menu_Item FTD_wnd_handler::menu_table[] = {
    {"&File", 0, 0, 0, FL_SUBMENU, FL_NORMAL_LABEL, 0, 14, 0},
    {"&Open...", FL_CTRL + 'o', cb_Open, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {"I&mport XML...", 0, 0, 0, FL_MENU_INVISIBLE, FL_NORMAL_LABEL, 0, 14, 0},
    {"&Reload", FL_CTRL + 'r', cb_Reload, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {"Export...", 0, cb_Export, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {"&Close", FL_CTRL + 'c', cb_Close, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {"E&xit", FL_CTRL + 'q', cb_Exit, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"&Actions", 0, 0, 0, FL_SUBMENU, FL_NORMAL_LABEL, 0, 14, 0},
    {"Edit", 0, cb_Edit, 0, FL_MENU_INACTIVE | FL_MENU_INVISIBLE, FL_NORMAL_LABEL, 0, 14, 0},
    {"Insert", 0, cb_Insert, 0, FL_MENU_INACTIVE | FL_MENU_INVISIBLE, FL_NORMAL_LABEL, 0, 14, 0},
    {"Delete", 0, cb_Delete, 0, FL_MENU_INACTIVE | FL_MENU_INVISIBLE, FL_NORMAL_LABEL, 0, 14, 0},
    {"Open Counterexample", 0, cb_Open_Counterexample, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {"Compute Ordering...", 0, cb_Compute_Ordering, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"&Help", 0, 0, 0, FL_SUBMENU | FL_MENU_INVISIBLE, FL_NORMAL_LABEL, 0, 14, 0},
    {"&Contents", FL_F + 1, cb_Contents, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {"&Release Notes", 0, cb_Release_Notes, 0, FL_MENU_DIVIDER, FL_NORMAL_LABEL, 0, 14, 0},
    {"&ORVIK on the Web", 0, cb_on_the_Web, 0, FL_MENU_DIVIDER, FL_NORMAL_LABEL, 0, 14, 0},
    {"&About", 0, cb_About, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"&View", 0, 0, 0, FL_SUBMENU, FL_NORMAL_LABEL, 0, 14, 0},
    {"Zoom In", FL_CTRL + '=', cb_Zoom_In, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {"Zoom Out", FL_CTRL + '-', cb_Zoom_Out, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {"Full Size", 0, cb_Full_Size, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {"Hide Probability", 0, cb_Hide_Probability, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0}};

Fl_Menu_Item *FTD_wnd_handler::item_open = FTD_wnd_handler::menu_table + 1;
Fl_Menu_Item *FTD_wnd_handler::item_import_xml = FTD_wnd_handler::menu_table + 2;
Fl_Menu_Item *FTD_wnd_handler::item_reload = FTD_wnd_handler::menu_table + 3;
Fl_Menu_Item *FTD_wnd_handler::item_export = FTD_wnd_handler::menu_table + 4;
Fl_Menu_Item *FTD_wnd_handler::item_close = FTD_wnd_handler::menu_table + 5;
Fl_Menu_Item *FTD_wnd_handler::item_exit = FTD_wnd_handler::menu_table + 6;
Fl_Menu_Item *FTD_wnd_handler::item_edit = FTD_wnd_handler::menu_table + 9;
Fl_Menu_Item *FTD_wnd_handler::item_insert = FTD_wnd_handler::menu_table + 10;
Fl_Menu_Item *FTD_wnd_handler::item_delete = FTD_wnd_handler::menu_table + 11;
Fl_Menu_Item *FTD_wnd_handler::item_open_counterexample = FTD_wnd_handler::menu_table + 12;
Fl_Menu_Item *FTD_wnd_handler::item_compute_ordering = FTD_wnd_handler::menu_table + 13;
Fl_Menu_Item *FTD_wnd_handler::item_help = FTD_wnd_handler::menu_table + 15;
Fl_Menu_Item *FTD_wnd_handler::item_contents = FTD_wnd_handler::menu_table + 16;
Fl_Menu_Item *FTD_wnd_handler::item_release_notes = FTD_wnd_handler::menu_table + 17;
Fl_Menu_Item *FTD_wnd_handler::item_on_the_web = FTD_wnd_handler::menu_table + 18;
Fl_Menu_Item *FTD_wnd_handler::item_about = FTD_wnd_handler::menu_table + 19;
Fl_Menu_Item *FTD_wnd_handler::item_zoom_in = FTD_wnd_handler::menu_table + 22;
Fl_Menu_Item *FTD_wnd_handler::item_zoom_out = FTD_wnd_handler::menu_table + 23;
Fl_Menu_Item *FTD_wnd_handler::item_full_size = FTD_wnd_handler::menu_table + 24;
Fl_Menu_Item *FTD_wnd_handler::item_hide_probability = FTD_wnd_handler::menu_table + 25;

FTD_wnd_handler::FTD_wnd_handler() : current_tree(nullptr) {
    make_window();
    events_path[0] = '\0';
    gates_path[0] = '\0';
    item_hide_probability->label(canvas->show_probability() ? "Hide Probability"
                                                            : "Show Probability");
    set_tree_controls(0);
    fit_canvas_to_area(); // the empty area as a load and Close leave it
    item_import_xml->deactivate();
    item_open_counterexample->deactivate();
    item_compute_ordering->deactivate();
    // The toolkit matches shortcuts and Alt letters of invisible items too,
    // but never of inactive ones or of anything below an inactive title.
    item_help->deactivate();
}

FTD_wnd_handler::~FTD_wnd_handler() {
    canvas->set_tree(nullptr);
    page_browser->clear();
    release_tree();
}

// Builds the file strip: the two path fields and the zoom field.
static Fl_Group *make_file_group(FTD_wnd_handler *h) {
    Fl_Group *g = new Fl_Group(0, 25, 840, 65);
    h->events_output = new Fl_Output(90, 30, 535, 25, "Events File:");
    h->events_output->color(51);
    h->gates_output = new Fl_Output(90, 60, 535, 25, "Gates File:");
    h->gates_output->color(51);
    h->zoom_input = new Fl_Input(760, 30, 80, 25, "Zoom Factor:");
    h->zoom_input->when(FL_WHEN_ENTER_KEY);
    h->zoom_input->callback(FTD_wnd_handler::cb_zoom_input);
    g->end();
    return g;
}

// Builds the canvas inside the scroll area, with the main window's settings.
static FTD_canvas *make_canvas() {
    FTD_canvas *c = new FTD_canvas(120, 90, 720, 540);
    c->box(FL_NO_BOX);
    c->color(FL_BACKGROUND_COLOR);
    c->selection_color(FL_BACKGROUND_COLOR);
    c->labeltype(FL_NORMAL_LABEL);
    c->labelfont(0);
    c->labelsize(14);
    c->labelcolor(FL_FOREGROUND_COLOR);
    c->align(Fl_Align(FL_ALIGN_CENTER));
    c->when(FL_WHEN_RELEASE);
    c->callback(FTD_wnd_handler::cb_canvas);
    return c;
}

// Builds the tile: hidden resizable box, log panel, page list, drawing area.
// The tile ends at the window's bottom edge, and the log panel with it: at
// first only the panel's top row shows, and dragging the border above it up
// (as far as the resizable box allows) shows the panel whole; an error line
// of the log moves that border up by itself (log.h).
static Fl_Tile *make_tile(FTD_wnd_handler *h) {
    static int column_widths[] = {45, 45, 0};
    Fl_Tile *t = new Fl_Tile(0, 90, 840, 541);
    h->tile_box = new Fl_Box(25, 120, 790, 510);
    h->tile_box->hide();
    t->resizable(h->tile_box);
    h->log_display = new Fl_Text_Display(0, 630, 840, 1);
    h->log_display->box(FL_DOWN_BOX);
    h->log_display->color(51);
    h->page_browser = new Fl_Browser(0, 90, 120, 540);
    h->page_browser->type(FL_HOLD_BROWSER);
    h->page_browser->box(FL_DOWN_BOX);
    h->page_browser->column_widths(column_widths);
    h->page_browser->callback(FTD_wnd_handler::cb_page_browser);
    h->scroll = new Fl_Scroll(120, 90, 720, 540);
    h->scroll->box(FL_DOWN_BOX);
    h->scroll->color(55);
    h->canvas = make_canvas();
    h->canvas->set_page_list(h->page_browser);
    h->scroll->end();
    t->end();
    return t;
}

namespace {
// The least size of the main window. The tile moves each edge that lies
// right of its resizable box (whose right edge is 25 pixels left of the
// window's) with the window's right edge; every other edge stays, unless the
// window gets too narrow for it: then the tile pushes it left, and never
// back. The rightmost such edge is the page list's right edge, the drawing
// area's left edge, at 120: the least width is 120 + 25. Downwards alike:
// the box ends 1 pixel above the window's bottom edge and begins at 120, the
// lowest edge that stays, and keeps 1 pixel of height at 120 + 1 + 1. The
// widgets above the tile keep their heights and are scaled sideways, so at
// that width the narrowest, the zoom field, is still 14 pixels wide; the
// page list and the drawing area are 31 pixels tall.
enum { LEAST_W = 145, LEAST_H = 122 };

// The main window at its least size or larger: the window manager is told
// the least size, and a smaller size asked for anyway (by the program, or
// where no window manager keeps to it) gives the least size.
class FTD_main_window : public Fl_Double_Window {
  public:
    FTD_main_window(int w, int h, const char *title) : Fl_Double_Window(w, h, title) {
        size_range(LEAST_W, LEAST_H);
    }
    void resize(int x, int y, int w, int h) override {
        Fl_Double_Window::resize(x, y, std::max<int>(w, LEAST_W), std::max<int>(h, LEAST_H));
    }
};
} // namespace

Fl_Double_Window *FTD_wnd_handler::make_window() {
    window = new FTD_main_window(840, 631, "ORVIK: Fault Tree Displayer");
    window->callback(cb_window, this);
    Fl_Menu_Bar *bar = new Fl_Menu_Bar(0, 0, 840, 25);
    bar->menu(menu_table);
    file_group = make_file_group(this);
    tile = make_tile(this);
    window->resizable(tile);
    window->end();
    return window;
}

// The handler of the main window or of any widget in it.
static FTD_wnd_handler *handler_of(Fl_Widget *o) {
    return window_owner<FTD_wnd_handler>(o);
}

void FTD_wnd_handler::cb_window(Fl_Widget *o, void *v) {
    handler_of(o)->cb_window_i(o, v);
}
void FTD_wnd_handler::cb_window_i(Fl_Widget *, void *) {
    on_window_close();
}
void FTD_wnd_handler::cb_Open(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Open_i(o, v);
}
void FTD_wnd_handler::cb_Open_i(Fl_Widget *, void *) {
    on_open();
}
void FTD_wnd_handler::cb_Reload(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Reload_i(o, v);
}
void FTD_wnd_handler::cb_Reload_i(Fl_Widget *, void *) {
    on_reload();
}
void FTD_wnd_handler::cb_Export(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Export_i(o, v);
}
void FTD_wnd_handler::cb_Export_i(Fl_Widget *, void *) {
    on_export();
}
void FTD_wnd_handler::cb_Close(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Close_i(o, v);
}
void FTD_wnd_handler::cb_Close_i(Fl_Widget *, void *) {
    on_close();
}
void FTD_wnd_handler::cb_Exit(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Exit_i(o, v);
}
void FTD_wnd_handler::cb_Exit_i(Fl_Widget *, void *) {
    on_exit();
}
void FTD_wnd_handler::cb_Edit(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Edit_i(o, v);
}
void FTD_wnd_handler::cb_Edit_i(Fl_Widget *, void *) {
    canvas->edit_selected(page_browser);
}
void FTD_wnd_handler::cb_Insert(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Insert_i(o, v);
}
void FTD_wnd_handler::cb_Insert_i(Fl_Widget *, void *) {
    canvas->insert_child();
}
void FTD_wnd_handler::cb_Delete(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Delete_i(o, v);
}
void FTD_wnd_handler::cb_Delete_i(Fl_Widget *, void *) {
    canvas->delete_selected();
}
void FTD_wnd_handler::cb_Open_Counterexample(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Open_Counterexample_i(o, v);
}
void FTD_wnd_handler::cb_Open_Counterexample_i(Fl_Widget *, void *) {
    on_open_counterexample();
}
void FTD_wnd_handler::cb_Compute_Ordering(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Compute_Ordering_i(o, v);
}
void FTD_wnd_handler::cb_Compute_Ordering_i(Fl_Widget *, void *) {
    on_compute_ordering();
}
void FTD_wnd_handler::cb_Contents(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Contents_i(o, v);
}
void FTD_wnd_handler::cb_Contents_i(Fl_Widget *, void *) {
    show_help_contents();
}
void FTD_wnd_handler::cb_Release_Notes(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Release_Notes_i(o, v);
}
void FTD_wnd_handler::cb_Release_Notes_i(Fl_Widget *, void *) {
    show_release_notes();
}
void FTD_wnd_handler::cb_on_the_Web(Fl_Widget *o, void *v) {
    handler_of(o)->cb_on_the_Web_i(o, v);
}
void FTD_wnd_handler::cb_on_the_Web_i(Fl_Widget *, void *) {
    show_web_page();
}
void FTD_wnd_handler::cb_About(Fl_Widget *o, void *v) {
    handler_of(o)->cb_About_i(o, v);
}
void FTD_wnd_handler::cb_About_i(Fl_Widget *, void *) {
    show_about();
}
void FTD_wnd_handler::cb_Zoom_In(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Zoom_In_i(o, v);
}
void FTD_wnd_handler::cb_Zoom_In_i(Fl_Widget *, void *) {
    on_zoom_in();
}
void FTD_wnd_handler::cb_Zoom_Out(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Zoom_Out_i(o, v);
}
void FTD_wnd_handler::cb_Zoom_Out_i(Fl_Widget *, void *) {
    on_zoom_out();
}
void FTD_wnd_handler::cb_Full_Size(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Full_Size_i(o, v);
}
void FTD_wnd_handler::cb_Full_Size_i(Fl_Widget *, void *) {
    on_full_size();
}
void FTD_wnd_handler::cb_Hide_Probability(Fl_Widget *o, void *v) {
    handler_of(o)->cb_Hide_Probability_i(o, v);
}
void FTD_wnd_handler::cb_Hide_Probability_i(Fl_Widget *, void *) {
    on_toggle_probability();
}
void FTD_wnd_handler::cb_zoom_input(Fl_Widget *o, void *v) {
    handler_of(o)->cb_zoom_input_i(o, v);
}
void FTD_wnd_handler::cb_zoom_input_i(Fl_Widget *, void *) {
    on_zoom_input();
}
void FTD_wnd_handler::cb_page_browser(Fl_Widget *o, void *v) {
    handler_of(o)->cb_page_browser_i(o, v);
}
void FTD_wnd_handler::cb_page_browser_i(Fl_Widget *, void *) {
    on_page_select();
}
void FTD_wnd_handler::cb_canvas(Fl_Widget *o, void *v) {
    handler_of(o)->cb_canvas_i(o, v);
}
void FTD_wnd_handler::cb_canvas_i(Fl_Widget *, void *) {
    on_canvas_click();
}

void FTD_wnd_handler::set_tree_controls(int on) {
    Fl_Menu_Item *items[] = {item_reload, item_close, item_zoom_in, item_zoom_out, item_full_size};
    for (Fl_Menu_Item *it : items) {
        if (on)
            it->activate();
        else
            it->deactivate();
    }
    Fl_Widget *widgets[] = {file_group, scroll, page_browser};
    for (Fl_Widget *w : widgets) {
        if (on)
            w->activate();
        else
            w->deactivate();
    }
}
