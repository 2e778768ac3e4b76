// The Manhattan + QQ figure as SVG.
#include "plotsvg.h"

#include "plotlayout.h"

#include <QIODevice>
#include <QFile>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

using namespace plotlayout;

namespace {

const char* const kFont = "Helvetica, Arial, 'Liberation Sans', 'DejaVu Sans', sans-serif";
const char* const kChromosomeColours[2] = {"#1f4e79", "#6b9bd1"};
const char* const kQqColour = "#1f4e79";
const char* const kGenomeWideColour = "#b2182b";
const char* const kThresholdColour = "#4d4d4d";
const char* const kAxisColour = "#333333";
const char* const kGridColour = "#e8e8e8";
const char* const kMutedText = "#555555";
const char* const kInkscape = "http://www.inkscape.org/namespaces/inkscape";
const char* const kGenomeWideDash = "7 4";
const char* const kThresholdDash = "3 3";
const char* const kBandOpacity = "0.35";
const char* const kLegendOpacity = "0.6";
constexpr double kDotWidth = 3.0;
constexpr int kMaxLabels = 20;
const double kGenomeWide = -std::log10(5e-8);

QString num(double v)
{
    double r = std::round(v * 10) / 10;
    if (r == 0)
        r = 0; // no "-0"
    QString s = QString::number(r, 'f', 1);
    if (s.endsWith(QLatin1String(".0")))
        s.chop(2);
    return s;
}

// Rough width of text in px for the sans-serif fonts above.
double textWidth(const QString& text, double fontSize) { return 0.58 * fontSize * text.size(); }

struct Box {
    double x0, y0, x1, y1;
    bool overlaps(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

// The figure's geometry for one settings.
struct Frame {
    int width, height;           // Manhattan panel
    double left, top, w, h;      // Manhattan plot area
    double qLeft, qTop, qSize;   // QQ plot area
    int canvasWidth;

    explicit Frame(const PlotSettings& s)
    {
        width = std::max(s.width, 600);
        height = std::max(s.height, 300);
        left = 72;
        top = 68;
        w = width - left - 24;
        h = height - top - 58;
        qLeft = width + 72;
        qTop = top;
        qSize = h;
        canvasWidth = static_cast<int>(qLeft + qSize + 28);
    }
    double bottom() const { return top + h; }
};

class Writer {
public:
    Writer(const PlotModel& m, const PlotSettings& s, QIODevice& out, PlotDrawStats& stats)
        : m_(m), s_(s), f_(s), x_(&out), stats_(stats)
    {
    }
    bool write();

private:
    // Elements.
    void start(const char* name) { x_.writeStartElement(QLatin1String(name)); }
    void end() { x_.writeEndElement(); }
    // Text content; characters XML 1.0 cannot hold (control characters from
    // a table's names) become U+FFFD, so the file always parses.
    void chars(QString t)
    {
        for (QChar& ch : t) {
            const char16_t u = ch.unicode();
            if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF)
                ch = QChar(0xFFFD);
        }
        x_.writeCharacters(t);
    }
    void attr(const char* name, const QString& value) { x_.writeAttribute(QLatin1String(name), value); }
    void attr(const char* name, const char* value) { x_.writeAttribute(QLatin1String(name), QLatin1String(value)); }
    void attr(const char* name, double value) { attr(name, num(value)); }
    void layer(const char* id, const char* label)
    {
        start("g");
        attr("id", id);
        x_.writeAttribute(QLatin1String(kInkscape), QLatin1String("groupmode"), QLatin1String("layer"));
        x_.writeAttribute(QLatin1String(kInkscape), QLatin1String("label"), QString::fromUtf8(label));
    }
    void line(double x1, double y1, double x2, double y2, const char* colour, double width, const char* dash = nullptr);
    void text(double x, double y, const QString& t, double size, const char* anchor = "start",
              const char* colour = nullptr, bool bold = false);
    // "−log10(p)" with a subscript 10, after prefix.
    // Mixed content (text with tspans) must not get indentation between its
    // parts, which would show as spaces.
    void startMixed(const char* name)
    {
        start(name);
        x_.setAutoFormatting(false);
    }
    void endMixed()
    {
        end();
        x_.setAutoFormatting(true);
    }
    void log10Text(double x, double y, const QString& prefix, double size, const char* anchor, double rotate = 0);

    // Panels.
    void header();
    void manhattanAxes();
    void manhattanBands();
    void manhattanMarkers();
    void manhattanLines();
    void manhattanLabels();
    void legend();
    void qqPanel();

    double yPix(double v) const { return f_.top + f_.h * (1 - v / yTicks_.top); }
    double bandX(const PlotPeak& p, int chrom, double* x1) const;

    const PlotModel& m_;
    const PlotSettings& s_;
    Frame f_;
    QXmlStreamWriter x_;
    PlotDrawStats& stats_;
    std::vector<Segment> segments_;
    std::unordered_map<std::string, int> chromIndex_;
    Ticks yTicks_;
};

void Writer::line(double x1, double y1, double x2, double y2, const char* colour, double width, const char* dash)
{
    start("line");
    attr("x1", x1);
    attr("y1", y1);
    attr("x2", x2);
    attr("y2", y2);
    attr("stroke", colour);
    attr("stroke-width", width);
    if (dash)
        attr("stroke-dasharray", dash);
    end();
}

void Writer::text(double x, double y, const QString& t, double size, const char* anchor, const char* colour, bool bold)
{
    start("text");
    attr("x", x);
    attr("y", y);
    attr("font-size", size);
    if (std::string(anchor) != "start")
        attr("text-anchor", anchor);
    if (colour)
        attr("fill", colour);
    if (bold)
        attr("font-weight", "bold");
    chars(t);
    end();
}

void Writer::log10Text(double x, double y, const QString& prefix, double size, const char* anchor, double rotate)
{
    startMixed("text");
    attr("x", x);
    attr("y", y);
    attr("font-size", size);
    attr("text-anchor", anchor);
    if (rotate != 0)
        attr("transform", QStringLiteral("rotate(%1 %2 %3)").arg(num(rotate), num(x), num(y)));
    chars(prefix + QStringLiteral("\u2212log"));
    start("tspan");
    attr("dy", size * 0.3);
    attr("font-size", size * 0.72);
    chars(QStringLiteral("10"));
    end();
    start("tspan");
    attr("dy", -size * 0.3);
    chars(QStringLiteral("(p)"));
    end();
    endMixed();
}

bool Writer::write()
{
    // The y axis: the retained markers, the peaks and both dashed lines fit,
    // with room above for the labels.
    double yMax = std::max(kGenomeWide, s_.peakThreshold);
    if (m_.maxLog2Fixed >= 0)
        yMax = std::max(yMax, double(m_.maxLog2Fixed) / kPlotLog2Scale * std::log10(2.0));
    for (const PlotPeak& p : m_.peaks)
        if (std::isfinite(p.height))
            yMax = std::max(yMax, p.height);
    yTicks_ = niceTicks(yMax * 1.06, 8);

    std::vector<int64_t> spans;
    for (size_t i = 0; i < m_.chromosomes.size(); ++i) {
        spans.push_back(m_.chromosomes[i].span());
        chromIndex_.emplace(m_.chromosomes[i].name, static_cast<int>(i));
    }
    segments_ = chromosomeSegments(spans, f_.left, f_.w, 4);

    x_.setAutoFormatting(true);
    x_.setAutoFormattingIndent(1);
    x_.writeStartDocument();
    x_.writeDefaultNamespace(QStringLiteral("http://www.w3.org/2000/svg"));
    x_.writeNamespace(QLatin1String(kInkscape), QStringLiteral("inkscape"));
    start("svg");
    attr("version", "1.1");
    attr("width", QString::number(f_.canvasWidth));
    attr("height", QString::number(f_.height));
    attr("viewBox", QStringLiteral("0 0 %1 %2").arg(f_.canvasWidth).arg(f_.height));
    attr("font-family", kFont);
    start("title");
    chars(s_.title);
    end();
    start("desc");
    chars(QStringLiteral("Manhattan plot and QQ plot of %1 written by Quorlin").arg(s_.title));
    end();
    start("rect");
    attr("width", QString::number(f_.canvasWidth));
    attr("height", QString::number(f_.height));
    attr("fill", "#ffffff");
    end();

    layer("manhattan", "Manhattan plot");
    header();
    manhattanBands();
    manhattanAxes();
    manhattanMarkers();
    manhattanLines();
    manhattanLabels();
    legend();
    end();
    qqPanel();
    end(); // svg
    x_.writeEndDocument();
    return !x_.hasError();
}

void Writer::header()
{
    text(f_.left, 30, s_.title, 20, "start", "#111111", true);
    QString sub = QStringLiteral("%1 rows \u00b7 %2 chromosome%3 \u00b7 %4 markers with p \u2264 %5 \u00b7 %6 peak%7")
                      .arg(QString::fromStdString(groupedCount(m_.rows)))
                      .arg(QString::fromStdString(groupedCount(int64_t(m_.chromosomes.size()))))
                      .arg(m_.chromosomes.size() == 1 ? "" : "s")
                      .arg(QString::fromStdString(groupedCount(m_.retained)))
                      .arg(QString::number(m_.inlimit, 'g', 3))
                      .arg(QString::fromStdString(groupedCount(int64_t(m_.peaks.size()))))
                      .arg(m_.peaks.size() == 1 ? "" : "s");
    if (m_.retainedTop > 0)
        sub += QStringLiteral(" \u00b7 %1 with p = 0 or below the smallest double, drawn at the top")
                   .arg(QString::fromStdString(groupedCount(m_.retainedTop)));
    text(f_.left, 50, sub, 12, "start", kMutedText);
}

void Writer::manhattanAxes()
{
    layer("manhattan-axes", "Manhattan axes");
    // Grid and y ticks.
    for (double v : yTicks_.values) {
        const double y = yPix(v);
        if (v > 0)
            line(f_.left, y, f_.left + f_.w, y, kGridColour, 1);
        line(f_.left - 5, y, f_.left, y, kAxisColour, 1);
        text(f_.left - 8, y + 4, QString::fromStdString(tickText(v)), 12, "end", kAxisColour);
    }
    line(f_.left, f_.top, f_.left, f_.bottom(), kAxisColour, 1);
    line(f_.left, f_.bottom(), f_.left + f_.w, f_.bottom(), kAxisColour, 1);
    log10Text(24, f_.top + f_.h / 2, QString(), 14, "middle", -90);
    // Chromosome names under their middles, skipping those that would
    // overlap the previous name shown; small ticks at the chromosome borders.
    double lastRight = -1e9;
    for (size_t i = 0; i < segments_.size(); ++i) {
        const Segment& s = segments_[i];
        const QString name = QString::fromStdString(m_.chromosomes[i].name);
        const double mid = s.x0 + s.width / 2;
        const double half = textWidth(name, 12) / 2;
        if (mid - half >= lastRight + 3 && mid + half <= f_.left + f_.w + 20) {
            text(mid, f_.bottom() + 18, name, 12, "middle", kAxisColour);
            lastRight = mid + half;
        }
    }
    text(f_.left + f_.w / 2, f_.bottom() + 42, QStringLiteral("Chromosome"), 14, "middle", kAxisColour);
    end();
}

double Writer::bandX(const PlotPeak& p, int chrom, double* x1) const
{
    const PlotChromosome& c = m_.chromosomes[chrom];
    const Segment& s = segments_[chrom];
    double a = positionX(s, c.span(), c.minPosition, p.first) - 0.5 * s.width / (double(c.span()) + 1);
    double b = positionX(s, c.span(), c.minPosition, p.last) + 0.5 * s.width / (double(c.span()) + 1);
    if (b - a < 3) {
        const double mid = (a + b) / 2;
        a = mid - 1.5;
        b = mid + 1.5;
    }
    *x1 = b;
    return a;
}

void Writer::manhattanBands()
{
    layer("peaks", "Peak bands");
    for (const PlotPeak& p : m_.peaks) {
        const auto it = chromIndex_.find(p.chromosome);
        if (it == chromIndex_.end()) {
            ++stats_.peaksOffChromosome;
            continue;
        }
        double x1;
        const double x0 = bandX(p, it->second, &x1);
        start("rect");
        attr("class", "peak-band");
        attr("x", x0);
        attr("y", f_.top);
        attr("width", x1 - x0);
        attr("height", f_.h);
        attr("fill", gqsColour(p.gqs).c_str());
        attr("fill-opacity", kBandOpacity);
        start("title");
        // One pass over the pattern: a name holding "%2" stays as it is.
        QString tip = QStringLiteral("%1:%2-%3  GQS %4  \u2212log10 p %5")
                          .arg(QString::fromStdString(p.chromosome), QString::number(p.first),
                               QString::number(p.last), QString::number(p.gqs, 'g', 3),
                               QString::number(p.height, 'g', 4));
        if (!p.label.empty())
            tip += QStringLiteral("  ") + QString::fromStdString(p.label);
        chars(tip);
        end();
        end();
        ++stats_.bands;
    }
    end();
}

void Writer::manhattanMarkers()
{
    layer("markers", "Markers");
    // y pixel of every y cell.
    std::vector<int> cellY(kPlotYCells + 1);
    for (int c = 0; c < kPlotYCells; ++c)
        cellY[c] = static_cast<int>(std::lround(yPix(m_.yCellValue(c))));
    cellY[kPlotTopCell] = static_cast<int>(std::lround(f_.top));
    const int top = static_cast<int>(std::lround(f_.top));
    const int height = static_cast<int>(std::lround(f_.h)) + 1;
    for (size_t i = 0; i < m_.chromosomes.size(); ++i) {
        const PlotChromosome& c = m_.chromosomes[i];
        if (c.retained == 0)
            continue;
        const Segment& s = segments_[i];
        const int px0 = static_cast<int>(std::floor(s.x0)) - 1;
        PixelSet pixels(static_cast<int>(std::ceil(s.width)) + 3, height);
        for (uint32_t k = 0; k < c.cols; ++k) {
            const uint64_t* w = &c.cells[size_t(k) * kPlotCellWords];
            bool any = false;
            for (int j = 0; j < kPlotCellWords; ++j)
                any |= w[j] != 0;
            if (!any)
                continue;
            const int x = static_cast<int>(
                              std::lround(positionX(s, c.span(), c.minPosition, m_.xCellPosition(c.colLo + k)))) -
                          px0;
            for (int j = 0; j < kPlotCellWords; ++j)
                for (uint64_t bits = w[j]; bits; bits &= bits - 1)
                    pixels.set(x, cellY[j * 64 + __builtin_ctzll(bits)] - top);
        }
        std::string d;
        stats_.manhattanDots += pixels.appendPath(d, px0, top);
        stats_.manhattanPixels += pixels.count();
        start("path");
        attr("class", "markers");
        attr("fill", "none");
        attr("stroke", kChromosomeColours[i % 2]);
        attr("stroke-width", kDotWidth);
        attr("stroke-linecap", "round");
        attr("d", QString::fromLatin1(d.data(), static_cast<int>(d.size())));
        start("title");
        chars(QStringLiteral("chromosome %1: %2 markers")
                               .arg(QString::fromStdString(c.name), QString::fromStdString(groupedCount(c.retained))));
        end();
        end();
    }
    end();
}

void Writer::manhattanLines()
{
    layer("thresholds", "Significance lines");
    const double right = f_.left + f_.w;
    const double yg = yPix(kGenomeWide);
    line(f_.left, yg, right, yg, kGenomeWideColour, 1.3, kGenomeWideDash);
    if (s_.peakThreshold >= 0 && s_.peakThreshold <= yTicks_.top) {
        const double yt = yPix(s_.peakThreshold);
        line(f_.left, yt, right, yt, kThresholdColour, 1.1, kThresholdDash);
    }
    end();
}

void Writer::manhattanLabels()
{
    layer("labels", "Peak labels");
    std::vector<int> order;
    for (size_t i = 0; i < m_.peaks.size(); ++i)
        if (!m_.peaks[i].label.empty() && chromIndex_.count(m_.peaks[i].chromosome))
            order.push_back(static_cast<int>(i));
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const double ha = std::isfinite(m_.peaks[a].height) ? m_.peaks[a].height : -1;
        const double hb = std::isfinite(m_.peaks[b].height) ? m_.peaks[b].height : -1;
        return ha > hb;
    });
    if (order.size() > kMaxLabels)
        order.resize(kMaxLabels);
    std::vector<Box> placed;
    const double fontSize = 11, lineStep = 13;
    for (int i : order) {
        const PlotPeak& p = m_.peaks[i];
        double x1;
        const double x0 = bandX(p, chromIndex_.at(p.chromosome), &x1);
        const QString label = QString::fromStdString(p.label);
        const double w = textWidth(label, fontSize);
        double cx = (x0 + x1) / 2;
        cx = std::min(std::max(cx, f_.left + w / 2 + 2), f_.left + f_.w - w / 2 - 2);
        const double summit = std::min(std::max(yPix(p.height), f_.top + fontSize + 8), f_.bottom());
        bool done = false;
        for (int level = 0; level < 6 && !done; ++level) {
            const double y = summit - 7 - level * lineStep;
            if (y - fontSize < f_.top + 1)
                break;
            const Box box{cx - w / 2 - 1, y - fontSize, cx + w / 2 + 1, y + 3};
            if (std::any_of(placed.begin(), placed.end(), [&](const Box& b) { return b.overlaps(box); }))
                continue;
            placed.push_back(box);
            if (level > 0)
                line((x0 + x1) / 2, summit - 3, cx, y + 3, "#777777", 0.7);
            start("text");
            attr("x", cx);
            attr("y", y);
            attr("font-size", fontSize);
            attr("text-anchor", "middle");
            attr("fill", "#1a1a1a");
            attr("stroke", "#ffffff");
            attr("stroke-width", 3);
            attr("stroke-linejoin", "round");
            attr("paint-order", "stroke");
            chars(label);
            end();
            ++stats_.labels;
            done = true;
        }
    }
    end();
}

