// The node dialog ("Dialogue"): name, description, type and page flag of one
// fault-tree node, collected for the canvas's Edit and Insert commands.
#ifndef FTD_NODE_DLG_H
#define FTD_NODE_DLG_H

class Fl_Double_Window;
class Fl_Check_Button;
class Fl_Choice;
class Fl_Input;
class Fl_Widget;

class FTD_node_dlg {
  public:
    Fl_Double_Window *window = nullptr; // "Dialogue"; user data = this; owned
    Fl_Check_Button *page_check = nullptr;
    Fl_Choice *type_choice = nullptr; // item index = ft_type value
    Fl_Input *name_input = nullptr;
    Fl_Input *desc_input = nullptr;
    short page; // after OK: FT_PAGE_ON when ticked, FT_PAGE_OFF when not
    char *name; // own copy, any length; "" until set
    char *desc; // own copy, any length; "" until set
    int ok;     // 1 after OK, 0 after Cancel or closing
    int type;   // ft_type value; after OK the chosen item's index

    // name and desc empty, ok 0, page FT_PAGE_NONE, type FT_INVALID.
    FTD_node_dlg();
    // Releases the two strings and the window, if built.
    ~FTD_node_dlg();
    FTD_node_dlg(const FTD_node_dlg &) = delete;
    FTD_node_dlg &operator=(const FTD_node_dlg &) = delete;

    // Builds the modal window with its widgets (not shown) and returns it.
    Fl_Double_Window *make_window();
    // Replaces name or desc by a copy of text (NULL counts as ""). Cannot fail
    // short of memory.
    void set_name(const char *text);
    void set_desc(const char *text);
    // Sets the Name and Description inputs to name and desc.
    void fill_inputs();
    // Shows the window through the dialog seam and serves events until it is
    // hidden; returns ok.
    int run();

    // OK: alerts "All fields should be filled" and stays open when an input
    // is empty; otherwise copies the inputs, type and page, sets ok and hides.
    void on_ok();
    // Cancel: ok = 0 and hides the window.
    void on_cancel();

    static void cb_OK(Fl_Widget *w, void *data);
    void cb_OK_i(Fl_Widget *w, void *data);
    static void cb_Cancel(Fl_Widget *w, void *data);
    void cb_Cancel_i(Fl_Widget *w, void *data);
};

#endif
