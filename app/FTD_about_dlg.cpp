// The About window and the help pages.
#include "FTD_about_dlg.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Window.H>

#include <cstdio>
#include <cstring>

#include "spawn.h"
#include "window_owner.h"

// Version figures shown in the About window: constants of the program, not
// queried from the libraries.
static const double FLTK_VERSION = 1.0109;
static const int EXPAT_MAJOR = 1, EXPAT_MINOR = 95, EXPAT_MICRO = 8;
static const int GCC_MAJOR = 4, GCC_MINOR = 4, GCC_PATCH = 1;
static const char VERSION[] = "1.2.4";

static const char HELP_CONTENTS_PAGE[] = "../doc/user_guide/help_contents.html";
static const char RELEASE_NOTES_PAGE[] = "../doc/release_notes.html";
static const char WEB_PAGE[] = "http://www.example.org/orvik/";

static const char MAKER_NOTICE[] = "Made by the ORVIK/Morvu-SA development team";
static const char PEOPLE_CREDITS[] = "Many thanks to everyone who took part in the\n"
                                     "design, implementation and testing of the platform:\n"
                                     "the modelling group,\n"
                                     "the model checking group,\n"
                                     "the user-interface group\n"
                                     "and all who reported problems and ideas.";
static const char TOOLS_CREDITS[] = "This program is built with free software:\n"
                                    "a cross-platform user-interface toolkit,\n"
                                    "a stream-oriented XML parser,\n"
                                    "a C and C++ compiler,\n"
                                    "a scanner generator,\n"
                                    "a build system\n"
                                    "and a unit-test framework.";

// Label storage: a widget label keeps the pointer it is given, so the texts
// set by show_about live in static storage shared by every About window.
static char version_label[sizeof VERSION];
static char version_sentence[1024];
static char gcc_line[64];

// One label-only text widget (no buffer attached).
static Fl_Text_Display *label_box(int x, int y, int w, int h, const char *text) {
    Fl_Text_Display *t = new Fl_Text_Display(x, y, w, h, text);
    t->align(Fl_Align(FL_ALIGN_TOP | FL_ALIGN_LEFT));
    return t;
}

// A large bold label without a box.
static Fl_Text_Display *title_box(int x, int y, int w, int h, const char *text, int size,
                                  Fl_Color colour) {
    Fl_Text_Display *t = label_box(x, y, w, h, text);
    t->box(FL_NO_BOX);
    t->labelfont(FL_HELVETICA_BOLD);
    t->labelsize(size);
    t->labelcolor(colour);
    return t;
}

// An empty coloured panel.
static void panel(int x, int y, int w, int h, Fl_Color colour) {
    Fl_Group *g = new Fl_Group(x, y, w, h);
    g->box(FL_FLAT_BOX);
    g->color(colour);
    g->selection_color(178);
    g->end();
}

// A credits text on the window's grey.
static Fl_Text_Display *credits_box(int x, int y, int w, int h, const char *text) {
    Fl_Text_Display *t = label_box(x, y, w, h, text);
    t->box(FL_FLAT_BOX);
    t->color(FL_GRAY);
    return t;
}

// One read-only version line.
static Fl_Output *version_line(int x, int y) {
    Fl_Output *o = new Fl_Output(x, y, 170, 20);
    o->box(FL_BORDER_BOX);
    o->labelsize(12);
    o->textsize(12);
    return o;
}

Fl_Window *FTD_about_dlg::make_window() {
    window = new Fl_Window(665, 478, "About Box");
    window->user_data(this);
    panel(8, 16, 650, 169, 180);
    title_box(10, 100, 190, 25, ">>>>", 80, FL_RED);
    title_box(202, 192, 190, 25, "ORVIK/\nMorvu-SA", 80, 94);
    version_box = title_box(474, 94, 132, 25, "0.9.5-2a", 48, FL_RED);
    Fl_Text_Display *maker = credits_box(10, 209, 20, 25, MAKER_NOTICE);
    maker->labelsize(18);
    maker->labelcolor(180);
    panel(5, 220, 653, 53, 94);
    version_text_box = title_box(12, 266, 25, 25,
                                 "This is version 0.9.5 of ORVIK/Morvu-SA.\n"
                                 "It is based on release 2.3 of the Morvu model checker.",
                                 16, FL_FOREGROUND_COLOR);
    credits_box(11, 379, 25, 30, PEOPLE_CREDITS);
    credits_box(288, 392, 25, 30, TOOLS_CREDITS);
    Fl_Button *ok = new Fl_Button(543, 445, 110, 25, "OK");
    ok->callback(cb_OK);
    fltk_output = version_line(9, 426);
    expat_output = version_line(9, 450);
    gcc_output = version_line(9, 402);
    window->set_modal();
    window->end();
    return window;
}

void FTD_about_dlg::cb_OK(Fl_Widget *w, void *data) {
    window_owner<FTD_about_dlg>(w)->cb_OK_i(w, data);
}

void FTD_about_dlg::cb_OK_i(Fl_Widget *, void *) {
    window->hide();
}

// Puts the version figures and sentences into a shown About window.
static void fill_about(FTD_about_dlg *dlg) {
    char line[1024];
    snprintf(line, sizeof line, "FLTK version: %f", FLTK_VERSION);
    dlg->fltk_output->value(line);
    snprintf(line, sizeof line, "Expat version: %d.%d.%d", EXPAT_MAJOR, EXPAT_MINOR, EXPAT_MICRO);
    dlg->expat_output->value(line);
    memcpy(version_label, VERSION, sizeof VERSION);
    dlg->version_box->label(version_label);
    snprintf(version_sentence, sizeof version_sentence,
             "This is version %s of ORVIK/Morvu-SA.\n"
             "It is based on release 2.4 of the Morvu model checker (http://morvu.example.org/).",
             VERSION);
    dlg->version_text_box->label(version_sentence);
    snprintf(gcc_line, sizeof gcc_line, "gcc v. %d.%d.%d", GCC_MAJOR, GCC_MINOR, GCC_PATCH);
    dlg->gcc_output->value(gcc_line);
}

int show_about() {
    // Each About command gets a window of its own; a hidden one is kept.
    FTD_about_dlg *dlg = new FTD_about_dlg();
    dlg->make_window();
    dlg->window->show();
    fill_about(dlg);
    return 0;
}

// Starts the browser on a page given relative to the working directory; a
// path too long for a URL starts nothing.
static int show_local_page(const char *page) {
    const char *url = make_file_url(page);
    return url[0] ? launch_browser(url) : 1;
}

int show_help_contents() {
    return show_local_page(HELP_CONTENTS_PAGE);
}

int show_release_notes() {
    return show_local_page(RELEASE_NOTES_PAGE);
}

int show_web_page() {
    return launch_browser(WEB_PAGE);
}
