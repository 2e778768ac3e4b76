// Rectangles filled in one colour each, written straight into an RGB32
// image with each pixel's exact area coverage. A figure's peak bands are
// hundreds of rectangles a few pixels wide and a panel tall: filled one at
// a time, each touches a new cache line in every row it crosses; filled
// together row by row, each row's memory is visited once.
#pragma once
#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRectF>

#include <vector>

// The rectangle a path outlines, when it is one closed axis-aligned
// rectangle (as QPainterPath::addRect makes it).
bool pathRect(const QPainterPath& path, QRectF* rect);

struct ColourRect {
    QRectF area; // in device pixels
    QColor colour;
};

// Fills the rectangles of image (Format_RGB32) in order: a pixel is covered
// by the share of its area inside a rectangle, and takes its colour at that
// share of the colour's alpha. Each pixel sees the rectangles in the order
// given, so the result is that of filling them one after another.
void fillRectsExactly(QImage& image, const std::vector<ColourRect>& rects);
