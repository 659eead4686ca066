// Generic doubly linked list of untyped items, with cursors, walks, copy,
// stable merge sort and removal of adjacent duplicates; and a string list of
// private byte copies built on it.
//
// Ownership: a list owns its nodes, never its items, except where a release
// function is passed (dlist_free, dlist_unique). A cursor belongs to whoever
// asked for it and is released with dlist_iter_free. A strlist owns its items.
//
// Result codes: 0 success; -1 the list is empty or the cursor is at its end
// in the direction of the step; -2 a walk's callback returned an unknown
// code; -3 no node to remove at the cursor; -4 out of memory (nothing
// changed). No operation checks its list, node or cursor for NULL, except
// dlist_node_owner.
#ifndef FTD_DLIST_H
#define FTD_DLIST_H

#include <cstddef>
#include <cstdint>

struct dlist;

struct dlist_node {
    dlist *owner;     // the list that holds the node
    dlist_node *prev; // NULL at the head
    dlist_node *next; // NULL at the tail
    void *data;       // the item
};

struct dlist {
    dlist_node *head; // NULL when empty
    dlist_node *tail; // NULL when empty
    int32_t count;
};

// A cursor sits between two nodes.
struct dlist_iter {
    dlist *list;
    dlist_node *prev; // node just before the cursor, NULL at the front
    dlist_node *next; // node just after the cursor, NULL at the end
};

// Greater than 0 when a sorts after b, 0 when the two are equal.
typedef int (*dlist_compare_fn)(const void *a, const void *b);
// Releases an item.
typedef void (*dlist_release_fn)(void *item);
// Returns the item to store in a copy.
typedef void *(*dlist_copy_fn)(void *item);
// Walk callback: returns DLIST_WALK_GO_ON, DLIST_WALK_STOP or DLIST_WALK_REMOVE.
typedef int (*dlist_walk_fn)(void *item, void *arg);

enum { DLIST_WALK_GO_ON = 0, DLIST_WALK_STOP = 3, DLIST_WALK_REMOVE = 4 };

// Flags of dlist_iter_at.
enum { DLIST_AT_BEFORE = 1, DLIST_AT_AFTER = 2 };

// New empty list; NULL when out of memory.
dlist *dlist_new(void);

// Releases every node from head to tail, passing its item to release first
// when release is not NULL, then the list itself. Returns 0.
int dlist_free(dlist *list, dlist_release_fn release);

// Returns its argument: the copy function that shares the items.
void *dlist_copy_identity(void *item);

// New list holding copy(item) for each item in order (the items themselves
// when copy is NULL). NULL when out of memory (nothing is leaked; items
// already copied are not released).
dlist *dlist_copy(dlist *list, dlist_copy_fn copy);

// New node holding item at the head / tail; *out (when out is not NULL)
// receives it. Returns 0, or -4 when out of memory.
int dlist_prepend(dlist *list, void *item, dlist_node **out);
int dlist_append(dlist *list, void *item, dlist_node **out);

// Item (and node, when out is not NULL) of the head / tail and 0; on an empty
// list both are set to NULL and the result is -1.
int dlist_head(dlist *list, void **item, dlist_node **out);
int dlist_tail(dlist *list, void **item, dlist_node **out);

// Number of items. Cannot fail.
int dlist_size(dlist *list);

// Removes the head / tail node and gives its item (now the caller's); 0, or
// -1 with *item NULL on an empty list.
int dlist_pop_head(dlist *list, void **item);
int dlist_pop_tail(dlist *list, void **item);

// The node's list; NULL for a NULL node.
dlist *dlist_node_owner(dlist_node *node);

// The node's item.
void *dlist_node_data(dlist_node *node);

// Takes node out of its list and frees it; *item receives its item. Returns 0.
// Cursors standing next to the node must not be used afterwards.
int dlist_remove_node(dlist_node *node, void **item);

// Stable merge sort of the chain of n nodes starting at first, linked by next
// (the last next is NULL). Returns the new first node; prev links are left
// stale. Allocates nothing.
dlist_node *dlist_merge_sort(dlist_node *first, dlist_compare_fn compare, int n);

