// What reading a FaultTree+ file pair produces: the import result code and
// the holder of the tree. The lowest header of the readers: the readers and
// the scanner glue include it, and ftread.h, the entry point, includes them.
#ifndef FTD_FTRESULT_H
#define FTD_FTRESULT_H

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

    // An empty events list (made first) and a fresh root. Throws
    // std::bad_alloc when memory is exhausted, having released what it made.
    FTD_tree() {
        events = ft_list_init();
        try {
            root = ft_init();
        } catch (...) {
            ft_list_free(events);
            throw;
        }
    }
    ~FTD_tree() { ft_free_tree(root, events); }
    FTD_tree(const FTD_tree &) = delete;
    FTD_tree &operator=(const FTD_tree &) = delete;
};

#endif
