// The text of a raster figure, painted once before the bands: each text
// step filled with one solid colour, and each label halo, becomes an image
// at the figure's device pixels, which every band that shows it draws. A
// band then draws its text as images instead of rasterizing glyph outlines,
// a label that crosses the seam is rasterized once, and the text of the
// whole figure is shared out over the threads step by step, whichever band
// it falls in.
#pragma once
#include "plot/scene_painter.h"

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QTransform>

#include <vector>

class ThreadPool;

// One step's image (Format_ARGB32_Premultiplied) and the device pixel of
// its top-left corner in the whole figure. Steps not taken (not text, or
// painted otherwise than in one colour) are painted as they are; a taken
// step with a null image shows nothing.
struct StepImage {
    bool taken = false;
    QImage image;
    QPoint at;
};

// The viewBox of drawing onto the device pixels of a figure of `pixels`.
QTransform deviceTransform(const SceneDrawing& drawing, QSize pixels);

// A halo under a label: text filled and stroked in one colour, solid with
// round joins, not rotated (painted as its glyphs' coverage grown by a
// disc, the shape the stroke makes).
bool isHalo(const SceneStep& step);

// The images of drawing's text steps, one per step (null for the others),
// at `pixels` for the whole figure, made on the pool's threads (and the
// caller's). copies holds a copy of the steps (bandCopy) for each of the
// pool's workers, whose painter paths they paint.
std::vector<StepImage> textImages(const SceneDrawing& drawing, QSize pixels, ThreadPool& pool,
                                  const std::vector<SceneDrawing>& copies);
