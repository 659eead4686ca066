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
    FTREAD_BAD_GATES = 3, // also: a tree of more than GATES_MAX_PLACES drawn places, and
                          // a file refused by the meter (ftread_meter)
    FTREAD_BAD_EVENTS = 4,
    FTREAD_UNDEFINED_EVENT = 5,
    FTREAD_ERROR = 6
};

// The meter of the work that a gates file drives beyond the plain steps of
// each cell: every element that the reader's searches visit counts one step.
// A load may take FTREAD_STEPS_PER_BYTE steps for every byte of the gates
// file read so far and FTREAD_STEPS_ALLOWED more (so a small file is never
// refused); a file that needs more is refused (FTREAD_BAD_GATES, refused set)
// as soon as the count passes the budget. A tree has fewer elements than a
// third of its file's bytes, so the factor pays for six searches of the whole
// tree, the allowance for hundreds in a tree of tens of thousands of
// elements; ordinary files search at most once or twice, and a refused file
// of 4 MB stops within a second.
#define FTREAD_STEPS_PER_BYTE 2
#define FTREAD_STEPS_ALLOWED 6000000LL
struct ftread_meter {
    long long steps = 0; // counted so far
    long long bytes = 0; // of the gates file, read so far
    bool refused = false;
    // Counts one step; false (and refused set) once the count passes the
    // budget.
    bool step() {
        if (++steps <= bytes * FTREAD_STEPS_PER_BYTE + FTREAD_STEPS_ALLOWED)
            return true;
        refused = true;
        return false;
    }
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
