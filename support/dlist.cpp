// Generic doubly linked list and string list.
#include "dlist.h"

#include <cstdlib>
#include <cstring>

// A step or removal of a cursor, used by the walks in either direction.
typedef int (*step_fn)(dlist_iter *it, void **item, dlist_node **out);
typedef int (*remove_fn)(dlist_iter *it, void **item);

static dlist_node *node_new(dlist *list, void *item) {
    dlist_node *node = static_cast<dlist_node *>(malloc(sizeof *node));
    if (node) {
        node->owner = list;
        node->prev = nullptr;
        node->next = nullptr;
        node->data = item;
    }
    return node;
}

// Links node between prev and next (either may be NULL at an end).
static void link_between(dlist *list, dlist_node *node, dlist_node *prev, dlist_node *next) {
    node->prev = prev;
    node->next = next;
    if (prev)
        prev->next = node;
    else
        list->head = node;
    if (next)
        next->prev = node;
    else
        list->tail = node;
    list->count++;
}

// Unlinks node, frees it and returns its item.
static void *unlink_node(dlist_node *node) {
    dlist *list = node->owner;
    if (node->prev)
        node->prev->next = node->next;
    else
        list->head = node->next;
    if (node->next)
        node->next->prev = node->prev;
    else
        list->tail = node->prev;
    list->count--;
    void *item = node->data;
    free(node);
    return item;
}

// Gives node's item (and node) and 0, or NULLs and -1 for no node.
static int give(dlist_node *node, void **item, dlist_node **out) {
    *item = node ? node->data : nullptr;
    if (out)
        *out = node;
    return node ? 0 : -1;
}

static dlist_iter *iter_new(dlist *list, dlist_node *prev, dlist_node *next) {
    dlist_iter *it = static_cast<dlist_iter *>(malloc(sizeof *it));
    if (it) {
        it->list = list;
        it->prev = prev;
        it->next = next;
    }
    return it;
}

dlist *dlist_new(void) {
    dlist *list = static_cast<dlist *>(malloc(sizeof *list));
    if (list) {
        list->head = nullptr;
        list->tail = nullptr;
        list->count = 0;
    }
    return list;
}

int dlist_free(dlist *list, dlist_release_fn release) {
    dlist_node *node = list->head;
    while (node) {
        dlist_node *next = node->next;
        if (release)
            release(node->data);
        free(node);
        node = next;
    }
    free(list);
    return 0;
}

void *dlist_copy_identity(void *item) {
    return item;
}

dlist *dlist_copy(dlist *list, dlist_copy_fn copy) {
    if (!copy)
        copy = dlist_copy_identity;
    dlist *out = dlist_new();
    if (!out)
        return nullptr;
    for (dlist_node *node = list->head; node; node = node->next) {
        if (dlist_append(out, copy(node->data), nullptr) != 0) {
            dlist_free(out, nullptr);
            return nullptr;
        }
    }
    return out;
}

int dlist_prepend(dlist *list, void *item, dlist_node **out) {
    dlist_node *node = node_new(list, item);
    if (!node)
        return -4;
    link_between(list, node, nullptr, list->head);
    if (out)
        *out = node;
    return 0;
}

int dlist_append(dlist *list, void *item, dlist_node **out) {
    dlist_node *node = node_new(list, item);
    if (!node)
        return -4;
    link_between(list, node, list->tail, nullptr);
    if (out)
        *out = node;
    return 0;
}

int dlist_head(dlist *list, void **item, dlist_node **out) {
    return give(list->head, item, out);
}

int dlist_tail(dlist *list, void **item, dlist_node **out) {
    return give(list->tail, item, out);
}

int dlist_size(dlist *list) {
    return list->count;
}

int dlist_pop_head(dlist *list, void **item) {
    *item = nullptr;
    if (!list->head)
        return -1;
    *item = unlink_node(list->head);
    return 0;
}

int dlist_pop_tail(dlist *list, void **item) {
    *item = nullptr;
    if (!list->tail)
        return -1;
    *item = unlink_node(list->tail);
    return 0;
}

dlist *dlist_node_owner(dlist_node *node) {
    return node ? node->owner : nullptr;
}

void *dlist_node_data(dlist_node *node) {
    return node->data;
}

int dlist_remove_node(dlist_node *node, void **item) {
    *item = unlink_node(node);
    return 0;
}

// Merges two sorted chains; a tie takes the left chain's node.
static dlist_node *merge(dlist_node *left, dlist_node *right, dlist_compare_fn compare) {
    dlist_node first = {};
    dlist_node *last = &first;
    while (left && right) {
        dlist_node **from = compare(left->data, right->data) > 0 ? &right : &left;
        last->next = *from;
        last = *from;
        *from = (*from)->next;
    }
    last->next = left ? left : right;
    return first.next;
}

dlist_node *dlist_merge_sort(dlist_node *first, dlist_compare_fn compare, int n) {
    if (n < 2)
        return first;
    int half = n / 2;
    dlist_node *left_end = first;
    for (int i = 1; i < half; i++)
        left_end = left_end->next;
    dlist_node *right = left_end->next;
    left_end->next = nullptr;
    dlist_node *left = dlist_merge_sort(first, compare, half);
    right = dlist_merge_sort(right, compare, n - half);
    return merge(left, right, compare);
}

int dlist_sort(dlist *list, dlist_compare_fn compare) {
    list->head = dlist_merge_sort(list->head, compare, list->count);
    dlist_node *prev = nullptr;
    for (dlist_node *node = list->head; node; node = node->next) {
        node->prev = prev;
        prev = node;
    }
    list->tail = prev;
    return 0;
}

