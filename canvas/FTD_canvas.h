// The fault tree canvas: the widget that shows one fault tree.
//
// Layout works in tree units (a terminal node takes a 20 by 20 cell, each
// level lies 20 units below its parent); the screen drawing scales it by
// zoom (pixels per tree unit); the SVG writer walks the same layout. Every
// walk records each node's drawn position in the element, which is how a
// press finds the node under the mouse.
#ifndef FTD_CANVAS_H
#define FTD_CANVAS_H

#include <FL/Fl_Widget.H>

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "saFaultTree.h"

class Fl_Browser;

// A position in tree units.
struct FTD_point {
    int x;
    int y;
};

// A width and a height, in tree units (or pixels where said).
struct FTD_size {
    int w;
    int h;
    FTD_size() : w(0), h(0) {}
};

class FTD_canvas : public Fl_Widget {
  public:
    float zoom;             // pixels per tree unit
    float max_zoom;         // largest zoom keeping the canvas within 32767 pixels
    FTD_size *tree_size;    // children size of the displayed root; owned
    ft_element *tree;       // displayed root, NULL when none; not owned
    ft_element *page_root;  // tree whose page gates refresh_page_list lists
    int show_prob;          // 1: probability/criticality labels shown
    FTD_point click;        // last press, in tree units
    ft_element *selected_node;

    FTD_canvas(int x, int y, int w, int h);
    FTD_canvas(int x, int y, int w, int h, const char *label);
    ~FTD_canvas();

    void draw() override;
    int handle(int event) override;

    /* Display state. */
    void set_tree(ft_element *root);
    void set_page_tree(ft_element *root);
    int show_probability();
    void set_show_probability(int on);
    ft_element *selected();

    /* Selection and highlight. */
    ft_element *select_at_mouse();
    ft_element *select_at(int x, int y, int xpos, int ypos);
    FTD_point to_tree_coords(int x, int y, int xpos, int ypos);
    void clear_selection();
    int clear_selection(ft_element *e);
    void highlight_by_name(const char *name);
    int highlight_by_name(ft_element *e, const char *name);
    void clear_highlight();
    int clear_highlight(ft_element *e);

    /* Labels and the page list. */
    // name, then "\nP = prob" and "\nC = crit" when set; sized to its content.
    static std::string make_label(const char *name, const char *prob, const char *crit);
    void refresh_page_list(Fl_Browser *pages, int keep);

    /* Layout (tree units). Sizes are measured once per walk. */
    FTD_size subtree_size(ft_element *e);
    FTD_size children_size(ft_element *e);
    // Position of e when its subtree starts at origin; records it in e.
    FTD_point place_node(ft_element *e, FTD_point origin, int as_root);
    // Forgets the sizes measured by the previous walk; every walk starts here.
    void reset_layout();

    /* Screen drawing. */
    FTD_point draw_root(ft_element *root, FTD_point origin);
    FTD_point draw_subtree(ft_element *e, FTD_point origin);
    void draw_basic(int x, int y, const char *name, const char *desc, const char *prob,
                    const char *crit);
    void draw_and(int x, int y, const char *name, const char *desc, const char *prob,
                  const char *crit);
    void draw_pand(int x, int y, const char *name, const char *desc, const char *prob,
                   const char *crit);
    void draw_or(int x, int y, const char *name, const char *desc, const char *prob,
                 const char *crit);
    void draw_null(int x, int y, const char *name, const char *desc, const char *prob,
                   const char *crit);
    void draw_transfer(int x, int y, const char *name, const char *desc);
    void draw_connector(int px, int py, int cx, int cy);
    void draw_desc_box(const char *text, int x, int y);
    void draw_name_box(const char *text, double x, double top);
    void draw_prob_box(const char *text, double x, double top);
    void draw_fitted_text(const char *text, float bx, float by, float bw, float bh);
    void draw_marks(ft_element *e, FTD_point pos);

    /* SVG export. write_svg returns 0, or -1 when a write failed. */
    int write_svg(FILE *out);
    void write_svg_body(FILE *out);
    FTD_point svg_root(FILE *out, ft_element *root, FTD_point origin);
    FTD_point svg_subtree(FILE *out, ft_element *node, FTD_point origin);
    void svg_basic(FILE *out, int x, int y, const char *name, const char *desc, const char *prob,
                   const char *crit);
    void svg_and(FILE *out, int x, int y, const char *name, const char *desc, const char *prob,
                 const char *crit);
    void svg_pand(FILE *out, int x, int y, const char *name, const char *desc, const char *prob,
                  const char *crit);
    void svg_or(FILE *out, int x, int y, const char *name, const char *desc, const char *prob,
                const char *crit);
    void svg_null(FILE *out, int x, int y, const char *name, const char *desc, const char *prob,
                  const char *crit);
    void svg_transfer(FILE *out, int x, int y, const char *name, const char *desc);
    void svg_connector(FILE *out, int px, int py, int cx, int cy);
    void svg_desc_box(FILE *out, const char *text, int x, int y);
    void svg_name_box(FILE *out, const char *text, double x, double y);
    void svg_prob_box(FILE *out, const char *text, double x, double y);
    void svg_fitted_text(FILE *out, const char *text, float bx, float by, float bw, float bh);

    /* Tree edits (node edit dialog). */
    int edit_selected(Fl_Browser *pages);
    int insert_child();
    void delete_selected();
    int delete_at(int x, int y);

  private:
    void init_state();
    // Part of the drawing that the current draw() can touch, in tree units
    // (the clip region, widened by a few pixels for the frames).
    double view_x0, view_y0, view_x1, view_y1;
    // Sets the view from the clip region, within the 0..32767 pixel range.
    void compute_view();
    // 1 when the rectangle (tree units) meets the view.
    int in_view(double tx, double ty, double tw, double th);
    // Places e and its subtree without drawing (the part off the view).
    FTD_point record_subtree(ft_element *e, FTD_point origin);
    // Draws (or records, off the view) each input of e and its connector.
    void draw_children(ft_element *e, FTD_point pos, FTD_point origin);
    // The symbol of e by its type; line names the caller for a bad type.
    void draw_by_type(ft_element *e, FTD_point pos, int line);
    // fl_push_matrix, then the mapping from tree units to pixels.
    void push_tree_matrix();
    // One placement of the screen walk, in walk (pre)order.
    struct walk_place {
        ft_element *e;
        FTD_size size;    // measured before placing (the span's size)
        FTD_point origin; // where the span starts
        FTD_point pos;    // the node's position, recorded in e
        size_t end;       // index just past the placements of its subtree
    };
    // The screen walk measures each placement once, in walk order, before it
    // places anything: walk[i].size is the size of the i-th placement.
    std::vector<walk_place> walk;
    size_t walk_next;
    void measure_walk(ft_element *root);
    FTD_size measure_placement(ft_element *e, int as_root);
    // Places e with the next measured size (as place_node would) and records it.
    FTD_point place_next(ft_element *e, FTD_point origin, int as_root);
    // The last full walk stays usable while the model has not changed since
    // (ft_generation): the positions it recorded are still in the elements,
    // so a redraw only draws, from the kept placements, what meets the view.
    ft_element *walk_root;            // root of the kept walk, NULL when none
    unsigned long walk_generation;    // ft_generation() right after that walk
    int walk_reusable();
    void draw_kept_node(size_t i);
    void draw_kept_children(size_t i);
    // Subtree sizes of the current walk, by element.
    std::unordered_map<const ft_element *, FTD_size> size_cache;
};

#endif
