// Shared fixture of the main-window tests: the real handler and window, the
// dialog seam answering alerts and choosers, a fresh temporary directory per
// test, and the import dialog answered from inside its modal loop.
#ifndef APP_FIXTURE_H
#define APP_FIXTURE_H

#include <FL/Fl.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "FTD_import_dlg.h"
#include "FTD_wnd_handler.h"
#include "dialogs.h"
#include "log.h"

typedef std::function<void(FTD_import_dlg *)> dlg_step;

class AppTest : public ::testing::Test {
  protected:
    FTD_wnd_handler *h = nullptr;
    std::optional<log_text_display> logger_store;
    log_text_display *logger = nullptr;
    std::vector<std::string> alerts;
    dlg_responder responder;
    std::string dir;
    std::vector<dlg_step> steps;
    size_t step = 0;

    void SetUp() override {
        if (!getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        char tmpl[] = "/tmp/ftd_app_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        responder.alert = [this](const std::string &t) { alerts.push_back(t); };
        dlg_set_responder(&responder);
        h = new FTD_wnd_handler();
        global_log = logger = &logger_store.emplace(h->log_display);
        h->window->show();
    }
    void TearDown() override {
        if (!h)
            return;
        global_log = nullptr;
        Fl_Text_Buffer *log_buffer = logger->buffer;
        Fl_Window *window = h->window;
        logger_store.reset();
        delete h;
        delete window; // the display lets go of its buffer here
        delete log_buffer;
        dlg_set_responder(nullptr);
        (void)!system(("rm -rf '" + dir + "'").c_str());
    }
    static std::string example(const char *name) {
        return std::string(FTD_SOURCE_DIR) + "/examples/" + name;
    }
    std::string write_file(const std::string &name, const std::string &text) {
        std::ofstream(dir + "/" + name, std::ios::binary) << text;
        return dir + "/" + name;
    }
    // True when the log panel ends with text.
    bool log_ends(const std::string &text) {
        std::string all = logger->buffer->text();
        return all.size() >= text.size() && all.compare(all.size() - text.size(), text.size(), text) == 0;
    }
    int load_example() {
        return h->load_files(example("events.txt").c_str(), example("gates.txt").c_str());
    }
    // Runs File > Open; each step acts on the dialog inside the modal loop,
    // and a dialog still open after the last step is closed.
    void open_with(std::vector<dlg_step> s) {
        steps = std::move(s);
        step = 0;
        Fl::add_timeout(0.001, drive, this);
        h->on_open();
        Fl::remove_timeout(drive, this);
    }
    static void drive(void *v) {
        AppTest *t = static_cast<AppTest *>(v);
        FTD_import_dlg *d = t->h->import_dlg;
        if (t->step < t->steps.size())
            t->steps[t->step++](d);
        else
            d->window->hide();
        if (d->window->shown())
            Fl::repeat_timeout(0.001, drive, v);
    }
    static dlg_step fill_ok(std::string ev, std::string ga) {
        return [ev, ga](FTD_import_dlg *d) {
            d->events_input->value(ev.c_str());
            d->gates_input->value(ga.c_str());
            d->ok_button->do_callback();
        };
    }
};

#endif
