// Lead markers, the BED file and the coverage summary: on real tables (lead
// ids and positions exist in the input, the report is unchanged), through a
// real interval tool, and on a generated table with significant markers
// inside and outside the peaks.
#include "test_support.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct RealTable {
    const char* file;
    const char* chrom, *pos, *p, *id;
};

const RealTable kTables[] = {
    {"topr_UC_UKBB_p1e-3.tsv", "1", "2", "6", "3"},
    {"topr_CD_FINNGEN_p1e-3.tsv", "1", "2", "5", "7"},
    {"fcfdr_T1D_ImmunoChip_OnengutGumuscu2015.tsv", "2", "3", "6", "1"},
    {"RapidoPGS_michailidou19_BRCA_100k.tsv", "2", "3", "9", "1"},
    {"echodata_PD_locus_LRRK2.tsv", "3", "4", "5", "2"},
    {"locuszoomr_SLE_gwas_sub.tsv", "1", "2", "6", "3"},
    {"gapdatasets_mhtdata_bodyfat.tsv", "5", "3", "4", "1"},
    {"qmplot_gwas_plink_result.glm.tsv", "1", "2", "12", "3"},
    {"METAL_test09_METAANALYSIS1_TRACKPOSITIONS_sorted.tsv", "1", "2", "8", "3"},
};


std::vector<std::vector<std::string>> rowsOf(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#')
            rows.push_back(tabFields(line));
    return rows;
}

std::string formatted(double x)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g", x);
    return text;
}

// Checks every BED line of a real table against the input and the report.
void checkLeads(const RealTable& t, const std::string& dir)
{
    const std::string input = readFile(dir + "/t.tsv");
    std::map<std::string, std::string> reportMax; // "chrom first last" -> max
    const auto report = rowsOf(readFile(dir + "/t.tsv.out"));
    for (const auto& r : std::vector<std::vector<std::string>>(report.begin() + 1, report.end())) {
        const std::string a = r[2].substr(0, r[2].find('-', 1)), b = r[2].substr(a.size() + 1);
        const long lo = std::min(std::stol(a), std::stol(b)), hi = std::max(std::stol(a), std::stol(b));
        reportMax[r[1] + " " + std::to_string(lo) + " " + std::to_string(hi)] = r[3];
    }
    const auto bed = rowsOf(readFile(dir + "/t.tsv.bed"));
    ASSERT_EQ(bed.size(), reportMax.size()) << t.file;
    std::set<std::string> leads;
    for (const auto& b : bed)
        leads.insert(b[0] + "\t" + b[6] + "\t" + b[3]);
    std::istringstream rows(input);
    std::string line;
    std::getline(rows, line);
    std::map<std::string, std::string> found; // lead -> -log10(p) of its row
    const int c = std::stoi(t.chrom) - 1, po = std::stoi(t.pos) - 1, pv = std::stoi(t.p) - 1, id = std::stoi(t.id) - 1;
    while (std::getline(rows, line)) {
        const auto f = tabFields(line);
        const std::string key = f[c] + "\t" + f[po] + "\t" + f[id];
        if (leads.count(key) && !found.count(key))
            found[key] = formatted(-std::log10(std::stod(f[pv])));
    }
    for (const auto& b : bed) {
        const std::string key = b[0] + "\t" + b[6] + "\t" + b[3];
        ASSERT_TRUE(found.count(key)) << t.file << ": lead " << key << " is not an input row";
        EXPECT_EQ(found[key], b[7]) << t.file << ": " << key;
        const std::string range = b[0] + " " + std::to_string(std::stol(b[1]) + 1) + " " + b[2];
        const std::string range0 = b[0] + " " + b[1] + " " + b[2];
        const std::string max = reportMax.count(range) ? reportMax[range] : reportMax[range0];
        EXPECT_EQ(max, b[7]) << t.file << ": " << key;
    }
}

bool haveBedtools()
{
    return QProcess::execute("bedtools", {"--version"}) == 0;
}

} // namespace

