// The figure: well-formed XML with one band per reported peak, markers of
// p = 0 at the top of the axis, a bounded size, and the same bytes for the
// same table (compared with the committed example).
//
// QUORLIN_UPDATE_PLOT_EXAMPLE=1 rewrites tests/plot/data/example_plot.svg.
#include "plot_test_tables.h"
#include "plot_svg.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <ctime>
#include <cstdlib>

namespace {

const char* const kExamplePath = QUORLIN_PLOT_TEST_DATA "/example_plot.svg";

QByteArray render(const PlotModel& m, const PlotSettings& s, PlotDrawStats* stats = nullptr)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(writeManhattanQqSvg(m, s, buffer, stats));
    return buffer.data();
}

PlotModel exampleModel()
{
    PlotCollector c(0.01);
    GenomeTable t;
    t.rows = 300000;
    t.peaks = 40;
    t.zeroPeak = true;
    streamGenome(c, t);
    return std::move(c).finish();
}

PlotSettings exampleSettings()
{
    PlotSettings s;
    s.title = QStringLiteral("example_gwas.tsv.gz");
    return s;
}

// What a parse of the figure found.
struct Parsed {
    QString error;
    QString root, rootNamespace;
    int bands = 0;
    int labels = 0;
    QStringList markerPaths; // d of each chromosome's markers
    QString qqPath;
    QStringList texts; // of text and title elements
};

Parsed parse(const QByteArray& svg)
{
    Parsed out;
    QXmlStreamReader r(svg);
    QStringList layers;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            const QString name = r.name().toString();
            const auto a = r.attributes();
            if (out.root.isEmpty()) {
                out.root = name;
                out.rootNamespace = r.namespaceUri().toString();
            }
            if (name == QLatin1String("g"))
                layers.push_back(a.value(QLatin1String("id")).toString());
            else if (name == QLatin1String("rect") && a.value(QLatin1String("class")) == QLatin1String("peak-band"))
                ++out.bands;
            else if (name == QLatin1String("path") && a.value(QLatin1String("class")) == QLatin1String("markers"))
                out.markerPaths.push_back(a.value(QLatin1String("d")).toString());
            else if (name == QLatin1String("path") && a.value(QLatin1String("class")) == QLatin1String("qq-points"))
                out.qqPath = a.value(QLatin1String("d")).toString();
            else if (name == QLatin1String("text") || name == QLatin1String("title")) {
                if (name == QLatin1String("text") && !layers.isEmpty() && layers.back() == QLatin1String("labels") &&
                    a.value(QLatin1String("class")) != QLatin1String("halo"))
                    ++out.labels;
                out.texts.push_back(r.readElementText(QXmlStreamReader::IncludeChildElements));
            }
        } else if (r.isEndElement() && r.name() == QLatin1String("g")) {
            layers.pop_back();
        }
    }
    if (r.hasError())
        out.error = r.errorString() + QStringLiteral(" at line %1").arg(r.lineNumber());
    return out;
}

// The y of every point ("M x y") of path commands.
std::vector<std::pair<int, int>> points(const QString& d)
{
    std::vector<std::pair<int, int>> out;
    static const QRegularExpression move(QStringLiteral("M(-?\\d+) (-?\\d+)"));
    for (auto it = move.globalMatch(d); it.hasNext();) {
        const auto m = it.next();
        out.push_back({m.captured(1).toInt(), m.captured(2).toInt()});
    }
    return out;
}

} // namespace

TEST(PlotSvg, WellFormedWithOneBandPerPeak)
{
    const PlotModel m = exampleModel();
    ASSERT_GT(m.peaks.size(), 20u);
    PlotDrawStats stats;
    const QByteArray svg = render(m, exampleSettings(), &stats);
    const Parsed p = parse(svg);
    ASSERT_TRUE(p.error.isEmpty()) << qPrintable(p.error);
    EXPECT_EQ(p.root, QStringLiteral("svg"));
    EXPECT_EQ(p.rootNamespace, QStringLiteral("http://www.w3.org/2000/svg"));
    EXPECT_EQ(p.bands, static_cast<int>(m.peaks.size()));
    EXPECT_EQ(stats.bands, p.bands);
    // The strongest 20 peaks are labelled (when there is room).
    EXPECT_LE(p.labels, 20);
    EXPECT_GE(p.labels, 15);
    EXPECT_EQ(p.labels, stats.labels);
    // One markers path per chromosome with retained markers, all 22.
    EXPECT_EQ(p.markerPaths.size(), 22);
    EXPECT_FALSE(p.qqPath.isEmpty());
    EXPECT_TRUE(p.texts.contains(QStringLiteral("example_gwas.tsv.gz")));
    EXPECT_TRUE(p.texts.contains(QStringLiteral("\u03bbGC = %1").arg(m.lambda.lambda, 0, 'f', 3)));
}

