// The displayer's command handler: the main window with its menus, file strip,
// page list, drawing area and log panel, and every command of that window.
//
// One handler is made at start-up and lives until the process ends. The
// widgets belong to the window. The handler owns the tree on display (its
// holder) and releases a tree as soon as nothing shows it any more.
#ifndef FTD_WND_HANDLER_H
#define FTD_WND_HANDLER_H

#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Tile.H>

#include <string>

#include "FTD_canvas.h"
#include "fatal.h"
#include "ftread.h"
#include "paths.h"

class FTD_wnd_handler {
  public:
    char events_path[FTD_PATH_MAX]; // events file of the shown tree, as given; "" when none
    char gates_path[FTD_PATH_MAX];  // gates file, likewise
    Fl_Double_Window *window;
    Fl_Group *file_group;     // path fields and zoom field
    Fl_Output *events_output; // absolute events path
    Fl_Output *gates_output;  // absolute gates path
    Fl_Input *zoom_input;     // zoom as "<number>%"
    Fl_Tile *tile;
    Fl_Box *tile_box; // hidden resizable area of the tile
    Fl_Text_Display *log_display;
    Fl_Browser *page_browser; // line 1 the root, then the page gates; data = ft_element*
    Fl_Scroll *scroll;
    FTD_canvas *canvas;

    // The holder of the tree on display (owned), NULL when none.
    FTD_tree *current_tree;

    // The menu table shared by every handler, and its items.
    static Fl_Menu_Item menu_table[];
    static Fl_Menu_Item *item_open;
    static Fl_Menu_Item *item_import_xml;
    static Fl_Menu_Item *item_reload;
    static Fl_Menu_Item *item_export;
    static Fl_Menu_Item *item_close;
    static Fl_Menu_Item *item_exit;
    static Fl_Menu_Item *item_edit;
    static Fl_Menu_Item *item_insert;
    static Fl_Menu_Item *item_delete;
    static Fl_Menu_Item *item_open_counterexample;
    static Fl_Menu_Item *item_compute_ordering;
    // The title of the Help menu: invisible, and inactive so that no key
    // reaches it or its items.
    static Fl_Menu_Item *item_help;
    static Fl_Menu_Item *item_contents;
    static Fl_Menu_Item *item_release_notes;
    static Fl_Menu_Item *item_on_the_web;
    static Fl_Menu_Item *item_about;
    static Fl_Menu_Item *item_zoom_in;
    static Fl_Menu_Item *item_zoom_out;
    static Fl_Menu_Item *item_full_size;
    static Fl_Menu_Item *item_hide_probability;

    // Builds the main window (not shown), empty paths, widgets and items in
    // their no-tree state.
    FTD_wnd_handler();
    // Releases the shown tree; the window stays with its owner.
    ~FTD_wnd_handler();
    FTD_wnd_handler(const FTD_wnd_handler &) = delete;
    FTD_wnd_handler &operator=(const FTD_wnd_handler &) = delete;

    // Builds every widget of the main window; returns the window, not shown.
    // The window takes no size below its least size, 145 by 122 pixels (a
    // smaller one asked for gives the least size), at which every widget
    // keeps its place and a size of at least one pixel, so that any size and
    // back restores the first view.
    Fl_Double_Window *make_window();

    /* Callback pairs: the static one finds the handler through the main
       window's user data, the member one makes one call. */
    static void cb_window(Fl_Widget *o, void *v);
    void cb_window_i(Fl_Widget *o, void *v);
    static void cb_Open(Fl_Widget *o, void *v);
    void cb_Open_i(Fl_Widget *o, void *v);
    static void cb_Reload(Fl_Widget *o, void *v);
    void cb_Reload_i(Fl_Widget *o, void *v);
    static void cb_Export(Fl_Widget *o, void *v);
    void cb_Export_i(Fl_Widget *o, void *v);
    static void cb_Close(Fl_Widget *o, void *v);
    void cb_Close_i(Fl_Widget *o, void *v);
    static void cb_Exit(Fl_Widget *o, void *v);
    void cb_Exit_i(Fl_Widget *o, void *v);
    static void cb_Edit(Fl_Widget *o, void *v);
    void cb_Edit_i(Fl_Widget *o, void *v);
    static void cb_Insert(Fl_Widget *o, void *v);
    void cb_Insert_i(Fl_Widget *o, void *v);
    static void cb_Delete(Fl_Widget *o, void *v);
    void cb_Delete_i(Fl_Widget *o, void *v);
    static void cb_Open_Counterexample(Fl_Widget *o, void *v);
    void cb_Open_Counterexample_i(Fl_Widget *o, void *v);
    static void cb_Compute_Ordering(Fl_Widget *o, void *v);
    void cb_Compute_Ordering_i(Fl_Widget *o, void *v);
    static void cb_Contents(Fl_Widget *o, void *v);
    void cb_Contents_i(Fl_Widget *o, void *v);
    static void cb_Release_Notes(Fl_Widget *o, void *v);
    void cb_Release_Notes_i(Fl_Widget *o, void *v);
    static void cb_on_the_Web(Fl_Widget *o, void *v);
    void cb_on_the_Web_i(Fl_Widget *o, void *v);
    static void cb_About(Fl_Widget *o, void *v);
    void cb_About_i(Fl_Widget *o, void *v);
    static void cb_Zoom_In(Fl_Widget *o, void *v);
    void cb_Zoom_In_i(Fl_Widget *o, void *v);
    static void cb_Zoom_Out(Fl_Widget *o, void *v);
    void cb_Zoom_Out_i(Fl_Widget *o, void *v);
    static void cb_Full_Size(Fl_Widget *o, void *v);
    void cb_Full_Size_i(Fl_Widget *o, void *v);
    static void cb_Hide_Probability(Fl_Widget *o, void *v);
    void cb_Hide_Probability_i(Fl_Widget *o, void *v);
    static void cb_zoom_input(Fl_Widget *o, void *v);
    void cb_zoom_input_i(Fl_Widget *o, void *v);
    static void cb_page_browser(Fl_Widget *o, void *v);
    void cb_page_browser_i(Fl_Widget *o, void *v);
    static void cb_canvas(Fl_Widget *o, void *v);
    void cb_canvas_i(Fl_Widget *o, void *v);

