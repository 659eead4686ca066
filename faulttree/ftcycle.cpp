// The cycle check of the gates reader (see ftcycle.h).
#include "ftcycle.h"

#include <algorithm>

int cycle_guard::event_block(ft_element *event) {
    auto found = event_of.find(event);
    if (found != event_of.end())
        return found->second;
    blocks.emplace_back();
    blocks.back().order = ++highest; // no edges yet: any place will do
    const int b = int(blocks.size()) - 1;
    event_of.emplace(event, b);
    return b;
}

int cycle_guard::gate_block(ft_element *gate) const {
    auto found = gate_of.find(gate);
    return found != gate_of.end() ? found->second : ROOT;
}

void cycle_guard::set_block(ft_element *gate, int block) {
    if (block != ROOT)
        gate_of[gate] = block;
}

bool cycle_guard::add_input(int block, ft_element *event) {
    if (block == ROOT)
        return true;
    const int to = event_block(event);
    if (to == block)
        return false;
    auto slot = edge_of.try_emplace(key(block, to), int(edges.size()));
    if (slot.second) {
        edges.push_back(edge{block, to, 0});
        blocks[size_t(block)].out.push_back(slot.first->second);
        blocks[size_t(to)].in.push_back(slot.first->second);
    }
    edge &e = edges[size_t(slot.first->second)];
    if (e.count == 0 && !keep_order(block, to))
        return false;
    if (e.count++ == 0)
        ++blocks[size_t(block)].live_out, ++blocks[size_t(to)].live_in;
    return true;
}

void cycle_guard::drop_inputs(int block, ft_element *gate) {
    if (block == ROOT)
        return;
    std::vector<ft_list *> lists;
    if (gate->children != NULL)
        lists.push_back(gate->children);
    while (!lists.empty()) {
        ft_list *chunk = lists.back();
        lists.pop_back();
        for (; chunk != NULL; chunk = chunk->next)
            for (int i = 0; i <= chunk->last; ++i) {
                ft_element *c = chunk->items[i];
                if (gate_of.count(c) != 0) { // a gate of this block: its inputs go too
                    if (c->children != NULL)
                        lists.push_back(c->children);
                    continue;
                }
                edge &e = edges[size_t(edge_of.at(key(block, event_of.at(c))))];
                if (--e.count == 0)
                    --blocks[size_t(e.from)].live_out, --blocks[size_t(e.to)].live_in;
            }
    }
}

// Makes room for the edge from -> to in the order; false when to reaches
// from. A block without outgoing edges may move to the end of the order and
// one without incoming edges to its start; otherwise the blocks that to
// reaches up to from's place, and those that reach from down to to's place,
// swap sides.
bool cycle_guard::keep_order(int from, int to) {
    block &f = blocks[size_t(from)], &t = blocks[size_t(to)];
    if (f.order < t.order)
        return true;
    if (t.live_out == 0)
        return t.order = ++highest, true;
    if (f.live_in == 0)
        return f.order = --lowest, true;
    std::vector<int> later, earlier;
    if (!search(to, true, f.order, from, later))
        return false;
    search(from, false, t.order, -1, earlier);
    reorder(earlier, later);
    return true;
}

// The blocks that start reaches through edges in the graph, along them
// (forward) or against them, while staying on start's side of bound in the
// order; false as soon as target is among them.
bool cycle_guard::search(int start, bool forward, long long bound, int target,
                         std::vector<int> &found) {
    ++visit;
    std::vector<int> stack{start};
    blocks[size_t(start)].mark = visit;
    while (!stack.empty()) {
        const int b = stack.back();
        stack.pop_back();
        found.push_back(b);
        for (int id : forward ? blocks[size_t(b)].out : blocks[size_t(b)].in) {
            const edge &e = edges[size_t(id)];
            const int next = forward ? e.to : e.from;
            if (e.count == 0)
                continue;
            if (next == target)
                return false;
            block &n = blocks[size_t(next)];
            if (n.mark == visit || (forward ? n.order >= bound : n.order <= bound))
                continue;
            n.mark = visit;
            stack.push_back(next);
        }
    }
    return true;
}

// Gives the places of both groups to earlier first, then later, each group
// keeping its own order.
void cycle_guard::reorder(std::vector<int> &earlier, std::vector<int> &later) {
    auto by_order = [this](int a, int b) {
        return blocks[size_t(a)].order < blocks[size_t(b)].order;
    };
    std::sort(earlier.begin(), earlier.end(), by_order);
    std::sort(later.begin(), later.end(), by_order);
    std::vector<long long> places;
    for (int b : earlier)
        places.push_back(blocks[size_t(b)].order);
    for (int b : later)
        places.push_back(blocks[size_t(b)].order);
    std::sort(places.begin(), places.end());
    size_t i = 0;
    for (int b : earlier)
        blocks[size_t(b)].order = places[i++];
    for (int b : later)
        blocks[size_t(b)].order = places[i++];
}
