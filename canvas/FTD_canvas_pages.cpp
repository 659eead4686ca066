// The page list beside the canvas: filled from a root by one function (for a
// load and for a refill from the page tree), and kept in step when a deletion
// takes elements out of the tree. Every line is added through add_page_line
// and carries its element as the line's data.
#include "FTD_canvas.h"

#include <FL/Fl_Browser.H>

#include <memory>
#include <vector>

#include "toolkit_text.h"

void FTD_canvas::add_page_line(Fl_Browser *pages, ft_element *e) {
    pages->add(toolkit_browser_line(pages, ft_get_name(e)).c_str(), e);
}

void FTD_canvas::fill_page_list(Fl_Browser *pages, ft_element *root, int with_root) {
    pages->clear();
    if (!root)
        return;
    if (with_root)
        add_page_line(pages, root);
    std::unique_ptr<ft_list, void (*)(ft_list *)> list(ft_list_init(), ft_list_free);
    ft_list *found = list.get();
    ft_get_pages(root, found); // may throw std::bad_alloc: list is freed all the same
    for (ft_list *chunk = found; chunk; chunk = chunk->next)
        for (int i = 0; i <= chunk->last; i++)
            add_page_line(pages, chunk->items[i]);
}

// Refills the list with the page gates under page_root (page_root first when
// it is a page). Without a page tree the list is only emptied.
void FTD_canvas::refresh_page_list(Fl_Browser *pages, int keep) {
    fill_page_list(pages, page_root, 0);
    if (!page_root || keep)
        return;
    pages->value(1);
    set_tree(page_root);
    redraw_area();
}

void FTD_canvas::set_page_list(Fl_Browser *pages) {
    page_list = pages;
}

void FTD_canvas::collect(const ft_element *e, element_set &seen) {
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

void FTD_canvas::drop_page_lines(Fl_Browser *pages, const element_set &gone) {
    auto element = [pages](int line) { return static_cast<const ft_element *>(pages->data(line)); };
    element_set reached; // from the first line's element, walked once a line needs it
    int walked = 0;
    for (int line = pages->size(); line > 1; line--) {
        const ft_element *e = element(line);
        if (!gone.count(e))
            continue;
        if (!walked++ && !gone.count(element(1)))
            collect(element(1), reached);
        if (!reached.count(e))
            pages->remove(line);
    }
}
