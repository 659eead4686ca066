// Shared fixture of the main-window tests: a real handler and window, the
// dialog seam answering alerts, choices and file choosers, a fresh temporary
// directory per test and the import dialog driven from inside its modal loop.
#ifndef APP_FIXTURE_H
#define APP_FIXTURE_H

#include <FL/Fl.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "FTD_import_dlg.h"
#include "FTD_wnd_handler.h"
#include "dialogs.h"
#include "log.h"

class AppTest : public ::testing::Test {
  protected:
    FTD_wnd_handler *h = nullptr;
    std::vector<std::string> alerts;
    dlg_responder responder;
    std::string dir;
    log_text_display *logger = nullptr;

    void SetUp() override {
        if (!getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        char tmpl[] = "/tmp/ftd_app_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        responder.alert = [this](const std::string &t) { alerts.push_back(t); };
        dlg_set_responder(&responder);
        h = new FTD_wnd_handler();
        logger = new log_text_display(h->log_display);
        logger->set_level(LOG_DEBUG);
        global_log = logger;
        h->window->show();
    }
    void TearDown() override {
        if (!h)
            return;
        global_log = nullptr;
        h->window->hide();
        delete h;
        dlg_set_responder(nullptr);
        std::string cmd = "rm -rf '" + dir + "'";
        (void)!system(cmd.c_str());
    }

    std::string example(const char *name) {
        return std::string(FTD_SOURCE_DIR) + "/examples/" + name;
    }
    // Writes text into dir/name; returns the path.
    std::string write_file(const std::string &name, const std::string &text) {
        std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string log_text() { return logger->buffer->text(); }
    int load_example() {
        return h->load_files(example("events.txt").c_str(), example("gates.txt").c_str());
    }

    // The import dialog's answers: each step acts on the dialog during the
    // modal loop; after the last step a still-open dialog is cancelled.
    std::vector<std::function<void(FTD_import_dlg *)>> steps;
    size_t step = 0;
    static void drive(void *v) {
        AppTest *t = static_cast<AppTest *>(v);
        FTD_import_dlg *d = t->h->import_dlg;
        if (!d)
            return;
        if (t->step < t->steps.size())
            t->steps[t->step++](d);
        else
            d->window->hide();
        if (d->window->shown())
            Fl::repeat_timeout(0.001, drive, v);
    }
    void open_with(std::vector<std::function<void(FTD_import_dlg *)>> s) {
        steps = std::move(s);
        step = 0;
        Fl::add_timeout(0.001, drive, this);
        h->on_open();
        Fl::remove_timeout(drive, this);
    }
    static std::function<void(FTD_import_dlg *)> fill_ok(std::string ev, std::string ga) {
        return [ev, ga](FTD_import_dlg *d) {
            d->events_input->value(ev.c_str());
            d->gates_input->value(ga.c_str());
            d->ok_button->do_callback();
        };
    }
};

#endif
