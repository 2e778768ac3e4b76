// Chromosome names compared and ordered by text alone.
#include "base/chromosome_names.h"

#include <algorithm>
#include <cctype>
#include <numeric>

namespace {

bool equalNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view withoutChr(std::string_view name)
{
    if (name.size() > 3 && equalNoCase(name.substr(0, 3), "chr"))
        name.remove_prefix(3);
    return name;
}

} // namespace

std::string chromosomeKey(std::string_view name)
{
    name = withoutChr(name);
    if (name == "M")
        return "MT";
    return std::string(name);
}

int naturalChromosomeRank(std::string_view name)
{
    name = withoutChr(name);
    if (!name.empty() && name.size() <= 3 &&
        std::all_of(name.begin(), name.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
        int n = 0;
        for (char ch : name)
            n = n * 10 + (ch - '0');
        return n >= 1 && n <= 22 ? n : -1;
    }
    static constexpr std::string_view kSex[] = {"X", "Y", "XY", "MT", "M"};
    for (int k = 0; k < 5; ++k)
        if (equalNoCase(name, kSex[k]))
            return 23 + std::min(k, 3);
    return -1;
}

std::vector<int> naturalChromosomeOrder(const std::vector<std::string>& names)
{
    std::vector<int> order(names.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<int> rank(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        const int r = naturalChromosomeRank(names[i]);
        rank[i] = r > 0 ? r : 100;
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return rank[a] < rank[b]; });
    return order;
}
