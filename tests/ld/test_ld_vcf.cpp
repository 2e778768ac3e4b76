// VCF and BCF panels: the shared VCF and generated ones in every form
// (plain, bgzipped with a tabix index or without, BCF with a CSI index,
// one file per chromosome) give the loci, members and r² of the same
// genotypes as a PLINK fileset. (A VCF's faults, each stopping the run
// with its cause, and a VCF of several BGZF blocks read whole: the
// ld-vcf-* folders of tests/data.)
#include "ld_reference.h"
#include "test_support.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>

namespace {

std::vector<std::string> ldArgs(const std::string& table, const std::string& panel)
{
    return {"-file", table, "-header", "yes", "-chrcolumn", "CHR", "-lcolumn", "BP", "-pcolumn", "P",
            "-idcolumn", "SNP", "-loci-ld", panel, "-loci-members", "yes", "-loci-p", "1e-4",
            "-loci-p2", "1e-2", "-loci-window", "250000"};
}

struct LdFiles {
    int status = -1;
    std::string loci, members, err;
};

LdFiles runLd(const std::string& dir, std::vector<std::string> args)
{
    LdFiles f;
    const RunResult r = runQuorlin(args, dir);
    f.status = r.status;
    f.err = r.err;
    f.loci = readFile(dir + "/" + args[1] + ".loci.tsv");
    f.members = readFile(dir + "/" + args[1] + ".loci.members.tsv");
    return f;
}

// Rows of every variant of a fileset with p = 10^-x, x exponential.
std::string randomTable(const std::string& prefix, const std::string& chromosome, std::mt19937_64& random)
{
    std::vector<PanelVariant> variants;
    std::string why;
    EXPECT_TRUE(readPanelVariants(prefix + ".bim", variants, why)) << why;
    std::exponential_distribution<double> strength(0.5);
    std::string text;
    for (const PanelVariant& v : variants) {
        char p[32];
        std::snprintf(p, sizeof p, "%.5g", std::pow(10.0, -strength(random)));
        text += (chromosome.empty() ? v.chromosome : chromosome) + "\t" + v.id + "\t" + std::to_string(v.position) +
                "\t" + p + "\n";
    }
    return text;
}

// A stretch of the shared panel's SNPs over a random share of its people,
// some genotypes missing (everyone: all its people).
void cutPanel(std::mt19937_64& random, const std::string& prefix, bool everyone = false)
{
    PlinkFileset set;
    std::string why;
    ASSERT_TRUE(openPlinkFileset(sharedPanel(), set, why)) << why;
    const size_t count = std::uniform_int_distribution<size_t>(300, 1200)(random);
    const size_t start = std::uniform_int_distribution<size_t>(0, set.variantCount - count)(random);
    std::vector<uint32_t> variants, samples;
    for (size_t v = start; v < start + count; ++v)
        variants.push_back(static_cast<uint32_t>(v));
    for (uint32_t s = 0; s < set.sampleIds.size(); ++s)
        if (everyone || std::bernoulli_distribution(0.6)(random))
            samples.push_back(s);
    writeFileset(set, variants, samples, 0.03, random, prefix);
}

// The first record after the header line: a multi-allelic one.
void addMultiAllelic(const std::string& path)
{
    std::string text = readFile(path);
    const size_t header = text.find("#CHROM");
    const size_t at = text.find('\n', header) + 1;
    const size_t tab = text.find('\t', at);
    const std::string chrom = text.substr(at, tab - at);
    const size_t samples = static_cast<size_t>(std::count(text.begin() + header, text.begin() + at, '\t')) - 8;
    std::string line = chrom + "\t1\tmulti1\tA\tC,G\t.\tPASS\t.\tGT";
    for (size_t s = 0; s < samples; ++s)
        line += "\t1/2";
    text.insert(at, line + "\n");
    writeFile(path, text);
}

} // namespace

TEST(LdVcf, SharedVcfGivesTheFilesetsLoci)
{
    SKIP_WITHOUT_PANEL();
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.qassoc.gz", readFile(std::string(QUORLIN_SHARED) + "/data/ld/exercise_qt.qassoc.gz"));
    const std::vector<std::string> args{"-file", "t.qassoc.gz", "-format", "plink", "-loci-p2", "0.01",
                                        "-loci-window", "250000", "-loci-members", "yes", "-loci-ld"};
    const LdFiles bed = runLd(dir, with(args, {sharedPanel()}));
    ASSERT_EQ(bed.status, 0) << bed.err;
    const LdFiles vcf = runLd(dir, with(args, {sharedPanel() + ".vcf.gz"}));
    ASSERT_EQ(vcf.status, 0) << vcf.err;
    EXPECT_EQ(firstDifference(bed.loci, vcf.loci), "");
    EXPECT_EQ(firstDifference(bed.members, vcf.members), "");
    EXPECT_EQ(std::count(vcf.loci.begin(), vcf.loci.end(), '\n'), 6); // the header and five clumps

    // The ceu. samples: "FID IID" lines for the fileset, the VCF's names
    // (FID_IID) for the VCF, with one unknown name counted.
    PlinkFileset set;
    std::string why, keepBed, keepVcf = "nobody\n";
    ASSERT_TRUE(openPlinkFileset(sharedPanel(), set, why)) << why;
    for (size_t s = 0; s < set.sampleIds.size(); ++s)
        if (set.sampleIds[s].rfind("ceu.", 0) == 0) {
            keepBed += set.familyIds[s] + " " + set.sampleIds[s] + "\n";
            keepVcf += set.familyIds[s] + "_" + set.sampleIds[s] + "\n";
        }
    writeFile(dir + "/bed.keep", keepBed);
    writeFile(dir + "/vcf.keep", keepVcf);
    const LdFiles ceuBed = runLd(dir, with(args, {sharedPanel(), "-loci-ld-samples", "bed.keep"}));
    const LdFiles ceuVcf = runLd(dir, with(args, {sharedPanel() + ".vcf.gz", "-loci-ld-samples", "vcf.keep"}));
    ASSERT_EQ(ceuVcf.status, 0) << ceuVcf.err;
    EXPECT_EQ(firstDifference(ceuBed.members, ceuVcf.members), "");
    EXPECT_NE(ceuBed.members, bed.members); // the selection changed the r²
    EXPECT_NE(ceuVcf.err.find("1 sample ids are not in the panel"), std::string::npos) << ceuVcf.err;
}