TEST(PlotSvg, SameTableSameBytesAsTheCommittedExample)
{
    const QByteArray first = render(exampleModel(), exampleSettings());
    const QByteArray second = render(exampleModel(), exampleSettings());
    ASSERT_EQ(first, second);
    if (std::getenv("QUORLIN_UPDATE_PLOT_EXAMPLE")) {
        QFile f(QString::fromUtf8(kExamplePath));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(first);
        GTEST_SKIP() << "rewrote " << kExamplePath;
    }
    QFile f(QString::fromUtf8(kExamplePath));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << kExamplePath;
    const QByteArray committed = f.readAll();
    if (committed != first) {
        // Name the first differing line.
        const QList<QByteArray> a = committed.split('\n'), b = first.split('\n');
        for (int i = 0; i < std::min(a.size(), b.size()); ++i)
            ASSERT_EQ(a[i].toStdString(), b[i].toStdString()) << "line " << i + 1;
        ASSERT_EQ(a.size(), b.size());
    }
}

TEST(PlotSvg, ZeroAndTooSmallPValuesAreDrawnAtTheTop)
{
    PlotCollector c(0.001);
    c.startChromosome("1");
    c.addRow(1000, 0.5, true);
    c.addRow(2000, 1e-9, true);
    c.addRow(50000, 0, true);                                      // p = 0
    c.addRow(90000, std::numeric_limits<double>::denorm_min(), true); // text like 1e-400
    c.addRow(100000, 0.5, true);
    const PlotModel m = std::move(c).finish();
    const Parsed p = parse(render(m, PlotSettings()));
    ASSERT_TRUE(p.error.isEmpty()) << qPrintable(p.error);
    ASSERT_EQ(p.markerPaths.size(), 1);
    const auto pts = points(p.markerPaths[0]);
    ASSERT_EQ(pts.size(), 3u);
    // The plot area's top is y = 68; the axis reaches 10 (the genome-wide
    // line and the 1e-9 marker fit), and the marker at 9 sits below the top.
    int atTop = 0;
    for (const auto& [x, y] : pts)
        atTop += y == 68;
    EXPECT_EQ(atTop, 2);
    EXPECT_TRUE(p.texts.contains(QStringLiteral("10")));
    // The QQ panel draws them at its top too: y = 68 again.
    bool qqTop = false;
    for (const auto& [x, y] : points(p.qqPath))
        qqTop |= y == 68;
    EXPECT_TRUE(qqTop);
}

TEST(PlotSvg, NamesWithMarkupAndControlCharactersStayWellFormed)
{
    PlotCollector c(0.001);
    const std::string name = std::string("chr<1>&\"'%2") + '\x01' + "\xff";
    c.startChromosome(name);
    c.addRow(10, 1e-8, true);
    PlotPeak peak;
    peak.chromosome = name;
    peak.first = peak.last = 10;
    peak.height = 8;
    peak.label = std::string("rs1") + '\x02' + "</text>";
    c.addPeak(peak);
    const PlotModel m = std::move(c).finish();
    PlotSettings s;
    s.title = QStringLiteral("a&b<c>") + QChar(0x1b);
    const Parsed p = parse(render(m, s));
    ASSERT_TRUE(p.error.isEmpty()) << qPrintable(p.error);
    EXPECT_EQ(p.bands, 1);
    EXPECT_TRUE(p.texts.contains(QStringLiteral("rs1\ufffd</text>")));
    bool tip = false;
    for (const QString& t : p.texts)
        tip |= t.startsWith(QStringLiteral("chr<1>&\"'%2\ufffd\ufffd:10-10"));
    EXPECT_TRUE(tip);
}

TEST(PlotSvg, AxisGrowsWithTheData)
{
    PlotCollector c(0.001);
    c.startChromosome("1");
    c.addRow(1000, 1e-250, true);
    c.addRow(2000, 0.5, true);
    const PlotModel m = std::move(c).finish();
    const Parsed p = parse(render(m, PlotSettings()));
    EXPECT_TRUE(p.texts.contains(QStringLiteral("250"))); // ticks of 50 up to 300
    EXPECT_TRUE(p.texts.contains(QStringLiteral("300")));
}

