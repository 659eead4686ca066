// Model tests: chunked lists, setters, predicates, drawn positions, hit
// tests, searches, deletes and release.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ftnames.h"
#include "ftslab.h"
#include "saFaultTree.h"

namespace {

ft_element *named(const char *name, ft_type type) {
    return ft_set_type(ft_set_name(ft_init(), name), type);
}

ft_element *gate(const char *name, std::vector<ft_element *> kids, short page = FT_PAGE_OFF) {
    ft_element *g = ft_set_page(ft_set_children(named(name, FT_OR), ft_list_init()), page);
    for (ft_element *k : kids)
        ft_add_child(g, k);
    return g;
}

// A chain of n gates G0 (returned) to G<n-1> (*last), each the only child of
// the one before.
ft_element *chain(int n, ft_element **last = nullptr) {
    ft_element *root = gate("G0", {}), *g = root;
    for (int i = 1; i < n; ++i) {
        ft_element *c = gate(("G" + std::to_string(i)).c_str(), {});
        ft_add_child(g, c);
        g = c;
    }
    if (last != nullptr)
        *last = g;
    return root;
}

// What f writes to the standard output.
template <class F> std::string stdout_of(F f) {
    fflush(stdout);
    ::testing::internal::CaptureStdout();
    f();
    fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

// Every test ends with as many live elements as it began with.
struct Model : ::testing::Test {
    const long live = ft_live_elements();
    void TearDown() override { EXPECT_EQ(ft_live_elements(), live); }
};

TEST_F(Model, ChunksGrowRemoveAndStayDense) {
    ft_list *l = ft_list_init();
    EXPECT_EQ(ft_list_is_empty(l), 1);
    ft_element *probe = named("x", FT_BASIC);
    EXPECT_EQ(ft_list_find(l, probe), -1);
    std::vector<ft_element *> els;
    for (int i = 0; i < 45; ++i) {
        els.push_back(named(std::to_string(i).c_str(), FT_BASIC));
        ft_list_cons(els.back(), l);
        EXPECT_TRUE(i != 19 || (l->last == 19 && !l->next)); // a full chunk, no next one yet
    }
    EXPECT_EQ(ft_list_get_size(l), 45);
    for (int i = 44; i >= 0; i -= 7)
        EXPECT_EQ(ft_list_get(l, i), els[size_t(i)]); // backwards too
    EXPECT_EQ(ft_list_get(l, 50), nullptr);           // past the end inside the final chunk
    EXPECT_EQ(ft_list_find(l, els[33]), 33);
    EXPECT_EQ(ft_list_remove_at(l, 5), els[5]);
    EXPECT_EQ(ft_list_remove_at(l, 60), nullptr);
    EXPECT_EQ(ft_list_get_size(l), 44);
    for (int i = 0; i < 44; ++i)
        EXPECT_EQ(ft_list_get(l, i), els[size_t(i < 5 ? i : i + 1)]);
    while (ft_list_get_size(l) > 20)
        ft_list_remove_at(l, 0);
    EXPECT_EQ(l->next, nullptr); // emptied final chunk is dropped
    ft_list_cons(probe, l);
    EXPECT_EQ(ft_list_get(l, 20), probe);
    ft_free_tree(nullptr, l); // releases list chunks and every element in it
    for (int i = 0; i < 25; ++i)
        ft_free_element(els[size_t(i)]); // the ones removed from l
}

TEST_F(Model, SettersCutAtBlankAndPredicates) {
    const std::pair<const char *, const char *> cases[] = {
        {"1.5E-4 per hour", "1.5E-4"}, {"a\tb c", "a\tb"}, {" lead", ""}, {"whole", "whole"}};
    ft_element *e = ft_init();
    for (auto &c : cases) {
        EXPECT_STREQ(ft_get_prob(ft_set_prob(e, c.first)), c.second) << c.first;
        EXPECT_STREQ(ft_get_criticality(ft_set_criticality(e, c.first)), c.second) << c.first;
    }
    ft_set_name(e, "first");
    ft_set_name(e, ft_get_name(e)); // self-assignment keeps the text
    EXPECT_STREQ(ft_get_name(e), "first");
    ft_set_type(ft_set_page(e, FT_PAGE_ON), FT_AND);
    ft_set_children(e, ft_list_init());
    EXPECT_EQ(ft_has_children(e), 0);
    EXPECT_EQ(ft_is_terminal(e), 1);
    EXPECT_EQ(ft_is_terminal(ft_set_page(e, FT_PAGE_OFF)), 0);
    char text[] = "0,25";
    EXPECT_FLOAT_EQ(ft_prob_to_float(text), 0.25f);
    EXPECT_STREQ(text, "0.25");
    EXPECT_STREQ(ft_type2string(FT_PAND), "PAND");
    ft_free_tree(e, nullptr);
}

// Texts made with the element share its allocation; the setters and the
// release must tell them from texts of their own (the sanitizers watch).
TEST_F(Model, TextsInTheElementsOwnAllocation) {
    ft_element *e = ft_init_texts("name and more", 4, "desc", 4, "1.5E-4 per hour", 6);
    ft_element *bare = ft_init_texts("g", 1, "", 0, nullptr, 0);
    EXPECT_STREQ(ft_get_name(e), "name");
    EXPECT_STREQ(ft_get_desc(e), "desc");
    EXPECT_STREQ(ft_get_prob(e), "1.5E-4");
    EXPECT_EQ(ft_get_prob(bare), nullptr);
    EXPECT_EQ(ft_get_type(e), FT_INVALID);
    EXPECT_EQ(ft_get_page(e), FT_PAGE_NONE);
    EXPECT_EQ(ft_get_coord(ft_add_coord(e, 3, 4), 3, 4).x, 3);
    ft_set_name(e, ft_get_name(e)); // copies its own text before letting it go
    ft_set_prob(ft_set_desc(e, "other"), "2");
    EXPECT_STREQ(ft_get_name(e), "name");
    EXPECT_STREQ(ft_get_desc(e), "other");
    EXPECT_STREQ(ft_get_prob(e), "2");
    ft_set_desc(bare, "d");
    ft_free_element(e);
    ft_free_element(bare);
}

// Blocks of every size, from slabs and (the largest) from malloc, keep their
// bytes and alignment while thousands of others are made, and every slab
// they took goes back once they are freed, in any order; the slab blocks are
// cut from starts again when all of its blocks are freed.
TEST_F(Model, SlabBlocksKeepTheirBytesAndSlabsGoBack) {
    if (ft_sanitizer_build())
        GTEST_SKIP() << "the sanitizer's build gives every block an allocation of its own";
    const size_t before = ft_slab_count();
    // clang-format off
    const struct { size_t n, align; } sizes[] = {
        {0, 1}, {1, 1}, {7, 1}, {8, 8}, {9, 8}, {72, 8}, {200, 8}, {13, 2},
        {FT_SLAB_MAX_BLOCK, 8}, {FT_SLAB_MAX_BLOCK + 1, 1}};
    // clang-format on
    for (int order = 0; order < 3; ++order) { // frees in making order, reversed, odd ones first
        std::vector<std::pair<unsigned char *, size_t>> blocks;
        for (int round = 0; round < 40; ++round)
            for (const auto &s : sizes) {
                auto *p = static_cast<unsigned char *>(ft_slab_alloc(s.n, s.align));
                ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % s.align, 0u) << s.n;
                memset(p, int(blocks.size() % 251), s.n);
                blocks.emplace_back(p, s.n);
            }
        EXPECT_GT(ft_slab_count(), before + 1);
        for (size_t i = 0; i < blocks.size(); ++i)
            for (size_t k = 0; k < blocks[i].second; ++k)
                ASSERT_EQ(blocks[i].first[k], i % 251) << "block " << i << " byte " << k;
        for (size_t i = 0; i < blocks.size(); ++i) {
            const size_t at = order == 0              ? i
                              : order == 1            ? blocks.size() - 1 - i
                              : i < blocks.size() / 2 ? 2 * i + 1
                                                      : 2 * (i - blocks.size() / 2);
            ft_slab_free(blocks[at].first);
        }
        EXPECT_LE(ft_slab_count(), before + 1) << "order " << order;
    }
    const size_t settled = ft_slab_count();
    for (int i = 0; i < 100000; ++i)
        ft_slab_free(ft_slab_alloc(100, 8));
    EXPECT_EQ(ft_slab_count(), settled);
}

// Mappings of sizes around the page size, on large pages and on 4 KB pages,
// their pages made at first touch or at once: each starts at a page
// boundary, reads zero and takes writes over every page it was rounded up
// to, and none overlaps another; a size beyond any mapping is exhausted
// memory.
TEST_F(Model, MappingsAreAlignedZeroAndWhole) {
    const int hows[] = {FT_PAGES_LARGE, FT_PAGES_NOW, FT_PAGES_LARGE | FT_PAGES_NOW};
    for (int how : hows) {
        const size_t page = how & FT_PAGES_LARGE ? FT_LARGE_PAGE : 4096;
        const size_t sizes[] = {0, 1, 4096, page - 1, page, page + 1, 3 * page + 5};
        std::vector<std::pair<unsigned char *, size_t>> maps;
        for (size_t n : sizes) {
            auto *p = static_cast<unsigned char *>(ft_pages_map(n, how));
            const size_t whole = n == 0 ? page : (n + page - 1) / page * page;
            ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % (ft_sanitizer_build() ? 16 : page), 0u)
                << how << " " << n;
            for (size_t at = 0; at < whole; at += 4096) {
                ASSERT_EQ(p[at] | p[at + 4095], 0) << how << " " << n << " at " << at;
                p[at] = p[at + 4095] = (unsigned char)(maps.size() + 1);
            }
            maps.emplace_back(p, n);
        }
        for (size_t i = 0; i < maps.size(); ++i) {
            const size_t n = maps[i].second, whole = n == 0 ? page : (n + page - 1) / page * page;
            for (size_t at = 0; at < whole; at += 4096)
                ASSERT_EQ(maps[i].first[at + 4095], i + 1)
                    << how << " mapping " << i << " at " << at;
            ft_pages_unmap(maps[i].first, n, how);
        }
        ft_pages_unmap(nullptr, page, how);
        EXPECT_THROW(ft_pages_map(SIZE_MAX, how), std::bad_alloc);
        EXPECT_THROW(ft_pages_map(SIZE_MAX - page, how), std::bad_alloc);
    }
}

