// Whole runs on the real tables of the shared data: the loci options leave
// every report alone and hold every significant marker, the known Crohn's
// disease genes through -genes, the study-wide loci table of a list, and the
// regional figures and figure formats of two tables. A missing table fails.
#include "../plot/svg_elements.h"
#include "regional_svg.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

const fs::path kReal = QUORLIN_REAL_DATA;

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

// The lines of a tab-separated file with a header, by column name.
std::vector<std::map<std::string, std::string>> records(const std::string& text)
{
    const std::vector<std::string> lines = split(text, '\n');
    std::vector<std::map<std::string, std::string>> out;
    const std::vector<std::string> names = lines.empty() ? std::vector<std::string>() : tabFields(lines[0]);
    for (size_t k = 1; k < lines.size(); ++k) {
        const std::vector<std::string> f = tabFields(lines[k]);
        out.emplace_back();
        for (size_t j = 0; j < names.size() && j < f.size(); ++j)
            out.back()[names[j]] = f[j];
    }
    return out;
}

std::string realFile(const std::string& name)
{
    const fs::path path = kReal / name;
    EXPECT_TRUE(fs::exists(path)) << "real table missing: " << path;
    return path.string();
}

std::string unpacked(const std::string& path)
{
    std::string text;
    gzFile in = gzopen(path.c_str(), "rb"); // plain files read as they are
    char buf[1 << 16];
    for (int n; in && (n = gzread(in, buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<size_t>(n));
    gzclose(in);
    return text;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

// Every table of SOURCES.md's summary, with and without the loci options
// and on two threads: the same report, the same loci file, and every row
// with 0 <= p <= 5e-8 inside a locus of its chromosome.
TEST(RealRuns, LociOptionsKeepTheReportAndHoldEverySignificantMarker)
{
    int tables = 0, significant = 0;
    for (const std::string& line : split(readFile((kReal / "SOURCES.md").string()), '\n')) {
        char file[256], delim[16];
        int chrom = 0, pos = 0, p = 0;
        if (std::sscanf(line.c_str(), "| %255s | %*d | %15s | %d,%d,%d |", file, delim, &chrom, &pos, &p) != 5)
            continue;
        ++tables;
        SCOPED_TRACE(file);
        const std::string path = realFile(file), work = makeTempDir();
        const std::vector<std::string> base = {"-file", path, "-chrcolumn", std::to_string(chrom), "-lcolumn",
                                               std::to_string(pos), "-pcolumn", std::to_string(p), "-header", "yes",
                                               "-delim", delim},
                                       loci = {"-carry", std::to_string(chrom), "-loci-p", "1e-6", "-loci-window",
                                               "250000"};
        const RunResult plain = runQuorlin(base + std::vector<std::string>{"-out", "plain"}, work);
        const RunResult one = runQuorlin(base + loci + std::vector<std::string>{"-out", "one", "-loci", "one.loci"}, work);
        const RunResult two = runQuorlin(
            base + loci + std::vector<std::string>{"-out", "two", "-loci", "two.loci", "-threads", "2"}, work);
        ASSERT_EQ(one.status, plain.status) << one.err;
        ASSERT_EQ(two.status, plain.status) << two.err;
        if (plain.status != 0) { // positions written as 909,309: no row is a marker
            EXPECT_NE(plain.out.find("No usable rows in input file"), std::string::npos) << plain.err;
            continue;
        }
        EXPECT_EQ(firstDifference(readFile(work + "/plain"), readFile(work + "/one")), "");
        EXPECT_EQ(firstDifference(readFile(work + "/plain"), readFile(work + "/two")), "");
        EXPECT_EQ(firstDifference(readFile(work + "/one.loci"), readFile(work + "/two.loci")), "");
        std::map<std::string, std::vector<std::pair<long, long>>> ranges;
        for (auto& r : records(readFile(work + "/one.loci")))
            ranges[r["chrom"]].push_back({std::stol(r["start"]), std::stol(r["end"])});
        const std::vector<std::string> rows = split(unpacked(path), '\n');
        for (size_t k = 1; k < rows.size(); ++k) {
            const std::vector<std::string> f = split(rows[k], delim[0] == 't' ? '\t' : ' ');
            if (static_cast<int>(f.size()) < std::max({chrom, pos, p}))
                continue;
            const std::string& at = f[pos - 1];
            char* end = nullptr;
            const double pvalue = std::strtod(f[p - 1].c_str(), &end);
            if (f[p - 1].empty() || *end || !(pvalue >= 0 && pvalue <= 5e-8) || at.empty() ||
                at.find_first_not_of("0123456789", at[0] == '-' || at[0] == '+') != std::string::npos)
                continue;
            ++significant;
            const long position = std::stol(at);
            bool inside = false;
            for (const auto& [from, to] : ranges[f[chrom - 1]])
                inside = inside || (from <= position && position <= to);
            EXPECT_TRUE(inside) << f[chrom - 1] << ":" << position << " p = " << f[p - 1] << " is in no locus";
        }
    }
    EXPECT_GT(significant, 10000) << "too few significant rows were read to check";
    EXPECT_GE(tables, 29) << "the summary of " << (kReal / "SOURCES.md") << " lists too few tables";
}

TEST(RealRuns, CrohnsDiseaseGenesThroughTheCommandLine)
{
    const std::string work = makeTempDir();
    const RunResult r = runQuorlin({"-file", realFile("topr_CD_UKBB_p1e-3.tsv"), "-out", "cd.out", "-lcolumn", "POS",
                                    "-pcolumn", "P", "-chrcolumn", "CHROM", "-idcolumn", "ID", "-header", "yes",
                                    "-loci", "cd.loci", "-genes", realFile("topr_ENSGENES_GRCh38_genes.gtf.gz")},
                                   work);
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::string> byLead; // lead id -> chrom, nearest gene, distance, genes
    for (auto& l : records(readFile(work + "/cd.loci")))
        byLead[l["lead_id"]] = l["chrom"] + " " + l["nearest_gene"] + " " + l["gene_distance"] + " " + l["genes"];
    EXPECT_EQ(byLead["rs2066847"], "chr16 NOD2 0 NKD1,SNX20,NOD2,CYLD");
    EXPECT_EQ(byLead["rs13418066"], "chr2 ATG16L1 0 ATG16L1");
    EXPECT_EQ(byLead["rs11576518"], "chr1 C1orf141 0 C1orf141,IL23R");
}

// Every shared_with entry of the study-wide table against all pairs of the
// tables' own loci files, and five loci worked out from the tables by hand.
TEST(RealRuns, StudyWideLociOfFourTables)
{
    const std::vector<std::string> names = {"topr_CD_UKBB_p1e-3.tsv", "topr_CD_FINNGEN_p1e-3.tsv",
                                            "topr_UC_UKBB_p1e-3.tsv", "locuszoomr_SLE_gwas_sub.tsv"};
    const std::string work = makeTempDir();
    std::string list;
    for (const std::string& name : names)
        list += realFile(name) + "\n";
    writeFile(work + "/list.txt", list);
    const RunResult r = runQuorlin({"-list", "list.txt", "-outdir", "out", "-lcolumn", "pos", "-pcolumn", "p",
                                    "-chrcolumn", "chrom", "-header", "yes", "-loci", "yes"},
                                   work);
    ASSERT_EQ(r.status, 0) << r.err;
    struct Locus {
        size_t table;
        std::string chrom;
        long start, end;
    };
    std::vector<Locus> all;
    for (size_t t = 0; t < names.size(); ++t)
        for (auto& l : records(readFile(work + "/out/" + names[t] + ".loci.tsv")))
            all.push_back({t, l["chrom"], std::stol(l["start"]), std::stol(l["end"])});
    std::map<std::string, std::string> want, got; // table chrom start end -> shared_with
    for (const Locus& a : all) {
        std::string shared;
        for (size_t t = 0; t < names.size(); ++t) {
            bool near = false;
            for (const Locus& b : all)
                near = near || (b.table == t && t != a.table && b.chrom == a.chrom &&
                                std::max(a.start, b.start) - std::min(a.end, b.end) <= 500000);
            shared += near ? (shared.empty() ? "" : ",") + realFile(names[t]) : "";
        }
        want[realFile(names[a.table]) + " " + a.chrom + " " + std::to_string(a.start) + " " + std::to_string(a.end)] =
            shared.empty() ? "." : shared;
    }
    std::set<std::string> brief; // the study's lines, real folder left out
    for (auto& s : records(readFile(work + "/out/list.txt.loci.tsv"))) {
        got[s["table"] + " " + s["chrom"] + " " + s["start"] + " " + s["end"]] = s["shared_with"];
        std::string line = s["table"] + " " + s["chrom"] + " " + s["start"] + " " + s["end"] + " " + s["lead_position"] +
                           " " + s["lead_log10p"] + " " + s["markers"] + " " + s["status"] + " " + s["shared_with"];
        for (size_t at; (at = line.find(kReal.string() + "/")) != std::string::npos;)
            line.erase(at, kReal.string().size() + 1);
        brief.insert(line);
    }
    EXPECT_EQ(got.size(), all.size());
    EXPECT_EQ(got, want);
    // From the tables' rows with p <= 5e-8: NOD2's locus (33 rows, the
    // strongest p = 7.36933e-24) and FinnGen's single marker at its lead;
    // IL10 in both UK Biobank tables; ATG16L1 with no locus of another table
    // on chr2 above 200 Mb; all 103 SLE rows on chromosome "2", which no
    // chr-named table shares.
    for (const char* line : {"topr_CD_UKBB_p1e-3.tsv chr16 50474075 50878764 50729867 23.1326 33 peak "
                             "topr_CD_FINNGEN_p1e-3.tsv",
                             "topr_CD_FINNGEN_p1e-3.tsv chr16 50729867 50729867 50729867 8.82425 1 peak "
                             "topr_CD_UKBB_p1e-3.tsv",
                             "topr_CD_UKBB_p1e-3.tsv chr1 206766559 206770623 206770623 8.1049 3 peak "
                             "topr_UC_UKBB_p1e-3.tsv",
                             "topr_CD_UKBB_p1e-3.tsv chr2 233234402 233283970 233237298 8.769 60 peak .",
                             "locuszoomr_SLE_gwas_sub.tsv 2 191851485 191985858 191958656 65.0118 103 peak ."})
        EXPECT_TRUE(brief.count(line)) << line;
}

// One regional figure per locus, shading exactly the locus's peak ranges
// (also where the locus reaches farther from its lead than half the window,
// as the split locus of a data case does); the PNG figure has twice the
// pixels of -plot-size, the PDF one page.
TEST(RealRuns, RegionalFiguresAndFigureFormats)
{
    const std::vector<std::string> byName = {"-lcolumn", "pos", "-pcolumn", "p", "-chrcolumn", "chrom", "-header", "yes"};
    const std::vector<std::vector<std::string>> runs = {
        std::vector<std::string>{"-file", realFile("topr_UC_UKBB_p1e-3.tsv"), "-plot", "f.png", "-plot-size", "900x500"} +
            byName,
        std::vector<std::string>{"-file", realFile("locuszoomr_SLE_gwas_sub.tsv"), "-plot", "f.pdf"} + byName,
        {"-file", std::string(QUORLIN_TEST_DATA) + "/loci-statuses/loci.tsv", "-lcolumn", "2", "-pcolumn", "4",
         "-chrcolumn", "1", "-header", "yes", "-shrink", "0", "-dots", "1", "-peak-limit", "7.1", "-loci-window",
         "550000"}};
    for (const std::vector<std::string>& run : runs) {
        SCOPED_TRACE(run[1]);
        const std::string work = makeTempDir();
        const RunResult r = runQuorlin(run + std::vector<std::string>{"-out", "t.out", "-loci", "t.loci", "-regional", "r"}, work);
        ASSERT_EQ(r.status, 0) << r.err;
        auto loci = records(readFile(work + "/t.loci"));
        EXPECT_EQ(std::distance(fs::directory_iterator(work + "/r"), fs::directory_iterator()),
                  static_cast<long>(loci.size()));
        for (auto& l : loci) {
            const std::string name = regionalFileName(l["chrom"], std::stoi(l["lead_position"]), FigureFormat::Svg);
            QString error;
            const std::vector<SvgElement> shades =
                ofClass(classedElements(QByteArray::fromStdString(readFile(work + "/r/" + name)), &error), "peak-range");
            EXPECT_TRUE(error.isEmpty()) << name << ": " << error.toStdString();
            std::string ranges;
            for (const SvgElement& e : shades)
                ranges += (ranges.empty() ? "" : ",") + e.attributes.at(QStringLiteral("data-range")).toStdString();
            EXPECT_EQ(ranges.empty() ? "." : ranges, l["peak_ranges"]) << name;
        }
    }
    const std::string work = makeTempDir();
    ASSERT_EQ(runQuorlin(runs[0] + std::vector<std::string>{"-out", "t.out"}, work).status, 0);
    EXPECT_EQ(QImage(QString::fromStdString(work + "/f.png")).size(), QSize(1800, 1000));
    ASSERT_EQ(runQuorlin(runs[1] + std::vector<std::string>{"-out", "t.out"}, work).status, 0);
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        return; // poppler-utils not installed: the page count is not checked
    EXPECT_EQ(QProcess::execute(pdftoppm, {"-r", "10", "-png", QString::fromStdString(work + "/f.pdf"),
                                           QString::fromStdString(work + "/page")}),
              0);
    EXPECT_TRUE(fileExists(work + "/page-1.png"));
    EXPECT_FALSE(fileExists(work + "/page-2.png"));
}
