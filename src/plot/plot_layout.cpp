// Layout arithmetic of the plot panels.
#include "plot/plot_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace plotlayout {

std::vector<Segment> chromosomeSegments(const std::vector<int64_t>& spans, double left, double width, double gap)
{
    std::vector<Segment> out(spans.size());
    if (spans.empty())
        return out;
    const double n = static_cast<double>(spans.size());
    gap = std::min(gap, 0.25 * width / n);
    const double usable = width - gap * (n - 1);
    double total = 0;
    for (int64_t s : spans)
        total += static_cast<double>(std::max<int64_t>(s, 0)) + 1;
    double x = left;
    for (size_t i = 0; i < spans.size(); ++i) {
        out[i].x0 = x;
        out[i].width = usable * ((static_cast<double>(std::max<int64_t>(spans[i], 0)) + 1) / total);
        x += out[i].width + gap;
    }
    return out;
}

double positionX(const Segment& s, int64_t span, int32_t minPosition, double position)
{
    const double slots = static_cast<double>(std::max<int64_t>(span, 0)) + 1;
    double offset = position - minPosition + 0.5;
    offset = std::min(std::max(offset, 0.0), slots);
    return s.x0 + s.width * (offset / slots);
}

Ticks niceTicks(double maxValue, int maxCount)
{
    Ticks t;
    if (maxCount < 1)
        maxCount = 1;
    if (!(maxValue > 0) || !std::isfinite(maxValue)) {
        t.values = {0, 1};
        return t;
    }
    static const double kMantissas[3] = {1, 2, 5};
    double power = std::pow(10.0, std::floor(std::log10(maxValue / maxCount)) - 1);
    for (;;) {
        for (double m : kMantissas) {
            const double step = m * power;
            const double steps = std::ceil(maxValue / step - 1e-9);
            if (steps <= maxCount) {
                t.step = step;
                t.top = steps * step;
                for (int i = 0; i <= static_cast<int>(steps); ++i)
                    t.values.push_back(i * step);
                return t;
            }
        }
        power *= 10;
    }
}

std::string tickText(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    std::string s = text;
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    if (s == "-0")
        s = "0";
    return s;
}


std::string gqsColour(double gqs)
{
    if (!(gqs >= 1)) // also NaN
        gqs = 1;
    if (gqs > 5)
        gqs = 5;
    const int i = std::min(static_cast<int>(gqs - 1), 3);
    const double f = gqs - 1 - i;
    unsigned a[3], b[3];
    std::sscanf(kGqsAnchors[i] + 1, "%2x%2x%2x", &a[0], &a[1], &a[2]);
    std::sscanf(kGqsAnchors[i + 1] + 1, "%2x%2x%2x", &b[0], &b[1], &b[2]);
    char text[8];
    unsigned c[3];
    for (int k = 0; k < 3; ++k)
        c[k] = static_cast<unsigned>(std::lround(a[k] + (double(b[k]) - a[k]) * f));
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c[0], c[1], c[2]);
    return text;
}

std::string gqsTint(double gqs, double share)
{
    unsigned c[3];
    std::sscanf(gqsColour(gqs).c_str() + 1, "%2x%2x%2x", &c[0], &c[1], &c[2]);
    char text[8];
    for (unsigned& v : c)
        v = static_cast<unsigned>(std::lround(255 + share * (double(v) - 255)));
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c[0], c[1], c[2]);
    return text;
}

PixelSet::PixelSet(int width, int height)
    : width_(std::max(width, 1)), height_(std::max(height, 1)), words_((height_ + 63) / 64),
      bits_(size_t(width_) * words_, 0)
{
}

void PixelSet::set(int x, int y)
{
    x = std::min(std::max(x, 0), width_ - 1);
    y = std::min(std::max(y, 0), height_ - 1);
    bits_[size_t(x) * words_ + (y >> 6)] |= uint64_t(1) << (y & 63);
}

bool PixelSet::get(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return false;
    return (bits_[size_t(x) * words_ + (y >> 6)] >> (y & 63)) & 1;
}

int64_t PixelSet::count() const
{
    int64_t n = 0;
    for (uint64_t w : bits_)
        n += __builtin_popcountll(w);
    return n;
}

int PixelSet::nextRow(int x, int y, bool set) const
{
    if (y >= height_)
        return height_;
    const uint64_t* column = &bits_[size_t(x) * words_];
    int w = y >> 6;
    uint64_t bits = (set ? column[w] : ~column[w]) & (~uint64_t(0) << (y & 63));
    while (bits == 0) {
        if (++w == words_)
            return height_;
        bits = set ? column[w] : ~column[w];
    }
    return std::min(w * 64 + __builtin_ctzll(bits), height_);
}

int64_t PixelSet::appendPath(std::string& d, int dx, int dy) const
{
    int64_t commands = 0;
    char text[48];
    for (int x = 0; x < width_; ++x) {
        for (int y = nextRow(x, 0, true); y < height_; y = nextRow(x, y, true)) {
            const int end = nextRow(x, y, false) - 1; // last row of the run
            if (end == y)
                std::snprintf(text, sizeof text, "M%d %dv.1", x + dx, y + dy);
            else
                std::snprintf(text, sizeof text, "M%d %dV%d", x + dx, y + dy, end + dy);
            d += text;
            ++commands;
            y = end + 1;
        }
    }
    return commands;
}

PixelCells::PixelCells(const PixelSet& pixels)
    : cols_((pixels.width() + kCell - 1) / kCell), rows_((pixels.height() + kCell - 1) / kCell),
      sums_(size_t(cols_ + 1) * size_t(rows_ + 1), 0)
{
    for (int cx = 0; cx < cols_; ++cx)
        for (int cy = 0; cy < rows_; ++cy) {
            int any = 0;
            for (int x = cx * kCell; x < cx * kCell + kCell && !any; ++x)
                for (int y = cy * kCell; y < cy * kCell + kCell && !any; ++y)
                    any = pixels.get(x, y);
            at(cx + 1, cy + 1) = any + at(cx, cy + 1) + at(cx + 1, cy) - at(cx, cy);
        }
}

bool PixelCells::free(int x0, int y0, int x1, int y1) const
{
    if (x1 < 0 || y1 < 0)
        return true;
    const int ca = std::max(x0, 0) / kCell, cb = std::min(x1 / kCell, cols_ - 1);
    const int ra = std::max(y0, 0) / kCell, rb = std::min(y1 / kCell, rows_ - 1);
    if (ca > cb || ra > rb)
        return true;
    return at(cb + 1, rb + 1) - at(ca, rb + 1) - at(cb + 1, ra) + at(ca, ra) == 0;
}

} // namespace plotlayout
