// The FaultTree+ events file reader: one basic event per data row.
#ifndef FTD_EVENTS_H
#define FTD_EVENTS_H

#include <cstdio>

#include "ftscan.h"
#include "saFaultTree.h"

class name_index;

#define EVENTS_COLUMNS 26

// The column table, row 0 "Name". A value points into the run's row
// buffers and is valid until the row ends.
extern import_column events_columns[EVENTS_COLUMNS];

// For every row: flag 1 sets column to 0, flag 2 sets value to NULL.
void events_reset_columns(unsigned char flags);

// Reads the whole events file f (open for reading; the caller closes it)
// and appends one basic event per data row to events, in file order; names
// gets the event of each name's first row (the index keeps the element's
// name as its key: the events must outlive it).
// Returns 0; 4 for a content error; 6 for a read error, exhausted memory or
// a cell beyond IMPORT_MAX_BUFFER. After a failure events keeps the events
// of the rows before the failing one.
int events_read(FILE *f, ft_list *events, name_index *names);

// One run of the reader, shared by its token handlers (defined in
// events.cpp; the scanner only passes it on).
struct events_run;

// The generated scanner (ftscan.l.in, prefix "events", reentrant): its extra
// data is the run.
int eventslex_init_extra(events_run *run, void **scanner);
void eventsset_in(FILE *in, void *scanner);
int eventslex(void *scanner);
int eventslex_destroy(void *scanner);

// Token handlers called by the scanner. The int ones return 0 to go on or
// the result code that ends the run; they throw std::bad_alloc when memory
// is exhausted.
void events_tab(events_run *run);
int events_line_end(events_run *run);
// A cell: the first len bytes of the token text (no TAB, CR or NUL among
// them; the token may go on with the NUL or TAB that ends the cell).
int events_cell(events_run *run, const char *text, size_t len);
int events_end_of_input(events_run *run);
// The scanner's read (import_input on the run's scan).
size_t events_input(events_run *run, const char *start, char *buf, size_t max, FILE *f);

#endif
