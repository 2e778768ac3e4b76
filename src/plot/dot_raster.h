// Painting a dot group (figure_layers.h) onto a raster figure without
// stroking each dot. QPainter strokes two shapes once per pen width, with
// the pen and transform QtSvg uses for an SVG stroke: a dot, and a short
// run. A run of any length is that short run's top cap, its straight
// middle row repeated, and its bottom cap: at a whole scale and whole px
// coordinates every run starts on a whole device pixel, and every row of
// a run's straight part has the same coverage. The coverage of the group's
// runs is summed into one mask (clamped to full, as the rasteriser's
// non-zero fill of the group's path sums it) and the colour is blended
// through the mask once. The result differs from QtSvg's only where runs
// overlap, where a sum of rounded coverages can differ from the
// rasteriser's by a little.
#pragma once
#include "plot/figure_layers.h"

#include <QImage>
#include <QPoint>

#include <cstdint>
#include <map>
#include <vector>

// Paints dot groups onto images of Format_RGB32 where the figure's px
// (x, y) falls on device pixel origin + scale * (x, y); keeps the shapes
// for the next group.
class DotPainter {
public:
    DotPainter(int scale, QPoint origin) : scale_(scale), origin_(origin) {}
    void paint(QImage& image, const DotGroup& group);

    // Coverage on device pixels from (left, top) relative to a run's start.
    struct Stamp {
        int left = 0, top = 0, width = 0, height = 0;
        std::vector<uint8_t> coverage; // row by row
        const uint8_t* row(int y) const { return coverage.data() + static_cast<ptrdiff_t>(y) * width; }
    };
    struct Shapes {
        Stamp dot;
        Stamp run;       // a run of kRunPx px
        int runRows = 0; // its straight part, in device rows
    };
    static constexpr int kRunPx = 2;

private:
    const Shapes& shapes(double penWidth);

    int scale_;
    QPoint origin_;
    std::map<double, Shapes> shapes_;
};
