// Command spawning through the shell, browser launching and m4 macro lines.
#include "spawn.h"

#include "log.h"
#include "paths.h"
#include "preferences.h"

#include <FL/filename.H>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static int (*run_system)(const char *line) = nullptr;

// Big enough for "file://", a fully quoted FTD_PATH_MAX path (an apostrophe
// takes four characters) and the terminator.
static char url_buffer[16 + 4 * FTD_PATH_MAX];

void spawn_set_system(int (*fn)(const char *line)) {
    run_system = fn;
}

// A command line being built; len counts what was asked for, even past size.
struct line_buf {
    char *text;
    size_t len;
    size_t size;
};

static void put(line_buf *b, const char *s, size_t n) {
    if (b->len + n < b->size)
        memcpy(b->text + b->len, s, n);
    b->len += n;
    if (b->len < b->size)
        b->text[b->len] = '\0';
}

static int is_plain(char c) {
    return (static_cast<unsigned char>(c) >= 128) || (c >= 'a' && c <= 'z') ||
           (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || (c && strchr("-_./:=+,%@", c));
}

static int is_all_plain(const char *s) {
    for (; *s; s++)
        if (!is_plain(*s))
            return 0;
    return 1;
}

// Length of the inert quoted section at s ('...', "...", or \'), 0 if none.
static size_t quoted_section(const char *s) {
    if (s[0] == '\\')
        return s[1] == '\'' ? 2 : 0;
    if (s[0] == '\'') {
        const char *end = strchr(s + 1, '\'');
        return end ? end - s + 1 : 0;
    }
    if (s[0] == '"') {
        size_t n = 1;
        while (s[n] && s[n] != '"' && !strchr("$`\\!", s[n]))
            n++;
        return s[n] == '"' ? n + 1 : 0;
    }
    return 0;
}

// 1 when s is an inert shell word (see spawn.h), 0 otherwise.
static int is_inert_word(const char *s) {
    while (*s) {
        size_t n = is_plain(*s) ? 1 : quoted_section(s);
        if (n == 0)
            return 0;
        s += n;
    }
    return 1;
}

// Writes s into b single-quoted, each ' as '\''.
static void put_single_quoted(line_buf *b, const char *s) {
    put(b, "'", 1);
    for (; *s; s++) {
        if (*s == '\'')
            put(b, "'\\''", 4);
        else
            put(b, s, 1);
    }
    put(b, "'", 1);
}

static void put_word(line_buf *b, const char *s) {
    if (is_inert_word(s))
        put(b, s, strlen(s));
    else
        put_single_quoted(b, s);
}

// The command word: as put_word, and single-quoted also when it holds '=',
// which would make the shell take it as an assignment.
static void put_command_word(line_buf *b, const char *s) {
    if (strchr(s, '='))
        put_single_quoted(b, s);
    else
        put_word(b, s);
}

// Joins first (unless skip_path) and the strings of args into b.
static void build_line(line_buf *b, int background, int skip_path, const char *first,
                       va_list args) {
    int words = 0;
    if (!skip_path) {
        put_command_word(b, first);
        words++;
    }
    for (const char *s = va_arg(args, const char *); s; s = va_arg(args, const char *)) {
        if (words++ == 0) {
            put_command_word(b, s);
            continue;
        }
        put(b, " ", 1);
        put_word(b, s);
    }
    if (background)
        put(b, " &", 2);
}

int spawn_command(int background, int skip_path, const char *first, ...) {
    char text[SPAWN_LINE_SIZE] = "";
    line_buf line = {text, 0, sizeof text};
    va_list args;
    va_start(args, first);
    build_line(&line, background, skip_path, first, args);
    va_end(args);
    if (line.len >= line.size) {
        if (global_log)
            global_log->log(LOG_ERROR,
                            "Command line of %zu characters is longer than %d characters; "
                            "not run.",
                            line.len, SPAWN_LINE_SIZE - 1);
        return -1;
    }
    if (global_log)
        global_log->log(LOG_INFO, "Spawning command: \"%s\".", text);
    return run_system ? run_system(text) : system(text);
}

// 1 when the browser's base name names one that takes a quoted file path.
static int browser_takes_quotes(const char *browser) {
    char *up = str_upcase_dup(fl_filename_name(browser));
    if (!up)
        return 0;
    int quotes = strstr(up, "MOZILLA") || strstr(up, "NETSCAPE") || strstr(up, "OPERA") ||
                 strstr(up, "FIREFOX");
    free(up);
    return quotes;
}

char *make_file_url(const char *path) {
    char abs[FTD_PATH_MAX];
    line_buf url = {url_buffer, 0, sizeof url_buffer};
    url_buffer[0] = '\0';
    if (absolute_path(abs, sizeof abs, path) < 0)
        return url_buffer;
    put(&url, "file://", 7);
    const char *browser = global_prefs.get_string(PREF_BROWSER_PATH);
    if (browser_takes_quotes(browser) && !strpbrk(abs, "$`\\\"!")) {
        put(&url, "\"", 1);
        put(&url, abs, strlen(abs));
        put(&url, "\"", 1);
    } else if (is_all_plain(abs)) {
        put(&url, abs, strlen(abs));
    } else {
        put_single_quoted(&url, abs);
    }
    return url_buffer;
}

// Names a POSIX shell (dash or bash) runs itself, as a built-in command or a
// reserved word, instead of a program found on PATH; several of them run or
// parse their arguments as commands (eval, exec, source, command, let ...).
static const char *const shell_names[] = {
    "!",        ".",        ":",         "[",        "[[",      "]]",      "alias",  "bg",
    "bind",     "break",    "builtin",   "caller",   "case",    "cd",      "chdir",  "command",
    "compgen",  "complete", "compopt",   "continue", "coproc",  "declare", "dirs",   "disown",
    "do",       "done",     "echo",      "elif",     "else",    "enable",  "esac",   "eval",
    "exec",     "exit",     "export",    "false",    "fc",      "fg",      "fi",     "for",
    "function", "getopts",  "hash",      "help",     "history", "if",      "in",     "jobs",
    "kill",     "let",      "local",     "logout",   "mapfile", "popd",    "printf", "pushd",
    "pwd",      "read",     "readarray", "readonly", "return",  "select",  "set",    "shift",
    "shopt",    "source",   "suspend",   "test",     "then",    "time",    "times",  "trap",
    "true",     "type",     "typeset",   "ulimit",   "umask",   "unalias", "unset",  "until",
    "wait",     "while",    "{",         "}"};

// 1 when the shell would run name as a program from PATH.
static int is_program_name(const char *name) {
    if (!name[0])
        return 0;
    for (const char *shell_name : shell_names)
        if (strcmp(name, shell_name) == 0)
            return 0;
    return 1;
}

int launch_browser(const char *url) {
    const char *browser = global_prefs.get_string(PREF_BROWSER_PATH);
    const char *name = fl_filename_name(browser);
    if (is_program_name(name) && spawn_command(1, 1, browser, name, url, nullptr) != -1)
        return 0;
    if (global_log)
        global_log->log(LOG_ERROR,
                        "could not execute '%s'.\nPlease, try to use the 'Edit->Preference' "
                        "dialog to update the name of the browser to use.",
                        browser);
    return 1;
}

// No line: buffer "" (when it has room for that) and NULL.
static char *m4_no_line(char *buffer, size_t size) {
    if (size)
        buffer[0] = '\0';
    return nullptr;
}

// Formats one line into buffer; buffer, or NULL ("") when it does not fit.
static char *m4_line(char *buffer, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
static char *m4_line(char *buffer, size_t size, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int n = size ? vsnprintf(buffer, size, format, args) : -1;
    va_end(args);
    if (n >= 0 && static_cast<size_t>(n) < size)
        return buffer;
    return m4_no_line(buffer, size);
}

// 1 when name is an m4 macro name: a letter or '_', then letters, digits and
// '_'. Anything else, unquoted, would be read as more than a name.
static int is_m4_name(const char *name) {
    static const char word[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789";
    return name && name[0] && !(name[0] >= '0' && name[0] <= '9') &&
           name[strspn(name, word)] == '\0';
}

// The text that stands for value between m4's quotes (see spawn.h). m4 nests
// quotes that pair up; a lone backquote it reads only between other quotes.
static std::string m4_quoted(const char *value) {
    std::vector<size_t> open; // backquotes not closed yet; at the end, never closed
    for (size_t i = 0; value[i]; i++) {
        if (value[i] == '`')
            open.push_back(i);
        else if (value[i] == '\'' && !open.empty())
            open.pop_back();
    }
    std::string text;
    size_t lone = 0; // the next never-closed backquote, into open
    int depth = 0;   // backquotes open in the quotation
    for (size_t i = 0; value[i]; i++) {
        if (lone < open.size() && open[lone] == i) {
            text += "'changequote([,])[`]changequote(`,')`";
            lone++;
        } else if (value[i] == '\'' && depth == 0) {
            text += "''`";
        } else {
            depth += value[i] == '`' ? 1 : value[i] == '\'' ? -1 : 0;
            text += value[i];
        }
    }
    return text;
}

char *m4_define_str(char *buffer, size_t size, const char *name, const char *value) {
    if (!is_m4_name(name))
        return m4_no_line(buffer, size);
    return m4_line(buffer, size, "define(%s, `%s')\n", name, m4_quoted(value ? value : "").c_str());
}

char *m4_define_int(char *buffer, size_t size, const char *name, int value) {
    if (!is_m4_name(name))
        return m4_no_line(buffer, size);
    return m4_line(buffer, size, "define(%s, `%i')\n", name, value);
}

char *m4_undefine(char *buffer, size_t size, const char *name) {
    if (!is_m4_name(name))
        return m4_no_line(buffer, size);
    return m4_line(buffer, size, "undefine(`%s')\n", name);
}

char *m4_include(char *buffer, size_t size, const char *name) {
    return m4_line(buffer, size, "include(`%s_m4')\n", m4_quoted(name ? name : "").c_str());
}
