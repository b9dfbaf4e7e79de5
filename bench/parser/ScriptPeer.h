// The peer of the parser benchmark: a flex scanner and a bison parser of the script statements
// the benchmark generates, building a tree of one node per statement, argument and modifier.
#pragma once

#include <cstddef>
#include <vector>

struct PeerNode {
    int kind;
    int start;
    int length;
    int firstChild;
    int nextSibling;
};

// Parses the text; returns false on a syntax error. The tree's nodes are left in `nodes`
// (node 0 is the root).
bool PeerParse(const char* text, size_t length, std::vector<PeerNode>& nodes);
