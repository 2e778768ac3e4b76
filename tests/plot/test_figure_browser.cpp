// The PNG of a Manhattan figure with a broken y axis against headless
// Chromium's rendering of the same SVG at the same pixel density: the break,
// the band's dots and their values come out alike in both.
#include "figure_app.h"
#include "plot/figure_render.h"
#include "plot/plot_svg.h"
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

TEST(FigureBrowser, BrokenAxisPngMatchesChromium)
{
    const QString browser = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (browser.isEmpty())
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
    const QByteArray svg = figureSvg(model, s);
    ASSERT_TRUE(svg.contains("axis-break"));
    QString error;
    const QImage ours = QImage::fromData(renderFigure(svg, FigureFormat::Png, QSize(s.width, s.height), &error), "PNG")
                            .convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(ours.isNull()) << error.toStdString();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("t.svg")), png = dir.filePath(QStringLiteral("shot.png"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(svg);
    out.close();
    QProcess p;
    p.start(browser, QStringLiteral("--headless --no-sandbox --disable-gpu --no-first-run "
                                    "--disable-background-networking --force-device-scale-factor=2 "
                                    "--hide-scrollbars --window-size=1600,900")
                             .split(u' ')
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
    RecordProperty("differing_pixels", std::to_string(differing));
    EXPECT_LT(share, 0.01) << differing << " pixels differ by more than 32 levels";
}
