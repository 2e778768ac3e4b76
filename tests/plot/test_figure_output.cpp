// Figure files: PNG and PDF painted by Qt from the scene (PNG at twice the
// size, read back by Qt; a PDF page's size and text, read by poppler's
// tools; a PDF file's pages: tests/cli/test_real_runs.cpp),
// the format and size words, the regional figure of a locus, and the
// committed example figure as headless Chromium draws it.
#include "figure_app.h"
#include "plot/figure_render.h"
#include "plot/plot_svg.h"
#include "plot_test_tables.h"
#include "plot/regional_svg.h"
#include "svg_elements.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>
#include <QTemporaryDir>

#include <algorithm>

TEST(FigureOutput, PngHasTwiceTheSizeInPixels)
{
    ensureGui();
    for (const QSize size : {QSize(1600, 900), QSize(1000, 700)}) {
        PlotSettings s{QStringLiteral("t.tsv")};
        s.width = size.width();
        s.height = size.height();
        QString error;
        const QByteArray png = renderFigure(figureScene(genomeModel(100000, 20), s), FigureFormat::Png, &error);
        ASSERT_FALSE(png.isEmpty()) << error.toStdString();
        const QImage image = QImage::fromData(png, "PNG");
        EXPECT_EQ(image.size(), size * 2);
        // Not blank: the markers' dark blue is there.
        int dark = 0;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                dark += qGray(image.pixel(x, y)) < 100;
        EXPECT_GT(dark, 500);
    }
    // A lone marker (a zero-length stroke in a browser) is drawn too.
    RegionalFigure lone;
    lone.windowEnd = 1000;
    lone.positions = {500};
    lone.values = {3};
    const QImage one = QImage::fromData(renderFigure(regionalScene(lone), FigureFormat::Png), "PNG");
    int blue = 0;
    for (int y = 0; y < one.height(); ++y)
        for (int x = 0; x < one.width(); ++x)
            blue += qAbs(qRed(one.pixel(x, y)) - 0x1f) + qAbs(qGreen(one.pixel(x, y)) - 0x4e) < 20;
    EXPECT_GT(blue, 10);
    QString error;
    EXPECT_TRUE(renderFigure(Scene(), FigureFormat::Png, &error).isEmpty()); // no size

    EXPECT_FALSE(error.isEmpty());
}

// The PDF is one page of the figure's size at 96 px per inch, its text
// kept as text: pdftotext finds the axis titles, the chromosome names and
// the lead labels, each once (the white halos under labels are outlines).
TEST(FigureOutput, PdfKeepsTextAsText)
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
    if (pdftotext.isEmpty() || pdfinfo.isEmpty())
        GTEST_SKIP() << "poppler-utils not installed";
    ensureGui();
    PlotSettings s{QStringLiteral("title_of_t.tsv")};
    QString error;
    const QByteArray pdf = renderFigure(figureScene(genomeModel(100000, 20), s), FigureFormat::Pdf, &error);
    ASSERT_TRUE(pdf.startsWith("%PDF")) << error.toStdString();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("f.pdf"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(pdf);
    out.close();
    QProcess info;
    info.start(pdfinfo, {file});
    ASSERT_TRUE(info.waitForFinished(60000));
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput()).contains(QLatin1String("1200 x 675 pts")));
    QProcess text;
    text.start(pdftotext, {file, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString words = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_EQ(words.count(QLatin1String("title_of_t.tsv")), 1) << words.toStdString();
    EXPECT_EQ(words.count(QLatin1String("Chromosome")), 1);
    EXPECT_TRUE(words.contains(QLatin1String("Expected")));
    // Each haloed lead label once: the halo is no text.
    const QRegularExpression halo(QStringLiteral("class=\"halo\"[^>]*>([^<]+)<"));
    int labels = 0;
    for (auto m = halo.globalMatch(QString::fromUtf8(figureSvg(genomeModel(100000, 20), s))); m.hasNext(); ++labels)
        EXPECT_EQ(words.count(m.next().captured(1)), 1) << words.toStdString();
    EXPECT_GT(labels, 0);
}

// The screenshot has the window's size, is not blank (many colours) and
// shows the first peak band's colour.
TEST(FigureOutput, ExampleFigureInABrowser)
{
    const QString browser = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (browser.isEmpty())
        GTEST_SKIP() << "chromium not installed";
    const QString figure = QStringLiteral(QUORLIN_EXAMPLES "/example.svg");
    QFile svg(figure);
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QRegularExpressionMatch band =
        QRegularExpression(QStringLiteral("class=\"peak-band\"[^>]*fill=\"(#[0-9a-f]{6})\""))
            .match(QString::fromUtf8(svg.readAll()));
    ASSERT_TRUE(band.hasMatch()) << "the figure has no peak band";
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("shot.png"));
    QProcess p;
    p.start(browser, QStringLiteral("--headless --no-sandbox --disable-gpu --no-first-run "
                                    "--disable-background-networking --window-size=1600,900")
                             .split(u' ')
                         << QStringLiteral("--user-data-dir=") + dir.filePath(QStringLiteral("profile"))
                         << QStringLiteral("--screenshot=") + png << QUrl::fromLocalFile(figure).toString());
    ASSERT_TRUE(p.waitForFinished(120000)) << "chromium did not finish";
    const QImage shot(png);
    ASSERT_EQ(shot.size(), QSize(1600, 900)) << p.readAllStandardError().toStdString();
    const QRgb band0 = QColor(band.captured(1)).rgb();
    QSet<QRgb> colours;
    bool bandSeen = false;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb px = shot.pixel(x, y);
            colours.insert(px);
            bandSeen = bandSeen || std::max({qAbs(qRed(px) - qRed(band0)), qAbs(qGreen(px) - qGreen(band0)),
                                             qAbs(qBlue(px) - qBlue(band0))}) <= 3;
        }
    EXPECT_GE(colours.size(), 20);
    EXPECT_TRUE(bandSeen) << "band colour " << band.captured(1).toStdString();
}

