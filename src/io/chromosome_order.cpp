// Linear probing over a power-of-two table kept at most half full.
#include "io/chromosome_order.h"

#include <functional>

std::string_view ChromosomeOrder::nameAt(uint32_t index) const
{
    const size_t end = index + 1 < starts_.size() ? starts_[index + 1] : text_.size();
    return std::string_view(text_).substr(starts_[index], end - starts_[index]);
}

void ChromosomeOrder::grow()
{
    std::vector<uint32_t> slots(slots_.empty() ? 64 : 2 * slots_.size(), 0);
    const size_t mask = slots.size() - 1;
    for (uint32_t index = 0; index < starts_.size(); ++index) {
        size_t at = std::hash<std::string_view>()(nameAt(index)) & mask;
        while (slots[at] != 0)
            at = (at + 1) & mask;
        slots[at] = index + 1;
    }
    slots_ = std::move(slots);
}

std::pair<int, bool> ChromosomeOrder::add(std::string_view name)
{
    if (2 * (starts_.size() + 1) > slots_.size())
        grow();
    const size_t mask = slots_.size() - 1;
    size_t at = std::hash<std::string_view>()(name) & mask;
    for (; slots_[at] != 0; at = (at + 1) & mask)
        if (nameAt(slots_[at] - 1) == name)
            return {static_cast<int>(slots_[at] - 1), false};
    const uint32_t index = static_cast<uint32_t>(starts_.size());
    starts_.push_back(static_cast<uint32_t>(text_.size()));
    text_.append(name);
    slots_[at] = index + 1;
    return {static_cast<int>(index), true};
}

std::vector<std::string> ChromosomeOrder::names() const
{
    std::vector<std::string> all;
    for (uint32_t index = 0; index < starts_.size(); ++index)
        all.emplace_back(nameAt(index));
    return all;
}