// Sorts the list stably with dlist_merge_sort and rebuilds prev links and
// tail. Returns 0.
int dlist_sort(dlist *list, dlist_compare_fn compare);

// Removes every item that compares equal to the item kept before it, passing
// it to release when release is not NULL. Returns 0.
int dlist_unique(dlist *list, dlist_compare_fn compare, dlist_release_fn release);

// New cursor before the head / after the tail; NULL when out of memory.
dlist_iter *dlist_iter_front(dlist *list);
dlist_iter *dlist_iter_back(dlist *list);

// Always sets *item to the node's item. flags with DLIST_AT_BEFORE: new
// cursor just before the node (a forward step returns it first); else with
// DLIST_AT_AFTER: just after it (a backward step returns it first); else
// NULL. NULL also when out of memory.
dlist_iter *dlist_iter_at(dlist_node *node, void **item, int flags);

// Steps over the node after / before the cursor: gives its item (and node,
// when out is not NULL) and returns 0; at the end / front both are set to
// NULL and the result is -1.
int dlist_iter_next(dlist_iter *it, void **item, dlist_node **out);
int dlist_iter_prev(dlist_iter *it, void **item, dlist_node **out);

// Inserts a new node holding item at the cursor; *out (when out is not NULL)
// receives it. Returns 0, or -4 when out of memory. Where the cursor stands
// afterwards:
//   cursor at the front (also an empty list): new head; cursor just after it.
//   cursor between two nodes: dlist_iter_insert leaves the cursor just after
//     the new node, dlist_iter_insert_rev just before it.
//   cursor at the end: new tail; cursor just before it.
int dlist_iter_insert(dlist_iter *it, void *item, dlist_node **out);
int dlist_iter_insert_rev(dlist_iter *it, void *item, dlist_node **out);

// Removes the node just before / just after the cursor (the one the last
// forward / backward step returned) and gives its item; the cursor keeps its
// other side. 0, or -3 with *item NULL when there is no node there.
int dlist_iter_remove(dlist_iter *it, void **item);
int dlist_iter_remove_rev(dlist_iter *it, void **item);

// Releases the cursor. Returns 0.
int dlist_iter_free(dlist_iter *it);

// Calls callback(item, arg) from head to tail / tail to head. Code 0 goes
// on, 3 stops (result 3), 4 removes the item (not released: the callback owns
// it) and goes on; any other code stops with -2 at that item. 0 when the walk
// reaches the end, -4 when out of memory.
int dlist_foreach(dlist *list, dlist_walk_fn callback, void *arg);
int dlist_foreach_rev(dlist *list, dlist_walk_fn callback, void *arg);

// String list: a dlist whose items are private allocations of exactly the
// bytes given (no terminator added: pass the length including the NUL of a
// C string). The list owns its items.
typedef dlist strlist;

// New empty string list; NULL when out of memory.
strlist *strlist_new(void);

// Releases every item and the list. Returns 0.
int strlist_free(strlist *list);

// dlist_copy. With copy NULL the two lists share the items and only one of
// them may be released with strlist_free.
strlist *strlist_copy(strlist *list, dlist_copy_fn copy);

// Prepends / appends a new allocation holding a copy of the size bytes at
// bytes; *out (when out is not NULL) receives the node. Returns 0, or -4 when
// out of memory.
int strlist_prepend(strlist *list, const void *bytes, size_t size, dlist_node **out);
int strlist_append(strlist *list, const void *bytes, size_t size, dlist_node **out);

// Number of items. Cannot fail.
int strlist_size(strlist *list);

// Removes the head item and gives it to the caller, who then frees it; 0, or
// -1 with *item NULL on an empty list.
int strlist_pop(strlist *list, void **item);

// Cursor before the head; NULL when out of memory. Release it with
// strlist_iter_free.
dlist_iter *strlist_iter(strlist *list);

// dlist_iter_next: 0, or -1 at the end.
int strlist_next(dlist_iter *it, void **item, dlist_node **out);

// Releases the cursor. Returns 0.
int strlist_iter_free(dlist_iter *it);

#endif
