// Path helpers and the installation directory.
#include "paths.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

char install_dir[FTD_PATH_MAX];

// Result buffers of path_join, path_dirname and path_resolve.
static char join_buffer[FTD_PATH_MAX];
static char dirname_buffer[FTD_PATH_MAX];
static char resolve_buffer[1024];

static int is_sep(char c) {
    return c == '/' || c == '\\';
}

// Copies src into out of size bytes; 0 when it fits, -1 (out "") otherwise.
static int copy_bounded(char *out, size_t size, const char *src) {
    size_t n = strlen(src);
    if (size == 0)
        return -1;
    if (n >= size) {
        out[0] = '\0';
        return -1;
    }
    memcpy(out, src, n + 1);
    return 0;
}

// Sets out to "" (when there is room) and returns code.
static int fail(char *out, int size, int code) {
    if (size > 0)
        out[0] = '\0';
    return code;
}

int file_exists(const char *path) {
    FILE *f = fopen(path, "r");
    if (!f)
        return 0;
    fclose(f);
    return 1;
}

int path_kind(const char *path) {
    if (path[0] == '/')
        return 0;
    if (isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && is_sep(path[2]))
        return 2;
    return 1;
}

// Number of separators in s[from, to).
static int count_seps(const char *s, size_t from, size_t to) {
    int n = 0;
    for (size_t i = from; i < to; i++)
        n += is_sep(s[i]);
    return n;
}

int path_relative(char *out, int size, const char *from, const char *to) {
    if (size <= 0)
        return 4;
    out[0] = '\0';
    if (path_kind(from) != 0 || path_kind(to) != 0)
        return 1;
    if (strcmp(from, to) == 0) {
        const char *name = strrchr(to, '/') + 1;
        return copy_bounded(out, size, name) == 0 ? 0 : 4;
    }
    size_t i = 0, common = 0;
    for (; from[i] && to[i] && from[i] == to[i]; i++)
        if (is_sep(from[i]))
            common = i;
    size_t last = strrchr(from, '/') - from;
    int ups = last > common ? count_seps(from, common + 1, last + 1) : 0;
    size_t len = 0;
    for (int k = 0; k < ups; k++, len += 3) {
        if (len + 3 >= static_cast<size_t>(size))
            return fail(out, size, 4);
        memcpy(out + len, "../", 4);
    }
    if (copy_bounded(out + len, size - len, to + common + 1) != 0)
        return fail(out, size, 4);
    return 0;
}

int path_join_relative(char *out, int size, const char *base, const char *rel) {
    if (size <= 0)
        return 4;
    out[0] = '\0';
    if (path_kind(base) != 0 || path_kind(rel) == 0)
        return 1;
    size_t dir = strrchr(base, '/') - base + 1;
    size_t rlen = strlen(rel);
    if (dir >= static_cast<size_t>(size) || dir + rlen >= static_cast<size_t>(size))
        return 4;
    memcpy(out, base, dir);
    memcpy(out + dir, rel, rlen + 1);
    return 0;
}

// Length of the component that starts at s (up to a separator or the end).
static size_t component_length(const char *s) {
    size_t n = 0;
    while (s[n] && !is_sep(s[n]))
        n++;
    return n;
}

// Moves the write position w back to the last separator written into out;
// -1 when out holds none before w.
static int step_up(const char *out, size_t *w) {
    size_t i = *w;
    while (i > 0 && !is_sep(out[i - 1]))
        i--;
    if (i == 0)
        return -1;
    *w = i - 1;
    return 0;
}

int path_resolve(char *out, int size, const char *base, const char *rel) {
    if (size <= 0)
        return 4;
    out[0] = '\0';
    int rc = path_join_relative(resolve_buffer, sizeof resolve_buffer, base, rel);
    if (rc != 0)
        return rc;
    const char *p = resolve_buffer;
    size_t w = 0;
    while (*p) {
        size_t clen = is_sep(*p) ? component_length(p + 1) : 0;
        if (clen == 2 && p[1] == '.' && p[2] == '.') {
            if (step_up(out, &w) != 0)
                return fail(out, size, 2);
            p += 3;
        } else if (clen == 1 && p[1] == '.') {
            p += 2;
        } else {
            if (w + 1 >= static_cast<size_t>(size))
                return fail(out, size, 4);
            out[w++] = *p++;
        }
    }
    // Every component stepped over: what is left is the root itself.
    if (w == 0) {
        if (size < 2)
            return fail(out, size, 4);
        out[w++] = '/';
    }
    out[w] = '\0';
    return 0;
}

const char *path_join(const char *dir, const char *name) {
    size_t dlen = strlen(dir);
    const char *sep = (dlen == 0 || is_sep(dir[dlen - 1])) ? "" : "/";
    int n = snprintf(join_buffer, sizeof join_buffer, "%s%s%s", dir, sep, name);
    if (n < 0 || static_cast<size_t>(n) >= sizeof join_buffer)
        join_buffer[0] = '\0';
    return join_buffer;
}

char *path_dirname(const char *path) {
    if (copy_bounded(dirname_buffer, sizeof dirname_buffer, path) != 0)
        return dirname_buffer;
    char *slash = strrchr(dirname_buffer, '/');
    if (slash)
        slash[1] = '\0';
    else
        dirname_buffer[0] = '\0';
    return dirname_buffer;
}

int path_to_slashes(char *path) {
    for (; *path; path++)
        if (*path == '\\')
            *path = '/';
    return 0;
}

// Takes the leading "." and ".." components of *rel off the directory in dir
// (length *len, no trailing separator except for the root).
static void strip_dot_steps(char *dir, size_t *len, const char **rel) {
    const char *p = *rel;
    for (;;) {
        size_t clen = component_length(p);
        if (clen == 2 && p[0] == '.' && p[1] == '.') {
            while (*len > 1 && dir[*len - 1] != '/')
                (*len)--;
            if (*len > 1)
                (*len)--;
        } else if (!(clen == 1 && p[0] == '.')) {
            break;
        }
        p += clen;
        if (*p)
            p++;
    }
    dir[*len] = '\0';
    *rel = p;
}

int absolute_path(char *out, int size, const char *path) {
    if (size <= 0)
        return -1;
    char cwd[FTD_PATH_MAX];
    if (path[0] == '/' || !getcwd(cwd, sizeof cwd))
        return copy_bounded(out, size, path) == 0 ? 0 : -1;
    size_t len = strlen(cwd);
    strip_dot_steps(cwd, &len, &path);
    const char *sep = (len > 0 && cwd[len - 1] == '/') ? "" : "/";
    int n = snprintf(out, size, "%s%s%s", cwd, sep, path);
    if (n < 0 || n >= size) {
        out[0] = '\0';
        return -1;
    }
    return 1;
}

char *str_upcase_dup(const char *s) {
    size_t n = strlen(s);
    char *copy = static_cast<char *>(malloc(n + 1));
    if (!copy)
        return nullptr;
    for (size_t i = 0; i <= n; i++)
        copy[i] = static_cast<char>(toupper(static_cast<unsigned char>(s[i])));
    return copy;
}

char *get_install_dir(char *out) {
    const char *value = getenv("ORVIK_INST_DIR");
    if (!value || copy_bounded(out, FTD_PATH_MAX, value) != 0)
        out[0] = '\0';
    return out;
}
