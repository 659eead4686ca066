// File > Export: writes the drawing as an SVG document.
//
// The document is written to a temporary file in the target's directory and
// renamed over the target only once it is complete and closed, so a failed
// export never leaves a short file nor destroys the file it was to replace.
#include <FL/filename.H>
#include <FL/fl_ask.H>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FTD_wnd_handler.h"
#include "dialogs.h"
#include "log.h"

// Logs an error line on the global logger when there is one.
static void log_error(const char *text) {
    if (global_log)
        global_log->log(LOG_ERROR, "%s", text);
}

// 1 when something of that name exists, readable or not.
static int name_exists(const char *path) {
    struct stat st;
    return lstat(path, &st) == 0;
}

void FTD_wnd_handler::on_export() {
    const char *events = events_output ? events_output->value() : NULL;
    std::string proposed = std::string(path_dirname(events ? events : "")) + "ft_export.svg";
    const char *chosen =
        dlg_file_chooser("Export fault tree as...", "SVG Files (*.svg)", proposed.c_str(), 0);
    if (chosen == NULL)
        return;
    std::string name = chosen; // the chooser's text changes with its next use
    if (fl_filename_isdir(name.c_str())) {
        log_error("You chose a directory.\nPlease, choose a different file.");
        return;
    }
    if (name_exists(name.c_str()) &&
        dlg_choice("File exists.\nDo you want to overwrite it?", fl_no, fl_yes, NULL) == 0)
        return;
    if (strcmp(fl_filename_ext(name.c_str()), ".svg") != 0) {
        log_error("Not a valid file extension.");
        return;
    }
    write_svg_file(name.c_str());
}

// The file a write to path really replaces: a symbolic link is followed to
// the file it resolves to, so that the link itself stays in place. "" for a
// link that resolves to nothing (dangling, or a loop).
static std::string replaced_file(const char *path) {
    struct stat st;
    if (lstat(path, &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char *resolved = realpath(path, NULL);
    std::string target = resolved ? resolved : "";
    free(resolved);
    return target;
}

// Gives the new file the mode of the file it replaces, or the mode a newly
// created file gets.
static void set_file_mode(int fd, const std::string &target) {
    struct stat st;
    if (stat(target.c_str(), &st) == 0) {
        fchmod(fd, st.st_mode & 07777);
        return;
    }
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
}

// Writes the document into the open temporary file fd; 0 when all of it is
// on disk and the file is closed, -1 otherwise. fd is closed either way.
static int write_temp(FTD_canvas *canvas, int fd) {
    FILE *out = fdopen(fd, "w");
    if (out == NULL) {
        close(fd);
        return -1;
    }
    int rc = canvas->write_svg(out);
    if (rc == 0 && fsync(fileno(out)) != 0)
        rc = -1;
    if (fclose(out) != 0)
        rc = -1;
    return rc;
}

// 1 when target exists but is not a regular file (a device, a pipe, a
// socket): renaming a new file over it would replace that special file.
static int special_file(const std::string &target) {
    struct stat st;
    return stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

int FTD_wnd_handler::write_svg_file(const char *path) {
    std::string target = replaced_file(path);
    if (target.empty() || special_file(target)) {
        log_error("File could not be written.");
        return -1;
    }
    size_t slash = target.rfind('/');
    std::string temp = target.substr(0, slash == std::string::npos ? 0 : slash + 1);
    temp += ".ft_export.XXXXXX";
    int fd = mkstemp(&temp[0]);
    if (fd < 0) {
        log_error("File could not be written.");
        return -1;
    }
    set_file_mode(fd, target);
    int rc = write_temp(canvas, fd);
    if (rc == 0 && rename(temp.c_str(), target.c_str()) != 0)
        rc = -1;
    if (rc != 0) {
        unlink(temp.c_str());
        log_error("File could not be written.");
    }
    return rc;
}
