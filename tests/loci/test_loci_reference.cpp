// The loci file held to a plain reference of its rules, written here from the
// rules alone: the table text split by hand, candidates clumped by scanning
// every chosen lead, peaks matched with every locus. Compared on generated
// tables full of edge cases and on every real table of the shared data.
#include "loci_text.h"
#include "table_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <random>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

struct Layout {
    std::string delim = "\t";
    int chrom = 1, pos = 2, p = 3, id = 0; // 1-based; id 0: none
    std::vector<int> carried;
    bool log10 = false;
    double threshold = 5e-8;
    int64_t window = 500000;
};

struct Peak {
    std::string chrom;
    long first, last;
    double gqs;
};

std::vector<std::string> split(const std::string& line, const std::string& delim)
{
    std::vector<std::string> out;
    size_t from = 0, at;
    while ((at = line.find(delim, from)) != std::string::npos) {
        out.push_back(line.substr(from, at - from));
        from = at + delim.size();
    }
    out.push_back(line.substr(from));
    return out;
}

bool wholeNumber(const std::string& s, long& v)
{
    size_t k = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    if (k == s.size() || s.size() - k > 10 || s.find_first_not_of("0123456789", k) != std::string::npos)
        return false;
    v = std::stol(s);
    return v >= INT32_MIN && v <= INT32_MAX;
}

bool number(const std::string& s, double& v)
{
    if (s.empty() || s.find_first_of("xXpP") != std::string::npos)
        return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtod(s.c_str(), &end);
    if (v == 0 && errno == ERANGE) // too small for a double: the smallest one
        v = std::copysign(std::numeric_limits<double>::denorm_min(), s[0] == '-' ? -1.0 : 1.0);
    return *end == '\0';
}

std::string g(double x)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g", x);
    return text;
}

// The loci file the rules give for this table text and these peaks.
std::string referenceLoci(const std::string& text, int headerLines, const Layout& L, const std::vector<Peak>& peaks,
                          std::vector<std::string> carriedNames)
{
    struct Row {
        long pos;
        double strength;
        std::string id, carried;
    };
    std::vector<std::string> chroms;      // in order of first appearance
    std::map<std::string, std::vector<Row>> rows; // candidates, in input order
    const int need = std::max({L.chrom, L.pos, L.p, L.id});
    std::string plain = text; // carriage returns are dropped wherever they are
    plain.erase(std::remove(plain.begin(), plain.end(), '\r'), plain.end());
    const std::vector<std::string> lines = split(plain, "\n");
    for (size_t k = static_cast<size_t>(headerLines); k < lines.size(); ++k) {
        const std::vector<std::string> f = split(lines[k], L.delim);
        if (lines[k].empty() || static_cast<int>(f.size()) < need || f[L.pos - 1] == "NA" || f[L.p - 1] == "NA")
            continue;
        const std::string& c = f[L.chrom - 1];
        if (std::find(chroms.begin(), chroms.end(), c) == chroms.end())
            chroms.push_back(c);
        long pos;
        double v;
        if (!wholeNumber(f[L.pos - 1], pos) || !number(f[L.p - 1], v))
            continue;
        if (L.log10 ? !(v >= -std::log10(L.threshold)) : !(v >= 0 && v <= L.threshold))
            continue;
        Row r{pos, L.log10 ? 0.0 + v : 0.0 - std::log10(v), L.id ? f[L.id - 1] : "", ""}; // p = 1 gives 0, not -0
        for (int col : L.carried)
            r.carried += "\t" + (col <= static_cast<int>(f.size()) ? f[col - 1] : std::string("NA"));
        rows[c].push_back(r);
    }
    std::string out = "chrom\tstart\tend\tlead_id\tlead_position\tlead_log10p\tmarkers\tstatus\tpeaks\tpeak_ranges\tbest_gqs";
    for (const std::string& name : carriedNames)
        out += "\t" + name;
    out += "\n";
    for (const std::string& c : chroms) {
        std::vector<Row>& rs = rows[c];
        std::stable_sort(rs.begin(), rs.end(), [](const Row& a, const Row& b) { return a.strength > b.strength; });
        struct Locus {
            const Row* lead;
            long start, end, markers;
        };
        std::vector<Locus> loci; // in the order chosen
        for (const Row& r : rs) {
            Locus* join = nullptr;
            for (Locus& l : loci)
                if (!join && std::labs(l.lead->pos - r.pos) <= L.window)
                    join = &l;
            if (!join) {
                loci.push_back({&r, r.pos, r.pos, 1});
                continue;
            }
            join->start = std::min(join->start, r.pos);
            join->end = std::max(join->end, r.pos);
            ++join->markers;
        }
        std::sort(loci.begin(), loci.end(), [](const Locus& a, const Locus& b) {
            return a.start != b.start ? a.start < b.start : a.lead->pos < b.lead->pos;
        });
        auto meets = [&](const Peak& p, const Locus& l) {
            return p.chrom == c && std::max(std::min(p.first, p.last), l.start) <= std::min(std::max(p.first, p.last), l.end);
        };
        for (const Locus& l : loci) {
            std::vector<const Peak*> hit;
            for (const Peak& p : peaks)
                if (meets(p, l))
                    hit.push_back(&p);
            std::stable_sort(hit.begin(), hit.end(), [](const Peak* a, const Peak* b) {
                return std::make_pair(std::min(a->first, a->last), std::max(a->first, a->last)) <
                       std::make_pair(std::min(b->first, b->last), std::max(b->first, b->last));
            });
            int others = 0;
            for (const Locus& m : loci)
                others += hit.size() == 1 && &m != &l && meets(*hit[0], m);
            const char* status = hit.empty() ? "no_peak" : hit.size() > 1 ? "split" : others ? "merged" : "peak";
            std::string ranges, best = "NA";
            double top = -1;
            for (const Peak* p : hit) {
                ranges += (ranges.empty() ? "" : ",") + std::to_string(p->first) + "-" + std::to_string(p->last);
                top = std::max(top, p->gqs);
            }
            const std::string id = l.lead->id.empty() ? c + ":" + std::to_string(l.lead->pos) : l.lead->id;
            out += c + "\t" + std::to_string(l.start) + "\t" + std::to_string(l.end) + "\t" + id + "\t" +
                   std::to_string(l.lead->pos) + "\t" + g(l.lead->strength) + "\t" + std::to_string(l.markers) + "\t" +
                   status + "\t" + std::to_string(hit.size()) + "\t" + (hit.empty() ? "." : ranges) + "\t" +
                   (hit.empty() ? "NA" : g(top)) + l.lead->carried + "\n";
        }
    }
    return out;
}

