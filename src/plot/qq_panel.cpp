// The QQ panel: observed against expected -log10 p of every valid p-value,
// from the streaming histogram, thinned to pixels, with the diagonal and
// lambdaGC.
#include "plot/plot_canvas.h"
#include "plot/plot_layout.h"

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
    void points();
    void lambdaText();
    void filteredNote();
    // -log10 of the middle of a bin; the top class sits at the top of the axis.
    double observed(size_t bin) const;
    double xPix(double expected) const { return left_ + size_ * expected / xTicks_.top; }
    double yPix(double observed) const { return bottom_ - size_ * observed / yTicks_.top; }

    SvgCanvas& c_;
    const PlotModel& m_;
    const PlotHistogram& h_;
    PlotDrawStats& stats_;
    const uint64_t n_;
    const double left_, top_, size_, bottom_;
    Ticks xTicks_, yTicks_;
};

QqPanel::QqPanel(SvgCanvas& c, const PlotModel& m, const PlotFrame& f, PlotDrawStats& stats)
    : c_(c), m_(m), h_(m.histogram), stats_(stats), n_(m.histogram.total()), left_(f.qLeft), top_(f.qTop),
      size_(f.qSize), bottom_(f.qTop + f.qSize)
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
    c_.text(left_, 56,
            QStringLiteral("%1 p-values between 0 and 1").arg(QString::fromStdString(groupDigits(int64_t(n_)))), 13,
            "start", kMutedText);
    axes();
    points();
    lambdaText();
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
void QqPanel::points()
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
}

// "λGC = 1.002" in the upper left corner.
void QqPanel::lambdaText()
{
    c_.startMixed("text");
    // Keeps the space before "=" in QtSvg's rendering, which trims the
    // text of each tspan otherwise.
    c_.attr("xml:space", "preserve");
    c_.attr("x", left_ + 12);
    c_.attr("y", top_ + 22);
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
    if (n_ && std::isfinite(m_.lambda.lambda))
        c_.chars(QStringLiteral(" = %1").arg(QString::number(m_.lambda.lambda, 'f', 3)));
    else
        c_.chars(QStringLiteral(" not defined"));
    c_.end();
    c_.endMixed();
    filteredNote();
}

// A table that holds only small p-values (published summary statistics are
// often cut at p < 1e-3) has no median to speak of: its lambdaGC says
// nothing about inflation, and the panel says so.
void QqPanel::filteredNote()
{
    const double largest = m_.histogram.largest();
    if (!n_ || largest >= kFilteredBelow)
        return;
    c_.start("text");
    c_.attr("x", left_ + 12);
    c_.attr("y", top_ + 42);
    c_.attr("font-size", 12);
    c_.attr("fill", kTitleText);
    c_.chars(QStringLiteral("not meaningful: the table holds only p \u2264 %1").arg(QString::number(largest, 'g', 3)));
    c_.end();
}

} // namespace

void drawQqPanel(SvgCanvas& c, const PlotModel& m, const PlotFrame& f, PlotDrawStats& stats)
{
    QqPanel(c, m, f, stats).draw();
}
