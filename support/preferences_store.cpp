// The preference store's file on disk.
#include "preferences_store.h"

#include <errno.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "file_replace.h"

// The toolkit reads lines into a buffer of 1024 bytes.
static const size_t toolkit_line_max = 1023;

std::string store_path(const char *vendor, const char *application) {
    const char *home = getenv("HOME");
    std::string path = home ? home : "/etc/fltk/";
    if (home)
        path += path.empty() || path.back() != '/' ? "/.fltk/" : ".fltk/";
    path += std::string(vendor) + "/" + application + ".prefs";
    std::string end = file_link_end(path.c_str());
    return end.empty() ? path : end;
}

// ------------------------------------------------------------------ reading

// Reads path, of size bytes when it was looked at, into text: at most one
// byte more, so that a file grown past the limit shows. 0, or -1 on an open
// or read error.
static int read_store(const std::string &path, size_t size, std::string *text) {
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return -1;
    text->resize(size + 1);
    text->resize(fread(&(*text)[0], 1, text->size(), f));
    int failed = ferror(f);
    fclose(f);
    return failed ? -1 : 0;
}

// The next line of text from pos as the toolkit's reader cuts it: up to and
// with a '\n', at most toolkit_line_max bytes. Moves pos past it.
static std::string_view next_line(const std::string &text, size_t *pos) {
    size_t end = text.find('\n', *pos);
    end = end == std::string::npos ? text.size() : end + 1;
    if (end - *pos > toolkit_line_max)
        end = *pos + toolkit_line_max;
    std::string_view line(text.data() + *pos, end - *pos);
    *pos = end;
    return line;
}

// Where a group line places the entries after it: 1 under the root, 0
// nowhere, -1 a path too long for the reader.
static int group_placement(std::string_view line) {
    std::string_view path = line.substr(1, line.find_first_of("]\n\r", 1) - 1);
    if (path.size() > STORE_MAX_GROUP_PATH)
        return -1;
    return path == "." || path.substr(0, 2) == "./";
}

// 1 when the toolkit's reader takes text safely and quickly (see the header).
static int store_text_safe(const std::string &text) {
    if (text.size() > STORE_MAX_BYTES || text.find('\0') != std::string::npos)
        return 0;
    size_t pos = 0;
    int records = 0, placed = 1;
    for (int skipped = 0; skipped < 3 && pos < text.size(); skipped++)
        next_line(text, &pos);
    while (pos < text.size()) {
        std::string_view line = next_line(text, &pos);
        if (line[0] == '[') {
            placed = group_placement(line);
            if (placed < 0)
                return 0;
        } else {
            size_t from = line[0] == '+';
            if (line.substr(from, line.find_first_of("\n\r", from) - from).empty())
                continue; // the reader skips an empty entry
            if (!placed)
                return 0;
            if (from)
                continue; // a continuation is no record of its own
        }
        if (++records > STORE_MAX_RECORDS)
            return 0;
    }
    return 1;
}

int store_state(const std::string &path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? STORE_MISSING : STORE_DAMAGED;
    std::string text;
    if (!S_ISREG(st.st_mode) || st.st_size > STORE_MAX_BYTES ||
        read_store(path, st.st_size, &text) != 0)
        return STORE_DAMAGED;
    return store_text_safe(text) ? STORE_READABLE : STORE_DAMAGED;
}

// ------------------------------------------------------------------ writing

// Makes the folders of path that are missing; errors show when the file is
// made there.
static void make_folders(const std::string &path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
}

int store_replace(const std::string &target, int set_aside,
                  const std::function<int(FILE *)> &write) {
    struct stat st;
    if (lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return -1; // a loop: store_path follows every other link
    make_folders(target);
    return file_replace(target, set_aside, write);
}
