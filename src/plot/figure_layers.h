// A figure's SVG cut into the layers a raster figure is painted in: SVG
// segments, which QtSvg draws, and between them the dot groups (Manhattan
// markers, QQ points), which dot_raster paints directly. QtSvg strokes each
// round-capped dot as curves, which is most of the time of a PNG figure;
// the dots are painted instead from one coverage stamp per run length.
//
// Painting segment 0, dot group 0, segment 1, dot group 1, ... gives the
// document's own stacking order: a segment holds the elements that lie
// between two dot groups in document order, inside the same groups
// (re-opened with their attributes), so every style they inherit is the
// same as in the whole document.
#pragma once
#include <QByteArray>
#include <QColor>
#include <QRectF>

#include <vector>

// One vertical run of a dot group: a dot (from "Mx yv.1") or a stroke from
// y to y + length (from "Mx yVy2"), in the SVG's px; x and y are whole px.
struct DotRun {
    int x = 0, y = 0;
    int length = 0; // 0 for a dot, else y2 - y (> 0)
};

// A group of fill="none" stroke="#rrggbb" stroke-width="W"
// stroke-linecap="round" whose children are path elements of such runs.
struct DotGroup {
    QColor colour;
    double width = 0; // stroke width in px
    std::vector<DotRun> runs;
};

// Dot groups with nothing between them share one layer, painted in order.
// For painting in horizontal bands, each band gets segments of its own:
// those elements whose extent may reach the band (an element of unknown
// extent goes to every band), so no band lays out the others' text.
struct FigureLayers {
    QRectF viewBox; // the root element's
    std::vector<std::vector<QByteArray>> segments; // [band][layer], one layer more than dots
    std::vector<std::vector<DotGroup>> dots;       // [layer]
};

// The layers of svg for `bands` bands of equal height (1 or more);
// false when it does not parse, its root has no viewBox of four numbers, it
// holds a transform outside text, or a dot group holds anything but dot
// runs with whole px coordinates (the caller then draws the whole document
// with QtSvg).
bool splitFigureLayers(const QByteArray& svg, int bands, FigureLayers* layers);
