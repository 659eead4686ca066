// Generic list and string list: links, cursors, walks, sort, unique.
#include "dlist.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Items are C strings; "b1" and "b2" compare equal (first letter only).
int by_first_letter(const void *a, const void *b) {
    return *static_cast<const char *>(a) - *static_cast<const char *>(b);
}

// Checks head, tail, count, owner and prev links; returns the items in order.
std::string contents(dlist *list) {
    std::string out;
    dlist_node *prev = nullptr;
    int n = 0;
    for (dlist_node *node = list->head; node; prev = node, node = node->next, n++) {
        EXPECT_EQ(prev, node->prev);
        EXPECT_EQ(list, node->owner);
        out += (out.empty() ? "" : ",") + std::string(static_cast<const char *>(node->data));
    }
    EXPECT_EQ(prev, list->tail);
    EXPECT_EQ(n, list->count);
    return out;
}

dlist *make(std::initializer_list<const char *> items) {
    dlist *list = dlist_new();
    for (const char *s : items)
        dlist_append(list, const_cast<char *>(s), nullptr);
    return list;
}

int released;

TEST(Dlist, SortIsStableAndUniqueKeepsFirst) {
    // clang-format off
    const struct { std::initializer_list<const char *> in; const char *sorted; } cases[] = {
        {{}, ""},
        {{"b1", "a", "b2"}, "a,b1,b2"},
        {{"d", "c1", "b", "c2", "a", "c3", "e"}, "a,b,c1,c2,c3,d,e"},
    };
    // clang-format on
    for (const auto &c : cases) {
        dlist *list = make(c.in);
        dlist_sort(list, by_first_letter);
        EXPECT_EQ(c.sorted, contents(list));
        dlist_free(list, nullptr);
    }
    dlist *list = make({"1a", "1b", "2", "1c"});
    released = 0;
    dlist_unique(list, by_first_letter, [](void *) { ++released; });
    EXPECT_EQ("1a,2,1c", contents(list));
    EXPECT_EQ(1, released);
    dlist_free(list, nullptr);
}

int walk_code;
std::string walked;
// Returns walk_code at the item equal to arg ("*": every item).
int walker(void *item, void *arg) {
    walked += static_cast<const char *>(item);
    bool hit = !strcmp(static_cast<char *>(arg), "*") ||
               !strcmp(static_cast<char *>(item), static_cast<char *>(arg));
    return hit ? walk_code : DLIST_WALK_GO_ON;
}

TEST(Dlist, WalkCodes) {
    // clang-format off
    const struct { int code; const char *at; bool rev; int result; const char *seen, *left; } cases[] = {
        {7, "b", false, -2, "ab", "a,b,c"},
        {DLIST_WALK_STOP, "b", true, DLIST_WALK_STOP, "cb", "a,b,c"},
        {DLIST_WALK_REMOVE, "b", false, 0, "abc", "a,c"},
        {DLIST_WALK_REMOVE, "b", true, 0, "cba", "a,c"},
        {DLIST_WALK_REMOVE, "*", false, 0, "abc", ""},
    };
    // clang-format on
    for (const auto &c : cases) {
        dlist *list = make({"a", "b", "c"});
        walk_code = c.code;
        walked.clear();
        void *arg = const_cast<char *>(c.at);
        EXPECT_EQ(c.result,
                  c.rev ? dlist_foreach_rev(list, walker, arg) : dlist_foreach(list, walker, arg));
        EXPECT_EQ(c.seen, walked);
        EXPECT_EQ(c.left, contents(list));
        dlist_free(list, nullptr);
    }
}

TEST(Dlist, CursorInsertAndRemove) {
    // steps: forward steps from the front of a,b,c before the insertion of x;
    // next / prev: what a forward / backward step from the cursor then returns.
    // clang-format off
    const struct { int steps; bool rev; const char *list, *next, *prev; } cases[] = {
        {0, false, "x,a,b,c", "a", "x"}, {0, true, "x,a,b,c", "a", "x"},
        {1, false, "a,x,b,c", "b", "x"}, {1, true, "a,x,b,c", "x", "a"},
        {3, false, "a,b,c,x", "x", "c"}, {3, true, "a,b,c,x", "x", "c"},
    };
    // clang-format on
    void *item, *back;
    for (const auto &c : cases) {
        dlist *list = make({"a", "b", "c"});
        dlist_iter *it = dlist_iter_front(list);
        for (int i = 0; i < c.steps; i++)
            dlist_iter_next(it, &item, nullptr);
        (c.rev ? dlist_iter_insert_rev : dlist_iter_insert)(it, const_cast<char *>("x"), nullptr);
        EXPECT_EQ(c.list, contents(list));
        dlist_iter copy = *it;
        dlist_iter_next(it, &item, nullptr);
        dlist_iter_prev(&copy, &back, nullptr);
        EXPECT_STREQ(c.next, static_cast<char *>(item)) << c.steps << c.rev;
        EXPECT_STREQ(c.prev, static_cast<char *>(back)) << c.steps << c.rev;
        dlist_iter_free(it);
        dlist_free(list, nullptr);
    }
    // Removal takes the node the last step returned; the cursor closes up.
    dlist *list = make({"a", "b", "c"});
    dlist_iter *it = dlist_iter_at(list->head->next, &item, DLIST_AT_BEFORE | DLIST_AT_AFTER);
    dlist_iter *end = dlist_iter_at(list->tail, &back, DLIST_AT_AFTER);
    EXPECT_EQ(-3, dlist_iter_remove_rev(end, &back));
    dlist_iter_free(end);
    dlist_iter_next(it, &item, nullptr);
    EXPECT_EQ(0, dlist_iter_remove(it, &item));
    EXPECT_EQ(0, dlist_iter_remove_rev(it, &back));
    EXPECT_EQ("b,c", std::string(static_cast<char *>(item)) + "," + static_cast<char *>(back));
    EXPECT_EQ("a", contents(list));
    EXPECT_EQ(-3, dlist_iter_remove_rev(it, &item));
    EXPECT_EQ(nullptr, item);
    EXPECT_EQ(nullptr, dlist_iter_at(list->head, &item, 0));
    dlist_iter_free(it);
    dlist_free(list, nullptr);
}

TEST(Strlist, OwnsIndependentCopiesAndPops) {
    strlist *list = strlist_new();
    char buf[3] = "ab";
    strlist_append(list, buf, sizeof buf, nullptr);
    strlist_prepend(list, "z", 2, nullptr);
    buf[0] = 'X';
    void *item;
    for (const char *want : {"z", "ab"}) {
        ASSERT_EQ(0, strlist_pop(list, &item));
        EXPECT_STREQ(want, static_cast<char *>(item));
        free(item);
    }
    EXPECT_EQ("", contents(list));
    EXPECT_EQ(-1, strlist_pop(list, &item));
    EXPECT_EQ(nullptr, item);
    strlist_free(list);
}

} // namespace
