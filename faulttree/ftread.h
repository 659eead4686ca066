// Reading a FaultTree+ file pair (events file, gates file) into a tree holder:
// the entry point of the readers. The result codes and the holder are in
// ftresult.h.
#ifndef FTD_FTREAD_H
#define FTD_FTREAD_H

#include "ftresult.h"

// Reads the pair into holder: 0 loaded; 2 events file cannot be opened
// (nothing else is opened); 4 bad events file; 1 gates file cannot be opened;
// 3 bad gates file; 5 undefined basic event; 6 a read error or exhausted
// memory. After a failure the holder keeps what was built. meter (NULL:
// none) receives the gates reader's count, and whether it refused the file.
int read_faulttree_files(FTD_tree *holder, const char *events_path, const char *gates_path,
                         ftread_meter *meter = nullptr);

#endif
