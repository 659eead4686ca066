// The About window under an X server (xvfb-run).
// gtest before the toolkit: the X11 headers define None.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Window.H>

#include <algorithm>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "FTD_about_dlg.h"
#include "spawn.h"

namespace {

// The About windows currently shown.
std::vector<Fl_Window *> about_windows() {
    std::vector<Fl_Window *> found;
    for (Fl_Window *w = Fl::first_window(); w; w = Fl::next_window(w))
        if (w->label() && strcmp(w->label(), "About Box") == 0)
            found.push_back(w);
    return found;
}

TEST(About, ShowsVersionLinesTopToBottom) {
    ASSERT_EQ(show_about(), 0);
    std::vector<Fl_Window *> shown = about_windows();
    ASSERT_EQ(shown.size(), 1u);
    FTD_about_dlg *dlg = static_cast<FTD_about_dlg *>(shown[0]->user_data());
    ASSERT_EQ(dlg->window, shown[0]);
    struct {
        Fl_Output *field;
        const char *text;
        int y;
    } lines[] = {{dlg->gcc_output, "gcc v. 4.4.1", 402},
                 {dlg->fltk_output, "FLTK version: 1.010900", 426},
                 {dlg->expat_output, "Expat version: 1.95.8", 450}};
    for (auto &line : lines) {
        EXPECT_STREQ(line.field->value(), line.text);
        EXPECT_EQ(line.field->y(), line.y);
    }
    EXPECT_STREQ(dlg->version_box->label(), "1.2.4");
    EXPECT_EQ(strncmp(dlg->version_text_box->label(),
                      "This is version 1.2.4 of ORVIK/Morvu-SA.\n", 41),
              0);
    dlg->cb_OK(dlg->window->child(9), NULL); // the OK button hides it
    EXPECT_FALSE(dlg->window->shown());
}

TEST(About, TwoCommandsGiveTwoWindows) {
    show_about();
    show_about();
    std::vector<Fl_Window *> shown = about_windows();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(shown[0]->user_data(), shown[1]->user_data());
    shown[0]->hide();
    EXPECT_TRUE(shown[1]->shown());
    FTD_about_dlg *other = static_cast<FTD_about_dlg *>(shown[1]->user_data());
    EXPECT_STREQ(other->version_box->label(), "1.2.4");
}


std::vector<std::string> ran;
int record_line(const char *line) {
    ran.push_back(line);
    return 0;
}

TEST(Help, PagesStartTheBrowserOnTheirUrls) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    std::string parent(cwd);
    parent.erase(parent.rfind('/')); // pages lie in ../doc of the working directory
    spawn_set_system(record_line);
    struct {
        int (*command)();
        std::string url;
    } cases[] = {{show_help_contents, "file://" + parent + "/doc/user_guide/help_contents.html"},
                 {show_release_notes, "file://" + parent + "/doc/release_notes.html"},
                 {show_web_page, "http://www.example.org/orvik/"}};
    for (auto &c : cases) {
        ran.clear();
        EXPECT_EQ(c.command(), 0);
        ASSERT_EQ(ran.size(), 1u);
        std::string line = ran[0];
        line.erase(std::remove(line.begin(), line.end(), '"'), line.end());
        EXPECT_NE(line.find(" " + c.url + " &"), std::string::npos) << line;
    }
    spawn_set_system(NULL);
}

} // namespace
