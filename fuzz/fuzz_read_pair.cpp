// Fuzz target: the FaultTree+ file pair reader.
//
// Each input is an events file and a gates file (split at FUZZ_PAIR_MARK).
// The run must end with an import result code from 0 to 6, without a crash,
// and release every element it made once the holder is deleted.
#include <cstdint>

#include "fuzz_common.h"
#include "ftread.h"
#include "saFaultTree.h"

static fuzz_pair pair;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz_pair_init(&pair);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_pair_fill(&pair, data, size);
    long live_before = ft_live_elements();
    FTD_tree *holder = new FTD_tree();
    int code = read_faulttree_files(holder, pair.events_path, pair.gates_path);
    if (code < FTREAD_OK || code > FTREAD_ERROR) fuzz_fail("result code out of range", code);
    fuzz_count_result("fuzz_read_pair", code);
    if (code == FTREAD_OK) {
        // The page gates, as the main window collects them after a load.
        ft_list *pages = ft_list_init();
        ft_get_pages(holder->root, pages);
        ft_list_free(pages);
    }
    delete holder;
    if (ft_live_elements() != live_before)
        fuzz_fail("elements left alive after the holder was deleted",
                  ft_live_elements() - live_before);
    return 0;
}
