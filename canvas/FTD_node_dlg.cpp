// The node dialog of the canvas's Edit and Insert commands.
#include "FTD_node_dlg.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>

#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "dialogs.h"
#include "saFaultTree.h"
#include "window_owner.h"

// The Type menu: item t is the label of kind t, so an item's index is its
// ft_type value; the zeroed item after them ends the menu.
static const std::array<Fl_Menu_Item, FT_TYPE_COUNT + 1> menu_type = [] {
    std::array<Fl_Menu_Item, FT_TYPE_COUNT + 1> items{};
    for (int t = 0; t < FT_TYPE_COUNT; ++t)
        items[t] = {ft_kinds[t].label, 0, 0, 0, 0, FL_NORMAL_LABEL, 0, 14, 0};
    return items;
}();

// A heap copy of text; NULL gives "".
static char *copy_text(const char *text) {
    if (!text)
        text = "";
    size_t n = strlen(text) + 1;
    char *out = static_cast<char *>(malloc(n));
    if (!out)
        abort();
    memcpy(out, text, n);
    return out;
}

FTD_node_dlg::FTD_node_dlg()
    : page(FT_PAGE_NONE), name(copy_text("")), desc(copy_text("")), ok(0), type(FT_INVALID) {}

FTD_node_dlg::~FTD_node_dlg() {
    free(name);
    free(desc);
    delete window;
}

Fl_Double_Window *FTD_node_dlg::make_window() {
    window = new Fl_Double_Window(345, 432, "Dialogue");
    window->user_data(this);
    page_check = new Fl_Check_Button(90, 270, 25, 25, "Page Flag:");
    page_check->down_box(FL_DOWN_BOX);
    page_check->align(FL_ALIGN_LEFT);
    Fl_Button *ok_button = new Fl_Button(230, 345, 60, 35, "OK");
    ok_button->callback(cb_OK);
    Fl_Button *cancel_button = new Fl_Button(70, 345, 70, 35, "Cancel");
    cancel_button->callback(cb_Cancel);
    type_choice = new Fl_Choice(85, 220, 200, 25, "Type:");
    type_choice->down_box(FL_BORDER_BOX);
    type_choice->menu(menu_type.data());
    name_input = new Fl_Input(85, 35, 200, 25, "Name:");
    desc_input = new Fl_Input(85, 75, 195, 115, "Description:");
    // The inputs take any name or description a node can carry, not just the
    // toolkit's default 32767 characters.
    name_input->maximum_size(INT_MAX / 2);
    desc_input->maximum_size(INT_MAX / 2);
    window->set_modal();
    window->resizable(window);
    window->end();
    return window;
}

void FTD_node_dlg::set_name(const char *text) {
    free(name);
    name = copy_text(text);
}

void FTD_node_dlg::set_desc(const char *text) {
    free(desc);
    desc = copy_text(text);
}

void FTD_node_dlg::fill_inputs() {
    name_input->value(name);
    desc_input->value(desc);
}

int FTD_node_dlg::run() {
    dlg_run_modal(window);
    return ok;
}

void FTD_node_dlg::on_ok() {
    if (!name_input->value()[0] || !desc_input->value()[0]) {
        dlg_alert("All fields should be filled");
        return;
    }
    set_name(name_input->value());
    set_desc(desc_input->value());
    type = type_choice->value() < 0 ? FT_INVALID : type_choice->value();
    page = page_check->value() ? FT_PAGE_ON : FT_PAGE_OFF;
    ok = 1;
    window->hide();
}

void FTD_node_dlg::on_cancel() {
    ok = 0;
    window->hide();
}

void FTD_node_dlg::cb_OK(Fl_Widget *w, void *data) {
    window_owner<FTD_node_dlg>(w)->cb_OK_i(w, data);
}

void FTD_node_dlg::cb_OK_i(Fl_Widget *, void *) {
    on_ok();
}

void FTD_node_dlg::cb_Cancel(Fl_Widget *w, void *data) {
    window_owner<FTD_node_dlg>(w)->cb_Cancel_i(w, data);
}

void FTD_node_dlg::cb_Cancel_i(Fl_Widget *, void *) {
    on_cancel();
}
