// Shared plumbing of the fuzz targets: one fuzz input holds both files of a
// FaultTree+ pair, which the targets hand to the reader by path.
#ifndef FTD_FUZZ_COMMON_H
#define FTD_FUZZ_COMMON_H

#include <cstddef>
#include <cstdint>

#include "ftread.h"

// Bytes that separate the events file from the gates file inside one input.
// An input without them is an events file with an empty gates file.
#define FUZZ_PAIR_MARK "\x1egates\x1e"

// Two in-memory files reachable by path, written anew for every input.
struct fuzz_pair {
    int events_fd;
    int gates_fd;
    char events_path[64];
    char gates_path[64];
};

// Makes the two files and sends standard output to /dev/null (the readers
// echo stray bytes there). Ends the process when a file cannot be made.
void fuzz_pair_init(fuzz_pair *p);

// Splits data at the first mark and stores the two parts in the files.
// Ends the process when a file cannot be written.
void fuzz_pair_fill(fuzz_pair *p, const uint8_t *data, size_t size);

// Counts one run with its import result code (0 to 6) and, once at exit,
// prints how many runs ended with each code, under the target's name.
void fuzz_count_result(const char *target, int code);

// Prints what went wrong, with the input's two parts, and aborts so that the
// fuzzer keeps the input as a crash.
[[noreturn]] void fuzz_fail(const char *what, long value);

// Stores data in the pair's files, reads them into a new holder and checks
// and counts the result code (into *code). The caller releases the holder
// with fuzz_release.
FTD_tree *fuzz_read(fuzz_pair *p, const uint8_t *data, size_t size, const char *target, int *code);

// Deletes holder; aborts when elements made since live_before stay alive.
void fuzz_release(FTD_tree *holder, long live_before);

#endif
