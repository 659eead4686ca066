// The logging interface and the text-panel and file loggers.
#include "log.h"

#include <FL/Fl.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Tile.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "file_replace.h"

log_base *global_log = nullptr;

static const char *const level_prefixes[] = {"ERROR. ", "WARNING. ", "INFO. ", "DEBUG. "};

static const char *const start_text = "\nStarting to log...\n\n";
static const char *const cleared_text = "\nLog cleared.\nStarting to log from scratch.\n\n";

const char *log_level_prefix(int level) {
    if (level < LOG_ERROR || level > LOG_DEBUG)
        return nullptr;
    return level_prefixes[level];
}

void log_base::message(const char *format, ...) {
    va_list args;
    va_start(args, format);
    vmessage(format, args);
    va_end(args);
}

void log_format(char *out, const char *format, va_list args) {
    if (!format || vsnprintf(out, LOG_BUFFER_SIZE, format, args) < 0)
        out[0] = '\0';
}

void log_base::log(int l, const char *format, ...) {
    char text[LOG_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    log_format(text, format, args);
    va_end(args);
    // A level outside 0..3 has no prefix: it passes the comparison, yet
    // nothing is written for it.
    const char *prefix = l <= level ? log_level_prefix(l) : nullptr;
    if (!prefix) {
        write_line(l, nullptr, nullptr);
        return;
    }
    // The longest prefix, the text and "\n" always fit.
    char line[LOG_BUFFER_SIZE + 16];
    snprintf(line, sizeof line, "%s%s\n", prefix, text);
    write_line(l, line, text);
}

// Writes buffer's text to f without copying it (a copy of a long log may not
// fit in memory). The buffer keeps its text in two runs around a gap: the
// second run starts at the first position pos whose address(pos) is not
// address(0) + pos, found by bisection. 0, or -1 on a write error.
static int write_buffer(Fl_Text_Buffer *buffer, FILE *f) {
    const int length = buffer->length();
    const char *start = buffer->address(0);
    int lo = 0, hi = length;
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        if (buffer->address(mid) == start + mid)
            lo = mid + 1;
        else
            hi = mid;
    }
    const size_t first = lo, rest = length - lo;
    int written =
        fwrite(start, 1, first, f) == first && fwrite(buffer->address(lo), 1, rest, f) == rest;
    return written ? 0 : -1;
}

// Replaces file (through its links) whole or not at all with buffer's text:
// 0 written, 1 nothing could be written, 2 a write, the flush, the sync or
// the replacement failed. A failure keeps the old file.
static int write_text_file(const char *file, Fl_Text_Buffer *buffer) {
    int made = 0;
    auto fill = [&](FILE *f) {
        made = 1;
        return write_buffer(buffer, f);
    };
    if (file_replace(file, REPLACE_DANGLING, fill) == 0)
        return 0;
    return made ? 2 : 1;
}

// ---------------------------------------------------------------- text panel

log_text_display::log_text_display(Fl_Text_Display *d) : log_text_display(d, start_text) {}

log_text_display::log_text_display(Fl_Text_Display *d, const char *start) : display(d) {
    buffer = new Fl_Text_Buffer(0);
    if (display)
        display->buffer(buffer);
    buffer->text(start);
}

void log_text_display::scroll_to_end() {
    if (!display)
        return;
    display->insert_position(buffer->length());
    display->show_insert_position();
    // A panel squeezed to less than two lines (the main window's log panel
    // at first) is not scrolled by show_insert_position: its top line then
    // goes as far down as the display lets it, so that the panel shows its
    // last lines when it grows.
    int x, y;
    if (!display->position_to_xy(buffer->length(), &x, &y)) {
        display->scroll(buffer->length() + 1, 0);
        display->show_insert_position();
    }
    display->redraw();
}

void log_text_display::vmessage(const char *format, va_list args) {
    char text[LOG_BUFFER_SIZE];
    log_format(text, format, args);
    buffer->append(text);
    scroll_to_end();
}

// Text lines that an error line brings into view.
static const int error_view_lines = 6;

// Moves the border above a panel that lies in a tile up, as a drag would,
// until the panel is error_view_lines lines tall (with room for its frame and
// a horizontal scrollbar) or the border meets the top of the tile's
// resizable box, where a drag stops. A taller panel, or one in no tile,
// stays as it is.
static void show_in_tile(Fl_Text_Display *d) {
    Fl_Tile *tile = dynamic_cast<Fl_Tile *>(d->parent());
    Fl_Widget *box = tile ? tile->resizable() : nullptr;
    if (!box)
        return;
    const int bottom = d->y() + d->h();
    const int tall = error_view_lines * fl_height(d->textfont(), d->textsize()) +
                     Fl::box_dh(d->box()) + Fl::scrollbar_size();
    const int top = std::max(bottom - tall, box->y());
    if (top >= d->y())
        return;
    // The tile keeps to its children's first places through later resizes,
    // and takes them from where they stand when it first resizes or is
    // dragged; a resize to its own size has it take them before a border
    // moves, and changes nothing.
    tile->resize(tile->x(), tile->y(), tile->w(), tile->h());
    for (int i = 0; i < tile->children(); i++) {
        Fl_Widget *w = tile->child(i);
        if (w != box && w->y() + w->h() == d->y())
            w->resize(w->x(), w->y(), w->w(), top - w->y());
    }
    d->resize(d->x(), top, d->w(), bottom - top);
    tile->redraw();
}

void log_text_display::write_line(int level, const char *line, const char *) {
    if (!line)
        return;
    buffer->append(line);
    if (level == LOG_ERROR && display)
        show_in_tile(display);
    scroll_to_end();
}

void log_text_display::clear() {
    buffer->text(cleared_text);
}

int log_text_display::save(const char *file) {
    int result = file ? write_text_file(file, buffer) : 1;
    if (result == 0) {
        buffer->append("\n\nSaved log to file: ");
        buffer->append(file);
        buffer->append(".\n\n");
    }
    scroll_to_end(); // to the saved-file note
    return result;
}

// ---------------------------------------------------------------------- file

// Copies name into the logger and opens it empty. A missing name, or one that
// does not fit the name buffer, leaves the logger without a file: a cut name
// would write into some other file.
static FILE *open_log_file(char *filename, const char *name) {
    filename[0] = '\0';
    if (!name || strlen(name) >= sizeof(log_file::filename))
        return nullptr;
    strcpy(filename, name);
    return fopen(filename, "w");
}

log_file::log_file(const char *name) : log_file(name, LOG_WARNING) {}

log_file::log_file(const char *name, int l) {
    level = l;
    file = open_log_file(filename, name);
}

void log_file::vmessage(const char *format, va_list args) {
    if (!file || !format)
        return;
    vfprintf(file, format, args);
    fflush(file);
}

void log_file::write_line(int, const char *line, const char *) {
    if (!file)
        return;
    if (line)
        fputs(line, file);
    fflush(file);
}

void log_file::clear() {
    if (file)
        fclose(file);
    file = filename[0] ? fopen(filename, "w") : nullptr;
}

int log_file::save(const char *) {
    if (file)
        fflush(file);
    return 0;
}
