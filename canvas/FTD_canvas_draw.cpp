// Screen drawing of the displayed tree.
//
// Draws the places of the kept layout whose extents can touch the clip
// region: symbols, frames and connectors. Shapes are drawn in tree units
// through the toolkit's matrix (translated by the widget position, scaled by
// zoom); texts are placed by the same mapping computed in pixels.
#include "FTD_canvas.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cfloat>
#include <new>

#include "toolkit_text.h"

// Pixels around every extent that a frame (4 pixels wide), a rounded line
// end or a glyph's overhang may cover.
static const double VIEW_MARGIN = 4.0;

void FTD_canvas::draw() {
    draw_box();
    if (!tree)
        return;
    try {
        const FTD_layout &l = current_layout();
        check_kinds(l, LINE_DRAW_ROOT, LINE_DRAW_NODE);
        draw_layout(l);
    } catch (const std::bad_alloc &) {
        // Without memory for its layout the tree is not drawn; the next
        // drawing tries again.
        drop_layout();
    }
}

// Paints the places whose extents meet the clip region, and the connectors;
// a subtree whose span misses it is skipped whole.
void FTD_canvas::draw_layout(const FTD_layout &l) {
    struct screen : layout_visitor {
        FTD_canvas *c;
        const FTD_place *last; // just past the layout's places
        // Everything drawn for a subtree lies in its span, widened by half a
        // symbol on either side, and at least one level tall.
        int wanted(const FTD_place &p) override {
            double left = p.pos.x - p.size.w / 2;
            return c->in_view(left - 7.5, p.pos.y, p.size.w + 15, std::max(p.size.h, 20));
        }
        void node(const FTD_place &p, int is_root) override {
            // A full view draws the places in array order: ask early for the
            // elements and frame flags that later places read, as on a large
            // tree they lie far apart in memory. The fitted redraw of the
            // draw benchmark's 10,000-gate tree takes 12 % longer without
            // (see bench/draw_bench.cpp).
            if (&p + 16 < last)
                __builtin_prefetch((&p + 16)->e);
            if (&p + 8 < last)
                __builtin_prefetch(&(&p + 8)->e->coord->selected);
            // The symbol, its boxes, label and frames lie within 7.5 units
            // of its centre (the frames' pixels are the view's margin); the
            // connectors are drawn on their own.
            if (c->in_view(p.pos.x - 7.5, p.pos.y, 15, 20))
                c->draw_place(p, is_root);
        }
        void connector(const FTD_place &parent, const FTD_place &child) override {
            c->draw_connector(parent.pos.x, parent.pos.y, child.pos.x, child.pos.y);
        }
    } v;
    v.c = this;
    v.last = l.places.data() + l.places.size();
    compute_view();
    walk_layout(l, v);
}

FTD_point FTD_canvas::draw_root(ft_element *root, FTD_point origin) {
    FTD_layout l = recorded_layout(root, origin, 1, LINE_DRAW_ROOT, LINE_DRAW_NODE);
    draw_layout(l);
    return l.places[0].pos;
}

FTD_point FTD_canvas::draw_subtree(ft_element *e, FTD_point origin) {
    FTD_layout l = recorded_layout(e, origin, 0, LINE_DRAW_NODE, LINE_DRAW_NODE);
    draw_layout(l);
    return l.places[0].pos;
}

// The clip region's bounding box, never wider than the pixel range the
// window system takes, turned into tree units.
void FTD_canvas::compute_view() {
    int X, Y, W, H;
    fl_clip_box(0, 0, 32767, 32767, X, Y, W, H);
    if (!(zoom > 0) || zoom > FLT_MAX) {
        view_x0 = view_y0 = view_x1 = view_y1 = 0;
        return;
    }
    view_x0 = (X - VIEW_MARGIN - x()) / zoom;
    view_y0 = (Y - VIEW_MARGIN - y()) / zoom;
    view_x1 = (X + W + VIEW_MARGIN - x()) / zoom;
    view_y1 = (Y + H + VIEW_MARGIN - y()) / zoom;
}

int FTD_canvas::in_view(double tx, double ty, double tw, double th) {
    return tx <= view_x1 && tx + tw >= view_x0 && ty <= view_y1 && ty + th >= view_y0;
}

