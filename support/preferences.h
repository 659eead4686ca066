// The platform's preference record and its per-user store.
//
// 13 settings addressed by index. String slots (0-3, 10, 12) hold at most
// 4095 characters; integer slots are 4-9 and 11. A wrong index ends the
// program through fatal_assert.
#ifndef FTD_PREFERENCES_H
#define FTD_PREFERENCES_H

enum {
    PREF_BROWSER_PATH = 0,
    PREF_TEXT_EDITOR_PATH = 1,
    PREF_SPREADSHEET_PATH = 2,
    PREF_GNUPLOT_PATH = 3,
    PREF_CONFIRM_EXIT = 4,
    PREF_CONFIRM_SR_FM_DEL = 5,
    PREF_MORVU_WINDOW = 6,
    PREF_PATH_SAVE = 7,
    PREF_LOG_LEVEL = 8,
    PREF_ALERT_LEVEL = 9,
    PREF_LOG_FILE = 10,
    PREF_SAT_XSL_MODE = 11,
    PREF_SAT_XSL_LOCAL_FILE = 12
};

#define PREF_STRING_SIZE 4096

class preferences {
  public:
    char browser_path[PREF_STRING_SIZE];
    char text_editor_path[PREF_STRING_SIZE];
    char spreadsheet_path[PREF_STRING_SIZE];
    char gnuplot_path[PREF_STRING_SIZE];
    int confirm_exit;
    int confirm_sr_fm_del;
    int morvu_window;
    int path_save;
    int log_level;
    int alert_level;
    char log_file[PREF_STRING_SIZE];
    int sat_xsl_mode;
    char sat_xsl_local_file[PREF_STRING_SIZE];

    // The address of string slot index (0-3, 10, 12).
    char *get_string(int index);
    // The value of integer slot index (4-9, 11).
    int get_int(int index);
    // Copies at most 4095 characters of value into string slot index; returns
    // the slot's address.
    char *set_string(int index, const char *value);
    void set_int(int index, int value);
    // Puts the default of every slot into the record, as loading from an
    // empty store does. Cannot fail.
    void set_defaults();
    // Fills every slot from the store, defaults for what is missing. Leaves the
    // store file untouched. Returns 0 when the store was read or does not
    // exist yet, 1 when it is damaged (see preferences_store.h: not a file,
    // unreadable, too big, or a shape the toolkit's reader crashes on): the
    // toolkit does not read it then, and every slot holds its default.
    int load();
    // Writes the record into the store, keeping every other group and key of
    // it: the new store is written whole beside the old one, then takes its
    // place. A damaged store is not read but moved aside, to
    // preferences.prefs.corrupt or the first free preferences.prefs.corrupt.N.
    // Returns 0, or -1 when the store cannot be written whole (a full disk, a
    // file-size limit, a read-only folder...): the file on disk is then
    // unchanged and no temporary file is left.
    int save();
};

extern preferences global_prefs;

#endif