// The loci file of the production path: the reader, findLoci,
// crossReference, lociFileText.
std::string productionLoci(const std::string& path, int headerLines, const Layout& L, const std::vector<Peak>& peaks,
                           const std::vector<std::string>& carriedNames, std::string* summary = nullptr)
{
    TableLayout layout;
    layout.separator = separatorForWord(L.delim == "\t" ? "tab" : L.delim == " " ? "space" : L.delim);
    layout.chromosomeColumn = L.chrom;
    layout.positionColumn = L.pos;
    layout.pvalueColumn = L.p;
    layout.idColumn = L.id;
    layout.carriedColumns = L.carried;
    layout.log10Values = L.log10;
    layout.lociThreshold = L.threshold;
    layout.headerLines = headerLines;
    ReadNotes notes;
    EXPECT_TRUE(readTable(openInput(path), layout, 0.001, [](ChromosomeBatch&) {}, notes)) << path;
    std::vector<ReportedPeak> reported;
    for (const Peak& p : peaks) {
        ReportedPeak r;
        r.chromosome = p.chrom;
        r.features.firstPosition = static_cast<int32_t>(p.first);
        r.features.lastPosition = static_cast<int32_t>(p.last);
        r.features.quality = p.gqs;
        reported.push_back(r);
    }
    LociResult loci = findLoci(notes.candidates, L.window);
    crossReference(loci, notes.candidates, reported);
    if (summary)
        *summary = lociSummary("t", loci, notes.candidates, reported, L.threshold, L.window);
    return lociFileText(loci, notes.candidates, reported, carriedNames);
}

std::string pick(std::mt19937& rng, const std::vector<std::string>& from)
{
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
}

} // namespace