void Writer::legend()
{
    layer("legend", "Legend");
    const double right = f_.left + f_.w;
    // First row: the two dashed lines, right-aligned.
    {
        const QString threshold =
            QStringLiteral("peak threshold (%1)").arg(QString::fromStdString(tickText(s_.peakThreshold)));
        const double thresholdW = textWidth(threshold, 12);
        double x = right - thresholdW;
        text(x, 26, threshold, 12, "start", kAxisColour);
        line(x - 34, 22, x - 6, 22, kThresholdColour, 1.1, kThresholdDash);
        x -= 34 + 22 + 128;
        startMixed("text");
        attr("x", x);
        attr("y", 26);
        attr("font-size", 12);
        attr("fill", kAxisColour);
        chars(QStringLiteral("genome-wide (p = 5\u00d710"));
        start("tspan");
        attr("dy", -5);
        attr("font-size", 9);
        chars(QStringLiteral("\u22128"));
        end();
        start("tspan");
        attr("dy", 5);
        chars(QStringLiteral(")"));
        end();
        endMixed();
        line(x - 34, 22, x - 6, 22, kGenomeWideColour, 1.3, kGenomeWideDash);
    }
    // Second row: the GQS scale, a bar with the band colours as translucent
    // as the bands, ticks 1 to 5 under it.
    const double barW = 150, barH = 9;
    const double barX = right - barW - 4, barY = 37;
    start("defs");
    start("linearGradient");
    attr("id", "gqs-scale");
    for (int k = 0; k < 5; ++k) {
        start("stop");
        attr("offset", QString::number(k * 25) + QLatin1Char('%'));
        attr("stop-color", kGqsAnchors[k]);
        end();
    }
    end();
    end();
    text(barX - 8, barY + 9, QStringLiteral("peak band: quality (GQS)"), 12, "end", kAxisColour);
    start("rect");
    attr("x", barX);
    attr("y", barY);
    attr("width", barW);
    attr("height", barH);
    attr("fill", "url(#gqs-scale)");
    attr("fill-opacity", kLegendOpacity);
    attr("stroke", "#999999");
    attr("stroke-width", 0.6);
    end();
    for (int k = 0; k < 5; ++k) {
        const double x = barX + barW * k / 4;
        text(x, barY + barH + 11, QString::number(k + 1), 10, "middle", kAxisColour);
    }
    end();
}

