// The main window: initial state, the import dialog and the file commands.
#include "app_fixture.h"
#include "ftgen.h"
#include "spawn.h"

#include <FL/Fl_Image_Surface.H>

TEST_F(AppTest, InitialWindowAndMenuStates) {
    EXPECT_EQ(h->window->w(), 840);
    EXPECT_EQ(h->window->h(), 631);
    EXPECT_FALSE(h->file_group->active() || h->scroll->active() || h->page_browser->active());
    EXPECT_TRUE(log_ends("\nStarting to log...\n\n"));
    // visible (1 or 0), active (1 or 0), the menu path
    const char *items[] = {
        "11&File/&Open...",  "00&File/I&mport XML...",   "10&File/&Reload",
        "11&File/Export...", "10&File/&Close",           "11&File/E&xit",
        "00&Actions/Edit",   "00&Actions/Insert",        "00&Actions/Delete",
        "00&Help",           "10&View/Zoom In",          "10&View/Zoom Out",
        "10&View/Full Size", "11&View/Hide Probability", "10&Actions/Compute Ordering..."};
    Fl_Menu_Bar *bar = first_of<Fl_Menu_Bar>(h->window);
    for (const char *it : items) {
        const Fl_Menu_Item *m = bar->find_item(it + 2);
        ASSERT_NE(m, nullptr) << it;
        EXPECT_EQ(m->visible() != 0, it[0] == '1') << it;
        EXPECT_EQ(m->active() != 0, it[1] == '1') << it;
    }
}

TEST_F(AppTest, OpenReportsEveryImportResult) {
    std::string ev = example("events.txt"), ga = example("gates.txt"), miss = dir + "/no.txt";
    std::string bg = write_file("bg.txt", "Nmae\r\nX\r\n");
    std::string be = write_file("be.txt", "Name\tBogus\r\nX\tY\r\n");
    std::string ug = write_file("ug.txt", "Name\tInput  0 Type and Name\r\nT\tE NOPE\r\n");
    std::string sub = dir + "/sub"; // a directory
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    const std::string end = "\nLoading aborted."; // cases: events, gates, the alert
    std::string cases[][3] = {
        {ev, miss, "File \"" + miss + "\" not found!" + end},
        {miss, ga, "File \"" + miss + "\" not found!" + end},
        {ev, bg, "The format of gates file \"" + bg + "\" is not correct." + end},
        {be, ga, "The format of events file \"" + be + "\" is not correct." + end},
        {sub, ga, "Error." + end},
        {ev, sub, "Error." + end},
        {ev, ug,
         "Gates file \"" + ug + "\" contains a reference to an undefined basic event." + end}};
    ASSERT_EQ(load_example(), 0);
    std::string shown = h->events_output->value();
    ft_element *root = h->canvas->tree;
    for (auto &[e, g, alert] : cases) {
        alerts.clear();
        open_with(fill_ok(e, g));
        EXPECT_EQ(alerts, std::vector<std::string>{alert});
        EXPECT_EQ(h->events_path + std::string("|") + h->gates_path, ev + "|" + ga);
        EXPECT_EQ(shown, h->events_output->value());
        EXPECT_EQ(h->canvas->tree, root);
        EXPECT_TRUE(log_ends("Fault Tree not loaded.\n"));
    }
    alerts.clear();
    open_with(fill_ok(ev, ga));
    EXPECT_TRUE(alerts.empty());
    EXPECT_TRUE(log_ends("Fault Tree loaded.\n"));
    EXPECT_EQ(Fl::focus(), h->page_browser);
}

// A gates file whose rows would take too long to resolve fails as a file of
// the wrong format, and the log says why.
TEST_F(AppTest, RefusedGatesFileSaysWhyInTheLog) {
    global_log->set_level(LOG_ERROR);
    std::string events;
    const std::string gates = write_file("gt.txt", ftgen_alternating_gates(20000, 400, &events));
    const std::string ev = write_file("ev.txt", events);
    EXPECT_EQ(h->load_files(ev.c_str(), gates.c_str()), FTREAD_BAD_GATES);
    EXPECT_EQ(alerts, std::vector<std::string>{"The format of gates file \"" + gates +
                                               "\" is not correct.\nLoading aborted."});
    EXPECT_TRUE(log_ends("ERROR. Gates file \"" + gates +
                         "\" refused: resolving its rows would take too long.\n"));
}

