// Text-panel and file loggers.
// GoogleTest goes first: the X11 headers define None and Bool.
#include <gtest/gtest.h>

#include "log.h"

#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Window.H>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string temp_dir() {
    char tmpl[] = "/tmp/ftd-log-XXXXXX";
    return mkdtemp(tmpl) ? tmpl : "";
}

std::string panel_text(log_text_display &l) {
    char *t = l.buffer->text();
    std::string s = t;
    free(t);
    return s;
}

TEST(LogFile, LevelFilteringPrefixesAndBounds) {
    std::string path = temp_dir() + "/x.log";
    struct Row {
        int logger, level;
        const char *expected;
    } rows[] = {
        {1, LOG_ERROR, "ERROR. 100% done\n"},  {1, LOG_WARNING, "WARNING. 100% done\n"},
        {1, LOG_INFO, ""},                      {3, LOG_DEBUG, "DEBUG. 100% done\n"},
        {3, LOG_INFO, "INFO. 100% done\n"},     {3, 4, ""},
        {3, -1, ""},                            {-1, LOG_ERROR, ""},
    };
    for (const Row &r : rows) {
        std::ofstream(path) << "old";
        log_file f(path.c_str(), r.logger);
        EXPECT_EQ(slurp(path), ""); // emptied when made
        f.log(r.level, "%s", "100% done");
        EXPECT_EQ(slurp(path), r.expected) << r.logger << " " << r.level;
        fclose(f.get_file());
    }
    log_file f(path.c_str());
    EXPECT_EQ(f.level, LOG_WARNING);
    std::string big(5000, 'z');
    f.message("%s", big.c_str()); // unlevelled: written whole
    EXPECT_EQ(slurp(path), big);
    f.clear();
    f.log(LOG_ERROR, "%s", big.c_str()); // levelled: cut at the buffer
    EXPECT_EQ(slurp(path), "ERROR. " + big.substr(0, LOG_BUFFER_SIZE - 1) + "\n");
    EXPECT_EQ(f.save("/nonexistent/other.log"), 0);
    fclose(f.get_file());
    std::system(("rm -rf " + path.substr(0, path.rfind('/'))).c_str());
}

TEST(LogFile, UnopenedFileIsSafe) {
    std::string too_long(5000, 'n');
    for (const char *name : {"/nonexistent-dir/x.log", too_long.c_str(), (const char *)nullptr}) {
        log_file f(name, LOG_DEBUG);
        EXPECT_EQ(f.get_file(), nullptr);
        f.message("%s", "x");
        f.log(LOG_ERROR, "%d", 1);
        f.clear();
        EXPECT_EQ(f.get_file(), nullptr);
        EXPECT_EQ(f.save("y"), 0);
    }
}

TEST(LogTextDisplay, PanelTextFilteringAndSave) {
    Fl_Window w(400, 200);
    Fl_Text_Display *d = new Fl_Text_Display(0, 0, 400, 200);
    w.end();
    log_text_display l(d);
    EXPECT_EQ(d->buffer(), l.buffer);
    std::string text = "\nStarting to log...\n\n";
    EXPECT_EQ(panel_text(l), text);
    l.log(LOG_ERROR, "unset level"); // nothing passes before set_level
    l.message("%s", "Fault Tree loaded.\n");
    text += "Fault Tree loaded.\n";
    l.set_level(LOG_WARNING);
    l.log(LOG_ERROR, "%s", "File could not be written.");
    l.log(LOG_WARNING, "%s", "50% off");
    l.log(LOG_INFO, "hidden");
    text += "ERROR. File could not be written.\nWARNING. 50% off\n";
    EXPECT_EQ(panel_text(l), text);
    EXPECT_EQ(d->insert_position(), l.buffer->length());
    std::string big(5000, 'q');
    l.message("%s", big.c_str());
    text += big.substr(0, LOG_BUFFER_SIZE - 1);
    EXPECT_EQ(panel_text(l), text);

    EXPECT_NE(l.save("/nonexistent-dir/log.txt"), 0);
    EXPECT_EQ(panel_text(l), text);
    std::string dir = temp_dir();
    std::string path = dir + "/log.txt";
    EXPECT_EQ(l.save(path.c_str()), 0);
    EXPECT_EQ(slurp(path), text);
    EXPECT_EQ(panel_text(l), text + "\n\nSaved log to file: " + path + ".\n\n");
    l.clear();
    EXPECT_EQ(panel_text(l), "\nLog cleared.\nStarting to log from scratch.\n\n");
    std::system(("rm -rf " + dir).c_str());
}

} // namespace
