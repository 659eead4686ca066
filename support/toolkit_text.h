// Guards in front of the toolkit routines that interpret text.
//
// Names, descriptions and paths come from files and the user, whatever their
// bytes. The toolkit reads some of those bytes as codes: the drawing calls
// and widget labels draw "@name" as a symbol (and read past a short one), a
// browser line reads "@" codes at the start of each column as its format
// (a font number past the toolkit's table crashes it). And each drawn line
// goes to the X server as one request, which ends the program when it is
// larger than the server takes. Every such text passes one of these guards.
#ifndef FTD_TOOLKIT_TEXT_H
#define FTD_TOOLKIT_TEXT_H

#include <cstddef>
#include <string>

class Fl_Browser;

// Most glyphs of a text handed to the toolkit. Glyphs go to the X server as
// 16-bit numbers (a font has at most 65535), so a line of this many takes
// about half the largest request the server accepts. It is twice what a box
// of the canvas shows of ordinary text at any zoom: about 30,000 characters,
// at the zoom whose smallest font size is 1 pixel, where many letters take
// no width.
enum { TOOLKIT_MAX_GLYPHS = 65535 };

// Length in bytes of the longest start of text that the toolkit draws with
// at most TOOLKIT_MAX_GLYPHS glyphs, never ending inside a UTF-8 character:
// strlen(text) when the whole text is short enough. Glyphs are counted as
// the toolkit draws them: a character (an invalid byte counts as one) is
// one, a control character two (drawn as ^X), a TAB eight (spaces to the
// next tab stop at most). Reads no further than the cut. Cannot fail.
size_t toolkit_fit(const char *text);

// Most pixels one drawn text may take: the toolkit measures a text's width
// in 16 bits, and does not draw a text that it measures wider.
enum { TOOLKIT_MAX_WIDTH = 32767 };

// text with every '@' doubled: fl_draw, fl_measure and widget labels (symbols
// on) show each pair as one plain '@', so no byte of text is taken for a
// symbol. A text without '@' comes back as it is. Cannot fail (but for
// memory).
std::string toolkit_literal(const char *text);

// The line to add to browser b that shows text as written: the start that
// toolkit_fit keeps, cut further to at most TOOLKIT_MAX_WIDTH pixels in b's
// text font (each character measured once, as the toolkit draws it: a
// control character as '^' and a letter, a TAB as eight spaces), never
// inside a character; there a column that begins with the browser's format
// character (the line's first, and each that b splits off at its column
// character) gets that character doubled, which b shows as one. A text
// short enough and without it at such a place comes back as it is. Sets
// b's text font as the current font (opening the display if need be).
// Cannot fail (but for memory).
std::string toolkit_browser_line(const Fl_Browser *b, const char *text);

#endif
