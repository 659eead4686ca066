// Reading a FaultTree+ file pair into a tree holder.
#include "ftread.h"

#include <cstdio>
#include <new>

#include "events.h"
#include "gates.h"

FTD_tree::FTD_tree() {
    events = ft_list_init();
    root = ft_init();
}

FTD_tree::~FTD_tree() { ft_free_tree(root, events); }

// Runs the events scanner once over f. A read error or exhausted memory
// gives FTREAD_ERROR; the scanner is reset either way.
static int run_events(FILE *f, ft_list *events) {
    int rc;
    try {
        eventsrestart(f);
        rc = eventslex(events);
    } catch (const import_scan_error &) {
        rc = FTREAD_ERROR;
    } catch (const std::bad_alloc &) {
        rc = FTREAD_ERROR;
    }
    eventslex_destroy();
    return rc;
}

static int run_gates(FILE *f, ft_list *events, ft_element *root) {
    int rc;
    try {
        gatesrestart(f);
        rc = gateslex(events, root);
    } catch (const import_scan_error &) {
        rc = FTREAD_ERROR;
    } catch (const std::bad_alloc &) {
        rc = FTREAD_ERROR;
    }
    gateslex_destroy();
    gates_end_run();
    return rc;
}

int read_faulttree_files(FTD_tree *holder, const char *events_path, const char *gates_path) {
    FILE *f = fopen(events_path, "rb");
    if (f == NULL) return FTREAD_NO_EVENTS_FILE;
    int rc = run_events(f, holder->events);
    fclose(f);
    if (rc != FTREAD_OK) return rc;
    f = fopen(gates_path, "rb");
    if (f == NULL) return FTREAD_NO_GATES_FILE;
    rc = run_gates(f, holder->events, holder->root);
    fclose(f);
    return rc;
}
