// Guards in front of the toolkit routines that interpret text.
//
// Names, descriptions and paths come from files and the user, whatever their
// bytes. The toolkit reads some of those bytes as codes: the drawing calls
// and widget labels draw "@name" as a symbol (and read past a short one).
// Every such text passes one of these guards.
#ifndef FTD_TOOLKIT_TEXT_H
#define FTD_TOOLKIT_TEXT_H

#include <string>

// text with every '@' doubled: fl_draw, fl_measure and widget labels (symbols
// on) show each pair as one plain '@', so no byte of text is taken for a
// symbol. A text without '@' comes back as it is. Cannot fail (but for
// memory).
std::string toolkit_literal(const char *text);

#endif
