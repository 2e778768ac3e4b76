// The regional figure of one locus, as SVG.
#include "plot/regional_svg.h"

#include "plot/plot_canvas.h"
#include "plot/regional_genes.h"
#include "plot/regional_parts.h"
#include "plot/plot_layout.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

using namespace plotlayout;
using namespace plotstyle;

namespace {

using regionalgenes::GeneTrack;
using namespace regionalparts;

constexpr double kBandHeight = 17; // one row of peak bands along the plot's top

class RegionalDrawing {
public:
    RegionalDrawing(SvgCanvas& c, const RegionalFigure& r, const RegionalSettings& s);
    void draw();

private:
    void axes();
    void peaks();
    void otherLoci();
    void markers();
    void lead();
    void genes();
    double xPix(double position) const { return left_ + w_ * (position - lo_) / span_; }
    double yPix(double v) const { return top_ + h_ * (1 - std::min(v, yTicks_.top) / yTicks_.top); }
    double markerY(double v) const { return v == INFINITY ? top_ : yPix(std::max(v, 0.0)); }
    double bandRows() const { return r_.peaks.size() > 1 ? 2 : 1; }
    // A row at the lead's position with the lead's id (or none: a table
    // without ids names the lead CHR:POS).
    bool isLeadRow(size_t i) const
    {
        return r_.positions[i] == r_.leadPosition && (i >= r_.ids.size() || r_.ids[i].empty() || r_.ids[i] == r_.leadId);
    }