// Pool blocks, more than one mapping holds: each is zero, aligned and apart
// from the others; blocks written, cleared and given back come back zero.
TEST_F(Model, PoolBlocksAreZeroApartAndComeBackZero) {
    ft_pool pool = FT_POOL(24);
    const size_t n = FT_POOL_BYTES / 24 + 1000;
    std::vector<std::pair<unsigned char *, int>> blocks; // each with its fill byte
    for (int round = 0; round < 2; ++round) {
        while (blocks.size() < n) {
            auto *b = static_cast<unsigned char *>(ft_pool_alloc(&pool));
            ASSERT_EQ(reinterpret_cast<uintptr_t>(b) % 8, 0u) << blocks.size();
            for (int k = 0; k < 24; ++k)
                ASSERT_EQ(b[k], 0) << "round " << round << " block " << blocks.size();
            const int fill = int(blocks.size() % 251) + 1;
            memset(b, fill, 24);
            blocks.emplace_back(b, fill);
        }
        for (size_t i = 0; i < n; ++i)
            for (int k = 0; k < 24; ++k)
                ASSERT_EQ(blocks[i].first[k], blocks[i].second) << "block " << i << " byte " << k;
        std::vector<std::pair<unsigned char *, int>> kept;
        for (size_t i = 0; i < n; ++i) { // every other block back, cleared
            if (i % 2 == 1) {
                kept.push_back(blocks[i]);
                continue;
            }
            memset(blocks[i].first, 0, 24);
            ft_pool_release(&pool, blocks[i].first);
        }
        blocks = kept;
    }
    for (auto &b : blocks) {
        memset(b.first, 0, 24);
        ft_pool_release(&pool, b.first);
    }
    ft_pool_release(&pool, nullptr);
}

