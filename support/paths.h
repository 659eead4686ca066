// Path helpers and the installation directory.
//
// Plain functions in the procedural style of the platform modules. Functions
// that return a pointer into a buffer of their own overwrite it at the next
// call: callers use or copy the result at once. No function here writes past
// a buffer: a result that does not fit is reported, never cut into another
// path.
#ifndef FTD_PATHS_H
#define FTD_PATHS_H

// Size of every path and preference buffer of the program (4095 characters
// and the terminator).
#define FTD_PATH_MAX 4096

// The installation directory (ORVIK_INST_DIR), "" when unset. Filled once at
// start-up by get_install_dir.
extern char install_dir[FTD_PATH_MAX];

// 1 when path opens for reading, 0 otherwise.
int file_exists(const char *path);

// 0 absolute ("/..."), 2 absolute with a drive letter ("C:\..." or "c:/..."),
// 1 relative (anything else, "" included).
int path_kind(const char *path);

// Result codes of path_relative, path_join_relative and path_resolve: 0 done,
// 1 a path of the wrong kind, 2 no common directory / parent step above the
// root, 4 the result does not fit size. On any code but 0, out is "".
// path_relative: the path leading from the directory of from (a file) to to;
// both absolute, else 1. path_join_relative: the directory part of base
// (absolute) followed by rel (not absolute). path_resolve: that join with the
// "." and ".." components removed; only whole components count as steps
// (".profile" and "..x" are names), a step above the root gives 2, and a
// path that steps back to the root gives "/".
int path_relative(char *out, int size, const char *from, const char *to);
int path_join_relative(char *out, int size, const char *base, const char *rel);
int path_resolve(char *out, int size, const char *base, const char *rel);

// dir and name joined with one '/' (none added when dir ends in '/' or '\').
// Returns a buffer of the module's own; "" when the result would not fit.
const char *path_join(const char *dir, const char *name);

// path cut right after its last '/' ("" without one). Returns a buffer of the
// module's own (FTD_PATH_MAX bytes); "" when path does not fit it.
char *path_dirname(const char *path);

// Replaces every '\' by '/' in place; returns 0.
int path_to_slashes(char *path);

// The absolute form of path (relative paths taken from the working directory)
// into out of size bytes. Returns 1 when the working directory was prefixed,
// 0 when path was copied unchanged, -1 when the result does not fit (out is
// then "").
int absolute_path(char *out, int size, const char *path);

// A malloc'd upper-case copy of s; the caller frees it.
char *str_upcase_dup(const char *s);

// Copies ORVIK_INST_DIR (or "" when unset or too long for FTD_PATH_MAX) into
// out, which holds FTD_PATH_MAX bytes; returns out.
char *get_install_dir(char *out);

#endif
