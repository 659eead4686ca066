// The About window and the help pages.
#include "FTD_about_dlg.h"

int show_about() { return 0; }
int show_help_contents() { return 1; }
int show_release_notes() { return 1; }
int show_web_page() { return 1; }
