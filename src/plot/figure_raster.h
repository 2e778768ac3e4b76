// Raster figures from a scene's painting steps: the image in bands of rows
// on two threads, and the PNG file packed band by band. The steps are read
// (drawScene) on one thread, the caller's; the painting touches no font.
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
// The PNG file of scene at pixels: the scene read into its steps on this
// thread (text laid out with Qt's fonts) while a worker paints each text as
// it is read, then the bands, each packed by the thread that painted it.
// Empty, with error set, when the image cannot be had or the scene has no
// drawing area (or empty when packing failed).
QByteArray pngOfScene(const Scene& scene, QSize pixels, int dotsPerMetre, QString* error = nullptr);
