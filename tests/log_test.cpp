// Text-panel and file loggers.
#include "app_fixture.h"

#include "ftslab.h"
#include "log_wnd.h"

#include <FL/Fl_Text_Display.H>

namespace {

const std::string tmp = testing::TempDir() + "ftd-log-" + std::to_string(getpid());
const std::string cleared = "\nLog cleared.\nStarting to log from scratch.\n\n";
// A name below tmp while tmp is a regular file: it opens on no machine.
const std::string in_a_file = tmp + "/x.log";

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
    for (const std::string &name : {in_a_file, std::string(5000, 'n')}) {
        log_file u(name.c_str(), LOG_DEBUG); // unopened: every call is safe
        u.message("%s", "x");
        u.log(LOG_ERROR, "%d", 1);
        u.clear();
        EXPECT_EQ(u.get_file(), nullptr);
        EXPECT_EQ(u.save("y"), 0);
    }
    remove(tmp.c_str());
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
    write_all(tmp, "");
    EXPECT_NE(l.save(in_a_file.c_str()), 0);
    EXPECT_EQ(text_of(l.buffer), text); // a failed save adds no note
    remove(tmp.c_str());
    l.clear();
    EXPECT_EQ(text_of(l.buffer), "\nLog cleared.\nStarting to log from scratch.\n\n");
}

// Save writes the log also when memory is short: a log too big to be copied
// again is written from the panel's own text, wherever the buffer's gap lies
// (an insertion moves it; -1: none, the gap at the end).
TEST(LogTextDisplay, SaveWithMemoryShort) {
    if (ft_sanitizer_build())
        GTEST_SKIP() << "address-space limits do not mix with the address sanitizer";
    const std::string big(32 << 20, 'm'), path = tmp + "-big";
    for (int at : {-1, 0, 1000}) {
        log_text_display l(nullptr);
        l.buffer->text(big.c_str());
        if (at >= 0)
            l.buffer->insert(at, "head");
        auto save_capped = [&] {
            cap_address_space(16 << 20);
            return l.save(path.c_str());
        };
        EXPECT_EXIT(_exit(save_capped()), ::testing::ExitedWithCode(0), "") << at;
        EXPECT_TRUE(read_all(path) == (at < 0 ? big : std::string(big).insert(at, "head"))) << at;
        delete l.buffer;
    }
    remove(path.c_str());
}

// One levelled message through each of the three loggers: which messages
// pass, their prefix, the 2048-byte bound, the window's alert, and what each
// logger does also for a message that does not pass (the file flushes, the
// window scrolls, the panel stays where it is).
struct LevelledLines : SeamTest {};

TEST_F(LevelledLines, EveryLoggerWritesTheSameLine) {
    // clang-format off
    const struct { int logger, msg, alert_level; const char *prefix; bool alerted; } rows[] = {
        {1, 0, 1, "ERROR. ", true}, {1, 1, 1, "WARNING. ", true}, {1, 2, 1, nullptr, false},
        {3, 3, 0, "DEBUG. ", false}, {3, 2, 3, "INFO. ", true}, {0, 1, 3, nullptr, false},
        {3, 4, 3, nullptr, false}, {3, -1, 3, nullptr, false}, {-1, 0, 3, nullptr, false}};
    // clang-format on
    const char *names[] = {"ERROR", "WARNING", "INFO", "DEBUG"};
    Fl_Text_Display *d = new Fl_Text_Display(0, 0, 400, 200);
    log_text_display panel(d);
    log_wnd *lw = new log_wnd(); // never freed, as in the program
    std::string shown_at_alert;
    responder.alert = [&](const std::string &t) {
        alerts.push_back(t);
        shown_at_alert = text_of(lw->buffer);
    };
    for (const auto &r : rows) {
        for (const std::string &text : {std::string("50% off"), std::string(5000, 'w')}) {
            SCOPED_TRACE(std::to_string(r.logger) + " " + std::to_string(r.msg) + " " +
                         std::to_string(text.size()));
            const std::string cut = text.substr(0, LOG_BUFFER_SIZE - 1);
            const std::string line = r.prefix ? r.prefix + cut + "\n" : "";
            log_file f(tmp.c_str(), r.logger);
            fputs("unflushed ", f.get_file());
            f.log(r.msg, "%s", text.c_str());
            EXPECT_EQ(read_all(tmp), "unflushed " + line);
            fclose(f.get_file());

            panel.clear();
            panel.set_level(r.logger);
            d->insert_position(0);
            panel.log(r.msg, "%s", text.c_str());
            EXPECT_EQ(text_of(panel.buffer), cleared + line);
            EXPECT_EQ(d->insert_position(), r.prefix ? panel.buffer->length() : 0);

            lw->clear();
            lw->set_level(r.logger);
            lw->set_alert_level(r.alert_level);
            lw->display->insert_position(0);
            alerts.clear();
            lw->log(r.msg, "%s", text.c_str());
            EXPECT_EQ(text_of(lw->buffer), cleared + line);
            EXPECT_EQ(lw->display->insert_position(), lw->buffer->length());
            if (r.alerted) {
                EXPECT_EQ(alerts, (std::vector<std::string>{names[r.msg] + ("!\n\n" + cut)}));
                EXPECT_EQ(shown_at_alert, cleared + line) << "the line comes before its alert";
            } else {
                EXPECT_TRUE(alerts.empty());
            }
        }
    }
    remove(tmp.c_str());
}

} // namespace
