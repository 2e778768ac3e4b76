// Raster figures painted from the scene: styles a browser applies (stroke
// opacity on a dot group, a parent group's opacity, dashes) measured on
// pixels, the two bands against one image painted whole, label halos
// against the glyphs grown by the whole disc, what the painter
// does not understand reported, and the PNG encoder's two-part stream read
// back by Qt for odd sizes.
#include "figure_app.h"
#include "plot/figure_raster.h"
#include "plot/text_images.h"
#include "plot/figure_render.h"
#include "plot/plot_canvas.h"
#include "plot/png_encoder.h"
#include "plot/scene_painter.h"
#include "plot_test_tables.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// A figure of w x h px on a ground of one colour (white unless given);
// draw adds to its open svg element.
template <typename Draw>
Scene smallScene(int w, int h, const Draw& draw, const char* ground = "#ffffff")
{
    Scene scene;
    scene.namespaces.push_back({QString(), QStringLiteral("http://www.w3.org/2000/svg")});
    SvgCanvas c(scene);
    c.start("svg");
    c.attr("width", QString::number(w));
    c.attr("height", QString::number(h));
    c.attr("viewBox", QStringLiteral("0 0 %1 %2").arg(w).arg(h));
    c.attr("font-family", plotstyle::kFont);
    c.start("rect");
    c.attr("width", QString::number(w));
    c.attr("height", QString::number(h));
    c.attr("fill", ground);
    c.end();
    draw(c);
    c.end();
    return scene;
}

// Pixels whose largest channel difference exceeds `by`.
int64_t differing(const QImage& a, const QImage& b, int by)
{
    int64_t n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            n += std::max({qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)), qAbs(qBlue(p) - qBlue(q))}) > by;
        }
    return n;
}

// The figure at twice its size, as the PNG back end paints it.
QImage painted(const Scene& scene)
{
    QString error;
    const QImage image = rasterScene(drawScene(scene), sceneSize(scene) * 2, &error);
    EXPECT_FALSE(image.isNull()) << error.toStdString();
    return image;
}

void expectNear(QRgb got, QRgb want, const char* what)
{
    EXPECT_LE(std::max({qAbs(qRed(got) - qRed(want)), qAbs(qGreen(got) - qGreen(want)),
                        qAbs(qBlue(got) - qBlue(want))}),
              3)
        << what << ": got " << QColor(got).name().toStdString() << ", want " << QColor(want).name().toStdString();
}

} // namespace

// Each of these came out wrong, by up to 224 levels, when the PNG was
// painted from the SVG text read back.
TEST(FigureRaster, OpacityAndDashesPaintedAsSvgSays)
{
    ensureGui();
    const Scene scene = smallScene(200, 100, [](SvgCanvas& c) {
        // A black dot group under half stroke opacity: mid grey.
        c.start("g");
        c.attr("stroke-opacity", "0.5");
        c.dotPath("markers", "#000000", "M20 10V60M30 50v.1");
        c.end();
        // Two overlapping opaque red squares in a group of opacity 0.5: the
        // group is composed once, so the overlap is as light as the rest.
        c.start("g");
        c.attr("opacity", "0.5");
        for (int x : {60, 80}) {
            c.start("rect");
            c.attr("x", x);
            c.attr("y", 10);
            c.attr("width", 40);
            c.attr("height", 40);
            c.attr("fill", "#ff0000");
            c.end();
        }
        c.end();
        // A dashed line: 10 px on, 10 px off.
        c.line(140, 80, 200, 80, "#000000", 4, "10 10");
    });
    ASSERT_TRUE(sceneNotUnderstood(scene).isEmpty());
    const QImage image = painted(scene);
    ASSERT_EQ(image.size(), QSize(400, 200));
    const auto at = [&](double x, double y) { return image.pixel(static_cast<int>(x * 2), static_cast<int>(y * 2)); };
    expectNear(at(20, 35), qRgb(128, 128, 128), "dot run under stroke-opacity");
    expectNear(at(30, 50), qRgb(128, 128, 128), "dot under stroke-opacity");
    expectNear(at(70, 30), qRgb(255, 128, 128), "group opacity, one square");
    expectNear(at(90, 30), qRgb(255, 128, 128), "group opacity, the overlap");
    expectNear(at(115, 30), qRgb(255, 128, 128), "group opacity, the other square");
    expectNear(at(145, 80), qRgb(0, 0, 0), "first dash");
    expectNear(at(155, 80), qRgb(255, 255, 255), "first gap");
    expectNear(at(165, 80), qRgb(0, 0, 0), "second dash");
    expectNear(at(175, 80), qRgb(255, 255, 255), "second gap");
}