TEST(FigureOutput, FormatAndSizeWords)
{
    const struct {
        const char* path;
        bool ok;
        FigureFormat format;
    } paths[] = {{"a/b.svg", true, FigureFormat::Svg}, {"x.PNG", true, FigureFormat::Png},
                 {"dir.pdf/x", false, FigureFormat::Svg}, {"y.pdf", true, FigureFormat::Pdf},
                 {"yes", false, FigureFormat::Svg},       {"z.jpg", false, FigureFormat::Svg}};
    for (const auto& c : paths) {
        FigureFormat f = FigureFormat::Svg;
        EXPECT_EQ(figureFormatOfPath(QString::fromLatin1(c.path), &f), c.ok) << c.path;
        EXPECT_EQ(f, c.format) << c.path;
    }
    const struct {
        const char* text;
        QSize size;
    } sizes[] = {{"1600x900", {1600, 900}}, {"2000X1200", {2000, 1200}}, {"800x450", {800, 450}},
                 {"799x900", {}},           {"1600x449", {}},            {"9000x900", {}},
                 {"1600", {}},              {"16x9x1", {}},              {"-1600x900", {}}};
    for (const auto& c : sizes) {
        QSize got;
        EXPECT_EQ(parseFigureSize(QString::fromLatin1(c.text), &got), c.size.isValid()) << c.text;
        EXPECT_EQ(got, c.size) << c.text;
    }
}

TEST(RegionalFigure, ShadesTheGivenRangesAndNamesTheStatus)
{
    RegionalFigure r;
    r.chromosome = "chr7";
    r.windowStart = 1000000;
    r.windowEnd = 1400000;
    PlotRng rng(9);
    for (int32_t pos = 990000; pos < 1410000; pos += 700) { // a few outside the window
        r.positions.push_back(pos);
        r.values.push_back(std::abs(pos - 1200000) < 30000 ? 9 + 3 * rng.uniform() : 2 * rng.uniform());
    }
    r.values[5] = INFINITY; // p = 0: at the top
    r.leadPosition = 1200100;
    r.leadId = "rs<7>&";
    r.leadValue = 12;
    r.peaks = {{1170000, 1230000, 4.2, "4.2"}, {1390000, 1600000, 1.5, "1.5"}, {2000000, 2100000, 3, "3"}};
    r.status = "no_peak";
    r.genes = {{"GENE1", 1100000, 1150000, 0, 0, {}}, {"GENE2", 1250000, 1500000, 1, 0, {}}};
    QString error;
    const std::vector<SvgElement> all = classedElements(checkedRegionalSvg(r), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    const std::vector<SvgElement> ranges = ofClass(all, "peak-range");
    ASSERT_EQ(ranges.size(), 2u); // the third lies outside the window
    EXPECT_EQ(ranges[0].attributes.at(QStringLiteral("data-range")), u"1170000-1230000");
    EXPECT_EQ(ranges[1].attributes.at(QStringLiteral("data-range")), u"1390000-1600000");
    // The shade is clipped to the plot: it ends where the window does.
    const double right = ranges[1].number("x") + ranges[1].number("width");
    EXPECT_LT(right, 1200 - 29);
    EXPECT_EQ(ofClass(all, "lead-label").at(0).text, u"rs<7>&");
    EXPECT_EQ(ofClass(all, "gene").size(), 2u);
    // The status is in the title; it shows every marker in the window.
    EXPECT_EQ(ofClass(all, "locus-status").size(), 1u);
    EXPECT_FALSE(ofClass(all, "marker").empty());
}

TEST(RegionalFigure, FileNamesStayInTheirFolder)
{
    const struct {
        const char* chromosome;
        int32_t position;
        FigureFormat format;
        const char* name;
    } cases[] = {{"chr1", 12345, FigureFormat::Svg, "chr1_12345.svg"},
                 {"../x", 5, FigureFormat::Png, "_._x_5.png"},
                 {"HLA/A*01 b", 7, FigureFormat::Pdf, "HLA_A_01_b_7.pdf"},
                 {"", -3, FigureFormat::Svg, "__-3.svg"}};
    for (const auto& c : cases)
        EXPECT_EQ(regionalFileName(c.chromosome, c.position, c.format), c.name);
}