int dlist_unique(dlist *list, dlist_compare_fn compare, dlist_release_fn release) {
    if (list->count < 2)
        return 0;
    dlist_node *kept = list->head;
    dlist_node *node = kept->next;
    while (node) {
        dlist_node *next = node->next;
        if (compare(node->data, kept->data) != 0) {
            kept = node;
        } else {
            void *item = unlink_node(node);
            if (release)
                release(item);
        }
        node = next;
    }
    return 0;
}

dlist_iter *dlist_iter_front(dlist *list) {
    return iter_new(list, nullptr, list->head);
}

dlist_iter *dlist_iter_back(dlist *list) {
    return iter_new(list, list->tail, nullptr);
}

dlist_iter *dlist_iter_at(dlist_node *node, void **item, int flags) {
    *item = node->data;
    if (flags & DLIST_AT_BEFORE)
        return iter_new(node->owner, node->prev, node);
    if (flags & DLIST_AT_AFTER)
        return iter_new(node->owner, node, node->next);
    return nullptr;
}

int dlist_iter_next(dlist_iter *it, void **item, dlist_node **out) {
    dlist_node *node = it->next;
    if (node) {
        it->prev = node;
        it->next = node->next;
    }
    return give(node, item, out);
}

int dlist_iter_prev(dlist_iter *it, void **item, dlist_node **out) {
    dlist_node *node = it->prev;
    if (node) {
        it->next = node;
        it->prev = node->prev;
    }
    return give(node, item, out);
}

// Links a new node between the cursor's two sides; NULL when out of memory.
static dlist_node *insert_at(dlist_iter *it, void *item, dlist_node **out) {
    dlist_node *node = node_new(it->list, item);
    if (!node)
        return nullptr;
    link_between(it->list, node, it->prev, it->next);
    if (out)
        *out = node;
    return node;
}

int dlist_iter_insert(dlist_iter *it, void *item, dlist_node **out) {
    int at_end = it->prev && !it->next;
    dlist_node *node = insert_at(it, item, out);
    if (!node)
        return -4;
    if (at_end)
        it->next = node;
    else
        it->prev = node;
    return 0;
}

int dlist_iter_insert_rev(dlist_iter *it, void *item, dlist_node **out) {
    int at_front = !it->prev;
    dlist_node *node = insert_at(it, item, out);
    if (!node)
        return -4;
    if (at_front)
        it->prev = node;
    else
        it->next = node;
    return 0;
}

int dlist_iter_remove(dlist_iter *it, void **item) {
    dlist_node *node = it->prev;
    *item = nullptr;
    if (!node)
        return -3;
    it->prev = node->prev;
    *item = unlink_node(node);
    return 0;
}

int dlist_iter_remove_rev(dlist_iter *it, void **item) {
    dlist_node *node = it->next;
    *item = nullptr;
    if (!node)
        return -3;
    it->next = node->next;
    *item = unlink_node(node);
    return 0;
}

int dlist_iter_free(dlist_iter *it) {
    free(it);
    return 0;
}

// Steps the cursor through the list, calling callback for each item; the
// cursor is released whatever ends the walk.
static int dlist_walk(dlist_walk_fn callback, void *arg, dlist_iter *it, step_fn step,
                      remove_fn remove) {
    int result = 0;
    void *item;
    while (step(it, &item, nullptr) == 0) {
        int code = callback(item, arg);
        if (code == DLIST_WALK_GO_ON)
            continue;
        if (code == DLIST_WALK_REMOVE) {
            remove(it, &item);
            continue;
        }
        result = code == DLIST_WALK_STOP ? DLIST_WALK_STOP : -2;
        break;
    }
    dlist_iter_free(it);
    return result;
}

int dlist_foreach(dlist *list, dlist_walk_fn callback, void *arg) {
    dlist_iter *it = dlist_iter_front(list);
    if (!it)
        return -4;
    return dlist_walk(callback, arg, it, dlist_iter_next, dlist_iter_remove);
}

int dlist_foreach_rev(dlist *list, dlist_walk_fn callback, void *arg) {
    dlist_iter *it = dlist_iter_back(list);
    if (!it)
        return -4;
    return dlist_walk(callback, arg, it, dlist_iter_prev, dlist_iter_remove_rev);
}

strlist *strlist_new(void) {
    return dlist_new();
}

int strlist_free(strlist *list) {
    return dlist_free(list, free);
}

strlist *strlist_copy(strlist *list, dlist_copy_fn copy) {
    return dlist_copy(list, copy);
}

// A new allocation holding the size bytes at bytes; NULL when out of memory.
static void *bytes_dup(const void *bytes, size_t size) {
    void *copy = malloc(size ? size : 1);
    if (copy && size)
        memcpy(copy, bytes, size);
    return copy;
}

int strlist_prepend(strlist *list, const void *bytes, size_t size, dlist_node **out) {
    void *copy = bytes_dup(bytes, size);
    if (!copy)
        return -4;
    int rc = dlist_prepend(list, copy, out);
    if (rc != 0)
        free(copy);
    return rc;
}

int strlist_append(strlist *list, const void *bytes, size_t size, dlist_node **out) {
    void *copy = bytes_dup(bytes, size);
    if (!copy)
        return -4;
    int rc = dlist_append(list, copy, out);
    if (rc != 0)
        free(copy);
    return rc;
}

int strlist_size(strlist *list) {
    return dlist_size(list);
}

int strlist_pop(strlist *list, void **item) {
    return dlist_pop_head(list, item);
}

dlist_iter *strlist_iter(strlist *list) {
    return dlist_iter_front(list);
}

int strlist_next(dlist_iter *it, void **item, dlist_node **out) {
    return dlist_iter_next(it, item, out);
}

int strlist_iter_free(dlist_iter *it) {
    return dlist_iter_free(it);
}
