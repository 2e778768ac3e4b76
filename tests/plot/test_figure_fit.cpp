// The genome-wide figure at every allowed size: each text's box (measured
// with the figure's font widths) stays inside the canvas, and no text of the
// legend or the QQ panel covers a QQ point or another text.
#include "plot_test_tables.h"
#include "svg_elements.h"
#include "plot/plot_canvas.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

struct Box {
    double x0, y0, x1, y1;
    QString text, layer;
    bool meets(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

// The unrotated texts of a figure with their boxes: ascent 0.8 and descent
// 0.25 of the font size, bold text a tenth wider.
struct FigureTexts {
    std::vector<Box> texts;
    std::vector<Box> qqDots; // each QQ point or run of points, as drawn
};

FigureTexts readFigure(const QByteArray& svg)
{
    FigureTexts out;
    const QString error = forEachElement(svg, [&](QXmlStreamReader& r, const std::vector<QString>& layers) {
        const QXmlStreamAttributes a = r.attributes();
        const QString layer = layers.empty() ? QString() : layers.back();
        if (r.name() == u"path" && a.value(QLatin1String("class")) == u"qq-points") {
            static const QRegularExpression command(QStringLiteral("M(-?\\d+) (-?\\d+)(?:v\\.1|V(-?\\d+))"));
            const double reach = plotstyle::kDotWidth / 2;
            for (const auto& m : command.globalMatch(a.value(QLatin1String("d")).toString())) {
                const double x = m.captured(1).toDouble(), y = m.captured(2).toDouble();
                const double end = m.captured(3).isEmpty() ? y : m.captured(3).toDouble();
                out.qqDots.push_back({x - reach, y - reach, x + reach, end + reach, QString(), layer});
            }
            return;
        }
        if (r.name() != u"text" || a.hasAttribute(QLatin1String("transform")))
            return;
        const double x = a.value(QLatin1String("x")).toDouble(), y = a.value(QLatin1String("y")).toDouble();
        const double size = a.value(QLatin1String("font-size")).toDouble();
        const bool bold = a.value(QLatin1String("font-weight")) == u"bold";
        const QStringView anchor = a.value(QLatin1String("text-anchor"));
        const QString text = r.readElementText(QXmlStreamReader::IncludeChildElements);
        const double w = textWidth(text, size) * (bold ? 1.1 : 1);
        const double x0 = anchor == u"middle" ? x - w / 2 : anchor == u"end" ? x - w : x;
        out.texts.push_back({x0, y - 0.8 * size, x0 + w, y + 0.25 * size, text, layer});
    });
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return out;
}

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

void expectFits(const QByteArray& svg, int w, int h, const char* what)
{
    const FigureTexts f = readFigure(svg);
    ASSERT_FALSE(f.qqDots.empty());
    for (const Box& t : f.texts) {
        EXPECT_TRUE(t.x0 >= -0.5 && t.x1 <= w + 0.5 && t.y0 >= -0.5 && t.y1 <= h + 0.5)
            << what << " " << w << "x" << h << ": " << t.text.toStdString() << " at " << t.x0 << "," << t.y0 << " to "
            << t.x1 << "," << t.y1;
        if (t.layer != u"legend" && t.layer != u"qq")
            continue;
        for (const Box& d : f.qqDots) {
            EXPECT_FALSE(t.meets(d)) << what << " " << w << "x" << h << ": " << t.text.toStdString() << " covers a QQ point";
        }
        for (const Box& o : f.texts) {
            if (&o != &t) {
                EXPECT_FALSE(t.meets(o)) << what << " " << w << "x" << h << ": " << t.text.toStdString() << " meets "
                                         << o.text.toStdString();
            }
        }
    }
}

} // namespace

TEST(FigureFit, EveryTextInsideAndClearAtEverySize)
{
    const PlotModel models[2] = {sampleModel(false), sampleModel(true)};
    const PlotModel wordy = wordyModel();
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{
             {800, 450}, {800, 480}, {1000, 500}, {1200, 600}, {1200, 675}, {1600, 900}, {2400, 900}}) {
        PlotSettings s;
        s.width = w;
        s.height = h;
        expectFits(figureSvg(models[0], s), w, h, "loci");
        expectFits(figureSvg(models[1], s), w, h, "filtered");
        expectFits(figureSvg(wordy, s), w, h, "wordy");
    }
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