// In the address sanitizer's build every positions block is a heap block of
// its own, so that reading one after its release is reported.
TEST(ModelDeathTest, PositionsBlockReadAfterReleaseIsReported) {
    if (!ft_sanitizer_build())
        GTEST_SKIP() << "only the address sanitizer's build checks each block";
    EXPECT_DEATH(
        {
            ft_coords *b = ft_coords_alloc();
            ft_coords_release(b);
            fprintf(stderr, "%d\n", static_cast<volatile ft_coords *>(b)->selected);
        },
        "heap-use-after-free");
}

// The name index over three blocks of records and more: names appended and
// then indexed, more put in one by one, each found as its own record; a
// name appended twice keeps its first record; unknown names and a released
// index find nothing.
TEST_F(Model, NameIndexFindsNamesInEveryRecordBlock) {
    const int appended = 100000, added = 40000;
    std::vector<std::string> names;
    for (int i = 0; i < appended + added; ++i)
        names.push_back("N" + std::to_string(i * 7919L % 1000003));
    const std::string twice = names[5];
    name_index index;
    for (int i = 0; i < appended; ++i) {
        const std::string &n = names[size_t(i)];
        index.append(n.c_str(), n.size(), name_index::hash_of(n.c_str(), n.size())).refs =
            uint32_t(i);
    }
    index.append(twice.c_str(), twice.size(), name_index::hash_of(twice.c_str(), twice.size()))
        .refs = 1u << 30;
    index.index_appended();
    for (int i = appended; i < appended + added; ++i)
        index.get(names[size_t(i)].c_str()).refs = uint32_t(i);
    for (int i = 0; i < appended + added; ++i) {
        const name_entry *e = index.find(names[size_t(i)].c_str());
        ASSERT_NE(e, nullptr) << names[size_t(i)];
        ASSERT_EQ(e->key, names[size_t(i)].c_str()) << i;
        ASSERT_EQ(e->refs, uint32_t(i)) << names[size_t(i)];
        ASSERT_EQ(&index.get(names[size_t(i)].c_str()), e) << i;
    }
    EXPECT_EQ(index.find("N1000003"), nullptr);
    EXPECT_EQ(index.find(""), nullptr);
    long records = 0;
    index.for_each([&records](name_entry &) { ++records; });
    EXPECT_EQ(records, appended + added + 1);
    index.release();
    EXPECT_EQ(index.find(names[0].c_str()), nullptr);
}

