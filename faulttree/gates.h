// The FaultTree+ gates file reader: one gate per data row, built below the
// holder's root.
#ifndef FTD_GATES_H
#define FTD_GATES_H

#include <cstdio>

#include "ftscan.h"
#include "saFaultTree.h"

#define GATES_COLUMNS 37

// The column table, row 0 "Name", rows 3 to 20 the inputs 0 to 17.
extern import_column gates_columns[GATES_COLUMNS];

// For every row: flag 1 sets column to 0, flag 2 frees value (NULL after).
void gates_reset_columns(unsigned char flags);

// Fills gate from the stored values of the current row: a new children list
// (the old children go to gate's detached list), name, type, description,
// inputs ("E" events looked up by name in events, first row wins; "G" new
// elements), page flag, and the Notes1 probability and criticality.
// Returns 0; 3 for a bad cell or an "E" input that would make the tree
// cyclic; 5 for an "E" input that names no event. On an error the gate stays
// partly filled.
int gates_build_gate(ft_element *gate, ft_list *events);

// The generated scanner (prefix "gates"). gateslex reads the whole input and
// returns 0, 3 or 5; it throws import_scan_error on a read error or
// exhausted memory (the caller then calls gateslex_destroy).
int gateslex(ft_list *events, ft_element *root);
void gatesrestart(FILE *input);
int gateslex_destroy(void);

// Token handlers called by the scanner. The int ones return 0 to go on or
// the result code that ends the run.
void gates_begin_run(ft_list *events, ft_element *root);
void gates_tab(void);
int gates_line_end(ft_list *events, ft_element *root);
int gates_cell(const char *text);
int gates_end_of_input(ft_list *events, ft_element *root);
// Drops the look-up indexes of the last run (frees their memory).
void gates_end_run(void);

#endif
