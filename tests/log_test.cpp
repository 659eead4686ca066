// Text-panel and file loggers.
#include "app_fixture.h"

#include <FL/Fl_Text_Display.H>

namespace {

const std::string tmp = testing::TempDir() + "ftd-log-" + std::to_string(getpid());

TEST(LogFile, LevelFilteringPrefixesAndBounds) {
    // clang-format off
    const struct { int logger, level; const char *expected; } rows[] = {
        {1, 0, "ERROR. 100% done\n"}, {1, 1, "WARNING. 100% done\n"}, {1, 2, ""},
        {3, 3, "DEBUG. 100% done\n"}, {3, 2, "INFO. 100% done\n"}, {3, 4, ""}, {3, -1, ""},
        {-1, 0, ""}};
    // clang-format on
    for (const auto &r : rows) {
        std::ofstream(tmp) << "old";
        log_file f(tmp.c_str(), r.logger);
        f.log(r.level, "%s", "100% done");
        EXPECT_EQ(read_all(tmp), r.expected) << r.logger << " " << r.level;
        fclose(f.get_file());
    }
    log_file f(tmp.c_str());
    std::string big(5000, 'z');
    f.message("%s", big.c_str()); // unlevelled: written whole
    EXPECT_EQ(read_all(tmp), big);
    f.clear();
    f.log(LOG_ERROR, "%s", big.c_str()); // levelled: cut at the buffer
    EXPECT_EQ(read_all(tmp), "ERROR. " + big.substr(0, LOG_BUFFER_SIZE - 1) + "\n");
    EXPECT_EQ(f.save("/nonexistent/other.log"), 0);
    fclose(f.get_file());
    remove(tmp.c_str());
    for (const std::string &name : {std::string("/nonexistent/x.log"), std::string(5000, 'n')}) {
        log_file u(name.c_str(), LOG_DEBUG); // unopened: every call is safe
        u.message("%s", "x");
        u.log(LOG_ERROR, "%d", 1);
        u.clear();
        EXPECT_EQ(u.get_file(), nullptr);
        EXPECT_EQ(u.save("y"), 0);
    }
}

TEST(LogTextDisplay, PanelTextFilteringAndSave) {
    Fl_Text_Display *d = new Fl_Text_Display(0, 0, 400, 200);
    log_text_display l(d);
    l.log(LOG_ERROR, "unset level"); // nothing passes before set_level
    l.message("%s", "Fault Tree loaded.\n");
    l.set_level(LOG_WARNING);
    l.log(LOG_ERROR, "%s", "File could not be written.");
    l.log(LOG_WARNING, "%s", "50% off");
    l.log(LOG_INFO, "hidden");
    std::string big(5000, 'q');
    l.message("%s", big.c_str());
    std::string text = "\nStarting to log...\n\nFault Tree loaded.\n"
                       "ERROR. File could not be written.\nWARNING. 50% off\n" +
                       big.substr(0, LOG_BUFFER_SIZE - 1);
    EXPECT_EQ(text_of(l.buffer), text);
    EXPECT_EQ(d->insert_position(), l.buffer->length());
    EXPECT_NE(l.save("/nonexistent-dir/log.txt"), 0);
    EXPECT_EQ(text_of(l.buffer), text); // a failed save adds no note
    l.clear();
    EXPECT_EQ(text_of(l.buffer), "\nLog cleared.\nStarting to log from scratch.\n\n");
}

} // namespace
