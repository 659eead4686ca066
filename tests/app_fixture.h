// Shared test helpers: a tree builder, offscreen drawing, alerts caught
// through the dialog seam, and the main-window fixture (real handler and
// window, a fresh temporary directory, the import dialog answered through
// the seam).
#ifndef APP_FIXTURE_H
#define APP_FIXTURE_H

#include <gtest/gtest.h> // before the toolkit: the X11 headers define None

#include <FL/Fl.H>
#include <FL/Fl_Image_Surface.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <functional>
#include <optional>

#include "FTD_import_dlg.h"
#include "FTD_wnd_handler.h"
#include "dialogs.h"
#include "fault_support.h"
#include "log.h"
#include "window_owner.h"

// A new element with its inputs; page -1: none for basic events, off otherwise.
inline ft_element *node(const char *name, ft_type t, std::vector<ft_element *> kids = {},
                        short page = -1, const char *desc = "", const char *prob = nullptr,
                        const char *crit = nullptr) {
    ft_element *e = ft_set_desc(ft_set_type(ft_set_name(ft_init(), name), t), desc);
    ft_set_page(e, page >= 0 ? page : short(t == FT_BASIC ? FT_PAGE_NONE : FT_PAGE_OFF));
    if (prob)
        ft_set_prob(e, prob);
    if (crit)
        ft_set_criticality(e, crit);
    if (t != FT_BASIC)
        ft_set_children(e, ft_list_init());
    for (ft_element *k : kids)
        ft_add_child(e, k);
    return e;
}

// The first widget below top, at any depth, for which match holds; NULL
// when there is none.
inline Fl_Widget *find_widget(Fl_Group *top, const std::function<bool(Fl_Widget *)> &match) {
    std::vector<Fl_Group *> groups(1, top);
    while (!groups.empty()) {
        Fl_Group *g = groups.back();
        groups.pop_back();
        for (int i = 0; i < g->children(); i++) {
            if (match(g->child(i)))
                return g->child(i);
            if (g->child(i)->as_group())
                groups.push_back(g->child(i)->as_group());
        }
    }
    return nullptr;
}

// The widget below top labelled label, as a user finds a button.
inline Fl_Widget *labelled(Fl_Group *top, const std::string &label) {
    return find_widget(top, [&](Fl_Widget *w) { return w->label() && label == w->label(); });
}

// The first widget of class W below top.
template <class W> W *first_of(Fl_Group *top) {
    return static_cast<W *>(find_widget(top, [](Fl_Widget *w) { return dynamic_cast<W *>(w); }));
}

// RGB bytes of c drawn over yellow into a w x h offscreen buffer, clipped to
// (cx, cy, cw, ch); cw or ch < 0: the whole width or height. tile > 0: one
// draw per tile x tile square of the clip, as partial redraws would paint it.
inline std::vector<unsigned char> render_rgb(Fl_Window *win, FTD_canvas *c, int w, int h,
                                             int cx = 0, int cy = 0, int cw = -1, int ch = -1,
                                             int tile = 0) {
    win->make_current();
    Fl_Offscreen off = fl_create_offscreen(w, h);
    fl_begin_offscreen(off);
    fl_color(FL_YELLOW);
    fl_rectf(0, 0, w, h);
    cw = cw < 0 ? w : cw;
    ch = ch < 0 ? h : ch;
    const int tw = tile > 0 ? tile : cw, th = tile > 0 ? tile : ch;
    for (int ty = cy; ty < cy + ch; ty += th)
        for (int tx = cx; tx < cx + cw; tx += tw) {
            fl_push_clip(tx, ty, std::min(tw, cx + cw - tx), std::min(th, cy + ch - ty));
            c->draw();
            fl_pop_clip();
        }
    unsigned char *img = fl_read_image(nullptr, 0, 0, w, h);
    fl_end_offscreen();
    fl_delete_offscreen(off);
    std::vector<unsigned char> out(img, img + w * h * 3);
    delete[] img;
    return out;
}

