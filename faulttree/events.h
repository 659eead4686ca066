// The FaultTree+ events file reader: one basic event per data row.
#ifndef FTD_EVENTS_H
#define FTD_EVENTS_H

#include <cstdio>

#include "ftscan.h"
#include "saFaultTree.h"

#define EVENTS_COLUMNS 26

// The column table, row 0 "Name". Values belong to the table.
extern import_column events_columns[EVENTS_COLUMNS];

// For every row: flag 1 sets column to 0, flag 2 frees value (NULL after).
void events_reset_columns(unsigned char flags);

// Fills e from the stored values of the current row: name, FT_BASIC,
// description ("" without one), probability ("0.0" unless the failure model
// is "Fixed" with a parameter 0). Returns 0, or 4 when the row has no name
// (e is then untouched).
int events_fill_element(ft_element *e);

// The generated scanner (prefix "events"). eventslex reads the whole input
// and returns 0 or 4; it throws import_scan_error on a read error or
// exhausted memory (the caller then calls eventslex_destroy).
int eventslex(ft_list *events);
void eventsrestart(FILE *input);
int eventslex_destroy(void);

// Token handlers called by the scanner. The int ones return 0 to go on or
// the result code that ends the run.
void events_begin_run(void);
void events_tab(void);
int events_line_end(ft_list *events);
int events_cell(const char *text);
int events_end_of_input(ft_list *events);

#endif
