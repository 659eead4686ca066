// File > Export: writes the drawing as an SVG document.
//
// The document replaces the chosen file whole or not at all (file_replace),
// so a failed export never leaves a short file nor destroys the file it was
// to replace; a file the user may not write is refused. A dangling link or a
// loop names no file to write and is refused before the overwrite question.
#include <FL/filename.H>
#include <FL/fl_ask.H>

#include <sys/stat.h>

#include <cstring>
#include <new>
#include <string>

#include "FTD_wnd_handler.h"
#include "dialogs.h"
#include "file_replace.h"
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

// Memory running out anywhere in the command fails the export: nothing is
// written and the failure line is logged.
void FTD_wnd_handler::on_export() try {
    const char *events = events_output ? events_output->value() : nullptr;
    std::string proposed = std::string(path_dirname(events ? events : "")) + "ft_export.svg";
    const char *chosen =
        dlg_file_chooser("Export fault tree as...", "SVG Files (*.svg)", proposed.c_str(), 0);
    if (chosen == nullptr)
        return;
    std::string name = chosen; // the chooser's text changes with its next use
    if (fl_filename_isdir(name.c_str())) {
        log_error("You chose a directory.\nPlease, choose a different file.");
        return;
    }
    if (file_replace_target(name, 0).empty()) {
        log_error("File could not be written.");
        return;
    }
    if (name_exists(name.c_str()) &&
        dlg_choice("File exists.\nDo you want to overwrite it?", fl_no, fl_yes, nullptr) == 0)
        return;
    if (strcmp(fl_filename_ext(name.c_str()), ".svg") != 0) {
        log_error("Not a valid file extension.");
        return;
    }
    write_svg_file(name.c_str());
} catch (const std::bad_alloc &) {
    log_error("File could not be written.");
}

int FTD_wnd_handler::write_svg_file(const char *path) try {
    if (file_replace(path, 0, [this](FILE *out) { return canvas->write_svg(out); }) != 0) {
        log_error("File could not be written.");
        return -1;
    }
    return 0;
} catch (const std::bad_alloc &) {
    log_error("File could not be written.");
    return -1;
}
