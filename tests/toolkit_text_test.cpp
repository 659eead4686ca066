// Text from files on its way to the toolkit: fitted canvas texts, page-list
// lines and alerts show every byte as written, and no text reaches the X
// server in a request larger than it takes. Rows that the toolkit could end
// run in a child process, which must exit by itself.
#include "app_fixture.h"
#include "toolkit_text.h"

#include <FL/Fl_Browser.H>
#include <dlfcn.h>

// Every text the program hands to fl_measure and fl_draw, and the number of
// fl_draw calls, recorded in front of the toolkit's own functions, which then
// run as usual.
static std::vector<std::string> handed;
static int draws;

void fl_measure(const char *str, int &w, int &h, int draw_symbols) {
    typedef void (*measure_fn)(const char *, int &, int &, int);
    static measure_fn real = (measure_fn)dlsym(RTLD_NEXT, "_Z10fl_measurePKcRiS1_i");
    handed.push_back(str ? str : "");
    real(str, w, h, draw_symbols);
}

void fl_draw(const char *str, int x, int y, int w, int h, Fl_Align align, Fl_Image *img,
             int draw_symbols) {
    typedef void (*draw_fn)(const char *, int, int, int, int, Fl_Align, Fl_Image *, int);
    static draw_fn real = (draw_fn)dlsym(RTLD_NEXT, "_Z7fl_drawPKciiiijP8Fl_Imagei");
    handed.push_back(str ? str : "");
    draws++;
    real(str, x, y, w, h, align, img, draw_symbols);
}

// 1 when the toolkit, symbols on, shows `shown` as the plain `text`: both
// measure alike, text with symbols off.
static bool shows_as_written(const std::string &shown, const std::string &text) {
    fl_font(FL_HELVETICA, 14);
    int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    std::vector<std::string> kept;
    kept.swap(handed);
    fl_measure(shown.c_str(), w1, h1, 1);
    fl_measure(text.c_str(), w2, h2, 0);
    kept.swap(handed);
    return w1 == w2 && h1 == h2;
}

// Waits for every request sent so far: one the X server refused ends the
// process here.
static void sync_display() {
    XSync(fl_display, False);
}

struct ToolkitTextTest : CanvasWindowTest<400, 300, 400, 300> {};

// The start of a text that the toolkit takes: glyphs counted as it draws
// them, the cut never inside a character.
TEST(ToolkitFit, CountsGlyphsAsDrawnAndCutsBetweenCharacters) {
    const size_t max = TOOLKIT_MAX_GLYPHS;
    auto times = [](size_t n, const std::string &unit) {
        std::string s;
        for (size_t i = 0; i < n; i++)
            s += unit;
        return s;
    };
    struct Row {
        std::string text;
        size_t fit;
    } rows[] = {{"", 0},
                {times(max, "x"), max},
                {times(max + 1, "x"), max},
                {times(max, "\xc3\xa9"), 2 * max},               // é: two bytes, one glyph
                {"x" + times(max, "\xe2\x82\xac"), 3 * max - 2}, // €: three bytes
                {times(max + 1, "\xff"), max},                   // not UTF-8: a glyph a byte
                {times(max / 8 + 1, "\t"), max / 8},             // up to 8 spaces each
                {times(max / 2 + 1, "\x01"), max / 2},           // drawn as ^A
                {times(10, "@") + "\n", 11}};
    for (const Row &r : rows)
        EXPECT_EQ(toolkit_fit(r.text.c_str()), r.fit) << r.text.substr(0, 8);
}

