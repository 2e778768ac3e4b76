// Matching a table's candidates to a panel whose .bim is not sorted by
// position (candidates by place are walked in position order, and a step
// back is found again by bisection) against the rule itself applied to
// every line in file order: a candidate takes the first variant with its
// id, else the first at its place; "chr" names match plain ones. On one
// thread and on a pool.
#include "ld_reference.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

TEST(LdMatch, UnsortedBimMatchesByTheRuleInFileOrder)
{
    std::mt19937_64 random(33);
    for (int round = 0; round < 20; ++round) {
        const std::string dir = makeTempDir();
        struct Variant {
            std::string chromosome, id;
            int32_t position;
        };
        std::vector<Variant> variants;
        const size_t n = 2000 + random() % 3000;
        for (size_t v = 0; v < n; ++v) {
            // Few places, so that places repeat; some ids repeat too.
            const int chrom = 1 + static_cast<int>(random() % 3);
            variants.push_back({(random() % 4 == 0 ? "chr" : "") + std::to_string(chrom),
                                random() % 10 == 0 ? "dup" + std::to_string(random() % 50) : "v" + std::to_string(v),
                                static_cast<int32_t>(1 + random() % 3000)});
        }
        if (round % 2 == 0) // half the rounds mostly sorted, with steps back
            std::sort(variants.begin(), variants.end(), [](const Variant& a, const Variant& b) {
                return a.position < b.position;
            });
        std::ostringstream bim;
        std::string bed = {0x6c, 0x1b, 0x01};
        for (size_t v = 0; v < variants.size(); ++v) {
            if (round % 2 == 0 && v % 97 == 0 && v > 0)
                std::swap(variants[v], variants[v - 1 - random() % std::min<size_t>(v, 40)]);
        }
        for (const Variant& v : variants) {
            bim << v.chromosome << "\t" << v.id << "\t0\t" << v.position << "\tA\tG\n";
            bed += static_cast<char>(random() & 0xff);
        }
        std::ofstream(dir + "/panel.fam") << "f0 s0 0 0 0 -9\nf1 s1 0 0 0 -9\nf2 s2 0 0 0 -9\n";
        std::ofstream(dir + "/panel.bim") << bim.str();
        std::ofstream(dir + "/panel.bed", std::ios::binary) << bed;
        // Candidates: by id (present, repeated, absent) and by place alone.
        std::vector<TableRow> rows;
        for (int k = 0; k < 400; ++k) {
            const std::string chromosome = std::to_string(1 + random() % 3);
            const int32_t position = static_cast<int32_t>(1 + random() % 3000);
            std::string id;
            if (k % 3 == 0)
                id = variants[random() % variants.size()].id;
            else if (k % 3 == 1)
                id = "none" + std::to_string(k);
            rows.push_back({chromosome, id, position, "1e-9"});
        }
        const LociCandidates c = candidatesOf(rows, 1);
        // The rule, line after line.
        std::vector<int64_t> expected(c.candidates.size(), -1);
        for (size_t k = 0; k < c.candidates.size(); ++k) {
            const std::string chrom = c.chromosomes[c.candidates[k].chromosome];
            for (size_t v = 0; v < variants.size() && expected[k] < 0; ++v)
                if (!c.id(k).empty() && variants[v].id == c.id(k))
                    expected[k] = static_cast<int64_t>(v);
            for (size_t v = 0; v < variants.size() && expected[k] < 0; ++v) {
                const std::string& name = variants[v].chromosome;
                const std::string plain = name.rfind("chr", 0) == 0 ? name.substr(3) : name;
                if (plain == chrom && variants[v].position == c.candidates[k].position)
                    expected[k] = static_cast<int64_t>(v);
            }
        }
        LdPanel panel;
        std::string why, warnings;
        ASSERT_TRUE(openLdPanel(dir + "/panel", "", panel, why, warnings)) << why;
        ThreadPool pool(1);
        for (ThreadPool* p : {static_cast<ThreadPool*>(nullptr), &pool}) {
            PanelMatch m;
            ASSERT_TRUE(matchCandidates(c, panel, -1, -1, m, why, p)) << why;
            size_t matched = 0;
            for (size_t k = 0; k < c.candidates.size(); ++k) {
                const int64_t got = m.part[k] < 0 ? -1 : static_cast<int64_t>(m.variant[k]);
                ASSERT_EQ(got, expected[k]) << "round " << round << " candidate " << k << " id '" << c.id(k) << "'";
                matched += got >= 0;
            }
            EXPECT_GT(matched, 100u);
        }
    }
}