TEST(LdVcf, GeneratedPanelsInEveryFormGiveTheFilesetsLoci)
{
    SKIP_WITHOUT_PANEL();
    std::mt19937_64 random(30);
    for (int round = 0; round < 4; ++round) {
        const std::string dir = makeTempDir();
        cutPanel(random, dir + "/p");
        writeFile(dir + "/t.tsv", "CHR\tSNP\tBP\tP\n" + randomTable(dir + "/p", "", random));
        const LdFiles bed = runLd(dir, ldArgs("t.tsv", "p"));
        ASSERT_EQ(bed.status, 0) << bed.err;
        ASSERT_GT(std::count(bed.members.begin(), bed.members.end(), '\n'), 5) << bed.members;
        // Plain text with a multi-allelic record; bgzipped with a tabix
        // index, with a CSI index, without; BCF with a CSI index.
        writeVcfFromFileset(dir + "/p", dir + "/p.vcf", round % 2 ? "chr" : "", round % 2 == 1);
        bgzipWithIndex(dir + "/p.vcf");
        bcfWithIndex(dir + "/p.vcf.gz", dir + "/p.bcf");
        writeFile(dir + "/q.vcf.gz", readFile(dir + "/p.vcf.gz"));
        writeFile(dir + "/c.vcf", readFile(dir + "/p.vcf"));
        bgzipWithIndex(dir + "/c.vcf", true);
        addMultiAllelic(dir + "/p.vcf");
        writeFile(dir + "/p.vcf.tbi", readFile(dir + "/p.vcf.gz.tbi")); // stale: p.vcf is not compressed
        for (const char* panel : {"p.vcf", "p.vcf.gz", "c.vcf.gz", "q.vcf.gz", "p.bcf"}) {
            const LdFiles vcf = runLd(dir, ldArgs("t.tsv", panel));
            ASSERT_EQ(vcf.status, 0) << panel << ": " << vcf.err;
            EXPECT_EQ(firstDifference(bed.loci, vcf.loci), "") << "round " << round << ", " << panel;
            EXPECT_EQ(firstDifference(bed.members, vcf.members), "") << "round " << round << ", " << panel;
            EXPECT_EQ(vcf.err.find("multi-allelic") != std::string::npos, std::string(panel) == "p.vcf") << vcf.err;
        }
        EXPECT_NE(runLd(dir, ldArgs("t.tsv", "p.vcf")).err.find("1 multi-allelic records of the LD panel were skipped"),
                  std::string::npos);
    }
}

TEST(LdVcf, PerChromosomeVcfsGiveThePerChromosomeFilesetsLoci)
{
    SKIP_WITHOUT_PANEL();
    std::mt19937_64 random(31);
    const std::string dir = makeTempDir();
    // Two cuts: one stays on chromosome 10, the other moves to 2.
    cutPanel(random, dir + "/p.chr10", true);
    cutPanel(random, dir + "/p.chr2", true);
    std::string bim = readFile(dir + "/p.chr2.bim"), moved;
    for (size_t at = 0; at < bim.size();) {
        const size_t end = bim.find('\n', at) + 1;
        moved += "2" + bim.substr(bim.find('\t', at), end - bim.find('\t', at));
        at = end;
    }
    writeFile(dir + "/p.chr2.bim", moved);
    std::string table = "CHR\tSNP\tBP\tP\n";
    for (const char* chrom : {"10", "2"}) {
        const std::string prefix = dir + "/p.chr" + chrom;
        table += randomTable(prefix, chrom, random);
        writeVcfFromFileset(prefix, prefix + ".vcf", "chr", false);
        bgzipWithIndex(prefix + ".vcf");
    }
    writeFile(dir + "/t.tsv", table);
    const LdFiles bed = runLd(dir, ldArgs("t.tsv", "p.chr{chrom}"));
    ASSERT_EQ(bed.status, 0) << bed.err;
    const LdFiles vcf = runLd(dir, ldArgs("t.tsv", "p.chr{chrom}.vcf.gz"));
    ASSERT_EQ(vcf.status, 0) << vcf.err;
    EXPECT_EQ(firstDifference(bed.loci, vcf.loci), "");
    EXPECT_EQ(firstDifference(bed.members, vcf.members), "");
    EXPECT_NE(bed.loci.find("\n2\t"), std::string::npos) << bed.loci;
    EXPECT_NE(bed.loci.find("\n10\t"), std::string::npos) << bed.loci;
}
