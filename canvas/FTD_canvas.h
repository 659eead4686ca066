// The fault tree canvas: the widget that shows one fault tree.
//
// Layout works in tree units (a terminal node takes a 20 by 20 cell, each
// level lies 20 units below its parent); the screen drawing scales it by
// zoom (pixels per tree unit); the SVG writer writes the same layout.
//
// The layout array, and how positions reach the elements. build_layout turns
// a tree into an FTD_layout: a flat array with one FTD_place per drawn place,
// in preorder (a node, then the whole subtree of each input in list order; a
// basic event named by several gates has one place under each), holding its
// element, its position, the size of its span, its parent's index and the
// index just past its subtree. It never recurses: pass 1 walks the children
// lists with a stack of its own and appends the places; pass 2 runs
// backwards, so every subtree is complete before its parent, and sums the
// sizes; pass 3 runs forwards and gives each input its span, left to right
// under its parent, hence its position. The canvas keeps one layout, of the
// displayed tree from (10,10) (current_layout); each time it builds it, for a
// new root or after any change to the model (ft_generation moved), it clears
// the recorded positions of everything under the root (ft_clear_coords) and
// records each place's position in its element (ft_add_coord, in preorder),
// so the elements hold exactly the places of the layout shown. Readers of the
// layout:
//   - set_tree and set_page_tree take the tree's size from the first place;
//   - draw() paints the places and connectors whose extents meet the clip
//     region (walk_layout), skipping every subtree whose span misses it;
//   - write_svg writes every place and connector in the same order;
//   - delete_at finds the place under a point and its parent there.
// The recorded positions are read by a press (select_at, through
// ft_find_at); the frames read the selected and highlighted flags beside
// them. The operations named after single nodes (subtree_size,
// children_size, place_node, draw_root, draw_subtree, svg_root, svg_subtree)
// lay out the node they are given the same way and add its positions to
// those recorded.
#ifndef FTD_CANVAS_H
#define FTD_CANVAS_H

#include <FL/Fl_Widget.H>

#include <cstdio>
#include <string>
#include <unordered_set>
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

// One drawn place of a layout (tree units).
struct FTD_place {
    ft_element *e;
    FTD_point pos; // x: the symbol's horizontal centre; y: its top
    FTD_size size; // the span: children size for a laid-out root, subtree size below
    int parent;    // index of the parent's place; -1 for the first place
    int end;       // index just past the places of this subtree (its inputs follow it)
};

// A tree laid out from an origin, places in preorder.
struct FTD_layout {
    std::vector<FTD_place> places;
    int as_root; // 1: the first place is laid out as the displayed root
    // The first place that the screen would draw by a type that is no kind
    // (an internal error); -1 when there is none.
    int no_kind;
};

class FTD_canvas : public Fl_Widget {
  public:
    float zoom;            // pixels per tree unit
    float max_zoom;        // largest zoom keeping the canvas within 32767 pixels
    FTD_size *tree_size;   // children size of the displayed root; owned
    ft_element *tree;      // displayed root, NULL when none; not owned
    ft_element *page_root; // tree whose page gates refresh_page_list lists
    int show_prob;         // 1: probability/criticality labels shown
    FTD_point click;       // last press, in tree units
    ft_element *selected_node;

    FTD_canvas(int x, int y, int w, int h);
    FTD_canvas(int x, int y, int w, int h, const char *label);
    ~FTD_canvas();

    // Draws the displayed tree; nothing of it when memory runs out for its
    // layout.
    void draw() override;
    int handle(int event) override;

    /* Display state. */
    // Shows root (NULL: no tree) and fits the zoom to the canvas's size.
    // Throws std::bad_alloc when memory runs out for root's layout; the
    // canvas then shows no tree.
    void set_tree(ft_element *root);
    void set_page_tree(ft_element *root);
    int show_probability();
    void set_show_probability(int on);
    ft_element *selected();
    // Redraws the area around the canvas (its parent, the scroll area), or
    // the canvas alone when it has none.
    void redraw_area();

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
    // Refills pages from page_root (fill_page_list without a root line);
    // keep 0 then selects line 1 and shows page_root. Without a page tree
    // pages is only emptied.
    void refresh_page_list(Fl_Browser *pages, int keep);
    // Adds the line of e to pages: e's name shown as written (no byte of it
    // taken for a format code; cut to what the toolkit can draw), e as the
    // line's data. Every page-list line is added through it. Throws
    // std::bad_alloc when memory is exhausted.
    static void add_page_line(Fl_Browser *pages, ft_element *e);
    // Empties pages and fills it from root: root's own line first when
    // with_root is 1, then one line for every page gate from root down (root
    // too when it is one), in preorder, each through add_page_line. A NULL
    // root leaves pages empty. Selects nothing. Throws std::bad_alloc when
    // memory is exhausted (pages may then hold the first lines).
    static void fill_page_list(Fl_Browser *pages, ft_element *root, int with_root);
    // The page list shown beside the canvas (NULL, as built: none; not
    // owned). A deletion removes from it the lines of the elements it took
    // out of the tree (see delete_at). The window holding both sets it once.
    void set_page_list(Fl_Browser *pages);

    /* Layout (tree units). */
    // Lays out e from origin into out (see the top of this file); as_root 1
    // measures e by its inputs and lays them out whatever e's type and page
    // flag. Records nothing. Throws std::bad_alloc when memory is exhausted.
    static void build_layout(FTD_layout &out, ft_element *e, FTD_point origin, int as_root);
    FTD_size subtree_size(ft_element *e);
    FTD_size children_size(ft_element *e);
    // Position of e when its subtree starts at origin; records it in e.
    FTD_point place_node(ft_element *e, FTD_point origin, int as_root);

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

