// Reading a FaultTree+ file pair into a tree holder.
#include "ftread.h"

#include <cstdio>

#include "events.h"
#include "ftnames.h"
#include "gates.h"

// Opens path and reads it with read(f): FTREAD_ERROR for anything but a
// regular file and for a file with a cell beyond IMPORT_MAX_CELL,
// missing_code when it cannot be opened.
template <class Read> static int read_file(const char *path, int missing_code, Read read) {
    int not_a_file;
    FILE *f = import_open(path, &not_a_file);
    if (f == nullptr)
        return not_a_file ? FTREAD_ERROR : missing_code;
    const int rc = import_has_long_cell(f) ? FTREAD_ERROR : read(f);
    fclose(f);
    return rc;
}

int read_faulttree_files(FTD_tree *holder, const char *events_path, const char *gates_path,
                         ftread_meter *meter) {
    name_index names; // the events and gates by name, while the pair is read
    ftread_meter own;
    int rc = read_file(events_path, FTREAD_NO_EVENTS_FILE,
                       [&](FILE *f) { return events_read(f, holder->events, &names); });
    if (rc != FTREAD_OK)
        return rc;
    return read_file(gates_path, FTREAD_NO_GATES_FILE, [&](FILE *f) {
        return gates_read(f, &names, holder->root, meter ? meter : &own);
    });
}
