// The canvas widget: construction, display state, presses and selection,
// highlight and labels.
#include "FTD_canvas.h"

#include <FL/Fl.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Scroll.H>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>
#include <vector>

FTD_canvas::FTD_canvas(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {
    init_state();
}

FTD_canvas::FTD_canvas(int x, int y, int w, int h, const char *label)
    : Fl_Widget(x, y, w, h, label) {
    init_state();
}

FTD_canvas::~FTD_canvas() {
    delete tree_size;
}

void FTD_canvas::init_state() {
    align(FL_ALIGN_TOP);
    box(FL_FLAT_BOX);
    color(FL_WHITE);
    zoom = 0;
    max_zoom = 0;
    tree_size = nullptr;
    tree = nullptr;
    page_root = nullptr;
    show_prob = 1;
    click.x = 0;
    click.y = 0;
    selected_node = nullptr;
    layout.as_root = 1;
    layout.no_kind = -1;
    layout_root = nullptr;
    layout_generation = 0;
    view_x0 = view_y0 = -DBL_MAX;
    view_x1 = view_y1 = DBL_MAX;
}

void FTD_canvas::fit_zoom(FTD_size s) {
    if (!tree_size)
        tree_size = new FTD_size;
    *tree_size = s;
    double tw = s.w + 20.0, th = s.h + 20.0;
    zoom = (float)std::min(w() / tw, h() / th);
    max_zoom = (float)std::min(32767.0 / tw, 32767.0 / th);
}

// The layout is built and recorded here, once, for the zoom and for the
// drawings to come.
void FTD_canvas::set_tree(ft_element *root) {
    tree = root;
    selected_node = nullptr;
    if (root) {
        try {
            fit_zoom(current_layout().places[0].size);
            return;
        } catch (const std::bad_alloc &) {
            tree = nullptr; // a tree without its layout is not shown
            drop_layout();
            throw;
        }
    }
    drop_layout(); // a closed tree's layout is not kept
}

void FTD_canvas::drop_layout() {
    layout_root = nullptr;
    std::vector<FTD_place>().swap(layout.places);
}

void FTD_canvas::set_page_tree(ft_element *root) {
    page_root = root;
    if (!root)
        return;
    ft_set_page(root, FT_PAGE_ON);
    fit_zoom(root == tree ? current_layout().places[0].size : children_size(root));
}

int FTD_canvas::show_probability() {
    return show_prob;
}

void FTD_canvas::set_show_probability(int on) {
    show_prob = on;
    redraw();
}

ft_element *FTD_canvas::selected() {
    return selected_node;
}

int FTD_canvas::handle(int event) {
    if (event != FL_PUSH)
        return Fl_Widget::handle(event);
    select_at_mouse();
    do_callback();
    return 1;
}

// Selects the node under the mouse of the current event; exactly one element
// of the displayed tree is flagged afterwards, or none.
ft_element *FTD_canvas::select_at_mouse() {
    int xpos = 0, ypos = 0;
    Fl_Scroll *scroll = dynamic_cast<Fl_Scroll *>(parent());
    if (scroll) {
        xpos = scroll->xposition();
        ypos = scroll->yposition();
    }
    ft_element *hit = select_at(Fl::event_x(), Fl::event_y(), xpos, ypos);
    if (hit) {
        clear_selection();
        hit->coord->selected = 1;
    }
    selected_node = hit;
    redraw_area();
    return hit;
}

void FTD_canvas::redraw_area() {
    if (parent())
        parent()->redraw();
    else
        redraw();
}

static int zoom_usable(float z) {
    return std::isfinite(z) && z > 0;
}

ft_element *FTD_canvas::select_at(int x, int y, int xpos, int ypos) {
    click = to_tree_coords(x, y, xpos, ypos);
    ft_element *hit = zoom_usable(zoom) ? ft_find_at(tree, click.x, click.y) : nullptr;
    if (!hit) {
        clear_selection();
        return nullptr;
    }
    hit->coord->selected = 1;
    return hit;
}

// A pixel distance in tree units, truncated toward zero and kept within the
// int range.
static int to_units(long pixels, float z) {
    float v = std::trunc((float)pixels / z);
    return (int)std::max(-1e9f, std::min(1e9f, v));
}

// The canvas's left edge moves with the scroll offsets, so the scroll area's
// own left edge is x() + xpos; the press is taken relative to it.
FTD_point FTD_canvas::to_tree_coords(int x, int y, int xpos, int ypos) {
    FTD_point p;
    p.x = 0;
    p.y = 0;
    if (!zoom_usable(zoom))
        return p;
    long x0 = (long)this->x() + xpos, y0 = (long)this->y() + ypos;
    p.x = to_units((long)x + xpos - x0, zoom);
    p.y = to_units((long)y + ypos - y0, zoom);
    return p;
}

// Pushes the inputs of e onto todo.
static void push_inputs(ft_element *e, std::vector<ft_element *> &todo) {
    if (ft_has_children(e))
        for (ft_list *chunk = ft_get_children(e); chunk; chunk = chunk->next)
            todo.insert(todo.end(), chunk->items, chunk->items + chunk->last + 1);
}

// Flags are written only where set, so that the positions block of an
// element never drawn keeps its untouched memory.
static void unselect(ft_element *e, void *) {
    if (e->coord->selected != 0)
        e->coord->selected = 0;
}

static void unhighlight(ft_element *e, void *) {
    if (e->coord->highlighted != 0)
        e->coord->highlighted = 0;
}

void FTD_canvas::clear_selection() {
    clear_selection(tree);
}

// Each element below e once, however many paths lead to it.
int FTD_canvas::clear_selection(ft_element *e) {
    ft_walk_once(e, unselect, nullptr);
    return e ? 0 : 1;
}

void FTD_canvas::highlight_by_name(const char *name) {
    highlight_by_name(tree, name);
}

// Marks the first element of that name under e, then does the same under
// each of that element's inputs.
int FTD_canvas::highlight_by_name(ft_element *e, const char *name) {
    std::vector<ft_element *> todo(1, e);
    while (!todo.empty()) {
        ft_element *match = ft_find_by_name(todo.back(), name);
        todo.pop_back();
        if (!match)
            continue;
        match->coord->highlighted = 1;
        push_inputs(match, todo);
    }
    return 0;
}

void FTD_canvas::clear_highlight() {
    clear_highlight(tree);
}

int FTD_canvas::clear_highlight(ft_element *e) {
    ft_walk_once(e, unhighlight, nullptr);
    return e ? 0 : 1;
}

std::string FTD_canvas::make_label(const char *name, const char *prob, const char *crit) {
    std::string label(name ? name : "");
    if (prob)
        label.append("\nP = ").append(prob);
    if (crit)
        label.append("\nC = ").append(crit);
    return label;
}
