// Text from files on its way to the toolkit: fitted canvas texts and alerts
// show every byte as written. Rows that the toolkit could end run in a child
// process, which must exit by itself.
#include "app_fixture.h"

#include <FL/Fl_Browser.H>
#include <FL/Fl_Image_Surface.H>
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

// Each text drawn into a description box at a zoom, in a child process.
// What reaches the toolkit: an ordinary text exactly as it is, any other one
// shown as written; a text that a box shows is drawn.
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