// The two bands, each on its thread with its own copy of the steps, give
// the image one band painted whole gives: text, a ring, a triangle and a
// dot run across the line between them included.
TEST(FigureRaster, BandsJoinWithoutASeam)
{
    ensureGui();
    const Scene scene = smallScene(400, 300, [](SvgCanvas& c) {
        c.start("text");
        c.attr("x", 20);
        c.attr("y", 160);
        c.attr("font-size", 30);
        c.attr("stroke", "#ffffff");
        c.attr("stroke-width", 4);
        c.chars(QStringLiteral("Ågjpq 150"));
        c.end();
        c.text(20, 160, QStringLiteral("Ågjpq 150"), 30);
        c.log10Text(380, 150, QStringLiteral("observed "), 14, "middle", -90);
        c.dotPath("markers", "#1f4e79", "M300 100V200M310 149v.1");
        c.start("circle");
        c.attr("cx", 250);
        c.attr("cy", 150);
        c.attr("r", 12);
        c.attr("fill", "none");
        c.attr("stroke", "#1a1a1a");
        c.attr("stroke-width", 1.3);
        c.end();
        c.start("path");
        c.attr("d", "M200 140L190 160L210 160Z");
        c.attr("fill", "none");
        c.attr("stroke", "#7b3294");
        c.attr("stroke-width", 2);
        c.end();
    });
    const SceneDrawing drawing = drawScene(scene);
    ASSERT_TRUE(drawing.notUnderstood.isEmpty()) << drawing.notUnderstood.join(u',').toStdString();
    const QImage bands = rasterScene(drawing, QSize(800, 600));
    const QImage whole = rasterScene(drawing, QSize(800, 600), nullptr, 1);
    EXPECT_EQ(differing(bands, whole, 0), 0);
    // Text drawn from its own image is the text painted in place, but for
    // rounding.
    QImage inPlace(800, 600, QImage::Format_RGB32);
    inPlace.fill(Qt::white);
    paintSceneBand(inPlace, 0, QSize(800, 600), drawing, {});
    EXPECT_EQ(differing(whole, inPlace, 2), 0);
    // And the text is there: dark pixels on both sides of the seam.
    int above = 0, below = 0;
    for (int x = 40; x < 360; ++x) {
        above += qGray(bands.pixel(x, 290)) < 100;
        below += qGray(bands.pixel(x, 310)) < 100;
    }
    EXPECT_GT(above, 10);
    EXPECT_GT(below, 2);
}

// A label's white halo is painted as its glyphs' coverage grown by a disc;
// stroking the outlines (as for a stroke of another colour) gives the same
// shape, its edges shaded a little differently: a few percent of the halo's
// pixels differ by more than 32 levels, hardly any by more than 128.
TEST(FigureRaster, HaloIsTheStrokedOutline)
{
    ensureGui();
    const auto withHalo = [](const char* stroke) {
        return smallScene(300, 80, [stroke](SvgCanvas& c) {
            for (const char* size : {"14", "30"}) {
                c.start("text");
                c.attr("x", 150);
                c.attr("y", size[0] == '1' ? 25 : 65);
                c.attr("font-size", size);
                c.attr("text-anchor", "middle");
                c.attr("fill", "#ffffff");
                c.attr("stroke", stroke);
                c.attr("stroke-width", 3);
                c.attr("stroke-linejoin", "round");
                c.chars(QStringLiteral("rs1234 Ågjpq"));
                c.end();
            }
        }, "#1f4e79");
    };
    const QImage grown = painted(withHalo("#ffffff")), stroked = painted(withHalo("#fefefe"));
    ASSERT_EQ(grown.size(), stroked.size());
    int64_t white = 0;
    for (int y = 0; y < grown.height(); ++y)
        for (int x = 0; x < grown.width(); ++x)
            white += qGray(grown.pixel(x, y)) > 250;
    EXPECT_GT(white, 5000); // the halos are there
    EXPECT_LT(differing(grown, stroked, 32), white / 25);
    EXPECT_LT(differing(grown, stroked, 128), white / 500);
}

