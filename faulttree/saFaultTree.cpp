// Fault tree elements, chunked element lists, types, printing, release and
// the change counter.
#include "saFaultTree.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "ftslab.h"

static long live_elements = 0;

/* ---- Change counter ---- */

static unsigned long generation = 1;

unsigned long ft_generation(void) {
    return generation;
}
void ft_touch(void) {
    ++generation;
}

// Elements, texts and list chunks are blocks of ft_slab_alloc, whose failure
// throws std::bad_alloc: a reader turns it into its error result; elsewhere
// it ends the program like a failed assertion would.

// A copy of the first n bytes of text, NUL-terminated, in a block of its own.
static char *copy_text(const char *text, size_t n) {
    char *s = static_cast<char *>(ft_slab_alloc(n + 1, 1));
    memcpy(s, text, n);
    s[n] = '\0';
    return s;
}

static char *copy_string(const char *text) {
    return copy_text(text, strlen(text));
}

// The name and description of a new element: one shared empty text, never
// freed, so that making an element that is named right away costs no
// allocation for them.
static char empty_text[1] = "";

static void free_text(char *s) {
    if (s != empty_text)
        ft_slab_free(s);
}

// Releases the text of one field (bit) of e unless it lives in e's own
// allocation; the field's next text has an allocation of its own.
static void drop_text(ft_element *e, char *s, unsigned bit) {
    if (e->inline_texts & bit)
        e->inline_texts &= ~bit;
    else
        free_text(s);
}

// Copy of text up to (not including) its first blank.
static char *copy_to_blank(const char *text) {
    const char *blank = strchr(text, ' ');
    return copy_text(text, blank ? size_t(blank - text) : strlen(text));
}

/* ---- Construction ---- */

// Counts e (zeroed, texts set) as made and gives it the rest of ft_init's
// values; releases e when its positions block cannot be had.
static ft_element *init_element(ft_element *e) {
    ++live_elements;
    e->type = FT_INVALID;
    e->page = FT_PAGE_NONE;
    try {
        e->coord = ft_coords_alloc();
    } catch (const std::bad_alloc &) {
        ft_free_element(e);
        throw;
    }
    return e;
}

// A zeroed element block.
static ft_element *new_element(size_t texts) {
    void *e = ft_slab_alloc(sizeof(ft_element) + texts, alignof(ft_element));
    return static_cast<ft_element *>(memset(e, 0, sizeof(ft_element)));
}

ft_element *ft_init(void) {
    ft_element *e = new_element(0);
    e->name = empty_text;
    e->desc = empty_text;
    return init_element(e);
}

// Copies n bytes of text to at and terminates them; returns at.
static char *put_text(char *at, const char *text, size_t n) {
    memcpy(at, text, n);
    at[n] = '\0';
    return at;
}

ft_element *ft_init_texts(const char *name, size_t name_len, const char *desc, size_t desc_len,
                          const char *prob, size_t prob_len) {
    const size_t texts = name_len + desc_len + (prob ? prob_len + 1 : 0) + 2;
    ft_element *e = new_element(texts);
    char *at = reinterpret_cast<char *>(e + 1);
    e->name = put_text(at, name, name_len);
    e->desc = put_text(at + name_len + 1, desc, desc_len);
    e->prob = prob ? put_text(at + name_len + desc_len + 2, prob, prob_len) : nullptr;
    e->inline_texts = FT_TEXT_NAME | FT_TEXT_DESC | (prob ? FT_TEXT_PROB : 0);
    return init_element(e);
}

ft_element *ft_fill(char *name, char *desc, ft_type type, ft_list *children) {
    ft_element *e = new_element(0);
    e->name = copy_string(name);
    e->desc = copy_string(desc);
    e->type = type;
    e->page = FT_PAGE_OFF;
    e->children = children;
    ++live_elements;
    return e;
}

