// Generic list and string list: links, cursors, walks, sort, unique.
#include "dlist.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Items are short C strings; "b1" and "b2" compare equal (first letter only).
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
        out += out.empty() ? "" : ",";
        out += static_cast<const char *>(node->data);
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
void count_release(void *) {
    released++;
}

TEST(Dlist, EndsAndPops) {
    dlist *list = dlist_new();
    void *item = &item;
    dlist_node *node = reinterpret_cast<dlist_node *>(&item);
    EXPECT_EQ(-1, dlist_pop_head(list, &item));
    EXPECT_EQ(nullptr, item);
    item = &item;
    EXPECT_EQ(-1, dlist_tail(list, &item, &node));
    EXPECT_EQ(nullptr, item);
    EXPECT_EQ(nullptr, node);

    char a[] = "a", b[] = "b", c[] = "c";
    dlist_append(list, b, nullptr);
    dlist_prepend(list, a, nullptr);
    dlist_append(list, c, &node);
    EXPECT_EQ("a,b,c", contents(list));
    EXPECT_EQ(list, dlist_node_owner(node));
    EXPECT_EQ(nullptr, dlist_node_owner(nullptr));
    EXPECT_EQ(0, dlist_pop_tail(list, &item));
    EXPECT_EQ(c, item);
    EXPECT_EQ(0, dlist_head(list, &item, nullptr));
    EXPECT_EQ(a, item);
    dlist_pop_head(list, &item);
    dlist_pop_head(list, &item);
    EXPECT_EQ("", contents(list));
    EXPECT_EQ(nullptr, list->head);
    dlist_free(list, nullptr);
}

TEST(Dlist, SortIsStableAndUniqueKeepsFirst) {
    const struct {
        std::initializer_list<const char *> in;
        const char *sorted;
    } cases[] = {
        {{}, ""},
        {{"z"}, "z"},
        {{"b1", "a", "b2"}, "a,b1,b2"},
        {{"d", "c1", "b", "c2", "a", "c3", "e"}, "a,b,c1,c2,c3,d,e"},
    };
    for (const auto &c : cases) {
        dlist *list = make(c.in);
        dlist_sort(list, by_first_letter);
        EXPECT_EQ(c.sorted, contents(list));
        dlist_free(list, nullptr);
    }
    dlist *list = make({"1a", "1b", "2", "1c"});
    released = 0;
    dlist_unique(list, by_first_letter, count_release);
    EXPECT_EQ("1a,2,1c", contents(list));
    EXPECT_EQ(1, released);
    dlist_free(list, nullptr);
}

int walk_code;
std::string walked;
int walker(void *item, void *arg) {
    walked += static_cast<const char *>(item);
    return strcmp(static_cast<const char *>(item), static_cast<const char *>(arg)) == 0
               ? walk_code
               : DLIST_WALK_GO_ON;
}
int remove_all(void *, void *) {
    return DLIST_WALK_REMOVE;
}

TEST(Dlist, WalkCodes) {
    const struct {
        int code;
        const char *at;
        bool rev;
        int result;
        const char *seen, *left;
    } cases[] = {
        {7, "b", false, -2, "ab", "a,b,c"},
        {DLIST_WALK_STOP, "b", false, DLIST_WALK_STOP, "ab", "a,b,c"},
        {DLIST_WALK_REMOVE, "b", false, 0, "abc", "a,c"},
        {DLIST_WALK_REMOVE, "b", true, 0, "cba", "a,c"},
        {DLIST_WALK_STOP, "b", true, DLIST_WALK_STOP, "cb", "a,b,c"},
    };
    for (const auto &c : cases) {
        dlist *list = make({"a", "b", "c"});
        walk_code = c.code;
        walked.clear();
        void *arg = const_cast<char *>(c.at);
        int rc = c.rev ? dlist_foreach_rev(list, walker, arg) : dlist_foreach(list, walker, arg);
        EXPECT_EQ(c.result, rc);
        EXPECT_EQ(c.seen, walked);
        EXPECT_EQ(c.left, contents(list));
        dlist_free(list, nullptr);
    }
    dlist *list = make({"a", "b", "c"});
    EXPECT_EQ(0, dlist_foreach(list, remove_all, nullptr));
    EXPECT_EQ("", contents(list));
    dlist_free(list, nullptr);
}