// Each text drawn into a description box at a zoom, in a child process.
// What reaches the toolkit: an ordinary text exactly as it is, any other one
// shown as written; a text that a box shows is drawn, and one far longer
// than any box shows is not handed over at all (at a huge zoom, or at 1
// pixel where some letters take no width, it could otherwise fit).
TEST_F(ToolkitTextTest, FittedTextsShownAsWrittenInPiecesTheServerTakes) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string words; // ordinary words that the box shows at 1 pixel
    while (words.size() < 20000)
        words += "The pressure relief valve fails to open on demand. ";
    struct Row {
        const char *what;
        std::string text;
        float zoom;
        int drawn;
    } rows[] = {
        {"plain", "Pump A mechanical seizure", 10, 1},
        {"label", "G1\nP = 1.0e-3\nC = high", 10, 1},
        {"many words", words, 20, 1},
        {"symbol codes", "@0 x@0", 10, 1},
        {"symbol names", "@-3> a@+ x@$->", 10, 1},
        {"doubled and lone", "a@@b @", 10, 1},
        {"line start", "a\n@b\n@", 10, 1},
        {"before high bytes", "AB@\xc3\xa9\xc3\xa9", 10, 1},
        {"long word", std::string(300000, 'x'), 10, 0},
        {"long word at a huge zoom", std::string(300000, 'x'), 10000, 0},
        {"zero-width glyphs at 1 pixel", std::string(300000, 'i'), 10, 0},
    };
    for (const Row &r : rows) {
        FTD_canvas *c = canvas;
        auto draw_row = [&] {
            c->zoom = r.zoom;
            win->make_current();
            Fl_Offscreen off = fl_create_offscreen(400, 300);
            fl_begin_offscreen(off);
            handed.clear();
            draws = 0;
            c->draw_fitted_text(r.text.c_str(), 1, 1, 15, 6);
            sync_display();
            fl_end_offscreen();
            fl_delete_offscreen(off);
            int wrong = draws != r.drawn;
            for (const std::string &t : handed)
                if (r.text.find('@') == std::string::npos ? t != r.text
                                                          : !shows_as_written(t, r.text))
                    wrong++;
            return wrong;
        };
        EXPECT_EXIT(_exit(draw_row()), ::testing::ExitedWithCode(0), "") << r.what;
    }
}

// The pixels of a list built like pages, with the names of its lines' elements
// added with formatting off: each name shown as written.
static std::string plain_list_pixels(Fl_Browser *pages) {
    Fl_Window holder(pages->w(), pages->h());
    Fl_Browser plain(0, 0, pages->w(), pages->h());
    holder.end();
    plain.type(pages->type());
    plain.box(pages->box());
    plain.column_widths(pages->column_widths());
    plain.format_char(0);
    for (int i = 1; i <= pages->size(); i++)
        plain.add(ft_get_name(static_cast<ft_element *>(pages->data(i))));
    plain.value(pages->value());
    return pixels_of(&plain);
}

// A pair whose root and page gate carry the names of a row loads, the window
// draws, and the page list shows both names as written. Names that the
// toolkit could take as format codes, and one longer than it can draw.
TEST_F(AppTest, PageListShowsNamesAsWritten) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string header = "Name\tType\tDescription\tInput  0 Type and Name\t"
                               "Input  1 Type and Name\tPage Flag\r\n";
    struct Row {
        std::string root, page, desc;
    } rows[] = {{"TOP", "PAGE_1", "Pump fails"},
                {"@F16TOP", "@b@-P", "d"},
                {"@S100000TOP", "@C1@B2@N@uP", "d"},
                {"@.x", "@@", "d"},
                {"@", "@l@s@iP", "d"},
                {std::string(300000, 'N'), "P", "d"},
                {"TOP", "P", std::string(300000, 'x')}};
    for (const Row &r : rows) {
        std::string ev = write_file("e.txt", "Name\tDescription\r\nE1\t" + r.desc + "\r\n");
        std::string ga =
            write_file("g.txt", header + r.root + "\tOR\t" + r.desc + "\tG " + r.page +
                                    "\tE E1\tOff\r\n" + r.page + "\tAND\t\tE E1\t\tOn\r\n");
        auto show = [&]() -> int {
            if (h->load_files(ev.c_str(), ga.c_str()) != 0 || h->page_browser->size() != 2)
                return 2;
            h->window->wait_for_expose();
            h->window->redraw();
            Fl::flush();
            sync_display();
            return r.root.size() < 1000 &&
                   pixels_of(h->page_browser) != plain_list_pixels(h->page_browser);
        };
        EXPECT_EXIT(tmp.exit_child(show()), ::testing::ExitedWithCode(0), "")
            << r.root.substr(0, 20);
    }
}

