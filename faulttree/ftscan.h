// The table format shared by the two FaultTree+ readers: column tables,
// the scanning state, and the glue between a generated scanner and its
// reader (opening the input, reading, memory, failures).
#ifndef FTD_FTSCAN_H
#define FTD_FTSCAN_H

#include <climits>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <new>
#include <stdexcept>
#include <vector>

#include "ftresult.h"

// One row of a reader's column table.
typedef struct {
    char name[64]; // column name of the FaultTree+ format; constant
    int column;    // 1-based column the header named it in; 0 while unnamed
    char *value;   // current data row's cell text, NULL when none; valid
                   // until the row ends. It points into the scanner's input
                   // buffer, or into the run's row buffers (import_scan::store,
                   // reused row after row) for a row the buffer may move.
} import_column;

// Flags of the reset operations: 1 forget the header columns, 2 drop the
// values (set them to NULL; the row buffers stay for the next row).
enum { IMPORT_RESET_COLUMNS = 1, IMPORT_RESET_VALUES = 2 };

// Scanning state of one run of a reader.
struct import_scan {
    int counter = 1;                      // 1-based column of the next cell
    int state = 0;                        // reader-specific state
    bool row_cells = false;               // the current line has produced a cell
    std::vector<int> col2row;             // data column -> first table row naming it, -1 none
    std::vector<int> named;               // the rows that take values: those the header named
    std::vector<std::vector<char>> store; // per table row: room for a copied cell text
    std::vector<size_t> length;           // per table row: the length of its value
    // A cell that begins before this point of the scanner's buffer lies in a
    // row that ends before the buffer is read into again, so its text is
    // used where it lies; later cells are copied into store. NULL: copy all.
    const char *in_place_end = nullptr;
};

// The scanners' input block: 128 KiB, fewer reads than flex's 16 KiB and
// still well within the processor's second-level cache. A block grows when
// one token does not fit.
const int IMPORT_BLOCK = 131072;

// Longest stretch of a cell that the readers take: 256 MiB without a TAB, CR
// or NUL byte (a NUL ends the stored text; the bytes after it still belong
// to the cell). A file holding a longer one is refused as a read error.
const size_t IMPORT_MAX_CELL = size_t(256) << 20;

// Largest input buffer a scanner may use, in bytes. The buffer holds one
// token whole; twice IMPORT_MAX_CELL leaves room for the longest cell as the
// buffer doubles, and stops a file that grows while it is read before the
// buffer size doubles on towards the scanner's int limit.
const size_t IMPORT_MAX_BUFFER = 2 * IMPORT_MAX_CELL;

// Thrown by the scanner glue on a read error, exhausted memory or a buffer
// beyond IMPORT_MAX_BUFFER.
struct import_scan_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Sets every row's column to 0 (flag 1) and value to NULL (flag 2). Cannot
// fail.
void import_reset(import_column *table, int rows, unsigned char flags);

// Starts a run: counter 1, state 0, table reset with both flags. Throws
// std::bad_alloc when memory is exhausted.
void import_begin(import_scan *scan, import_column *table, int rows);

// One TAB: the counter grows by one (it stops at INT_MAX). Inline, as the
// other per-cell steps below: a file has millions of them.
inline void import_tab(import_scan *scan) {
    if (scan->counter < INT_MAX)
        ++scan->counter;
}

// A header cell of len bytes (no NUL among them): the first row named text
// gets the counter as its column. Returns 0, or -1 when no row has that name.
int import_header_cell(import_scan *scan, import_column *table, int rows, const char *text,
                       size_t len);

// The header's line end: builds the column map, counter back to 1. Returns
// -1 when the "Name" row (row 0) has no column, else 0. Throws
// std::bad_alloc when memory is exhausted.
int import_header_end(import_scan *scan, import_column *table, int rows);

// The table row that a data cell at the counter goes to, -1 when none.
inline int import_cell_row(const import_scan *scan) {
    const size_t c = size_t(scan->counter);
    return c < scan->col2row.size() ? scan->col2row[c] : -1;
}

// Makes row's value a copy of the cell text (import_data_cell).
void import_copy_cell(import_scan *scan, import_column *table, int row, const char *text,
                      size_t len);

// A data cell: its text, len bytes without a NUL, replaces the value of the
// first row whose column is the counter. The text stays where it is when it
// lies before scan->in_place_end (the scanner ends it with a NUL before the
// row ends), else it is copied. Returns 0, or -1 when no row has that column.
// Throws std::bad_alloc when memory is exhausted.
inline int import_data_cell(import_scan *scan, import_column *table, const char *text,
                            size_t len) {
    scan->row_cells = true;
    const int row = import_cell_row(scan);
    if (row < 0)
        return -1;
    scan->length[size_t(row)] = len;
    if (std::less<const char *>()(text, scan->in_place_end))
        table[row].value = const_cast<char *>(text);
    else
        import_copy_cell(scan, table, row, text, len);
    return 0;
}

// The length of row's value; only while the value is not NULL.
inline size_t import_value_length(const import_scan *scan, int row) {
    return scan->length[size_t(row)];
}

// A data row is done: values dropped, counter back to 1.
inline void import_row_end(import_scan *scan, import_column *table) {
    for (int row : scan->named)
        table[row].value = nullptr;
    scan->counter = 1;
    scan->row_cells = false;
}

// Opens path for reading without waiting on it: a FIFO that nobody writes,
// a terminal or a device is refused instead of blocking the program.
// Returns the open file (the caller closes it); NULL with *not_a_file 0
// when path cannot be opened, NULL with *not_a_file 1 when it is no regular
// file (nothing stays open).
FILE *import_open(const char *path, int *not_a_file);

// 1 when the open regular file f holds a stretch of more than
// IMPORT_MAX_CELL bytes without TAB, CR or NUL, else 0 (also when it cannot
// tell: the scanner's buffer limit still holds). Looks at a few bytes per
// IMPORT_MAX_CELL of an ordinary file; leaves f's position alone.
int import_has_long_cell(FILE *f);

// Runs one scan: the result of scan(), or FTREAD_ERROR when it throws
// import_scan_error or std::bad_alloc.
template <class Scan> int import_guarded(Scan scan) {
    try {
        return scan();
    } catch (const import_scan_error &) {
        return FTREAD_ERROR;
    } catch (const std::bad_alloc &) {
        return FTREAD_ERROR;
    }
}

// Scanner glue. import_read fills buf like fread (0 at end of input, an
// interrupted read retried) and throws import_scan_error on a read error.
size_t import_read(char *buf, size_t max, FILE *f);
// The scanner's read: import_read into buf, the free end of the scanner's
// buffer that begins at start (the bytes between start and buf are the
// token the scanner is in). Sets scan->in_place_end to the CR of the last
// CR LF in the buffer that a byte follows: the scanner reads again only
// once it has passed that byte, so every row before it has ended by then.
size_t import_input(import_scan *scan, const char *start, char *buf, size_t max, FILE *f);
// Reports a scanner failure by throwing import_scan_error; never returns.
[[noreturn]] void import_scan_failed(const char *msg);
// The scanner's memory: NULL on failure and for a block beyond
// IMPORT_MAX_BUFFER (the scanner then gives up through import_scan_failed);
// a failed grow frees the old block, so nothing leaks.
void *import_alloc(size_t n);
void *import_realloc(void *p, size_t n);
void import_free(void *p);
// Writes a byte that no token takes (a lone CR) to the standard output.
void import_echo(char c);

#endif