TEST(Dlist, CursorInsertAndRemove) {
    char x[] = "x";
    void *item;
    dlist_node *node;
    // Insert at the end of three: the next forward step returns the new item.
    dlist *list = make({"a", "b", "c"});
    dlist_iter *it = dlist_iter_back(list);
    dlist_iter_insert(it, x, nullptr);
    EXPECT_EQ(0, dlist_iter_next(it, &item, nullptr));
    EXPECT_EQ(x, item);
    EXPECT_EQ("a,b,c,x", contents(list));
    dlist_iter_free(it);
    // Insert in the middle: forward leaves the cursor after, reverse before.
    dlist_head(list, &item, &node);
    it = dlist_iter_at(node->next, &item, DLIST_AT_BEFORE | DLIST_AT_AFTER);
    EXPECT_STREQ("b", static_cast<char *>(item));
    dlist_iter_insert(it, const_cast<char *>("m"), nullptr);
    dlist_iter_insert_rev(it, const_cast<char *>("n"), nullptr);
    EXPECT_EQ("a,m,n,b,c,x", contents(list));
    EXPECT_EQ(0, dlist_iter_next(it, &item, nullptr));
    EXPECT_STREQ("n", static_cast<char *>(item));
    // Remove what the step returned; the cursor closes up around it.
    EXPECT_EQ(0, dlist_iter_remove(it, &item));
    EXPECT_STREQ("n", static_cast<char *>(item));
    EXPECT_EQ(0, dlist_iter_remove_rev(it, &item));
    EXPECT_STREQ("b", static_cast<char *>(item));
    EXPECT_EQ("a,m,c,x", contents(list));
    EXPECT_EQ(0, dlist_iter_prev(it, &item, nullptr));
    EXPECT_STREQ("m", static_cast<char *>(item));
    dlist_iter_free(it);
    EXPECT_EQ(nullptr, dlist_iter_at(node, &item, 0));
    // A fresh front cursor has nothing behind it.
    it = dlist_iter_front(list);
    EXPECT_EQ(-3, dlist_iter_remove(it, &item));
    EXPECT_EQ(nullptr, item);
    dlist_iter_insert(it, const_cast<char *>("f"), nullptr);
    EXPECT_EQ(0, dlist_iter_prev(it, &item, nullptr));
    EXPECT_STREQ("f", static_cast<char *>(item));
    EXPECT_EQ("f,a,m,c,x", contents(list));
    dlist_iter_free(it);
    dlist_free(list, nullptr);
}

TEST(Strlist, OwnsIndependentCopies) {
    strlist *list = strlist_new();
    char buf[3] = "ab";
    strlist_append(list, buf, sizeof buf, nullptr);
    strlist_prepend(list, "z", 2, nullptr);
    buf[0] = 'X';
    EXPECT_EQ(2, strlist_size(list));
    dlist_iter *it = strlist_iter(list);
    void *item;
    std::string seen;
    while (strlist_next(it, &item, nullptr) == 0)
        seen += std::string(static_cast<char *>(item)) + ";";
    strlist_iter_free(it);
    EXPECT_EQ("z;ab;", seen);

    strlist *copy = strlist_copy(list, nullptr);
    EXPECT_EQ("z,ab", contents(copy));
    dlist_free(copy, nullptr);
    ASSERT_EQ(0, strlist_pop(list, &item));
    EXPECT_STREQ("z", static_cast<char *>(item));
    free(item);
    strlist_free(list);
}

} // namespace
