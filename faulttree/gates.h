// The FaultTree+ gates file reader: one gate per data row, built below the
// holder's root.
#ifndef FTD_GATES_H
#define FTD_GATES_H

#include <cstdio>

#include "ftscan.h"
#include "saFaultTree.h"

class name_index;

#define GATES_COLUMNS 37

// Most places a loaded tree may take when drawn as a tree. A basic event
// named by several gates is drawn under each of them, and a later row can
// turn it into a gate whose inputs are again shared: a small file can then
// stand for more places than any walk finishes or an int width holds.
#define GATES_MAX_PLACES 5000000L

// The column table, row 0 "Name", rows 3 to 20 the inputs 0 to 17. A value
// points into the run's row buffers and is valid until the row ends.
extern import_column gates_columns[GATES_COLUMNS];

// For every row: flag 1 sets column to 0, flag 2 sets value to NULL.
void gates_reset_columns(unsigned char flags);

// Reads the whole gates file f (open for reading; the caller closes it):
// the first data row fills root, every later row the first element of its
// name in preorder below root. "E" inputs name the events that names holds
// (events_read filled it), "G" inputs make new elements; names also learns
// the gates' names (keyed by the elements' own texts: names must not outlive
// the tree). Returns 0; 3 for a content error or an "E" input that would
// make the tree cyclic; 5 for an "E" input that names no event; 6 for a read
// error, exhausted memory or a cell beyond IMPORT_MAX_BUFFER; also 3 for a
// tree that would take more than GATES_MAX_PLACES drawn places, and for a
// file whose rows the meter refuses (meter->refused set). After a failure
// the tree keeps what the rows before built, the failing gate partly filled.
//
// The run finds a row's element through its record of the tree: per name,
// its one live gate (a gate whose parent still holds it) and the inputs
// naming its event; whether an input naming an event turned into a gate was
// ever dropped; the previous row's name and element. While no such input
// was dropped, every live gate and every event with inputs naming it is in
// the tree; a live gate that no event lies above always is. Where the record
// cannot tell, the run searches the tree, each element visited a step on
// meter. So a load costs time linear in the file: a constant per cell, and
// the meter's budget (ftresult.h).
int gates_read(FILE *f, name_index *names, ft_element *root, ftread_meter *meter);

// One run of the reader, shared by its token handlers (defined in
// gates.cpp; the scanner only passes it on).
struct gates_run;

// Fills gate (is_event: it is a basic event of the events list) from the
// stored values of the current row: a new children list (the old children go
// to gate's detached list), name, type, description, inputs, page flag, and
// the Notes1 probability and criticality. Returns 0, 3 or 5 as gates_read
// does; on an error the gate stays partly filled.
int gates_build_gate(gates_run *run, ft_element *gate, bool is_event);

// The generated scanner (ftscan.l.in, prefix "gates", reentrant): its extra
// data is the run.
int gateslex_init_extra(gates_run *run, void **scanner);
void gatesset_in(FILE *in, void *scanner);
int gateslex(void *scanner);
int gateslex_destroy(void *scanner);

// Token handlers called by the scanner. The int ones return 0 to go on or
// the result code that ends the run; they throw std::bad_alloc when memory
// is exhausted.
void gates_tab(gates_run *run);
int gates_line_end(gates_run *run);
// A cell: the first len bytes of the token text (no TAB, CR or NUL among
// them; the token may go on with the NUL or TAB that ends the cell).
int gates_cell(gates_run *run, const char *text, size_t len);
int gates_end_of_input(gates_run *run);
// The scanner's read (import_input on the run's scan).
size_t gates_input(gates_run *run, const char *start, char *buf, size_t max, FILE *f);

#endif
