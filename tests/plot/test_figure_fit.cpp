// The genome-wide figure at every size from the smallest allowed: each
// text's box (measured with the figure's font widths) stays inside the
// canvas and meets no other text, no QQ point and no Manhattan dot cell, on
// generated models and on the example and the shared real tables.
#include "figure_boxes.h"
#include "plot_test_tables.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

// 40 loci on one chromosome over 0.005-level markers, or (filtered) a table
// of small p-values only, whose QQ points start high at the left.
PlotModel sampleModel(bool filtered)
{
    PlotCollector c(0.01);
    c.startChromosome("1");
    int k = 0;
    for (int32_t pos = 1000; pos < 100000000; pos += 50000, ++k)
        c.addRow(pos, filtered ? 1e-9 * (1 + k % 97) : 0.005 + 0.99 * (k % 101) / 101.0, true);
    for (int l = 0; l < 40; ++l)
        c.addLocus({"1", 1000000 + 2000000 * l, 8.0 + l % 7, "rs" + std::to_string(l),
                    l < 10 ? "no_peak" : l % 3 ? "peak" : "merged"});
    return std::move(c).finish();
}

// A long facts line under the title: 23 chromosomes, 46,000 rows, peaks,
// loci and rows at p = 0, as a real table's figure has.
PlotModel wordyModel()
{
    PlotCollector c(0.001);
    for (int chr = 1; chr <= 23; ++chr) {
        const std::string name = chr == 23 ? "chrX" : "chr" + std::to_string(chr);
        c.startChromosome(name);
        for (int k = 0; k < 2000; ++k)
            c.addRow(1000 + 50000 * k, k == 7 ? 0 : 1e-4 + 1e-3 * (k % 13) / 13, true);
        c.addPeak({name, 1000, 60000, 3, 9, "rs" + std::to_string(chr)});
        c.addLocus({name, 1000, 9, "rs" + std::to_string(chr), "peak"});
    }
    return std::move(c).finish();
}

// The sizes of the fit checks, from the smallest allowed up.
const std::vector<std::pair<int, int>> kFitSizes = {{800, 450},  {800, 480},  {800, 600},  {1000, 450},
                                                    {1000, 500}, {1200, 600}, {1200, 675}, {1600, 900}};

struct FitTable {
    std::string file;
    std::vector<std::string> columns;
};

} // namespace

// Generated models at every size, with the default title and with a long
// one: every text inside the canvas, clear of the other texts and the data.
TEST(FigureFit, EveryTextInsideAndClearAtEverySize)
{
    const PlotModel models[3] = {sampleModel(false), sampleModel(true), wordyModel()};
    const char* names[3] = {"loci", "filtered", "wordy"};
    // The default, a long title of words, one without spaces and one of
    // characters outside the BMP (two UTF-16 units each).
    const QString titles[4] = {QString(),
                               QStringLiteral("Ulcerative colitis, UK Biobank, all markers with p below one in a "
                                              "thousand, both sexes"),
                               QString(90, QLatin1Char('W')), QString::fromUtf8("\xF0\x9F\xA7\xAC").repeated(60)};
    std::vector<std::pair<int, int>> sizes = kFitSizes;
    sizes.push_back({2400, 900});
    for (const auto& [w, h] : sizes)
        for (const QString& title : titles) {
            PlotSettings s;
            s.width = w;
            s.height = h;
            if (!title.isEmpty())
                s.title = title;
            for (int k = 0; k < 3; ++k)
                expectFigureFits(figureSvg(models[k], s), w, h,
                                 std::string(names[k]) + (title.isEmpty() ? "" : " titled"));
        }
}

// A title too long for its room is set smaller, and past 14 px cut after a
// word (else a whole character) with an ellipsis; a short one keeps 22 px.
TEST(FigureFit, LongTitlesShrinkThenCut)
{
    const PlotModel m = sampleModel(false);
    const auto titleOf = [&](const QString& title, int width, double* size) {
        PlotSettings s;
        s.width = width;
        s.height = 600;
        s.title = title;
        QString text;
        const QString error = forEachElement(figureSvg(m, s), [&](QXmlStreamReader& r, const std::vector<QString>& g) {
            if (text.isEmpty() && r.name() == u"text" && !g.empty() && g.back() == u"manhattan" &&
                r.attributes().value(QLatin1String("font-weight")) == u"bold") {
                *size = r.attributes().value(QLatin1String("font-size")).toDouble();
                text = r.readElementText();
            }
        });
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return text;
    };
    double size = 0;
    EXPECT_EQ(titleOf(QStringLiteral("Height"), 800, &size), QStringLiteral("Height"));
    EXPECT_EQ(size, 22);
    const QString middling = QStringLiteral("Height in the UK Biobank, both sexes");
    EXPECT_EQ(titleOf(middling, 800, &size), middling);
    EXPECT_LT(size, 22);
    EXPECT_GE(size, 14);
    const QString words = QStringLiteral("Height in the UK Biobank, both sexes, all markers with p below one in a "
                                         "thousand, imputed to the reference panel");
    const QString cut = titleOf(words, 800, &size);
    EXPECT_EQ(size, 14);
    ASSERT_TRUE(cut.endsWith(QChar(0x2026)));
    EXPECT_TRUE(words.startsWith(cut.chopped(1)));
    EXPECT_EQ(words.at(cut.size() - 1), QLatin1Char(' ')) << "cut inside a word: " << cut.toStdString();
    const QString wide = QString::fromUtf8("\xF0\x9F\xA7\xAC").repeated(80);
    const QString wideCut = titleOf(wide, 800, &size);
    ASSERT_TRUE(wideCut.endsWith(QChar(0x2026)));
    EXPECT_TRUE(wideCut.chopped(1).isValidUtf16());
    EXPECT_EQ(wideCut.size() % 2, 1) << "a character split in two";
}

