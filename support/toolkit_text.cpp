#include "toolkit_text.h"

#include <FL/Fl_Browser.H>
#include <FL/fl_draw.H>
#include <FL/fl_utf8.h>

#include <cstring>

// Glyphs the toolkit draws for character c.
static size_t glyphs_of(unsigned c) {
    if (c == '\t')
        return 8;
    if (c < ' ' || c == 127)
        return 2;
    return 1;
}

// Pixels that character c takes at most in the current font, drawn as the
// glyphs glyphs_of counts.
static double width_of(unsigned c) {
    if (c == '\t')
        return 8 * fl_width(' ');
    if (c < ' ' || c == 127)
        return fl_width('^') + fl_width(c ^ 0x40);
    return fl_width(c);
}

// The bytes of the longest start of text within TOOLKIT_MAX_GLYPHS glyphs
// and, with measure, within TOOLKIT_MAX_WIDTH pixels in the current font:
// one pass, each character decoded and measured once.
static size_t fit(const char *text, bool measure) {
    size_t at = 0, glyphs = 0;
    double width = 0;
    while (text[at]) {
        int len = 1;
        const char *p = text + at;
        unsigned c = fl_utf8decode(p, p + strnlen(p, 4), &len);
        glyphs += glyphs_of(c);
        if (measure)
            width += width_of(c);
        if (glyphs > TOOLKIT_MAX_GLYPHS || width > TOOLKIT_MAX_WIDTH)
            break;
        at += len;
    }
    return at;
}

size_t toolkit_fit(const char *text) {
    return fit(text, false);
}

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
    fl_font(b->textfont(), b->textsize());
    const size_t n = fit(text, true);
    for (size_t i = 0; i < n; i++) {
        if (column_start && code && text[i] == code)
            line += code;
        line += text[i];
        column_start = text[i] == b->column_char() && splits > 0;
        if (column_start)
            splits--;
    }
    return line;
}
