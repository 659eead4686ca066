// Shared plumbing of the fuzz targets (see fuzz_common.h).
#include "fuzz_common.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static int make_file(const char *name, char *path, size_t size) {
    int fd = memfd_create(name, 0);
    if (fd < 0) {
        perror("memfd_create");
        abort();
    }
    snprintf(path, size, "/proc/self/fd/%d", fd);
    return fd;
}

void fuzz_pair_init(fuzz_pair *p) {
    p->events_fd = make_file("events", p->events_path, sizeof p->events_path);
    p->gates_fd = make_file("gates", p->gates_path, sizeof p->gates_path);
    int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd >= 0) {
        fflush(stdout);
        dup2(null_fd, STDOUT_FILENO);
        close(null_fd);
    }
}

static void store(int fd, const uint8_t *data, size_t size) {
    if (ftruncate(fd, 0) != 0)
        abort();
    size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(fd, data + done, size - done, (off_t)done);
        if (n <= 0)
            abort();
        done += (size_t)n;
    }
}

void fuzz_pair_fill(fuzz_pair *p, const uint8_t *data, size_t size) {
    static const char mark[] = FUZZ_PAIR_MARK;
    const size_t mark_len = sizeof mark - 1;
    const void *at = memmem(data, size, mark, mark_len);
    size_t events_len = at ? (size_t)((const uint8_t *)at - data) : size;
    store(p->events_fd, data, events_len);
    size_t gates_start = at ? events_len + mark_len : size;
    store(p->gates_fd, data + gates_start, size - gates_start);
}

static long result_counts[7];
static const char *counted_target;

static void print_counts() {
    fprintf(stderr, "%s: runs by result code:", counted_target);
    for (int i = 0; i < 7; i++)
        fprintf(stderr, " %d:%ld", i, result_counts[i]);
    fprintf(stderr, "\n");
}

void fuzz_count_result(const char *target, int code) {
    if (!counted_target) {
        counted_target = target;
        atexit(print_counts);
    }
    if (code >= 0 && code < 7)
        result_counts[code]++;
}

void fuzz_fail(const char *what, long value) {
    fprintf(stderr, "FUZZ FAILURE: %s (%ld)\n", what, value);
    abort();
}

FTD_tree *fuzz_read(fuzz_pair *p, const uint8_t *data, size_t size, const char *target, int *code) {
    fuzz_pair_fill(p, data, size);
    FTD_tree *holder = new FTD_tree();
    *code = read_faulttree_files(holder, p->events_path, p->gates_path);
    if (*code < FTREAD_OK || *code > FTREAD_ERROR)
        fuzz_fail("result code out of range", *code);
    fuzz_count_result(target, *code);
    return holder;
}

void fuzz_release(FTD_tree *holder, long live_before) {
    delete holder;
    if (ft_live_elements() != live_before)
        fuzz_fail("elements left alive after the holder was deleted",
                  ft_live_elements() - live_before);
}