    /* File commands. */
    // Reads the pair named by the path buffers; on success shows it and
    // releases the previous tree, otherwise shows the alert of the import
    // result and keeps the display. Memory exhausted while the read tree is
    // laid out counts as FTREAD_ERROR: both trees are released and the window
    // is left as Close leaves it. Returns the import result code; an unknown
    // code ends the program through fatal_assert.
    int load_tree();
    // Loads a given pair (the path buffers themselves may be passed); puts
    // the previous paths back on failure, or empties them when the failure
    // left no tree shown (see load_tree). A name too long for the path
    // buffers is reported as a file that cannot be opened. Logs nothing.
    // Returns the import result code.
    int load_files(const char *events, const char *gates);
    // File > Open: runs the import dialog and loads the chosen pair.
    void on_open();
    // File > Reload: loads the current pair again from disk.
    void on_reload();
    // File > Close: shows no tree and releases the current one.
    void on_close();
    // File > Exit: hides the main window, which ends the event loop.
    void on_exit();
    // Close request of the main window; an Escape key is ignored.
    void on_window_close();
    // Does nothing (the item has no callback).
    void on_import_xml();

    /* Export (SVG). */
    // File > Export: chooses a file and writes the drawing. Memory running
    // out fails it as a failed write does.
    void on_export();
    // Writes the drawing as SVG into path, through a symbolic link into the
    // file it resolves to; 0 written, -1 failed (also for a link that
    // resolves to nothing, and when memory runs out), the failure logged.
    int write_svg_file(const char *path);

    /* View commands. Each does nothing while no tree is shown. */
    // Shows the page of the selected line of the page list. Without memory
    // for the page's layout: the alert of FTREAD_ERROR, no page shown and no
    // line selected; the loaded tree stays.
    void on_page_select();
    // Applies the zoom typed into the zoom field.
    void on_zoom_input();
    // Applies a zoom given as a percentage (zoom times 10). A percentage that
    // is not a number or is below 0 leaves the zoom and writes it into the
    // field again; an infinite one stands for the largest finite zoom (so inf
    // warns as any zoom above the largest). The canvas stays within 0 to
    // 32767 pixels.
    void set_zoom(float percent);
    void on_zoom_in();
    void on_zoom_out();
    void on_full_size();
    // Shows or hides probability labels and relabels the menu item.
    void on_toggle_probability();
    // After a press on the canvas: probes the selected node's trace and
    // ordering files; a double click zooms in.
    void on_canvas_click();
    // The two Actions items; they do nothing.
    void on_open_counterexample();
    void on_compute_ordering();
    // Log a "not yet implemented" warning.
    void not_implemented();
    void not_implemented_2();

  private:
    // Copies of the two path buffers (kept off the heap: a load that runs
    // out of memory still puts them back).
    struct path_pair {
        char events[FTD_PATH_MAX], gates[FTD_PATH_MAX];
    };
    path_pair current_paths() const;
    // Copies the pair into the path buffers (overlap allowed) and loads it;
    // a name that does not fit is reported instead. Then settles the paths:
    // shows the absolute paths of a loaded pair, or puts the paths of before
    // back while their tree is shown, or empties them. The focus goes to the
    // page list. Returns the import result code.
    int load_pair(const char *events, const char *gates, const path_pair &before);
    // Shows the alert of a failed import result code.
    void report_load_error(int code, const char *events, const char *gates);
    // Puts a loaded holder on display (owned from here) and releases the
    // previous one. FTREAD_OK; FTREAD_ERROR when memory runs out before the
    // tree is shown: then no tree is (show_no_tree).
    int show_tree(FTD_tree *holder);
    // Shows no tree and releases the current one: empty paths and fields,
    // an empty page list, the controls that need a tree inactive.
    void show_no_tree();
    // Sizes the canvas to the scroll area less the room of its scrollbars
    // and scrolls back to the origin: the area without scrollbars.
    void fit_canvas_to_area();
    // Scrolls back to the origin: the canvas's top-left corner on the inner
    // corner of the scroll area, which itself stays where it is.
    void show_canvas_origin();
    // Writes the absolute forms of the path buffers into the path fields.
    void show_absolute_paths();
    // Activates (1) or deactivates (0) the widgets and items that need a tree.
    void set_tree_controls(int on);
    // Releases the current holder, if any.
    void release_tree();
    // 1 when the canvas shows a tree.
    int tree_shown();
    // Writes "%d%%" of the canvas zoom into the zoom field.
    void show_fitted_zoom();
};

#endif
