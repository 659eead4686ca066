// Replacing a file whole or not at all.
#include "file_replace.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "paths.h"

// Links followed before a chain counts as a loop, as the kernel counts them.
static const int max_link_hops = 40;

// The name that path's chain of symbolic links ends on: path itself when it
// is no link, else the name the last link gives, which may name nothing yet
// (a dangling link). "" for a loop, or a chain that cannot be followed.
static std::string link_end(const std::string &path) {
    std::string name = path;
    std::vector<char> text(FTD_PATH_MAX);
    for (int hops = 0; hops <= max_link_hops; hops++) {
        struct stat st;
        if (lstat(name.c_str(), &st) != 0)
            return errno == ENOENT ? name : "";
        if (!S_ISLNK(st.st_mode))
            return name;
        ssize_t n = readlink(name.c_str(), text.data(), text.size());
        if (n <= 0 || (size_t)n >= text.size())
            return "";
        // A relative link is taken from the link's own folder.
        const std::string next(text.data(), n);
        name = next[0] == '/' ? next : name.substr(0, name.rfind('/') + 1) + next;
    }
    return "";
}

std::string file_replace_target(const std::string &path, int options) {
    std::string end = link_end(path);
    struct stat st;
    if (end.empty() || end == path || (options & REPLACE_DANGLING))
        return end;
    return lstat(end.c_str(), &st) == 0 ? end : "";
}

// The permissions for the file replacing target: target's own when it is a
// regular file, else those a new file gets.
static mode_t replacement_mode(const std::string &target) {
    struct stat st;
    if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// 1 when old, what is at target, is a regular file that this process may
// write, as the kernel decides it (a read-only file of the user's own is not,
// whatever its folder allows).
static int writable_file(const std::string &target, const struct stat &old) {
    return S_ISREG(old.st_mode) && faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

// 1 when the existing file old is to be written in place: renaming made, the
// new file, over it would give it made's owner or group, or cut off the other
// names of a file with several.
static int keep_in_place(const struct stat &old, FILE *made) {
    struct stat st;
    return old.st_nlink > 1 || fstat(fileno(made), &st) != 0 || st.st_uid != old.st_uid ||
           st.st_gid != old.st_gid;
}

// Opens a new temporary file in folder, made for replacing target, for
// writing into *file, its name into *temp. 0, or -1 with nothing made.
static int open_temp(const std::string &folder, const std::string &target, std::string *temp,
                     FILE **file) {
    *temp = folder + ".ftd_replace.XXXXXX";
    int fd = mkstemp(&(*temp)[0]);
    if (fd < 0)
        return -1;
    if (fchmod(fd, replacement_mode(target)) != 0 || !(*file = fdopen(fd, "w"))) {
        close(fd);
        unlink(temp->c_str());
        return -1;
    }
    return 0;
}

// Flushes, syncs and closes file; 0 when that and every earlier write worked.
static int finish_file(FILE *file) {
    int failed = ferror(file) || fflush(file) != 0 || fsync(fileno(file)) != 0;
    return fclose(file) != 0 || failed ? -1 : 0;
}

// Renames from to to unless to exists; 0, or -1 (errno EEXIST when it does).
static int rename_no_replace(const std::string &from, const std::string &to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return -1;
    // A file system without the flag: look first.
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return rename(from.c_str(), to.c_str());
}

// Moves path to the first free name of path.corrupt, path.corrupt.1, ...;
// that name into *aside. 0, or -1 when it cannot be moved.
static int move_aside(const std::string &path, std::string *aside) {
    for (int n = 0; n < 1000; n++) {
        *aside = path + ".corrupt" + (n ? "." + std::to_string(n) : "");
        if (rename_no_replace(path, *aside) == 0)
            return 0;
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// Puts the finished file temp in target's place, what is there moved aside
// first when set_aside is non-zero. 0, or -1 with target as it was.
static int put_in_place(const std::string &temp, const std::string &target, int set_aside) {
    std::string aside;
    if (set_aside && move_aside(target, &aside) != 0)
        return -1;
    if (rename(temp.c_str(), target.c_str()) == 0)
        return 0;
    if (!aside.empty())
        rename_no_replace(aside, target);
    return -1;
}

// Reserves room for size bytes in fd without changing its length or bytes.
// 0, also where the file system reserves nothing; -1 when the room is missing.
static int reserve_room(int fd, off_t size) {
    if (size == 0 || fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0)
        return 0;
    return errno == EOPNOTSUPP || errno == ENOSYS ? 0 : -1;
}

// Writes every byte of in, from its start, over out from its start. 0 or -1.
// The buffer is on the stack: copying needs no memory that could run out.
static int copy_bytes(int in, int out) {
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n <= 0)
            return n == 0 ? 0 : -1;
        for (ssize_t done = 0, w; done < n; done += w)
            if ((w = write(out, buffer + done, n - done)) <= 0)
                return -1;
    }
}

// Copies the finished file from over the existing file to, which so keeps
// its inode, owner, group, permissions and other names. Room for the new
// length is reserved first, so a full disk fails before a byte of to changes
// (where the file system reserves); a failure after that leaves to damaged.
// 0, or -1.
static int copy_into(const std::string &from, const std::string &to) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC), out = open(to.c_str(), O_WRONLY | O_CLOEXEC);
    struct stat st;
    int copied = in >= 0 && out >= 0 && fstat(in, &st) == 0 && reserve_room(out, st.st_size) == 0 &&
                 copy_bytes(in, out) == 0 && ftruncate(out, st.st_size) == 0 && fsync(out) == 0;
    int result = copied ? 0 : -1;
    if (in >= 0)
        close(in);
    if (out >= 0 && close(out) != 0)
        result = -1;
    return result;
}

// Syncs folder ("" for the working directory), so that a rename in it lasts.
// Best effort.
static void sync_folder(const std::string &folder) {
    int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// write's result; -1 when it runs out of memory.
static int written_by(const std::function<int(FILE *)> &write, FILE *file) {
    try {
        return write(file);
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

// file_replace, but for memory running out before the temporary file is
// made, which it throws as std::bad_alloc.
static int replace(const std::string &path, int options, const std::function<int(FILE *)> &write) {
    const std::string target = file_replace_target(path, options);
    // A name longer than the system takes names no file (and no folder).
    if (target.empty() || target.size() >= FTD_PATH_MAX)
        return -1;
    const int set_aside = options & REPLACE_SET_ASIDE;
    struct stat old;
    const int exists = !set_aside && stat(target.c_str(), &old) == 0;
    if (exists && !writable_file(target, old))
        return -1;
    const std::string folder = path_dirname(target.c_str());
    std::string temp;
    FILE *file;
    if (open_temp(folder, target, &temp, &file) != 0)
        return -1;
    const int in_place = exists && keep_in_place(old, file);
    int written = written_by(write, file);
    int result = finish_file(file) == 0 && written == 0 ? 0 : -1;
    try {
        if (result == 0)
            result = in_place ? copy_into(temp, target) : put_in_place(temp, target, set_aside);
    } catch (const std::bad_alloc &) {
        result = -1; // the name to set aside to could not be made: nothing moved
    }
    if (result != 0 || in_place)
        unlink(temp.c_str());
    else
        sync_folder(folder);
    return result;
}

int file_replace(const std::string &path, int options, const std::function<int(FILE *)> &write) {
    try {
        return replace(path, options, write);
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

void file_replace_startup(void) {
    signal(SIGXFSZ, SIG_IGN);
}