    /* SVG export. */
    // Writes the document of the displayed tree into out. Returns 0, or -1
    // when a write failed or memory ran out (out may then hold part of a
    // document); the indentation level (svg_writer.h) is as it was. The
    // members below write parts of it and throw std::bad_alloc when memory
    // is exhausted.
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
    // Edits selected_node; with pages and a page tree, refills pages after
    // an OK (refresh_page_list). 0 without a selection, else 1.
    int edit_selected(Fl_Browser *pages);
    int insert_child();
    // delete_at at the last press, then redraws the area.
    void delete_selected();
    // Removes the input drawn at (x, y), tree units, from the gate it hangs
    // under there; the displayed root stays. The selection and the page list
    // (set_page_list) let go of what the tree no longer reaches. 1 when an
    // input was removed, else 0.
    int delete_at(int x, int y);

  private:
    /* The page list. */
    Fl_Browser *page_list = nullptr; // see set_page_list
    typedef std::unordered_set<const ft_element *> element_set;
    // Adds e and everything below it (all children lists, whatever the
    // types) to seen; NULL adds nothing.
    static void collect(const ft_element *e, element_set &seen);
    // Removes from pages every line but the first (the list's root) whose
    // element is in gone and not reachable from the first line's element.
    static void drop_page_lines(Fl_Browser *pages, const element_set &gone);
    // After removed was taken out of the displayed tree: the selection and
    // the page list let go of what neither tree nor page_root reaches.
    void forget_removed(ft_element *removed);

  private:
    void init_state();
    // Sets tree_size, zoom and max_zoom for a tree of size s.
    void fit_zoom(FTD_size s);
    // Layout of the displayed tree from (10,10), and the root and model
    // generation it was built and recorded for (see the top of this file).
    FTD_layout layout;
    ft_element *layout_root;         // NULL when none
    unsigned long layout_generation; // ft_generation() once its positions were recorded
    // The layout of tree (not NULL), built and recorded anew when tree or the
    // model changed since.
    const FTD_layout &current_layout();
    // Lets go of the layout and its memory.
    void drop_layout();
    // The lines the internal-error report shows for a node whose type is no
    // kind (drawn on screen as a laid-out root or below one, written to SVG
    // as a root or below one): fixed numbers of the report, not lines of any
    // file here.
    enum { LINE_DRAW_ROOT = 515, LINE_DRAW_NODE = 319, LINE_SVG_ROOT = 588, LINE_SVG_NODE = 400 };
    // The functions that draw (screen) and write (SVG) the symbol of a kind;
    // both NULL for FT_INVALID, which shows nothing.
    typedef void (FTD_canvas::*symbol_drawer)(int, int, const char *, const char *, const char *,
                                              const char *);
    typedef void (FTD_canvas::*symbol_writer)(FILE *, int, int, const char *, const char *,
                                              const char *, const char *);
    struct kind_symbol {
        symbol_drawer draw;
        symbol_writer write;
    };
    // The symbol functions of kind t. A value that is no kind ends the
    // program with the internal-error report naming line (one of the LINE_*
    // numbers above, as the caller met it).
    static kind_symbol symbol_of(ft_type t, int line);
    // Records every position of l in its element, in preorder.
    static void record_layout(const FTD_layout &l);
    // Stops the program when l holds a place drawn by a type that is no kind:
    // root_line for a laid-out root, line below it.
    static void check_kinds(const FTD_layout &l, int root_line, int line);
    // A new layout of e from origin, recorded; with a non-zero root_line its
    // kinds are checked first.
    static FTD_layout recorded_layout(ft_element *e, FTD_point origin, int as_root, int root_line,
                                      int line);

    // What a walk over a layout does at each place (see walk_layout).
    struct layout_visitor {
        virtual ~layout_visitor() {}
        // 1 when the place's subtree is to be visited at all.
        virtual int wanted(const FTD_place &) { return 1; }
        // The place's symbol; is_root: it is a laid-out root.
        virtual void node(const FTD_place &p, int is_root) = 0;
        virtual void connector(const FTD_place &parent, const FTD_place &child) = 0;
    };
    // Visits l in drawing order without recursion: a place, then for each
    // input in turn the input's whole subtree followed by the connector to
    // it. An unwanted subtree is skipped whole, its connector still visited.
    static void walk_layout(const FTD_layout &l, layout_visitor &v);
    // Draws l (screen) or writes it (SVG).
    void draw_layout(const FTD_layout &l);
    void write_layout(FILE *out, const FTD_layout &l);

    // Part of the drawing that the current draw() can touch, in tree units
    // (the clip region, widened by a few pixels for the frames).
    double view_x0, view_y0, view_x1, view_y1;
    // Sets the view from the clip region, within the 0..32767 pixel range.
    void compute_view();
    // 1 when the rectangle (tree units) meets the view.
    int in_view(double tx, double ty, double tw, double th);
    // The symbol and frames of one place.
    void draw_place(const FTD_place &p, int is_root);
    // fl_push_matrix, then the mapping from tree units to pixels.
    void push_tree_matrix();
    // Starts the symbol of a node at (x, y): its description box, then the
    // mapping from tree units (push_tree_matrix) with black for its lines.
    // The symbol ends with fl_pop_matrix.
    void begin_symbol(const char *desc, int x, int y);
    // A white box 15 units wide and h tall, centred on x, with a black
    // outline, then text fitted into it.
    void draw_filled_box(const char *text, double x, double top, double h);
};

#endif
