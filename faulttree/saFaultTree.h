// The fault tree in memory: elements, chunked lists, types, drawn positions
// and the searches over the tree. No toolkit header is included here.
//
// A basic event exists once: every gate that names it holds the same element
// pointer. A loaded tree is a directed acyclic graph drawn as a tree.
// Preconditions are checked with assert(); they are programming errors, not
// input errors. An operation that allocates (making an element, copying a
// text, growing a list) throws std::bad_alloc when memory is exhausted; the
// readers turn it into their error result. Elements, their texts and list
// chunks are blocks of the model's slabs (ftslab.h), released only through
// the operations here.
#ifndef SAFAULTTREE_H
#define SAFAULTTREE_H

#include <cstddef>

typedef enum {
    FT_INVALID = 0,
    FT_BASIC = 1,
    FT_AND = 2,
    FT_PAND = 3,
    FT_OR = 4,
    FT_NULL = 5,
    FT_TYPE_COUNT // the end value: the number of kinds, no kind itself
} ft_type;

// The kinds, one row per ft_type value in enum order. A gate kind is one
// that the gates file names. Adding a kind: a value above (before the end
// value), a row here, and its symbol's screen and SVG functions in the
// canvas. The build stops while the table lacks the row and at each switch
// over kinds that lacks the new value (a missing case is an error there).
typedef struct {
    ft_type type;
    const char *keyword; // Type cell of a gates-file row; NULL: no gate kind
    const char *name;    // ft_type2string
    const char *label;   // item of the node dialog's Type menu
} ft_kind;

// clang-format off
inline constexpr ft_kind ft_kinds[] = {
    {FT_INVALID, nullptr,   "INVALID", "Invalid"},
    {FT_BASIC,   nullptr,   "BASIC",   "LEAF"},
    {FT_AND,     "AND",  "AND",     "AND Gate"},
    {FT_PAND,    "PAND", "PAND",    "PAND Gate"},
    {FT_OR,      "OR",   "OR",      "OR Gate"},
    {FT_NULL,    "NULL", "NULL",    "Null Gate"},
};
// clang-format on

static_assert(sizeof ft_kinds / sizeof ft_kinds[0] == FT_TYPE_COUNT,
              "ft_kinds has one row for every ft_type value");

constexpr bool ft_kinds_in_enum_order() {
    int t = 0;
    for (const ft_kind &k : ft_kinds)
        if (k.type != t++)
            return false;
    return true;
}
static_assert(ft_kinds_in_enum_order(), "row t of ft_kinds describes kind t");

// Page flag values.
enum { FT_PAGE_NONE = 0, FT_PAGE_OFF = 1, FT_PAGE_ON = 2 };

#define FT_MAX_COORDS 200
#define FT_LIST_CHUNK 20

// One drawn place in tree units: x the symbol's horizontal centre, y its top.
typedef struct {
    int x;
    int y;
} ft_coord;

// The recorded places of one element, read as slots: coord[i] is the i-th
// place recorded, and (0, 0) from slot `used` on (any i outside
// 0..FT_MAX_COORDS - 1 included), so the used slots are those before the
// first slot whose x or y is 0. Storage follows use: with no place it takes
// nothing beyond these 12 bytes; one place is kept here; more live in an
// array on the heap that grows in steps (4, 8, 16, ..., 128, then
// FT_MAX_COORDS places) and is released when the places are cleared. Packed
// to 4-byte alignment, so that the flags that follow fill what would be the
// pointer's padding and ft_coords as a whole takes 24 bytes (its pointer read
// and written by value only).
#pragma pack(push, 4)
typedef struct ft_coord_slots {
    union {
        ft_coord one;   // the place, while room is 0
        ft_coord *many; // the array of room places, while room is not 0
    };
    unsigned char used; // places recorded, at most FT_MAX_COORDS
    unsigned char room; // 0: at most one place, kept in `one`; else the array's size

    ft_coord operator[](int i) const {
        if (i < 0 || i >= used)
            return ft_coord{0, 0};
        return room ? many[i] : one;
    }
} ft_coord_slots;
#pragma pack(pop)

// The positions of one element: its drawn places, and the selected and
// highlighted flags that the canvas reads and writes. New positions are all
// zero bytes: no place, no flag.
typedef struct {
    ft_coord_slots coord;
    // Padding, always 0: it makes ft_coords 24 bytes, a multiple of 8, so
    // that in the pool, whose blocks of that size lie side by side, each
    // starts at an 8-byte boundary and the slots' array pointer stays aligned.
    int spare;
    int selected;
    int highlighted;
} ft_coords;
static_assert(sizeof(ft_coords) == 24, "ft_coords takes 24 bytes, a multiple of 8");

struct ft_list;

