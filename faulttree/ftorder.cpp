// The order list of the gates reader (see ftorder.h).
#include "ftorder.h"

#include <new>

node_memory::~node_memory() {
    for (char *c : chunks)
        ::operator delete(c);
}

void *node_memory::do_allocate(size_t bytes, size_t align) {
    const size_t size = (bytes + GRAIN - 1) / GRAIN;
    if (size == 0 || size > SIZES || align > GRAIN)
        return std::pmr::new_delete_resource()->allocate(bytes, align);
    if (void *p = free[size - 1]) {
        free[size - 1] = *static_cast<void **>(p);
        return p;
    }
    if (size_t(end - next) < size * GRAIN) {
        chunks.reserve(chunks.size() + 1); // push_back below cannot fail then
        next = static_cast<char *>(::operator new(CHUNK));
        end = next + CHUNK;
        chunks.push_back(next);
    }
    void *p = next;
    next += size * GRAIN;
    return p;
}

void node_memory::do_deallocate(void *p, size_t bytes, size_t align) {
    const size_t size = (bytes + GRAIN - 1) / GRAIN;
    if (size == 0 || size > SIZES || align > GRAIN) {
        std::pmr::new_delete_resource()->deallocate(p, bytes, align);
        return;
    }
    *static_cast<void **>(p) = free[size - 1];
    free[size - 1] = p;
}

order_list::node *order_list::insert_after(node *p, void *item) {
    node *x = static_cast<node *>(memory->allocate(sizeof(node), alignof(node)));
    try {
        nodes.put(item, x);
    } catch (...) {
        memory->deallocate(x, sizeof(node), alignof(node));
        throw;
    }
    *x = node{};
    x->item = item;
    if (p == nullptr) {
        x->label = STEP;
        return x;
    }
    x->prev = p;
    x->next = p->next;
    if (p->next != nullptr)
        p->next->prev = x;
    p->next = x;
    const uint64_t end = x->next != nullptr ? x->next->label : uint64_t(1) << BITS;
    if (end - p->label >= 2)
        x->label = p->label +
                   (x->next == nullptr && end - p->label > 2 * STEP ? STEP : (end - p->label) / 2);
    else
        spread(p, x);
    return x;
}

// x was linked right after p, with no label left between them: the labels
// of the smallest aligned range around p's label that holds few enough
// items are spread evenly over the range.
void order_list::spread(node *p, node *x) {
    x->label = p->label;
    node *lo = p, *hi = x;
    uint64_t count = 2;
    double most = 1;
    for (int i = 1; i <= BITS; ++i) {
        most *= 2 / 1.25;
        const uint64_t size = uint64_t(1) << i, start = p->label & ~(size - 1);
        while (lo->prev != nullptr && lo->prev->label >= start)
            lo = lo->prev, ++count;
        while (hi->next != nullptr && hi->next->label < start + size)
            hi = hi->next, ++count;
        if (double(count) > most && i < BITS)
            continue;
        const uint64_t step = size / count;
        uint64_t label = start + step / 2;
        for (node *n = lo;; n = n->next, label += step) {
            n->label = label;
            if (n == hi)
                break;
        }
        return;
    }
}

void order_list::erase(node *n) {
    if (n->prev != nullptr)
        n->prev->next = n->next;
    if (n->next != nullptr)
        n->next->prev = n->prev;
    nodes.erase(n->item);
    memory->deallocate(n, sizeof(node), alignof(node));
}
