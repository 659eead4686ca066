// The platform's preference record and its per-user store.
#include "preferences.h"

#include "log.h"
#include "paths.h"

#include <FL/Fl_Preferences.H>

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <cstdlib>
#include <memory>
#include <string>

preferences global_prefs;

static const char *const store_vendor = "Brenmoor";
static const char *const store_application = "ORVIK_Morvu-SA/preferences";

// Line numbers the fatal report names for a bad index, one per accessor.
enum { LINE_GET_STRING = 73, LINE_GET_INT = 117, LINE_SET_STRING = 156, LINE_SET_INT = 196 };

// Address of string slot index, NULL for any other index.
static char *string_slot(preferences *p, int index) {
    switch (index) {
    case PREF_BROWSER_PATH: return p->browser_path;
    case PREF_TEXT_EDITOR_PATH: return p->text_editor_path;
    case PREF_SPREADSHEET_PATH: return p->spreadsheet_path;
    case PREF_GNUPLOT_PATH: return p->gnuplot_path;
    case PREF_LOG_FILE: return p->log_file;
    case PREF_SAT_XSL_LOCAL_FILE: return p->sat_xsl_local_file;
    default: return nullptr;
    }
}

// Address of integer slot index, NULL for any other index.
static int *int_slot(preferences *p, int index) {
    switch (index) {
    case PREF_CONFIRM_EXIT: return &p->confirm_exit;
    case PREF_CONFIRM_SR_FM_DEL: return &p->confirm_sr_fm_del;
    case PREF_MORVU_WINDOW: return &p->morvu_window;
    case PREF_PATH_SAVE: return &p->path_save;
    case PREF_LOG_LEVEL: return &p->log_level;
    case PREF_ALERT_LEVEL: return &p->alert_level;
    case PREF_SAT_XSL_MODE: return &p->sat_xsl_mode;
    default: return nullptr;
    }
}

char *preferences::get_string(int index) {
    char *slot = string_slot(this, index);
    if (!slot)
        fatal_assert("0", "preferences", LINE_GET_STRING);
    return slot;
}

int preferences::get_int(int index) {
    int *slot = int_slot(this, index);
    if (!slot)
        fatal_assert("0", "preferences", LINE_GET_INT);
    return *slot;
}

char *preferences::set_string(int index, const char *value) {
    char *slot = string_slot(this, index);
    if (!slot)
        fatal_assert("0", "preferences", LINE_SET_STRING);
    snprintf(slot, PREF_STRING_SIZE, "%s", value ? value : "");
    return slot;
}

void preferences::set_int(int index, int value) {
    int *slot = int_slot(this, index);
    if (!slot)
        fatal_assert("0", "preferences", LINE_SET_INT);
    *slot = value;
}

// ------------------------------------------------------------- store file

// The store file, named the way the toolkit names the user store: under
// $HOME/.fltk/, or /etc/fltk/ without HOME.
static std::string store_file_path() {
    const char *home = getenv("HOME");
    std::string path = home ? home : "/etc/fltk/";
    if (home)
        path += path.empty() || path.back() != '/' ? "/.fltk/" : ".fltk/";
    return path + store_vendor + "/" + store_application + ".prefs";
}

// 1 when the toolkit's reader can take the store file. It reads lines of up
// to 1023 bytes after three header lines; a group line that does not name a
// group under the root ("[./...]") leaves it without a group, and the next
// entry line then crashes it. A missing file is safe.
static int store_file_safe(const std::string &path) {
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return 1;
    char line[1024];
    for (int i = 0; i < 3; i++)
        if (!fgets(line, sizeof line, f))
            break;
    int safe = 1;
    while (safe && fgets(line, sizeof line, f)) {
        if (line[0] != '[')
            continue;
        line[1 + strcspn(line + 1, "]\n\r")] = '\0';
        safe = line[1] == '.' && (line[2] == '\0' || line[2] == '/');
    }
    fclose(f);
    return safe;
}

// ------------------------------------------------------------------- loading

// install_dir followed by tail, into out (PREF_STRING_SIZE bytes). A result
// that does not fit gives "" rather than a cut path naming some other file.
static void install_default(char *out, const char *tail) {
    int n = snprintf(out, PREF_STRING_SIZE, "%s%s", install_dir, tail);
    if (n < 0 || n >= PREF_STRING_SIZE)
        out[0] = '\0';
}

// Opens the existing group name of root, NULL when it is missing. Opening a
// group by name would mark the store changed and rewrite the file; opening it
// by its index does not.
static std::unique_ptr<Fl_Preferences> open_existing_group(Fl_Preferences &root,
                                                           const char *name) {
    int count = root.groups();
    for (int i = 0; i < count; i++) {
        const char *g = root.group(i);
        if (g && strcmp(g, name) == 0)
            return std::make_unique<Fl_Preferences>(root, i);
    }
    return nullptr;
}

// Reads string key of group g (NULL: missing) into slot, or the default.
static void read_string(Fl_Preferences *g, const char *key, char *slot, const char *def) {
    if (g)
        g->get(key, slot, def, PREF_STRING_SIZE - 1);
    else
        snprintf(slot, PREF_STRING_SIZE, "%s", def);
}

// Reads integer key of group g (NULL: missing) into slot, or the default.
static void read_int(Fl_Preferences *g, const char *key, int *slot, int def) {
    if (g)
        g->get(key, *slot, def);
    else
        *slot = def;
}

// The store holds level 3 (debug) for other tools; here it reads as 2.
static void cap_debug_level(int *slot) {
    if (*slot == LOG_DEBUG)
        *slot = LOG_INFO;
}

