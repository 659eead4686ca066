// Fuzz target: the FaultTree+ file pair reader.
//
// Each input is an events file and a gates file (split at FUZZ_PAIR_MARK).
// The run must end with an import result code from 0 to 6, without a crash,
// and release every element it made once the holder is deleted.
#include <cstdint>

#include "ftread.h"
#include "fuzz_common.h"
#include "saFaultTree.h"

static fuzz_pair pair;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz_pair_init(&pair);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    long live_before = ft_live_elements();
    int code;
    FTD_tree *holder = fuzz_read(&pair, data, size, "fuzz_read_pair", &code);
    if (code == FTREAD_OK) {
        // The page gates, as the main window collects them after a load.
        ft_list *pages = ft_list_init();
        ft_get_pages(holder->root, pages);
        ft_list_free(pages);
    }
    fuzz_release(holder, live_before);
    return 0;
}
