// Tree edits of the canvas: Edit and Insert through the node dialog, and
// Delete of the node drawn where the user last pressed.
//
// Every edit leaves a tree that layout, drawing, the page list, the selection
// and the SVG export can walk: removed elements stay in their parent's
// detached list (nothing is freed under a live pointer), and the selection
// and the page list drop elements that the tree no longer reaches.
#include "FTD_canvas.h"

#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>

#include <vector>

#include "FTD_node_dlg.h"
#include "dialogs.h"

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

void FTD_canvas::forget_removed(ft_element *removed) {
    element_set live, gone;
    collect(tree, live);
    collect(page_root, live);
    collect(removed, gone);
    for (const ft_element *e : live)
        gone.erase(e);
    if (selected_node && (selected_node == removed || gone.count(selected_node))) {
        selected_node->coord->selected = 0;
        selected_node = nullptr;
    }
    if (page_list && !gone.empty())
        drop_page_lines(page_list, gone);
}

// Removes the input drawn at the point from the gate it hangs under there:
// the first place in preorder whose symbol contains the point. The displayed
// root itself is never removed.
int FTD_canvas::delete_at(int x, int y) {
    if (!tree)
        return 0;
    const std::vector<FTD_place> &places = current_layout().places;
    if (ft_coord_hit(x, y, ft_coord{places[0].pos.x, places[0].pos.y}))
        return 0;
    for (size_t i = 1; i < places.size(); i++) {
        if (!ft_coord_hit(x, y, ft_coord{places[i].pos.x, places[i].pos.y}))
            continue;
        const int parent = places[i].parent;
        int index = 0; // its position in the parent's list: the inputs before it
        for (int j = parent + 1; j < (int)i; j = places[j].end)
            index++;
        forget_removed(remove_child(places[parent].e, index));
        return 1;
    }
    return 0;
}

void FTD_canvas::delete_selected() {
    delete_at(click.x, click.y);
    redraw_area();
}
