// The legend and the locus marks of crowded or small figures: past 30 loci
// the no_peak triangles step back and the legend counts the loci by status;
// at any allowed size the legend's lines stay inside the canvas.
#include "plot_test_tables.h"
#include "svg_elements.h"
#include "plot/plot_canvas.h"

#include <gtest/gtest.h>

namespace {

// The text elements of the legend layer: x, text (and with ys, their y;
// with sizes, their font size).
std::vector<std::pair<double, QString>> legendTexts(const QByteArray& svg, std::vector<double>* ys = nullptr,
                                                    std::vector<double>* sizes = nullptr)
{
    std::vector<std::pair<double, QString>> out;
    forEachElement(svg, [&](QXmlStreamReader& r, const std::vector<QString>& layers) {
        if (r.name() == u"text" && !layers.empty() && layers.back() == u"legend") {
            const double x = r.attributes().value(QLatin1String("x")).toDouble();
            if (ys)
                ys->push_back(r.attributes().value(QLatin1String("y")).toDouble());
            if (sizes)
                sizes->push_back(r.attributes().value(QLatin1String("font-size")).toDouble());
            out.push_back({x, r.readElementText(QXmlStreamReader::IncludeChildElements)});
        }
    });
    return out;
}

PlotModel lociModel(int loci, int noPeak)
{
    PlotCollector c(0.01);
    c.startChromosome("1");
    for (int32_t pos = 1000; pos < 100000000; pos += 50000)
        c.addRow(pos, 0.005, true);
    for (int k = 0; k < loci; ++k)
        c.addLocus({"1", 1000000 + 2000000 * k, 8.0 + k % 7, "rs" + std::to_string(k),
                    k < noPeak ? "no_peak" : k % 3 ? "peak" : "merged"});
    return std::move(c).finish();
}

} // namespace

TEST(ManhattanLegend, ManyLociStepBackAndAreCounted)
{
    QString error;
    const QByteArray many = figureSvg(lociModel(40, 10));
    const std::vector<SvgElement> marks = ofClass(classedElements(many, &error), "locus-mark");
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(marks.size(), 40u);
    for (const SvgElement& m : marks) {
        if (m.attributes.at(QStringLiteral("data-status")) == u"no_peak") {
            EXPECT_EQ(m.attributes.at(QStringLiteral("stroke")), QLatin1String(plotstyle::kNoPeakLightColour));
        }
    }
    QString legend;
    for (const auto& [x, text] : legendTexts(many))
        legend += text + QLatin1Char('\n');
    // 30 shaped loci: k % 3 == 0 among 10..39 are merged (10 of them).
    EXPECT_TRUE(legend.contains(QStringLiteral("(10 merged, 20 peak)"))) << legend.toStdString();
    EXPECT_TRUE(legend.contains(QStringLiteral("over its lead (10)"))) << legend.toStdString();

    // Up to 30 loci: the full violet and no counts.
    const QByteArray few = figureSvg(lociModel(30, 10));
    for (const SvgElement& m : ofClass(classedElements(few, &error), "locus-mark")) {
        if (m.attributes.at(QStringLiteral("data-status")) == u"no_peak") {
            EXPECT_EQ(m.attributes.at(QStringLiteral("stroke")), QLatin1String(plotstyle::kNoPeakColour));
        }
    }
    for (const auto& [x, text] : legendTexts(few))
        EXPECT_FALSE(text.endsWith(QLatin1Char(')')) && text.contains(QStringLiteral("peak)"))) << text.toStdString();
}

// At 1200x600 and at the smallest sizes the legend wraps its lines instead
// of running off the canvas's right edge, and it ends above the canvas's
// foot.
TEST(ManhattanLegend, LinesStayInsideTheCanvas)
{
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1200, 600}, {800, 480}, {800, 450}, {1600, 900}}) {
        PlotSettings s;
        s.width = w;
        s.height = h;
        std::vector<double> ys, sizes;
        const auto texts = legendTexts(figureSvg(lociModel(40, 10), s), &ys, &sizes);
        ASSERT_GE(texts.size(), 5u);
        for (size_t k = 0; k < texts.size(); ++k)
            EXPECT_LE(texts[k].first + textWidth(texts[k].second, sizes[k]), w - 10 + 0.5)
                << w << "x" << h << ": " << texts[k].second.toStdString();
        // The QQ square gives way, or the legend goes under both panels, so
        // that its last line (and its descenders) stays inside the canvas.
        for (double y : ys)
            EXPECT_LE(y + 4, h) << w << "x" << h;
    }
}

// 500,000 one-row chromosomes, a third of them a genome-wide peak and a
// locus: marks that fall on one pixel are merged, each counting what it
// stands for, and the figure stays under 5 MB with every peak and locus
// accounted for.
TEST(ManhattanLegend, MarksOfManyOneRowChromosomesAreMergedPerPixel)
{
    const int n = 500000;
    PlotCollector c(0.001);
    for (int k = 0; k < n; ++k) {
        const std::string name = "ctg" + std::to_string(k);
        c.startChromosome(name);
        const bool strong = k % 3 == 0;
        c.addRow(1000 + k % 5000, strong ? 1e-9 : 0.3, true);
        if (strong) {
            c.addPeak({name, 1000 + k % 5000, 1000 + k % 5000, 2, 9, "rs" + std::to_string(k)});
            c.addLocus({name, 1000 + k % 5000, 9, "rs" + std::to_string(k), "peak"});
        }
    }
    const PlotModel m = std::move(c).finish();
    const QByteArray svg = figureSvg(m);
    EXPECT_LT(svg.size(), 5 * 1000 * 1000);
    QString error;
    const std::vector<SvgElement> all = classedElements(svg, &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    const auto counted = [](const std::vector<SvgElement>& marks) {
        int64_t total = 0;
        for (const SvgElement& e : marks) {
            const auto it = e.attributes.find(QStringLiteral("data-count"));
            total += it == e.attributes.end() ? 1 : it->second.toLongLong();
        }
        return total;
    };
    const int64_t strong = (n + 2) / 3;
    EXPECT_EQ(counted(ofClass(all, "peak-band")), strong);
    EXPECT_EQ(counted(ofClass(all, "locus-mark")), strong);
    EXPECT_LT(ofClass(all, "peak-band").size(), 5000u);
}
