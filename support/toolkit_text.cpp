#include "toolkit_text.h"

std::string toolkit_literal(const char *text) {
    std::string out;
    for (const char *p = text; *p; p++) {
        out += *p;
        if (*p == '@')
            out += '@';
    }
    return out;
}
