// Merging marks that fall on one pixel: the sort over packed keys against a
// reference that merges through a map from (flag, x, y) to the first mark,
// one pass in drawing order, over thousands of generated mark sets.
#include "plot/pixel_merge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <tuple>

using plotlayout::KeyedMark;
using plotlayout::MergedMark;
using plotlayout::mergeMarks;
using plotlayout::pixelKey;

namespace {

struct Mark {
    bool flag;
    double a, b;
    double strength;
};

// The reference: a map from the rounded key to the group, each group taking
// a later member as its strongest when that is strictly stronger.
std::vector<MergedMark> referenceMerge(const std::vector<Mark>& marks, bool strongest)
{
    std::vector<MergedMark> groups;
    std::map<std::tuple<bool, long, long>, size_t> at;
    for (size_t i = 0; i < marks.size(); ++i) {
        const Mark& m = marks[i];
        const auto key = std::make_tuple(m.flag, std::lround(m.a), std::lround(m.b));
        const auto found = at.find(key);
        if (found == at.end()) {
            at.emplace(key, groups.size());
            groups.push_back({i, i, 1});
            continue;
        }
        MergedMark& g = groups[found->second];
        ++g.count;
        if (strongest && m.strength > marks[g.strongest].strength)
            g.strongest = i;
    }
    return groups;
}

std::vector<MergedMark> sortedMerge(const std::vector<Mark>& marks, bool strongest)
{
    std::vector<KeyedMark> keyed;
    std::vector<double> strength;
    for (size_t i = 0; i < marks.size(); ++i) {
        keyed.push_back({pixelKey(marks[i].flag, marks[i].a, marks[i].b), i});
        strength.push_back(marks[i].strength);
    }
    return mergeMarks(keyed, strongest ? &strength : nullptr);
}

void expectSame(const std::vector<MergedMark>& want, const std::vector<MergedMark>& got, int set)
{
    ASSERT_EQ(want.size(), got.size()) << "set " << set;
    for (size_t g = 0; g < want.size(); ++g) {
        EXPECT_EQ(want[g].first, got[g].first) << "set " << set << " group " << g;
        EXPECT_EQ(want[g].strongest, got[g].strongest) << "set " << set << " group " << g;
        EXPECT_EQ(want[g].count, got[g].count) << "set " << set << " group " << g;
    }
}

} // namespace

TEST(PixelMerge, SameGroupsAndStrongestAsTheMapMerge)
{
    std::mt19937_64 random(20261207);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int set = 0; set < 3000; ++set) {
        // Few pixels for many marks (heavy merging) or many pixels; halves
        // (x.5 rounds away from zero), negative coordinates, equal and NaN
        // strengths, both flags on one pixel.
        const int n = static_cast<int>(random() % 300);
        const int spread = set % 3 == 0 ? 4 : set % 3 == 1 ? 40 : 4000;
        std::vector<Mark> marks;
        for (int i = 0; i < n; ++i) {
            const double a = static_cast<double>(static_cast<int>(random() % (2 * spread)) - spread / 2) / 2;
            const double b = random() % 4 == 0 ? 0 : static_cast<double>(random() % 1000) / 7 - 20;
            const int s = static_cast<int>(random() % 12);
            marks.push_back({random() % 2 == 0, a, b, s == 11 ? nan : static_cast<double>(s % 5)});
        }
        expectSame(referenceMerge(marks, false), sortedMerge(marks, false), set);
        expectSame(referenceMerge(marks, true), sortedMerge(marks, true), set);
    }
}

TEST(PixelMerge, KeysApartForDistinctPixelsAtTheCanvasExtremes)
{
    // Neighbouring pixels, either flag, at the far edges of the largest
    // canvas and beyond it: distinct keys where the rounded values differ.
    for (const double v : {-9000.0, -0.5, 0.0, 0.49, 0.5, 7999.5, 16000.0}) {
        EXPECT_NE(pixelKey(false, v, 0), pixelKey(false, v + 1, 0));
        EXPECT_NE(pixelKey(false, 0, v), pixelKey(false, 0, v + 1));
        EXPECT_NE(pixelKey(false, v, v), pixelKey(true, v, v));
        EXPECT_EQ(pixelKey(true, v, v), pixelKey(true, std::lround(v), std::lround(v)));
    }
    EXPECT_NE(pixelKey(false, 1, 2), pixelKey(false, 2, 1));
}