TEST(Loci, LeadMarkersOfRealTables)
{
    int checked = 0;
    for (const RealTable& t : kTables) {
        const fs::path source = fs::path(QUORLIN_SHARED) / "data" / "real" / t.file;
        if (!fs::exists(source))
            continue;
        const std::string dir = makeTempDir();
        fs::copy_file(source, dir + "/t.tsv");
        const std::vector<std::string> columns = {"-file", "t.tsv", "-chrcolumn", t.chrom, "-lcolumn", t.pos,
                                                  "-pcolumn", t.p, "-header", "yes"};
        ASSERT_EQ(runQuorlin(columns, dir).status, 0) << t.file;
        const std::string plain = readFile(dir + "/t.tsv.out");
        std::vector<std::string> withBed = columns;
        withBed.insert(withBed.end(), {"-idcolumn", t.id, "-bed", "t.tsv.bed"});
        const RunResult r = runQuorlin(withBed, dir);
        ASSERT_EQ(r.status, 0) << r.command;
        EXPECT_EQ(firstDifference(plain, readFile(dir + "/t.tsv.out")), "") << t.file << ": report changed";
        checkLeads(t, dir);
        ++checked;
    }
    if (checked == 0)
        GTEST_SKIP() << "shared real tables absent";
}

TEST(Loci, IntervalToolReadsTheBedFile)
{
    if (!haveBedtools())
        GTEST_SKIP() << "bedtools not installed";
    const std::string dir = makeTempDir();
    const fs::path loci = fs::path(QUORLIN_TEST_DATA) / "loci" / "expected" / "loci.bed";
    for (const char* verb : {"sort", "merge"}) {
        QProcess p;
        p.start("bedtools", {verb, "-i", QString::fromStdString(loci.string())});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << verb << ": " << p.readAllStandardError().toStdString();
        EXPECT_FALSE(p.readAllStandardOutput().isEmpty()) << verb;
    }
}

TEST(Loci, CoverageCountsSignificantMarkersOutsidePeaks)
{
    // Four clear peaks (summits 1e-12) and, far from them, three lone
    // markers at p = 1e-9, 1e-10 and 3e-8, and one at 6e-8 that does not
    // count: three significant markers lie outside every peak.
    std::string table = "CHR\tPOS\tP\n";
    auto add = [&](int chrom, long pos, const char* p) {
        table += std::to_string(chrom) + "\t" + std::to_string(pos) + "\t" + p + "\n";
    };
    const char* shape[] = {"1e-4", "1e-6", "1e-9", "1e-12", "1e-9", "1e-6", "1e-4"};
    for (int chrom = 1; chrom <= 2; ++chrom) {
        for (long base : {1000000L, 5000000L}) {
            for (long k = 0; k < 5; ++k)
                add(chrom, base - 500000 + k * 100000, "0.001");
            for (long k = 0; k < 7; ++k)
                add(chrom, base + k * 1000, shape[k]);
            for (long k = 0; k < 5; ++k)
                add(chrom, base + 500000 + k * 100000, "0.001");
        }
        add(chrom, 9000000, chrom == 1 ? "1e-9" : "3e-8");
        add(chrom, 9500000, chrom == 1 ? "1e-10" : "6e-8");
    }
    const std::string dir = makeTempDir();
    writeFile(dir + "/g.tsv", table);
    const RunResult r = runQuorlin({"-file", "g.tsv", "-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1", "-header",
                                    "yes", "-shrink", "0", "-dots", "1", "-peak-limit", "7.1"},
                                   dir);
    ASSERT_EQ(r.status, 0) << r.command;
    const auto rows = rowsOf(readFile(dir + "/g.tsv.out"));
    ASSERT_EQ(rows.size(), 5u) << "header and four peaks";
    EXPECT_NE(r.err.find("g.tsv: 3 of 15 markers with p <= 5e-08 lie outside every reported peak; the strongest is "
                         "1:9500000 with p = 1e-10"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("g.tsv: 72 rows read, 72 used, 72 markers retained, 2 chromosomes, 4 peaks reported"),
              std::string::npos)
        << r.err;
}