// The halo's pixels are exactly the glyphs' coverage grown by the whole
// disc, each pixel the largest over every offset, whatever shortcuts the
// painter takes: here near the figure's top edge and across the seam of
// the two bands.
TEST(FigureRaster, HaloIsTheLargestOverTheWholeDisc)
{
    ensureGui();
    const auto figure = [](bool labels) {
        return smallScene(300, 80, [labels](SvgCanvas& c) {
            if (!labels)
                return;
            for (const auto& [y, size] : {std::pair{"9", "14"}, std::pair{"52", "30"}}) {
                c.start("text");
                c.attr("x", 20);
                c.attr("y", y);
                c.attr("font-size", size);
                c.attr("fill", "#ffffff");
                c.attr("stroke", "#ffffff");
                c.attr("stroke-width", 3);
                c.attr("stroke-linejoin", "round");
                c.chars(QStringLiteral("rs1234 Ågjpq 6:96925837"));
                c.end();
            }
        }, "#1f4e79");
    };
    QImage want = painted(figure(false));
    const SceneDrawing drawing = drawScene(figure(true));
    int halos = 0;
    for (const SceneStep& step : drawing.steps) {
        if (step.kind != SceneStep::Kind::Text)
            continue;
        ++halos;
        const QTransform t = step.transform * QTransform::fromScale(2, 2);
        const double radius = step.pen.widthF() / 2 * 2; // half the stroke, at twice the size
        const int reach = static_cast<int>(std::ceil(radius)) + 1;
        QImage glyphs(want.width() + 2 * reach, want.height() + 2 * reach, QImage::Format_Alpha8);
        glyphs.fill(0);
        {
            QPainter g(&glyphs);
            g.setRenderHint(QPainter::Antialiasing);
            g.setTransform(t * QTransform::fromTranslate(reach, reach));
            g.fillPath(step.path, QColor(0, 0, 0));
        }
        const QColor c = step.brush.color();
        QImage halo(want.size(), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < want.height(); ++y)
            for (int x = 0; x < want.width(); ++x) {
                double most = 0;
                for (int dy = -reach; dy <= reach; ++dy)
                    for (int dx = -reach; dx <= reach; ++dx) {
                        const double left = radius - std::hypot(dx, dy);
                        const int v = glyphs.constScanLine(y + reach + dy)[x + reach + dx];
                        if (left > -1 && v > 0)
                            most = std::max(most, std::min(1.0, left + v / 255.0));
                    }
                const int a = static_cast<int>(std::lround(most * c.alpha()));
                reinterpret_cast<QRgb*>(halo.scanLine(y))[x] = qPremultiply(qRgba(c.red(), c.green(), c.blue(), a));
            }
        QPainter p(&want);
        p.drawImage(0, 0, halo);
    }
    ASSERT_EQ(halos, 2);
    const QImage got = painted(figure(true));
    EXPECT_EQ(differing(got, want, 0), 0);
    int64_t white = 0;
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            white += qGray(got.pixel(x, y)) > 250;
    EXPECT_GT(white, 3000); // the halos are there
}

