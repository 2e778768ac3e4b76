// Raster figures from a scene's painting steps: the image in bands of rows
// on two threads, and the PNG file packed band by band. The steps must
// have been read (drawScene) on one thread before; the bands touch no font.
#pragma once
#include "plot/scene_painter.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// Bands of rows a figure is painted in, handed to two threads as they come
// free: the figure's parts cost unevenly (the data and labels crowd some
// rows), and four bands share them out better than two.
constexpr int kRasterBands = 4;

// The figure as pixels (pixels: the image's size; the viewBox is stretched
// to it), painted in `bands` bands of rows. A null image, with error set,
// when the image cannot be had.
QImage rasterScene(const SceneDrawing& drawing, QSize pixels, QString* error = nullptr, int bands = kRasterBands);
// The PNG file of the figure at pixels, each band packed by the thread that
// painted it; empty, with error set, when the image cannot be had (or
// empty when packing failed).
QByteArray pngScene(const SceneDrawing& drawing, QSize pixels, int dotsPerMetre, QString* error = nullptr);
