// The Manhattan panel's labels: no label box meets another label or any
// locus mark (its own included), on the shared real tables and the example
// at the default size and at 800x450; labels that find no place are
// counted on the labels group; labels with no room above go beside their
// mark, with a leader line.
#include "plot_test_tables.h"
#include "svg_elements.h"
#include "plot/plot_canvas.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

struct Box {
    double x0, y0, x1, y1;
    QString what;
    // Overlapping by more than the half pixel that the file's rounding to
    // 0.1 px and a label touching its own mark leave.
    bool meets(const Box& o) const
    {
        constexpr double slack = 0.5;
        return x0 + slack < o.x1 && o.x0 + slack < x1 && y0 + slack < o.y1 && o.y0 + slack < y1;
    }
};

struct Labelled {
    std::vector<Box> labels, marks;
    int dropped = 0;
    int leaders = 0;
};

Labelled readLabels(const QByteArray& svg)
{
    Labelled out;
    const QString error = forEachElement(svg, [&](QXmlStreamReader& r, const std::vector<QString>& layers) {
        const QXmlStreamAttributes a = r.attributes();
        const auto number = [&](const char* name) { return a.value(QLatin1String(name)).toDouble(); };
        if (r.name() == u"g" && a.value(QLatin1String("id")) == u"labels")
            out.dropped = a.value(QLatin1String("data-labels-dropped")).toInt();
        if (a.value(QLatin1String("class")) == u"locus-mark") {
            if (r.name() == u"circle") {
                const double x = number("cx"), y = number("cy"), radius = number("r");
                out.marks.push_back({x - radius, y - radius, x + radius, y + radius, QStringLiteral("ring")});
            } else {
                static const QRegularExpression point(QStringLiteral("(-?[\\d.]+) (-?[\\d.]+)"));
                Box b{1e9, 1e9, -1e9, -1e9, QStringLiteral("triangle")};
                for (const auto& m : point.globalMatch(a.value(QLatin1String("d")).toString())) {
                    const double x = m.captured(1).toDouble(), y = m.captured(2).toDouble();
                    b = {std::min(b.x0, x), std::min(b.y0, y), std::max(b.x1, x), std::max(b.y1, y), b.what};
                }
                out.marks.push_back(b);
            }
            return;
        }
        if (layers.empty() || layers.back() != u"labels")
            return;
        if (r.name() == u"line")
            ++out.leaders;
        if (r.name() != u"text" || a.value(QLatin1String("class")) == u"halo")
            return;
        const double x = number("x"), y = number("y"), size = number("font-size");
        const bool middle = a.value(QLatin1String("text-anchor")) == u"middle";
        const QString text = r.readElementText(QXmlStreamReader::IncludeChildElements);
        const double w = textWidth(text, size);
        const double x0 = middle ? x - w / 2 : x;
        out.labels.push_back({x0, y - 0.8 * size, x0 + w, y + 0.25 * size, text});
    });
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return out;
}

void expectClear(const Labelled& f, const std::string& what)
{
    for (size_t i = 0; i < f.labels.size(); ++i) {
        const Box& l = f.labels[i];
        for (size_t j = i + 1; j < f.labels.size(); ++j)
            EXPECT_FALSE(l.meets(f.labels[j])) << what << ": " << l.what.toStdString() << " meets "
                                               << f.labels[j].what.toStdString();
        for (const Box& m : f.marks)
            EXPECT_FALSE(l.meets(m)) << what << ": " << l.what.toStdString() << " covers a " << m.what.toStdString()
                                     << " at " << m.x0 << "," << m.y0;
    }
}

} // namespace

TEST(ManhattanLabels, ClearOfEachOtherAndOfEveryMarkOnRealTables)
{
    QUORLIN_NEEDS_REAL_DATA();
    struct Table {
        std::string file;
        std::vector<std::string> columns;
    };
    const std::vector<Table> tables = {
        {std::string(QUORLIN_EXAMPLES) + "/example.tsv",
         {"-lcolumn", "2", "-pcolumn", "8", "-chrcolumn", "1", "-idcolumn", "3"}},
        {realFile("topr_UC_UKBB_p1e-3.tsv"),
         {"-lcolumn", "POS", "-pcolumn", "P", "-chrcolumn", "CHROM", "-idcolumn", "ID"}},
        {realFile("topr_CD_UKBB_p1e-3.tsv"),
         {"-lcolumn", "POS", "-pcolumn", "P", "-chrcolumn", "CHROM", "-idcolumn", "ID"}},
        {realFile("RapidoPGS_michailidou19_BRCA_100k.tsv"),
         {"-lcolumn", "BP", "-pcolumn", "P", "-chrcolumn", "CHR", "-idcolumn", "SNPID"}},
        {realFile("tidyGWAS_PGC3_SCZ_100k_sorted.tsv.gz"),
         {"-lcolumn", "POS", "-pcolumn", "P", "-chrcolumn", "CHR", "-idcolumn", "RSID"}},
        {realFile("locuszoomr_SLE_gwas_sub.tsv"),
         {"-lcolumn", "pos", "-pcolumn", "p", "-chrcolumn", "chrom", "-idcolumn", "rsid"}},
    };
    const std::string dir = makeTempDir();
    size_t labels = 0;
    for (const Table& t : tables) {
        for (const char* size : {"", "800x450"}) {
            std::vector<std::string> args = {"-file", t.file, "-header", "yes", "-out", "t.out", "-plot", "t.svg"};
            args.insert(args.end(), t.columns.begin(), t.columns.end());
            if (*size)
                args.insert(args.end(), {"-plot-size", size});
            const RunResult r = runQuorlin(args, dir);
            ASSERT_EQ(r.status, 0) << r.command << "\n" << r.err;
            const std::string svg = readFile(dir + "/t.svg");
            const Labelled f = readLabels(QByteArray(svg.data(), static_cast<qsizetype>(svg.size())));
            expectClear(f, t.file + " " + size);
            labels += f.labels.size();
        }
    }
    EXPECT_GT(labels, 60u);
}

// Forty loci a few pixels apart, all as strong: the 20 strongest labels
// cannot all find room; those left out are counted, the others stay clear.
// A lone locus at the top of the axis (no room above its triangle) is
// labelled beside it, with a leader line.
TEST(ManhattanLabels, CrowdedLabelsAreCountedAndTheTopOneGoesBeside)
{
    PlotCollector c(0.01);
    c.startChromosome("1");
    for (int32_t pos = 1000; pos < 100000000; pos += 50000)
        c.addRow(pos, 0.005, true);
    for (int k = 0; k < 40; ++k)
        c.addLocus({"1", 50000000 + 20000 * k, 12, "rs" + std::to_string(100000 + k), k % 2 ? "peak" : "no_peak"});
    c.addLocus({"1", 10000000, 20, "rs1", "no_peak"});
    const PlotModel m = std::move(c).finish();
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1600, 900}, {800, 450}}) {
        PlotSettings s;
        s.width = w;
        s.height = h;
        PlotDrawStats stats;
        const Labelled f = readLabels(figureSvg(m, s, &stats));
        expectClear(f, std::to_string(w) + "x" + std::to_string(h));
        EXPECT_EQ(static_cast<int>(f.labels.size()), stats.labels);
        EXPECT_EQ(stats.labels + stats.labelsDropped, 20);
        EXPECT_GT(stats.labelsDropped, 0);
        EXPECT_EQ(f.dropped, stats.labelsDropped);
        EXPECT_GT(f.leaders, 0);
        EXPECT_TRUE(std::any_of(f.labels.begin(), f.labels.end(), [](const Box& b) { return b.what == u"rs1"; }));
    }
}
