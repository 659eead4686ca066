// The preference store's file on disk: where it lies, whether the toolkit's
// reader can take it, and replacing it whole or not at all.
//
// The toolkit (FLTK 1.3.8) reads a store in lines of at most 1023 bytes (a
// longer line goes on as the next one) and skips the first three. A group
// line "[path]" places the entries after it under path; a path that is
// neither "." nor below "./" places them nowhere, and the next entry line
// then crashes the reader; a group path of 128 characters or more overflows
// a 128-byte buffer of the reader. In a group, a line starting with ';' or
// '#' is a comment: an entry without a value. A line "+text" (a continuation;
// the toolkit writes a value longer than 60 bytes as a key line and such
// lines) appends text to the entry set last in its group, and crashes the
// reader when that is a new comment; with no entry set yet it is skipped.
// Reading a value un-escapes it: a backslash takes the byte after it, or three
// bytes when that is a digit, and reads past the value's end when they are
// missing (a value ending in '\' or "\1"). The look-ups take time growing
// with the square of the number of groups and keys.
#ifndef FTD_PREFERENCES_STORE_H
#define FTD_PREFERENCES_STORE_H

#include <cstdio>
#include <functional>
#include <string>

// Limits of a store that is read: its size in bytes, its group and entry
// lines, and the length of a group path.
#define STORE_MAX_BYTES (1 << 20)
#define STORE_MAX_RECORDS 10000
#define STORE_MAX_GROUP_PATH 100

enum { STORE_MISSING = 0, STORE_READABLE = 1, STORE_DAMAGED = 2 };

// The user store file of vendor and application, named the way the toolkit
// names it: $HOME/.fltk/<vendor>/<application>.prefs, under /etc/fltk/
// without HOME. Reading and replacing it follow its symbolic links.
// Cannot fail.
std::string store_path(const char *vendor, const char *application);

// STORE_MISSING when nothing is at path. STORE_READABLE when path is a
// regular file that the toolkit reads safely and quickly. STORE_DAMAGED for
// anything else: not a regular file, a read error, more than STORE_MAX_BYTES,
// a NUL byte (the toolkit would cut the line there), more than
// STORE_MAX_RECORDS group and entry lines, a group path longer than
// STORE_MAX_GROUP_PATH characters, an entry the reader cannot place, a
// continuation line that would extend a comment, or a value of any group
// whose last backslash lacks the bytes it takes.
// Reads the file, nothing else.
int store_state(const std::string &path);

// Makes the missing folders of the file that path names (the end of its
// chain of symbolic links, also a dangling link's), then replaces that file
// whole or not at all with what write puts into a new file, with what is
// there set aside when set_aside is non-zero (file_replace in
// file_replace.h). A loop is refused. Returns 0, or -1 with the file as it
// was and no temporary file left.
int store_replace(const std::string &path, int set_aside, const std::function<int(FILE *)> &write);

#endif