ft_element *ft_new_basic(char *name, char *desc) {
    return ft_fill(name, desc, FT_BASIC, nullptr);
}
ft_element *ft_new_and(char *name, char *desc, ft_list *ch) {
    return ft_fill(name, desc, FT_AND, ch);
}
ft_element *ft_new_pand(char *name, char *desc, ft_list *ch) {
    return ft_fill(name, desc, FT_PAND, ch);
}
ft_element *ft_new_or(char *name, char *desc, ft_list *ch) {
    return ft_fill(name, desc, FT_OR, ch);
}
ft_element *ft_new_null(char *name, char *desc, ft_list *ch) {
    return ft_fill(name, desc, FT_NULL, ch);
}

/* ---- Setters ---- */

ft_element *ft_set_name(ft_element *e, const char *name) {
    assert(e != nullptr && name != nullptr);
    char *copy = copy_string(name); // name may be e->name itself
    drop_text(e, e->name, FT_TEXT_NAME);
    e->name = copy;
    return e;
}

ft_element *ft_set_desc(ft_element *e, const char *desc) {
    assert(e != nullptr && desc != nullptr);
    char *copy = copy_string(desc);
    drop_text(e, e->desc, FT_TEXT_DESC);
    e->desc = copy;
    return e;
}

ft_element *ft_set_type(ft_element *e, ft_type type) {
    assert(e != nullptr);
    if (e->type != type)
        ft_touch();
    e->type = type;
    return e;
}

ft_element *ft_set_prob(ft_element *e, const char *prob) {
    assert(e != nullptr && prob != nullptr);
    char *copy = copy_to_blank(prob);
    drop_text(e, e->prob, FT_TEXT_PROB);
    e->prob = copy;
    return e;
}

ft_element *ft_set_criticality(ft_element *e, const char *crit) {
    assert(e != nullptr && crit != nullptr);
    char *copy = copy_to_blank(crit);
    free_text(e->criticality);
    e->criticality = copy;
    return e;
}

ft_element *ft_set_page(ft_element *e, short page) {
    assert(e != nullptr);
    if (e->page != page)
        ft_touch();
    e->page = page;
    return e;
}

// Moves every item of list into e's detached list.
static void keep_detached(ft_element *e, ft_list *list) {
    for (ft_list *c = list; c != nullptr; c = c->next)
        for (int i = 0; i <= c->last; ++i) {
            if (e->detached == nullptr)
                e->detached = ft_list_init();
            ft_list_cons(c->items[i], e->detached);
        }
}

ft_element *ft_set_children(ft_element *e, ft_list *children) {
    assert(e != nullptr);
    if (e->children != nullptr && e->children != children) {
        keep_detached(e, e->children);
        ft_list_free(e->children);
    }
    e->children = children;
    ft_touch();
    return e;
}

ft_element *ft_add_child(ft_element *e, ft_element *child) {
    assert(e != nullptr);
    ft_list_cons(child, e->children);
    return e;
}

/* ---- Getters and predicates ---- */

char *ft_get_name(ft_element *e) {
    assert(e != nullptr);
    return e->name;
}
char *ft_get_desc(ft_element *e) {
    assert(e != nullptr);
    return e->desc;
}
ft_type ft_get_type(ft_element *e) {
    assert(e != nullptr);
    return e->type;
}
char *ft_get_prob(ft_element *e) {
    assert(e != nullptr);
    return e->prob;
}
char *ft_get_criticality(ft_element *e) {
    assert(e != nullptr);
    return e->criticality;
}
short ft_get_page(ft_element *e) {
    assert(e != nullptr);
    return e->page;
}
ft_list *ft_get_children(ft_element *e) {
    assert(e != nullptr);
    return e->children;
}

int ft_is_leaf(ft_element *e) {
    assert(e != nullptr);
    return e->type == FT_BASIC;
}

int ft_is_terminal(ft_element *e) {
    assert(e != nullptr);
    return e->type == FT_BASIC || e->page == FT_PAGE_ON;
}

int ft_has_children(ft_element *e) {
    return e->children != nullptr && !ft_list_is_empty(e->children);
}

int ft_type_known(int t) {
    return t >= 0 && t < FT_TYPE_COUNT;
}

static int is_gate_type(ft_type t) {
    return ft_type_known(t) && ft_kinds[t].keyword != nullptr;
}

const char *ft_type2string(ft_type t) {
    return ft_type_known(t) ? ft_kinds[t].name : "UNKNOWN";
}

