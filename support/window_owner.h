// The one way a static widget callback finds the object it belongs to.
//
// Every window of the program carries its owner (the handler or dialog
// object that built it) as its user data, as the toolkit's interface builder
// does. A widget reaches it through its window, so a widget may sit in any
// number of groups; a window's own callback reaches it directly.
#ifndef FTD_WINDOW_OWNER_H
#define FTD_WINDOW_OWNER_H

#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>

// The owner of w's window (of w itself when w is a window), as a T. The
// window's user data must be a T. Cannot fail.
template <class T> T *window_owner(Fl_Widget *w) {
    Fl_Widget *window = w->as_window() ? w : w->window();
    return static_cast<T *>(window->user_data());
}

#endif