// A given pair and File > Open settle the paths alike: the new pair after a
// load, the pair shown before after a failure, none when no tree is shown.
// A given pair makes the two Actions items inactive; Open leaves them.
TEST_F(AppTest, GivenPairAndOpenSettleThePathsAlike) {
    std::string ev = example("events.txt"), ga = example("gates.txt"), miss = dir + "/no.txt";
    std::string ev0 = dir + "/e0.txt", ga0 = dir + "/g0.txt";
    ASSERT_EQ(system(("cp '" + ev + "' '" + ev0 + "' && cp '" + ga + "' '" + ga0 + "'").c_str()),
              0);
    const std::string before = ev0 + "|" + ga0, loaded = ev + "|" + ga;
    struct {
        int shown, open;
        std::string gates, paths;
    } rows[] = {{0, 0, ga, loaded}, {0, 0, miss, "|"}, {1, 0, ga, loaded}, {1, 0, miss, before},
                {0, 1, ga, loaded}, {0, 1, miss, "|"}, {1, 1, ga, loaded}, {1, 1, miss, before}};
    for (const auto &r : rows) {
        SCOPED_TRACE(std::to_string(r.shown) + std::to_string(r.open) + " " + r.gates);
        h->on_close();
        if (r.shown) {
            ASSERT_EQ(h->load_files(ev0.c_str(), ga0.c_str()), 0);
        }
        FTD_wnd_handler::item_open_counterexample->activate();
        FTD_wnd_handler::item_compute_ordering->activate();
        if (r.open)
            open_with(fill_ok(ev, r.gates));
        else
            h->load_files(ev.c_str(), r.gates.c_str());
        EXPECT_EQ(h->events_path + std::string("|") + h->gates_path, r.paths);
        EXPECT_EQ(h->events_output->value() + std::string("|") + h->gates_output->value(), r.paths);
        EXPECT_EQ(FTD_wnd_handler::item_open_counterexample->active() != 0, r.open == 1);
        EXPECT_EQ(FTD_wnd_handler::item_compute_ordering->active() != 0, r.open == 1);
        if (r.paths != "|") {
            EXPECT_EQ(Fl::focus(), h->page_browser);
        }
    }
}

TEST_F(AppTest, ImportDialogRefusesMissingNameAndCancelKeepsPaths) {
    const char *answer = "/x/chosen.txt";
    responder.file_chooser = [&](const char *, const char *, const char *, int) { return answer; };
    open_with([&](FTD_import_dlg *d) {
        d->events_choose->do_callback();
        d->ok_button->do_callback();
        EXPECT_TRUE(d->window->shown());
        EXPECT_STREQ(d->events_input->value(), "/x/chosen.txt");
        answer = nullptr; // a cancelled chooser empties the field
        d->events_choose->do_callback();
        EXPECT_STREQ(d->events_input->value(), "");
        d->cancel_button->do_callback();
    });
    EXPECT_EQ(alerts, std::vector<std::string>{
                          "Both filenames are necessary for displaying the fault tree."});
    EXPECT_STREQ(h->events_path, "");
    EXPECT_FALSE(log_ends("Fault Tree not loaded.\n"));
}

// The drawing area drawn offscreen: canvas place, scroll offsets and
// scrollbars, then its pixels.
static std::pair<std::string, std::string> area_view(FTD_wnd_handler *h) {
    Fl_Scroll *s = h->scroll;
    Fl_Image_Surface surface(s->w(), s->h());
    surface.set_current();
    surface.draw(s);
    Fl_RGB_Image *img = surface.image();
    Fl_Display_Device::display_device()->set_current();
    char where[64];
    snprintf(where, sizeof where, "%d,%d at %d,%d bars %d%d", h->canvas->x(), h->canvas->y(),
             s->xposition(), s->yposition(), s->hscrollbar.visible(), s->scrollbar.visible());
    std::string pixels((const char *)img->data()[0], s->w() * s->h() * 3);
    delete img;
    return {where, pixels};
}

