// Dot groups painted from stamps: one painter paints many groups one after
// another (as a band does), so nothing of one group's coverage may reach
// the next, and every dot and run shows, wherever it falls in the bare
// stretches the blend skips.
#include "figure_app.h"
#include "plot/dot_raster.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

DotGroup group(QColor colour, double width, std::vector<DotRun> runs)
{
    DotGroup g;
    g.colour = colour;
    g.width = width;
    g.runs = std::move(runs);
    return g;
}

} // namespace

TEST(DotRaster, GroupsPaintedInTurnAsEachAlone)
{
    ensureGui();
    std::vector<DotRun> sparse;
    for (int x = 3; x < 290; x += 37) // odd columns, the last near the edge
        sparse.push_back({x, 5 + x % 60, x % 3 == 0 ? 0 : 4 + x % 9});
    sparse.push_back({297, 70, 0});
    const std::vector<DotGroup> groups = {
        group(QColor(20, 60, 200), 1.2, sparse),
        group(QColor(200, 30, 30), 2, {{10, 10, 0}, {11, 10, 0}, {12, 12, 6}}),
        group(QColor(0, 150, 0, 128), 1.5, {{100, 40, 30}, {100, 50, 0}, {200, 2, 0}}),
        group(QColor(90, 90, 90), 1.2, {{5, 90, 0}})};
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
        QImage together(600, 200, format), apart(600, 200, format), blank(600, 200, format);
        together.fill(Qt::white);
        apart.fill(Qt::white);
        blank.fill(Qt::white);
        DotPainter one(2, QPoint(1, 3));
        for (const DotGroup& g : groups) {
            one.paint(together, g);
            DotPainter fresh(2, QPoint(1, 3));
            fresh.paint(apart, g);
        }
        EXPECT_EQ(together, apart) << format;
        // Every run's first pixel is painted.
        for (const DotGroup& g : groups)
            for (const DotRun& r : g.runs)
                EXPECT_NE(together.pixel(1 + 2 * r.x, 3 + 2 * r.y), blank.pixel(0, 0)) << r.x << "," << r.y;
    }
}
