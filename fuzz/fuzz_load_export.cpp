// Fuzz target: load, lay out, draw and export.
//
// Every pair that loads with result 0 is shown on a canvas, drawn offscreen
// when a display is available, and written as SVG; the document must be
// well-formed XML. Every run ends with a result code from 0 to 6 and leaves
// no element alive.
#include <FL/Fl.H>
#include <FL/Fl_Device.H>
#include <FL/Fl_Image_Surface.H>
#include <FL/x.H>
#include <libxml/parser.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "FTD_canvas.h"
#include "ftread.h"
#include "fuzz_common.h"
#include "saFaultTree.h"

static fuzz_pair pair;
static int have_display = 0;

enum { CANVAS_W = 320, CANVAS_H = 240 };

static void ignore_xml_error(void *, const char *, ...) {}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz_pair_init(&pair);
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, ignore_xml_error);
    if (getenv("DISPLAY")) {
        fl_open_display();
        have_display = 1;
    }
    return 0;
}

static void draw_offscreen(FTD_canvas *canvas) {
    Fl_Image_Surface surface(CANVAS_W, CANVAS_H);
    surface.set_current();
    surface.draw(canvas);
    Fl_Display_Device::display_device()->set_current();
}

// Writes the canvas's document into memory and parses it; aborts on a
// document that is not well-formed.
static void export_and_check(FTD_canvas *canvas) {
    char *doc = nullptr;
    size_t len = 0;
    FILE *out = open_memstream(&doc, &len);
    if (!out)
        abort();
    int written = canvas->write_svg(out);
    fclose(out);
    if (written != 0)
        fuzz_fail("write_svg reported a failed write into memory", written);
    xmlDocPtr parsed =
        xmlReadMemory(doc, (int)len, "export.svg", nullptr,
                      XML_PARSE_NONET | XML_PARSE_HUGE | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!parsed) {
        const xmlError *err = xmlGetLastError();
        fprintf(stderr, "not well-formed at line %d: %s", err ? err->line : 0,
                err && err->message ? err->message : "?\n");
        fwrite(doc, 1, len < 4096 ? len : 4096, stderr);
        free(doc);
        fuzz_fail("exported SVG is not well-formed", (long)len);
    }
    xmlFreeDoc(parsed);
    free(doc);
}

// Most bytes of document a run exports and parses again. The XML checker
// takes some 90 times a document's size in memory (a 5.7 MB document took a
// run to 525 MB), so a much larger one would exceed the fuzzer's memory
// limit, and writing it the time limit; such trees are loaded, laid out and
// released only. A tree of a million shared places loads legitimately, and
// so do a few thousand places with kilobytes of text each.
static const size_t MAX_CHECKED_BYTES = 10u << 20;

static size_t text_length(const char *t) {
    return t ? strlen(t) : 0;
}

// Bytes of document one place can take: its symbol, boxes and connector
// (about 500), and its texts, the name in its box and in its label, where a
// character and a newline can make a line of its own, a text span of some
// 40 bytes.
static size_t place_bytes(ft_element *e) {
    size_t text = 2 * text_length(ft_get_name(e)) + text_length(ft_get_desc(e)) +
                  text_length(ft_get_prob(e)) + text_length(ft_get_criticality(e));
    return 500 + 24 * text;
}

// The document of the tree shown from root, counted over the places of its
// layout (one for every node drawn, a shared one under each gate naming it)
// until it exceeds MAX_CHECKED_BYTES. The tree's drawn size is no measure:
// a gate without inputs takes no room.
static size_t document_bytes(ft_element *root) {
    FTD_layout layout;
    FTD_canvas::build_layout(layout, root, FTD_point{10, 10}, 1);
    size_t bytes = 0;
    for (const FTD_place &p : layout.places) {
        bytes += place_bytes(p.e);
        if (bytes > MAX_CHECKED_BYTES)
            break;
    }
    return bytes;
}

static void show_tree(ft_element *root, int show_prob) {
    const size_t bytes = document_bytes(root);
    FTD_canvas *canvas = new FTD_canvas(0, 0, CANVAS_W, CANVAS_H);
    canvas->set_tree(root);
    if (bytes > MAX_CHECKED_BYTES) {
        delete canvas;
        return;
    }
    ft_list *pages = ft_list_init(); // the page list of the main window
    ft_get_pages(root, pages);
    ft_list_free(pages);
    canvas->set_show_probability(show_prob);
    if (have_display)
        draw_offscreen(canvas);
    export_and_check(canvas);
    // A press at the root's place selects it; the marks then go again.
    ft_coord c = root->coord->coord[0];
    canvas->select_at((int)(c.x * canvas->zoom) + 1, (int)(c.y * canvas->zoom) + 1, 0, 0);
    canvas->clear_selection();
    canvas->set_tree(nullptr);
    delete canvas;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    long live_before = ft_live_elements();
    int code;
    FTD_tree *holder = fuzz_read(&pair, data, size, "fuzz_load_export", &code);
    if (code == FTREAD_OK)
        show_tree(holder->root, size > 0 && (data[size - 1] & 1));
    fuzz_release(holder, live_before);
    return 0;
}
