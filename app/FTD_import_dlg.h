// The "FaultTree+ Import" dialog: asks for the events file and the gates file
// of a FaultTree+ export.
#ifndef FTD_IMPORT_DLG_H
#define FTD_IMPORT_DLG_H

#include <string>

class Fl_Window;
class Fl_Widget;
class Fl_Input;
class Fl_Button;
class Fl_Return_Button;

class FTD_import_dlg {
  public:
    int result;        // 1 after OK, else 0
    char *events_path; // the caller's events buffer (FTD_PATH_MAX bytes); not owned
    char *gates_path;  // the caller's gates buffer; not owned
    Fl_Window *window; // owned; deleted with the dialog
    Fl_Input *events_input;
    Fl_Button *events_choose;
    Fl_Input *gates_input;
    Fl_Button *gates_choose;
    Fl_Button *cancel_button;
    Fl_Return_Button *ok_button;
    // The two names accepted by OK, whole, whatever their length.
    std::string events_name;
    std::string gates_name;

    // Keeps the two buffers; result 0; builds no widget.
    FTD_import_dlg(char *events_buf, char *gates_buf);
    // Deletes the window, if made.
    ~FTD_import_dlg();
    FTD_import_dlg(const FTD_import_dlg &) = delete;
    FTD_import_dlg &operator=(const FTD_import_dlg &) = delete;

    // Builds the modal window with empty fields; does not show it.
    Fl_Window *make_window();

    static void cb_choose_events(Fl_Widget *o, void *v);
    void cb_choose_events_i(Fl_Widget *o, void *v);
    static void cb_choose_gates(Fl_Widget *o, void *v);
    void cb_choose_gates_i(Fl_Widget *o, void *v);
    static void cb_Cancel(Fl_Widget *o, void *v);
    void cb_Cancel_i(Fl_Widget *o, void *v);
    static void cb_OK(Fl_Widget *o, void *v);
    void cb_OK_i(Fl_Widget *o, void *v);

    // Both names given: keeps them, copies each that fits into its buffer,
    // result 1, hides the window. Otherwise alerts and stays open.
    void on_ok();
    // Result 0, hides the window.
    void on_cancel();
    // A file chooser for "*.txt" into the events or the gates field; a
    // cancelled chooser empties the field.
    void on_choose_events();
    void on_choose_gates();
};

#endif
