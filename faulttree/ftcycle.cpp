// The cycle check of the gates reader (see ftcycle.h).
#include "ftcycle.h"

#include <utility>

int cycle_guard::event_block(ft_element *event) {
    auto found = event_of.try_emplace(event, int(blocks.size()));
    if (found.second)
        blocks.emplace_back();
    return found.first->second;
}

int cycle_guard::gate_block(ft_element *gate) const {
    auto found = gate_of.find(gate);
    return found != gate_of.end() ? found->second : ROOT;
}

void cycle_guard::set_block(ft_element *gate, int block) {
    if (block != ROOT)
        gate_of[gate] = block;
}

void cycle_guard::add_input(int block, ft_element *event) {
    if (block == ROOT)
        return; // nothing reaches the root block: its edges lie on no cycle
    const int to = event_block(event);
    auto slot = edge_of.try_emplace(key(block, to), int(edges.size()));
    if (slot.second) {
        edges.push_back(edge{block, to, 0});
        blocks[size_t(block)].out.push_back(slot.first->second);
    }
    ++edges[size_t(slot.first->second)].count;
}

void cycle_guard::drop_input(int block, ft_element *event) {
    if (block != ROOT)
        --edges[size_t(edge_of.at(key(block, event_of.at(event))))].count;
}

// Depth-first search with colours: a block on the current path (grey) that
// is met again closes a cycle. Each block and edge is looked at once.
bool cycle_guard::has_cycle() const {
    enum : char { WHITE, GREY, BLACK };
    std::vector<char> colour(blocks.size(), WHITE);
    std::vector<std::pair<int, size_t>> path; // block, next of its edges to follow
    for (size_t start = 0; start < blocks.size(); ++start) {
        if (colour[start] != WHITE)
            continue;
        colour[start] = GREY;
        path.emplace_back(int(start), 0);
        while (!path.empty()) {
            auto &[b, next] = path.back();
            const std::vector<int> &out = blocks[size_t(b)].out;
            if (next == out.size()) {
                colour[size_t(b)] = BLACK;
                path.pop_back();
                continue;
            }
            const edge &e = edges[size_t(out[next++])];
            if (e.count == 0 || colour[size_t(e.to)] == BLACK)
                continue;
            if (colour[size_t(e.to)] == GREY)
                return true;
            colour[size_t(e.to)] = GREY;
            path.emplace_back(e.to, 0);
        }
    }
    return false;
}
