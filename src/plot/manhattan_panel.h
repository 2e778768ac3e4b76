// The Manhattan panel's drawing state, shared by its two source files:
// manhattan_panel.cpp (axes, markers, lines) and manhattan_marks.cpp (peak
// bands and ticks, locus marks, labels). Internal to the plot library.
#pragma once
#include "plot/plot_canvas.h"
#include "plot/plot_layout.h"
#include "plot/y_axis.h"

#include <string>
#include <unordered_map>
#include <vector>

class ManhattanPanel {
public:
    struct Box {
        double x0, y0, x1, y1;
        bool overlaps(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
    };

    ManhattanPanel(SvgCanvas& c, const PlotModel& m, const PlotSettings& s, const PlotFrame& f, PlotDrawStats& stats);
    void draw();

private:
    void header();
    void titleLine();
    void factsLine(const QString& facts);
    void axes();
    void chromosomeLabels();
    void markers();
    void chromosomeDots(size_t i, const std::vector<int>& cellY, std::string& d);
    void lines();
    void peakMarks();
    void locusMarks();
    void labels();
    // The values of the strongest extreme markers in a broken axis's band,
    // clear of taken.
    void bandValues(std::vector<Box> taken);
    void haloText(double x, double y, const QString& text, double fontSize);
    // True when no marker dot drawn so far reaches into b.
    bool clearOfDots(const Box& b) const;

    double yPix(double v) const { return yAxis_.y(v); }
    // The largest value on the axis.
    double axisTop() const { return yAxis_.broken ? yAxis_.bandHigh : yAxis_.low.top; }
    void yTick(double v);
    void axisBreak();
    // The slot of a chromosome name: its own, else the "other" slot when
    // there is one, else -1.
    int slotOf(const std::string& name) const;
    // x of a position on chromosome slot i.
    double xOf(int i, double position) const;
    // Left and right x of a peak's range, at least 3 px apart.
    double bandX(const PlotPeak& p, int chrom, double* x1) const;
    void markAt(const PlotLocus& l, int slot, double* x, double* y) const;
    // The room of locus l's mark at (x, y) (markAt): as drawn, with its
    // stroke, or the shape alone, a little smaller.
    Box markBox(const PlotLocus& l, double x, double y, bool drawn) const;

    SvgCanvas& c_;
    const PlotModel& m_;
    const PlotSettings& s_;
    const PlotFrame& f_;
    PlotDrawStats& stats_;
    std::vector<int> axisOrder_;                  // slots in axis order
    std::vector<plotlayout::Segment> segments_;   // per slot
    std::unordered_map<std::string, int> chromIndex_;
    int otherSlot_ = -1;
    YAxis yAxis_;
    // Every marker dot's pixel, over the plot area and a margin of
    // kDotsMargin px; pixel (x, y) of the figure is (x - dotsX_, y - dotsY_).
    static constexpr int kDotsMargin = 4;
    plotlayout::PixelSet dots_;
    int dotsX_ = 0, dotsY_ = 0;
};
