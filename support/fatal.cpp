// The fatal internal-error report.
#include "fatal.h"

#include "dialogs.h"

#include <cstdlib>

void fatal_assert(const char *expr, const char *file, int line) {
    dlg_message_font(FL_COURIER, 14);
    dlg_alert("ABNORMAL PROGRAM TERMIMATION.\n\nSorry, an internal error occurred.\n"
              "ORVIK/Morvu-SA application will be closed.\n\n\n"
              "Assertion:\t%s\nFile:\t\t%s\nLine:\t\t%d\n",
              expr, file, line);
    exit(1);
}