typedef struct ft_element {
    char *name;               // owned, never NULL after ft_init
    char *desc;               // owned, never NULL after ft_init
    char *prob;               // owned or NULL
    char *criticality;        // owned or NULL
    ft_coords *coord;         // owned
    struct ft_list *children; // not owned by the element (see ft_free_tree)
    // Elements taken out of this element's children (a replaced children list,
    // a deleted child). Kept so that releasing the tree reaches everything
    // that was ever part of it.
    struct ft_list *detached;
    // The next element to release, while ft_free_tree gathers the tree: the
    // release walk keeps its list in the elements, so it needs no memory.
    struct ft_element *release_next;
    ft_type type;
    short page;
    // Which of name, desc, prob and criticality (bits FT_TEXT_*) live in the
    // element's own allocation (ft_init_texts) instead of one of their own.
    unsigned char inline_texts;
    // 1 only while a walk that visits each element once (ft_walk_once, the
    // searches, ft_clear_coords, ft_free_tree) has visited it; 0 again when
    // the walk ends (ft_free_tree releases what it marked).
    unsigned char walk_mark;
} ft_element;

// One chunk of a list of element pointers. A list is its first chunk.
typedef struct ft_list {
    ft_element *items[FT_LIST_CHUNK];
    int last;               // index of the last used slot; -1 when empty
    struct ft_list *next;   // following chunk or NULL
    struct ft_list *tail;   // in the first chunk: the final chunk (appends start there)
    int base;               // position of slot 0 of this chunk in the whole list
    struct ft_list *cursor; // in the first chunk: the chunk ft_list_get reached last
} ft_list;

/* Construction. Allocation failure throws std::bad_alloc. */
// A new element: name and desc "", FT_INVALID, no texts, FT_PAGE_NONE,
// zeroed positions, no children. The caller owns it (ft_free_tree or
// ft_free_element release it).
ft_element *ft_init(void);
// Bits of ft_element::inline_texts.
enum { FT_TEXT_NAME = 1, FT_TEXT_DESC = 2, FT_TEXT_PROB = 4 };
// As ft_init, with copies of the first name_len bytes of name, desc_len of
// desc and prob_len of prob (NULL: no probability) stored in the element's
// own allocation: one allocation for the element and its texts.
ft_element *ft_init_texts(const char *name, size_t name_len, const char *desc, size_t desc_len,
                          const char *prob, size_t prob_len);
// A new element with copies of name and desc, the type, FT_PAGE_OFF and the
// given children pointer; it has NO positions (never draw it).
ft_element *ft_fill(char *name, char *desc, ft_type type, ft_list *children);
ft_element *ft_new_basic(char *name, char *desc);
ft_element *ft_new_and(char *name, char *desc, ft_list *children);
ft_element *ft_new_pand(char *name, char *desc, ft_list *children);
ft_element *ft_new_or(char *name, char *desc, ft_list *children);
ft_element *ft_new_null(char *name, char *desc, ft_list *children);

/* Setters: each returns e. */
ft_element *ft_set_name(ft_element *e, const char *name);
ft_element *ft_set_desc(ft_element *e, const char *desc);
ft_element *ft_set_type(ft_element *e, ft_type type);
// Stores the text up to (not including) its first blank (code 32).
ft_element *ft_set_prob(ft_element *e, const char *prob);
ft_element *ft_set_criticality(ft_element *e, const char *crit);
ft_element *ft_set_page(ft_element *e, short page);
// Stores the list pointer. The elements of a previous list are kept in
// e->detached and the previous list's chunks are released.
ft_element *ft_set_children(ft_element *e, ft_list *children);
// Appends child to e's children list (which must exist).
ft_element *ft_add_child(ft_element *e, ft_element *child);

/* Getters: the stored values themselves. */
char *ft_get_name(ft_element *e);
char *ft_get_desc(ft_element *e);
ft_type ft_get_type(ft_element *e);
char *ft_get_prob(ft_element *e);
char *ft_get_criticality(ft_element *e);
short ft_get_page(ft_element *e);
ft_list *ft_get_children(ft_element *e);

/* Predicates. */
int ft_is_leaf(ft_element *e);
int ft_is_terminal(ft_element *e); // FT_BASIC or FT_PAGE_ON
int ft_has_children(ft_element *e);

// 1 when t is an ft_type value (a row of ft_kinds), else 0.
int ft_type_known(int t);
// The kind's name, "UNKNOWN" for a value that is no kind.
const char *ft_type2string(ft_type t);
// The gate kind whose keyword is word (byte for byte); FT_INVALID when there
// is none or word is NULL.
ft_type ft_keyword2type(const char *word);
float ft_prob_to_float(char *text);

