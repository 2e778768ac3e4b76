// The regional figures' LD colours against PLINK 1.9: every marker's
// data-r2 equals `plink1.9 --r2 dprime --ld-snp REF` (the maximum-likelihood
// haplotype r², which --clump-verbose reports too) to 0.001, over all
// samples and over a sample selection, with the lead or a chosen variant as
// the reference. Skipped with a message where plink1.9 or the shared panel
// is absent.
#include "ld_reference.h"
#include "test_support.h"
#include "../plot/svg_elements.h"

#include <QRegularExpression>

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// The shared association table as CHR SNP BP P, NA rows left out, with
// extra rows appended.
std::string sharedTableText(const std::string& extra)
{
    std::string text = "CHR\tSNP\tBP\tP\n";
    for (const TableRow& r : sharedAssociationRows())
        text += r.chromosome + "\t" + r.id + "\t" + std::to_string(r.position) + "\t" + r.p + "\n";
    return text + extra;
}

struct FigureLd {
    std::string reference, source; // the reference's id; the legend's line
    std::map<std::string, std::string> r2; // data-id -> data-r2 of every point
    size_t points = 0;
};

FigureLd figureLd(const std::string& path)
{
    FigureLd f;
    QString error;
    const std::vector<SvgElement> all = classedElements(QByteArray::fromStdString(readFile(path)), &error);
    EXPECT_TRUE(error.isEmpty()) << path;
    for (const SvgElement& e : all) {
        if (e.cls == u"ld-source") {
            f.source = e.text.toStdString();
            const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("with (\\S+)")).match(e.text);
            f.reference = m.captured(1).toStdString();
        }
        if (e.cls != u"marker" && e.cls != u"lead")
            continue;
        ++f.points;
        const auto id = e.attributes.find(QStringLiteral("data-id"));
        const auto r2 = e.attributes.find(QStringLiteral("data-r2"));
        EXPECT_TRUE(r2 != e.attributes.end()) << path << ": a point without data-r2";
        if (id != e.attributes.end() && r2 != e.attributes.end())
            f.r2[id->second.toStdString()] = r2->second.toStdString();
    }
    return f;
}

// PLINK's r² of every panel variant within 2 Mb of reference.
std::map<std::string, double> plinkR2(const std::string& dir, const std::string& reference, const std::string& keep)
{
    std::vector<std::string> args = {"--bfile", sharedPanel(), "--r2", "dprime", "--ld-snp", reference,
                                     "--ld-window-kb", "2000", "--ld-window", "999999", "--ld-window-r2", "0",
                                     "--out", "ld_" + reference};
    if (!keep.empty())
        args.insert(args.end(), {"--keep", keep});
    EXPECT_EQ(runPlink(args, dir), 0);
    std::map<std::string, double> out;
    std::istringstream lines(readFile(dir + "/ld_" + reference + ".ld"));
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::istringstream w(line);
        std::string chrA, bpA, snpA, chrB, bpB, snpB, r2;
        if (w >> chrA >> bpA >> snpA >> chrB >> bpB >> snpB >> r2)
            out[snpB] = std::atof(r2.c_str());
    }
    return out;
}

// Every figure of folder against PLINK: each data-r2 within 0.001 of
// PLINK's, NA only for the variants PLINK does not know. Returns the
// references, in file-name order.
std::vector<std::string> compareFolder(const std::string& dir, const std::string& folder, const std::string& keep)
{
    std::vector<std::string> names, references;
    for (const auto& e : fs::directory_iterator(dir + "/" + folder))
        names.push_back(e.path().string());
    std::sort(names.begin(), names.end());
    EXPECT_FALSE(names.empty());
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const FigureLd f = figureLd(name);
        references.push_back(f.reference);
        EXPECT_FALSE(f.reference.empty()) << f.source;
        const std::map<std::string, double> plink = plinkR2(dir, f.reference, keep);
        size_t compared = 0;
        for (const auto& [id, text] : f.r2) {
            const auto p = plink.find(id);
            if (text == "NA") {
                EXPECT_TRUE(p == plink.end() || std::isnan(p->second)) << id << ": NA, PLINK " << p->second;
                continue;
            }
            if (p == plink.end()) {
                ADD_FAILURE() << id << " has r2 " << text << " but PLINK has none";
                continue;
            }
            EXPECT_NEAR(std::atof(text.c_str()), p->second, 0.001 + 1e-9) << id;
            EXPECT_EQ(text.size(), 5u) << id << ": " << text; // 3 decimals
            ++compared;
        }
        EXPECT_GT(compared, 100u);
        EXPECT_EQ(f.points, f.r2.size()); // every point has its id
    }
    return references;
}

