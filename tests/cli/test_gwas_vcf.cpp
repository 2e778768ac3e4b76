// GWAS-VCF tables against their TSV twins. A small writer here follows the
// GWAS-VCF field definitions (ES, SE, LP, AF per ALT allele, one sample
// column per study); three shared real tables written as VCF, bgzip VCF and
// BCF give the report and loci of the same rows read as a plain table.
// Several studies, a missing LP, multi-allelic records and a damaged bgzip
// file are each covered.
#include "test_support.h"
#include "../ld/ld_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cmath>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char* const kVcfHead =
    "##fileformat=VCFv4.2\n"
    "##FORMAT=<ID=ES,Number=A,Type=Float,Description=\"Effect size estimate relative to the alternative allele\">\n"
    "##FORMAT=<ID=SE,Number=A,Type=Float,Description=\"Standard error of effect size estimate\">\n"
    "##FORMAT=<ID=LP,Number=A,Type=Float,Description=\"-log10 p-value for effect estimate\">\n"
    "##FORMAT=<ID=AF,Number=A,Type=Float,Description=\"Alternate allele frequency in the association study\">\n"
    "##FORMAT=<ID=ID,Number=1,Type=String,Description=\"Study variant identifier\">\n";

// The header of a VCF with these contigs and studies.
std::string vcfHeader(const std::vector<std::string>& contigs, const std::vector<std::string>& studies)
{
    std::string text = kVcfHead;
    for (const std::string& c : contigs)
        text += "##contig=<ID=" + c + ">\n";
    text += "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    for (const std::string& s : studies)
        text += "\t" + s;
    return text + "\n";
}

// The shortest text of a float, as the GWAS-VCF reader writes it.
std::string floatText(float v)
{
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

// The report without its first column (the table's name).
std::string reportBody(const std::string& path)
{
    std::string body;
    for (const std::string& line : linesOf(readFile(path)))
        body += line.substr(std::min(line.find('\t'), line.size())) + "\n";
    return body;
}

const std::vector<std::string> kTwinColumns = {"-chrcolumn", "CHROM", "-lcolumn", "POS", "-pcolumn", "LP",
                                               "-idcolumn", "ID", "-log10p", "yes", "-header", "yes",
                                               "-carry", "ALT,REF,ES,SE,AF"};
const std::vector<std::string> kOutputs = {"-loci", "yes"};

// Runs the VCF (any form) and the twin in dir; their reports (but the name
// column) and loci files must agree.
void expectTwins(const std::string& dir, const std::string& vcf, const std::string& twin,
                 const std::vector<std::string>& extra = {})
{
    const RunResult v = runQuorlin(with(with({"-file", vcf, "-format", "gwas-vcf"}, kOutputs), extra), dir);
    ASSERT_EQ(v.status, 0) << v.err;
    const RunResult t = runQuorlin(with(with({"-file", twin}, kTwinColumns), kOutputs), dir);
    ASSERT_EQ(t.status, 0) << t.err;
    EXPECT_EQ(firstDifference(reportBody(dir + "/" + twin + ".out"), reportBody(dir + "/" + vcf + ".out")), "") << vcf;
    EXPECT_EQ(firstDifference(readFile(dir + "/" + twin + ".loci.tsv"), readFile(dir + "/" + vcf + ".loci.tsv")), "")
        << vcf;
}

} // namespace

// Three shared tables, each written as VCF, bgzip VCF and BCF: LP is the
// float of -log10(p), the other fields follow from the row's number.
TEST(RealGwasVcf, TablesEqualTheirTsvTwins)
{
    QUORLIN_NEEDS_REAL_DATA();
    const struct {
        const char* file;
        int chrom, pos, p;
    } tables[] = {{"topr_UC_UKBB_p1e-3.tsv", 1, 2, 6},
                  {"geniplots_IL6_GCST90274815_p1e-3.tsv", 1, 2, 3},
                  {"echodata_PD_locus_LRRK2.tsv", 3, 4, 5}};
    for (const auto& table : tables) {
        SCOPED_TRACE(table.file);
        const std::string text = readFile(realFile(table.file));
        ASSERT_FALSE(text.empty());
        std::vector<std::string> contigs;
        std::string body, twin = "CHROM\tPOS\tID\tLP\tES\tSE\tAF\tREF\tALT\n";
        size_t from = text.find('\n') + 1;
        for (size_t at, k = 0; (at = text.find('\n', from)) != std::string::npos; from = at + 1, ++k) {
            const std::vector<std::string> f = tabFields(text.substr(from, at - from));
            if (static_cast<int>(f.size()) < std::max({table.chrom, table.pos, table.p}))
                continue;
            const std::string& chrom = f[table.chrom - 1];
            char* end = nullptr;
            const double p = std::strtod(f[table.p - 1].c_str(), &end);
            const long pos = std::strtol(f[table.pos - 1].c_str(), nullptr, 10);
            if (*end || !(p > 0 && p <= 1) || pos < 1 || chrom.empty() || chrom.find_first_of(" :<>,") != chrom.npos)
                continue;
            if (std::find(contigs.begin(), contigs.end(), chrom) == contigs.end())
                contigs.push_back(chrom);
            const std::string id = "rs" + std::to_string(k), lp = floatText(static_cast<float>(-std::log10(p)));
            const std::string es = floatText(static_cast<float>(k % 11) / 100 - 0.05f);
            const std::string se = floatText(0.01f + static_cast<float>(k % 5) / 1000);
            const std::string af = floatText(static_cast<float>(k % 97) / 100);
            body += chrom + "\t" + std::to_string(pos) + "\t" + id + "\tA\tG\t.\tPASS\t.\tES:SE:LP:AF\t" + es + ":" +
                    se + ":" + lp + ":" + af + "\n";
            twin += chrom + "\t" + std::to_string(pos) + "\t" + id + "\t" + lp + "\t" + es + "\t" + se + "\t" + af +
                    "\tA\tG\n";
        }
        const std::string dir = makeTempDir(), vcf = vcfHeader(contigs, {"study"}) + body;
        writeFile(dir + "/t.vcf", vcf);
        writeBgzf(dir + "/t.vcf.gz", vcf);
        writeBcf(dir + "/t.vcf", dir + "/t.bcf");
        writeFile(dir + "/twin.tsv", twin);
        for (const char* form : {"t.vcf", "t.vcf.gz", "t.bcf"})
            expectTwins(dir, form, "twin.tsv");
        EXPECT_NE(readFile(dir + "/twin.tsv.loci.tsv").find("\trs"), std::string::npos) << "some locus";
    }
}

