// Every callback finds its owner through its window, however deep its widget
// sits: a widget of each window is moved into a group of its own first.
#include "app_fixture.h"

#include "FTD_about_dlg.h"
#include "FTD_node_dlg.h"
#include "log_wnd.h"
#include "preferences.h"
#include "preferences_dlg.h"

// Moves w into a new group in its place, one level deeper than it was.
template <class W> static W *wrap_in_group(W *w) {
    Fl_Group *g = new Fl_Group(w->x(), w->y(), w->w(), w->h());
    g->end();
    w->parent()->insert(*g, w);
    g->add(w);
    return w;
}

TEST_F(AppTest, CallbacksFindOwnersThroughTheirWindows) {
    setenv("HOME", dir.c_str(), 1); // the preferences dialog reads the store
    ASSERT_EQ(load_example(), 0);
    Fl_Menu_Bar *bar = wrap_in_group(first_of<Fl_Menu_Bar>(h->window));
    bar->picked(bar->find_item("&View/Full Size"));
    EXPECT_STREQ(h->zoom_input->value(), "100%");
    Fl::event_clicks(1); // a double click on the canvas, now four groups deep, zooms in
    wrap_in_group(h->canvas)->do_callback();
    Fl::event_clicks(0);
    EXPECT_STREQ(h->zoom_input->value(), "120%");

    open_with([](FTD_import_dlg *d) {
        wrap_in_group(d->ok_button);
        fill_ok(example("events.txt"), example("gates.txt"))(d);
        EXPECT_FALSE(d->window->shown());
    });
    EXPECT_TRUE(log_ends("Fault Tree loaded.\n"));

    FTD_node_dlg node;
    node.make_window();
    wrap_in_group(labelled(node.window, "OK"))->do_callback(); // empty fields: refused
    EXPECT_EQ(alerts.back(), "All fields should be filled");

    // Windows that stay until the process ends, as in the program.
    static FTD_about_dlg *about = new FTD_about_dlg();
    about->make_window()->show();
    wrap_in_group(labelled(about->window, "OK"))->do_callback();
    EXPECT_FALSE(about->window->shown());
    static log_wnd *log_window = new log_wnd();
    log_window->window->show();
    Fl_Menu_Bar *log_bar = wrap_in_group(first_of<Fl_Menu_Bar>(log_window->window));
    log_bar->picked(log_bar->find_item("&Window/&Hide"));
    EXPECT_FALSE(log_window->window->shown());
    static preferences_dlg *prefs = new preferences_dlg(new preferences());
    prefs->make_window()->show();
    wrap_in_group(labelled(prefs->window, "Cancel"))->do_callback();
    EXPECT_FALSE(prefs->window->shown());
}
