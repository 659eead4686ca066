// The About window under an X server (xvfb-run).
#include "app_fixture.h"

#include "FTD_about_dlg.h"

TEST(About, TwoCommandsGiveTwoFilledWindows) {
    ASSERT_EQ(show_about(), 0);
    ASSERT_EQ(show_about(), 0);
    std::vector<FTD_about_dlg *> shown;
    for (Fl_Window *w = Fl::first_window(); w; w = Fl::next_window(w))
        if (w->label() && std::string(w->label()) == "About Box")
            shown.push_back(static_cast<FTD_about_dlg *>(w->user_data()));
    ASSERT_EQ(shown.size(), 2u);
    for (FTD_about_dlg *dlg : shown) { // the version lines, top to bottom
        EXPECT_STREQ(dlg->gcc_output->value(), "gcc v. 4.4.1");
        EXPECT_STREQ(dlg->fltk_output->value(), "FLTK version: 1.010900");
        EXPECT_STREQ(dlg->expat_output->value(), "Expat version: 1.95.8");
        EXPECT_LT(dlg->gcc_output->y(), dlg->fltk_output->y());
        EXPECT_LT(dlg->fltk_output->y(), dlg->expat_output->y());
        EXPECT_STREQ(dlg->version_box->label(), "1.2.4");
        EXPECT_EQ(std::string(dlg->version_text_box->label()).substr(0, 41),
                  "This is version 1.2.4 of ORVIK/Morvu-SA.\n");
    }
    ASSERT_NE(shown[0], shown[1]);
    labelled(shown[0]->window, "OK")->do_callback();
    EXPECT_FALSE(shown[0]->window->shown());
    EXPECT_TRUE(shown[1]->window->shown());
}
