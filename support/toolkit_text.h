// Guards in front of the toolkit routines that interpret text.
//
// Names, descriptions and paths come from files and the user, whatever their
// bytes. The toolkit reads some of those bytes as codes: the drawing calls
// and widget labels draw "@name" as a symbol (and read past a short one), a
// browser line reads "@" codes at the start of each column as its format
// (a font number past the toolkit's table crashes it). Every such text
// passes one of these guards.
#ifndef FTD_TOOLKIT_TEXT_H
#define FTD_TOOLKIT_TEXT_H

#include <string>

class Fl_Browser;

// text with every '@' doubled: fl_draw, fl_measure and widget labels (symbols
// on) show each pair as one plain '@', so no byte of text is taken for a
// symbol. A text without '@' comes back as it is. Cannot fail (but for
// memory).
std::string toolkit_literal(const char *text);

// The line to add to browser b that shows text as written: text, where a
// column that begins with the browser's format character (the line's first,
// and each that b splits off at its column character) gets that character
// doubled, which b shows as one. A text without it at such a place comes
// back as it is. Cannot fail (but for memory).
std::string toolkit_browser_line(const Fl_Browser *b, const char *text);

#endif
