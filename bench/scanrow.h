// The bare scanners of the load benchmark's row on the input block size: the
// readers' token rules (faulttree/ftscan.l.in) generated with the readers'
// input blocks of 128 KiB (prefix "scanbig") and with flex's own 16 KiB
// (prefix "scansmall"); their handlers count what they meet.
#ifndef FTD_BENCH_SCANROW_H
#define FTD_BENCH_SCANROW_H

#include <cstdio>

#include "ftscan.h"

struct scanrow_run {
    long cells = 0, rows = 0;
};

inline void scanrow_tab(scanrow_run *) {}
inline int scanrow_line_end(scanrow_run *run) {
    ++run->rows;
    return 0;
}
inline int scanrow_cell(scanrow_run *run, const char *, size_t) {
    ++run->cells;
    return 0;
}
inline int scanrow_end_of_input(scanrow_run *) {
    return 0;
}
inline size_t scanrow_input(scanrow_run *, const char *, char *buf, size_t max, FILE *f) {
    return import_read(buf, max, f);
}

int scanbiglex_init_extra(scanrow_run *run, void **scanner);
void scanbigset_in(FILE *in, void *scanner);
int scanbiglex(void *scanner);
int scanbiglex_destroy(void *scanner);
int scansmalllex_init_extra(scanrow_run *run, void **scanner);
void scansmallset_in(FILE *in, void *scanner);
int scansmalllex(void *scanner);
int scansmalllex_destroy(void *scanner);

#endif
