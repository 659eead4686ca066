// SVG export: escaping, line splitting and fitted texts, golden documents,
// well-formedness and write failures.
#include "app_fixture.h"

#include <sys/stat.h>

#include "svg_writer.h"

static const std::string out_dir = std::string(FTD_BINARY_DIR) + "/svg_actual/";

TEST(SvgText, XmlEscapeGivesWellFormedUtf8) {
    const char *cases[][2] = {
        {"a&b<c>d'e\"f", "a&amp;b&lt;c&gt;d&apos;e&quot;f"},
        {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},     // valid UTF-8 kept
        {"caf\xE9 \x80\x99", "caf\xC3\xA9 \xE2\x82\xAC\xE2\x84\xA2"}, // Windows-1252 bytes
        {"a\001b\tc\177\rd\n\x81", "ab\tcd"},                         // controls but TAB
        {"\xC3", "\xC3\x83"},
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"}, // cut, overlong
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        {"\xEF\xBF\xBEx", "x"}};
    for (const auto &c : cases) {
        char *got = xml_escape(c[0]);
        EXPECT_STREQ(c[1], got) << c[0];
        free(got);
    }
}

TEST(SvgText, FittedTextAndLineFormat) {
    const std::string t = "\t<text style=\"font-size:1.20pt\">\n", e = "\t</text>\n";
    const std::string at42 = "<tspan x=\"30.00\" y=\"42.68\">";
    const std::string e8 = "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
    const std::string digits = "0123456789012345678901234567890123456789";
    struct {
        const char *text;
        float by, bh;
        std::string expected;
    } cases[] = {{"", 10, 6, ""},
                 {"abcd efghi jk lmnop qr stuvwx", 10, 6,
                  t +
                      "<tspan x=\"30.00\" y=\"11.76\">abcd efghi jk</tspan>\n"
                      "<tspan x=\"30.00\" y=\"13.55\">lmnop qr</tspan>\n"
                      "<tspan x=\"30.00\" y=\"15.33\">stuvwx</tspan>\n" +
                      e},
                 {digits.c_str(), 40.5, 2.5,
                  "\t<text style=\"font-size:0.45pt\">\n" + at42 + digits + "</tspan>\n" + e},
                 {"A", 40.5, 2.5, t + at42 + "A</tspan>\n" + e},
                 // eight Latin-1 bytes are measured as eight, not sixteen
                 {"\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9", 40.5, 2.5, t + at42 + e8 + "</tspan>\n" + e},
                 {"\n", 10, 6, t + e}};
    FTD_canvas canvas(0, 0, 100, 100);
    for (const auto &c : cases) {
        char *buf = nullptr;
        size_t size = 0;
        FILE *out = open_memstream(&buf, &size);
        svg_indent_level = 1;
        canvas.svg_fitted_text(out, c.text, 22.5f, c.by, 15, c.bh);
        EXPECT_EQ(1, svg_indent_level);
        // Numbers as printf gives them, in a format of the document's own
        // conversions (written without printf) and in one with another; no
        // TABs below level 1.
        svg_indent_level = -1;
        svg_printf(out, 1, "%d %.2f %.2f %s%%\n", -7, 0.125, 13.545000271, "s");
        svg_printf(out, 1, "%.3f|%5.1f\n", 1.5, 2.25);
        svg_indent_level = 0;
        fclose(out);
        EXPECT_EQ(c.expected + "-7 0.12 13.55 s%\n1.500|  2.2\n", std::string(buf, size)) << c.text;
        free(buf);
    }
}

static ft_element *and_two() {
    return node("G0", FT_AND,
                {node("E1", FT_BASIC, {}, -1, "Pump fails", "1.0e-3"),
                 node("E2", FT_BASIC, {}, -1, "Valve")},
                -1, "Top event");
}

// Exports root (NULL: no tree) from a canvas of w x h pixels; write_svg's result.
static int export_to(const std::string &path, ft_element *root, float zoom, int prob, int w = 300,
                     int h = 200) {
    FTD_canvas canvas(0, 0, w, h);
    canvas.set_tree(root);
    canvas.zoom = zoom;
    canvas.show_prob = prob;
    FILE *out = fopen(path.c_str(), "w");
    int rc = canvas.write_svg(out);
    fclose(out);
    EXPECT_EQ(0, svg_indent_level);
    return rc;
}

