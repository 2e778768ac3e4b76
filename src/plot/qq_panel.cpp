// The QQ panel: observed against expected -log10 p of every valid p-value,
// from the streaming histogram, thinned to pixels, with the diagonal and
// lambdaGC.
#include "plot/plot_canvas.h"
#include "plot/plot_layout.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

using namespace plotlayout;
using namespace plotstyle;

namespace {

// Below this largest p-value, a table is a filtered extract.
constexpr double kFilteredBelow = 0.5;

class QqPanel {
public:
    QqPanel(SvgCanvas& c, const PlotModel& m, const PlotFrame& f, PlotDrawStats& stats);
    void draw();

private:
    void axes();
    PixelSet points();
    // The lambda line and the note wrapped at some width: its widest line,
    // and the drop from the lambda line's baseline to the note's last.
    // Its type is scale times the full size: the lambda line 16 px, the
    // note 12 px.
    struct Block {
        QStringList note;
        double scale = 1, width = 0, depth = 0;
        double ascent() const { return 13 * scale; }  // above the first baseline
        double descent() const { return 4 * scale; }  // below the last
    };
    void lambdaText(const PixelSet& pixels);
    Block block(double lambdaWidth, double room, double scale = 1) const;
    bool fits(const PixelSet& pixels, const Block& b, double x, double y) const;
    bool roomy(const PixelCells& cells, const Block& b, double x, double y) const;
    // True when the box x0..x1, y0..y1 keeps a pixel from the diagonal.
    bool offDiagonal(double x0, double y0, double x1, double y1) const;
    double diagonalY(double x) const;
    bool placeNarrower(const PixelSet& pixels, double lambdaWidth, const std::vector<double>& scales, Block& b,
                       double& x, double& y) const;
    bool placeUnder(double lambdaWidth, const std::vector<double>& scales, Block& b, double& x, double& y) const;
    QStringList noteLines(double room, double fontSize) const;
    // True when no point drawn in pixels comes within reach of the box.
    bool clear(const PixelSet& pixels, double x0, double y0, double x1, double y1) const;
    // -log10 of the middle of a bin; the top class sits at the top of the axis.
    double observed(size_t bin) const;
    double xPix(double expected) const { return left_ + size_ * expected / xTicks_.top; }
    double yPix(double observed) const { return bottom_ - size_ * observed / yTicks_.top; }