void FTD_canvas::push_tree_matrix() {
    fl_push_matrix();
    fl_translate(x(), y());
    fl_scale(zoom);
}

// A page gate below the root is a transfer symbol; any other node is drawn
// by its type (nothing, and no frames, for FT_INVALID).
void FTD_canvas::draw_place(const FTD_place &p, int is_root) {
    ft_element *e = p.e;
    const int x = p.pos.x, y = p.pos.y;
    if (!is_root && ft_get_page(e) == FT_PAGE_ON) {
        draw_transfer(x, y, ft_get_name(e), ft_get_desc(e));
        draw_marks(e, p.pos);
        return;
    }
    symbol_drawer draw_symbol =
        symbol_of(ft_get_type(e), is_root ? LINE_DRAW_ROOT : LINE_DRAW_NODE).draw;
    if (draw_symbol == nullptr)
        return;
    (this->*draw_symbol)(x, y, ft_get_name(e), ft_get_desc(e), ft_get_prob(e),
                         ft_get_criticality(e));
    draw_marks(e, p.pos);
}

/* Symbols. Points are relative to the node position (x, y). */

void FTD_canvas::begin_symbol(const char *desc, int x, int y) {
    draw_desc_box(desc, x, y);
    push_tree_matrix();
    fl_color(FL_BLACK);
}

static void line2(double x0, double y0, double x1, double y1) {
    fl_begin_line();
    fl_vertex(x0, y0);
    fl_vertex(x1, y1);
    fl_end_line();
}

static void arc_line(double x, double y, double r, double a0, double a1) {
    fl_begin_line();
    fl_arc(x, y, r, a0, a1);
    fl_end_line();
}

// The upper half circle and the stem shared by the AND, PAND and OR gates.
static void gate_top(double x, double y) {
    line2(x, y + 6, x, y + 8);
    arc_line(x, y + 11, 3, 0, 180);
}

static void and_body(double x, double y) {
    gate_top(x, y);
    fl_begin_line();
    fl_vertex(x - 3, y + 11);
    fl_vertex(x - 3, y + 15);
    fl_vertex(x + 3, y + 15);
    fl_vertex(x + 3, y + 11);
    fl_end_line();
}

// 1 when a text box of bw by bh tree units spans a pixel or more each way
// (as draw_fitted_text computes it); a smaller box shows no text, so its
// label need not be built.
static int box_has_pixels(const FTD_canvas *c, float bw, float bh) {
    return (int)(c->zoom * bw) >= 1 && (int)(c->zoom * bh) >= 1;
}

void FTD_canvas::draw_basic(int x, int y, const char *name, const char *desc, const char *prob,
                            const char *crit) {
    begin_symbol(desc, x, y);
    line2(x, y + 6, x, y + 7);
    arc_line(x, y + 11, 4, 0, 360);
    fl_pop_matrix();
    draw_name_box(name, x, y + 10);
    if (show_prob == 1 && box_has_pixels(this, 15, 6))
        draw_fitted_text(make_label(name, prob, crit).c_str(), x - 7.5f, y + 14, 15, 6);
}

// The name box or, with labels shown, the probability box at prob_top (its
// label built only when the box can show text).
static void gate_text(FTD_canvas *c, int x, double prob_top, const char *name, const char *prob,
                      const char *crit, int y) {
    if (c->show_prob == 1)
        c->draw_prob_box(box_has_pixels(c, 15, 4) ? FTD_canvas::make_label(name, prob, crit).c_str()
                                                  : "",
                         x, prob_top);
    else
        c->draw_name_box(name, x, y + 10.5);
}

void FTD_canvas::draw_and(int x, int y, const char *name, const char *desc, const char *prob,
                          const char *crit) {
    begin_symbol(desc, x, y);
    and_body(x, y);
    fl_pop_matrix();
    gate_text(this, x, y + 10, name, prob, crit, y);
}

void FTD_canvas::draw_pand(int x, int y, const char *name, const char *desc, const char *prob,
                           const char *crit) {
    begin_symbol(desc, x, y);
    and_body(x, y);
    fl_begin_line();
    fl_vertex(x + 3, y + 15);
    fl_vertex(x, y + 8);
    fl_vertex(x - 3, y + 15);
    fl_end_line();
    fl_pop_matrix();
    gate_text(this, x, y + 10, name, prob, crit, y);
}

