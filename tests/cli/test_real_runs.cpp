// Whole runs on the real tables of the shared data: the known Crohn's
// disease genes through -genes, the study-wide loci table of a list, and the
// regional figures and figure formats of two tables. Skipped without the
// shared data folder; a table missing from it fails.
#include "../plot/svg_elements.h"
#include "plot/regional_svg.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <filesystem>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace {
const fs::path kReal = QUORLIN_REAL_DATA;
} // namespace

TEST(RealRuns, CrohnsDiseaseGenesThroughTheCommandLine)
{
    QUORLIN_NEEDS_REAL_DATA();
    const std::string work = makeTempDir();
    const RunResult r = runQuorlin({"-file", realFile("topr_CD_UKBB_p1e-3.tsv"), "-out", "cd.out", "-lcolumn", "POS",
                                    "-pcolumn", "P", "-chrcolumn", "CHROM", "-idcolumn", "ID", "-header", "yes",
                                    "-loci", "cd.loci", "-genes", realFile("topr_ENSGENES_GRCh38_genes.gtf.gz")},
                                   work);
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::string> byLead; // lead id -> chrom, nearest gene, distance, genes
    for (auto& l : tsvRecords(readFile(work + "/cd.loci")))
        byLead[l["lead_id"]] = l["chrom"] + " " + l["nearest_gene"] + " " + l["gene_distance"] + " " + l["genes"];
    EXPECT_EQ(byLead["rs2066847"], "chr16 NOD2 0 NKD1,SNX20,NOD2,CYLD");
    EXPECT_EQ(byLead["rs13418066"], "chr2 ATG16L1 0 ATG16L1");
    EXPECT_EQ(byLead["rs11576518"], "chr1 C1orf141 0 C1orf141,IL23R");
}

// Every shared_with entry of the study-wide table against all pairs of the
// tables' own loci files, and five loci worked out from the tables by hand.
TEST(RealRuns, StudyWideLociOfFourTables)
{
    QUORLIN_NEEDS_REAL_DATA();
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
        for (auto& l : tsvRecords(readFile(work + "/out/" + names[t] + ".loci.tsv")))
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
    for (auto& s : tsvRecords(readFile(work + "/out/list.txt.loci.tsv"))) {
        got[s["table"] + " " + s["chrom"] + " " + s["start"] + " " + s["end"]] = s["shared_with"];
        std::string line = s["table"] + " " + s["chrom"] + " " + s["start"] + " " + s["end"] + " " +
                           s["lead_position"] + " " + s["lead_log10p"] + " " + s["markers"] + " " + s["status"] + " " +
                           s["shared_with"];
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
    QUORLIN_NEEDS_REAL_DATA();
    const std::vector<std::string> byName = {"-lcolumn", "pos", "-pcolumn", "p",
                                             "-chrcolumn", "chrom", "-header", "yes"};
    const std::vector<std::vector<std::string>> runs = {
        with({"-file", realFile("topr_UC_UKBB_p1e-3.tsv"), "-plot", "f.png", "-plot-size", "900x500"}, byName),
        with({"-file", realFile("locuszoomr_SLE_gwas_sub.tsv"), "-plot", "f.pdf"}, byName),
        {"-file", std::string(QUORLIN_TEST_DATA) + "/loci-statuses/loci.tsv", "-lcolumn", "2", "-pcolumn", "4",
         "-chrcolumn", "1", "-header", "yes", "-shrink", "0", "-dots", "1", "-peak-limit", "7.1", "-loci-window",
         "550000"}};
    for (const std::vector<std::string>& run : runs) {
        SCOPED_TRACE(run[1]);
        const std::string work = makeTempDir();
        const RunResult r =
            runQuorlin(with(run, {"-out", "t.out", "-loci", "t.loci", "-regional", "r"}), work);
        ASSERT_EQ(r.status, 0) << r.err;
        auto loci = tsvRecords(readFile(work + "/t.loci"));
        EXPECT_EQ(std::distance(fs::directory_iterator(work + "/r"), fs::directory_iterator()),
                  static_cast<long>(loci.size()));
        for (auto& l : loci) {
            const std::string name = regionalFileName(l["chrom"], std::stoi(l["lead_position"]), FigureFormat::Svg);
            QString error;
            const QByteArray svg = QByteArray::fromStdString(readFile(work + "/r/" + name));
            const std::vector<SvgElement> shades = ofClass(classedElements(svg, &error), "peak-range");
            EXPECT_TRUE(error.isEmpty()) << name << ": " << error.toStdString();
            std::string ranges;
            for (const SvgElement& e : shades)
                ranges += (ranges.empty() ? "" : ",") + e.attributes.at(QStringLiteral("data-range")).toStdString();
            EXPECT_EQ(ranges.empty() ? "." : ranges, l["peak_ranges"]) << name;
        }
        if (run[3] == "f.png") {
            EXPECT_EQ(QImage(QString::fromStdString(work + "/f.png")).size(), QSize(1800, 1000));
        }
        const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
        if (run[3] != "f.pdf" || pdftoppm.isEmpty())
            continue; // without poppler-utils the PDF's pages are not counted
        const QString pages = QString::fromStdString(work + "/page");
        EXPECT_EQ(QProcess::execute(pdftoppm, {"-r", "24", "-png", QString::fromStdString(work + "/f.pdf"), pages}), 0);
        // One page of 1600 x 900 px at 96 px per inch, rendered at 24 dpi.
        EXPECT_EQ(QImage(pages + "-1.png").size(), QSize(400, 225));
        EXPECT_FALSE(fileExists(work + "/page-2.png"));
    }
}