// Two studies, a missing LP (a missing value), a record whose fields hold one
// value per ALT (two rows), one whose LP serves both ALTs (skipped, counted),
// an unknown study and a damaged bgzip file.
TEST(GwasVcf, StudiesMissingValuesAndMultiAllelicRecords)
{
    std::string body, twinA = "CHROM\tPOS\tID\tLP\tES\tSE\tAF\tREF\tALT\n", twinB = twinA;
    auto add = [&](long pos, const std::string& alt, const std::string& a, const std::string& b) {
        body += "1\t" + std::to_string(pos) + "\trs" + std::to_string(pos) + "\tA\t" + alt +
                "\t.\tPASS\t.\tES:SE:LP:AF\t" + a + "\t" + b + "\n";
    };
    auto twin = [](std::string& t, long pos, const std::string& lp, const std::string& alt, const char* es = "0.1") {
        t += "1\t" + std::to_string(pos) + "\trs" + std::to_string(pos) + "\t" + lp + "\t" + es + "\t0.02\t0.3\tA\t" +
             alt + "\n";
    };
    const char* shape[] = {"3", "3", "4", "6", "9", "12.5", "9", "6", "4", "3", "3"};
    for (int k = 0; k < 11; ++k) {
        const long pos = k < 2 ? 100000 * (k + 1) : k < 9 ? 1000000 + 1000 * (k - 2) : 2000000 + 100000 * k;
        add(pos, "G", std::string("0.1:0.02:") + shape[k] + ":0.3", std::string("0.1:0.02:") + shape[10 - k] + ":0.3");
        twin(twinA, pos, shape[k], "G");
        twin(twinB, pos, shape[10 - k], "G");
    }
    add(1002500, "G,T", "0.1,0.2:0.02,0.02:9,8:0.3,0.3", "0.1,0.2:0.02,0.02:2,7:0.3,0.3");
    twin(twinA, 1002500, "9", "G");
    twin(twinA, 1002500, "8", "T", "0.2");
    twin(twinB, 1002500, "2", "G");
    twin(twinB, 1002500, "7", "T", "0.2");
    add(1003500, "G,C", "0.1:0.02:6:0.3", "0.1:0.02:6:0.3");
    add(1004500, "G", "0.1:0.02:.:0.3", "0.1:0.02:.:0.3");
    twin(twinA, 1004500, "NA", "G");
    twin(twinB, 1004500, "NA", "G");
    const std::string dir = makeTempDir(), vcf = vcfHeader({"1"}, {"A", "B"}) + body;
    writeBgzf(dir + "/t.vcf.gz", vcf);
    writeFile(dir + "/a.tsv", twinA);
    writeFile(dir + "/b.tsv", twinB);
    expectTwins(dir, "t.vcf.gz", "a.tsv");
    expectTwins(dir, "t.vcf.gz", "b.tsv", {"-vcf-study", "B"});
    const RunResult first = runQuorlin({"-file", "t.vcf.gz", "-format", "gwas-vcf"}, dir);
    EXPECT_NE(first.err.find("t.vcf.gz: the file holds 2 studies; the first, 'A', is read (-vcf-study picks "
                             "another: 'B')"),
              std::string::npos)
        << first.err;
    EXPECT_NE(first.err.find("t.vcf.gz: 1 multi-allelic records were skipped"), std::string::npos) << first.err;
    EXPECT_NE(first.err.find("t.vcf.gz: 14 rows read, 13 used"), std::string::npos) << first.err;

    const RunResult unknown = runQuorlin({"-file", "t.vcf.gz", "-format", "gwas-vcf", "-vcf-study", "C"}, dir);
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.out.find("Input file could not be read"), std::string::npos);
    EXPECT_NE(unknown.err.find("holds no study 'C'"), std::string::npos) << unknown.err;
    const RunResult unnamed = runQuorlin({"-file", "t.vcf.gz"}, dir);
    EXPECT_NE(unnamed.err.find("try -format gwas-vcf"), std::string::npos) << unnamed.err;

    // Damaged: the file cut in its last block. The rows before the damage
    // are read; the run stops as for any damaged gzip table.
    std::string big = vcfHeader({"1"}, {"A", "B"});
    for (int k = 0; k < 200; ++k)
        big += body.substr(0, body.find("\n1\t1002500")) + "\n";
    writeBgzf(dir + "/big.vcf.gz", big);
    const std::string bytes = readFile(dir + "/big.vcf.gz");
    writeFile(dir + "/cut.vcf.gz", bytes.substr(0, bytes.size() * 3 / 4));
    const RunResult cut = runQuorlin({"-file", "cut.vcf.gz", "-format", "gwas-vcf"}, dir);
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.out.find("Input file could not be read"), std::string::npos) << cut.out;
    EXPECT_TRUE(fileExists(dir + "/cut.vcf.gz.out")) << "the report holds the peaks found before the damage";
}
