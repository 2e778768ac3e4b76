// The legend and the locus marks of crowded or small figures: past 30 loci
// the no_peak triangles step back and the legend counts the loci by status;
// at any allowed size the legend's lines stay inside the canvas.
#include "plot_test_tables.h"
#include "svg_elements.h"
#include "plot/plot_canvas.h"

#include <gtest/gtest.h>

namespace {

// The text elements of the legend layer: x, text.
std::vector<std::pair<double, QString>> legendTexts(const QByteArray& svg)
{
    std::vector<std::pair<double, QString>> out;
    QXmlStreamReader r(svg);
    std::vector<QString> layers;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isEndElement() && r.name() == u"g")
            layers.pop_back();
        if (!r.isStartElement())
            continue;
        if (r.name() == u"g")
            layers.push_back(r.attributes().value(QLatin1String("id")).toString());
        if (r.name() == u"text" && !layers.empty() && layers.back() == u"legend") {
            const double x = r.attributes().value(QLatin1String("x")).toDouble();
            out.push_back({x, r.readElementText(QXmlStreamReader::IncludeChildElements)});
        }
    }
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

// At 1200x600 and at the smallest width the legend wraps its lines instead
// of running off the canvas's right edge.
TEST(ManhattanLegend, LinesStayInsideTheCanvas)
{
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1200, 600}, {800, 480}, {1600, 900}}) {
        PlotSettings s;
        s.width = w;
        s.height = h;
        const auto texts = legendTexts(figureSvg(lociModel(40, 10), s));
        ASSERT_GE(texts.size(), 5u);
        for (const auto& [x, text] : texts)
            EXPECT_LE(x + textWidth(text, 13), w - 10 + 0.5) << w << "x" << h << ": " << text.toStdString();
    }
}
