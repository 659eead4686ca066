// Tree edits of the canvas: edit, insert and delete of displayed nodes.
#include "FTD_canvas.h"

#include <FL/Fl_Browser.H>

int FTD_canvas::edit_selected(Fl_Browser *pages) {
    (void)pages;
    return 0;
}

int FTD_canvas::insert_child() { return 0; }

void FTD_canvas::delete_selected() {}

int FTD_canvas::delete_at(int x, int y) {
    (void)x;
    (void)y;
    return 0;
}