TEST(PlotSvg, EmptyTableAndUnknownPeakChromosome)
{
    PlotCollector c(0.001);
    PlotPeak peak;
    peak.chromosome = "7";
    c.addPeak(peak);
    const PlotModel m = std::move(c).finish();
    PlotDrawStats stats;
    const Parsed p = parse(render(m, PlotSettings(), &stats));
    ASSERT_TRUE(p.error.isEmpty()) << qPrintable(p.error);
    EXPECT_EQ(p.bands, 0);
    EXPECT_EQ(stats.peaksOffChromosome, 1);
    EXPECT_TRUE(p.texts.contains(QStringLiteral("\u03bbGC not defined")));
}

TEST(PlotSvg, WritesToAPathOrSaysWhyNot)
{
    const PlotModel m = exampleModel();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("figure.svg"));
    QString error;
    ASSERT_TRUE(writeManhattanQqSvg(m, exampleSettings(), path, &error)) << qPrintable(error);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), render(m, exampleSettings()));
    const QString bad = dir.filePath(QStringLiteral("no/such/folder/figure.svg"));
    EXPECT_FALSE(writeManhattanQqSvg(m, exampleSettings(), bad, &error));
    EXPECT_TRUE(error.contains(bad)) << qPrintable(error);
}

// 10 million rows: the figure stays far below 5 MB, with the analysis's
// default inlimit and even with every row retained; the QQ points are
// thinned to about one per pixel along the curve.
class PlotSvgTenMillion : public ::testing::TestWithParam<double> {};

TEST_P(PlotSvgTenMillion, FigureStaysSmall)
{
    PlotCollector c(GetParam());
    GenomeTable t;
    t.rows = 10000000;
    t.peaks = 300;
    streamGenome(c, t);
    const PlotModel m = std::move(c).finish();
    PlotDrawStats stats;
    const QByteArray svg = render(m, exampleSettings(), &stats);
    std::printf("inlimit %g: %lld retained, %lld bytes, %lld pixels, %lld dots, qq %lld pixels\n", GetParam(),
                (long long)m.retained, (long long)svg.size(), (long long)stats.manhattanPixels,
                (long long)stats.manhattanDots, (long long)stats.qqPixels);
    EXPECT_LT(svg.size(), 5 * 1000 * 1000);
    EXPECT_LT(stats.qqPixels, 4 * 400);
    EXPECT_TRUE(parse(svg).error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Inlimits, PlotSvgTenMillion, ::testing::Values(0.001, 1.0));

// The per-row cost in CPU time of this thread (other load on the machine
// barely moves it), for a look by hand:
//   quorlin_plot_tests --gtest_also_run_disabled_tests --gtest_filter='*RowCost*'
TEST(PlotSpeed, DISABLED_RowCost)
{
    const size_t n = 10000000;
    std::vector<int32_t> position(n);
    std::vector<double> p(n);
    PlotRng rng(9);
    double x = 10000;
    for (size_t i = 0; i < n; ++i) {
        x = i % 454546 == 0 ? 10000 : x + 300 * (0.5 + rng.uniform());
        position[i] = static_cast<int32_t>(x);
        char text[32];
        std::snprintf(text, sizeof text, "%.3g", rng.uniform());
        p[i] = std::atof(text);
    }
    const auto now = [] {
        timespec t;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec + 1e-9 * t.tv_nsec;
    };
    for (int rep = 0; rep < 5; ++rep) {
        const double t0 = now();
        PlotCollector c(0.001);
        for (size_t i = 0; i < n; ++i) {
            if (i % 454546 == 0)
                c.startChromosome(std::to_string(i / 454546 + 1));
            c.addRow(position[i], p[i], true);
        }
        const double t1 = now();
        const PlotModel m = std::move(c).finish();
        const double t2 = now();
        const QByteArray svg = render(m, exampleSettings());
        const double t3 = now();
        double sum = 0;
        for (size_t i = 0; i < n; ++i)
            sum += p[i] + position[i];
        const double t4 = now();
        std::printf("addRow %.2f ns/row (a loop reading the same arrays: %.2f ns/row, %g), finish %.1f ms, "
                    "SVG %.1f ms\n",
                    (t1 - t0) / n * 1e9, (t4 - t3) / n * 1e9, sum, (t2 - t1) * 1e3, (t3 - t2) * 1e3);
    }
}
