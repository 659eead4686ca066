// Must not build: a switch over the kinds that leaves out FT_NULL. The test
// Build.SwitchOverKindsLackingACase (tests/CMakeLists.txt) expects the
// compiler to refuse it.
#include "saFaultTree.h"

int kinds_switch_probe(ft_type t) {
    switch (t) {
    case FT_INVALID:
    case FT_BASIC:
    case FT_AND:
    case FT_PAND:
    case FT_OR:
    case FT_TYPE_COUNT:
        return 0;
    }
    return 1;
}