std::vector<std::string> args(const std::vector<std::string>& more)
{
    std::vector<std::string> a = {"-file", "t.tsv", "-header", "yes", "-chrcolumn", "CHR", "-lcolumn", "BP",
                                  "-pcolumn", "P", "-idcolumn", "SNP", "-loci-ld", sharedPanel()};
    a.insert(a.end(), more.begin(), more.end());
    return a;
}

} // namespace

// All samples; the first locus's figure takes rs7903360 as its reference
// (it lies in two windows and is nearer the first lead), the others their
// leads. A variant absent from the panel is grey (NA).
TEST(RegionalLd, EveryPointsR2IsPlinks)
{
    SKIP_WITHOUT_PLINK_OR_PANEL();
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.tsv", sharedTableText("10\trsNotInPanel\t54330000\t0.2\n"));
    const RunResult r = runQuorlin(args({"-regional", "r", "-regional-ld-ref", "rs7903360", "-regional-ld-ref",
                                         "rsNowhere"}),
                                   dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> references = compareFolder(dir, "r", "");
    EXPECT_EQ(references, (std::vector<std::string>{"rs10885134", "rs11017561", "rs7903360", "rs4364971",
                                                    "rs2169673"}));
    const FigureLd first = figureLd(dir + "/r/10_54328297.svg");
    EXPECT_EQ(first.r2.at("rsNotInPanel"), "NA");
    EXPECT_EQ(first.r2.at("rs7903360"), "1.000");
    EXPECT_NE(first.source.find("the lead is rs12416670"), std::string::npos) << first.source;
    EXPECT_NE(first.source.find("panel exercise_chr10 \u00b7 all 1,000 samples"), std::string::npos) << first.source;
    // The lead keeps its diamond, coloured by its r² with the chosen variant.
    EXPECT_NE(first.r2.at("rs12416670"), "1.000");
    EXPECT_NE(r.err.find("-regional-ld-ref 'rsNowhere' is in no regional figure's window"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("rs7903360' is in no"), std::string::npos) << r.err;
}

TEST(RegionalLd, SampleSelectionGivesPlinksKeepR2)
{
    SKIP_WITHOUT_PLINK_OR_PANEL();
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.tsv", sharedTableText(""));
    std::string ceu;
    int count = 0;
    std::istringstream fam(readFile(sharedPanel() + ".fam"));
    for (std::string fid, iid, rest; fam >> fid >> iid && std::getline(fam, rest);)
        if (iid.rfind("ceu.", 0) == 0)
            ceu += fid + " " + iid + "\n", ++count;
    writeFile(dir + "/ceu.txt", ceu);
    const RunResult r = runQuorlin(args({"-regional", "r", "-loci-ld-samples", "ceu.txt"}), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    compareFolder(dir, "r", dir + "/ceu.txt");
    const FigureLd f = figureLd(dir + "/r/10_54328297.svg");
    EXPECT_NE(f.source.find("the " + std::to_string(count) + " samples of ceu.txt"), std::string::npos) << f.source;
}

// Without a panel every point is NA and the legend says what colours them.
TEST(RegionalLd, WithoutAPanelThePointsAreNa)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.tsv", "CHR\tSNP\tBP\tP\n1\trs1\t1000\t0.5\n1\trs2\t2000\t1e-12\n1\trs3\t3000\t0.01\n");
    const RunResult r = runQuorlin({"-file", "t.tsv", "-header", "yes", "-chrcolumn", "CHR", "-lcolumn", "BP",
                                    "-pcolumn", "P", "-idcolumn", "SNP", "-loci", "yes", "-regional", "r",
                                    "-regional-ld-ref", "rs1"},
                                   dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: -regional-ld-ref has no effect without -loci-ld"), std::string::npos) << r.err;
    const std::string svg = readFile(dir + "/r/1_2000.svg");
    const FigureLd f = figureLd(dir + "/r/1_2000.svg");
    EXPECT_EQ(f.r2, (std::map<std::string, std::string>{{"rs1", "NA"}, {"rs2", "NA"}, {"rs3", "NA"}}));
    EXPECT_NE(svg.find("LD colouring needs -loci-ld"), std::string::npos);
}

// Rows whose position is not a number are read (and counted) but have no
// place in a window: the figure neither draws them at 0 nor gives their ids
// to other rows.
TEST(RegionalRows, RowsWithoutAPositionAreNotDrawn)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.tsv", "CHR\tSNP\tBP\tP\n1\trsA\t100\t1e-10\n1\trsZero\t0\t0.1\n1\trsBad\tx\t0.5\n"
                              "1\trsC\t200\t0.3\n1\trsEmpty\t\t0.2\n");
    const RunResult r = runQuorlin({"-file", "t.tsv", "-header", "yes", "-chrcolumn", "CHR", "-lcolumn", "BP",
                                    "-pcolumn", "P", "-idcolumn", "SNP", "-loci", "yes", "-regional", "r"},
                                   dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const FigureLd f = figureLd(dir + "/r/1_100.svg");
    EXPECT_EQ(f.r2, (std::map<std::string, std::string>{{"rsA", "NA"}, {"rsC", "NA"}, {"rsZero", "NA"}}));
}

// The VCF copy of the panel (read around the windows through its index)
// gives every figure the same r².
TEST(RegionalLd, VcfPanelGivesTheSameR2)
{
    SKIP_WITHOUT_PANEL();
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.tsv", sharedTableText(""));
    std::vector<std::string> vcf = args({"-regional", "v", "-out", "v.out"});
    *std::find(vcf.begin(), vcf.end(), sharedPanel()) = sharedPanel() + ".vcf.gz";
    ASSERT_EQ(runQuorlin(args({"-regional", "b", "-out", "b.out"}), dir).status, 0);
    ASSERT_EQ(runQuorlin(vcf, dir).status, 0);
    size_t figures = 0;
    for (const auto& e : fs::directory_iterator(dir + "/b")) {
        const std::string name = e.path().filename().string();
        const FigureLd b = figureLd(dir + "/b/" + name), v = figureLd(dir + "/v/" + name);
        EXPECT_EQ(b.r2, v.r2) << name;
        EXPECT_GT(b.r2.size(), 100u) << name;
        ++figures;
    }
    EXPECT_EQ(figures, 5u);
}

// The same r² as PLINK's clumping reports: the members of a clump around the
// strongest lead (every p, r² above 0.01) against the lead's figure.
TEST(RegionalLd, LeadsR2IsClumpVerboseRsq)
{
    SKIP_WITHOUT_PLINK_OR_PANEL();
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.tsv", sharedTableText(""));
    ASSERT_EQ(runQuorlin(args({"-regional", "r"}), dir).status, 0);
    ASSERT_EQ(runPlink({"--bfile", sharedPanel(), "--clump", "t.tsv", "--clump-p1", "4.2e-22", "--clump-p2", "1",
                        "--clump-r2", "0.01", "--clump-kb", "250", "--clump-verbose", "--allow-no-sex", "--out", "c"},
                       dir),
              0);
    const std::vector<PlinkClump> clumps = readVerboseClumps(dir + "/c.clumped");
    ASSERT_EQ(clumps.size(), 1u);
    EXPECT_EQ(clumps[0].index, "rs12416670");
    const FigureLd f = figureLd(dir + "/r/10_54328297.svg");
    EXPECT_GT(clumps[0].members.size(), 20u);
    for (const auto& [id, rsq] : clumps[0].members) {
        ASSERT_TRUE(f.r2.count(id)) << id;
        EXPECT_NEAR(std::atof(f.r2.at(id).c_str()), rsq, 0.001 + 1e-9) << id;
    }
}
