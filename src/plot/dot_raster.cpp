// Dot groups painted from the coverage of a dot and a short run: a
// coverage mask over the group's extent, one blend.
#include "plot/dot_raster.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using Stamp = DotPainter::Stamp;

// The coverage of a stroke from (0, 0) to (0, length) in px, as QPainter
// strokes it. A small shape: the rasteriser hands it over in few spans, so
// Qt does not share the filling out among threads.
Stamp strokeStamp(double length, double penWidth, int scale)
{
    const int pad = static_cast<int>(std::ceil(penWidth * scale / 2)) + 1;
    Stamp s;
    s.left = -pad;
    s.top = -pad;
    s.width = 2 * pad;
    s.height = 2 * pad + static_cast<int>(std::ceil(length * scale));
    QImage mask(s.width, s.height, QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(pad, pad);
        p.scale(scale, scale);
        // As the scene painter sets up an SVG stroke: miter joins with limit 4.
        QPen pen(QColor(0, 0, 0), penWidth, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
        pen.setMiterLimit(4);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        QPainterPath path;
        path.moveTo(0, 0);
        path.lineTo(0, length);
        p.drawPath(path);
    }
    s.coverage.resize(static_cast<size_t>(s.width) * static_cast<size_t>(s.height));
    for (int y = 0; y < s.height; ++y)
        std::copy_n(mask.constScanLine(y), s.width, s.coverage.begin() + static_cast<ptrdiff_t>(y) * s.width);
    return s;
}

// src is opaque, so the same sum serves opaque and premultiplied pixels.
inline uint32_t blend(uint32_t dst, uint32_t src, uint32_t a)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t d = (dst >> shift) & 0xff, c = (src >> shift) & 0xff;
        out |= ((c * a + d * (255 - a) + 127) / 255) << shift;
    }
    return out;
}

// A whole non-negative number of px, as the figure writers print it.
bool wholeNumber(const char*& p, const char* end, int* value)
{
    if (p == end || *p < '0' || *p > '9')
        return false;
    long v = 0;
    while (p != end && *p >= '0' && *p <= '9' && v < 1000000)
        v = v * 10 + (*p++ - '0');
    *value = static_cast<int>(v);
    return v < 1000000;
}

} // namespace

bool parseDotRuns(const std::string& d, std::vector<DotRun>* runs)
{
    const char* p = d.data();
    const char* end = p + d.size();
    while (p != end) {
        DotRun r;
        if (*p++ != 'M' || !wholeNumber(p, end, &r.x) || p == end || *p++ != ' ' || !wholeNumber(p, end, &r.y))
            return false;
        if (end - p >= 3 && p[0] == 'v' && p[1] == '.' && p[2] == '1') {
            p += 3;
        } else {
            int last = 0;
            if (p == end || *p++ != 'V' || !wholeNumber(p, end, &last) || last <= r.y)
                return false;
            r.length = last - r.y;
        }
        runs->push_back(r);
    }
    return true;
}

const DotPainter::Shapes& DotPainter::shapes(double penWidth)
{
    auto it = shapes_.find(penWidth);
    if (it == shapes_.end()) {
        Shapes s;
        s.dot = strokeStamp(0.1, penWidth, scale_); // "v.1"
        s.run = strokeStamp(kRunPx, penWidth, scale_);
        s.runRows = kRunPx * scale_;
        it = shapes_.emplace(penWidth, std::move(s)).first;
    }
    return it->second;
}

namespace {

// Coverage over device pixels [x0, x0 + width) x [y0, y0 + height), row by
// row; add puts one row of a stamp at device column sx, row sy, leaving out
// what falls outside.
struct Mask {
    uint8_t* cover;
    int x0, y0, width, height;

    void add(const uint8_t* from, int columns, int sx, int sy)
    {
        if (sy < y0 || sy >= y0 + height)
            return;
        const int a = std::max(sx, x0), b = std::min(sx + columns, x0 + width);
        uint8_t* to = cover + static_cast<ptrdiff_t>(sy - y0) * width;
        for (int x = a; x < b; ++x)
            to[x - x0] = static_cast<uint8_t>(std::min(255, to[x - x0] + from[x - sx]));
    }
};

} // namespace

void DotPainter::paint(QImage& image, const DotGroup& group)
{
    if (group.runs.empty() || scale_ < 1)
        return;
    const Shapes& sh = shapes(group.width);
    const Stamp& dot = sh.dot;
    const Stamp& run = sh.run;
    const int pad = -run.top, capRows = run.height - pad - sh.runRows; // rows of the bottom cap

    // The mask covers the group's extent, cut to the image.
    int x0 = image.width(), y0 = image.height(), x1 = 0, y1 = 0;
    for (const DotRun& r : group.runs) {
        const int sx = origin_.x() + r.x * scale_, sy = origin_.y() + r.y * scale_;
        const int rows = r.length > 0 ? pad + r.length * scale_ + capRows : dot.height + dot.top;
        x0 = std::min(x0, sx + run.left);
        y0 = std::min(y0, sy - pad);
        x1 = std::max(x1, sx + run.left + run.width);
        y1 = std::max(y1, sy + rows);
    }
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, image.width());
    y1 = std::min(y1, image.height());
    if (x0 >= x1 || y0 >= y1)
        return;
    // The painter's one mask buffer, cleared over the extent: a group
    // spans a chromosome's columns over the band's rows, a megabyte or so.
    const size_t area = static_cast<size_t>(x1 - x0) * static_cast<size_t>(y1 - y0);
    if (cover_.size() < area)
        cover_.assign(area, 0);
    else
        std::fill_n(cover_.begin(), area, uint8_t(0));
    Mask mask{cover_.data(), x0, y0, x1 - x0, y1 - y0};
    for (const DotRun& r : group.runs) {
        const int sx = origin_.x() + r.x * scale_, sy = origin_.y() + r.y * scale_;
        if (r.length == 0) {
            for (int y = 0; y < dot.height; ++y)
                mask.add(dot.row(y), dot.width, sx + dot.left, sy + dot.top + y);
            continue;
        }
        const int straight = r.length * scale_;
        for (int y = 0; y < pad; ++y) // the top cap
            mask.add(run.row(y), run.width, sx + run.left, sy - pad + y);
        for (int y = 0; y < straight; ++y)
            mask.add(run.row(pad), run.width, sx + run.left, sy + y);
        for (int y = 0; y < capRows; ++y) // the bottom cap
            mask.add(run.row(pad + sh.runRows + y), run.width, sx + run.left, sy + straight + y);
    }

    const uint32_t colour = group.colour.rgb() | 0xff000000u;
    const uint32_t alpha = static_cast<uint32_t>(std::clamp(group.colour.alpha(), 0, 255));
    for (int y = y0; y < y1; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y)) + x0;
        const uint8_t* cover = mask.cover + static_cast<ptrdiff_t>(y - y0) * mask.width;
        for (int x = 0; x < mask.width; ++x) {
            // Most of a group's extent is bare: eight bare pixels at a time.
            uint64_t eight = 0;
            if (x + 8 <= mask.width && (std::memcpy(&eight, cover + x, 8), eight == 0)) {
                x += 7;
                continue;
            }
            const uint32_t a = alpha == 255 ? cover[x] : (cover[x] * alpha + 127) / 255;
            if (a == 255)
                row[x] = colour;
            else if (a > 0)
                row[x] = blend(row[x], colour, a);
        }
    }
}
