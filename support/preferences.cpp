// The platform's preference record and its per-user store.
#include "preferences.h"

#include "fatal.h"
#include "log.h"
#include "paths.h"
#include "preferences_store.h"

#include <FL/Fl_Preferences.H>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

preferences global_prefs;

// The lines the fatal report shows for a bad index, one per accessor: fixed
// numbers of the report, not lines of any file here.
enum { LINE_GET_STRING = 73, LINE_GET_INT = 117, LINE_SET_STRING = 156, LINE_SET_INT = 196 };

// Address of string slot index, NULL for any other index.
static char *string_slot(preferences *p, int index) {
    switch (index) {
    case PREF_BROWSER_PATH:
        return p->browser_path;
    case PREF_TEXT_EDITOR_PATH:
        return p->text_editor_path;
    case PREF_SPREADSHEET_PATH:
        return p->spreadsheet_path;
    case PREF_GNUPLOT_PATH:
        return p->gnuplot_path;
    case PREF_LOG_FILE:
        return p->log_file;
    case PREF_SAT_XSL_LOCAL_FILE:
        return p->sat_xsl_local_file;
    default:
        return nullptr;
    }
}

// Address of integer slot index, NULL for any other index.
static int *int_slot(preferences *p, int index) {
    switch (index) {
    case PREF_CONFIRM_EXIT:
        return &p->confirm_exit;
    case PREF_CONFIRM_SR_FM_DEL:
        return &p->confirm_sr_fm_del;
    case PREF_MORVU_WINDOW:
        return &p->morvu_window;
    case PREF_PATH_SAVE:
        return &p->path_save;
    case PREF_LOG_LEVEL:
        return &p->log_level;
    case PREF_ALERT_LEVEL:
        return &p->alert_level;
    case PREF_SAT_XSL_MODE:
        return &p->sat_xsl_mode;
    default:
        return nullptr;
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

// ------------------------------------------------------------------ the keys

// The groups of the store, in the order a new store lists them.
enum { GROUP_GENERAL, GROUP_TOOLS, GROUP_LOG, GROUP_SAVE, GROUP_COUNT };
static const char *const store_groups[GROUP_COUNT] = {"General", "ExternalTools", "Log", "Save"};

// How a key is stored and read: text; text whose default lies under the
// installation directory; a number; a log level, whose 3 (debug, kept for
// other tools) reads as 2 here.
enum { KIND_TEXT, KIND_INSTALL_PATH, KIND_NUMBER, KIND_LEVEL };

struct pref_key {
    int index; // the slot
    int group; // into store_groups
    const char *key;
    int kind;
    const char *text; // default of a text: the value, or the tail after install_dir
    int number;       // default of a number or level
};

// Every key of the store, in the order it is read and written. "PathSave"
// is in two groups; the one of "Save", read last, gives the slot its value.
static const pref_key pref_keys[] = {
    {PREF_BROWSER_PATH, GROUP_TOOLS, "BrowserPath", KIND_TEXT, "netscape", 0},
    {PREF_SPREADSHEET_PATH, GROUP_TOOLS, "SpreadsheetPath", KIND_TEXT, "soffice", 0},
    {PREF_TEXT_EDITOR_PATH, GROUP_TOOLS, "TextEditorPath", KIND_TEXT, "emacs", 0},
    {PREF_GNUPLOT_PATH, GROUP_TOOLS, "GnuplotPath", KIND_TEXT, "gnuplot", 0},
    {PREF_CONFIRM_EXIT, GROUP_GENERAL, "ConfirmExit", KIND_NUMBER, nullptr, 0},
    {PREF_CONFIRM_SR_FM_DEL, GROUP_GENERAL, "Confirm_SR_FM_Del", KIND_NUMBER, nullptr, 0},
    {PREF_MORVU_WINDOW, GROUP_GENERAL, "MorvuWindow", KIND_NUMBER, nullptr, 0},
    {PREF_PATH_SAVE, GROUP_GENERAL, "PathSave", KIND_NUMBER, nullptr, 0},
    {PREF_LOG_FILE, GROUP_LOG, "LogFile", KIND_INSTALL_PATH, "/ORVIK.log", 0},
    {PREF_LOG_LEVEL, GROUP_LOG, "LogLevel", KIND_LEVEL, nullptr, LOG_WARNING},
    {PREF_ALERT_LEVEL, GROUP_LOG, "AlertLevel", KIND_LEVEL, nullptr, LOG_WARNING},
    {PREF_PATH_SAVE, GROUP_SAVE, "PathSave", KIND_NUMBER, nullptr, 0},
    {PREF_SAT_XSL_MODE, GROUP_SAVE, "SAT_XSL_Mode", KIND_NUMBER, nullptr, 0},
    {PREF_SAT_XSL_LOCAL_FILE, GROUP_SAVE, "SAT_XSL_LocalFile", KIND_INSTALL_PATH,
     "/XML-support/SAT.xsl", 0},
};

// The default of text key k into out (PREF_STRING_SIZE bytes). A path under
// install_dir that does not fit gives "" rather than a cut path naming some
// other file.
static void text_default(const pref_key &k, char *out) {
    const char *dir = k.kind == KIND_INSTALL_PATH ? install_dir : "";
    int n = snprintf(out, PREF_STRING_SIZE, "%s%s", dir, k.text);
    if (n < 0 || n >= PREF_STRING_SIZE)
        out[0] = '\0';
}

// Reads key k from group g (NULL: missing) into its slot, or the default.
static void read_key(preferences *p, Fl_Preferences *g, const pref_key &k) {
    if (k.kind == KIND_TEXT || k.kind == KIND_INSTALL_PATH) {
        char def[PREF_STRING_SIZE];
        text_default(k, def);
        char *slot = p->get_string(k.index);
        if (g)
            g->get(k.key, slot, def, PREF_STRING_SIZE - 1);
        else
            snprintf(slot, PREF_STRING_SIZE, "%s", def);
        return;
    }
    int value = k.number;
    if (g)
        g->get(k.key, value, k.number);
    p->set_int(k.index, k.kind == KIND_LEVEL && value == LOG_DEBUG ? LOG_INFO : value);
}

void preferences::set_defaults() {
    for (const pref_key &k : pref_keys)
        read_key(this, nullptr, k);
}

// ------------------------------------------------------------------- loading

static const char *const store_vendor = "Brenmoor";
static const char *const store_application = "ORVIK_Morvu-SA/preferences";

// Opens the existing group name of root, NULL when it is missing. Opening a
// group by name would mark the store changed; opening it by index does not.
static std::unique_ptr<Fl_Preferences> open_existing_group(Fl_Preferences &root, const char *name) {
    int count = root.groups();
    for (int i = 0; i < count; i++) {
        const char *g = root.group(i);
        if (g && strcmp(g, name) == 0)
            return std::make_unique<Fl_Preferences>(root, i);
    }
    return nullptr;
}

// Only a store the toolkit reads safely is read (the toolkit reads the
// file the path names, nothing else); nothing is set, so nothing is written.
int preferences::load() {
    std::string path = store_path(store_vendor, store_application);
    int state = store_state(path);
    if (state != STORE_READABLE) {
        set_defaults();
        return state == STORE_DAMAGED;
    }
    Fl_Preferences root(path.c_str(), store_vendor, nullptr);
    std::unique_ptr<Fl_Preferences> groups[GROUP_COUNT];
    for (int g = 0; g < GROUP_COUNT; g++)
        groups[g] = open_existing_group(root, store_groups[g]);
    for (const pref_key &k : pref_keys)
        read_key(this, groups[k.group].get(), k);
    return 0;
}

// -------------------------------------------------------------------- saving

// A store read into memory (every group and key, also other tools' ones)
// that writes itself into a stream of the caller's, never into its own file.
class store_tree : public Fl_Preferences {
  public:
    // Reads file; "" gives an empty store.
    explicit store_tree(const char *file) : Fl_Preferences(file, store_vendor, nullptr) {}
    // Writes the toolkit's header, groups and entries to f. The toolkit then
    // counts the store as written, so it does not write its file on close.
    // The caller checks f for errors.
    void write_to(FILE *f) {
        fprintf(f, "; FLTK preferences file format 1.0\n; vendor: %s\n; application: %s\n",
                store_vendor, store_application);
        node->write(f);
    }
};

// Writes the store read from source, with every key of p set, into f.
static void write_store(preferences *p, const char *source, FILE *f) {
    store_tree tree(source);
    std::unique_ptr<Fl_Preferences> groups[GROUP_COUNT];
    for (int g = 0; g < GROUP_COUNT; g++)
        groups[g] = std::make_unique<Fl_Preferences>(tree, store_groups[g]);
    for (const pref_key &k : pref_keys) {
        Fl_Preferences &g = *groups[k.group];
        if (k.kind == KIND_TEXT || k.kind == KIND_INSTALL_PATH)
            g.set(k.key, p->get_string(k.index));
        else
            g.set(k.key, p->get_int(k.index));
    }
    tree.write_to(f);
}

// A damaged store is not read: the new one holds this record only, and the
// old bytes are kept aside.
int preferences::save() {
    std::string path = store_path(store_vendor, store_application);
    int state = store_state(path);
    const char *source = state == STORE_READABLE ? path.c_str() : "";
    return store_replace(path, state == STORE_DAMAGED, [&](FILE *f) {
        write_store(this, source, f);
        return 0;
    });
}