ft_type ft_keyword2type(const char *word) {
    for (const ft_kind &k : ft_kinds)
        if (word != nullptr && k.keyword != nullptr && strcmp(word, k.keyword) == 0)
            return k.type;
    return FT_INVALID;
}

float ft_prob_to_float(char *text) {
    for (char *p = text; *p; ++p)
        if (*p == ',')
            *p = '.';
    return float(atof(text));
}

/* ---- Lists ---- */

static ft_list *new_chunk(int base) {
    ft_list *c = static_cast<ft_list *>(ft_slab_alloc(sizeof(ft_list), alignof(ft_list)));
    memset(c, 0, sizeof *c);
    c->last = -1;
    c->base = base;
    return c;
}

ft_list *ft_list_init(void) {
    ft_list *l = new_chunk(0);
    l->tail = l;
    l->cursor = l;
    return l;
}

ft_list *ft_list_cons(ft_element *e, ft_list *list) {
    assert(e != nullptr && list != nullptr);
    ft_list *t = list->tail;
    if (t->last == FT_LIST_CHUNK - 1) {
        t->next = new_chunk(t->base + FT_LIST_CHUNK);
        t = t->next;
        list->tail = t;
    }
    t->items[++t->last] = e;
    ft_touch();
    return list;
}

int ft_list_is_empty(ft_list *list) {
    assert(list != nullptr);
    return list->last == -1;
}

int ft_list_get_size(ft_list *list) {
    assert(list != nullptr);
    return list->tail->base + list->tail->last + 1;
}

ft_element *ft_list_get(ft_list *list, int position) {
    assert(list != nullptr);
    assert(position >= 0);
    ft_list *c = (list->cursor != nullptr && list->cursor->base <= position) ? list->cursor : list;
    while (position - c->base >= FT_LIST_CHUNK) {
        assert(c->next != nullptr);
        c = c->next;
    }
    list->cursor = c;
    return c->items[position - c->base];
}

int ft_list_find(ft_list *list, ft_element *e) {
    assert(list != nullptr && e != nullptr);
    for (ft_list *c = list; c != nullptr; c = c->next)
        for (int i = 0; i <= c->last; ++i)
            if (strcmp(c->items[i]->name, e->name) == 0)
                return c->base + i;
    return -1;
}

// Drops an empty final chunk (never the first) so that every chunk but the
// final one stays full.
static void trim_tail(ft_list *list) {
    ft_list *t = list->tail;
    if (t == list || t->last != -1)
        return;
    ft_list *prev = list;
    while (prev->next != t)
        prev = prev->next;
    prev->next = nullptr;
    list->tail = prev;
    ft_slab_free(t);
}

ft_element *ft_list_remove_at(ft_list *list, int position) {
    assert(list != nullptr);
    if (position < 0 || position >= ft_list_get_size(list))
        return nullptr;
    ft_list *c = list;
    while (position - c->base >= FT_LIST_CHUNK)
        c = c->next;
    int i = position - c->base;
    ft_element *removed = c->items[i];
    for (; c != nullptr; c = c->next, i = 0) {
        for (; i < c->last; ++i)
            c->items[i] = c->items[i + 1];
        ft_list *n = c->next;
        if (n != nullptr && n->last >= 0) {
            c->items[c->last] = n->items[0];
        } else {
            c->items[c->last--] = nullptr;
            break;
        }
    }
    list->cursor = list;
    trim_tail(list);
    ft_touch();
    return removed;
}

void ft_list_free(ft_list *list) {
    if (list != nullptr)
        ft_touch();
    while (list != nullptr) {
        ft_list *n = list->next;
        ft_slab_free(list);
        list = n;
    }
}

/* ---- Leaves ---- */

ft_list *ft_get_leaves(ft_element *e) {
    ft_list *out = ft_list_init();
    ft_get_leaves_lowlevel(e, out);
    return out;
}

