// Layout arithmetic of the plot panels: chromosome offsets along the x axis,
// axis ticks, the peak colour scale and the thinning of markers to pixels.
// Plain double arithmetic in a fixed order, so the same model always gives
// the same drawing.
#pragma once
#include "base/digit_groups.h"
#include <cstdint>
#include <string>
#include <vector>

namespace plotlayout {

// A chromosome's place on the x axis, in pixels.
struct Segment {
    double x0 = 0, width = 0;
};

// Chromosomes side by side from left over width pixels, in the given order,
// each as wide as its span of positions + 1 (so that a chromosome of one
// position still has a place), gap pixels between neighbours; the gap
// narrows to a quarter of the average share when there are many chromosomes.
std::vector<Segment> chromosomeSegments(const std::vector<int64_t>& spans, double left, double width, double gap);

// x of a position in a chromosome of minPosition .. minPosition + span: the
// middle of its 1 bp slot.
double positionX(const Segment& s, int64_t span, int32_t minPosition, double position);

// Ticks of an axis from 0: a step of 1, 2 or 5 times a power of ten, the
// smallest that covers maxValue in at most maxCount steps, and the top of the
// axis (the first multiple of the step at or above maxValue; one step when
// maxValue <= 0 or is not finite).
struct Ticks {
    double step = 1;
    double top = 1;
    std::vector<double> values; // 0, step, ..., top
};
Ticks niceTicks(double maxValue, int maxCount);
// A tick value as text: no trailing zeros, no exponent.
std::string tickText(double value);

// Colour of a peak band for a quality score from 1 to 5 (clamped), as
// #rrggbb, interpolated between five anchors from pale orange to dark red.
std::string gqsColour(double gqs);
// That colour mixed with white: share of it, 1 - share of white, as it
// shows at opacity share over a white ground.
std::string gqsTint(double gqs, double share);
// The anchors of that scale at 1, 2, 3, 4, 5.
inline constexpr char kGqsAnchors[5][8] = {"#fed976", "#feb24c", "#fd8d3c", "#e31a1c", "#800026"};

// Occupied pixels of a plot area: markers that fall on the same pixel are
// drawn once. Pixels outside the area are clamped onto its edge.
class PixelSet {
public:
    PixelSet(int width, int height);
    void set(int x, int y);
    bool get(int x, int y) const;
    int width() const { return width_; }
    int height() const { return height_; }
    int64_t count() const;
    // Appends the set pixels, offset by (dx, dy), as SVG path commands,
    // column by column, top to bottom: "Mx yv.1" for a lone pixel (not
    // "v0": Qt's renderer drops zero-length strokes) and
    // "Mx yVy2" for a vertical run (drawn with round caps, each is a dot or a
    // stroke of dots). Returns the number of commands.
    int64_t appendPath(std::string& d, int dx, int dy) const;

private:
    // The first row at or below y in column x that is set (or clear), or
    // height() when there is none.
    int nextRow(int x, int y, bool set) const;

    int width_, height_, words_;
    std::vector<uint64_t> bits_; // per column, height bits
};

// Which 4 px cells of a PixelSet hold a set pixel, as prefix sums over the
// cells: whether a rectangle is free of set pixels in O(1), erring only
// towards "not free" (a rectangle is widened to the cells it touches).
class PixelCells {
public:
    explicit PixelCells(const PixelSet& pixels);
    // True when no set pixel lies in x0..x1, y0..y1 (inclusive; outside the
    // set counts as free).
    bool free(int x0, int y0, int x1, int y1) const;

private:
    static constexpr int kCell = 4;
    int& at(int c, int r) { return sums_[size_t(c) * size_t(rows_ + 1) + size_t(r)]; }
    int at(int c, int r) const { return sums_[size_t(c) * size_t(rows_ + 1) + size_t(r)]; }
    int cols_, rows_;
    std::vector<int> sums_; // (cols_ + 1) x (rows_ + 1), a zero row and column first
};

} // namespace plotlayout
