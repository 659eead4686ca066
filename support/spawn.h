// Command spawning through the shell, browser launching and m4 macro lines.
//
// Shell words. spawn_command joins its strings into one command line for
// /bin/sh, one blank between them. Each string goes into the line as one
// shell word that the shell hands on literally:
//   - a string that already is an inert shell word goes in unchanged: it is
//     made of plain characters (letters, digits, bytes above 127 and
//     - _ . / : = + , % @), single-quoted sections '...', double-quoted
//     sections "..." holding none of $ ` \ " !, and the escaped quote \'
//     (the form that single quoting writes for an apostrophe). So "ls", "-l",
//     "file:///tmp/a.html" and file://"/tmp/a b.html" are written as given.
//   - any other string (blanks, $, backquotes, backslashes, ; & | < > ( ) *
//     ? [ ] { } ~ # ! newlines, an unclosed quote, ...) is written between
//     single quotes, each ' as '\'' , so no part of it is run or expanded.
// A literal text that happens to be an inert quoted word (such as a"b"c)
// therefore loses its quotes in the shell, as any shell word does. The first
// word of the line, the command, is also single-quoted when it holds '=', so
// that the shell runs it rather than taking it as an assignment.
#ifndef FTD_SPAWN_H
#define FTD_SPAWN_H

#include <cstddef>

// Size of the command-line buffer (2047 characters and the terminator).
#define SPAWN_LINE_SIZE 2048

// Builds the command line from first and the further strings up to the NULL
// pointer, then runs it with system and returns system's status unchanged.
// skip_path non-zero leaves first out (the caller passes a program's full
// path, its base name, then its arguments; the shell finds the base name on
// PATH). background non-zero appends " &". The line is logged through
// global_log (when set) at LOG_INFO as "Spawning command: "<line>".".
// A line longer than 2047 characters is refused: logged at LOG_ERROR,
// nothing run, result -1.
int spawn_command(int background, int skip_path, const char *first, ...) __attribute__((sentinel));

// Replaces system for spawn_command (tests); NULL restores system.
void spawn_set_system(int (*fn)(const char *line));

// The file:// URL of path (made absolute from the working directory) as one
// inert shell word for the BrowserPath browser. When the browser's base name
// contains MOZILLA, NETSCAPE, OPERA or FIREFOX (any case) the path is written
// file://"<path>", for any other browser file://<path>; a path that such a
// form would not keep literal is written file://'<path>' instead. Returns a
// buffer of the module's own, overwritten by the next call; "" when the
// absolute path does not fit FTD_PATH_MAX.
char *make_file_url(const char *path);

// Starts the BrowserPath browser in the background on url (through
// spawn_command: the base name, url and " &"). 0 when the shell started; 1
// when it could not, or when the base name is empty or names one of the
// shell's own commands or reserved words (eval, exec, if ...), which the
// shell would run in place of a program: nothing is run then. A failure is
// logged at LOG_ERROR through global_log (when set) as "could not execute
// '<BrowserPath>'. ..." with the advice to update the browser's name.
int launch_browser(const char *url);

// m4 macro lines written into buffer of size bytes; each returns buffer, or
// NULL (buffer "" when size > 0) when the line does not fit or name is
// refused.
//   m4_define_str: define(<name>, `<value>')\n
//   m4_define_int: define(<name>, `<value>')\n
//   m4_undefine:   undefine(`<name>')\n
//   m4_include:    include(`<name>_m4')\n
// The name of define and undefine must be an m4 macro name (a letter or '_',
// then letters, digits and '_'); any other is refused. define reads it
// unquoted, so a name that already is a macro where m4 reads the line is
// expanded there, as m4 does with every unquoted name. The value of
// m4_define_str and the name of m4_include are quoted so that m4 reads every
// byte of them literally: text whose quotes ` and ' pair up (none at all
// included) is written as it is; an apostrophe that would end the quotation
// is written ''` and a backquote that no apostrophe closes
// 'changequote([,])[`]changequote(`,')` (each ends the quotation, gives the
// character outside it and opens a new one).
char *m4_define_str(char *buffer, size_t size, const char *name, const char *value);
char *m4_define_int(char *buffer, size_t size, const char *name, int value);
char *m4_undefine(char *buffer, size_t size, const char *name);
char *m4_include(char *buffer, size_t size, const char *name);

#endif
