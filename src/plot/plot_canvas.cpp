// Scene building shared by the plot panels.
#include "plot/plot_canvas.h"

#include "plot/chromosome_axis.h"
#include "plot/figure_render.h"

#include <algorithm>
#include <cmath>

namespace plotstyle {
double genomeWide() { return -std::log10(5e-8); }
} // namespace plotstyle

namespace {
constexpr char kInkscape[] = "http://www.inkscape.org/namespaces/inkscape";

// Characters XML 1.0 cannot hold become U+FFFD.
QString xmlSafe(QString text)
{
    for (QChar& ch : text) {
        const char16_t u = ch.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF)
            ch = QChar(0xFFFD);
    }
    return text;
}
} // namespace

QString svgNumber(double v)
{
    double r = std::round(v * 10) / 10;
    if (r == 0)
        r = 0; // no "-0"
    QString s = QString::number(r, 'f', 1);
    if (s.endsWith(QLatin1String(".0")))
        s.chop(2);
    return s;
}

double textWidth(const QString& text, double fontSize)
{
    return plotlayout::textWidth(text.toStdString(), fontSize);
}

PlotFrame::PlotFrame(const PlotSettings& s)
{
    width = std::max(s.width, kMinFigureSize.width());
    height = std::max(s.height, kMinFigureSize.height());
    top = 84;
    h = height - top - 80;
    // The QQ square leaves 200 px under it for the legend and takes at most
    // 30 % of the width.
    qSize = std::max(std::min(h - 200, 0.3 * width), 160.0);
    qLeft = width - 30 - qSize;
    qTop = top;
    left = 76;
    w = qLeft - 86 - left;
    legendLeft = qLeft - 50;
    legendTop = qTop + qSize + 72;
    canvasWidth = width;
}

bool PlotFrame::fitLegend(double legendBottom)
{
    const double over = legendBottom - (height - 6);
    if (over <= 0)
        return true;
    if (qSize - over < kMinQqSize)
        return false;
    legendTop -= over;
    qSize -= over;
    return true;
}

void PlotFrame::placeLegendBelow()
{
    legendBelow = true;
    legendLeft = 26;
    legendTop = height; // a trial place; fitBelow lifts it
}

// Under the Manhattan panel come its chromosome labels and the word
// "Chromosome" (baseline bottom() + 66), under the QQ square its tick
// labels and "Expected" (baseline + 44); each keeps its descenders and a gap
// of kBelowGap above the legend's first line (cap height about 10 px).
void PlotFrame::fitBelow(double legendBottom)
{
    constexpr double kBelowGap = 8, kCap = 10, kDescent = 4;
    legendTop -= legendBottom - (height - 6);
    const double roof = legendTop - kCap - kBelowGap - kDescent;
    h = std::max(roof - 66 - top, 40.0);
    qSize = std::max(std::min(qSize, roof - 44 - qTop), 40.0);
}

SvgCanvas::SvgCanvas(Scene& scene) : scene_(scene) {}

void SvgCanvas::start(const char* name)
{
    SceneNode* node;
    if (open_.empty()) {
        scene_.root = SceneNode();
        node = &scene_.root;
    } else {
        top().children.emplace_back();
        node = &top().children.back();
    }
    node->name = QString::fromLatin1(name);
    open_.push_back(node);
}

void SvgCanvas::end()
{
    if (!open_.empty())
        open_.pop_back();
}

void SvgCanvas::attr(const char* name, const QString& value)
{
    if (!open_.empty())
        top().attrs.push_back({QString(), QString::fromLatin1(name), value});
}

void SvgCanvas::chars(QString text)
{
    if (open_.empty())
        return;
    SceneNode node;
    node.kind = SceneNode::Kind::Chars;
    node.name = xmlSafe(std::move(text));
    top().children.push_back(std::move(node));
}

void SvgCanvas::startMixed(const char* name)
{
    start(name);
    top().mixed = true;
}

void SvgCanvas::layer(const char* id, const char* label)
{
    start("g");
    attr("id", id);
    top().attrs.push_back({QLatin1String(kInkscape), QStringLiteral("groupmode"), QStringLiteral("layer")});
    top().attrs.push_back({QLatin1String(kInkscape), QStringLiteral("label"), QString::fromUtf8(label)});
}

void SvgCanvas::line(double x1, double y1, double x2, double y2, const char* colour, double width, const char* dash)
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

void SvgCanvas::text(double x, double y, const QString& t, double size, const char* anchor, const char* colour,
                     bool bold)
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

void SvgCanvas::log10Text(double x, double y, const QString& prefix, double size, const char* anchor, double rotate)
{
    start("text");
    attr("x", x);
    attr("y", y);
    attr("font-size", size);
    attr("text-anchor", anchor);
    if (rotate != 0)
        attr("transform", QStringLiteral("rotate(%1 %2 %3)").arg(svgNumber(rotate), svgNumber(x), svgNumber(y)));
    // Subscript digits as characters: the same glyphs in a browser, the
    // PNG and the PDF, with no shifted tspan to place.
    chars(prefix + QStringLiteral("\u2212log\u2081\u2080(p)"));
    end();
}

void SvgCanvas::dotPath(const char* cssClass, const char* colour, const std::string& d, const QString& title)
{
    if (open_.empty())
        return;
    SceneNode node;
    node.kind = SceneNode::Kind::Dots;
    node.cssClass = QString::fromLatin1(cssClass);
    node.colour = QString::fromLatin1(colour);
    node.title = xmlSafe(title);
    node.path = d;
    top().children.push_back(std::move(node));
}
