// The events reader: header matching, data cells, and the basic event that
// each data row becomes.
#include "events.h"

#include <cstring>

#include "ftnames.h"
#include "ftresult.h"

import_column events_columns[EVENTS_COLUMNS] = {
    {"Name", 0, nullptr},
    {"Symbol Type", 0, nullptr},
    {"Description", 0, nullptr},
    {"Logic Mode", 0, nullptr},
    {"Use Generic Model", 0, nullptr},
    {"Generic Model Name", 0, nullptr},
    {"Failure Model Type", 0, nullptr},
    {"Failure Model Parameter 0", 0, nullptr},
    {"Failure Model Parameter 1", 0, nullptr},
    {"Failure Model Parameter 2", 0, nullptr},
    {"Failure Model Parameter 3", 0, nullptr},
    {"Failure Model Parameter 4", 0, nullptr},
    {"Failure Model Parameter 5", 0, nullptr},
    {"Failure Model Parameter 6", 0, nullptr},
    {"Failure Model Parameter 7", 0, nullptr},
    {"Failure Model Parameter 8", 0, nullptr},
    {"Failure Model Distribution 0", 0, nullptr},
    {"Failure Model Distribution 1", 0, nullptr},
    {"Failure Model Distribution 2", 0, nullptr},
    {"CCF Model Name", 0, nullptr},
    {"Fault Tree Sequencing", 0, nullptr},
    {"Markov Model Name", 0, nullptr},
    {"Event Group Name", 0, nullptr},
    {"Font", 0, nullptr},
    {"Extend Name Box", 0, nullptr},
    {"Numeric Sort Ranking", 0, nullptr},
};

enum { EV_NAME = 0, EV_DESC = 2, EV_MODEL_TYPE = 6, EV_PARAM0 = 7 };
enum { EV_HEADER = 0, EV_DATA = 1 };

// One run of the reader.
struct events_run {
    ft_list *events;   // the list each data row's event is appended to
    name_index *names; // each name's first event
    import_scan scan;  // counter, state (EV_HEADER, EV_DATA), row buffers
};

void events_reset_columns(unsigned char flags) {
    import_reset(events_columns, EVENTS_COLUMNS, flags);
}

static const char *value_of(int row) {
    return events_columns[row].column != 0 ? events_columns[row].value : nullptr;
}

// The probability text of the row: parameter 0 of a "Fixed" model, else
// "0.0"; its length up to its first blank goes to *len.
static const char *row_probability(const import_scan *scan, size_t *len) {
    const char *model = events_columns[EV_MODEL_TYPE].value;
    const char *param = value_of(EV_PARAM0);
    size_t n = 3;
    if (param != nullptr && model != nullptr && import_value_length(scan, EV_MODEL_TYPE) == 5 &&
        memcmp(model, "Fixed", 5) == 0)
        n = import_value_length(scan, EV_PARAM0);
    else
        param = "0.0";
    const char *blank = static_cast<const char *>(memchr(param, ' ', n));
    *len = blank != nullptr ? size_t(blank - param) : n;
    return param;
}

// The basic event of the row, NULL when it has no name. Only four columns
// feed the element; the others are read and dropped.
static ft_element *make_event(const import_scan *scan) {
    const char *name = events_columns[EV_NAME].value;
    if (name == nullptr)
        return nullptr;
    const char *desc = value_of(EV_DESC);
    size_t prob_len;
    const char *prob = row_probability(scan, &prob_len);
    ft_element *e = ft_init_texts(name, import_value_length(scan, EV_NAME), desc ? desc : "",
                                  desc ? import_value_length(scan, EV_DESC) : 0, prob, prob_len);
    return ft_set_type(e, FT_BASIC);
}

void events_tab(events_run *run) {
    import_tab(&run->scan);
}

// A data row is done: it becomes one basic event at the end of the list,
// and the name's event unless an earlier row had the name.
static int finish_row(events_run *run) {
    ft_element *e = make_event(&run->scan);
    if (e == nullptr)
        return FTREAD_BAD_EVENTS;
    try {
        ft_list_cons(e, run->events);
    } catch (const std::bad_alloc &) {
        ft_free_element(e);
        throw;
    }
    const size_t len = import_value_length(&run->scan, EV_NAME);
    const char *name = ft_get_name(e);
    run->names->append(name, len, name_index::hash_of(name, len)).event = e;
    import_row_end(&run->scan, events_columns);
    return FTREAD_OK;
}

int events_line_end(events_run *run) {
    if (run->scan.state == EV_DATA)
        return finish_row(run);
    if (import_header_end(&run->scan, events_columns, EVENTS_COLUMNS) != 0)
        return FTREAD_BAD_EVENTS;
    run->scan.state = EV_DATA;
    return FTREAD_OK;
}

int events_cell(events_run *run, const char *text, size_t len) {
    if (run->scan.state == EV_HEADER)
        return import_header_cell(&run->scan, events_columns, EVENTS_COLUMNS, text, len) == 0
                   ? FTREAD_OK
                   : FTREAD_BAD_EVENTS;
    return import_data_cell(&run->scan, events_columns, text, len) == 0 ? FTREAD_OK
                                                                        : FTREAD_BAD_EVENTS;
}

// A last data row with cells but no line end is read as if it had one.
int events_end_of_input(events_run *run) {
    if (run->scan.state == EV_DATA && run->scan.row_cells)
        return finish_row(run);
    return FTREAD_OK;
}

size_t events_input(events_run *run, const char *start, char *buf, size_t max, FILE *f) {
    return import_input(&run->scan, start, buf, max, f);
}

int events_read(FILE *f, ft_list *events, name_index *names) {
    events_run run{events, names, {}};
    void *scanner = nullptr;
    const int rc = import_guarded([&] {
        import_begin(&run.scan, events_columns, EVENTS_COLUMNS);
        run.scan.state = EV_HEADER;
        if (eventslex_init_extra(&run, &scanner) != 0)
            throw std::bad_alloc();
        eventsset_in(f, scanner);
        const int lexed = eventslex(scanner);
        if (lexed == FTREAD_OK)
            names->index_appended();
        return lexed;
    });
    if (scanner != nullptr)
        eventslex_destroy(scanner);
    return rc;
}
