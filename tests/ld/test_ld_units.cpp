// The LD layer's parts on their own: genotype counts by popcount against a
// plain count, the maximum-likelihood r² against a brute-force search of
// the likelihood, and the fileset and sample checks.
#include "ld/genotype_planes.h"
#include "ld_reference.h"
#include "ld/plink_fileset.h"
#include "test_support.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

double likelihood(const PairCounts& pc, double h)
{
    const auto& c = pc.counts;
    const double a = 2.0 * c[2][2] + c[2][1] + c[1][2], b = 2.0 * c[0][0] + c[0][1] + c[1][0];
    const double x = 2.0 * c[2][0] + c[2][1] + c[1][0], y = 2.0 * c[0][2] + c[1][2] + c[0][1];
    const double k = double(c[1][1]), n = a + b + x + y + 2 * k;
    auto term = [](double count, double f) { return count > 0 ? count * std::log(f) : 0.0; };
    const double fa = (a + h) / n, fb = (b + h) / n, fx = (x + k - h) / n, fy = (y + k - h) / n;
    return term(a, fa) + term(b, fb) + term(x, fx) + term(y, fy) + term(k, fa * fb + fx * fy);
}

// r² at the best h of a fine grid refined by golden sections around it.
double bruteForceR2(const PairCounts& pc)
{
    const auto& c = pc.counts;
    const double a = 2.0 * c[2][2] + c[2][1] + c[1][2], b = 2.0 * c[0][0] + c[0][1] + c[1][0];
    const double x = 2.0 * c[2][0] + c[2][1] + c[1][0], y = 2.0 * c[0][2] + c[1][2] + c[0][1];
    const double k = double(c[1][1]), n = a + b + x + y + 2 * k;
    double best = 0;
    const int steps = 4000;
    for (int i = 1; i <= steps; ++i)
        if (likelihood(pc, k * i / steps) > likelihood(pc, best))
            best = k * i / steps;
    double lo = std::max(0.0, best - k / steps), hi = std::min(k, best + k / steps);
    for (int i = 0; i < 200; ++i) {
        const double m1 = lo + (hi - lo) * 0.382, m2 = lo + (hi - lo) * 0.618;
        if (likelihood(pc, m1) < likelihood(pc, m2))
            lo = m1;
        else
            hi = m2;
    }
    const double h = 0.5 * (lo + hi);
    const double px = (a + x + k) / n, py = (a + y + k) / n;
    const double d = (a + h) / n - px * py;
    return d * d / (px * (1 - px) * py * (1 - py));
}

} // namespace

TEST(LdCounts, PopcountTableEqualsPlainCountWithMissingGenotypes)
{
    std::mt19937_64 random(7);
    for (size_t samples : {1u, 63u, 64u, 65u, 200u}) {
        std::uniform_int_distribution<int> genotype(-1, 2);
        std::vector<int8_t> x(samples), y(samples);
        for (size_t s = 0; s < samples; ++s) {
            x[s] = static_cast<int8_t>(genotype(random));
            y[s] = static_cast<int8_t>(genotype(random));
        }
        GenotypePlanes planes(samples);
        planes.addCounts(x);
        planes.addCounts(y);
        PairCounts expected;
        for (size_t s = 0; s < samples; ++s)
            if (x[s] >= 0 && y[s] >= 0)
                ++expected.counts[x[s]][y[s]];
        const PairCounts got = pairCounts(planes, 0, 1);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_EQ(got.counts[i][j], expected.counts[i][j]) << samples << " samples, cell " << i << j;
    }
}

TEST(LdR2, MaximumLikelihoodEqualsBruteForceSearch)
{
    std::mt19937_64 random(11);
    std::uniform_int_distribution<int> cell(0, 40);
    int compared = 0;
    for (int round = 0; round < 400; ++round) {
        PairCounts pc;
        for (auto& row : pc.counts)
            for (uint64_t& v : row)
                v = static_cast<uint64_t>(round % 3 == 0 ? cell(random) / 8 : cell(random));
        const double r2 = haplotypeR2(pc);
        if (std::isnan(r2))
            continue;
        ++compared;
        EXPECT_NEAR(r2, bruteForceR2(pc), 1e-6) << "round " << round;
    }
    EXPECT_GT(compared, 350);
}

TEST(LdR2, ExactValuesMonomorphicAndMissing)
{
    // Homozygous haplotypes AB ×3, ab ×3, Ab, aB: r² = 1/4 exactly.
    GenotypePlanes planes(9);
    planes.addCounts({2, 2, 2, 0, 0, 0, 2, 0, 2});
    planes.addCounts({2, 2, 2, 0, 0, 0, 0, 2, -1}); // the ninth sample is missing here
    planes.addCounts({2, 2, 2, 2, 2, 2, 2, 2, 2});  // monomorphic
    planes.addCounts({-1, -1, -1, -1, -1, -1, -1, -1, -1});
    EXPECT_EQ(haplotypeR2(pairCounts(planes, 0, 1)), 0.25);
    EXPECT_EQ(haplotypeR2(pairCounts(planes, 0, 0)), 1.0);
    EXPECT_TRUE(std::isnan(haplotypeR2(pairCounts(planes, 0, 2))));
    EXPECT_TRUE(std::isnan(haplotypeR2(pairCounts(planes, 0, 3))));
}

TEST(LdFileset, FaultsAreNamed)
{
    const std::string dir = makeTempDir();
    const std::string p = dir + "/p";
    writeFile(p + ".bim", "1\trs1\t0\t100\tA\tG\n1\trs2\t0\t200\tA\tG\n");
    writeFile(p + ".fam", "f1 s1 0 0 0 -9\nf2 s2 0 0 0 -9\nf2 s3 0 0 0 -9\n");
    writeFile(p + ".bed", std::string("\x6c\x1b\x01\x38\x2c", 5));
    PlinkFileset set;
    std::string why;
    ASSERT_TRUE(openPlinkFileset(p + ".bed", set, why)) << why;
    EXPECT_EQ(set.variantCount, 2u);
    EXPECT_EQ(set.bytesPerVariant, 1u);

    std::vector<uint32_t> chosen;
    size_t unknown = 0;
    writeFile(dir + "/keep", "s3\nf1 s1\nf9 s2\nnobody\n\n");
    ASSERT_TRUE(selectSamples(set, dir + "/keep", chosen, unknown, why)) << why;
    EXPECT_EQ(chosen, (std::vector<uint32_t>{0, 2}));
    EXPECT_EQ(unknown, 2u);

    // A damaged .bim line is found where the lines stream past a table's
    // candidates. (The .bed file's faults and a keep file naming no sample
    // stop whole runs: the ld-panel-* folders of tests/data.)
    writeFile(p + ".bim", "1\trs1\t0\t100\tA\tG\n\n  \n1\trs2\t0\tposition\tA\tG\n");
    LdPanel panel;
    std::string warnings;
    ASSERT_TRUE(openLdPanel(p, "", panel, why, warnings)) << why;
    PanelMatch match;
    EXPECT_FALSE(matchCandidates(candidatesOf({{"1", "rs1", 100, "1e-9"}}, 1), panel, -1, -1, match, why));
    EXPECT_NE(why.find("line 4 is not a .bim line"), std::string::npos) << why;
    std::vector<PanelVariant> variants;
    EXPECT_FALSE(readPanelVariants(p + ".bim", variants, why));
    EXPECT_NE(why.find("line 4"), std::string::npos) << why;
}