/* Lists. A list holds references; it owns its chunks only. */
// A new empty list (one chunk).
ft_list *ft_list_init(void);
// Appends e at the end; returns list. Constant time.
ft_list *ft_list_cons(ft_element *e, ft_list *list);
int ft_list_is_empty(ft_list *list);
// Number of items; constant time.
int ft_list_get_size(ft_list *list);
// The item at position (>= 0). Inside the final chunk a position past the end
// gives the slot's content (NULL when never filled); a position beyond the
// final chunk is an assertion failure. Walking positions upward is cheap.
ft_element *ft_list_get(ft_list *list, int position);
// Position of the first item whose name equals e's name; -1 when none.
int ft_list_find(ft_list *list, ft_element *e);
// Takes the item at position out; later items move up one place. Returns
// the item, NULL for a position outside the list.
ft_element *ft_list_remove_at(ft_list *list, int position);
// Releases the chunks of a list (not the elements). NULL does nothing.
void ft_list_free(ft_list *list);

// A new list of the distinct (by name) basic events under e, in order of
// first meeting; the caller frees it with ft_list_free.
ft_list *ft_get_leaves(ft_element *e);
void ft_get_leaves_lowlevel(ft_element *e, ft_list *out);

/* Debug printing to the standard output. */
void ft_print_element(ft_element *e);
void ft_print_list(ft_list *list);
void ft_print_tree(ft_element *root);
// e at level, then in preorder the children of each gate kind one level
// deeper: each under a heading of 2 x level blanks and the level. Keeps its
// own stack, so any depth is safe.
void ft_print_tree_preorder_lowlevel(ft_element *e, int level);

/* Drawn positions and searches. The tree walks keep no recursion on the
   machine stack, so any depth is safe, and visit an element reached along
   several paths once. */
// Records (x, y) unless already recorded. Not recorded either: a position
// with x or y 0 (no drawn place), a 201st position, and one for which the
// array of places cannot grow (memory exhausted). Cannot fail.
ft_element *ft_add_coord(ft_element *e, int x, int y);
// (x, y) when recorded, else (0, 0).
ft_coord ft_get_coord(ft_element *e, int x, int y);
// Removes a recorded position (later ones move down); e, or NULL when absent.
ft_element *ft_remove_coord(ft_element *e, int x, int y);
// Forgets every recorded position of e and of everything below it, and
// releases their arrays; returns 0. NULL ok.
int ft_clear_coords(ft_element *e);
// 1 when (x, y) lies strictly inside the 15 x 15 box whose top centre is c.
int ft_coord_hit(int x, int y, ft_coord c);
// 1 when ft_coord_hit holds for one of e's recorded positions.
int ft_hit(int x, int y, ft_element *e);
// First element in preorder hit at (x, y); descends only into elements with
// a page flag other than FT_PAGE_NONE. NULL when none or root is NULL.
ft_element *ft_find_at(ft_element *root, int x, int y);
// First element in preorder named name; NULL when none or root is NULL.
ft_element *ft_find_by_name(ft_element *root, const char *name);
// Appends every FT_PAGE_ON element in preorder (once per path), root first.
void ft_get_pages(ft_element *root, ft_list *out);
// Takes the child drawn at the point out of its parent's list (it goes to the
// parent's detached list); returns the parent or NULL.
ft_element *ft_delete_at(ft_element *parent, ft_element *e, int x, int y);
// Calls fn(e, arg) once for every element reachable from root through the
// children lists, root first, then in preorder of first meeting, however
// many paths lead to it. NULL root does nothing. fn must not start another
// walk (the walks share each element's walk_mark). Throws std::bad_alloc
// when its stack cannot grow; no element is left marked.
void ft_walk_once(ft_element *root, void (*fn)(ft_element *e, void *arg), void *arg);

/* Release. */
// Releases one element: its strings, positions and the chunks of its
// children and detached lists (not the elements in them). NULL does nothing.
// Allocates nothing; cannot fail.
void ft_free_element(ft_element *e);
// Releases every element reachable from root and from the events list
// (children and detached lists included), each once, and the lists' chunks.
// Either may be NULL. Allocates nothing, so it works when memory has run
// out; cannot fail.
void ft_free_tree(ft_element *root, ft_list *events);
// Number of elements made and not yet released (for leak checks).
long ft_live_elements(void);

/* Change tracking. */
// A counter that grows with every change that can move a drawn position or
// change a layout: children lists, types, page flags, recorded positions
// (when a slot actually changes) and released elements. A view that laid the
// tree out may reuse that layout while the counter has not moved.
unsigned long ft_generation(void);
// Advances the counter (the model's operations call it themselves).
void ft_touch(void);

/* Positions. */
// Zeroed positions, a block of the model's pool of zero-filled blocks
// (ftslab.h), so that making an element neither touches nor zeroes its
// positions: their memory is taken when the element is first drawn. Throws
// std::bad_alloc when memory is exhausted.
ft_coords *ft_coords_alloc(void);
// Gives positions back to the pool (their places and flags are cleared
// first). NULL does nothing. Allocates nothing (the pool's room for released
// blocks is taken when its blocks are mapped); cannot fail.
void ft_coords_release(ft_coords *b);

#endif
