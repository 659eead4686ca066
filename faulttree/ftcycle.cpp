// The cycle check of the gates reader (see ftcycle.h).
#include "ftcycle.h"

#include <utility>

int cycle_guard::event_group(ft_element *event) {
    auto found = event_of.try_emplace(event, int(groups.size()));
    if (found.second)
        groups.emplace_back();
    return found.first->second;
}

int cycle_guard::gate_group(ft_element *gate) const {
    auto found = gate_of.find(gate);
    return found != gate_of.end() ? found->second : ROOT;
}

void cycle_guard::set_group(ft_element *gate, int group) {
    if (group != ROOT)
        gate_of[gate] = group;
}

void cycle_guard::add_input(int group, ft_element *event) {
    if (group == ROOT)
        return; // nothing reaches the root group: its edges lie on no cycle
    const int to = event_group(event);
    auto slot = edge_of.try_emplace(key(group, to), int(edges.size()));
    if (slot.second) {
        edges.push_back(edge{group, to, 0});
        groups[size_t(group)].out.push_back(slot.first->second);
    }
    ++edges[size_t(slot.first->second)].count;
}

void cycle_guard::drop_input(int group, ft_element *event) {
    if (group != ROOT)
        --edges[size_t(edge_of.at(key(group, event_of.at(event))))].count;
}

// Depth-first search with colours: a group on the current path (grey) that
// is met again closes a cycle. Each group and edge is looked at once.
bool cycle_guard::has_cycle() const {
    enum : char { WHITE, GREY, BLACK };
    std::vector<char> colour(groups.size(), WHITE);
    std::vector<std::pair<int, size_t>> path; // group, next of its edges to follow
    for (size_t start = 0; start < groups.size(); ++start) {
        if (colour[start] != WHITE)
            continue;
        colour[start] = GREY;
        path.emplace_back(int(start), 0);
        while (!path.empty()) {
            auto &[g, next] = path.back();
            const std::vector<int> &out = groups[size_t(g)].out;
            if (next == out.size()) {
                colour[size_t(g)] = BLACK;
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