// The pixels of w drawn alone offscreen (where other windows cannot cover
// it), with no focus box.
inline std::string pixels_of(Fl_Widget *w) {
    Fl::focus(nullptr);
    Fl_Image_Surface surface(w->w(), w->h());
    surface.set_current();
    surface.draw(w);
    Fl_RGB_Image *img = surface.image();
    Fl_Display_Device::display_device()->set_current();
    std::string pixels((const char *)img->data()[0], w->w() * w->h() * 3);
    delete img;
    return pixels;
}

// What is wrong with c's SVG export: "" when it is written whole and
// well-formed (xmllint), else which of the two failed.
inline std::string svg_export_fault(FTD_canvas *c) {
    std::string path = testing::TempDir() + "ftd_svg_XXXXXX";
    FILE *out = fdopen(mkstemp(&path[0]), "w");
    std::string fault = out && c->write_svg(out) == 0 ? "" : "not written";
    if (out)
        fclose(out);
    if (fault.empty() && system(("xmllint --noout --huge " + path).c_str()) != 0)
        fault = "not well-formed";
    unlink(path.c_str());
    return fault;
}

// A shown window of WW by WH pixels holding one canvas of CW by CH; the tree
// the test puts in root is released at the end.
template <int WW, int WH, int CW, int CH> struct CanvasWindowTest : ::testing::Test {
    Fl_Window *win = new Fl_Window(WW, WH);
    FTD_canvas *canvas = new FTD_canvas(0, 0, CW, CH);
    ft_element *root = nullptr;
    void SetUp() override {
        win->end();
        win->show();
        Fl::check();
    }
    void TearDown() override {
        delete win;
        ft_free_tree(root, nullptr);
    }
};

// The whole text of a text buffer.
inline std::string text_of(Fl_Text_Buffer *buffer) {
    char *t = buffer->text();
    std::string s = t;
    free(t);
    return s;
}

// Installs a responder of its own that keeps every alert text.
struct SeamTest : ::testing::Test {
    std::vector<std::string> alerts;
    dlg_responder responder;
    void SetUp() override {
        responder.alert = [this](const std::string &t) { alerts.push_back(t); };
        dlg_set_responder(&responder);
    }
    void TearDown() override { dlg_set_responder(nullptr); }
};

typedef std::function<void(FTD_import_dlg *)> import_answer;

class AppTest : public SeamTest {
  protected:
    FTD_wnd_handler *h = nullptr;
    std::optional<log_text_display> logger;
    temp_dir tmp; // a fresh directory, removed at the end
    std::string dir = tmp.path;

    void SetUp() override {
        if (!getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        SeamTest::SetUp();
        h = new FTD_wnd_handler();
        global_log = &logger.emplace(h->log_display);
        h->window->show();
    }
    void TearDown() override {
        if (!h)
            return;
        global_log = nullptr;
        Fl_Text_Buffer *log_buffer = logger->buffer;
        Fl_Window *window = h->window;
        logger.reset();
        delete h;
        delete window; // the display lets go of its buffer here
        delete log_buffer;
        SeamTest::TearDown();
    }
    static std::string example(const char *name) {
        return std::string(FTD_SOURCE_DIR) + "/examples/" + name;
    }
    std::string write_file(const std::string &name, const std::string &text) {
        write_all(dir + "/" + name, text);
        return dir + "/" + name;
    }
    bool log_ends(const std::string &text) { // the log panel ends with text
        std::string all = text_of(logger->buffer);
        return all.size() >= text.size() && all.substr(all.size() - text.size()) == text;
    }
    int load_example() {
        return h->load_files(example("events.txt").c_str(), example("gates.txt").c_str());
    }
    // Runs File > Open; answer acts on the shown dialog, which is closed
    // when answer leaves it open.
    void open_with(import_answer answer) {
        responder.modal = [answer](Fl_Window *w) { answer(window_owner<FTD_import_dlg>(w)); };
        h->on_open();
        responder.modal = nullptr;
    }
    static import_answer fill_ok(std::string ev, std::string ga) {
        return [ev, ga](FTD_import_dlg *d) {
            d->events_input->value(ev.c_str());
            d->gates_input->value(ga.c_str());
            d->ok_button->do_callback();
        };
    }
};

#endif