TEST(GenomeWideLoci, GeneratedTablesMatchTheReference)
{
    std::mt19937 rng(19);
    const std::string dir = makeTempDir();
    const std::vector<std::string> pvalues = {"0", "1e-9", "1e-9", "5e-8", "5.0000001e-08", "3e-12", "1e-400", "0.5",
                                              "-0", "-1e-9", "nan", "abc", "NA", "2", "1", "1e-3", "7e-4"};
    const std::vector<std::string> log10s = {"0", "-0", "8", "8", "7.30103", "7.3010299956639813", "20", "inf", "-1",
                                             "nan", "x", "NA", "3", "2.9"};
    const std::vector<std::string> odd = {"NA", "1.5", "x", "-40", "2147483648", ""};
    const std::vector<int64_t> windows = {0, 1, 7, 50, 300, 5000, 500000};
    const std::vector<double> thresholds = {5e-8, 1e-3, 1};
    for (int t = 0; t < 3000; ++t) {
        Layout L;
        L.log10 = t % 4 == 3;
        L.window = windows[static_cast<size_t>(t) % windows.size()];
        L.threshold = thresholds[static_cast<size_t>(t / 7) % thresholds.size()];
        L.id = t % 3 ? 4 : 0;
        if (t % 2)
            L.carried = {5, 2, 5};
        std::string text = "chr\tpos\tp\tid\tbeta\n";
        const int rows = std::uniform_int_distribution<int>(0, 60)(rng);
        const int span = t % 5 == 0 ? 20 : 2000; // narrow spans give equal positions
        for (int r = 0; r < rows; ++r) {
            const int kind = std::uniform_int_distribution<int>(0, 19)(rng);
            const std::string pos = kind == 0 ? pick(rng, odd) : std::to_string(std::uniform_int_distribution<int>(0, span)(rng));
            text += pick(rng, {"1", "2", "X"}) + "\t" + pos + "\t" + pick(rng, L.log10 ? log10s : pvalues);
            if (kind != 1) // a row without its id column is short
                text += "\trs" + std::to_string(r);
            if (kind > 3) // a row without the carried column is not
                text += "\tb" + std::to_string(r);
            text += "\n";
        }
        std::vector<Peak> peaks;
        for (int k = std::uniform_int_distribution<int>(0, 4)(rng); k > 0; --k) {
            const long a = std::uniform_int_distribution<long>(0, span)(rng), b = a + std::uniform_int_distribution<long>(-100, 300)(rng);
            peaks.push_back({pick(rng, {"1", "2", "Y"}), a, b, std::uniform_int_distribution<int>(4, 20)(rng) / 4.0});
        }
        const std::string path = dir + "/t" + std::to_string(t % 10) + ".tsv";
        writeFile(path, text);
        const std::vector<std::string> names = L.carried.empty() ? std::vector<std::string>{}
                                                                 : std::vector<std::string>{"beta", "pos", "beta"};
        const std::string want = referenceLoci(text, 1, L, peaks, names);
        ASSERT_EQ(firstDifference(want, productionLoci(path, 1, L, peaks, names)), "") << "table " << t << ":\n" << text;
    }
}