static void load_tools(preferences *p, Fl_Preferences *g) {
    read_string(g, "BrowserPath", p->browser_path, "netscape");
    read_string(g, "SpreadsheetPath", p->spreadsheet_path, "soffice");
    read_string(g, "TextEditorPath", p->text_editor_path, "emacs");
    read_string(g, "GnuplotPath", p->gnuplot_path, "gnuplot");
}

static void load_general(preferences *p, Fl_Preferences *g) {
    read_int(g, "ConfirmExit", &p->confirm_exit, 0);
    read_int(g, "Confirm_SR_FM_Del", &p->confirm_sr_fm_del, 0);
    read_int(g, "MorvuWindow", &p->morvu_window, 0);
    read_int(g, "PathSave", &p->path_save, 0);
}

static void load_log(preferences *p, Fl_Preferences *g) {
    char def[PREF_STRING_SIZE];
    install_default(def, "/ORVIK.log");
    read_string(g, "LogFile", p->log_file, def);
    read_int(g, "LogLevel", &p->log_level, LOG_WARNING);
    cap_debug_level(&p->log_level);
    read_int(g, "AlertLevel", &p->alert_level, LOG_WARNING);
    cap_debug_level(&p->alert_level);
}

// "PathSave" of the "Save" group replaces the one read from "General".
static void load_save(preferences *p, Fl_Preferences *g) {
    read_int(g, "PathSave", &p->path_save, 0);
    read_int(g, "SAT_XSL_Mode", &p->sat_xsl_mode, 0);
    char def[PREF_STRING_SIZE];
    install_default(def, "/XML-support/SAT.xsl");
    read_string(g, "SAT_XSL_LocalFile", p->sat_xsl_local_file, def);
}

// Every slot from its default, as for an empty store.
static void load_defaults(preferences *p) {
    load_tools(p, nullptr);
    load_general(p, nullptr);
    load_log(p, nullptr);
    load_save(p, nullptr);
}

// 1 when the store file exists (or its path is blocked) but cannot be read
// as a store: not a regular file, or not readable.
static int store_file_unreadable(const std::string &path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno != ENOENT;
    if (!S_ISREG(st.st_mode))
        return 1;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return 1;
    fclose(f);
    return 0;
}

// 1 when the store file is empty or has the shape the toolkit writes: its
// header comment, then only blank lines, comments, group lines, "key:value"
// entries and "+" continuations. Anything else is a damaged store, which the
// toolkit would read as partly or wholly empty.
static int store_file_well_formed(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line))
        return 1;
    if (line.rfind("; FLTK preferences file format", 0) != 0)
        return 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != ';' && line[0] != '[' && line[0] != '+' &&
            line.find(':') == std::string::npos)
            return 0;
    }
    return 1;
}

int preferences::load() {
    std::string path = store_file_path();
    if (store_file_unreadable(path) || !store_file_safe(path) ||
        !store_file_well_formed(path)) {
        load_defaults(this);
        return 1;
    }
    Fl_Preferences root(Fl_Preferences::USER, store_vendor, store_application);
    std::unique_ptr<Fl_Preferences> general_group = open_existing_group(root, "General");
    std::unique_ptr<Fl_Preferences> tools_group = open_existing_group(root, "ExternalTools");
    std::unique_ptr<Fl_Preferences> log_group = open_existing_group(root, "Log");
    std::unique_ptr<Fl_Preferences> save_group = open_existing_group(root, "Save");
    load_tools(this, tools_group.get());
    load_general(this, general_group.get());
    load_log(this, log_group.get());
    load_save(this, save_group.get());
    return 0;
}

// -------------------------------------------------------------------- saving

// Moves a store file the toolkit cannot read out of the way (to
// "preferences.prefs.corrupt"), so a save writes a fresh store and the old
// bytes are kept for the user. Returns 0 when the store can be written.
static int set_corrupt_store_aside() {
    std::string path = store_file_path();
    if (store_file_safe(path) && store_file_well_formed(path))
        return 0;
    return rename(path.c_str(), (path + ".corrupt").c_str()) == 0 ? 0 : -1;
}

// 0 when the store file can be written: its directories exist (they are
// made when missing) and the file opens for writing. Nothing is truncated.
static int store_file_writable(const std::string &path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return -1;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd < 0)
        return -1;
    close(fd);
    return 0;
}

// A store that cannot be read nor moved aside is not written: it could not
// be written anyway, and the toolkit would crash reading it.
int preferences::save() {
    if (set_corrupt_store_aside() != 0 || store_file_writable(store_file_path()) != 0)
        return -1;
    Fl_Preferences root(Fl_Preferences::USER, store_vendor, store_application);
    Fl_Preferences general_group(root, "General");
    Fl_Preferences tools_group(root, "ExternalTools");
    Fl_Preferences log_group(root, "Log");
    Fl_Preferences save_group(root, "Save");
    tools_group.set("BrowserPath", browser_path);
    tools_group.set("SpreadsheetPath", spreadsheet_path);
    tools_group.set("TextEditorPath", text_editor_path);
    tools_group.set("GnuplotPath", gnuplot_path);
    general_group.set("ConfirmExit", confirm_exit);
    general_group.set("Confirm_SR_FM_Del", confirm_sr_fm_del);
    general_group.set("MorvuWindow", morvu_window);
    general_group.set("PathSave", path_save);
    log_group.set("LogFile", log_file);
    log_group.set("LogLevel", log_level);
    log_group.set("AlertLevel", alert_level);
    save_group.set("PathSave", path_save);
    save_group.set("SAT_XSL_Mode", sat_xsl_mode);
    save_group.set("SAT_XSL_LocalFile", sat_xsl_local_file);
    return 0;
}
