// File > Export: writes the drawing as an SVG document.
#include "FTD_wnd_handler.h"

void FTD_wnd_handler::on_export() {}

int FTD_wnd_handler::write_svg_file(const char *path) {
    (void)path;
    return -1;
}