// Loaded before the first draw, as at start-up, the tree shows as after
// Reload: at the area's inner corner, no scrollbars for a tree that fits.
TEST_F(AppTest, FirstViewEqualsViewAfterReload) {
    ASSERT_EQ(load_example(), 0);
    auto first = area_view(h);
    h->on_reload();
    auto reloaded = area_view(h);
    EXPECT_EQ(first.first, "122,92 at 0,0 bars 00");
    EXPECT_EQ(reloaded.first, "122,92 at 0,0 bars 00");
    EXPECT_TRUE(first.second == reloaded.second) << "the drawings differ";
}

// The empty drawing area first shown, at start without a pair or after a
// start-up load that failed, is the one that a load and Close leave.
TEST_F(AppTest, FirstEmptyViewEqualsViewAfterClose) {
    std::string ev = example("events.txt"), ga = example("gates.txt");
    std::string bad = write_file("g.txt", "Nmae\r\nX\r\n");
    FTD_wnd_handler *failed_start = new FTD_wnd_handler();
    failed_start->window->show();
    EXPECT_NE(failed_start->load_files(ev.c_str(), bad.c_str()), 0);
    for (FTD_wnd_handler *w : {h, failed_start}) {
        auto view = [w] {
            return area_view(w).first + " size " + std::to_string(w->canvas->w()) + "x" +
                   std::to_string(w->canvas->h());
        };
        std::string first = view();
        auto first_pixels = area_view(w).second;
        ASSERT_EQ(w->load_files(ev.c_str(), ga.c_str()), 0);
        w->on_close();
        EXPECT_EQ(first, view());
        EXPECT_EQ(first, "122,92 at 0,0 bars 00 size 703x523");
        EXPECT_TRUE(first_pixels == area_view(w).second) << "the drawings differ";
    }
    Fl_Window *window = failed_start->window;
    delete failed_start;
    delete window;
}

// Presses at (x, y0) in the window, drags to (x, y1) and lets go.
static void drag(Fl_Window *w, int x, int y0, int y1) {
    Fl::e_x = Fl::e_x_root = x;
    Fl::e_y = Fl::e_y_root = y0;
    Fl::handle(FL_PUSH, w);
    Fl::e_y = Fl::e_y_root = y1;
    Fl::handle(FL_DRAG, w);
    Fl::handle(FL_RELEASE, w);
    Fl::flush();
}

// The log panel starts as the window's bottom pixel row; dragging the border
// above it up shows the panel whole, down to its newest line (here a
// warning, which leaves the border where it is), at the first size and in a
// taller window.
TEST_F(AppTest, DraggedBorderShowsTheNewestLogLine) {
    ASSERT_EQ(load_example(), 0);
    Fl_Text_Display *panel = h->log_display;
    global_log->set_level(LOG_WARNING);
    for (int height : {631, 900}) {
        h->window->size(840, height);
        Fl::flush();
        ASSERT_EQ(panel->y(), height - 1) << "only the panel's top row shows";
        for (int i = 0; i < 40; i++)
            global_log->message("line %d\n", i);
        int newest = logger->buffer->length();
        h->not_implemented();
        ASSERT_TRUE(log_ends("WARNING. Sorry, this is not yet implemented.\n"));
        drag(h->window, 400, height - 1, height - 301);
        EXPECT_EQ(panel->y(), height - 301);
        EXPECT_EQ(panel->y() + panel->h(), height) << "window " << height;
        int x = 0, y = 0;
        EXPECT_TRUE(panel->position_to_xy(newest, &x, &y)) << "window " << height;
        EXPECT_GT(y, panel->y()) << "window " << height;
        EXPECT_LE(y + panel->textsize(), height) << "window " << height;
        drag(h->window, 400, height - 301, height - 1); // back as it was
    }
}

// The lines of the log panel that show whole in the window, as line
// numbers from the end (1 the newest); "" when none does.
static std::string shown_lines(Fl_Text_Display *panel, Fl_Text_Buffer *buffer, int bottom) {
    std::string shown;
    int end = buffer->length() - 1; // the newest line's "\n"
    for (int back = 1; back <= 8 && end > 0; back++) {
        int start = buffer->line_start(end), x = 0, y = 0;
        if (panel->position_to_xy(start, &x, &y) && y >= panel->y() &&
            y + panel->textsize() <= std::min(bottom, panel->y() + panel->h()))
            shown += std::to_string(back);
        end = start - 1;
    }
    return shown;
}

