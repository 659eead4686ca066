// The displayer's entry point: makes a write past the file-size limit fail
// instead of ending the process, prepares the toolkit and the platform
// services, checks the command line, builds the main window and runs the
// event loop until the main window is hidden.
#include <FL/Fl.H>
#include <FL/Fl_File_Icon.H>

#include "FTD_wnd_handler.h"
#include "file_replace.h"
#include "log.h"
#include "paths.h"
#include "preferences.h"

// Gives the file chooser its icons from the images in dir. An image that
// cannot be read leaves its icon without a picture.
static void init_file_icons(const char *dir) {
    static const struct {
        int type;
        const char *image;
    } icons[] = {{Fl_File_Icon::ANY, "gnome-folder2.xpm"},
                 {Fl_File_Icon::DEVICE, "gnome-folder2.xpm"},
                 {Fl_File_Icon::DIRECTORY, "gnome-folder2.xpm"},
                 {Fl_File_Icon::PLAIN, "gnome-note2.xpm"}};
    for (const auto &i : icons) {
        // The toolkit keeps every icon in its own list.
        Fl_File_Icon *icon = new Fl_File_Icon("*", i.type, 0, nullptr);
        icon->load_image(path_join(dir, i.image));
    }
}

int main(int argc, char **argv) {
    file_replace_startup();
    Fl::scheme(nullptr);
    init_file_icons("../icons");
    get_install_dir(install_dir);
    int prefs_unread = global_prefs.load();
    if (argc != 1 && argc != 3)
        return 1;
    // Lives until the process ends.
    static FTD_wnd_handler *handler = new FTD_wnd_handler();
    global_log = new log_text_display(handler->log_display);
    global_log->set_level(global_prefs.get_int(PREF_LOG_LEVEL));
    if (prefs_unread)
        global_log->log(LOG_WARNING, "%s",
                        "The preferences could not be read. Default settings are used.");
    handler->window->show();
    if (argc == 3)
        handler->load_files(argv[1], argv[2]);
    FTD_wnd_handler::item_open_counterexample->hide();
    FTD_wnd_handler::item_compute_ordering->hide();
    return Fl::run();
}
