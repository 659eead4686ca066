// SVG export of whole trees: golden documents, well-formedness, rendering,
// write failures and internal errors.
#include <FL/Fl_PNG_Image.H>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <fstream>
#include <sstream>
#include <string>

#include "FTD_canvas.h"
#include "dialogs.h"
#include "svg_writer.h"

static ft_element *node(ft_type t, const char *name, const char *desc, const char *prob = NULL,
                        const char *crit = NULL) {
    ft_element *e = ft_init();
    ft_set_name(e, name);
    ft_set_desc(e, desc);
    ft_set_type(e, t);
    ft_set_page(e, t == FT_BASIC ? FT_PAGE_NONE : FT_PAGE_OFF);
    if (prob)
        ft_set_prob(e, prob);
    if (crit)
        ft_set_criticality(e, crit);
    ft_set_children(e, ft_list_init());
    return e;
}

static ft_element *gate(ft_type t, const char *name, const char *desc,
                        std::initializer_list<ft_element *> inputs) {
    ft_element *g = node(t, name, desc);
    for (ft_element *c : inputs)
        ft_add_child(g, c);
    return g;
}

// A tree with every kind of node: a shared event, a page gate, an empty gate
// and a name full of XML special characters.
static ft_element *all_kinds() {
    ft_element *e1 = node(FT_BASIC, "E1", "Pump fails", "1.0e-3");
    ft_element *e2 = node(FT_BASIC, "E2", "Valve stuck closed on demand", "5e-4", "0.1");
    ft_element *page = gate(FT_AND, "P1", "Subsystem page", {node(FT_BASIC, "E3", "Hidden")});
    ft_set_page(page, FT_PAGE_ON);
    ft_element *top = gate(FT_OR, "TOP", "System fails",
                           {gate(FT_PAND, "G1", "Order matters", {e1, e2}),
                            gate(FT_NULL, "G2", "Pass through", {e1}), page,
                            gate(FT_AND, "G3", "", {}),
                            node(FT_BASIC, "A&B<\"C\">'D'", "Quote & escape")});
    ft_set_prob(top, "2.5e-2");
    ft_set_criticality(top, "0.4");
    return top;
}

static ft_element *and_two() {
    return gate(FT_AND, "G0", "Top event",
                {node(FT_BASIC, "E1", "Pump fails", "1.0e-3"), node(FT_BASIC, "E2", "Valve")});
}

// Exports root (NULL: no tree) from a canvas of w x h pixels at zoom into path.
static int export_to(const std::string &path, ft_element *root, float zoom, int prob, int w = 300,
                     int h = 200) {
    FTD_canvas canvas(0, 0, w, h);
    canvas.set_tree(root);
    canvas.zoom = zoom;
    canvas.show_prob = prob;
    FILE *out = fopen(path.c_str(), "w");
    int rc = canvas.write_svg(out);
    fclose(out);
    return rc;
}

static std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(SvgExport, GoldenDocuments) {
    ft_element *tree = all_kinds();
    ft_element *page = ft_list_get(ft_get_children(tree), 2);
    ft_element *invalid = gate(FT_INVALID, "", "", {node(FT_BASIC, "E9", "Alone")});
    ft_element *small = and_two();
    struct {
        const char *name;
        ft_element *root;
        float zoom;
        int prob;
    } cases[] = {{"and_zoom15", small, 1.5f, 1},  {"all_kinds", tree, 2, 1},
                 {"all_kinds_noprob", tree, 2, 0}, {"page_root", page, 2, 1},
                 {"no_tree", NULL, 2, 1},           {"invalid_root", invalid, 2, 1}};
    std::string actual_dir = std::string(FTD_BINARY_DIR) + "/svg_actual";
    mkdir(actual_dir.c_str(), 0777);
    for (const auto &c : cases) {
        std::string actual = actual_dir + "/" + c.name + ".svg";
        std::string expected = std::string(FTD_TEST_DATA) + "/svg/" + c.name + ".svg";
        ASSERT_EQ(0, export_to(actual, c.root, c.zoom, c.prob)) << c.name;
        EXPECT_EQ(0, svg_indent_level);
        std::ifstream probe(expected);
        EXPECT_TRUE(probe.good()) << "missing expected document " << expected;
        EXPECT_EQ(slurp(expected), slurp(actual)) << c.name << ": expected " << expected
                                                  << ", written " << actual;
        EXPECT_EQ(0, system(("xmllint --noout " + actual).c_str())) << c.name;
    }
    ft_free_tree(tree, NULL);
    ft_free_tree(invalid, NULL);
    ft_free_tree(small, NULL);
}