TEST(SvgExport, GoldenDocumentsAndWellFormedness) {
    mkdir(out_dir.c_str(), 0777);
    // Every kind of node: a shared event, a page gate, an empty gate and a
    // name full of XML special characters.
    ft_element *e1 = node("E1", FT_BASIC, {}, -1, "Pump fails", "1.0e-3");
    ft_element *e2 = node("E2", FT_BASIC, {}, -1, "Valve stuck closed on demand", "5e-4", "0.1");
    ft_element *page =
        node("P1", FT_AND, {node("E3", FT_BASIC, {}, -1, "Hidden")}, FT_PAGE_ON, "Subsystem page");
    ft_element *tree =
        node("TOP", FT_OR,
             {node("G1", FT_PAND, {e1, e2}, -1, "Order matters"),
              node("G2", FT_NULL, {e1}, -1, "Pass through"), page, node("G3", FT_AND),
              node("A&B<\"C\">'D'", FT_BASIC, {}, -1, "Quote & escape")},
             -1, "System fails", "2.5e-2", "0.4");
    ft_element *small = and_two();
    ft_element *invalid = node("", FT_INVALID, {node("E9", FT_BASIC, {}, -1, "Alone")});
    std::string name = "a&<>'\" \xE9\xFF\x81 \x01\x1B\r end", long_name(300, 'n');
    ft_element *hostile =
        node(name.c_str(), FT_OR, {node(long_name.c_str(), FT_BASIC, {}, -1, "d", "0.5")}, -1,
             ("\x7F\x80\xC3" + name).c_str());
    struct {
        const char *name;
        ft_element *root;
        float zoom;
        int prob;
    } cases[] = {{"and_zoom15", small, 1.5f, 1},   {"all_kinds", tree, 2, 1},
                 {"all_kinds_noprob", tree, 2, 0}, {"page_root", page, 2, 1},
                 {"no_tree", nullptr, 2, 1},       {"invalid_root", invalid, 2, 1},
                 {"hostile", hostile, 1, 1}};
    for (const auto &c : cases) {
        std::string actual = out_dir + c.name + ".svg";
        std::string expected = std::string(FTD_TEST_DATA) + "/svg/" + c.name + ".svg";
        ASSERT_EQ(0, export_to(actual, c.root, c.zoom, c.prob)) << c.name;
        EXPECT_EQ(0, system(("xmllint --noout " + actual).c_str())) << c.name;
        if (c.root == hostile) // nothing cut from a long name
            EXPECT_NE(std::string::npos, read_all(actual).find(">" + long_name + "</tspan>"));
        else
            EXPECT_EQ(read_all(expected), read_all(actual))
                << c.name << ": expected " << expected << " (must exist), written " << actual;
    }
    EXPECT_EQ(-1, export_to("/dev/full", small, 1, 1)); // a failed write is reported
    for (ft_element *root : {tree, small, invalid, hostile})
        ft_free_tree(root, nullptr);
}

// The scale is written with the decimals that put the drawing's far edge
// within a pixel of where the zoom puts it (three at least, so the golden
// documents keep theirs). With its margins, a tree of n events side by side
// is 20 n + 20 units wide, a chain of n gates about 20 n tall.
TEST(SvgExport, ScaleKeepsTheDrawingWithinAPixel) {
    struct {
        int events, chain;
        float zoom;
        const char *scale;
    } cases[] = {{13783, 0, 0.00255f, "0.00255"}, // a fitted 703-pixel document
                 {15020, 0, 0.00234f, "0.00234"},
                 {1000, 0, 0.0123456f, "0.0123"},
                 {1, 1000, 0.0123456f, "0.0123"}, // the height counts too
                 {100, 0, 0.123456f, "0.123"},    // off by 0.92 pixels
                 {1, 0, 0.0123456f, "0.012"},
                 {2, 0, 1.5f, "1.500"},
                 {5, 0, 2, "2.000"},
                 {5, 0, 1, "1.000"}};
    mkdir(out_dir.c_str(), 0777);
    const std::string path = out_dir + "scale.svg";
    for (const auto &c : cases) {
        ft_element *event = node("E", FT_BASIC);
        ft_element *root = node("G", FT_AND);
        for (int i = 0; i < c.events; i++)
            ft_add_child(root, event);
        for (int i = 0; i < c.chain; i++)
            root = node("G", FT_AND, {root});
        ASSERT_EQ(0, export_to(path, root, c.zoom, 0));
        const std::string doc = read_all(path);
        const size_t at = doc.find("scale(") + 6;
        EXPECT_EQ(doc.substr(at, doc.find(')', at) - at), c.scale) << c.events << " " << c.zoom;
        ft_free_tree(root, nullptr);
    }
}

// A node whose type is no kind ends the program with the internal-error
// report naming where it was met: on screen or in SVG, as the root or below.
TEST(CanvasDeathTest, NodeOfNoKindEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    static dlg_responder r;
    r.alert = [](const std::string &text) { fputs(text.c_str(), stderr); };
    dlg_set_responder(&r);
    struct {
        bool root, svg;
        const char *report;
    } cases[] = {{true, false, "Line:\t\t515\n"},
                 {false, false, "Line:\t\t319\n"},
                 {true, true, "Line:\t\t588\n"},
                 {false, true, "Line:\t\t400\n"}};
    for (const auto &c : cases) {
        ft_element *bad = node("X", ft_type(FT_TYPE_COUNT));
        ft_element *root = c.root ? bad : node("G", FT_AND, {bad});
        FTD_canvas canvas(0, 0, 300, 200);
        canvas.set_tree(root);
        EXPECT_EXIT(c.svg ? (void)canvas.write_svg(stdout) : (void)canvas.draw_root(root, {10, 10}),
                    ::testing::ExitedWithCode(1), c.report);
        canvas.set_tree(nullptr);
        ft_free_tree(root, nullptr);
    }
    dlg_set_responder(nullptr);
}
