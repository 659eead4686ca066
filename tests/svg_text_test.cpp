// Text layout of the SVG export: escaping, line splitting, fitted texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "FTD_canvas.h"
#include "svg_writer.h"

static std::vector<std::string> split(const char *text, int i) {
    strlist *lines = strlist_new();
    EXPECT_EQ(i, split_lines(text, i, lines));
    std::vector<std::string> out;
    dlist_iter *it = strlist_iter(lines);
    void *item;
    while (strlist_next(it, &item, NULL) == 0)
        out.push_back(static_cast<const char *>(item));
    strlist_iter_free(it);
    strlist_free(lines);
    return out;
}

TEST(SvgText, SplitLines) {
    const char *six = "abcd efghi jk lmnop qr stuvwx";
    std::string run(2000, 'x');
    struct {
        const char *text;
        int i;
        std::vector<std::string> lines;
    } cases[] = {
        {"aaaaaaaa  bb", 1, {"aaaaaaaa", " bb"}},
        {six, 0, {six}},
        {six, 1, {"abcd efghi jk lmnop", "qr stuvwx"}},
        {six, 2, {"abcd efghi jk", "lmnop qr", "stuvwx"}},
        {"\n", 0, {}},
        {"ab\ncd", 0, {"ab", "cd"}},
        {run.c_str(), 0, {run}}, // no line length limit
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.lines, split(c.text, c.i)) << c.text << " / " << c.i;
}

TEST(SvgText, XmlEscapeGivesWellFormedUtf8) {
    struct {
        const char *in, *out;
    } cases[] = {
        {"a&b<c>d'e\"f", "a&amp;b&lt;c&gt;d&apos;e&quot;f"},
        {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"}, // valid UTF-8 kept
        {"caf\xE9", "caf\xC3\xA9"},                             // Latin-1 byte
        {"\x80\x99", "\xE2\x82\xAC\xE2\x84\xA2"},               // Windows-1252
        {"a\x01" "b\tc\x7F\rd\n", "ab\tcd"},                    // controls but TAB
        {"\x81\x8D", ""},                                       // undefined bytes
        {"\xC3", "\xC3\x83"},                                   // cut sequence
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                       // overlong form
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},       // surrogate
        {"\xEF\xBF\xBEx", "x"},                                 // non-character
        {"", ""},
    };
    for (const auto &c : cases) {
        char *got = xml_escape(c.in);
        EXPECT_STREQ(c.out, got) << c.in;
        free(got);
    }
}

// What svg_fitted_text writes for text in the box, at indentation level 1.
static std::string fitted(const char *text, float bx, float by, float bh) {
    char *buf = NULL;
    size_t size = 0;
    FILE *out = open_memstream(&buf, &size);
    FTD_canvas canvas(0, 0, 100, 100);
    svg_indent_level = 1;
    canvas.svg_fitted_text(out, text, bx, by, 15, bh);
    EXPECT_EQ(1, svg_indent_level);
    svg_indent_level = 0;
    fclose(out);
    std::string s(buf, size);
    free(buf);
    return s;
}

TEST(SvgText, FittedText) {
    struct {
        const char *text;
        float by, bh;
        const char *expected;
    } cases[] = {
        {"", 10, 6, ""},
        {"abcd efghi jk lmnop qr stuvwx", 10, 6,
         "\t<text style=\"font-size:1.20pt\">\n"
         "<tspan x=\"30.00\" y=\"11.76\">abcd efghi jk</tspan>\n"
         "<tspan x=\"30.00\" y=\"13.55\">lmnop qr</tspan>\n"
         "<tspan x=\"30.00\" y=\"15.33\">stuvwx</tspan>\n\t</text>\n"},
        {"0123456789012345678901234567890123456789", 40.5, 2.5,
         "\t<text style=\"font-size:0.45pt\">\n"
         "<tspan x=\"30.00\" y=\"42.68\">0123456789012345678901234567890123456789</tspan>\n"
         "\t</text>\n"},
        // A one-letter name still gets its line.
        {"A", 40.5, 2.5,
         "\t<text style=\"font-size:1.20pt\">\n<tspan x=\"30.00\" y=\"42.68\">A</tspan>\n"
         "\t</text>\n"},
        {"\n", 10, 6, "\t<text style=\"font-size:1.20pt\">\n\t</text>\n"},
        {"R&D <b>", 10, 6,
         "\t<text style=\"font-size:1.20pt\">\n"
         "<tspan x=\"30.00\" y=\"15.33\">R&amp;D &lt;b&gt;</tspan>\n\t</text>\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, fitted(c.text, 22.5f, c.by, c.bh)) << c.text;
}

TEST(SvgText, InvalidBytesDoNotChangeTheLayout) {
    // Eight Latin-1 bytes are measured as eight (size 1.20), though written
    // as sixteen (which would give 1.12).
    std::string eight;
    for (int k = 0; k < 8; k++)
        eight += "\xC3\xA9";
    EXPECT_EQ("\t<text style=\"font-size:1.20pt\">\n<tspan x=\"30.00\" y=\"42.68\">" + eight +
                  "</tspan>\n\t</text>\n",
              fitted("\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9", 22.5f, 40.5, 2.5));
}