TEST(SvgExport, HostileTextsStayWellFormed) {
    std::string name = "a&<>'\" \xE9\xFF\x81 \x01\x02\x1B\r end";
    std::string long_name(300, 'n'); // longer than any fixed label buffer
    ft_element *root = gate(FT_OR, name.c_str(), ("desc \x7F\x80\xC3" + name).c_str(),
                            {node(FT_BASIC, long_name.c_str(), "d", "0.5"), node(FT_BASIC, "x", "")});
    std::string path = std::string(FTD_BINARY_DIR) + "/svg_actual/hostile.svg";
    mkdir((std::string(FTD_BINARY_DIR) + "/svg_actual").c_str(), 0777);
    ASSERT_EQ(0, export_to(path, root, 1, 1));
    EXPECT_EQ(0, system(("xmllint --noout " + path).c_str()));
    std::string doc = slurp(path);
    EXPECT_NE(std::string::npos, doc.find(">" + long_name + "</tspan>")); // nothing cut
    EXPECT_NE(std::string::npos, doc.find(">0.5</tspan>"));
    EXPECT_NE(std::string::npos, doc.find(">x</tspan>")); // one-letter name written
    ft_free_tree(root, NULL);
}

TEST(SvgExport, RenderedPicture) {
    ft_element *root = and_two();
    std::string dir = std::string(FTD_BINARY_DIR) + "/svg_actual";
    mkdir(dir.c_str(), 0777);
    ASSERT_EQ(0, export_to(dir + "/render.svg", root, 10, 1, 500, 400));
    ASSERT_EQ(0, system(("rsvg-convert -o " + dir + "/render.png " + dir + "/render.svg").c_str()));
    Fl_PNG_Image png((dir + "/render.png").c_str());
    ASSERT_EQ(500, png.w());
    ASSERT_EQ(4, png.d());
    const unsigned char *px = reinterpret_cast<const unsigned char *>(png.data()[0]);
    auto at = [&](int x, int y) { return px + 4 * (y * png.w() + x); };
    EXPECT_EQ(0, at(3, 3)[3]);                    // outside every shape: transparent
    EXPECT_EQ(255, at(235, 110)[0]);              // inside the root's description box
    EXPECT_EQ(255, at(235, 110)[3]);
    int darkest = 255;                            // the connector's line at y = 27
    for (int y = 265; y <= 275; y++)
        darkest = std::min<int>(darkest, at(250, y)[3] ? at(250, y)[0] : 255);
    EXPECT_LT(darkest, 128);
    ft_free_tree(root, NULL);
}

TEST(SvgExport, WriteFailureIsReported) {
    ft_element *root = and_two();
    FTD_canvas canvas(0, 0, 300, 200);
    canvas.set_tree(root);
    FILE *full = fopen("/dev/full", "w");
    ASSERT_NE(nullptr, full);
    EXPECT_EQ(-1, canvas.write_svg(full));
    EXPECT_EQ(0, svg_indent_level);
    fclose(full);
    ft_free_tree(root, NULL);
}

TEST(SvgExportDeathTest, TypeOutOfRange) {
    static dlg_responder to_stderr;
    to_stderr.alert = [](const std::string &text) { fputs(text.c_str(), stderr); };
    for (int below = 0; below < 2; below++) {
        ft_element *bad = node(FT_BASIC, "B", "");
        bad->type = static_cast<ft_type>(6);
        ft_element *root = below ? gate(FT_AND, "G", "", {bad}) : bad;
        FTD_canvas canvas(0, 0, 300, 200);
        canvas.tree = root;
        FILE *sink = fopen("/dev/null", "w");
        EXPECT_EXIT((dlg_set_responder(&to_stderr), canvas.write_svg(sink)),
                    testing::ExitedWithCode(1), below ? "Line:\t\t400" : "Line:\t\t588");
        fclose(sink);
    }
}
