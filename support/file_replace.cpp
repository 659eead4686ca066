// Replacing a file whole or not at all.
#include "file_replace.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "paths.h"

std::string file_link_target(const char *path) {
    struct stat st;
    if (lstat(path, &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char *resolved = realpath(path, nullptr);
    std::string target = resolved ? resolved : "";
    free(resolved);
    return target;
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

// 1 when target exists but is not a regular file.
static int special_file(const std::string &target) {
    struct stat st;
    return stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
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

// Syncs folder ("" for the working directory), so that a rename in it lasts.
// Best effort.
static void sync_folder(const std::string &folder) {
    int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

int file_replace(const std::string &target, int set_aside,
                 const std::function<int(FILE *)> &write) {
    // A name longer than the system takes names no file (and no folder).
    if (target.empty() || target.size() >= FTD_PATH_MAX || (!set_aside && special_file(target)))
        return -1;
    const std::string folder = path_dirname(target.c_str());
    std::string temp, aside;
    FILE *file;
    if (open_temp(folder, target, &temp, &file) != 0)
        return -1;
    int written = write(file);
    int result = finish_file(file) == 0 && written == 0 ? 0 : -1;
    if (result == 0 && set_aside && move_aside(target, &aside) != 0)
        result = -1;
    if (result == 0 && rename(temp.c_str(), target.c_str()) != 0) {
        if (!aside.empty())
            rename_no_replace(aside, target);
        result = -1;
    }
    if (result != 0)
        unlink(temp.c_str());
    else
        sync_folder(folder);
    return result;
}