// The dark (text) pixels of the window's rows y to y + rows, drawn offscreen.
static int dark_pixels(Fl_Window *w, int y, int rows) {
    const std::string px = pixels_of(w);
    int dark = 0;
    for (int i = y * w->w() * 3; i < (y + rows) * w->w() * 3 && i < (int)px.size(); i += 3)
        dark += (unsigned char)px[i] < 100 && (unsigned char)px[i + 1] < 100;
    return dark;
}

// An error line brings the log panel into view, at the first size and in a
// taller window: the border above it moves up and the panel shows its last
// lines, the newest whole and drawn. Export's three refusals, and an error
// line of any other command.
TEST_F(AppTest, ErrorLineBringsTheLogPanelIntoView) {
    ASSERT_EQ(load_example(), 0);
    Fl_Text_Display *panel = h->log_display;
    global_log->set_level(LOG_DEBUG);
    std::string chosen;
    responder.file_chooser = [&](const char *, const char *, const char *, int) {
        return chosen.c_str();
    };
    responder.choice = [](const std::string &, const char *, const char *, const char *) {
        return 1; // Yes, overwrite
    };
    write_file("a.txt", "OLD");
    const struct {
        const char *chosen; // exported into; NULL: an error line of another command
        const char *line;
    } rows[] = {{"", "ERROR. You chose a directory.\nPlease, choose a different file.\n"},
                {"/a.txt", "ERROR. Not a valid file extension.\n"},
                {"/none/x.svg", "ERROR. File could not be written.\n"},
                {nullptr, "ERROR. Some other command failed.\n"}};
    for (int height : {631, 900})
        for (const auto &r : rows) {
            SCOPED_TRACE(std::to_string(height) + " " + r.line);
            h->window->size(840, height);
            Fl::flush();
            ASSERT_EQ(panel->y(), height - 1) << "only the panel's top row shows";
            for (int i = 0; i < 40; i++)
                global_log->message("line %d\n", i);
            if (r.chosen) {
                chosen = dir + r.chosen;
                h->on_export();
            } else {
                global_log->log(LOG_ERROR, "%s", "Some other command failed.");
            }
            ASSERT_TRUE(log_ends(r.line));
            Fl::flush();
            EXPECT_LT(panel->y(), height - 60);
            EXPECT_EQ(panel->y() + panel->h(), height);
            EXPECT_EQ(shown_lines(panel, logger->buffer, height).substr(0, 4), "1234");
            int x = 0, y = 0, newest = logger->buffer->line_start(logger->buffer->length() - 1);
            int dark = panel->position_to_xy(newest, &x, &y)
                           ? dark_pixels(h->window, y, panel->textsize())
                           : 0;
            EXPECT_GT(dark, 20) << "the newest line is drawn";
            drag(h->window, 400, panel->y(), height - 1); // back as it was
        }
}

// What a command that succeeds logs, at every level, leaves the panel as
// the window first shows it: its top pixel row.
TEST_F(AppTest, SuccessfulCommandsLeaveTheLogPanelAsItIs) {
    global_log->set_level(LOG_DEBUG);
    responder.file_chooser = [this](const char *, const char *, const char *, int) {
        static std::string name;
        return (name = dir + "/ok.svg").c_str();
    };
    const std::function<void()> commands[] = {[&] { ASSERT_EQ(load_example(), 0); },
                                              [&] { h->on_reload(); },
                                              [&] { h->on_zoom_in(); },
                                              [&] { h->on_full_size(); },
                                              [&] { h->on_export(); },
                                              [&] { h->not_implemented(); },
                                              [&] { global_log->log(LOG_INFO, "%s", "info"); },
                                              [&] { h->on_close(); }};
    for (const auto &command : commands) {
        command();
        Fl::flush();
        EXPECT_EQ(h->log_display->y(), 630);
        EXPECT_EQ(h->log_display->h(), 1);
    }
    EXPECT_EQ(read_all(dir + "/ok.svg").substr(0, 5), "<?xml");
}

