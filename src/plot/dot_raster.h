// Painting a dot group (a scene's Dots node) onto a raster figure without
// stroking each dot. QPainter strokes two shapes once per pen width, with
// the pen and transform the scene painter uses for the group's stroke: a
// dot, and a short run. A run of any length is that short run's top cap, its straight
// middle row repeated, and its bottom cap: at a whole scale and whole px
// coordinates every run starts on a whole device pixel, and every row of
// a run's straight part has the same coverage. The coverage of the group's
// runs is summed into one mask (clamped to full, as the rasteriser's
// non-zero fill of the group's path sums it) and the colour is blended
// through the mask once. The result differs from stroking the group's path
// only where runs overlap, where a sum of rounded coverages can differ from the
// rasteriser's by a little.
#pragma once
#include "base/fresh_pages.h"

#include <QColor>
#include <QImage>
#include <QPoint>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// One vertical run of a dot group: a dot (from "Mx yv.1") or a stroke from
// y to y + length (from "Mx yVy2"), in the figure's px; x and y are whole px.
struct DotRun {
    int x = 0, y = 0;
    int length = 0; // 0 for a dot, else y2 - y (> 0)
};

// A dot group: runs stroked with round caps in one colour, whose alpha is
// the group's stroke opacity (the coverage is scaled by it).
struct DotGroup {
    QColor colour;
    double width = 0; // stroke width in px
    std::vector<DotRun> runs;
};

// The runs of path data made only of "Mx yv.1" and "Mx yVy2" (y2 > y)
// commands with whole non-negative numbers, as PixelSet::appendPath writes
// them; false for anything else.
bool parseDotRuns(const std::string& d, std::vector<DotRun>* runs);

// Paints dot groups onto images of Format_RGB32 or
// Format_ARGB32_Premultiplied where the figure's px
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
    std::vector<uint8_t, FreshPagesAllocator<uint8_t>> cover_; // a group's coverage, reused
};
