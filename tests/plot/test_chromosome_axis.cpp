// The chromosome axis and the marks of the Manhattan panel: natural order of
// the names whatever the table's order, every label shown without overlaps,
// bands only for genome-wide peaks, one locus mark per locus, and a bounded
// number of chromosome slots however many names a table holds.
#include "plot/chromosome_axis.h"
#include "plot/plot_canvas.h"
#include "plot/plot_svg.h"
#include "plot_test_tables.h"
#include "svg_elements.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <algorithm>
#include <cstdint>

using namespace plotlayout;

TEST(ChromosomeAxis, NaturalOrderWhateverTheTableOrder)
{
    const struct {
        std::vector<std::string> in, want;
    } cases[] = {
        {{"chr10", "chr2", "chrX", "chr1"}, {"chr1", "chr2", "chr10", "chrX"}},
        {{"MT", "scaffold_9", "chrY", "x", "22", "Chr3", "un", "1", "XY", "chr01", "23"},
         {"1", "chr01", "Chr3", "22", "x", "chrY", "XY", "MT", "scaffold_9", "un", "23"}},
        {{"chrM", "CHRX", "2", "chr"}, {"2", "CHRX", "chrM", "chr"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> got;
        for (int i : naturalChromosomeOrder(c.in))
            got.push_back(c.in[i]);
        EXPECT_EQ(got, c.want);
    }
}

// The whole human set with chr prefixes (chr1 to chrMT), shuffled: the
// labels come out in natural order, all of them, none overlapping another
// on its row at the default size.
TEST(ChromosomeAxis, EveryLabelInNaturalOrderWithoutOverlap)
{
    std::vector<std::string> human;
    for (int k = 1; k <= 22; ++k)
        human.push_back("chr" + std::to_string(k));
    for (const char* name : {"chrX", "chrY", "chrXY", "chrMT"})
        human.push_back(name);
    std::vector<std::string> shuffled = human;
    PlotRng rng(3);
    for (size_t i = shuffled.size() - 1; i > 0; --i)
        std::swap(shuffled[i], shuffled[rng.next() % (i + 1)]);
    ASSERT_NE(shuffled, human);
    // Real lengths: the small chromosomes at the end crowd their labels.
    PlotCollector c(0.01);
    for (const std::string& name : shuffled) {
        const int rank = naturalChromosomeRank(name);
        const int32_t length = rank <= 22 ? 250000000 - rank * 9000000 : rank == 23 ? 155000000 : rank == 26 ? 16569 : 2700000;
        c.startChromosome(name);
        c.addRow(1, 1e-4, true);
        c.addRow(length, 1e-3, true);
    }
    QString error;
    const std::vector<SvgElement> labels = ofClass(classedElements(figureSvg(std::move(c).finish()), &error), "chrom-label");
    ASSERT_EQ(labels.size(), human.size());
    for (size_t k = 0; k < labels.size(); ++k) {
        EXPECT_EQ(labels[k].text.toStdString(), human[k]);
        EXPECT_GE(labels[k].number("font-size"), 12);
        for (size_t j = 0; j < k; ++j) {
            if (labels[j].number("y") != labels[k].number("y"))
                continue;
            const double gap = labels[k].number("x") - labels[j].number("x");
            const double need = (textWidth(human[j], 13) + textWidth(human[k], 13)) / 2;
            EXPECT_GE(gap, need) << human[j] << " and " << human[k] << " overlap";
        }
    }
}

// Labels kept between left and right bounds: where the free stagger fits,
// the bounds change nothing; where the small chromosomes at the end push
// names past right, the names move left on their rows, all shown, in order
// and apart; where even that cannot hold them, they are thinned to those
// that fit, none outside.
TEST(ChromosomeAxis, LabelsStayBetweenTheBounds)
{
    const auto check = [](const std::vector<AxisLabel>& labels, const std::vector<PlacedLabel>& placed, double left,
                          double right) {
        double rowRight[2] = {-1e300, -1e300};
        for (size_t i = 0; i < labels.size(); ++i) {
            if (placed[i].row < 0)
                continue;
            const double half = labels[i].width / 2;
            EXPECT_GE(placed[i].x - half, left - 1e-9) << i;
            EXPECT_LE(placed[i].x + half, right + 1e-9) << i;
            EXPECT_GE(placed[i].x - half, rowRight[placed[i].row] + 4 - 1e-9) << i << " meets the label before it";
            rowRight[placed[i].row] = placed[i].x + half;
        }
    };
    // Twenty 20 px names 30 px apart, then six more 8 px apart at the end.
    std::vector<AxisLabel> labels;
    for (int k = 0; k < 20; ++k)
        labels.push_back({15 + 30.0 * k, 20, true});
    for (int k = 0; k < 6; ++k)
        labels.push_back({600 + 8.0 * k, 20, true});
    const std::vector<PlacedLabel> free = staggerLabels(labels, 4);
    EXPECT_GT(free.back().x + 10, 660) << "the free stagger runs past the end";
    // Roomy bounds: the same places.
    const std::vector<PlacedLabel> roomy = staggerLabels(labels, 4, -100, 1000);
    for (size_t i = 0; i < labels.size(); ++i) {
        EXPECT_EQ(roomy[i].row, free[i].row);
        EXPECT_EQ(roomy[i].x, free[i].x);
    }
    // Ending at 650: all shown, moved left.
    const std::vector<PlacedLabel> moved = staggerLabels(labels, 4, 0, 650);
    EXPECT_TRUE(std::all_of(moved.begin(), moved.end(), [](const PlacedLabel& p) { return p.row >= 0; }));
    check(labels, moved, 0, 650);
    // Ending at 520, before the last names' centres: thinned.
    const std::vector<PlacedLabel> thinned = staggerLabels(labels, 4, 5, 520);
    const auto shown = std::count_if(thinned.begin(), thinned.end(), [](const PlacedLabel& p) { return p.row >= 0; });
    EXPECT_LT(shown, 26);
    EXPECT_GE(shown, 15);
    check(labels, thinned, 5, 520);
    // A name wider than the room between the bounds is not shown.
    EXPECT_EQ(staggerLabels({{50, 120, true}}, 4, 0, 100)[0].row, -1);
}

// Peaks at and just below -log10(5e-8): a band for the first, a tick for the
// other; each locus one mark carrying its status, the no_peak one an open
// triangle; a locus on a chromosome the table lacks is not drawn.
TEST(ManhattanMarks, BandsTicksAndLocusMarks)
{
    PlotCollector c(0.01);
    c.startChromosome("1");
    for (int32_t pos = 1000; pos < 2000000; pos += 5000)
        c.addRow(pos, pos == 501000 ? 1e-12 : 0.005, true);
    c.addPeak({"1", 100000, 200000, 3, -std::log10(5e-8), "rsA"});
    c.addPeak({"1", 300000, 400000, 3, 7.3, "rsB"});
    const char* statuses[] = {"peak", "split", "merged", "no_peak"};
    for (int k = 0; k < 4; ++k)
        c.addLocus({"1", 150000 + 400000 * k, 8.0 + k, "rs" + std::to_string(k), statuses[k]});
    c.addLocus({"7", 10, 9, "rsGone", "peak"});
    PlotDrawStats stats;
    QString error;
    const std::vector<SvgElement> all = classedElements(figureSvg(std::move(c).finish(), PlotSettings(), &stats), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(ofClass(all, "peak-band").size(), 1u);
    EXPECT_EQ(ofClass(all, "peak-tick").size(), 1u);
    const std::vector<SvgElement> marks = ofClass(all, "locus-mark");
    ASSERT_EQ(marks.size(), 4u);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(marks[k].attributes.at(QStringLiteral("data-status")), QLatin1String(statuses[k]));
    EXPECT_EQ(marks[3].name, u"path");
    EXPECT_EQ(marks[3].attributes.at(QStringLiteral("fill")), u"none");
    EXPECT_EQ(stats.lociOffChromosome, 1);
    EXPECT_EQ(stats.labels, 4); // the loci's lead ids, not the peaks' labels
}

// Loci crowded on one chromosome, as on chr1 of an inflammatory bowel
// disease table: no label covers the mark of a locus.
TEST(ManhattanMarks, LabelsLeaveTheLocusMarksFree)
{
    PlotCollector c(0.01);
    c.startChromosome("1");
    for (int32_t pos = 1000; pos < 3000000; pos += 3000)
        c.addRow(pos, 0.005, true);
    c.startChromosome("2");
    for (int32_t pos = 1000; pos < 60000000; pos += 30000)
        c.addRow(pos, 0.005, true);
    const double heights[] = {17, 14.6, 12.9, 12.3, 12.1, 10.9, 10, 9.9, 13.4, 11.5};
    for (int k = 0; k < 10; ++k)
        c.addLocus({"1", 100000 + 280000 * k, heights[k], "GENE" + std::to_string(k), k == 4 ? "no_peak" : "peak"});
    QString error;
    const std::vector<SvgElement> all = classedElements(figureSvg(std::move(c).finish()), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    struct Box {
        double x0, y0, x1, y1;
    };
    std::vector<Box> marks;
    for (const SvgElement& m : ofClass(all, "locus-mark")) {
        if (m.name == u"circle") {
            const double x = m.number("cx"), y = m.number("cy"), r = m.number("r") + 0.7;
            marks.push_back({x - r, y - r, x + r, y + r});
            continue;
        }
        Box b{1e9, 1e9, -1e9, -1e9}; // the triangle's corners, from its path
        const QStringList numbers =
            m.attributes.at(QStringLiteral("d")).split(QRegularExpression(QStringLiteral("[MLZ ]")), Qt::SkipEmptyParts);
        for (int k = 0; k + 1 < numbers.size(); k += 2) {
            b.x0 = std::min(b.x0, numbers[k].toDouble() - 1);
            b.x1 = std::max(b.x1, numbers[k].toDouble() + 1);
            b.y0 = std::min(b.y0, numbers[k + 1].toDouble() - 1);
            b.y1 = std::max(b.y1, numbers[k + 1].toDouble() + 1);
        }
        marks.push_back(b);
    }
    ASSERT_EQ(marks.size(), 10u);
    const std::vector<SvgElement> labels = ofClass(all, "halo"); // one under each label
    EXPECT_GE(labels.size(), 5u);
    for (const SvgElement& l : labels) {
        const double w = textWidth(l.text, l.number("font-size")), x = l.number("x"), y = l.number("y");
        for (const Box& m : marks)
            EXPECT_FALSE(x - w / 2 < m.x1 && m.x0 < x + w / 2 && y - 12 < m.y1 && m.y0 < y + 3)
                << l.text.toStdString() << " covers the mark at " << (m.x0 + m.x1) / 2 << ", " << (m.y0 + m.y1) / 2;
    }
}

// 2,000,000 one-row chromosomes: at most 1,000 slots of their own plus one
// "other" slot holding the rest (and its extreme positions), every row and
// retained marker still counted, the figure well under 5 MB.
TEST(PlotCollector, MillionsOfOneRowChromosomesStayBounded)
{
    const int n = 2000000;
    PlotCollector c(0.5);
    c.startChromosome("chr1");
    c.addRow(5, 0.4, true);
    c.addRow(50000000, 0.3, true);
    for (int k = 0; k < n; ++k) {
        c.startChromosome("ctg" + std::to_string(k));
        c.addRow(1 + (k % 1000) * 1000, k % 2 ? 0.9 : 0.01, true);
    }
    for (const auto& [position, p] : {std::pair<int32_t, double>{INT32_MIN, 0.01}, {INT32_MAX, 0.02}}) {
        c.startChromosome("ctg" + std::to_string(position)); // the whole position range, in the "other" slot
        c.addRow(position, p, true);
    }
    const PlotModel m = std::move(c).finish();
    ASSERT_EQ(m.chromosomes.size(), kPlotChromosomeCap + 1);
    EXPECT_EQ(m.chromosomes.front().name, "chr1"); // natural and widest: kept
    const PlotChromosome& other = m.chromosomes.back();
    EXPECT_TRUE(other.isOther());
    EXPECT_EQ(other.merged, n + 3 - int64_t(kPlotChromosomeCap));
    int64_t rows = 0, retained = 0;
    size_t cols = 0;
    for (const PlotChromosome& chr : m.chromosomes)
        rows += chr.rows, retained += chr.retained, cols += chr.cols;
    EXPECT_EQ(rows, n + 4);
    EXPECT_EQ(retained, n / 2 + 4);
    EXPECT_LE(cols, 16384u + 2 * m.chromosomes.size());
    for (const auto& [position, p] : {std::pair<int32_t, double>{INT32_MIN, 0.01}, {INT32_MAX, 0.02}})
        EXPECT_TRUE(other.cellSet(static_cast<uint32_t>(uint64_t(uint32_t(position) ^ 0x80000000u) >> m.xShift),
                                  static_cast<int>(plotMinusLog2Fixed(p) >> m.yShift)));
    QString error;
    const QByteArray svg = figureSvg(m);
    EXPECT_LT(svg.size(), 5 * 1000 * 1000);
    const std::vector<SvgElement> labels = ofClass(classedElements(svg, &error), "chrom-label");
    ASSERT_TRUE(error.isEmpty());
    EXPECT_EQ(labels.front().text, u"chr1");
    EXPECT_EQ(labels.back().text, u"other");
}