// The name index's key is drawn at every start: two runs of this program
// (this test alone, with FTD_HASH_NAMES set, printing its hashes) hash the
// same names differently, so no file can choose names that share a slot.
TEST(NameKey, DrawnAtEachStart) {
    static const char *const names[] = {"TOP", "PUMP_A", "a name longer than sixteen bytes"};
    if (getenv("FTD_HASH_NAMES") != nullptr) { // the started run
        printf("hashes:");
        for (const char *n : names)
            printf(" %08x", name_index::hash_of(n, strlen(n)));
        printf("\n");
        return;
    }
    char self[4096];
    const ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(len, 0);
    self[len] = '\0';
    auto start = [&self] {
        const std::string cmd =
            std::string("FTD_HASH_NAMES=1 '") + self + "' --gtest_filter=NameKey.DrawnAtEachStart";
        std::string hashes;
        if (FILE *p = popen(cmd.c_str(), "r")) {
            char line[512];
            while (fgets(line, sizeof line, p))
                if (strncmp(line, "hashes:", 7) == 0)
                    hashes = line;
            pclose(p);
        }
        return hashes;
    };
    const std::string first = start(), second = start();
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first, second);
}

TEST_F(Model, SharedEventLeavesPagesAndNames) {
    ft_element *ev = named("shared", FT_BASIC);
    ft_element *g1 = gate("G1", {ev}), *g2 = gate("G2", {ev}, FT_PAGE_ON), *g3 = gate("G1", {ev});
    ft_element *root = gate("R", {g1, g2, g3}, FT_PAGE_ON);
    ft_set_name(ft_list_get(ft_get_children(g2), 0), "renamed");
    EXPECT_STREQ(ft_get_name(ft_list_get(ft_get_children(g1), 0)), "renamed");
    ft_list *leaves = ft_get_leaves(root);
    EXPECT_EQ(ft_list_get_size(leaves), 1);
    ft_list_free(leaves);
    EXPECT_EQ(ft_find_by_name(root, "G1"), g1);
    EXPECT_EQ(ft_find_by_name(root, "renamed"), ev);
    EXPECT_EQ(ft_find_by_name(root, "nothing"), nullptr);
    ft_list *pages = ft_list_init();
    ft_get_pages(root, pages);
    ASSERT_EQ(ft_list_get_size(pages), 2);
    EXPECT_EQ(ft_list_get(pages, 0), root);
    ft_list_free(pages);
    ft_set_children(g3, ft_list_init()); // old children go to the detached list
    ft_free_tree(root, nullptr);
}

