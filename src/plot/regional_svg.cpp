// The regional figure of one locus, as SVG.
#include "plot/regional_svg.h"

#include "plot/plot_canvas.h"
#include "plot/plot_layout.h"

#include <QBuffer>

#include <algorithm>
#include <cmath>

using namespace plotlayout;
using namespace plotstyle;

namespace {

constexpr double kGeneRow = 28;

class RegionalDrawing {
public:
    RegionalDrawing(SvgCanvas& c, const RegionalFigure& r, const RegionalSettings& s);
    void draw();

private:
    void header();
    void axes();
    void peaks();
    void markers();
    void lead();
    void genes();
    double xPix(double position) const { return left_ + w_ * (position - lo_) / span_; }
    double yPix(double v) const { return top_ + h_ * (1 - std::min(v, yTicks_.top) / yTicks_.top); }

    SvgCanvas& c_;
    const RegionalFigure& r_;
    int width_, height_, geneRows_ = 0;
    double left_ = 76, top_ = 84, w_, h_;
    double lo_, span_;
    Ticks yTicks_;
};

RegionalDrawing::RegionalDrawing(SvgCanvas& c, const RegionalFigure& r, const RegionalSettings& s)
    : c_(c), r_(r), width_(std::max(s.width, 600)), height_(std::max(s.height, 360))
{
    for (const RegionalGene& g : r_.genes)
        geneRows_ = std::max(geneRows_, std::max(g.row, 0) + 1);
    geneRows_ = std::min(geneRows_, 8);
    w_ = width_ - left_ - 30;
    h_ = std::max(height_ - top_ - 72 - geneRows_ * kGeneRow, 120.0);
    height_ = static_cast<int>(std::ceil(top_ + h_ + 72 + geneRows_ * kGeneRow));
    lo_ = double(std::min(r_.windowStart, r_.windowEnd));
    span_ = std::max(double(std::max(r_.windowStart, r_.windowEnd)) - lo_, 1.0);
    double yMax = std::max(r_.genomeWide, std::isfinite(r_.leadValue) ? r_.leadValue : 0.0);
    for (double v : r_.values)
        if (std::isfinite(v))
            yMax = std::max(yMax, v);
    yTicks_ = niceTicks(yMax * 1.12, 8);
}

void RegionalDrawing::draw()
{
    QXmlStreamWriter& x = c_.xml();
    x.writeStartDocument();
    x.writeDefaultNamespace(QStringLiteral("http://www.w3.org/2000/svg"));
    c_.start("svg");
    c_.attr("version", "1.1");
    c_.attr("width", QString::number(width_));
    c_.attr("height", QString::number(height_));
    c_.attr("viewBox", QStringLiteral("0 0 %1 %2").arg(width_).arg(height_));
    c_.attr("font-family", kFont);
    c_.start("rect");
    c_.attr("width", QString::number(width_));
    c_.attr("height", QString::number(height_));
    c_.attr("fill", "#ffffff");
    c_.end();
    header();
    peaks();
    axes();
    markers();
    lead();
    genes();
    c_.end();
    x.writeEndDocument();
}

void RegionalDrawing::header()
{
    const QString chrom = QString::fromStdString(r_.chromosome);
    const QString where = QStringLiteral("%1:%2").arg(chrom, QString::fromStdString(groupDigits(r_.leadPosition)));
    const QString title = (r_.leadId.empty() ? where : QString::fromStdString(r_.leadId) + QStringLiteral(" \u00b7 ") + where);
    c_.start("title");
    c_.chars(title + QStringLiteral(" \u00b7 ") + QString::fromStdString(r_.status));
    c_.end();
    c_.startMixed("text");
    c_.attr("x", left_);
    c_.attr("y", 34);
    c_.attr("font-size", 20);
    c_.attr("font-weight", "bold");
    c_.attr("fill", kTitleText);
    c_.chars(title + QStringLiteral(" \u00b7 locus status: "));
    c_.start("tspan");
    c_.attr("class", "locus-status");
    if (r_.status == "no_peak")
        c_.attr("fill", kNoPeakColour);
    c_.chars(QString::fromStdString(r_.status));
    c_.end();
    c_.endMixed();
    c_.text(left_, 56,
            QStringLiteral("%1:%2\u2013%3 \u00b7 %4 markers \u00b7 %5 overlapping peak%6")
                .arg(chrom, QString::fromStdString(groupDigits(int64_t(lo_))),
                     QString::fromStdString(groupDigits(int64_t(lo_ + span_))),
                     QString::fromStdString(groupDigits(int64_t(r_.positions.size()))))
                .arg(r_.peaks.size())
                .arg(r_.peaks.size() == 1 ? "" : "s"),
            13, "start", kMutedText);
}

void RegionalDrawing::axes()
{
    const double bottom = top_ + h_;
    for (double v : yTicks_.values) {
        if (v > 0)
            c_.line(left_, yPix(v), left_ + w_, yPix(v), kGridColour, 1);
        c_.line(left_ - 5, yPix(v), left_, yPix(v), kAxisColour, 1);
        c_.text(left_ - 8, yPix(v) + 4.5, QString::fromStdString(tickText(v)), 13, "end", kAxisColour);
    }
    // x ticks in Mb: a 1-2-5 step with at most 8 steps over the window.
    const double step = niceTicks(span_ / 1e6, 8).step * 1e6;
    for (double t = std::ceil(lo_ / step) * step; t <= lo_ + span_ + 1e-6; t += step) {
        c_.line(xPix(t), bottom, xPix(t), bottom + 5, kAxisColour, 1);
        c_.text(xPix(t), bottom + 19, QString::fromStdString(tickText(t / 1e6)), 13, "middle", kAxisColour);
    }
    c_.line(left_, top_, left_, bottom, kAxisColour, 1);
    c_.line(left_, bottom, left_ + w_, bottom, kAxisColour, 1);
    c_.log10Text(26, top_ + h_ / 2, QString(), 15, "middle", -90);
    c_.text(left_ + w_ / 2, height_ - 14,
            QStringLiteral("Position on %1 (Mb)").arg(QString::fromStdString(r_.chromosome)), 15, "middle", kAxisColour);
    const double yg = yPix(r_.genomeWide);
    c_.line(left_, yg, left_ + w_, yg, kGenomeWideColour, 1.3, kGenomeWideDash);
}

// Each overlapping peak range shaded by its GQS over the plot's height,
// clipped to the window, with "GQS x" written at its top.
void RegionalDrawing::peaks()
{
    int k = 0;
    for (const RegionalPeak& p : r_.peaks) {
        const double first = std::min(p.first, p.last), last = std::max(p.first, p.last);
        const double x0 = std::max(xPix(first), left_), x1 = std::min(xPix(last + 1.0), left_ + w_);
        if (x1 < left_ || x0 > left_ + w_)
            continue;
        const double a = std::min(x0, x1 - 2), b = std::max(x1, x0 + 2);
        c_.start("rect");
        c_.attr("class", "peak-range");
        c_.attr("data-range", QStringLiteral("%1-%2").arg(int64_t(first)).arg(int64_t(last)));
        c_.attr("x", a);
        c_.attr("y", top_);
        c_.attr("width", b - a);
        c_.attr("height", h_);
        c_.attr("fill", gqsColour(p.gqs).c_str());
        c_.attr("fill-opacity", kBandOpacity);
        c_.end();
        c_.text((a + b) / 2, top_ + 16 + 15 * (k++ % 2), QStringLiteral("GQS ") + QString::fromStdString(p.gqsText), 13,
                "middle", kTitleText, true);
    }
}

void RegionalDrawing::markers()
{
    const int ox = static_cast<int>(std::floor(left_)), oy = static_cast<int>(std::floor(top_));
    PixelSet pixels(static_cast<int>(std::ceil(w_)) + 2, static_cast<int>(std::ceil(h_)) + 2);
    const size_t n = std::min(r_.positions.size(), r_.values.size());
    for (size_t i = 0; i < n; ++i) {
        const double v = r_.values[i];
        if (std::isnan(v) || r_.positions[i] < lo_ || r_.positions[i] > lo_ + span_)
            continue;
        const double y = v == INFINITY ? top_ : yPix(std::max(v, 0.0));
        pixels.set(static_cast<int>(std::lround(xPix(r_.positions[i] + 0.5))) - ox, static_cast<int>(std::lround(y)) - oy);
    }
    std::string d;
    pixels.appendPath(d, ox, oy);
    c_.dotPath("markers", kChromosomeColours[0], d);
}

void RegionalDrawing::lead()
{
    const double x = xPix(r_.leadPosition + 0.5);
    const double y = std::isfinite(r_.leadValue) ? yPix(std::max(r_.leadValue, 0.0)) : top_;
    c_.start("path");
    c_.attr("class", "lead");
    c_.attr("d", QStringLiteral("M%1 %2l7 7l-7 7l-7 -7Z").arg(svgNumber(x), svgNumber(y - 7)));
    c_.attr("fill", r_.status == "no_peak" ? kNoPeakColour : kGenomeWideColour);
    c_.attr("stroke", "#ffffff");
    c_.attr("stroke-width", 1.2);
    c_.end();
    const QString label = QString::fromStdString(r_.leadId.empty() ? "lead" : r_.leadId);
    const double half = textWidth(label, 14) / 2;
    const double lx = std::min(std::max(x, left_ + half + 2), left_ + w_ - half - 2);
    const double ly = std::max(y - 14, top_ + 16);
    for (const bool outline : {true, false}) {
        c_.start("text");
        c_.attr("class", outline ? "halo" : "lead-label");
        c_.attr("x", lx);
        c_.attr("y", ly);
        c_.attr("font-size", 14);
        c_.attr("font-weight", "bold");
        c_.attr("text-anchor", "middle");
        c_.attr("fill", outline ? "#ffffff" : kTitleText);
        if (outline) {
            c_.attr("stroke", "#ffffff");
            c_.attr("stroke-width", 3);
            c_.attr("stroke-linejoin", "round");
        }
        c_.chars(label);
        c_.end();
    }
}

void RegionalDrawing::genes()
{
    const double trackTop = top_ + h_ + 36;
    for (const RegionalGene& g : r_.genes) {
        const int row = std::max(g.row, 0);
        const double first = double(std::min(g.start, g.end)), last = double(std::max(g.start, g.end));
        if (row >= geneRows_ || last < lo_ || first > lo_ + span_)
            continue;
        const double x0 = std::max(xPix(first), left_), x1 = std::max(std::min(xPix(last), left_ + w_), x0 + 1);
        const double y = trackTop + row * kGeneRow;
        c_.start("rect");
        c_.attr("class", "gene");
        c_.attr("x", x0);
        c_.attr("y", y);
        c_.attr("width", x1 - x0);
        c_.attr("height", 6);
        c_.attr("fill", "#4d4d4d");
        c_.end();
        const QString name = QString::fromStdString(g.name);
        const double half = textWidth(name, 12) / 2;
        c_.text(std::min(std::max((x0 + x1) / 2, left_ + half), left_ + w_ - half), y + 20, name, 12, "middle",
                kAxisColour);
    }
}

} // namespace

QByteArray regionalSvg(const RegionalFigure& figure, const RegionalSettings& settings)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    SvgCanvas canvas(buffer);
    RegionalDrawing(canvas, figure, settings).draw();
    return out;
}

std::string regionalFileName(const std::string& chromosome, int32_t leadPosition, FigureFormat format)
{
    std::string name = chromosome.empty() ? std::string("_") : chromosome;
    for (char& ch : name) {
        const bool safe = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
                          ch == '.' || ch == '_' || ch == '-';
        if (!safe)
            ch = '_';
    }
    if (name[0] == '.')
        name[0] = '_';
    return name + "_" + std::to_string(leadPosition) + "." + figureExtension(format);
}
