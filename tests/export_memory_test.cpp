// Memory running out during an SVG export: the export fails (the command
// logs its failure line), the file it was to replace keeps every byte, no
// temporary file stays and the program goes on. This program replaces the
// global operator new, and its own code's malloc, so that an allocation can
// be made to fail on demand.
#include "app_fixture.h"

// The program is linked with --wrap=malloc: the malloc calls of its own code
// (the string lists of the text layout, the escaped copies) go through
// __wrap_malloc and count and fail as operator new does; those of the
// system's libraries do not.
extern "C" void *__real_malloc(size_t n);
#define FAILING_NEW_MALLOC __real_malloc
#include "failing_new.h"

extern "C" void *__wrap_malloc(size_t n) {
    return allocation_fails(n) ? nullptr : __real_malloc(n);
}
#include "file_replace.h"
#include "svg_writer.h"

namespace {

// Every kind, a page gate, a shared event, labels, and texts long enough to
// be split into lines, with characters to escape.
ft_element *text_tree() {
    ft_element *pump = node("PUMP_A", FT_BASIC, {}, -1,
                            "Pump A <P-101> fails to run & \"trips\"\non low suction pressure",
                            "3.8e-4", "medium");
    ft_element *page = node("PAGE", FT_AND, {pump}, FT_PAGE_ON, "Subsystem on its own page");
    return node("TOP", FT_OR,
                {node("G1", FT_PAND, {pump, node("V'2", FT_BASIC, {}, -1, "Valve", "1e-3")}, -1,
                      "Discharge path blocked in sequence, check valve before motor valve",
                      "2.5e-6", "low"),
                 node("G2", FT_NULL, {pump}), page},
                -1, "No coolant flow to the heat exchanger of train A or of train B", "1.2e-4",
                "high");
}

// The export as the command makes it, write_svg through file_replace, with
// the allocations of write_svg failing as failing_allocation(after, least,
// once) makes them fail. file_replace's result.
int export_into(FTD_canvas &canvas, const std::string &target, long after, size_t least,
                bool once) {
    return file_replace(target, 0, [&](FILE *out) {
        failing_allocation fail(after, least, once);
        return canvas.write_svg(out);
    });
}

std::string export_in_memory(FTD_canvas &canvas) {
    char *buf = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buf, &size);
    EXPECT_EQ(canvas.write_svg(out), 0);
    fclose(out);
    std::string document(buf, size);
    free(buf);
    return document;
}

const std::string file_err = "ERROR. File could not be written.\n";

} // namespace

// Each allocation of the document's writing, failing in turn: the export
// fails and changes nothing, until (past the last one) it writes the whole
// document.
TEST(ExportMemory, EachFailingAllocationFailsTheExport) {
    const struct {
        int show_prob;
        bool linked;  // the target has a second name: it is written in place
        bool touched; // the model changed since the layout was built
    } rows[] = {{1, false, false}, {0, false, true}, {1, true, true}};
    for (const auto &r : rows) {
        SCOPED_TRACE(std::to_string(r.show_prob) + std::to_string(r.linked) +
                     std::to_string(r.touched));
        temp_dir d;
        const std::string target = d.file("tree.svg");
        write_all(target, "OLD");
        if (r.linked) {
            ASSERT_EQ(link(target.c_str(), d.file("other.svg").c_str()), 0);
        }
        const std::set<std::string> names = names_in(d.path);
        ft_element *root = text_tree();
        FTD_canvas canvas(0, 0, 300, 200);
        canvas.set_tree(root);
        canvas.show_prob = r.show_prob;
        const std::string whole = export_in_memory(canvas);
        for (long k = 0;; k++) {
            if (r.touched)
                ft_touch();
            const int rc = export_into(canvas, target, k, 0, true);
            ASSERT_EQ(svg_indent_level, 0) << "allocation " << k;
            ASSERT_EQ(names_in(d.path), names) << "allocation " << k;
            // A place that finds no memory is not recorded for the screen's
            // hit tests; the document is written whole all the same.
            if (rc == 0) {
                ASSERT_EQ(read_all(target), whole) << "allocation " << k;
                write_all(target, "OLD");
            } else {
                ASSERT_EQ(read_all(target), "OLD") << "allocation " << k;
            }
            if (!failed) {
                ASSERT_EQ(rc, 0);
                ASSERT_GT(k, 20);
                break;
            }
        }
        canvas.set_tree(nullptr);
        ft_free_tree(root, nullptr);
    }
}

// With under a megabyte left for one allocation, an export of a 20 MB text
// (a description is split into lines, a criticality goes into a label)
// fails; with memory back it writes the text whole.
TEST(ExportMemory, TwentyMegabyteTextWithoutLargeAllocations) {
    const std::string big(20 << 20, 'x');
    const struct { const char *desc, *crit; } rows[] = {{big.c_str(), nullptr}, {"", big.c_str()}};
    for (const auto &r : rows) {
        temp_dir d;
        const std::string target = d.file("tree.svg");
        write_all(target, "OLD");
        ft_element *root =
            node("G", FT_AND, {node("E", FT_BASIC, {}, -1, r.desc)}, -1, "", "1e-3", r.crit);
        FTD_canvas canvas(0, 0, 300, 200);
        canvas.set_tree(root);
        EXPECT_EQ(export_into(canvas, target, 0, size_t(1) << 20, false), -1);
        EXPECT_TRUE(failed);
        EXPECT_EQ(read_all(target), "OLD");
        EXPECT_EQ(names_in(d.path), std::set<std::string>{"tree.svg"});
        EXPECT_EQ(export_into(canvas, target, -1, 0, true), 0);
        EXPECT_NE(read_all(target).find(big), std::string::npos);
        canvas.set_tree(nullptr);
        ft_free_tree(root, nullptr);
    }
}

// File > Export of the example tree over an earlier file, each allocation of
// the command failing in turn: the failure line is logged and the earlier
// file stays, until the command writes the document.
TEST_F(AppTest, EachFailingAllocationOfTheExportCommandLogsItsFailure) {
    const std::string target = dir + "/tree.svg";
    responder.file_chooser = [&target](const char *, const char *, const char *, int) {
        return target.c_str();
    };
    responder.choice = [](const std::string &, const char *, const char *, const char *) {
        return 1;
    };
    logger->set_level(LOG_DEBUG);
    ASSERT_EQ(load_example(), 0);
    h->on_export(); // the toolkit's first-use allocations
    const std::string whole = read_all(target);
    ASSERT_EQ(whole.substr(0, 5), "<?xml");
    write_all(target, "OLD");
    const std::set<std::string> names = names_in(dir);
    for (long k = 0;; k++) {
        logger->clear();
        {
            failing_allocation fail(k, 0, true);
            h->on_export();
        }
        std::string log = text_of(logger->buffer), start = "from scratch.\n\n";
        log = log.substr(log.find(start) + start.size());
        if (!failed) {
            EXPECT_EQ(log, "");
            EXPECT_EQ(read_all(target), whole);
            ASSERT_GT(k, 20);
            break;
        }
        ASSERT_EQ(log, file_err) << "allocation " << k;
        ASSERT_EQ(read_all(target), "OLD") << "allocation " << k;
        ASSERT_EQ(names_in(dir), names) << "allocation " << k;
    }
}
