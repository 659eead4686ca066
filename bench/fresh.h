// Helpers of the benchmarks that time what a user waits for: a round run in a
// fresh process (this same program started again with a hidden argument, so
// that no round reuses the heap or the pages of the round before), its
// resident memory, and medians. Header only; Linux (/proc).
#ifndef FTD_BENCH_FRESH_H
#define FTD_BENCH_FRESH_H

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

inline double bench_now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

inline double bench_median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A line of this process's /proc/self/status in MB: key "VmRSS" (resident
// now) or "VmHWM" (the most it was resident). 0 when it cannot be read.
inline double bench_status_mb(const char *key) {
    FILE *f = fopen("/proc/self/status", "r");
    if (f == nullptr)
        return 0;
    char line[256];
    double kb = 0;
    const size_t n = strlen(key);
    while (fgets(line, sizeof line, f))
        if (strncmp(line, key, n) == 0 && line[n] == ':') {
            kb = atof(line + n + 1);
            break;
        }
    fclose(f);
    return kb / 1024.0;
}

// Runs this program again as "<program> args..." and returns in out the
// numbers that the child printed on its standard output. 0 when the child
// ended with status 0, else -1. The child's standard error is this one's.
inline int bench_fresh(const std::vector<std::string> &args, std::vector<double> &out) {
    out.clear();
    int fd[2];
    if (pipe(fd) != 0)
        return -1;
    fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        dup2(fd[1], 1);
        close(fd[0]);
        close(fd[1]);
        std::vector<char *> argv{const_cast<char *>("bench")};
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    close(fd[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = read(fd[0], buf, sizeof buf)) > 0;)
        text.append(buf, size_t(n));
    close(fd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const char *p = text.c_str();
    for (char *end;; p = end) {
        const double v = strtod(p, &end);
        if (end == p)
            break;
        out.push_back(v);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : -1;
}

// Medians, column by column, of rows of numbers (each row one fresh round).
inline std::vector<double> bench_column_medians(const std::vector<std::vector<double>> &rows) {
    std::vector<double> m;
    for (size_t c = 0; !rows.empty() && c < rows[0].size(); ++c) {
        std::vector<double> col;
        for (const std::vector<double> &r : rows)
            if (c < r.size())
                col.push_back(r[c]);
        m.push_back(bench_median(col));
    }
    return m;
}

#endif
