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
    void lambdaText(const PixelSet& pixels);
    QStringList noteLines() const;
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
    Ticks xTicks_, yTicks_;
};

QqPanel::QqPanel(SvgCanvas& c, const PlotModel& m, const PlotFrame& f, PlotDrawStats& stats)
    : c_(c), m_(m), h_(m.histogram), stats_(stats), n_(m.histogram.total()), left_(f.qLeft), top_(f.qTop),
      size_(f.qSize), bottom_(f.qTop + f.qSize),
      right_(f.canvasWidth - 10)
{
    // Expected values reach -log10(0.5 / n); observed ones the smallest p
    // that is not drawn at the top. The y axis holds the whole diagonal.
    const double expectedMax = n_ ? std::log10(2.0 * double(n_)) : 1;
    double observedMax = 0;
    for (size_t bin = 1; bin < PlotHistogram::kBinCount; ++bin)
        if (h_.count(bin)) {
            observedMax = observed(bin);
            break;
        }
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
    for (size_t bin = 0; bin < PlotHistogram::kBinCount && rank <= n_; ++bin) {
        const uint64_t count = h_.count(bin);
        if (count == 0)
            continue;
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
    }
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
// under it. Where points lie there, the block goes to the lower right
// corner; where points lie in both, it stays in the upper left.
void QqPanel::lambdaText(const PixelSet& pixels)
{
    const QString value = n_ && std::isfinite(m_.lambda.lambda)
                              ? QStringLiteral(" = %1").arg(QString::number(m_.lambda.lambda, 'f', 3))
                              : QStringLiteral(" not defined");
    const QStringList note = noteLines();
    double width = textWidth(QStringLiteral("\u03bb") + value, 16) + textWidth(QStringLiteral("GC"), 12);
    for (const QString& line : note)
        width = std::max(width, textWidth(line, 12));
    // Baselines: the lambda line, then note lines 20 and then 15 px apart;
    // the block reaches 13 px above the first, 4 below the last.
    const double depth = note.isEmpty() ? 0 : 20 + 15 * double(note.size() - 1);
    double x = left_ + 12, y = top_ + 22;
    if (!clear(pixels, x, y - 13, x + width, y + depth + 4)) {
        const double rx = std::max(left_ + 12, left_ + size_ - 12 - width), ry = bottom_ - 12 - depth;
        if (clear(pixels, rx, ry - 13, rx + width, ry + depth + 4)) {
            x = rx;
            y = ry;
        }
    }
    c_.startMixed("text");
    // Keeps the space before "=" as it is written, whatever a renderer's
    // handling of white space at the ends of a tspan.
    c_.attr("xml:space", "preserve");
    c_.attr("x", x);
    c_.attr("y", y);
    c_.attr("font-size", 16);
    c_.attr("fill", kTitleText);
    c_.chars(QStringLiteral("\u03bb"));
    c_.start("tspan");
    c_.attr("dy", 4);
    c_.attr("font-size", 12);
    c_.chars(QStringLiteral("GC"));
    c_.end();
    c_.start("tspan");
    c_.attr("dy", -4);
    c_.chars(value);
    c_.end();
    c_.endMixed();
    for (int k = 0; k < note.size(); ++k) {
        c_.start("text");
        c_.attr("x", x);
        c_.attr("y", y + 20 + 15 * k);
        c_.attr("font-size", 12);
        c_.attr("fill", kTitleText);
        c_.chars(note[k]);
        c_.end();
    }
}

// A table that holds only small p-values (published summary statistics are
// often cut at p < 1e-3) has no median to speak of: its lambdaGC says
// nothing about inflation, and the panel says so, on as many lines as keep
// it inside the square (split between words).
QStringList QqPanel::noteLines() const
{
    const double largest = m_.histogram.largest();
    if (!n_ || largest >= kFilteredBelow)
        return {};
    const QString text =
        QStringLiteral("not meaningful: the table holds only p \u2264 %1").arg(QString::number(largest, 'g', 3));
    const double room = std::max(size_ - 24, 60.0);
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '))) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && textWidth(longer, 12) > room) {
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