void FTD_canvas::draw_or(int x, int y, const char *name, const char *desc, const char *prob,
                         const char *crit) {
    begin_symbol(desc, x, y);
    gate_top(x, y);
    line2(x - 3, y + 11, x - 3, y + 15);
    line2(x + 3, y + 11, x + 3, y + 15);
    arc_line(x, y + 24, 9.486, 71.565, 108.435);
    line2(x, y + 14.5, x, y + 15);
    fl_pop_matrix();
    gate_text(this, x, y + 9.5, name, prob, crit, y);
}

void FTD_canvas::draw_null(int x, int y, const char *name, const char *desc, const char *prob,
                           const char *crit) {
    begin_symbol(desc, x, y);
    line2(x, y + 6, x, y + 10.5);
    line2(x, y + 12.5, x, y + 15);
    fl_pop_matrix();
    gate_text(this, x, y + 10.5, name, prob, crit, y);
}

void FTD_canvas::draw_transfer(int x, int y, const char *name, const char *desc) {
    begin_symbol(desc, x, y);
    line2(x, y + 6, x, y + 8);
    fl_color(FL_WHITE);
    fl_begin_polygon();
    fl_vertex(x, y + 8);
    fl_vertex(x - 3, y + 15);
    fl_vertex(x + 3, y + 15);
    fl_end_polygon();
    fl_color(FL_BLACK);
    fl_begin_line();
    fl_vertex(x, y + 8);
    fl_vertex(x - 3, y + 15);
    fl_vertex(x + 3, y + 15);
    fl_vertex(x, y + 8);
    fl_end_line();
    fl_pop_matrix();
    draw_name_box(name, x, y + 10.5);
}

/* Connectors. */

// Clamps the segment [*a, *b] (a <= b) to [lo, hi]; 0 when nothing is left.
static int clamp_span(double *a, double *b, double lo, double hi) {
    if (*b < lo || *a > hi)
        return 0;
    *a = std::max(*a, lo);
    *b = std::min(*b, hi);
    return 1;
}

// One axis-parallel segment, cut to the view so that its pixel coordinates
// stay within the window system's range.
static void view_segment(double x0, double y0, double x1, double y1, const double v[4]) {
    double ax = std::min(x0, x1), bx = std::max(x0, x1);
    double ay = std::min(y0, y1), by = std::max(y0, y1);
    if (!clamp_span(&ax, &bx, v[0], v[2]) || !clamp_span(&ay, &by, v[1], v[3]))
        return;
    line2(ax, ay, bx, by);
}

// An elbow from the parent's bottom to the input's top: down half way, across,
// down. Drawn whole when it lies in the view, else as its clamped segments.
void FTD_canvas::draw_connector(int px, int py, int cx, int cy) {
    double m = (py + 15) + (cy - (py + 15)) / 2.0;
    double lx = std::min(px, cx), rx = std::max(px, cx);
    double ty = std::min<double>(py + 15, cy), by = std::max<double>(py + 15, cy);
    if (!in_view(lx, ty, rx - lx, by - ty))
        return;
    push_tree_matrix();
    fl_color(FL_BLACK);
    if (lx >= view_x0 && rx <= view_x1 && ty >= view_y0 && by <= view_y1) {
        fl_begin_line();
        fl_vertex(px, py + 15);
        fl_vertex(px, m);
        fl_vertex(cx, m);
        fl_vertex(cx, cy);
        fl_end_line();
    } else {
        const double v[4] = {view_x0, view_y0, view_x1, view_y1};
        view_segment(px, py + 15, px, m, v);
        view_segment(px, m, cx, m, v);
        view_segment(cx, m, cx, cy, v);
    }
    fl_pop_matrix();
}

/* Boxes and texts. */

static void rect_outline(double l, double t, double w, double h) {
    fl_begin_line();
    fl_vertex(l, t);
    fl_vertex(l + w, t);
    fl_vertex(l + w, t + h);
    fl_vertex(l, t + h);
    fl_vertex(l, t);
    fl_end_line();
}

