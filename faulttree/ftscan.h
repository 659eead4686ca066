// The table format shared by the two FaultTree+ readers: column tables,
// the scanning state, and the glue between a generated scanner and its
// reader (input, memory, failures).
#ifndef FTD_FTSCAN_H
#define FTD_FTSCAN_H

#include <cstddef>
#include <cstdio>
#include <stdexcept>
#include <vector>

// One row of a reader's column table.
typedef struct {
    char name[64]; // column name of the FaultTree+ format; constant
    int column;    // 1-based column the header named it in; 0 while unnamed
    char *value;   // current data row's cell text, NULL when none. The text
                   // lives in the reader's scanning state (its buffers are
                   // reused row after row, so a row costs no allocation).
} import_column;

// Flags of the reset operations: 1 forget the header columns, 2 free values.
enum { IMPORT_RESET_COLUMNS = 1, IMPORT_RESET_VALUES = 2 };

// Scanning state of one reader.
struct import_scan {
    int counter = 1;           // 1-based column of the next cell
    int state = 0;             // reader-specific state
    bool row_cells = false;    // the current line has produced a cell
    std::vector<int> col2row;  // data column -> first table row naming it, -1 none
    std::vector<std::vector<char>> store; // per table row: the text value points to
};

// Thrown by the scanner glue on a read error or exhausted memory; the file
// pair reader turns it into FTREAD_ERROR.
struct import_scan_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Applies the reset flags to every row of the table (flag 2 sets every value
// to NULL). Cannot fail.
void import_reset(import_column *table, int rows, unsigned char flags);

// Starts a run: counter 1, state 0, table reset with both flags.
void import_begin(import_scan *scan, import_column *table, int rows);

// One TAB: the counter grows by one (it stops at INT_MAX).
void import_tab(import_scan *scan);

// A header cell: the first row named text gets the counter as its column.
// Returns 0, or -1 when no row has that name.
int import_header_cell(import_scan *scan, import_column *table, int rows, const char *text);

// The header's line end: builds the column map, counter back to 1. Returns
// -1 when the "Name" row (row 0) has no column, else 0. Throws
// std::bad_alloc when memory is exhausted.
int import_header_end(import_scan *scan, import_column *table, int rows);

// A data cell: its text (up to the first NUL) replaces the value of the
// first row whose column is the counter. Returns 0, or -1 when no row has
// that column. Throws std::bad_alloc when memory is exhausted.
int import_data_cell(import_scan *scan, import_column *table, const char *text);

// A data row is done: values freed, counter back to 1.
void import_row_end(import_scan *scan, import_column *table, int rows);

// Scanner glue. import_read fills buf like fread (0 at end of input, an
// interrupted read retried) and throws import_scan_error on a read error.
size_t import_read(char *buf, size_t max, FILE *f);
// Reports a scanner failure by throwing import_scan_error; never returns.
[[noreturn]] void import_scan_failed(const char *msg);
// The scanner's memory: NULL on failure; a failed grow frees the old block,
// so nothing leaks when the scanner gives up.
void *import_alloc(size_t n);
void *import_realloc(void *p, size_t n);
void import_free(void *p);
// Writes a byte that no token takes (a lone CR) to the standard output.
void import_echo(char c);

#endif
