// Column tables and scanner glue shared by the events and gates readers.
#include "ftscan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>

void import_reset(import_column *table, int rows, unsigned char flags) {
    for (int i = 0; i < rows; ++i) {
        if (flags & IMPORT_RESET_COLUMNS)
            table[i].column = 0;
        if (flags & IMPORT_RESET_VALUES)
            table[i].value = nullptr;
    }
}

void import_begin(import_scan *scan, import_column *table, int rows) {
    scan->counter = 1;
    scan->state = 0;
    scan->row_cells = false;
    scan->in_place_end = nullptr;
    scan->col2row.clear();
    scan->named.clear();
    scan->store.resize(size_t(rows));
    scan->length.resize(size_t(rows));
    import_reset(table, rows, IMPORT_RESET_COLUMNS | IMPORT_RESET_VALUES);
}

int import_header_cell(import_scan *scan, import_column *table, int rows, const char *text,
                       size_t len) {
    for (int i = 0; i < rows; ++i)
        if (strncmp(table[i].name, text, len) == 0 && table[i].name[len] == '\0') {
            table[i].column = scan->counter; // a repeated name keeps the later column
            return 0;
        }
    return -1;
}

int import_header_end(import_scan *scan, import_column *table, int rows) {
    scan->row_cells = false;
    if (table[0].column == 0)
        return -1;
    int widest = 0;
    for (int i = 0; i < rows; ++i)
        widest = table[i].column > widest ? table[i].column : widest;
    scan->col2row.assign(size_t(widest) + 1, -1);
    for (int i = rows - 1; i >= 0; --i) // earlier rows win
        if (table[i].column > 0)
            scan->col2row[size_t(table[i].column)] = i;
    for (int i = 0; i < rows; ++i)
        if (table[i].column > 0)
            scan->named.push_back(i);
    scan->counter = 1;
    return 0;
}

void import_copy_cell(import_scan *scan, import_column *table, int row, const char *text,
                      size_t len) {
    std::vector<char> &buf = scan->store[size_t(row)];
    if (buf.size() <= len)
        buf.resize(std::max(len + 1, 2 * buf.size()));
    memcpy(buf.data(), text, len);
    buf[len] = '\0';
    table[row].value = buf.data();
}

FILE *import_open(const char *path, int *not_a_file) {
    *not_a_file = 0;
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *not_a_file = 1;
        close(fd);
        return nullptr;
    }
    FILE *f = fdopen(fd, "rb");
    if (f == nullptr)
        close(fd);
    return f;
}

// The last position in [lo, hi] of a TAB, CR or NUL byte of fd; -1 when
// there is none, -2 when a read fails or ends early.
static off_t last_break(int fd, off_t lo, off_t hi, std::vector<char> &buf) {
    buf.resize(size_t(1) << 16);
    while (hi >= lo) {
        const off_t from = hi - lo + 1 > off_t(buf.size()) ? hi - off_t(buf.size()) + 1 : lo;
        const size_t n = size_t(hi - from + 1);
        if (pread(fd, buf.data(), n, from) != ssize_t(n))
            return -2;
        const char *found = nullptr;
        for (char c : {'\t', '\r', '\0'}) {
            const char *at = static_cast<const char *>(memrchr(buf.data(), c, n));
            if (at != nullptr && (found == nullptr || at > found))
                found = at;
        }
        if (found != nullptr)
            return from + (found - buf.data());
        hi = from - 1;
    }
    return -1;
}

// Looks for IMPORT_MAX_CELL + 1 bytes in a row without a break: the last
// byte of such a stretch from the earliest start still possible is read
// first, and a break found there or before it moves that start past it.
// Bytes known to hold no break are not read again.
int import_has_long_cell(FILE *f) {
    struct stat st;
    const int fd = fileno(f);
    if (fstat(fd, &st) != 0)
        return 0;
    const off_t limit = off_t(IMPORT_MAX_CELL);
    off_t start = 0, clean = -1; // [start, clean] holds no break
    std::vector<char> buf;
    while (start + limit < st.st_size) {
        const off_t end = start + limit; // a stretch [start, end] is too long
        const off_t b = last_break(fd, clean >= start ? clean + 1 : start, end, buf);
        if (b == -2)
            return 0;
        if (b == -1)
            return 1;
        clean = end;
        start = b + 1;
    }
    return 0;
}

size_t import_read(char *buf, size_t max, FILE *f) {
    for (;;) {
        errno = 0;
        size_t n = fread(buf, 1, max, f);
        if (n > 0 || !ferror(f))
            return n;
        if (errno != EINTR)
            throw import_scan_error("read error on the input file");
        clearerr(f);
    }
}

size_t import_input(import_scan *scan, const char *start, char *buf, size_t max, FILE *f) {
    const size_t n = import_read(buf, max, f);
    const size_t before = std::min(size_t(buf - start), size_t(2)); // a CR LF may begin there
    const char *lo = buf - before;
    scan->in_place_end = nullptr;
    // An LF at lo + 1 .. lo + span - 2: a CR may precede it, a byte follows it.
    for (size_t span = before + n; span >= 3;) {
        const char *lf = static_cast<const char *>(memrchr(lo + 1, '\n', span - 2));
        if (lf == nullptr)
            break;
        if (lf[-1] == '\r') {
            scan->in_place_end = lf - 1;
            break;
        }
        span = size_t(lf - lo) + 1;
    }
    return n;
}

void import_scan_failed(const char *msg) {
    throw import_scan_error(msg);
}

// The scanner asks for its buffer size plus two bytes of end marks.
static bool beyond_limit(size_t n) {
    return n > IMPORT_MAX_BUFFER + 2;
}

void *import_alloc(size_t n) {
    return beyond_limit(n) ? nullptr : malloc(n);
}

void *import_realloc(void *p, size_t n) {
    void *q = beyond_limit(n) ? nullptr : realloc(p, n);
    if (q == nullptr && n != 0)
        free(p);
    return q;
}

void import_free(void *p) {
    free(p);
}

void import_echo(char c) {
    fputc(c, stdout);
}
