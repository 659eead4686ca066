// The one seam in front of the modal dialogs.
//
// Every alert, question, file chooser and modal window of the program goes
// through these functions. By default they call fl_alert, fl_choice,
// fl_file_chooser and fl_message_font, and serve a modal window until the
// user closes it. A test installs a responder and answers instead, so no
// test ever waits on a modal window. The toolkit's dialogs show the texts as
// written: an '@' in a path or a message is no symbol code.
#ifndef FTD_DIALOGS_H
#define FTD_DIALOGS_H

#include <FL/Enumerations.H>

#include <functional>
#include <string>

class Fl_Window;

// What a test answers in place of the user. Unset members fall back to the
// toolkit's own dialog.
struct dlg_responder {
    // Receives the formatted alert text.
    std::function<void(const std::string &text)> alert;
    // Receives the formatted question and the three button labels (NULL for
    // no button); returns the chosen button's index (0, 1 or 2).
    std::function<int(const std::string &text, const char *b0, const char *b1, const char *b2)>
        choice;
    // Receives message, pattern, start name and the relative flag; returns the
    // chosen file name or NULL for a cancelled chooser. The text must stay
    // valid until the next call.
    std::function<const char *(const char *message, const char *pattern, const char *fname,
                               int relative)>
        file_chooser;
    // Receives a modal window of the program just shown (its owner object is
    // its user data) and answers it: fills its fields, presses its buttons.
    // A window it leaves shown is then hidden, as when the user closes it.
    std::function<void(Fl_Window *window)> modal;
};

// Installs a responder; NULL goes back to the toolkit's dialogs. The pointer
// is kept, not copied. Cannot fail.
void dlg_set_responder(const dlg_responder *r);

// printf-style alert (fl_alert). The formatted text has no length limit.
void dlg_alert(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// printf-style question with up to three buttons (fl_choice); returns 0, 1 or 2.
int dlg_choice(const char *fmt, const char *b0, const char *b1, const char *b2, ...)
    __attribute__((format(printf, 1, 5)));

// File chooser (fl_file_chooser); NULL when the user cancelled.
const char *dlg_file_chooser(const char *message, const char *pattern, const char *fname,
                             int relative);

// Shows the modal window and serves events until it is hidden (the user
// answered or closed it). Cannot fail.
void dlg_run_modal(Fl_Window *window);

// Font of the standard dialogs (fl_message_font); always forwarded to the
// toolkit, and remembered for tests.
void dlg_message_font(Fl_Font font, Fl_Fontsize size);
Fl_Font dlg_last_message_font();
Fl_Fontsize dlg_last_message_size();

#endif