// The example and the shared real tables, drawn by the program at every size.
TEST(FigureFit, RealTablesFitAtEverySize)
{
    QUORLIN_NEEDS_REAL_DATA();
    const std::vector<std::string> chrPosP = {"-lcolumn", "POS", "-pcolumn", "P", "-chrcolumn", "CHROM"};
    const std::vector<FitTable> tables = {
        {std::string(QUORLIN_EXAMPLES) + "/example.tsv", {"-lcolumn", "2", "-pcolumn", "8", "-chrcolumn", "1"}},
        {realFile("topr_UC_UKBB_p1e-3.tsv"), chrPosP},
        {realFile("topr_CD_UKBB_p1e-3.tsv"), chrPosP},
        {realFile("RapidoPGS_michailidou19_BRCA_100k.tsv"), {"-lcolumn", "BP", "-pcolumn", "P", "-chrcolumn", "CHR"}},
        {realFile("tidyGWAS_PGC3_SCZ_100k_sorted.tsv.gz"), {"-lcolumn", "POS", "-pcolumn", "P", "-chrcolumn", "CHR"}},
        {realFile("locuszoomr_SLE_gwas_sub.tsv"), {"-lcolumn", "pos", "-pcolumn", "p", "-chrcolumn", "chrom"}},
        {realFile("gapdatasets_w4_chicken_sorted.tsv"), {"-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1"}},
        {realFile("CMplot_pig60K_sorted.tsv"), {"-lcolumn", "3", "-pcolumn", "4", "-chrcolumn", "2"}},
        {realFile("fcfdr_T1D_ImmunoChip_OnengutGumuscu2015.tsv"),
         {"-lcolumn", "3", "-pcolumn", "6", "-chrcolumn", "2"}},
        {realFile("gapdatasets_mhtdata_bodyfat.tsv"), {"-lcolumn", "3", "-pcolumn", "4", "-chrcolumn", "5"}},
        {realFile("gapdatasets_hr1420_heartrate.tsv"), {"-lcolumn", "4", "-pcolumn", "2", "-chrcolumn", "3"}},
        {realFile("qmplot_gwas_plink_result.glm.tsv"), {"-lcolumn", "2", "-pcolumn", "12", "-chrcolumn", "1"}},
        {realFile("geniplots_IL6_GCST90274815_p1e-3.tsv"), {"-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1"}},
        {realFile("METAL_test09_METAANALYSIS1_TRACKPOSITIONS_sorted.tsv"),
         {"-lcolumn", "2", "-pcolumn", "8", "-chrcolumn", "1"}},
        {realFile("topr_CD_FINNGEN_p1e-3.tsv"), chrPosP},
    };
    const std::string dir = makeTempDir();
    size_t texts = 0;
    for (const FitTable& t : tables)
        for (const auto& [w, h] : kFitSizes) {
            const std::string size = std::to_string(w) + "x" + std::to_string(h);
            const RunResult r = runQuorlin(with({"-file", t.file, "-header", "yes", "-out", "t.out", "-plot", "t.svg",
                                                 "-plot-size", size},
                                                t.columns),
                                           dir);
            ASSERT_EQ(r.status, 0) << r.command << "\n" << r.err;
            const std::string svg = readFile(dir + "/t.svg");
            texts += expectFigureFits(QByteArray(svg.data(), static_cast<qsizetype>(svg.size())), w, h, t.file);
        }
    EXPECT_GT(texts, 500u);
}

// Where the legend goes under both panels (the smallest canvases), it takes
// short rows across the canvas, and the Manhattan plot area keeps at least
// 45 % of the canvas's height: the y axis, the tallest vertical line of the
// axes layer, spans it.
TEST(FigureFit, ManhattanAreaStaysTallAtTheSmallestSizes)
{
    const PlotModel models[3] = {sampleModel(false), sampleModel(true), PlotModel()};
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{800, 450}, {800, 480}, {1000, 450}}) {
        PlotSettings s;
        s.width = w;
        s.height = h;
        for (const PlotModel& m : models) {
            double axis = 0;
            const auto each = [&](QXmlStreamReader& r, const std::vector<QString>& layers) {
                const QXmlStreamAttributes a = r.attributes();
                const auto number = [&](const char* name) { return a.value(QLatin1String(name)).toDouble(); };
                if (r.name() == u"line" && !layers.empty() && layers.back() == u"manhattan-axes" &&
                    a.value(QLatin1String("x1")) == a.value(QLatin1String("x2")))
                    axis = std::max(axis, number("y2") - number("y1"));
            };
            const QString error = forEachElement(figureSvg(m, s), each);
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
            EXPECT_GE(axis, 0.45 * h) << w << "x" << h << " with " << m.loci.size() << " loci";
        }
    }
}