void ft_get_leaves_lowlevel(ft_element *e, ft_list *out) {
    std::vector<ft_element *> stack{e};
    while (!stack.empty()) {
        ft_element *x = stack.back();
        stack.pop_back();
        if (x->type == FT_BASIC) {
            if (ft_list_find(out, x) < 0)
                ft_list_cons(x, out);
        } else if (is_gate_type(x->type) && x->children != nullptr) {
            for (int i = ft_list_get_size(x->children) - 1; i >= 0; --i)
                stack.push_back(ft_list_get(x->children, i));
        }
    }
}

/* ---- Printing ---- */

void ft_print_element(ft_element *e) {
    printf("Node:\n");
    printf("  name:        %s\n", e->name);
    printf("  description: %s\n", e->desc);
    printf("  type         %s\n\n", ft_type2string(e->type));
    for (int i = 0; e->coord != nullptr && i < FT_MAX_COORDS; ++i) {
        const ft_coord c = e->coord->coord[i];
        if (c.x == 0 || c.y == 0)
            break;
        printf("  coord.x       %d\n", c.x);
        printf("  coord.y       %d\n", c.y);
    }
}

void ft_print_list(ft_list *list) {
    printf("\nPrint list...\n");
    printf("List size: %d\n", ft_list_get_size(list));
    for (ft_list *c = list; c != nullptr; c = c->next)
        for (int i = 0; i <= c->last; ++i)
            ft_print_element(c->items[i]);
    printf("...done!\n\n");
}

void ft_print_tree(ft_element *root) {
    printf("Printing tree...\n");
    ft_print_tree_preorder_lowlevel(root, 1);
    printf("...done!\n\n");
}

// An element waiting to be printed, with its level.
struct print_frame {
    ft_element *e;
    int level;
};

void ft_print_tree_preorder_lowlevel(ft_element *e, int level) {
    std::vector<print_frame> stack{{e, level}};
    while (!stack.empty()) {
        const print_frame f = stack.back();
        stack.pop_back();
        printf("%-*s >>> Level %d\n", 2 * f.level, " ", f.level);
        ft_print_element(f.e);
        if (!is_gate_type(f.e->type) || f.e->children == nullptr)
            continue;
        // The children, reversed on the stack: the first one is printed next.
        const size_t first = stack.size();
        for (ft_list *c = f.e->children; c != nullptr; c = c->next)
            for (int i = 0; i <= c->last; ++i)
                stack.push_back({c->items[i], f.level + 1});
        std::reverse(stack.begin() + first, stack.end());
    }
}

/* ---- Release ---- */

void ft_free_element(ft_element *e) {
    if (e == nullptr)
        return;
    drop_text(e, e->name, FT_TEXT_NAME);
    drop_text(e, e->desc, FT_TEXT_DESC);
    drop_text(e, e->prob, FT_TEXT_PROB);
    free_text(e->criticality);
    ft_coords_release(e->coord);
    ft_list_free(e->children);
    if (e->detached != e->children)
        ft_list_free(e->detached);
    ft_slab_free(e);
    --live_elements;
    ft_touch(); // its address may come back as a different element
}

// Appends e to the release list that ends at *tail, unless it is on it.
static void gather(ft_element *e, ft_element **&tail) {
    if (e == nullptr || e->walk_mark)
        return;
    e->walk_mark = 1;
    e->release_next = nullptr;
    *tail = e;
    tail = &e->release_next;
}

static void gather_list(ft_list *list, ft_element **&tail) {
    for (ft_list *c = list; c != nullptr; c = c->next)
        for (int i = 0; i <= c->last; ++i)
            gather(c->items[i], tail);
}

// Every element reached is first put on a list linked through the elements
// themselves (marked, so each goes on once), and the list is walked as it
// grows; only then is anything released, as a later element's lists may
// still name an earlier one.
void ft_free_tree(ft_element *root, ft_list *events) {
    ft_element *all = nullptr, **tail = &all;
    gather(root, tail);
    gather_list(events, tail);
    for (ft_element *e = all; e != nullptr; e = e->release_next) {
        gather_list(e->children, tail);
        gather_list(e->detached, tail);
    }
    while (all != nullptr) {
        ft_element *next = all->release_next;
        ft_free_element(all);
        all = next;
    }
    ft_list_free(events);
}

long ft_live_elements(void) {
    return live_elements;
}
