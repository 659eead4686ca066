// Helpers of the fault-injection and session tests: a temporary directory
// and HOME, whole-file reads and writes, directory listings, and a mount
// namespace of the test process's own with small file systems in it.
#ifndef FAULT_SUPPORT_H
#define FAULT_SUPPORT_H

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "paths.h"

inline std::string read_all(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_all(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A fresh directory in the tests' temporary folder (testing::TempDir():
// TMPDIR, else /tmp), removed with everything in it (and a tmpfs mounted at
// "full" below it) at the end by the process that made it; a forked child
// shares it and leaves it.
struct temp_dir {
    std::string path;
    pid_t maker = getpid();
    temp_dir() {
        std::string tmpl = testing::TempDir() + "ftd_fault_XXXXXX";
        if (!mkdtemp(&tmpl[0]))
            abort(); // no test can go on without its directory
        path = tmpl;
    }
    ~temp_dir() { remove(); }
    std::string file(const std::string &name) const { return path + "/" + name; }
    // Ends the process with code as _exit does, which runs no destructor,
    // removing the directory first: how a death test's child ends when the
    // threadsafe style starts it afresh, with a fixture and a directory of
    // its own.
    [[noreturn]] void exit_child(int code) const {
        remove();
        _exit(code);
    }

  private:
    void remove() const {
        if (getpid() == maker)
            (void)!system(
                ("umount -l '" + path + "/full' 2>/dev/null; rm -rf '" + path + "'").c_str());
    }
};

// A fresh HOME; the preference store lives below it.
struct temp_home : temp_dir {
    std::string home = path;
    temp_home() {
        setenv("HOME", path.c_str(), 1);
        install_dir[0] = '\0';
    }
    std::string folder() const { return home + "/.fltk/Brenmoor/ORVIK_Morvu-SA"; }
    std::string store() const { return folder() + "/preferences.prefs"; }
    void make_store_dir() const { (void)!system(("mkdir -p '" + folder() + "'").c_str()); }
    void write_store(const std::string &bytes) const {
        make_store_dir();
        write_all(store(), bytes);
    }
};

// While it lives, files this process writes stop at bytes (0: no new limit).
// A write past it raises SIGXFSZ, as in the program: what then happens is the
// program's own doing.
struct file_size_limit {
    rlimit old;
    explicit file_size_limit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = bytes ? bytes : old.rlim_cur;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~file_size_limit() { setrlimit(RLIMIT_FSIZE, &old); }
};

// Caps this process's address space at its present size plus bytes, so that
// a larger allocation fails as when memory runs out. The cap stays: for a
// child process, as a death test runs.
inline void cap_address_space(rlim_t bytes) {
    unsigned long pages = 0;
    if (FILE *f = fopen("/proc/self/statm", "r")) {
        if (fscanf(f, "%lu", &pages) != 1)
            pages = 0;
        fclose(f);
    }
    rlimit rl;
    rl.rlim_cur = rl.rlim_max = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + bytes;
    setrlimit(RLIMIT_AS, &rl);
}

// Enters a mount namespace of this process's own, so that a test's mounts
// disappear with the process. 0 on success (root with CAP_SYS_ADMIN).
inline int private_mounts() {
    static int state = -1;
    if (state < 0)
        state = unshare(CLONE_NEWNS) == 0 &&
                        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
                    ? 0
                    : 1;
    return state;
}

// Mounts a tmpfs of size (12 KiB by default) at dir (made here) in the
// process's own mount namespace: a file system that fills up after a few
// pages. 0 on success.
inline int mount_small_tmpfs(const std::string &dir, const std::string &size = "12k") {
    if (private_mounts() != 0 || mkdir(dir.c_str(), 0755) != 0)
        return -1;
    return mount("tmpfs", dir.c_str(), "tmpfs", 0, ("size=" + size).c_str());
}

// The names in directory dir, without "." and "..".
inline std::set<std::string> names_in(const std::string &dir) {
    std::set<std::string> names;
    std::error_code error; // a missing directory has no names
    for (const auto &entry : std::filesystem::directory_iterator(dir, error))
        names.insert(entry.path().filename());
    return names;
}

#endif