    SvgCanvas& c_;
    const PlotModel& m_;
    const PlotHistogram& h_;
    PlotDrawStats& stats_;
    const uint64_t n_;
    const double left_, top_, size_, bottom_, right_;
    // Where the legend runs under both panels, the baseline of its first
    // line; else 0.
    const double legendBelowTop_;
    Ticks xTicks_, yTicks_;
};

QqPanel::QqPanel(SvgCanvas& c, const PlotModel& m, const PlotFrame& f, PlotDrawStats& stats)
    : c_(c), m_(m), h_(m.histogram), stats_(stats), n_(m.histogram.total()), left_(f.qLeft), top_(f.qTop),
      size_(f.qSize), bottom_(f.qTop + f.qSize),
      right_(f.canvasWidth - 10), legendBelowTop_(f.legendBelow ? f.legendTop : 0)
{
    // Expected values reach -log10(0.5 / n); observed ones the smallest p
    // that is not drawn at the top. The y axis holds the whole diagonal.
    const double expectedMax = n_ ? std::log10(2.0 * double(n_)) : 1;
    double observedMax = 0;
    h_.forEachBin([&](size_t bin, uint64_t) {
        if (bin == 0)
            return true;
        observedMax = observed(bin);
        return false;
    });
    xTicks_ = niceTicks(expectedMax * 1.04, 8);
    yTicks_ = niceTicks(std::max(observedMax, expectedMax) * 1.04, 8);
}

double QqPanel::observed(size_t bin) const
{
    if (bin == 0)
        return yTicks_.top;
    return -std::log10(h_.binLow(bin) * 0.5 + h_.binHigh(bin) * 0.5);
}

void QqPanel::draw()
{
    c_.layer("qq", "QQ plot");
    c_.text(left_, 34, QStringLiteral("QQ plot"), 18, "start", kTitleText, true);
    // The count alone where the whole line would run off the canvas.
    const QString count = QString::fromStdString(groupDigits(int64_t(n_)));
    QString sub = QStringLiteral("%1 p-values between 0 and 1").arg(count);
    if (left_ + textWidth(sub, 13) > right_)
        sub = QStringLiteral("%1 p-values").arg(count);
    c_.text(left_, 56, sub, 13, "start", kMutedText);
    axes();
    lambdaText(points());
    c_.end();
}

void QqPanel::axes()
{
    for (double v : yTicks_.values) {
        if (v > 0)
            c_.line(left_, yPix(v), left_ + size_, yPix(v), kGridColour, 1);
        c_.line(left_ - 5, yPix(v), left_, yPix(v), kAxisColour, 1);
        c_.text(left_ - 8, yPix(v) + 4.5, QString::fromStdString(tickText(v)), 13, "end", kAxisColour);
    }
    for (double v : xTicks_.values) {
        if (v > 0)
            c_.line(xPix(v), top_, xPix(v), bottom_, kGridColour, 1);
        c_.line(xPix(v), bottom_, xPix(v), bottom_ + 5, kAxisColour, 1);
        c_.text(xPix(v), bottom_ + 19, QString::fromStdString(tickText(v)), 13, "middle", kAxisColour);
    }
    c_.line(left_, top_, left_, bottom_, kAxisColour, 1);
    c_.line(left_, bottom_, left_ + size_, bottom_, kAxisColour, 1);
    c_.log10Text(left_ + size_ / 2, bottom_ + 44, QStringLiteral("Expected "), 15, "middle");
    c_.log10Text(left_ - 48, top_ + size_ / 2, QStringLiteral("Observed "), 15, "middle", -90);
    const double diagonal = std::min(xTicks_.top, yTicks_.top);
    c_.line(xPix(0), yPix(0), xPix(diagonal), yPix(diagonal), kGenomeWideColour, 1.2);
}

// The bins in ascending p hold the ranks in order, and within a bin all
// ranks share the observed value, so only the first rank of each pixel
// column of expected values is visited: the work follows the pixels, not n.
PixelSet QqPanel::points()
{
    const int extent = static_cast<int>(std::lround(size_)) + 1;
    PixelSet pixels(extent, extent);
    const int ox = static_cast<int>(std::lround(left_)), oy = static_cast<int>(std::lround(top_));
    const double n = double(n_);
    uint64_t rank = 1;
    h_.forEachBin([&](size_t bin, uint64_t count) {
        const int py = static_cast<int>(std::lround(yPix(observed(bin)))) - oy;
        const uint64_t last = rank + count - 1;
        while (rank <= last) {
            const double expected = -std::log10((double(rank) - 0.5) / n);
            const long px = std::lround(xPix(expected)) - ox;
            pixels.set(static_cast<int>(px), py);
            // The first rank whose expected value lies left of this pixel.
            const double edge = (double(px) - 0.5 + ox - left_) / size_ * xTicks_.top;
            const double nextRank = std::floor(n * std::pow(10.0, -edge) + 0.5) + 1;
            rank = nextRank > double(rank) ? std::min<uint64_t>(uint64_t(nextRank), last + 1) : rank + 1;
        }
        return rank <= n_;
    });
    std::string d;
    pixels.appendPath(d, ox, oy);
    stats_.qqPixels = pixels.count();
    c_.dotPath("qq-points", kQqColour, d);
    return pixels;
}

bool QqPanel::clear(const PixelSet& pixels, double x0, double y0, double x1, double y1) const
{
    // A dot reaches kDotWidth / 2 around its pixel; one more pixel of air.
    const double reach = kDotWidth / 2 + 1;
    const int ox = static_cast<int>(std::lround(left_)), oy = static_cast<int>(std::lround(top_));
    const int xa = static_cast<int>(std::floor(x0 - reach)) - ox, xb = static_cast<int>(std::ceil(x1 + reach)) - ox;
    const int ya = static_cast<int>(std::floor(y0 - reach)) - oy, yb = static_cast<int>(std::ceil(y1 + reach)) - oy;
    for (int x = xa; x <= xb; ++x)
        for (int y = ya; y <= yb; ++y)
            if (pixels.get(x, y))
                return false;
    return true;
}

// "λGC = 1.002" in the upper left corner, with the note on a filtered table
// under it. Where points or the diagonal lie there, the block goes to the
// lower right corner, raised above the diagonal where the line crosses
// that corner; where points lie in both, a narrower wrap of the note is sought a
// place clear of them (placeNarrower), then a place under the square
// (placeUnder), at full size and then in smaller type; failing that, the
// block stays in the upper left.
void QqPanel::lambdaText(const PixelSet& pixels)
{
    const QString value = n_ && std::isfinite(m_.lambda.lambda)
                              ? QStringLiteral(" = %1").arg(QString::number(m_.lambda.lambda, 'f', 3))
                              : QStringLiteral(" not defined");
    const double lambdaWidth = textWidth(QStringLiteral("\u03bb") + value, 16) + textWidth(QStringLiteral("GC"), 12);
    Block b = block(lambdaWidth, std::max(size_ - 24, 60.0));
    double x = left_ + 12, y = top_ + 22;
    if (!clear(pixels, x, y - 13, x + b.width, y + b.depth + 4) ||
        !offDiagonal(x, y - 13, x + b.width, y + b.depth + 4)) {
        const double rx = std::max(left_ + 12, left_ + size_ - 12 - b.width);
        double ry = bottom_ - 12 - b.depth;
        // Where the diagonal crosses the corner, the block rises until its
        // foot clears the line at the block's right end (the line's highest
        // point under it).
        if (!offDiagonal(rx, ry - 13, rx + b.width, ry + b.depth + 4))
            ry = diagonalY(rx + b.width + 1) - 2 - b.depth - 4;
        if (ry - 13 >= top_ && offDiagonal(rx, ry - 13, rx + b.width, ry + b.depth + 4) &&
            clear(pixels, rx, ry - 13, rx + b.width, ry + b.depth + 4)) {
            x = rx;
            y = ry;
        } else {
            // Full size first, in the square or under it; then smaller type.
            Block moved;
            double nx = 0, ny = 0;
            for (const std::vector<double>& scales : {std::vector<double>{1.0}, std::vector<double>{0.85, 0.75}})
                if (placeNarrower(pixels, lambdaWidth, scales, moved, nx, ny) ||
                    placeUnder(lambdaWidth, scales, moved, nx, ny)) {
                    b = moved;
                    x = nx;
                    y = ny;
                    break;
                }
        }
    }
    const QStringList& note = b.note;
    c_.startMixed("text");
    // Keeps the space before "=" as it is written, whatever a renderer's
    // handling of white space at the ends of a tspan.
    c_.attr("xml:space", "preserve");
    c_.attr("x", x);
    c_.attr("y", y);
    c_.attr("font-size", 16 * b.scale);
    c_.attr("fill", kTitleText);
    c_.chars(QStringLiteral("\u03bb"));
    c_.start("tspan");
    c_.attr("dy", 4 * b.scale);
    c_.attr("font-size", 12 * b.scale);
    c_.chars(QStringLiteral("GC"));
    c_.end();
    c_.start("tspan");
    c_.attr("dy", -4 * b.scale);
    c_.chars(value);
    c_.end();
    c_.endMixed();
    for (int k = 0; k < note.size(); ++k) {
        c_.start("text");
        c_.attr("x", x);
        c_.attr("y", y + (20 + 15 * k) * b.scale);
        c_.attr("font-size", 12 * b.scale);
        c_.attr("fill", kTitleText);
        c_.chars(note[k]);
        c_.end();
    }
}

// Baselines: the lambda line, then note lines 20 and then 15 px apart; the
// block reaches 13 px above the first, 4 below the last.
QqPanel::Block QqPanel::block(double lambdaWidth, double room, double scale) const
{
    Block b;
    b.scale = scale;
    b.note = noteLines(room, 12 * scale);
    b.width = lambdaWidth * scale;
    for (const QString& line : b.note)
        b.width = std::max(b.width, textWidth(line, 12 * scale));
    b.depth = b.note.isEmpty() ? 0 : (20 + 15 * double(b.note.size() - 1)) * scale;
    return b;
}

// Clear of the points and the diagonal, and inside the square.
bool QqPanel::fits(const PixelSet& pixels, const Block& b, double x, double y) const
{
    return y - b.ascent() >= top_ && y + b.depth + b.descent() <= bottom_ && x + b.width <= left_ + size_ &&
           offDiagonal(x, y - b.ascent(), x + b.width, y + b.depth + b.descent()) &&
           clear(pixels, x, y - b.ascent(), x + b.width, y + b.depth + b.descent());
}

// fits() by cells: inside the square and no occupied cell within a dot's
// reach and a pixel of the block.
bool QqPanel::roomy(const PixelCells& cells, const Block& b, double x, double y) const
{
    const double reach = kDotWidth / 2 + 1;
    const int ox = static_cast<int>(std::lround(left_)), oy = static_cast<int>(std::lround(top_));
    return y - b.ascent() >= top_ && y + b.depth + b.descent() <= bottom_ && x + b.width <= left_ + size_ &&
           offDiagonal(x, y - b.ascent(), x + b.width, y + b.depth + b.descent()) &&
           cells.free(static_cast<int>(std::floor(x - reach)) - ox,
                      static_cast<int>(std::floor(y - b.ascent() - reach)) - oy,
                      static_cast<int>(std::ceil(x + b.width + reach)) - ox,
                      static_cast<int>(std::ceil(y + b.depth + b.descent() + reach)) - oy);
}

// The diagonal runs from (left_, bottom_) up to the top of the shorter
// axis; over the box's x range its y falls from ya to yb.
bool QqPanel::offDiagonal(double x0, double y0, double x1, double y1) const
{
    const double diagonal = std::min(xTicks_.top, yTicks_.top);
    const double xa = std::max(x0 - 1, left_), xb = std::min(x1 + 1, xPix(diagonal));
    if (xa > xb)
        return true;
    return diagonalY(xb) > y1 + 1 || diagonalY(xa) < y0 - 1;
}

// The diagonal's y at x (its end's y beyond its end).
double QqPanel::diagonalY(double x) const
{
    const double diagonal = std::min(xTicks_.top, yTicks_.top);
    const double slope = (yPix(0) - yPix(diagonal)) / (xPix(diagonal) - left_);
    return bottom_ - (std::min(x, xPix(diagonal)) - left_) * slope;
}

// The note wrapped narrower, a tenth at each step down to 40 px, in type
// of each of scales times the full size, each wrap tried in the four
// corners; then, at each wrap, every place on a 4 px grid, row by row from
// the top. The first block clear of the points and of the diagonal, and
// inside the square, wins.
bool QqPanel::placeNarrower(const PixelSet& pixels, double lambdaWidth, const std::vector<double>& scales, Block& b,
                            double& x, double& y) const
{
    const PixelCells cells(pixels);
    std::vector<Block> wraps;
    for (const double scale : scales)
        for (double room = std::max(size_ - 24, 60.0) * (scale < 1 ? 1 : 0.9); room >= 40; room *= 0.9) {
            Block w = block(lambdaWidth, room, scale);
            if (wraps.empty() || w.note != wraps.back().note || w.scale != wraps.back().scale)
                wraps.push_back(std::move(w));
        }
    for (const bool search : {false, true})
        for (const Block& w : wraps) {
            const double right = left_ + size_ - 12 - w.width, lowest = bottom_ - 12 - w.depth;
            const double highest = top_ + 9 + w.ascent();
            std::vector<std::pair<double, double>> places;
            if (!search) {
                places = {{left_ + 12, highest}, {right, lowest}, {right, highest}, {left_ + 12, lowest}};
            } else {
                for (double cy = highest - 5; cy <= lowest + 8; cy += 4)
                    for (double cx = left_ + 4; cx <= right + 8; cx += 4)
                        places.push_back({cx, cy});
            }
            for (const auto& [cx, cy] : places)
                if (search ? roomy(cells, w, cx, cy) : fits(pixels, w, cx, cy)) {
                    b = w;
                    x = cx;
                    y = cy;
                    return true;
                }
        }
    return false;
}

// Under the square's axis title "Expected ..." (its descenders and 6 px of
// air), where the legend runs under both panels and leaves room above its
// first line (cap height 10 px, 8 px of air): at the first of scales that
// fits, wrapped to the QQ column's width.
bool QqPanel::placeUnder(double lambdaWidth, const std::vector<double>& scales, Block& b, double& x, double& y) const
{
    if (legendBelowTop_ <= 0)
        return false;
    for (const double scale : scales) {
        const Block w = block(lambdaWidth, right_ - left_, scale);
        const double baseline = bottom_ + 44 + 4 + 6 + w.ascent();
        if (w.width <= right_ - left_ && baseline + w.depth + w.descent() <= legendBelowTop_ - 10 - 8) {
            b = w;
            x = left_;
            y = baseline;
            return true;
        }
    }
    return false;
}

// A table that holds only small p-values (published summary statistics are
// often cut at p < 1e-3) has no median to speak of: its lambdaGC says
// nothing about inflation, and the panel says so, on as many lines as keep
// it within room px (split between words).
QStringList QqPanel::noteLines(double room, double fontSize) const
{
    const double largest = m_.histogram.largest();
    if (!n_ || largest >= kFilteredBelow)
        return {};
    const QString text =
        QStringLiteral("not meaningful: the table holds only p \u2264 %1").arg(QString::number(largest, 'g', 3));
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '))) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && textWidth(longer, fontSize) > room) {
            lines << line;
            line = word;
        } else {
            line = longer;
        }
    }
    lines << line;
    return lines;
}

} // namespace

void drawQqPanel(SvgCanvas& c, const PlotModel& m, const PlotFrame& f, PlotDrawStats& stats)
{
    QqPanel(c, m, f, stats).draw();
}
