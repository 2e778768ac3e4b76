// PNGs painted from the scene against headless Chromium's rendering of the
// same scene's SVG at the same pixel density: a genome-wide Manhattan
// figure, one with a broken y axis, a regional figure with LD colours and a
// gene track, and the smallest size (800x450). Fewer than 1 % of the
// pixels may differ by more than 32 levels (glyph and edge antialiasing).
#include "figure_app.h"
#include "plot/figure_render.h"
#include "plot/plot_svg.h"
#include "plot/regional_svg.h"
#include "plot/scene_painter.h"
#include "plot_test_tables.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <string>

namespace {

void expectLikeChromium(const Scene& scene, const char* what)
{
    SCOPED_TRACE(what);
    const QString browser = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    const QSize size = sceneSize(scene);
    QString error;
    const QImage ours =
        QImage::fromData(renderFigure(scene, FigureFormat::Png, &error), "PNG").convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(ours.isNull()) << error.toStdString();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("t.svg")), png = dir.filePath(QStringLiteral("shot.png"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(sceneSvg(scene));
    out.close();
    QProcess p;
    p.start(browser, QStringLiteral("--headless --no-sandbox --disable-gpu --no-first-run "
                                    "--disable-background-networking --force-device-scale-factor=2 "
                                    "--hide-scrollbars")
                             .split(u' ')
                         << QStringLiteral("--window-size=%1,%2").arg(size.width()).arg(size.height())
                         << QStringLiteral("--user-data-dir=") + dir.filePath(QStringLiteral("profile"))
                         << QStringLiteral("--screenshot=") + png << QUrl::fromLocalFile(file).toString());
    ASSERT_TRUE(p.waitForFinished(120000)) << "chromium did not finish";
    const QImage shot = QImage(png).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), ours.size()) << p.readAllStandardError().toStdString();
    int64_t differing = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb a = ours.pixel(x, y), b = shot.pixel(x, y);
            differing += std::max({qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))}) > 32;
        }
    const double share = double(differing) / (double(shot.width()) * shot.height());
    ::testing::Test::RecordProperty(std::string("differing_pixels_") + what, std::to_string(differing));
    EXPECT_LT(share, 0.01) << differing << " pixels differ by more than 32 levels";
}

bool haveChromium()
{
    return !QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty();
}

} // namespace

TEST(FigureBrowser, ManhattanPngMatchesChromium)
{
    if (!haveChromium())
        GTEST_SKIP() << "chromium not installed";
    ensureGui();
    const PlotModel model = genomeModel(300000, 30);
    expectLikeChromium(figureScene(model, PlotSettings{QStringLiteral("t.tsv")}), "manhattan");
    PlotSettings small{QStringLiteral("t.tsv")};
    small.width = 800;
    small.height = 450;
    expectLikeChromium(figureScene(model, small), "800x450");
}

TEST(FigureBrowser, BrokenAxisPngMatchesChromium)
{
    if (!haveChromium())
        GTEST_SKIP() << "chromium not installed";
    ensureGui();
    PlotCollector c(0.001);
    PlotRng rng(3);
    const double extreme[3] = {401, 450, 1000.5};
    for (int chr = 0; chr < 3; ++chr) {
        c.startChromosome(std::to_string(chr + 1));
        for (int i = 0; i < 20000; ++i)
            c.addRow(1000 + i * 500, rng.uniform(), true);
        c.addExtreme(5000000, 0, extreme[chr]);
        c.addLocus({std::to_string(chr + 1), 5000000, extreme[chr], "rs" + std::to_string(chr), "peak"});
    }
    const PlotModel model = std::move(c).finish();
    PlotSettings s{QStringLiteral("t.tsv")};
    ASSERT_TRUE(figureSvg(model, s).contains("axis-break"));
    expectLikeChromium(figureScene(model, s), "broken_axis");
}

TEST(FigureBrowser, RegionalPngMatchesChromium)
{
    if (!haveChromium())
        GTEST_SKIP() << "chromium not installed";
    ensureGui();
    RegionalFigure r;
    r.chromosome = "6";
    r.windowStart = 1000000;
    r.windowEnd = 1400000;
    PlotRng rng(7);
    for (int32_t pos = 1000000; pos < 1400000; pos += 400) {
        const double near = std::abs(pos - 1200000) / 200000.0;
        r.positions.push_back(pos);
        r.values.push_back(near < 0.2 ? 6 + 8 * rng.uniform() : 3 * rng.uniform());
        r.ids.push_back("rs" + std::to_string(pos));
        r.r2.push_back(rng.uniform() < 0.1 ? NAN : static_cast<float>(std::max(0.0, 1 - near) * rng.uniform()));
    }
    r.leadPosition = 1200000;
    r.leadId = "rs1200000";
    r.leadValue = 15;
    r.ldReference = r.leadId;
    r.ldPanel = "panel.bed";
    r.ldSamples = "all 503 samples";
    r.peaks = {{1150000, 1250000, 4.2, "4.20"}};
    r.status = "merged";
    r.statusNote = "merged: its peak also overlaps locus rs5";
    r.otherLoci = {{1300000, "rs5", 9, 1280000, 1320000}};
    for (int k = 0; k < 12; ++k)
        r.genes.push_back({"GENE" + std::to_string(k), 1000000 + 30000 * k, 1000000 + 30000 * k + 45000, 0,
                           k % 3 == 0 ? '+' : k % 3 == 1 ? '-' : char(0),
                           {{1000000 + 30000 * k, 1000000 + 30000 * k + 4000},
                            {1000000 + 30000 * k + 40000, 1000000 + 30000 * k + 45000}}});
    const Scene scene = regionalScene(r);
    EXPECT_TRUE(sceneNotUnderstood(scene).isEmpty());
    expectLikeChromium(scene, "regional");
}
