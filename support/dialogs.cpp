#include "dialogs.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>

#include <cstdarg>
#include <cstdio>

#include "toolkit_text.h"

static const dlg_responder *responder = nullptr;
static Fl_Font message_font = FL_HELVETICA;
static Fl_Fontsize message_size = 14;

void dlg_set_responder(const dlg_responder *r) {
    responder = r;
}

// Formats a printf-style argument list into a string of any length.
static std::string vformat(const char *fmt, va_list ap) {
    va_list copy;
    va_copy(copy, ap);
    int n = vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n < 0)
        return std::string();
    std::string out(static_cast<size_t>(n) + 1, '\0');
    vsnprintf(&out[0], out.size(), fmt, ap);
    out.resize(static_cast<size_t>(n));
    return out;
}

void dlg_alert(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string text = vformat(fmt, ap);
    va_end(ap);
    if (responder && responder->alert)
        responder->alert(text);
    else
        fl_alert("%s", toolkit_literal(text.c_str()).c_str());
}

int dlg_choice(const char *fmt, const char *b0, const char *b1, const char *b2, ...) {
    va_list ap;
    va_start(ap, b2);
    std::string text = vformat(fmt, ap);
    va_end(ap);
    if (responder && responder->choice)
        return responder->choice(text, b0, b1, b2);
    return fl_choice("%s", b0, b1, b2, toolkit_literal(text.c_str()).c_str());
}

const char *dlg_file_chooser(const char *message, const char *pattern, const char *fname,
                             int relative) {
    if (responder && responder->file_chooser)
        return responder->file_chooser(message, pattern, fname, relative);
    return fl_file_chooser(message, pattern, fname, relative);
}

void dlg_run_modal(Fl_Window *window) {
    window->show();
    if (responder && responder->modal) {
        responder->modal(window);
        window->hide();
    }
    while (window->shown())
        Fl::wait();
}

void dlg_message_font(Fl_Font font, Fl_Fontsize size) {
    message_font = font;
    message_size = size;
    fl_message_font(font, size);
}

Fl_Font dlg_last_message_font() {
    return message_font;
}
Fl_Fontsize dlg_last_message_size() {
    return message_size;
}