// Each text's outlines, built from glyphs laid out once and outlines taken
// once a figure, are element for element those Qt's addText makes, for
// texts said more than once, in several sizes and weights, with fallback
// glyphs (the minus, subscripts) and spaces: equal up to where Qt rounds a
// glyph's place (1/64 of a unit at the layout's 32 times the size, 0.0005
// px), which addText does after adding the origin and the layout before.
TEST(FigureRaster, TextOutlinesAreQtsOwn)
{
    ensureGui();
    const QStringList texts = {QStringLiteral("rs1234 \u00c5gjpq 6:96925837"), QStringLiteral("  observed "),
                               QStringLiteral("\u2212log\u2081\u2080(p) = 7.3"), QStringLiteral("rs1234 \u00c5gjpq 6:96925837")};
    const Scene scene = smallScene(600, 200, [&](SvgCanvas& c) {
        for (int k = 0; k < texts.size(); ++k)
            c.text(10 + k * 3.3, 30 + k * 40, texts[k], 9 + k * 5, "start", nullptr, k % 2 == 1);
    });
    const SceneDrawing drawing = drawScene(scene);
    int compared = 0;
    for (const SceneStep& step : drawing.steps) {
        if (step.kind != SceneStep::Kind::Text)
            continue;
        QPainterPath qt;
        qt.addText(step.origin, step.font, step.text);
        qt = QTransform::fromScale(1.0 / SceneStep::kTextScale, 1.0 / SceneStep::kTextScale).map(qt);
        ASSERT_EQ(step.path.elementCount(), qt.elementCount()) << step.text.toStdString();
        for (int e = 0; e < qt.elementCount(); ++e) {
            ASSERT_EQ(step.path.elementAt(e).type, qt.elementAt(e).type);
            const double place = 1.0 / 64 / SceneStep::kTextScale;
            ASSERT_NEAR(step.path.elementAt(e).x, qt.elementAt(e).x, place) << step.text.toStdString();
            ASSERT_NEAR(step.path.elementAt(e).y, qt.elementAt(e).y, place) << step.text.toStdString();
        }
        ++compared;
    }
    EXPECT_EQ(compared, texts.size());
}

// Every figure the panels draw is understood; what is not is named.
TEST(FigureRaster, PainterNamesWhatItDoesNotDraw)
{
    PlotSettings small{QStringLiteral("t.tsv")};
    small.width = 800;
    small.height = 450;
    EXPECT_TRUE(sceneNotUnderstood(manhattanQqScene(genomeModel(60000, 10), small)).isEmpty());
    EXPECT_TRUE(sceneNotUnderstood(manhattanQqScene(genomeModel(60000, 40), PlotSettings())).isEmpty());
    const Scene odd = smallScene(100, 50, [](SvgCanvas& c) {
        c.start("ellipse");
        c.end();
        c.start("rect");
        c.attr("rx", 3);
        c.attr("width", 5);
        c.attr("height", 5);
        c.end();
        c.start("path");
        c.attr("d", "M1 2A3 3 0 0 1 5 5");
        c.end();
        c.start("g");
        c.attr("fill", "url(#nowhere)");
        c.attr("transform", "skewX(10)");
        c.end();
    });
    const QStringList unknown = sceneNotUnderstood(odd);
    for (const char* what : {"ellipse", "rect@rx=3", "path@d=M1 2A3 3 0 0 1 5 5", "g@fill=url(#nowhere)",
                             "g@transform=skewX(10)"})
        EXPECT_TRUE(unknown.contains(QLatin1String(what))) << what << " in " << unknown.join(u',').toStdString();
    EXPECT_EQ(unknown.size(), 5);
}

TEST(FigureRaster, PngReadsBackExactly)
{
    ensureGui();
    QImage source(41, 37, QImage::Format_RGB32);
    PlotRng rng(5);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x) // flat runs and noise, as in a figure
            source.setPixel(x, y, x < 20 ? qRgb(255, 255, 255) : qRgb(int(rng.next() % 256), y * 6, x * 5));
    for (const QSize size : {QSize(1, 1), QSize(3, 2), QSize(41, 1), QSize(5, 3), QSize(41, 37)}) {
        const QImage image = source.copy(QRect(QPoint(0, 0), size));
        const QImage back = QImage::fromData(encodePng(image), "PNG").convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(back, image) << size.width() << "x" << size.height();
    }
    // A figure's bands: four parts, each larger than the pages mapped ahead
    // of a piece, put together with their sums combined.
    QImage big(1500, 203, QImage::Format_RGB32);
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x)
            big.setPixel(x, y, qRgb(int(rng.next() % 256), int(rng.next() % 256), (x / 7) % 256));
    std::vector<PngPart> parts;
    for (int b = 0; b < 4; ++b)
        parts.push_back(packPngRows(big, big.height() * b / 4, big.height() * (b + 1) / 4, b == 3));
    const QImage back = QImage::fromData(assemblePng(big, parts), "PNG").convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(back, big);
}