// The indented tree print: a heading of 2 x level blanks and the level, then
// the element; children only below the four gate kinds, in list order.
TEST_F(Model, TreePrintHeadingsOrderAndKinds) {
    ft_element *ev = ft_set_desc(named("E", FT_BASIC), "shared event");
    ft_add_coord(ft_add_coord(ev, 30, 40), 70, 40);
    ft_element *hidden = named("X", FT_BASIC);
    ft_set_children(ev, ft_list_init());
    ft_add_child(ev, hidden); // below a basic event: not printed
    ft_element *pand = named("P", FT_PAND);
    ft_element *g = gate("G", {ev, named("I", FT_INVALID), pand});
    ft_element *null_gate = ft_set_type(gate("N", {}), FT_NULL);
    ft_element *root = ft_set_desc(ft_set_type(gate("R", {ev, g, null_gate}), FT_AND), "top");
    const std::string node_e = "Node:\n  name:        E\n  description: shared event\n"
                               "  type         BASIC\n\n  coord.x       30\n  coord.y       40\n"
                               "  coord.x       70\n  coord.y       40\n";
    EXPECT_EQ(stdout_of([&] { ft_print_tree(root); }),
              "Printing tree...\n"
              "   >>> Level 1\n"
              "Node:\n  name:        R\n  description: top\n  type         AND\n\n"
              "     >>> Level 2\n" +
                  node_e +
                  "     >>> Level 2\n"
                  "Node:\n  name:        G\n  description: \n  type         OR\n\n"
                  "       >>> Level 3\n" +
                  node_e +
                  "       >>> Level 3\n"
                  "Node:\n  name:        I\n  description: \n  type         INVALID\n\n"
                  "       >>> Level 3\n"
                  "Node:\n  name:        P\n  description: \n  type         PAND\n\n"
                  "     >>> Level 2\n"
                  "Node:\n  name:        N\n  description: \n  type         NULL\n\n"
                  "...done!\n\n");
    // Children past the first chunk of a list follow in order, at one level.
    ft_element *wide = gate("W", {});
    for (int i = 0; i < 2 * FT_LIST_CHUNK + 1; ++i)
        ft_add_child(wide, named(("c" + std::to_string(i)).c_str(), FT_BASIC));
    const std::string out = stdout_of([&] { ft_print_tree_preorder_lowlevel(wide, 3); });
    size_t at = out.find("       >>> Level 3\nNode:\n  name:        W\n");
    EXPECT_EQ(at, 0u);
    for (int i = 0; i < 2 * FT_LIST_CHUNK + 1; ++i) {
        const size_t next = out.find(
            "         >>> Level 4\nNode:\n  name:        c" + std::to_string(i) + "\n", at);
        ASSERT_NE(next, std::string::npos) << "child " << i;
        at = next + 1;
    }
    ft_free_tree(root, nullptr);
    ft_free_tree(wide, nullptr);
}