// The window asked for any size, down to one pixel, keeps every widget at
// a size of one pixel or more, and put back to its first size shows its
// first view again: every widget in its place at its size.
TEST_F(AppTest, ResizedWindowShowsItsFirstViewWhenBack) {
    ASSERT_EQ(load_example(), 0);
    h->window->wait_for_expose();
    const std::string first = pixels_of(h->window);
    Fl_Widget *widgets[] = {first_of<Fl_Menu_Bar>(h->window),
                            h->file_group,
                            h->events_output,
                            h->gates_output,
                            h->zoom_input,
                            h->tile,
                            h->tile_box,
                            h->log_display,
                            h->page_browser,
                            h->scroll};
    const struct {
        int w, h;
    } sizes[] = {{1, 1},     {100, 60}, {144, 631},  {840, 121}, {145, 122},
                 {300, 200}, {840, 90}, {1200, 900}, {1, 900}};
    for (auto s : sizes) {
        h->window->size(s.w, s.h);
        Fl::flush();
        for (Fl_Widget *w : widgets)
            EXPECT_TRUE(w->w() > 0 && w->h() > 0) << "at " << s.w << "x" << s.h;
        h->window->size(840, 631);
        EXPECT_TRUE(pixels_of(h->window) == first) << "after " << s.w << "x" << s.h;
    }
}

TEST_F(AppTest, ReloadLogsItsRealOutcome) {
    h->on_reload();
    EXPECT_EQ(alerts.at(0), "Reload impossible. No fault tree currently loaded.");
    std::string ev = write_file("e.txt", "Name\r\nA\r\n");
    std::string ga = write_file("g.txt", "Name\tInput  0 Type and Name\r\nT\tE A\r\n");
    ASSERT_EQ(h->load_files(ev.c_str(), ga.c_str()), 0);
    h->on_reload();
    EXPECT_TRUE(log_ends("Fault Tree reloaded.\n"));
    ft_element *root = h->canvas->tree;
    unlink(ga.c_str());
    h->on_reload();
    EXPECT_EQ(alerts.back(), "File \"" + ga + "\" not found!\nLoading aborted.");
    EXPECT_TRUE(log_ends("Fault Tree not loaded.\n"));
    EXPECT_EQ(h->canvas->tree, root);
    EXPECT_EQ(std::string(h->gates_path), ga);
}

TEST_F(AppTest, CloseAndRepeatedLoadsReleaseTrees) {
    long before = ft_live_elements();
    ASSERT_EQ(load_example(), 0);
    ASSERT_EQ(h->page_browser->size(), 2); // the root and its one page gate
    long settled = ft_live_elements();
    for (int i = 0; i < 200; i++)
        ASSERT_EQ(load_example(), 0);
    std::string bad = write_file("g.txt", "Name\tInput  0 Type and Name\r\nT\tE NOPE\r\n");
    h->load_files(example("events.txt").c_str(), bad.c_str());
    EXPECT_EQ(ft_live_elements(), settled);
    h->on_close();
    EXPECT_EQ(ft_live_elements(), before);
    EXPECT_EQ(h->page_browser->size(), 0);
    EXPECT_STREQ(h->events_output->value(), "");
    EXPECT_STREQ(h->zoom_input->value(), "");
    EXPECT_FALSE(h->scroll->active() || FTD_wnd_handler::item_reload->active());
    EXPECT_TRUE(FTD_wnd_handler::item_export->active());
    EXPECT_TRUE(log_ends("Fault Tree closed.\n"));
    h->on_zoom_in(); // no tree: nothing changes
    EXPECT_STREQ(h->zoom_input->value(), "");
}

