// The fatal internal-error report: the program's answer to an impossible
// internal state (a node kind, an import result or a preference index outside
// its range).
#ifndef FTD_FATAL_H
#define FTD_FATAL_H

// Shows the "ABNORMAL PROGRAM TERMIMATION." alert naming expr, file and line
// (through the dialogs seam, in Courier 14) and ends the process with status 1.
// Callers pass "0", the name of their module and, as line, a fixed number
// that the report shows for that case (their LINE_* constants): a number of
// the report, not a line of any source file here.
[[noreturn]] void fatal_assert(const char *expr, const char *file, int line);

#endif