void Writer::qqPanel()
{
    layer("qq", "QQ plot");
    const PlotHistogram& h = m_.histogram;
    const uint64_t n = h.total();
    const double left = f_.qLeft, top = f_.qTop, size = f_.qSize, bottom = top + size;
    text(left, 30, QStringLiteral("QQ plot"), 16, "start", "#111111", true);
    text(left, 50,
         QStringLiteral("%1 p-values between 0 and 1").arg(QString::fromStdString(groupedCount(int64_t(n)))), 12,
         "start", kMutedText);

    // Observed values: the middle of each bin in -log10 p; the top class at
    // the top of the axis.
    const double expectedMax = n ? std::log10(2.0 * double(n)) : 1;
    double observedMax = 0;
    for (size_t bin = 1; bin < PlotHistogram::kBinCount; ++bin)
        if (h.count(bin)) {
            observedMax = -std::log10(h.binLow(bin) * 0.5 + h.binHigh(bin) * 0.5);
            break;
        }
    const Ticks xt = niceTicks(expectedMax * 1.04, 8);
    const Ticks yt = niceTicks(std::max(observedMax, expectedMax) * 1.04, 8);
    auto xPix = [&](double e) { return left + size * e / xt.top; };
    auto yPixQ = [&](double o) { return bottom - size * o / yt.top; };

    // Axes, grid and ticks.
    for (double v : yt.values) {
        if (v > 0)
            line(left, yPixQ(v), left + size, yPixQ(v), kGridColour, 1);
        line(left - 5, yPixQ(v), left, yPixQ(v), kAxisColour, 1);
        text(left - 8, yPixQ(v) + 4, QString::fromStdString(tickText(v)), 12, "end", kAxisColour);
    }
    for (double v : xt.values) {
        if (v > 0)
            line(xPix(v), top, xPix(v), bottom, kGridColour, 1);
        line(xPix(v), bottom, xPix(v), bottom + 5, kAxisColour, 1);
        text(xPix(v), bottom + 18, QString::fromStdString(tickText(v)), 12, "middle", kAxisColour);
    }
    line(left, top, left, bottom, kAxisColour, 1);
    line(left, bottom, left + size, bottom, kAxisColour, 1);
    log10Text(left + size / 2, bottom + 42, QStringLiteral("Expected "), 14, "middle");
    log10Text(left - 46, top + size / 2, QStringLiteral("Observed "), 14, "middle", -90);
    const double diag = std::min(xt.top, yt.top);
    line(xPix(0), yPixQ(0), xPix(diag), yPixQ(diag), kGenomeWideColour, 1.2);

    // The points, thinned to pixels: the bins in ascending p hold the ranks
    // in order; within a bin all ranks share the observed value, so only the
    // first rank of each pixel column of expected values is visited.
    PixelSet pixels(static_cast<int>(std::lround(size)) + 1, static_cast<int>(std::lround(size)) + 1);
    const int ox = static_cast<int>(std::lround(left)), oy = static_cast<int>(std::lround(top));
    const double dn = double(n);
    uint64_t rank = 1;
    for (size_t bin = 0; bin < PlotHistogram::kBinCount && rank <= n; ++bin) {
        const uint64_t c = h.count(bin);
        if (c == 0)
            continue;
        const double observed = bin == 0 ? yt.top : -std::log10(h.binLow(bin) * 0.5 + h.binHigh(bin) * 0.5);
        const int py = static_cast<int>(std::lround(yPixQ(observed))) - oy;
        const uint64_t last = rank + c - 1;
        while (rank <= last) {
            const double expected = -std::log10((double(rank) - 0.5) / dn);
            const long px = std::lround(xPix(expected)) - ox;
            pixels.set(static_cast<int>(px), py);
            // The first rank whose expected value rounds to the next pixel
            // to the left: expected below the pixel's left edge.
            const double edge = (double(px) - 0.5 + ox - left) / size * xt.top;
            const double nextRank = std::floor(dn * std::pow(10.0, -edge) + 0.5) + 1;
            rank = nextRank > double(rank) ? std::min<uint64_t>(uint64_t(nextRank), last + 1) : rank + 1;
        }
    }
    std::string d;
    pixels.appendPath(d, ox, oy);
    stats_.qqPixels = pixels.count();
    start("path");
    attr("class", "qq-points");
    attr("fill", "none");
    attr("stroke", kQqColour);
    attr("stroke-width", kDotWidth);
    attr("stroke-linecap", "round");
    attr("d", QString::fromLatin1(d.data(), static_cast<int>(d.size())));
    end();

    // lambdaGC in the upper left corner.
    startMixed("text");
    attr("x", left + 12);
    attr("y", top + 22);
    attr("font-size", 15);
    attr("fill", "#111111");
    chars(QStringLiteral("\u03bb"));
    start("tspan");
    attr("dy", 4);
    attr("font-size", 11);
    chars(QStringLiteral("GC"));
    end();
    start("tspan");
    attr("dy", -4);
    if (n && std::isfinite(m_.lambda.lambda))
        chars(QStringLiteral(" = %1").arg(QString::number(m_.lambda.lambda, 'f', 3)));
    else
        chars(QStringLiteral(" not defined"));
    end();
    endMixed();
    end();
}

} // namespace

bool writeManhattanQqSvg(const PlotModel& model, const PlotSettings& settings, QIODevice& out, PlotDrawStats* stats)
{
    PlotDrawStats local;
    Writer writer(model, settings, out, stats ? *stats : local);
    return writer.write();
}

bool writeManhattanQqSvg(const PlotModel& model, const PlotSettings& settings, QIODevice& out)
{
    return writeManhattanQqSvg(model, settings, out, nullptr);
}

bool writeManhattanQqSvg(const PlotModel& model, const PlotSettings& settings, const QString& path, QString* error)
{
    // A plain file, like the report: QSaveFile would make the run wait for
    // the disk (it syncs before renaming). A failed write leaves no file.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = QStringLiteral("cannot create plot file '%1': %2").arg(path, file.errorString());
        return false;
    }
    const bool written = writeManhattanQqSvg(model, settings, file, nullptr) && file.flush();
    const QString reason = file.errorString();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        file.remove();
        if (error)
            *error = QStringLiteral("plot file '%1' could not be written: %2").arg(path, reason);
        return false;
    }
    return true;
}
