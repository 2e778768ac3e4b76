// Exact-area fills of axis-aligned rectangles, row by row.
#include "plot/rect_fill.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

bool pathRect(const QPainterPath& path, QRectF* rect)
{
    if (path.elementCount() != 5 || !path.elementAt(0).isMoveTo())
        return false;
    QPointF p[5];
    for (int i = 0; i < 5; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (i > 0 && !e.isLineTo())
            return false;
        p[i] = QPointF(e.x, e.y);
    }
    if (p[4] != p[0])
        return false;
    // Sides alternate between horizontal and vertical, starting either way.
    const bool horizontalFirst = p[0].y() == p[1].y();
    for (int i = 0; i < 4; ++i) {
        const bool horizontal = (i % 2 == 0) == horizontalFirst;
        if (horizontal ? p[i].y() != p[i + 1].y() : p[i].x() != p[i + 1].x())
            return false;
    }
    *rect = QRectF(p[0], p[2]).normalized();
    return true;
}

namespace {

// The share of [at, at + 1) inside [from, to).
double overlap(int at, double from, double to)
{
    return std::max(0.0, std::min(to, at + 1.0) - std::max(from, double(at)));
}

// One rectangle cut to the image: its pixel rows and columns, the share of
// each column it covers, and the coverage of its full rows, 0..255.
struct Span {
    double top = 0, bottom = 0, alpha = 1;
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    std::vector<double> across;
    std::vector<uint8_t> full;
    int solidFrom = 0, solidTo = 0; // the columns a full row covers wholly

    uint32_t r = 0, g = 0, b = 0;
    QRgb solid = 0;
};

inline QRgb mixed(const Span& s, uint32_t c, QRgb d)
{
    const auto mix = [c](uint32_t src, uint32_t dst) { return (src * c + dst * (255 - c) + 127) / 255; };
    return qRgb(static_cast<int>(mix(s.r, static_cast<uint32_t>(qRed(d)))),
                static_cast<int>(mix(s.g, static_cast<uint32_t>(qGreen(d)))),
                static_cast<int>(mix(s.b, static_cast<uint32_t>(qBlue(d)))));
}

} // namespace

void fillRectsExactly(QImage& image, const std::vector<ColourRect>& rects)
{
    std::vector<Span> spans;
    int rowFrom = image.height(), rowTo = 0;
    for (const ColourRect& cr : rects) {
        const QRectF& a = cr.area;
        const double left = std::max(0.0, a.left()), right = std::min(double(image.width()), a.right());
        const double top = std::max(0.0, a.top()), bottom = std::min(double(image.height()), a.bottom());
        if (!(left < right && top < bottom) || cr.colour.alpha() == 0)
            continue;
        Span s;
        s.top = top;
        s.bottom = bottom;
        s.alpha = cr.colour.alphaF();
        s.x0 = static_cast<int>(std::floor(left));
        s.x1 = static_cast<int>(std::ceil(right));
        s.y0 = static_cast<int>(std::floor(top));
        s.y1 = static_cast<int>(std::ceil(bottom));
        for (int x = s.x0; x < s.x1; ++x) {
            s.across.push_back(overlap(x, left, right));
            s.full.push_back(static_cast<uint8_t>(std::lround(s.across.back() * s.alpha * 255)));
        }
        // Only the first and last columns can be partly covered.
        s.solidFrom = s.x0;
        s.solidTo = s.x1;
        while (s.solidFrom < s.solidTo && s.full[static_cast<size_t>(s.solidFrom - s.x0)] != 255)
            ++s.solidFrom;
        while (s.solidTo > s.solidFrom && s.full[static_cast<size_t>(s.solidTo - 1 - s.x0)] != 255)
            --s.solidTo;
        s.r = static_cast<uint32_t>(cr.colour.red());
        s.g = static_cast<uint32_t>(cr.colour.green());
        s.b = static_cast<uint32_t>(cr.colour.blue());
        s.solid = qRgb(cr.colour.red(), cr.colour.green(), cr.colour.blue());
        rowFrom = std::min(rowFrom, s.y0);
        rowTo = std::max(rowTo, s.y1);
        spans.push_back(std::move(s));
    }
    std::vector<uint8_t> partial;
    for (int y = rowFrom; y < rowTo; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (const Span& s : spans) {
            if (y < s.y0 || y >= s.y1)
                continue;
            const double down = overlap(y, s.top, s.bottom);
            const auto blend = [&](int from, int to, const uint8_t* c) {
                for (int x = from; x < to; ++x) {
                    const uint32_t k = c[x - s.x0];
                    if (k == 255)
                        line[x] = s.solid;
                    else if (k > 0)
                        line[x] = mixed(s, k, line[x]);
                }
            };
            if (down >= 1) { // a full row: its edges blended, the rest one colour
                blend(s.x0, s.solidFrom, s.full.data());
                std::fill(line + s.solidFrom, line + s.solidTo, s.solid);
                blend(s.solidTo, s.x1, s.full.data());
                continue;
            }
            partial.resize(s.across.size());
            for (size_t i = 0; i < partial.size(); ++i)
                partial[i] = static_cast<uint8_t>(std::lround(s.across[i] * down * s.alpha * 255));
            blend(s.x0, s.x1, partial.data());
        }
    }
}
