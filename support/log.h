// The logging interface and the text-panel and file loggers.
//
// Levels: LOG_ERROR 0, LOG_WARNING 1, LOG_INFO 2, LOG_DEBUG 3. A levelled
// message passes when its level is at most the logger's level and is one of
// 0..3. Levelled messages, and the unlevelled ones of the panel loggers, are
// formatted into 2048-byte buffers with bounded formatting: a longer text is
// cut at the buffer, never written past it.
//
// The base logger formats and filters every levelled message and builds its
// line (prefix, text, "\n"); each logger only writes that finished line.
#ifndef FTD_LOG_H
#define FTD_LOG_H

#include <cstdarg>
#include <cstdio>

class Fl_Text_Display;
class Fl_Text_Buffer;

enum { LOG_ERROR = 0, LOG_WARNING = 1, LOG_INFO = 2, LOG_DEBUG = 3 };

// Size of the formatting buffers of the loggers.
#define LOG_BUFFER_SIZE 2048

// Line prefix of a levelled message ("ERROR. " ...); NULL outside 0..3.
const char *log_level_prefix(int level);

// Formats format with args into out (LOG_BUFFER_SIZE bytes), cutting a longer
// text at the buffer; out is "" when formatting fails. Cannot overflow.
void log_format(char *out, const char *format, va_list args);

class log_base {
  public:
    // Until set_level, the level is below every message level: nothing passes.
    int level = -1;

    log_base() {}
    void set_level(int l) { level = l; }

    // Unlevelled message: never filtered, no prefix, no line end of its own.
    virtual void vmessage(const char *format, va_list args) = 0;
    // Formats as vmessage does; every logger takes it from here.
    virtual void message(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // Levelled message: formats it (log_format), filters it by level and
    // hands the result to write_line. Every logger takes it from here.
    virtual void log(int level, const char *format, ...) __attribute__((format(printf, 3, 4)));
    virtual void clear() = 0;
    // Writes the log to a file; 0 on success.
    virtual int save(const char *file) = 0;

  protected:
    // Writes one levelled message: line is the finished line (the level's
    // prefix, the text cut at LOG_BUFFER_SIZE - 1 characters, "\n") and text
    // that text alone. Both are NULL for a message that did not pass: nothing
    // is written, but a logger may still settle (flush, scroll) as it does
    // after every levelled message.
    virtual void write_line(int level, const char *line, const char *text) = 0;
};

// Logger on an Fl_Text_Display panel (owned by its window); also the panel
// of the log window (log_wnd.h).
class log_text_display : public log_base {
  public:
    Fl_Text_Display *display; // NULL: no panel (yet)
    Fl_Text_Buffer *buffer;   // made here, attached to display, never freed

    // Attaches a new buffer holding "\nStarting to log...\n\n". Level unset.
    explicit log_text_display(Fl_Text_Display *display);
    // Appends the formatted text (log_format) and scrolls to the end.
    void vmessage(const char *format, va_list args) override;
    // Puts the text back to "\nLog cleared.\nStarting to log from scratch.\n\n".
    void clear() override;
    // Replaces file whole or not at all with the text (file_replace; a
    // symbolic link is written through, also to a file not made yet, and
    // stays), checking every write; only then appends the "Saved log to file"
    // note. Then scrolls to the end. Returns 0 written; 1 when nothing could
    // be written (file NULL, a file there that this process may not write, no
    // new file can be made beside it); 2 on a write error (a full disk, a
    // file-size limit...) or a failed replacement. A failure adds nothing and
    // keeps the old file.
    int save(const char *file) override;
    // Moves the display's insert position to the end of the text, shows it,
    // redraws. A display too short to show a line keeps its last lines in
    // view when it grows.
    void scroll_to_end();

  protected:
    // Attaches a new buffer holding start to display (NULL: none yet).
    log_text_display(Fl_Text_Display *display, const char *start);
    // Appends a line that passed and scrolls to the end; a message that did
    // not pass leaves the panel as it is. An error line (LOG_ERROR) first
    // brings a panel that lies in a tile (Fl_Tile) into view: the border
    // above it moves up, as a drag would, until the panel shows six lines or
    // the border meets the tile's resizable box; a taller panel stays.
    void write_line(int level, const char *line, const char *text) override;
};

// Logger writing straight into a text file opened with mode "w". A file that
// cannot be opened makes a logger that writes nothing.
class log_file : public log_base {
  public:
    char filename[4096];
    FILE *file;

    explicit log_file(const char *name);
    log_file(const char *name, int level);
    FILE *get_file() { return file; }
    // Writes the formatted text whole (no bound, no prefix), then flushes.
    void vmessage(const char *format, va_list args) override;
    // Reopens the file empty.
    void clear() override;
    // Flushes; returns 0 (the log is already on disk).
    int save(const char *file) override;

  protected:
    // Writes a line that passed; flushes after every levelled message, also
    // one that did not pass.
    void write_line(int level, const char *line, const char *text) override;
};

// The process-wide logger; NULL until start-up makes it.
extern log_base *global_log;

#endif
