// The main window: initial state, the import dialog and the file commands.
#include <sys/stat.h>
#include <unistd.h>

#include "app_fixture.h"

TEST_F(AppTest, InitialWindowLayoutAndMenuStates) {
    EXPECT_EQ(h->window->w(), 840);
    EXPECT_EQ(h->window->h(), 631);
    EXPECT_STREQ(h->window->label(), "ORVIK: Fault Tree Displayer");
    ASSERT_EQ(h->window->children(), 3);
    EXPECT_EQ(h->window->child(1), h->file_group);
    EXPECT_EQ(h->window->child(2), h->tile);
    EXPECT_EQ(h->events_output->parent(), h->file_group);
    EXPECT_EQ(h->zoom_input->parent(), h->file_group);
    Fl_Widget *tile_kids[] = {h->tile_box, h->log_display, h->page_browser, h->scroll};
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(h->tile->child(i), tile_kids[i]) << i;
    EXPECT_EQ(h->canvas->parent(), h->scroll);
    EXPECT_FALSE(h->tile_box->visible());
    EXPECT_FALSE(h->file_group->active());
    EXPECT_FALSE(h->scroll->active());
    EXPECT_FALSE(h->page_browser->active());
    EXPECT_NE(log_text().find("Starting to log..."), std::string::npos);

    struct {
        const char *path;
        bool visible, active;
    } items[] = {
        {"&File/&Open...", true, true},
        {"&File/I&mport XML...", false, false},
        {"&File/&Reload", true, false},
        {"&File/Export...", true, true},
        {"&File/&Close", true, false},
        {"&File/E&xit", true, true},
        {"&Actions/Edit", false, false},
        {"&Actions/Insert", false, false},
        {"&Actions/Delete", false, false},
        {"&Help", false, true},
        {"&View/Zoom In", true, false},
        {"&View/Zoom Out", true, false},
        {"&View/Full Size", true, false},
        {"&View/Hide Probability", true, true},
        {"&Actions/Open Counterexample", true, false},
        {"&Actions/Compute Ordering...", true, false},
    };
    Fl_Menu_Bar *bar = static_cast<Fl_Menu_Bar *>(h->window->child(0));
    for (const auto &it : items) {
        const Fl_Menu_Item *m = bar->find_item(it.path);
        ASSERT_NE(m, nullptr) << it.path;
        EXPECT_EQ(m->visible() != 0, it.visible) << it.path;
        EXPECT_EQ(m->active() != 0, it.active) << it.path;
    }
}

TEST_F(AppTest, OpenReportsEveryImportResult) {
    std::string ev = example("events.txt"), ga = example("gates.txt");
    std::string bad_gates = write_file("bg.txt", "Nmae\r\nX\r\n");
    std::string bad_events = write_file("be.txt", "Name\tBogus\r\nX\tY\r\n");
    std::string undef =
        write_file("ug.txt", "Name\tType\tInput  0 Type and Name\r\nT\tOR\tE NOPE\r\n");
    std::string missing = dir + "/missing.txt";
    struct {
        std::string ev, ga, alert;
    } cases[] = {
        {ev, missing, "File \"" + missing + "\" not found!\nLoading aborted."},
        {missing, ga, "File \"" + missing + "\" not found!\nLoading aborted."},
        {ev, bad_gates,
         "The format of gates file \"" + bad_gates + "\" is not correct.\nLoading aborted."},
        {bad_events, ga,
         "The format of events file \"" + bad_events + "\" is not correct.\nLoading aborted."},
        {ev, undef,
         "Gates file \"" + undef +
             "\" contains a reference to an undefined basic event.\nLoading aborted."},
    };
    ASSERT_EQ(load_example(), 0);
    std::string shown = h->events_output->value();
    ft_element *root = h->canvas->tree;
    for (const auto &c : cases) {
        alerts.clear();
        open_with({fill_ok(c.ev, c.ga)});
        ASSERT_EQ(alerts.size(), 1u) << c.alert;
        EXPECT_EQ(alerts[0], c.alert);
        EXPECT_EQ(std::string(h->events_path), ev);
        EXPECT_EQ(std::string(h->gates_path), ga);
        EXPECT_EQ(shown, h->events_output->value());
        EXPECT_EQ(h->canvas->tree, root);
        EXPECT_EQ(log_text().substr(log_text().size() - 23), "Fault Tree not loaded.\n");
    }
    alerts.clear();
    open_with({fill_ok(ev, ga)});
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(log_text().substr(log_text().size() - 19), "Fault Tree loaded.\n");
    EXPECT_EQ(Fl::focus(), h->page_browser);
}