    SvgCanvas& c_;
    const RegionalFigure& r_;
    int width_, height_;
    double left_ = 76, top_ = 116, w_, h_;
    double lo_, span_;
    Ticks yTicks_;
    GeneTrack track_;
};

RegionalDrawing::RegionalDrawing(SvgCanvas& c, const RegionalFigure& r, const RegionalSettings& s)
    : c_(c), r_(r), width_(std::max(s.width, 600)), height_(std::max(s.height, 360))
{
    w_ = width_ - left_ - 30;
    lo_ = double(std::min(r_.windowStart, r_.windowEnd));
    span_ = std::max(double(std::max(r_.windowStart, r_.windowEnd)) - lo_, 1.0);
    track_ = regionalgenes::packGenes(
        r_.genes, lo_, lo_ + span_, [this](double p) { return xPix(p); }, left_, left_ + w_, width_);
    // The plot keeps the settings' height; the gene track adds its rows
    // under it, so no gene is dropped for want of room.
    h_ = std::max(double(height_) - top_ - 72, 120.0);
    const double track = track_.rows > 0 ? 24 + track_.rows * regionalgenes::kRowHeight + (track_.leftOut ? 18 : 0) : 0;
    height_ = static_cast<int>(std::ceil(top_ + h_ + 72 + track));
    double yMax = std::max(r_.genomeWide, std::isfinite(r_.leadValue) ? r_.leadValue : 0.0);
    for (double v : r_.values)
        if (std::isfinite(v))
            yMax = std::max(yMax, v);
    // Headroom above the strongest marker for the peak bands and the lead's label.
    yTicks_ = niceTicks(yMax / std::max(1 - (bandRows() * kBandHeight + 34) / h_, 0.5), 8);
}

void RegionalDrawing::draw()
{
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
    regionalparts::drawHeader(c_, r_, left_, width_, lo_, span_);
    regionalparts::drawLdLegend(c_, r_, left_);
    axes();
    otherLoci();
    markers();
    lead();
    peaks();
    genes();
    c_.end();
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
    c_.text(left_ + w_ / 2, bottom + 44,
            QStringLiteral("Position on %1 (Mb)").arg(QString::fromStdString(r_.chromosome)), 15, "middle", kAxisColour);
    const double yg = yPix(r_.genomeWide);
    c_.line(left_, yg, left_ + w_, yg, kGenomeWideColour, 1.3, kGenomeWideDash);
}

// Each overlapping peak range as a band along the plot's top, coloured by
// its GQS and clipped to the window, with "GQS x.xx" in it where it fits
// (beside it where it does not); a second peak takes a second row.
void RegionalDrawing::peaks()
{
    int k = 0;
    for (const RegionalPeak& p : r_.peaks) {
        const double first = std::min(p.first, p.last), last = std::max(p.first, p.last);
        const double x0 = std::max(xPix(first), left_), x1 = std::min(xPix(last + 1.0), left_ + w_);
        if (x1 < left_ || x0 > left_ + w_)
            continue;
        const double a = std::min(x0, x1 - 2), b = std::max(x1, x0 + 2);
        const double y = top_ + 1 + (k++ % 2) * kBandHeight;
        c_.start("rect");
        c_.attr("class", "peak-range");
        c_.attr("data-range", QStringLiteral("%1-%2").arg(int64_t(first)).arg(int64_t(last)));
        c_.attr("x", a);
        c_.attr("y", y);
        c_.attr("width", b - a);
        c_.attr("height", kBandHeight - 2);
        c_.attr("fill", gqsColour(p.gqs).c_str());
        c_.attr("fill-opacity", "0.8");
        c_.end();
        const QString text = QStringLiteral("GQS ") + QString::fromStdString(p.gqsText);
        const double tw = textWidth(text, 12) * 1.09;
        double tx = (a + b) / 2;
        if (b - a < tw + 6) // beside the band, on the side with room
            tx = b + tw / 2 + 4 <= left_ + w_ ? b + tw / 2 + 4 : a - tw / 2 - 4;
        c_.text(std::min(std::max(tx, left_ + tw / 2 + 2), left_ + w_ - tw / 2 - 2), y + kBandHeight - 5, text, 12,
                "middle", kTitleText, true);
    }
}

// The leads of the other loci in the window: a dotted line from the bands
// to the axis and the lead's id under the bands.
void RegionalDrawing::otherLoci()
{
    const double below = top_ + bandRows() * kBandHeight + 2;
    for (const RegionalLocus& l : r_.otherLoci) {
        const double x = xPix(l.leadPosition + 0.5);
        if (x < left_ || x > left_ + w_)
            continue;
        c_.start("g");
        c_.attr("class", "other-locus");
        c_.attr("data-lead", QString::fromStdString(l.leadId));
        c_.line(x, below, x, top_ + h_, kMutedText, 1, "2 3");
        const QString label = QStringLiteral("locus ") + QString::fromStdString(l.leadId);
        const double half = textWidth(label, 11) / 2;
        c_.text(std::min(std::max(x, left_ + half + 2), left_ + w_ - half - 2), below + 12, label, 11, "middle",
                kMutedText);
        c_.end();
    }
}

// Every marker a dot of its own with its id and r², grouped by r² bin and
// drawn weakest first so that the strong LD stays on top; the lead's row is
// the lead's diamond.
void RegionalDrawing::markers()
{
    const size_t n = std::min(r_.positions.size(), r_.values.size());
    const bool ld = !r_.r2.empty();
    std::vector<std::vector<size_t>> bins(6);
    bool leadSeen = false;
    for (size_t i = 0; i < n; ++i) {
        const double v = r_.values[i];
        if (std::isnan(v) || r_.positions[i] < lo_ || r_.positions[i] > lo_ + span_)
            continue;
        const bool isLead = isLeadRow(i);
        if (isLead && !leadSeen) {
            leadSeen = true;
            continue;
        }
        bins[static_cast<size_t>(ld && i < r_.r2.size() ? ldBin(r_.r2[i]) + 1 : 0)].push_back(i);
    }
    for (size_t b = 0; b < bins.size(); ++b) {
        if (bins[b].empty())
            continue;
        c_.start("g");
        c_.attr("class", "markers");
        c_.attr("data-bin", b == 0 ? QStringLiteral("NA") : QString::fromUtf8(kLdBinNames[b - 1]));
        c_.attr("fill", !ld ? kChromosomeColours[0] : b == 0 ? kNoLdColour : kLdColours[b - 1]);
        c_.attr("stroke", "#ffffff");
        c_.attr("stroke-width", 0.5);
        for (size_t i : bins[b]) {
            c_.start("circle");
            c_.attr("class", "marker");
            c_.attr("cx", xPix(r_.positions[i] + 0.5));
            c_.attr("cy", markerY(r_.values[i]));
            c_.attr("r", kDotRadius);
            if (i < r_.ids.size() && !r_.ids[i].empty())
                c_.attr("data-id", QString::fromStdString(r_.ids[i]));
            c_.attr("data-r2", r2Text(i < r_.r2.size() ? r_.r2[i] : NAN));
            if (ld && i < r_.ids.size() && r_.ids[i] == r_.ldReference && r_.ldReference != r_.leadId) {
                c_.attr("stroke", kTitleText);
                c_.attr("stroke-width", 1.5);
            }
            c_.end();
        }
        c_.end();
    }
}

void RegionalDrawing::lead()
{
    const double x = xPix(r_.leadPosition + 0.5);
    const double y = std::isfinite(r_.leadValue) ? yPix(std::max(r_.leadValue, 0.0)) : top_;
    float leadR2 = NAN;
    for (size_t i = 0; i < r_.positions.size() && i < r_.r2.size(); ++i)
        if (isLeadRow(i)) {
            leadR2 = r_.r2[i];
            break;
        }
    c_.start("path");
    c_.attr("class", "lead");
    c_.attr("d", QStringLiteral("M%1 %2l7 7l-7 7l-7 -7Z").arg(svgNumber(x), svgNumber(y - 7)));
    c_.attr("fill", kLeadViolet);
    c_.attr("stroke", "#ffffff");
    c_.attr("stroke-width", 1.2);
    c_.attr("data-id", QString::fromStdString(r_.leadId));
    c_.attr("data-r2", r2Text(leadR2));
    c_.end();
    const QString label = QString::fromStdString(r_.leadId.empty() ? "lead" : r_.leadId);
    const double half = textWidth(label, 14) * 1.09 / 2;
    const double lx = std::min(std::max(x, left_ + half + 2), left_ + w_ - half - 2);
    const double ly = std::max(y - 14, top_ + bandRows() * kBandHeight + 16);
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
    if (track_.rows == 0)
        return;
    const double trackTop = top_ + h_ + 72 + 10;
    regionalgenes::drawGenes(
        c_, r_, track_, [this](double p) { return xPix(p); }, left_, left_ + w_, trackTop);
    if (track_.leftOut > 0)
        c_.text(left_, trackTop + track_.rows * regionalgenes::kRowHeight + 6,
                QStringLiteral("%1 more gene%2 not drawn: the track shows %3 rows")
                    .arg(track_.leftOut)
                    .arg(track_.leftOut == 1 ? "" : "s")
                    .arg(regionalgenes::kMaxRows),
                12, "start", kMutedText);
}

} // namespace

Scene regionalScene(const RegionalFigure& figure, const RegionalSettings& settings)
{
    Scene scene;
    scene.namespaces.push_back({QString(), QStringLiteral("http://www.w3.org/2000/svg")});
    SvgCanvas canvas(scene);
    RegionalDrawing(canvas, figure, settings).draw();
    return scene;
}

QByteArray regionalSvg(const RegionalFigure& figure, const RegionalSettings& settings)
{
    return sceneSvg(regionalScene(figure, settings));
}

QSize regionalSvgSize(const QByteArray& svg)
{
    QXmlStreamReader x(svg);
    while (!x.atEnd())
        if (x.readNext() == QXmlStreamReader::StartElement)
            return QSize(x.attributes().value(QLatin1String("width")).toInt(),
                         x.attributes().value(QLatin1String("height")).toInt());
    return QSize();
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