namespace {

struct RealTable {
    const char* file;
    const char* delim;
    int chrom, pos, p;
    bool log10;
};

// Every association table of the shared real data (SOURCES.md).
const RealTable kRealTables[] = {
    {"topr_CD_UKBB_p1e-3.tsv", "\t", 1, 2, 6, false},
    {"topr_UC_UKBB_p1e-3.tsv", "\t", 1, 2, 6, false},
    {"topr_CD_FINNGEN_p1e-3.tsv", "\t", 1, 2, 5, false},
    {"CMplot_pig60K_ORIGINALORDER.tsv", "\t", 2, 3, 4, false},
    {"CMplot_pig60K_sorted.tsv", "\t", 2, 3, 4, false},
    {"gapdatasets_hr1420_heartrate.tsv", "\t", 3, 4, 2, false},
    {"gapdatasets_mhtdata_bodyfat.tsv", "\t", 5, 3, 4, false},
    {"gapdatasets_w4_chicken_ORIGINALORDER.tsv", "\t", 1, 2, 3, false},
    {"gapdatasets_w4_chicken_sorted.tsv", "\t", 1, 2, 3, false},
    {"gapdatasets_CDKNlocus_DGI_T2D.tsv", "\t", 1, 2, 4, false},
    {"locuszoomr_SLE_gwas_sub.tsv", "\t", 1, 2, 6, false},
    {"geniplots_IL6_GCST90274815_p1e-3.tsv", "\t", 1, 2, 3, false},
    {"geniplots_IL6_region_chr1.tsv", "\t", 2, 3, 4, false},
    {"echodata_PD_locus_BST1.tsv", "\t", 2, 3, 4, false},
    {"echodata_PD_locus_LRRK2.tsv", "\t", 3, 4, 5, false},
    {"echodata_PD_locus_MEX3C.tsv", "\t", 3, 4, 5, false},
    {"METAL_GlucoseExample_DGI_three_regions.tsv", "\t", 1, 2, 12, false},
    {"METAL_GlucoseExample_MAGIC_FUSION_Results_space.txt", " ", 1, 2, 12, false},
    {"METAL_GlucoseExample_magic_SARDINIA.tsv", "\t", 2, 3, 13, false},
    {"METAL_test09_METAANALYSIS1_TRACKPOSITIONS.tsv", "\t", 1, 2, 8, false},
    {"METAL_test09_METAANALYSIS1_TRACKPOSITIONS_sorted.tsv", "\t", 1, 2, 8, false},
    {"qmplot_gwas_plink_result.glm.tsv", "\t", 1, 2, 12, false},
    {"tidyGWAS_PGC3_SCZ_100k_ORIGINALORDER.tsv.gz", "\t", 1, 2, 10, false},
    {"tidyGWAS_PGC3_SCZ_100k_sorted.tsv.gz", "\t", 1, 2, 10, false},
    {"gwascat_NHGRI_catalog_2014-09-08_ORIGINALORDER.tsv", "\t", 12, 13, 28, false},
    {"gwascat_NHGRI_catalog_2014-09-08_sorted.tsv", "\t", 12, 13, 28, false},
    {"fcfdr_T1D_ImmunoChip_OnengutGumuscu2015.tsv", "\t", 2, 3, 6, false},
    {"RapidoPGS_michailidou19_BRCA_100k.tsv", "\t", 2, 3, 9, false},
    {"regenie_example_test_bin_out_firth_Y1_SIMULATED_withP.txt", " ", 1, 2, 15, false},
    {"regenie_example_test_bin_out_firth_Y1_SIMULATED.regenie.txt", " ", 1, 2, 13, true},
    {"gwaslab_bbj_height_leadSNPs_commaPositions.tsv", "\t", 3, 4, 9, false},
};

std::string gunzipped(const std::string& path)
{
    gzFile in = gzopen(path.c_str(), "rb");
    std::string out;
    char buf[1 << 16];
    int n;
    while (in && (n = gzread(in, buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    if (in)
        gzclose(in);
    return out;
}

// The report's peaks: chromosome, range and GQS of every row.
std::vector<Peak> reportPeaks(const std::string& report)
{
    std::vector<Peak> peaks;
    const std::vector<std::string> lines = split(report, "\n");
    for (size_t k = 1; k + 1 < lines.size(); ++k) {
        const std::vector<std::string> f = tabFields(lines[k]);
        const size_t dash = f[2].find('-', 1);
        peaks.push_back({f[1], std::stol(f[2].substr(0, dash)), std::stol(f[2].substr(dash + 1)), std::stod(f[19])});
    }
    return peaks;
}

} // namespace

// Every real table with the peaks the tool reports for it: the loci file
// matches the reference, and the summary's loci line counts the same loci.
TEST(GenomeWideLoci, RealTablesMatchTheReference)
{
    const fs::path real = QUORLIN_REAL_DATA;
    for (const RealTable& t : kRealTables) {
        SCOPED_TRACE(t.file);
        const fs::path table = real / t.file;
        ASSERT_TRUE(fs::exists(table)) << "real table missing: " << table;
        const std::string work = makeTempDir();
        std::vector<std::string> args = {"-file", table.string(), "-out", "r.out", "-chrcolumn", std::to_string(t.chrom),
                                         "-lcolumn", std::to_string(t.pos), "-pcolumn", std::to_string(t.p),
                                         "-header", "yes", "-delim", t.delim[0] == ' ' ? "space" : "tab"};
        if (t.log10)
            args.insert(args.end(), {"-log10p", "yes"});
        const RunResult r = runQuorlin(args, work);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<Peak> peaks = reportPeaks(readFile(work + "/r.out"));
        Layout L;
        L.delim = t.delim;
        L.chrom = t.chrom, L.pos = t.pos, L.p = t.p, L.log10 = t.log10;
        L.carried = {1};
        const std::string text = table.extension() == ".gz" ? gunzipped(table.string()) : readFile(table.string());
        std::string summary;
        const std::string got = productionLoci(table.string(), 1, L, peaks, {"first"}, &summary);
        EXPECT_EQ(firstDifference(referenceLoci(text, 1, L, peaks, {"first"}), got), "");
        if (r.err.find("none of the") != std::string::npos)
            continue; // no row used: the summary is the warning alone
        const size_t loci = static_cast<size_t>(std::count(got.begin(), got.end(), '\n')) - 1;
        EXPECT_NE(r.err.find(": " + std::to_string(loci) + " genome-wide loci (p <= 5e-08, 500 kb windows): "),
                  std::string::npos) << r.err;
        EXPECT_NE(r.err.find(summary.substr(0, summary.find('\n')).substr(std::string("quorlin: summary: t").size())),
                  std::string::npos) << summary << r.err;
    }
}
