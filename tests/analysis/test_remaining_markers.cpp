// The segment tree of remaining markers and the chunk path on it, against
// plain loops over the compacted markers, through random removals.
#include "analysis/chunk_path.h"
#include "analysis/remaining_markers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

struct Naive {
    WorkPositions work;
    DoubleVector value;
    std::vector<int> alive; // remaining indices, in order

    int64_t gapAt(size_t rank) const { return work[alive[rank]] - work[alive[rank - 1]]; }
};

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Values with ties, -0 beside 0, NaN and infinities; equal gaps.
Naive generate(std::mt19937_64& rng, int n)
{
    Naive m;
    int64_t w = 0;
    const double specials[] = {0.0, -0.0, std::numeric_limits<double>::quiet_NaN(),
                               -std::numeric_limits<double>::infinity(), 7.0, 7.0};
    for (int i = 0; i < n; ++i) {
        w += rng() % 3 == 0 ? 1 + static_cast<int64_t>(rng() % 300) : 2;
        m.work.push_back(w);
        m.value.push_back(rng() % 4 == 0 ? specials[rng() % 6] : static_cast<double>(rng() % 20));
        m.alive.push_back(i);
    }
    return m;
}

void expectQueriesMatch(const RemainingMarkers& tree, const Naive& m, std::mt19937_64& rng)
{
    const int n = static_cast<int>(m.alive.size());
    ASSERT_EQ(tree.count(), n);
    for (int q = 0; q < 20 && n > 0; ++q) {
        const int a = static_cast<int>(rng() % n), b = a + static_cast<int>(rng() % (n - a));
        ASSERT_EQ(tree.select(a), m.alive[a]);
        ASSERT_EQ(tree.rankOf(m.alive[a]), a);
        double r = kNoMaximum;
        int64_t widest = -1;
        for (int k = a; k <= b; ++k) {
            const double v = m.value[m.alive[k]];
            r = v > r ? v : r;
            if (k > a)
                widest = std::max(widest, m.gapAt(k));
        }
        ASSERT_TRUE(sameBits(tree.runningMax(kNoMaximum, m.alive[a], m.alive[b]), r));
        ASSERT_EQ(tree.widestGap(m.alive[a] + 1, m.alive[b]), widest);
        const int64_t bound = widest - static_cast<int64_t>(rng() % 3);
        int firstAt = RemainingMarkers::kNone, lastAt = RemainingMarkers::kNone;
        for (int k = a + 1; k <= b; ++k) {
            if (m.gapAt(k) >= bound) {
                lastAt = m.alive[k];
                firstAt = firstAt == RemainingMarkers::kNone ? m.alive[k] : firstAt;
            }
        }
        ASSERT_EQ(tree.firstGapAtLeast(m.alive[a] + 1, m.alive[b], bound), firstAt);
        int firstBelow = RemainingMarkers::kNone;
        for (int k = a + 1; k < n && firstBelow == RemainingMarkers::kNone; ++k)
            if (m.gapAt(k) < bound)
                firstBelow = m.alive[k];
        ASSERT_EQ(tree.firstGapBelow(m.alive[a] + 1, bound), firstBelow);
        ASSERT_EQ(tree.lastGapAtLeast(m.alive[a] + 1, m.alive[b], bound), lastAt);
    }
}

} // namespace

TEST(RemainingMarkers, QueriesMatchPlainLoopsThroughRemovals)
{
    std::mt19937_64 rng(77);
    for (int trial = 0; trial < 200; ++trial) {
        Naive m = generate(rng, 1 + static_cast<int>(rng() % 300));
        RemainingMarkers tree;
        tree.reset(m.work, m.value);
        while (!m.alive.empty()) {
            expectQueriesMatch(tree, m, rng);
            const size_t a = rng() % m.alive.size();
            const size_t b = std::min(m.alive.size() - 1, a + rng() % 4);
            tree.remove(m.alive[a], m.alive[b], m.work);
            m.alive.erase(m.alive.begin() + static_cast<long>(a), m.alive.begin() + static_cast<long>(b) + 1);
            ASSERT_EQ(tree.first(), m.alive.empty() ? RemainingMarkers::kNone : m.alive.front());
            ASSERT_EQ(tree.last(), m.alive.empty() ? RemainingMarkers::kNone : m.alive.back());
        }
    }
}

// Removing the final marker again and again, as a broad region does: the
// levels kept from one call to the next give the same final marker as a
// path worked out afresh.
TEST(ChunkPath, KeptLevelsMatchFreshPathAsFinalMarkersGo)
{
    std::mt19937_64 rng(79);
    for (int trial = 0; trial < 60; ++trial) {
        Naive m;
        int64_t w = 0;
        const int n = 200 + static_cast<int>(rng() % 3000);
        for (int i = 0; i < n; ++i) {
            const bool edge = i < n / 10 || i > n - n / 10;
            w += edge ? 1 + static_cast<int64_t>(rng() % (trial % 2 ? 60 : 400)) : 1 + static_cast<int64_t>(rng() % 3);
            m.work.push_back(w);
            m.value.push_back(1.0);
        }
        RemainingMarkers tree;
        tree.reset(m.work, m.value);
        ChunkPath kept;
        RemovedFinal removed;
        int reused = 0;
        while (tree.count() > 1) {
            ChunkPath fresh;
            fresh.start(tree);
            int freshBudget = 1 << 30;
            const int expected = fresh.finalMarker(tree, freshBudget, RemovedFinal{});
            kept.start(tree);
            int budget = 1 << 30;
            const int end = kept.finalMarker(tree, budget, removed);
            ASSERT_EQ(end, expected) << "trial " << trial << " remaining " << tree.count();
            reused += (1 << 30) - budget < (1 << 30) - freshBudget;
            const int after = tree.next(end);
            tree.remove(end, end, m.work);
            removed = after == RemainingMarkers::kNone ? RemovedFinal{} : RemovedFinal{end, tree.gapAt(after)};
        }
        EXPECT_GT(reused, n / 4) << "trial " << trial;
    }
}
