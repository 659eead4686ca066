// Line output of the SVG document and the helpers of its text layout.
//
// Every line of an exported document goes through svg_printf, which puts
// one TAB per indentation level in front of indented lines. The level is
// process-wide; only one document is written at a time.
#ifndef SVG_WRITER_H
#define SVG_WRITER_H

#include <cstdio>
#include <string>

#include "dlist.h"

// Current indentation level, 0 at start. Every export leaves it as it found it.
extern int svg_indent_level;

// When indent is non-zero writes one TAB per level (none for a level of 0 or
// below), then the formatted text. Returns 0, or -1 when a write failed.
int svg_printf(FILE *out, int indent, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// Writes scale into buf (size bytes, 64 or more) as "%.3f" would, or with as
// many more decimals as it takes for extent times the written value to lie
// within 1 of extent times scale: a drawing extent units wide, scaled by it,
// then misses its size by less than a pixel. Cannot fail.
void svg_scale_text(char *buf, size_t size, double scale, double extent);

// Level + 1 / level - 1. Cannot fail.
void svg_indent();
void svg_outdent();

// Appends to lines the text split at blanks for a trial of i + 1 lines: a
// newline always ends a line, a blank or TAB ends one once its index in the
// text lies past the current limit, which starts at the step
// split_step(len, i) and grows by it at every line end. Separators at a
// break are dropped, empty lines are not appended. Each item is a copy of
// the line with its terminating NUL; lines have no length limit. Returns i.
// Throws std::bad_alloc when memory is exhausted (lines then holds the lines
// appended before).
//
// For a width m below the step, the split has no line longer than m exactly
// when the text has no run longer than m between newlines: while the lines
// are that short the limit keeps ahead of them, so no blank breaks a line,
// and a line that a blank does break is longer than the step.
int split_lines(const char *text, int i, strlist *lines);

// The step of split_lines for a text of len bytes and a trial of i + 1
// lines: len / (i + 1) rounded up. Cannot fail.
size_t split_step(size_t len, int i);

// Length of the longest run between newlines (or the ends) in the len bytes
// at text. Cannot fail.
size_t longest_newline_run(const char *text, size_t len);

// Appends s to out in a form fit for XML character data and attribute
// values in a UTF-8 document. The five XML special characters become
// entities; a byte that does not start a valid UTF-8 sequence is taken as a
// Windows-1252 character and re-encoded; control characters other than TAB
// (and the two non-characters U+FFFE, U+FFFF) are dropped. Throws
// std::bad_alloc when memory is exhausted.
void xml_escape_append(std::string &out, const char *s);

// A new malloc'd copy of s in the form xml_escape_append gives; the caller
// frees it. NULL when memory is exhausted.
char *xml_escape(const char *s);

#endif
