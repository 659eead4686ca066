// SVG text layout against a plain trial loop: every trial splits the whole
// text again and the first trial whose longest line fits the box wins. The
// layout must write the same bytes on any text, and long texts must not take
// one pass over the text per trial.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FTD_canvas.h"
#include "svg_writer.h"

// The lines of trial i (i + 1 lines asked for).
static std::vector<std::string> reference_split(const std::string &text, int i) {
    size_t step = static_cast<size_t>(std::ceil(static_cast<double>(text.size()) / (i + 1)));
    size_t limit = step;
    std::vector<std::string> lines;
    std::string line;
    for (size_t k = 0; k < text.size(); k++) {
        char c = text[k];
        if (c == '\n' || ((c == ' ' || c == '\t') && k > limit)) {
            if (!line.empty())
                lines.push_back(line);
            line.clear();
            limit += step;
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

// The text element for a box at level 1, trying every trial from the first
// one, or from the last one only when every trial before it cannot fit.
static std::string reference_fitted(const std::string &text, float bx, float by, float bw, float bh,
                                    bool last_trial_only = false) {
    float w = bw - 0.05, h = bh - 0.05, left = bx + 0.025, top = by - 0.025;
    if (text.empty())
        return "";
    int n = std::max(1, static_cast<int>(std::round(std::sqrt(text.size() / (w / (h * 0.833))))));
    float size = 0;
    std::vector<std::string> lines;
    for (int i = last_trial_only ? n - 1 : 0; i < n; i++) {
        lines = reference_split(text, i);
        size_t maxlen = 0;
        for (const std::string &l : lines)
            maxlen = std::max(maxlen, l.size());
        if (maxlen <= w / 2) {
            size = 3.0f;
            break;
        }
        size = static_cast<float>(w / (maxlen * 0.833));
        if (maxlen <= w)
            break;
    }
    char buf[128];
    snprintf(buf, sizeof buf, "\t<text style=\"font-size:%.2fpt\">\n", std::min(size, 1.2f));
    std::string out = buf;
    for (size_t j = 1; j <= lines.size(); j++) {
        double y = top + j * 0.9 * (static_cast<double>(h) / lines.size());
        snprintf(buf, sizeof buf, "<tspan x=\"%.2f\" y=\"%.2f\">", left + w / 2.0, y);
        char *escaped = xml_escape(lines[j - 1].c_str());
        out += buf + std::string(escaped) + "</tspan>\n";
        free(escaped);
    }
    return out + "\t</text>\n";
}

// What the canvas writes for text in the box, at level 1.
static std::string fitted(const std::string &text, float bx, float by, float bw, float bh) {
    char *buf = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buf, &size);
    FTD_canvas canvas(0, 0, 100, 100);
    svg_indent_level = 1;
    canvas.svg_fitted_text(out, text.c_str(), bx, by, bw, bh);
    svg_indent_level = 0;
    fclose(out);
    std::string written(buf, size);
    free(buf);
    return written;
}

// The three box heights of the export.
static const float box_heights[] = {6, 2.5f, 4};

static std::string repeat(const std::string &s, size_t n) {
    std::string out;
    while (n-- > 0)
        out += s;
    return out;
}

TEST(SvgTextLayout, SameBytesAsTheTrialLoop) {
    const std::string texts[] = {
        "A",
        "     ",
        "\n",
        "\n\n\n\t\t  \n",
        repeat("x", 14),
        repeat("x", 15),
        repeat("x", 200),
        "abcdefgh  ij",
        "abcd efghi jk lmnop qr stuvwx",
        repeat("a b ", 60),
        repeat("ab\tcd ", 40),
        repeat("word ", 7) + repeat("x", 16) + repeat(" word", 30),
        repeat("fourteen bytes\n", 20),
        repeat("fifteen  bytes.\n", 20),
        repeat("short\n", 30) + repeat("a long line that ends late ", 4),
        repeat("Ventil gest\xC3\xB6rt, ", 12),
        "caf\xE9 \xFF\xFE\x80 na\xEFve " + repeat("\xC3 \xA9", 20),
        "\x01\x02 \x1B[0m bell\x07 " + repeat("\x7F\r ", 15),
        "a&b <c> 'd' \"e\" " + repeat("&amp; ", 10),
        repeat(" ", 40) + "end",
        "x" + repeat("\n", 50) + "y",
    };
    for (const std::string &text : texts)
        for (float bh : box_heights)
            EXPECT_EQ(reference_fitted(text, 22.5f, 10, 15, bh), fitted(text, 22.5f, 10, 15, bh))
                << "text \"" << text << "\", box height " << bh;
}

// Texts of many shapes: words of random lengths between blanks, TABs, line
// breaks and runs of them, up to a few hundred bytes, in boxes of every
// proportion the export uses and some it does not.
TEST(SvgTextLayout, SameBytesOnGeneratedTexts) {
    const char *const pieces[] = {" ", " ", " ", "\t", "\n", "  ", "\n\n", " \n"};
    const float boxes[][2] = {{15, 6}, {15, 2.5f}, {15, 4}, {3, 40}, {40, 3}, {0.5f, 8}};
    unsigned seed = 12345;
    auto next = [&seed](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    int mismatches = 0;
    for (int t = 0; t < 3000 && mismatches < 5; t++) {
        unsigned longest_word = 1 + next(t % 3 == 0 ? 6 : 20);
        size_t len = next(400);
        std::string text;
        while (text.size() < len) {
            text += std::string(1 + next(longest_word), static_cast<char>('a' + next(26)));
            text += pieces[next(t % 2 ? 8 : 3)];
        }
        for (const auto &box : boxes) {
            std::string expected = reference_fitted(text, 2.5f, 3, box[0], box[1]);
            std::string got = fitted(text, 2.5f, 3, box[0], box[1]);
            if (expected != got) {
                mismatches++;
                ADD_FAILURE() << "text \"" << text << "\" in a box " << box[0] << " x " << box[1]
                              << "\nexpected:\n"
                              << expected << "got:\n"
                              << got;
            }
        }
    }
}

// About 32 MB of prose behind a 20-byte run without a blank: no trial can
// fit the width of 15, so only the last trial's lines are written. A layout
// that split the whole text once per trial (some 3,000 trials here) would
// take many minutes; this finishes in seconds.
TEST(SvgTextLayout, LongTextIsLaidOutInOnePass) {
    const std::string sentence = "Loss of cooling water flow to the heat exchanger \xC3\xBC\xE9; ";
    std::string text = "REF:PLANT-0001-ABCDE ";
    for (int k = 1; text.size() < (size_t(32) << 20); k++)
        text += k % 50 == 0 ? sentence + "\n" : sentence;
    for (float bh : box_heights) {
        std::string expected = reference_fitted(text, 22.5f, 10, 15, bh, true);
        std::string got = fitted(text, 22.5f, 10, 15, bh);
        EXPECT_EQ(expected.size(), got.size()) << "box height " << bh;
        EXPECT_TRUE(expected == got) << "box height " << bh;
    }
}
