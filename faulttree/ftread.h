// Reading a FaultTree+ file pair (events file, gates file) into a tree holder.
#ifndef FTD_FTREAD_H
#define FTD_FTREAD_H

#include "saFaultTree.h"

// Import result codes.
enum {
    FTREAD_OK = 0,
    FTREAD_NO_GATES_FILE = 1,
    FTREAD_NO_EVENTS_FILE = 2,
    FTREAD_BAD_GATES = 3, // also: a tree of more than GATES_MAX_PLACES drawn places
    FTREAD_BAD_EVENTS = 4,
    FTREAD_UNDEFINED_EVENT = 5,
    FTREAD_ERROR = 6
};

// The holder of one loaded tree. It owns the root, the events list and every
// element below them; the destructor releases them all.
struct FTD_tree {
    ft_element *root; // filled from the first gates row
    ft_list *events;  // one basic event per events row, in file order

    FTD_tree();
    ~FTD_tree();
    FTD_tree(const FTD_tree &) = delete;
    FTD_tree &operator=(const FTD_tree &) = delete;
};

// Reads the pair into holder: 0 loaded; 2 events file cannot be opened
// (nothing else is opened); 4 bad events file; 1 gates file cannot be opened;
// 3 bad gates file; 5 undefined basic event; 6 a read error or exhausted
// memory. After a failure the holder keeps what was built.
int read_faulttree_files(FTD_tree *holder, const char *events_path, const char *gates_path);

#endif