void FTD_canvas::draw_filled_box(const char *text, double x, double top, double h) {
    push_tree_matrix();
    fl_color(FL_WHITE);
    fl_begin_polygon();
    fl_vertex(x - 7.5, top);
    fl_vertex(x + 7.5, top);
    fl_vertex(x + 7.5, top + h);
    fl_vertex(x - 7.5, top + h);
    fl_end_polygon();
    fl_color(FL_BLACK);
    rect_outline(x - 7.5, top, 15, h);
    fl_pop_matrix();
    draw_fitted_text(text, (float)(x - 7.5), (float)top, 15, (float)h);
}

void FTD_canvas::draw_desc_box(const char *text, int x, int y) {
    push_tree_matrix();
    fl_color(FL_BLACK);
    rect_outline(x - 7.5, y, 15, 6);
    fl_pop_matrix();
    draw_fitted_text(text, x - 7.5f, y, 15, 6);
}

void FTD_canvas::draw_name_box(const char *text, double x, double top) {
    draw_filled_box(text, x, top, 2.5);
}

void FTD_canvas::draw_prob_box(const char *text, double x, double top) {
    draw_filled_box(text, x, top, 4);
}

// Pixel size of the font for size factor f (product taken in double, then
// truncated, so 10 x 1.4f gives 13).
static int font_pixels(float zoom, float f) {
    return (int)((double)zoom * (double)f);
}

// Largest size factor from 1.5 down in steps of 0.1 at which the text fits
// W by H pixels, at 1 pixel or more; 0 when none fits. mw and mh receive the
// measurement at that size.
static float fit_factor(const char *text, float zoom, int W, int H, int &mw, int &mh) {
    for (float f = 1.5f; f >= 0 && font_pixels(zoom, f) >= 1; f -= 0.1f) {
        fl_font(FL_HELVETICA, font_pixels(zoom, f));
        mw = W;
        mh = H;
        fl_measure(text, mw, mh, 1);
        if (mw <= W && mh <= H)
            return f;
    }
    return 0;
}

// The text at the largest tried size that fits the box, centred in it, every
// '@' shown as written. A box off the view or under one pixel is skipped
// without measuring; a text that fits at no size of a pixel or more is not
// drawn, and neither is one with more glyphs than the toolkit takes at once
// (twice what a box shows of ordinary text; glyphs that take no width would
// let it fit).
void FTD_canvas::draw_fitted_text(const char *text, float bx, float by, float bw, float bh) {
    if (!in_view(bx, by, bw, bh))
        return;
    int W = (int)(zoom * bw), H = (int)(zoom * bh);
    if (W < 1 || H < 1 || !text || text[toolkit_fit(text)])
        return;
    const std::string shown = toolkit_literal(text);
    text = shown.c_str();
    int mw = 0, mh = 0;
    float f = fit_factor(text, zoom, W, H, mw, mh);
    if (f == 0)
        return;
    fl_font(FL_HELVETICA, font_pixels(zoom, f));
    fl_measure(text, mw, mh, 1);
    if (mw > 1.5 * W || mh > 1.5 * H)
        return;
    int X = (int)(x() + (double)zoom * bx + (W - mw) / 2.0);
    int Y = (int)(y() + (double)zoom * by + (H - mh) / 2.0);
    fl_draw(text, X, Y, mw, mh, FL_ALIGN_WRAP, nullptr, 1);
}

/* Frames. */

// Red frame when e is selected (solid and 4 pixels wide where the last press
// lies inside this place, else dashed), green when highlighted. The frame
// goes where e is drawn now, also when the element had no room left to
// record this place.
void FTD_canvas::draw_marks(ft_element *e, FTD_point pos) {
    if (e->coord->selected != 1 && e->coord->highlighted != 1)
        return; // no frame
    ft_coord p;
    p.x = pos.x;
    p.y = pos.y;
    push_tree_matrix();
    if (e->coord->selected == 1) {
        fl_color(FL_RED);
        if (ft_coord_hit(click.x, click.y, p))
            fl_line_style(FL_SOLID, 4, nullptr);
        else
            fl_line_style(FL_DASH, 1, nullptr);
        rect_outline(p.x - 7.5, p.y, 15, 15);
        fl_line_style(FL_SOLID, 0, nullptr);
    }
    if (e->coord->highlighted == 1) {
        fl_color(FL_GREEN);
        fl_line_style(FL_SOLID, 4, nullptr);
        rect_outline(p.x - 7.5, p.y, 15, 15);
        fl_line_style(FL_SOLID, 0, nullptr);
    }
    fl_pop_matrix();
}