TEST_F(AppTest, ImportDialogRefusesMissingNameAndCancelKeepsPaths) {
    std::string ev = example("events.txt");
    open_with({[&](FTD_import_dlg *d) {
                   d->events_input->value(ev.c_str());
                   d->ok_button->do_callback();
               },
               [&](FTD_import_dlg *d) {
                   EXPECT_TRUE(d->window->shown());
                   EXPECT_EQ(std::string(d->events_input->value()), ev);
                   d->cancel_button->do_callback();
               }});
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0], "Both filenames are necessary for displaying the fault tree.");
    EXPECT_STREQ(h->events_path, "");
    EXPECT_EQ(log_text().find("Fault Tree"), std::string::npos);

    // A chooser cancelled after a choice leaves the field empty.
    const char *answer = "/x/chosen.txt";
    responder.file_chooser = [&](const char *, const char *pat, const char *, int) {
        EXPECT_STREQ(pat, "*.txt");
        return answer;
    };
    open_with({[&](FTD_import_dlg *d) {
        d->events_choose->do_callback();
        EXPECT_STREQ(d->events_input->value(), "/x/chosen.txt");
        answer = nullptr;
        d->events_choose->do_callback();
        EXPECT_STREQ(d->events_input->value(), "");
        d->window->hide();
    }});
    EXPECT_EQ(h->canvas->tree, nullptr);
}

TEST_F(AppTest, ReloadLogsItsRealOutcome) {
    h->on_reload();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0], "Reload impossible. No fault tree currently loaded.");
    std::string ev = write_file("e.txt", "Name\r\nA\r\n");
    std::string ga = write_file("g.txt", "Name\tInput  0 Type and Name\r\nT\tE A\r\n");
    ASSERT_EQ(h->load_files(ev.c_str(), ga.c_str()), 0);
    h->on_reload();
    EXPECT_EQ(log_text().substr(log_text().size() - 21), "Fault Tree reloaded.\n");
    ft_element *root = h->canvas->tree;
    unlink(ga.c_str());
    h->on_reload();
    EXPECT_EQ(alerts.back(), "File \"" + ga + "\" not found!\nLoading aborted.");
    EXPECT_EQ(log_text().substr(log_text().size() - 23), "Fault Tree not loaded.\n");
    EXPECT_EQ(h->canvas->tree, root);
    EXPECT_EQ(std::string(h->gates_path), ga);
}

TEST_F(AppTest, CloseEmptiesWindowAndReleasesTree) {
    long before = ft_live_elements();
    ASSERT_EQ(load_example(), 0);
    EXPECT_EQ(h->page_browser->size(), 2); // the root and its one page gate
    EXPECT_STREQ(h->page_browser->text(1), "NO_FLOW");
    EXPECT_STREQ(h->page_browser->text(2), "CONTROL");
    EXPECT_TRUE(FTD_wnd_handler::item_close->active());
    h->on_close();
    EXPECT_EQ(ft_live_elements(), before);
    EXPECT_EQ(h->page_browser->size(), 0);
    EXPECT_STREQ(h->events_output->value(), "");
    EXPECT_STREQ(h->zoom_input->value(), "");
    EXPECT_FALSE(h->scroll->active());
    EXPECT_FALSE(FTD_wnd_handler::item_reload->active());
    EXPECT_TRUE(FTD_wnd_handler::item_export->active());
    EXPECT_EQ(log_text().substr(log_text().size() - 19), "Fault Tree closed.\n");
    h->on_zoom_in(); // no tree: nothing happens
    EXPECT_STREQ(h->zoom_input->value(), "");
}

