// Rectangles written straight into the pixels against Qt's antialiased path
// filler, over thousands of generated rectangles: whole and fractional
// edges, thin and wide, opaque and translucent, partly outside the image;
// and which paths are taken for rectangles.
#include "figure_app.h"
#include "plot/rect_fill.h"
#include "plot_test_tables.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <algorithm>

TEST(RectFill, MatchesQtsFillerWithinAFewLevels)
{
    ensureGui();
    PlotRng rng(23);
    QImage exact(64, 48, QImage::Format_RGB32), painted(64, 48, QImage::Format_RGB32);
    int worst = 0;
    int64_t differing = 0;
    for (int k = 0; k < 3000; ++k) {
        const auto coordinate = [&](double span) {
            const double v = rng.uniform() * span - 8;
            return k % 3 == 0 ? std::round(v) : k % 3 == 1 ? std::round(v * 2) / 2 : v;
        };
        const double x = coordinate(72), y = coordinate(60);
        const QRectF area(x, y, k % 5 == 0 ? rng.uniform() * 2 : rng.uniform() * 30, rng.uniform() * 40);
        const QColor colour(static_cast<int>(rng.next() % 256), static_cast<int>(rng.next() % 256),
                            static_cast<int>(rng.next() % 256), k % 4 == 0 ? static_cast<int>(rng.next() % 256) : 255);
        const QRgb ground = qRgb(static_cast<int>(rng.next() % 256), 200, 30);
        exact.fill(ground);
        painted.fill(ground);
        fillRectsExactly(exact, {{area, colour}});
        {
            QPainter p(&painted);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            QPainterPath path;
            path.addRect(area);
            p.drawPath(path);
        }
        for (int py = 0; py < exact.height(); ++py)
            for (int px = 0; px < exact.width(); ++px) {
                const QRgb a = exact.pixel(px, py), b = painted.pixel(px, py);
                const int d = std::max({qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))});
                worst = std::max(worst, d);
                differing += d > 1;
            }
    }
    // Qt's coverage is quantized: the exact area differs from it by a few
    // levels at some edge pixels, fewer than one in a thousand.
    EXPECT_LE(worst, 4);
    EXPECT_LT(differing, int64_t(3000) * 64 * 48 / 1000);
}

// Filled together row by row, overlapping rectangles give each pixel what
// filling them one after another gives.
TEST(RectFill, TogetherAsOneAfterAnother)
{
    PlotRng rng(29);
    for (int k = 0; k < 200; ++k) {
        std::vector<ColourRect> rects;
        for (int i = 0; i < 12; ++i)
            rects.push_back({QRectF(rng.uniform() * 60 - 4, rng.uniform() * 40 - 4, rng.uniform() * 9, rng.uniform() * 30),
                             QColor(static_cast<int>(rng.next() % 256), 90, static_cast<int>(rng.next() % 256),
                                    i % 3 ? 255 : static_cast<int>(rng.next() % 256))});
        QImage together(64, 48, QImage::Format_RGB32);
        together.fill(Qt::white);
        QImage apart = together;
        fillRectsExactly(together, rects);
        for (const ColourRect& r : rects)
            fillRectsExactly(apart, {r});
        ASSERT_EQ(together, apart) << k;
    }
}

TEST(RectFill, OnlyAxisAlignedRectanglesAreTaken)
{
    QRectF r;
    QPainterPath rect;
    rect.addRect(QRectF(3.5, 2, -2, 7)); // negative width: normalized
    ASSERT_TRUE(pathRect(rect, &r));
    EXPECT_EQ(r, QRectF(1.5, 2, 2, 7));
    QPainterPath open;
    open.moveTo(0, 0);
    open.lineTo(4, 0);
    open.lineTo(4, 4);
    open.lineTo(0, 4);
    open.lineTo(0, 1); // not back at the start
    EXPECT_FALSE(pathRect(open, &r));
    QPainterPath diamond;
    diamond.moveTo(2, 0);
    diamond.lineTo(4, 2);
    diamond.lineTo(2, 4);
    diamond.lineTo(0, 2);
    diamond.lineTo(2, 0);
    EXPECT_FALSE(pathRect(diamond, &r));
    QPainterPath round;
    round.addRoundedRect(QRectF(0, 0, 10, 10), 2, 2);
    EXPECT_FALSE(pathRect(round, &r));
    QPainterPath ellipse;
    ellipse.addEllipse(QRectF(0, 0, 10, 10));
    EXPECT_FALSE(pathRect(ellipse, &r));
}
