#include "toolkit_text.h"

#include <FL/Fl_Browser.H>

std::string toolkit_literal(const char *text) {
    std::string out;
    for (const char *p = text; *p; p++) {
        out += *p;
        if (*p == '@')
            out += '@';
    }
    return out;
}

std::string toolkit_browser_line(const Fl_Browser *b, const char *text) {
    const char code = b->format_char();
    int splits = 0; // column characters that start a column of their own
    for (const int *w = b->column_widths(); *w; w++)
        splits++;
    std::string line;
    bool column_start = true;
    for (size_t i = 0; text[i]; i++) {
        if (column_start && code && text[i] == code)
            line += code;
        line += text[i];
        column_start = text[i] == b->column_char() && splits > 0;
        if (column_start)
            splits--;
    }
    return line;
}
