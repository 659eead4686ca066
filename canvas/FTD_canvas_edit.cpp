// Tree edits of the canvas: Edit and Insert through the node dialog, and
// Delete of the node drawn where the user last pressed.
//
// Every edit leaves a tree that layout, drawing, the page list, the selection
// and the SVG export can walk: removed elements stay in their parent's
// detached list (nothing is freed under a live pointer), and the selection
// and the page list drop elements that the tree no longer reaches.
#include "FTD_canvas.h"

#include <FL/Fl_Browser.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Window.H>

#include <unordered_set>
#include <vector>

#include "FTD_node_dlg.h"
#include "dialogs.h"

typedef std::unordered_set<const ft_element *> element_set;

// Loads e's values into a built dialog.
static void dialog_from_element(FTD_node_dlg &dlg, ft_element *e) {
    dlg.set_name(ft_get_name(e));
    dlg.set_desc(ft_get_desc(e));
    dlg.fill_inputs();
    dlg.type = ft_get_type(e);
    if (ft_type_known(dlg.type))
        dlg.type_choice->value(dlg.type);
    dlg.page = ft_get_page(e);
    if (dlg.page == FT_PAGE_ON)
        dlg.page_check->value(1);
    else if (dlg.page == FT_PAGE_OFF)
        dlg.page_check->value(0);
}

// Stores the values of a dialog ended with OK into e.
static void element_from_dialog(ft_element *e, const FTD_node_dlg &dlg) {
    ft_set_name(e, dlg.name);
    ft_set_desc(e, dlg.desc);
    ft_set_page(e, dlg.page);
    ft_set_type(e, static_cast<ft_type>(dlg.type));
}

int FTD_canvas::edit_selected(Fl_Browser *pages) {
    ft_element *e = selected_node;
    if (!e) {
        dlg_alert("Please Make a Selection!");
        return 0;
    }
    FTD_node_dlg dlg;
    dlg.make_window();
    dialog_from_element(dlg, e);
    if (dlg.run()) {
        // The type is stored before the page list refill, so that a refill
        // which shows the page tree again measures the node as it now is.
        element_from_dialog(e, dlg);
        if (pages && page_root)
            refresh_page_list(pages, dlg.page == FT_PAGE_ON);
    }
    redraw_area();
    return 1;
}

int FTD_canvas::insert_child() {
    ft_element *child = ft_init();
    ft_element *parent_node = select_at_mouse();
    FTD_node_dlg dlg;
    dlg.make_window();
    dlg.type_choice->value(0);
    if (dlg.run())
        element_from_dialog(child, dlg);
    if (!parent_node) {
        ft_free_tree(child, nullptr); // never attached: nothing else holds it
        return 0;
    }
    redraw_area();
    if (!ft_get_children(parent_node))
        ft_set_children(parent_node, ft_list_init());
    ft_add_child(parent_node, child);
    return 1;
}

// Takes the child at index out of p's list; the old list's elements go to
// p's detached list, so the removed one is still released with the tree.
static ft_element *remove_child(ft_element *p, int index) {
    ft_list *old = ft_get_children(p);
    ft_element *removed = ft_list_get(old, index);
    ft_list *kept = ft_list_init();
    int n = ft_list_get_size(old);
    for (int i = 0; i < n; i++)
        if (i != index)
            ft_list_cons(ft_list_get(old, i), kept);
    ft_set_children(p, kept);
    return removed;
}

/* Dropping what the tree no longer reaches. */

// Adds e and everything below it (all children lists, whatever the types)
// to seen.
static void collect(const ft_element *e, element_set &seen) {
    std::vector<const ft_element *> todo(1, e);
    while (!todo.empty()) {
        const ft_element *cur = todo.back();
        todo.pop_back();
        if (!cur || !seen.insert(cur).second || !cur->children)
            continue;
        int n = ft_list_get_size(cur->children);
        for (int i = 0; i < n; i++)
            todo.push_back(ft_list_get(cur->children, i));
    }
}

// Depth-first search for the Fl_Browser widgets inside group.
static void find_browsers(Fl_Group *group, std::vector<Fl_Browser *> &out) {
    for (int i = 0; i < group->children(); i++) {
        Fl_Widget *w = group->child(i);
        if (Fl_Browser *b = dynamic_cast<Fl_Browser *>(w))
            out.push_back(b);
        else if (w->as_group())
            find_browsers(w->as_group(), out);
    }
}

// 1 when a line of the browser carries an element of gone (compares the
// line data as pointers only).
static int lists_any(Fl_Browser *pages, const element_set &gone) {
    for (int line = 1; line <= pages->size(); line++)
        if (gone.count(static_cast<const ft_element *>(pages->data(line))))
            return 1;
    return 0;
}

// Removes from a page list every line (but the first, the list's root) whose
// element is in gone and not reachable from the list's root. Only a browser
// that lists a removed element is taken for a page list (whose line data are
// elements) and touched.
static void drop_page_lines(Fl_Browser *pages, const element_set &gone) {
    if (!lists_any(pages, gone))
        return;
    element_set live;
    if (gone.count(static_cast<const ft_element *>(pages->data(1))) == 0)
        collect(static_cast<const ft_element *>(pages->data(1)), live);
    for (int line = pages->size(); line > 1; line--) {
        const ft_element *e = static_cast<const ft_element *>(pages->data(line));
        if (gone.count(e) && !live.count(e))
            pages->remove(line);
    }
}

// After removed was taken out of the displayed tree: the selection and the
// page lists of the canvas's window let go of what is no longer reachable.
static void forget_removed(FTD_canvas *c, ft_element *removed) {
    element_set live, gone;
    collect(c->tree, live);
    collect(c->page_root, live);
    collect(removed, gone);
    for (const ft_element *e : live)
        gone.erase(e);
    if (c->selected_node && (c->selected_node == removed || gone.count(c->selected_node))) {
        c->selected_node->coord->selected = 0;
        c->selected_node = nullptr;
    }
    Fl_Window *top = c->window() ? c->window()->top_window() : nullptr;
    std::vector<Fl_Browser *> lists;
    if (top && !gone.empty())
        find_browsers(top, lists);
    for (Fl_Browser *pages : lists)
        drop_page_lines(pages, gone);
}

// Removes the input drawn at the point from the gate it hangs under there:
// the first place in preorder whose symbol contains the point. The displayed
// root itself is never removed.
int FTD_canvas::delete_at(int x, int y) {
    if (!tree)
        return 0;
    const std::vector<FTD_place> &places = current_layout(0).places;
    if (ft_coord_hit(x, y, ft_coord{places[0].pos.x, places[0].pos.y}))
        return 0;
    for (size_t i = 1; i < places.size(); i++) {
        if (!ft_coord_hit(x, y, ft_coord{places[i].pos.x, places[i].pos.y}))
            continue;
        const int parent = places[i].parent;
        int index = 0; // its position in the parent's list: the inputs before it
        for (int j = parent + 1; j < (int)i; j = places[j].end)
            index++;
        forget_removed(this, remove_child(places[parent].e, index));
        return 1;
    }
    return 0;
}

void FTD_canvas::delete_selected() {
    delete_at(click.x, click.y);
    redraw_area();
}
