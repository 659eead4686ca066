// The order list of the gates reader (see ftorder.h).
#include "ftorder.h"

#include <sys/random.h>

#include <ctime>
#include <new>

namespace {
typedef order_list::node node;

uint32_t marked_of(const node *n) {
    return n != nullptr ? n->marked : 0;
}

void pull(node *n) {
    n->marked = marked_of(n->left) + marked_of(n->right) + n->mark;
}

void set_parent(node *child, node *parent) {
    if (child != nullptr)
        child->parent = parent;
}

// Finishes a split at c, whose own subtree is split into left and right
// already, p its parent before: each ancestor goes, with its subtree on the
// far side, to the side it lies on.
void climb(node *c, node *p, node *&left, node *&right) {
    while (p != nullptr) {
        node *g = p->parent;
        if (p->right == c) {
            p->right = left;
            set_parent(left, p);
            left = p;
        } else {
            p->left = right;
            set_parent(right, p);
            right = p;
        }
        p->parent = nullptr;
        pull(p);
        c = p;
        p = g;
    }
}

// Appends the marked nodes of the subtree of n to out, in order.
void collect_marked(node *n, std::vector<node *> &out) {
    if (n == nullptr || n->marked == 0)
        return;
    collect_marked(n->left, out);
    if (n->mark)
        out.push_back(n);
    collect_marked(n->right, out);
}
} // namespace

// The priorities' seed: from the system's random source, or where it has
// none from the clock and an address of this run, so that no input knows it.
order_list::order_list(node_memory *memory) : memory(memory) {
    if (getrandom(&random, sizeof random, GRND_NONBLOCK) != sizeof random)
        random = uint64_t(clock()) ^ uint64_t(reinterpret_cast<uintptr_t>(this));
    random |= 1;
}

order_list::node *order_list::next(const node *n) const {
    if (n->right != nullptr) {
        n = n->right;
        while (n->left != nullptr)
            n = n->left;
        return const_cast<node *>(n);
    }
    while (n->parent != nullptr && n->parent->right == n)
        n = n->parent;
    return n->parent;
}

order_list::node *order_list::back() const {
    node *n = root;
    while (n != nullptr && n->right != nullptr)
        n = n->right;
    return n;
}

// x goes up one level, its parent down.
void order_list::rotate_up(node *x) {
    node *p = x->parent, *g = p->parent;
    if (p->left == x) {
        p->left = x->right;
        set_parent(x->right, p);
        x->right = p;
    } else {
        p->right = x->left;
        set_parent(x->left, p);
        x->left = p;
    }
    p->parent = x;
    x->parent = g;
    relink(g, p, x);
    pull(p);
    pull(x);
}

// Puts with in the place of old, a child of parent or (parent NULL) the root.
void order_list::relink(node *parent, node *old, node *with) {
    if (parent == nullptr)
        root = with;
    else if (parent->left == old)
        parent->left = with;
    else
        parent->right = with;
}

order_list::node *order_list::insert_after(node *anchor, void *item, unsigned char tag) {
    node *x = static_cast<node *>(memory->allocate(sizeof(node), alignof(node)));
    random ^= random >> 12, random ^= random << 25, random ^= random >> 27;
    *x = node{};
    x->item = item;
    x->priority = uint32_t((random * 0x2545F4914F6CDD1Dull) >> 32);
    x->tag = tag;
    if (anchor == nullptr) {
        root = x;
        return x;
    }
    node *p = anchor->right;
    if (p == nullptr) {
        anchor->right = x;
        x->parent = anchor;
    } else {
        while (p->left != nullptr)
            p = p->left;
        p->left = x;
        x->parent = p;
    }
    while (x->parent != nullptr && x->parent->priority < x->priority)
        rotate_up(x);
    return x;
}

void order_list::erase(node *x) {
    set_mark(x, false);
    while (x->left != nullptr && x->right != nullptr)
        rotate_up(x->left->priority > x->right->priority ? x->left : x->right);
    node *c = x->left != nullptr ? x->left : x->right;
    set_parent(c, x->parent);
    relink(x->parent, x, c);
    memory->deallocate(x, sizeof(node), alignof(node));
}

// The lowest common ancestor of a and b is the first node above b that the
// walk up from a saw; the children it is reached through tell the order.
bool order_list::before(const node *a, const node *b) const {
    if (a == b)
        return false;
    ++seeing;
    for (node *n = const_cast<node *>(a); n != nullptr; n = n->parent)
        n->seen = seeing;
    const node *top = b, *cb = nullptr, *ca = nullptr;
    while (top->seen != seeing)
        cb = top, top = top->parent;
    for (const node *n = a; n != top; n = n->parent)
        ca = n;
    if (ca == nullptr) // a lies above b
        return cb == top->right;
    return ca == top->left;
}

void order_list::set_mark(node *n, bool mark) {
    if (n->mark == mark)
        return;
    n->mark = mark;
    for (; n != nullptr; n = n->parent)
        n->marked += mark ? 1 : uint32_t(-1);
}

void order_list::split_before(node *x, node **left, node **right) {
    node *l = x->left, *r = x, *p = x->parent;
    set_parent(l, nullptr);
    x->left = nullptr;
    x->parent = nullptr;
    pull(x);
    climb(x, p, l, r);
    *left = l;
    *right = r;
}

void order_list::split_after(node *x, node **left, node **right) {
    node *l = x, *r = x->right, *p = x->parent;
    set_parent(r, nullptr);
    x->right = nullptr;
    x->parent = nullptr;
    pull(x);
    climb(x, p, l, r);
    *left = l;
    *right = r;
}

order_list::node *order_list::merge(node *a, node *b) {
    if (a == nullptr || b == nullptr)
        return a != nullptr ? a : b;
    if (a->priority > b->priority) {
        a->right = merge(a->right, b);
        a->right->parent = a;
        pull(a);
        return a;
    }
    b->left = merge(a, b->left);
    b->left->parent = b;
    pull(b);
    return b;
}

void order_list::marked_in(node *first, node *last, std::vector<node *> &out) {
    node *before_run, *rest, *run, *after_run;
    split_before(first, &before_run, &rest);
    split_after(last, &run, &after_run);
    auto join = [&] {
        root = merge(merge(before_run, run), after_run);
        root->parent = nullptr;
    };
    try {
        collect_marked(run, out);
    } catch (...) {
        join();
        throw;
    }
    join();
}

void order_list::move_after(node *first, node *last, node *anchor) {
    node *before_run, *rest, *run, *after_run;
    split_before(first, &before_run, &rest);
    split_after(last, &run, &after_run);
    root = merge(before_run, after_run);
    root->parent = nullptr;
    split_after(anchor, &before_run, &after_run);
    root = merge(merge(before_run, run), after_run);
    root->parent = nullptr;
}