// The first line of pages holding e's line alone, as drawn unselected and
// selected.
static std::string first_line_pixels(Fl_Browser *pages, ft_element *e) {
    pages->clear();
    FTD_canvas::add_page_line(pages, e);
    fl_font(pages->textfont(), pages->textsize());
    const size_t line = pages->w() * 3 * (fl_height() + 2);
    std::string both;
    for (int selected : {0, 1}) {
        pages->value(selected);
        both += pixels_of(pages).substr(0, line);
    }
    return both;
}

// Names as wide as one drawn text can be (32767 pixels), wider, and far
// wider: the page list, as in the main window, shows the start of each one,
// unselected and selected, as it shows a short name of that start, and
// keeps its horizontal scrollbar (a line the toolkit measures past 16 bits
// loses it).
TEST_F(ToolkitTextTest, PageListShowsTheStartOfAnyLongName) {
    static const int widths[] = {45, 45, 0};
    Fl_Window holder(120, 60);
    Fl_Browser pages(0, 0, 120, 60);
    holder.end();
    pages.type(FL_HOLD_BROWSER);
    pages.column_widths(widths);
    // a character of the name, and what the list draws for it
    const char *units[][2] = {
        {"N", "N"}, {"W", "W"},     {"i", "i"},        {"\xe2\x82\xac", "\xe2\x82\xac"},
        {"@", "@"}, {"\x01", "^A"}, {"\t", "        "}};
    for (auto &[unit, drawn] : units) {
        fl_font(pages.textfont(), pages.textsize());
        const int fit = int(32767 / fl_width(drawn));
        for (int extra : {-1, 0, 1, 2, 100000}) {
            std::string name;
            for (int i = 0; i < fit + extra; i++)
                name += unit;
            root = node(name.c_str(), FT_AND);
            ft_element *start = node(name.substr(0, 40 * strlen(unit)).c_str(), FT_AND);
            const std::string whole = first_line_pixels(&pages, root);
            EXPECT_TRUE(pages.hscrollbar.visible()) << drawn << " times " << fit << " + " << extra;
            EXPECT_TRUE(whole == first_line_pixels(&pages, start))
                << drawn << " times " << fit << " + " << extra;
            ft_free_tree(start, nullptr);
            ft_free_tree(root, nullptr);
            root = nullptr;
        }
    }
}

// The page list that an edit refills, with columns as in the main window:
// names whose columns start with format codes show every column as written.
// (The list with formatting off that shows them is no guard: it reads past
// an empty column.)
TEST_F(ToolkitTextTest, RefilledPageListShowsColumnsAsWritten) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    static const int widths[] = {45, 45, 0};
    auto refill = [&]() -> int {
        Fl_Window holder(120, 300);
        Fl_Browser pages(0, 0, 120, 300);
        holder.end();
        pages.type(FL_HOLD_BROWSER);
        pages.column_widths(widths);
        root = node("X\t@F16A", FT_AND,
                    {node("A\t@B1B\t@-C\t@F16D", FT_OR, {}, FT_PAGE_ON),
                     node("@@\t@\t@S99\t@", FT_OR, {}, FT_PAGE_ON)});
        canvas->set_page_tree(root);
        canvas->refresh_page_list(&pages, 0);
        return pages.size() != 3 || pixels_of(&pages) != plain_list_pixels(&pages);
    };
    EXPECT_EXIT(_exit(refill()), ::testing::ExitedWithCode(0), "");
}

// An alert shows its text as written, '@' and all.
TEST(DialogSeam, AlertShowsAtSignsAsWritten) {
    if (!getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    static std::vector<std::string> labels;
    // Keeps every label of the shown alert, then closes it.
    Fl::add_timeout(0.2, [](void *) {
        for (Fl_Window *w = Fl::first_window(); w; w = Fl::first_window()) {
            find_widget(w, [](Fl_Widget *x) {
                if (x->label())
                    labels.push_back(x->label());
                return false;
            });
            w->hide();
        }
    });
    const std::string path = "/data/@0 x@0";
    dlg_alert("File \"%s\" not found!", path.c_str());
    const std::string text = "File \"" + path + "\" not found!";
    bool found = false;
    for (const std::string &l : labels)
        found = found || shows_as_written(l, text);
    EXPECT_TRUE(found);
}
