// The chromosome names of a table in order of first appearance, held
// compactly: the names' bytes in one string and an open-addressing table of
// indices, about 16 bytes a name besides its text, so that a table of
// millions of one-row chromosomes stays small.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ChromosomeOrder {
public:
    // The order of name (from 0) and whether it was new.
    std::pair<int, bool> add(std::string_view name);
    size_t size() const { return starts_.size(); }
    // Every name, in order of first appearance.
    std::vector<std::string> names() const;

private:
    std::string_view nameAt(uint32_t index) const;
    void grow();

    std::string text_;               // every name, one after the other
    std::vector<uint32_t> starts_;   // where each name starts in text_ (it ends where the next starts)
    std::vector<uint32_t> slots_;    // index + 1 of a name, 0 for an empty slot
};
