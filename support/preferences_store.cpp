// The preference store's file on disk.
#include "preferences_store.h"

#include <errno.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "file_replace.h"

// The toolkit reads lines into a buffer of 1024 bytes, and the name of a key
// line into one of 128.
static const size_t toolkit_line_max = 1023;
static const size_t toolkit_name_max = 127;

std::string store_path(const char *vendor, const char *application) {
    const char *home = getenv("HOME");
    std::string path = home ? home : "/etc/fltk/";
    if (home)
        path += path.empty() || path.back() != '/' ? "/.fltk/" : ".fltk/";
    return path + vendor + "/" + application + ".prefs";
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

// What the toolkit's reader holds of one group while it reads: the value of
// each key as it stands, the comments (entries without a value), and the
// entry that a continuation line extends.
struct group_reading {
    std::unordered_map<std::string, std::string> values;
    std::unordered_set<std::string> comments;
    std::string *last_value = nullptr; // the key set last; NULL: none
    int after_comment = 0;             // a new comment was set last
};

// The reader's state: every group met so far and the one entries go to
// (NULL: nowhere, after a group line the reader cannot place).
struct store_reading {
    std::unordered_map<std::string, group_reading> groups;
    group_reading *group = &groups["."];
};

// A group line "[path]": entries go to the group of path when it is "." or
// below "./", else nowhere. 0 for a path too long for the reader.
static int read_group_line(store_reading *r, std::string_view line) {
    std::string_view path = line.substr(1, line.find_first_of("]\n\r", 1) - 1);
    if (path.size() > STORE_MAX_GROUP_PATH)
        return 0;
    int placed = path == "." || path.substr(0, 2) == "./";
    r->group = placed ? &r->groups[std::string(path)] : nullptr;
    return 1;
}

// A comment line (';' or '#' first) is an entry without a value; one that
// the group already holds is not set again.
static void read_comment_line(group_reading *g, std::string_view entry) {
    if (g->comments.emplace(entry).second) {
        g->last_value = nullptr;
        g->after_comment = 1;
    }
}

// A key line "name:value" (the name cut to toolkit_name_max bytes) or "name"
// (an empty value) sets the key, also when it holds that value already.
static void read_key_line(group_reading *g, std::string_view entry) {
    size_t colon = entry.find(':');
    std::string_view name = entry.substr(0, std::min(colon, toolkit_name_max));
    std::string &value = g->values[std::string(colon == entry.npos ? entry : name)];
    value = colon == entry.npos ? std::string_view() : entry.substr(colon + 1);
    g->last_value = &value;
    g->after_comment = 0;
}

// A continuation line "+text" appends text to the key set last; with none it
// is skipped. 0 after a comment, whose missing value the reader would extend.
static int read_continuation_line(group_reading *g, std::string_view text) {
    if (g->after_comment)
        return 0;
    if (g->last_value)
        g->last_value->append(text);
    return 1;
}

// 1 when the toolkit's un-escaping stays inside value: a backslash takes the
// byte after it, or three bytes when that is a digit.
static int escapes_complete(const std::string &value) {
    for (size_t i = value.find('\\'); i != std::string::npos; i = value.find('\\', i)) {
        size_t taken = value[i + 1] >= '0' && value[i + 1] <= '9' ? 3 : 1;
        if (i + taken >= value.size())
            return 0;
        i += taken + 1;
    }
    return 1;
}

// An entry line of r's group with its line end cut off: a comment, a
// continuation or a key line. 0 when the reader cannot take it.
static int read_entry_line(store_reading *r, std::string_view line) {
    if (!r->group)
        return 0;
    if (line[0] == '+')
        return read_continuation_line(r->group, line.substr(1));
    if (line[0] == ';' || line[0] == '#')
        read_comment_line(r->group, line);
    else
        read_key_line(r->group, line);
    return 1;
}

// 1 when the toolkit's reader takes text safely and quickly (see the header).
static int store_text_safe(const std::string &text) {
    if (text.size() > STORE_MAX_BYTES || text.find('\0') != std::string::npos)
        return 0;
    size_t pos = 0;
    int records = 0;
    store_reading r;
    for (int skipped = 0; skipped < 3 && pos < text.size(); skipped++)
        next_line(text, &pos);
    while (pos < text.size()) {
        std::string_view line = next_line(text, &pos);
        if (line[0] == '[') {
            if (!read_group_line(&r, line))
                return 0;
        } else {
            size_t from = line[0] == '+';
            line = line.substr(0, line.find_first_of("\n\r", from));
            if (line.size() == from)
                continue; // the reader skips an empty entry
            if (!read_entry_line(&r, line))
                return 0;
            if (from)
                continue; // a continuation is no record of its own
        }
        if (++records > STORE_MAX_RECORDS)
            return 0;
    }
    for (const auto &group : r.groups)
        for (const auto &key : group.second.values)
            if (!escapes_complete(key.second))
                return 0;
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

int store_replace(const std::string &path, int set_aside, const std::function<int(FILE *)> &write) {
    const int options = REPLACE_DANGLING | (set_aside ? REPLACE_SET_ASIDE : 0);
    make_folders(file_replace_target(path, options));
    return file_replace(path, options, write);
}