TEST_F(AppTest, OverlongNamesAreNotOpenedAndAbsolutePathsStayWhole) {
    std::string ev = example("events.txt"), ga = example("gates.txt");
    std::string longname = dir + "/" + std::string(5000, 'a');
    EXPECT_EQ(h->load_files(longname.c_str(), ga.c_str()), FTREAD_NO_EVENTS_FILE);
    EXPECT_EQ(h->load_files(ev.c_str(), longname.c_str()), FTREAD_NO_GATES_FILE);
    EXPECT_EQ(alerts.at(1), "File \"" + longname + "\" not found!\nLoading aborted.");
    EXPECT_STREQ(h->events_path, "");
    std::string deep = dir;
    for (char c : {'d', 'e', 'f'}) {
        deep += "/" + std::string(100, c);
        ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    }
    ASSERT_EQ(system(("cp '" + ev + "' '" + ga + "' '" + deep + "'").c_str()), 0);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    std::string rel = deep.substr(dir.size() + 1);
    EXPECT_EQ(h->load_files((rel + "/events.txt").c_str(), (rel + "/gates.txt").c_str()), 0);
    EXPECT_EQ(std::string(h->gates_output->value()), deep + "/gates.txt");
    open_with(fill_ok(std::string(4096, 'x'), ga));
    EXPECT_EQ(alerts.back(),
              "File \"" + std::string(4096, 'x') + "\" not found!\nLoading aborted.");
    EXPECT_EQ(std::string(h->events_path), rel + "/events.txt");
    ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(AppTest, ClosingKeysAndRequests) {
    Fl::e_number = FL_SHORTCUT;
    Fl::e_keysym = FL_Escape;
    h->window->do_callback();
    EXPECT_TRUE(h->window->shown()); // Escape does not close
    // Ctrl+C closes the tree unless a field copies its selection.
    Fl::e_keysym = 'c';
    Fl::e_state = FL_CTRL;
    Fl::e_text = (char *)"\003";
    Fl::e_length = 1;
    ASSERT_EQ(load_example(), 0);
    h->events_output->take_focus();
    h->events_output->position(0, 5);
    Fl::handle(FL_KEYBOARD, h->window);
    EXPECT_NE(h->canvas->tree, nullptr);
    h->page_browser->take_focus();
    Fl::handle(FL_KEYBOARD, h->window);
    EXPECT_EQ(h->canvas->tree, nullptr);
    Fl::e_state = 0;
    Fl::e_number = FL_CLOSE; // the window's close request and File > Exit hide it
    h->window->do_callback();
    EXPECT_FALSE(h->window->shown());
    h->window->show();
    Fl_Menu_Bar *bar = first_of<Fl_Menu_Bar>(h->window);
    bar->picked(bar->find_item("&File/E&xit"));
    EXPECT_FALSE(h->window->shown());
}

static std::vector<std::string> spawned; // command lines run through the shell
static int popped = 0;                   // menus popped up
static int count_windows() {
    int n = 0;
    for (Fl_Window *w = Fl::first_window(); w; w = Fl::next_window(w))
        n++;
    return n;
}
// Inside a popped-up menu's own loop: counts it and closes it with Escape.
static void close_menu(void *) {
    if (Fl::grab()) {
        popped++;
        Fl::e_keysym = FL_Escape;
        Fl::handle(FL_KEYBOARD, Fl::grab());
    }
    Fl::repeat_timeout(0.02, close_menu);
}

// F1 and the Alt letters of the invisible Help menu and items, sent through
// the window's event dispatch, run nothing and open no menu or window.
TEST_F(AppTest, InvisibleItemsTakeNoKeys) {
    spawn_set_system([](const char *line) {
        spawned.push_back(line);
        return 0;
    });
    ASSERT_EQ(load_example(), 0);
    const int windows = count_windows();
    const struct {
        int key, state;
    } keys[] = {{FL_F + 1, 0}, {FL_F + 1, FL_SHIFT}, {'h', FL_ALT}, {'c', FL_ALT},
                {'r', FL_ALT}, {'o', FL_ALT},        {'m', FL_ALT}, {'h', FL_ALT | FL_SHIFT}};
    for (const auto &k : keys) {
        char text[2] = {char(k.key < 128 ? k.key : 0), 0};
        Fl::e_keysym = k.key;
        Fl::e_state = k.state;
        Fl::e_text = text;
        Fl::e_length = text[0] ? 1 : 0;
        Fl::add_timeout(0.02, close_menu);
        Fl::handle(FL_KEYBOARD, h->window);
        Fl::remove_timeout(close_menu);
        EXPECT_EQ(popped, 0) << k.key << " " << k.state;
        EXPECT_EQ(spawned, std::vector<std::string>{}) << k.key << " " << k.state;
        EXPECT_EQ(count_windows(), windows) << k.key << " " << k.state;
        popped = 0, spawned.clear();
    }
    Fl::e_state = 0;
    spawn_set_system(nullptr);
}