// A chain a million gates deep prints without recursion, in a child process
// so that a stack overflow fails the test instead of ending the suite. The
// child's standard output is open for reading only, so every line is refused
// at once: the headings grow with the depth, and the text of a million levels
// would be about 10^12 bytes. The walk is what runs here; the text is pinned
// above.
TEST_F(Model, TreePrintOfAMillionDeepChain) {
    ft_element *root = chain(1000000);
    EXPECT_EXIT(
        {
            if (freopen("/dev/null", "r", stdout) == nullptr)
                _exit(2);
            ft_print_tree(root);
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    ft_free_tree(root, nullptr);
}

TEST_F(Model, CoordsAddRemoveLimitAndHitBox) {
    ft_element *e = ft_init();
    ft_add_coord(ft_add_coord(e, 50, 60), 50, 60);
    EXPECT_EQ(e->coord->coord[1].x, 0);
    ft_coord none = ft_get_coord(e, 1, 1);
    EXPECT_EQ(none.x + none.y, 0);
    for (int i = 1; i <= 4; ++i)
        ft_add_coord(e, 50 + i, 60);
    EXPECT_EQ(ft_remove_coord(e, 52, 60), e);
    EXPECT_EQ(e->coord->coord[2].x, 53);
    EXPECT_EQ(e->coord->coord[4].x, 0);
    EXPECT_EQ(ft_remove_coord(e, 52, 60), nullptr);
    for (int i = 0; i < 300; ++i)
        ft_add_coord(e, 1000 + i, 5); // 201st and later dropped
    EXPECT_EQ(e->coord->coord[FT_MAX_COORDS - 1].x, 1000 + FT_MAX_COORDS - 5);
    EXPECT_EQ(e->coord->spare, 0);
    EXPECT_EQ(ft_remove_coord(e, 1000, 5), e);
    EXPECT_EQ(e->coord->coord[FT_MAX_COORDS - 1].x, 0);
    const int pts[][3] = {{57, 61, 1}, {43, 74, 1}, {58, 61, 0}, {42, 70, 0}, // x, y, hit
                          {50, 60, 0}, {50, 75, 0}, {50, 74, 1}};
    for (auto &p : pts)
        EXPECT_EQ(ft_coord_hit(p[0], p[1], ft_coord{50, 60}), p[2]) << p[0] << "," << p[1];
    ft_clear_coords(e);
    EXPECT_EQ(ft_hit(3, 5, e), 0); // free slots mark no place: the corner is empty
    EXPECT_EQ(ft_hit(50, 61, e), 0);
    ft_free_element(e);
}

TEST_F(Model, FindAtAndDeleteAtSharedEvent) {
    ft_element *ev = named("E", FT_BASIC), *hidden = named("H", FT_BASIC);
    ft_element *g1 = gate("G1", {ev}), *g2 = gate("G2", {ev}),
               *g3 = gate("G3", {hidden}, FT_PAGE_NONE);
    ft_element *root = gate("R", {g1, g2, g3});
    ft_add_coord(root, 100, 10);
    ft_add_coord(ft_add_coord(ev, 80, 60), 120, 60);
    ft_add_coord(hidden, 200, 60);
    EXPECT_EQ(ft_find_at(root, 120, 65), ev);
    EXPECT_EQ(ft_find_at(root, 200, 65), nullptr);            // below a FT_PAGE_NONE gate
    EXPECT_EQ(ft_find_at(root, 3, 3), nullptr);               // free slots mark no place
    EXPECT_EQ(ft_delete_at(nullptr, root, 100, 12), nullptr); // the root stays
    EXPECT_EQ(ft_delete_at(nullptr, root, 120, 65), g1);      // taken out of G1 first
    EXPECT_EQ(ft_list_get_size(ft_get_children(g1)), 0);
    EXPECT_EQ(ft_list_get_size(ft_get_children(g2)), 1);
    EXPECT_EQ(ft_delete_at(nullptr, root, 200, 65), g3); // delete does descend there
    ft_free_tree(root, nullptr);
}

TEST_F(Model, DeepChainWalksWithoutRecursion) {
    ft_element *g = nullptr, *root = chain(200000, &g);
    EXPECT_EQ(ft_find_by_name(root, "G199999"), g);
    EXPECT_EQ(ft_clear_coords(root), 0);
    ft_free_tree(root, nullptr);
}

} // namespace