TEST_F(AppTest, RepeatedLoadsKeepMemoryFlat) {
    ASSERT_EQ(load_example(), 0);
    ASSERT_EQ(load_example(), 0);
    long settled = ft_live_elements();
    for (int i = 0; i < 200; i++)
        ASSERT_EQ(load_example(), 0);
    EXPECT_EQ(ft_live_elements(), settled);
    std::string bad = write_file("g.txt", "Name\tInput  0 Type and Name\r\nT\tE NOPE\r\n");
    h->load_files(example("events.txt").c_str(), bad.c_str());
    EXPECT_EQ(ft_live_elements(), settled);
}

TEST_F(AppTest, OverlongNamesAreNotOpenedAndAbsolutePathsStayWhole) {
    std::string ev = example("events.txt"), ga = example("gates.txt");
    std::string longname = dir + "/" + std::string(5000, 'a');
    EXPECT_EQ(h->load_files(longname.c_str(), ga.c_str()), FTREAD_NO_EVENTS_FILE);
    EXPECT_EQ(h->load_files(ev.c_str(), longname.c_str()), FTREAD_NO_GATES_FILE);
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[1], "File \"" + longname + "\" not found!\nLoading aborted.");
    EXPECT_STREQ(h->events_path, "");

    std::string deep = dir;
    for (int i = 0; i < 3; i++) {
        deep += "/" + std::string(100, 'd' + i);
        ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    }
    std::string cmd = "cp '" + ev + "' '" + ga + "' '" + deep + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    std::string rel = deep.substr(dir.size() + 1);
    ASSERT_EQ(h->load_files((rel + "/events.txt").c_str(), (rel + "/gates.txt").c_str()), 0);
    EXPECT_EQ(std::string(h->gates_output->value()), deep + "/gates.txt");
    open_with({fill_ok(std::string(4096, 'x'), ga)});
    EXPECT_EQ(alerts.back(),
              "File \"" + std::string(4096, 'x') + "\" not found!\nLoading aborted.");
    EXPECT_EQ(std::string(h->events_path), rel + "/events.txt");
    ASSERT_EQ(chdir("/"), 0);
}

TEST_F(AppTest, ExitAndCloseRequestHideWindowButEscapeDoesNot) {
    Fl::e_number = FL_SHORTCUT;
    Fl::e_keysym = FL_Escape;
    h->window->do_callback();
    EXPECT_TRUE(h->window->shown());
    Fl::e_number = FL_CLOSE;
    Fl::e_keysym = 0;
    h->window->do_callback();
    EXPECT_FALSE(h->window->shown());
    h->window->show();
    Fl_Menu_Bar *bar = static_cast<Fl_Menu_Bar *>(h->window->child(0));
    bar->picked(bar->find_item("&File/E&xit"));
    EXPECT_FALSE(h->window->shown());
}

// Sends Ctrl+C to the window as a key press.
static void press_ctrl_c(Fl_Window *w) {
    Fl::e_keysym = 'c';
    Fl::e_state = FL_CTRL;
    Fl::e_text = (char *)"\003";
    Fl::e_length = 1;
    Fl::handle(FL_KEYBOARD, w);
}

TEST_F(AppTest, CtrlCClosesUnlessAFieldCopiesItsSelection) {
    ASSERT_EQ(load_example(), 0);
    h->events_output->take_focus();
    h->events_output->position(0, 5);
    press_ctrl_c(h->window);
    EXPECT_NE(h->canvas->tree, nullptr);
    h->page_browser->take_focus();
    press_ctrl_c(h->window);
    EXPECT_EQ(h->canvas->tree, nullptr);
}
