// The regional figure's gene track: packing and drawing.
#include "plot/regional_genes.h"

#include "plot/plot_canvas.h"

#include <algorithm>
#include <cmath>

namespace regionalgenes {

GeneTrack packGenes(const std::vector<RegionalGene>& genes, double lo, double hi,
                    const std::function<double(double)>& xPix, double plotLeft, double plotRight,
                    double figureWidth)
{
    GeneTrack track;
    for (size_t g = 0; g < genes.size(); ++g) {
        const RegionalGene& gene = genes[g];
        const double first = double(std::min(gene.start, gene.end)), last = double(std::max(gene.start, gene.end));
        if (last < lo || first > hi)
            continue;
        PlacedGene p;
        p.gene = g;
        p.x0 = std::max(xPix(first), plotLeft);
        p.x1 = std::max(std::min(xPix(last + 1.0), plotRight), p.x0 + 1);
        p.labelWidth = textWidth(QString::fromStdString(gene.name), kLabelSize);
        const double half = p.labelWidth / 2;
        // Centred under the bar, moved in where it would leave the figure.
        p.labelX = std::min(std::max((p.x0 + p.x1) / 2, half + 2), figureWidth - half - 2);
        track.genes.push_back(p);
    }
    auto extentLeft = [](const PlacedGene& p) { return std::min(p.x0, p.labelX - p.labelWidth / 2); };
    auto extentRight = [](const PlacedGene& p) { return std::max(p.x1, p.labelX + p.labelWidth / 2); };
    std::stable_sort(track.genes.begin(), track.genes.end(),
                     [&](const PlacedGene& a, const PlacedGene& b) { return extentLeft(a) < extentLeft(b); });
    // First fit by extent: taken left to right, a gene goes to the first row
    // whose last extent ends kGap before its own begins.
    std::vector<double> rowRight;
    for (PlacedGene& p : track.genes) {
        const double left = extentLeft(p);
        size_t row = 0;
        while (row < rowRight.size() && rowRight[row] + kGap > left)
            ++row;
        if (row >= static_cast<size_t>(kMaxRows)) {
            ++track.leftOut;
            continue;
        }
        if (row == rowRight.size())
            rowRight.push_back(0);
        rowRight[row] = extentRight(p);
        p.row = static_cast<int>(row);
    }
    track.rows = static_cast<int>(rowRight.size());
    return track;
}

namespace {

// Chevrons along a bar, every 24 px, pointing the gene's way (in colour);
// a bar too short for them gets one dark arrowhead beside it, inside the
// gap the packing leaves.
void strandArrows(SvgCanvas& c, double x0, double x1, double y, char strand, const char* colour)
{
    if (strand != '+' && strand != '-')
        return;
    std::string d;
    const double dir = strand == '+' ? 1 : -1;
    const double length = x1 - x0;
    if (length < 10) {
        // Too short for chevrons inside: one arrowhead beside the bar.
        const double x = strand == '+' ? x1 + 2 : x0 - 2;
        d = "M" + svgNumber(x).toStdString() + " " + svgNumber(y - 4).toStdString() + "l" +
            svgNumber(4 * dir).toStdString() + " 4l" + svgNumber(-4 * dir).toStdString() + " 4";
    } else {
        const int count = std::max(1, static_cast<int>(length / 24));
        for (int k = 0; k < count; ++k) {
            const double x = x0 + length * (k + 0.5) / count - 2 * dir;
            d += "M" + svgNumber(x).toStdString() + " " + svgNumber(y - 3).toStdString() + "l" +
                 svgNumber(3 * dir).toStdString() + " 3l" + svgNumber(-3 * dir).toStdString() + " 3";
        }
    }
    c.start("path");
    c.attr("class", "strand");
    c.attr("data-strand", strand == '+' ? "+" : "-");
    c.attr("d", QString::fromStdString(d));
    c.attr("fill", "none");
    c.attr("stroke", length < 10 ? "#4d4d4d" : colour);
    c.attr("stroke-width", 1.2);
    c.end();
}

} // namespace

void drawGenes(SvgCanvas& c, const RegionalFigure& r, const GeneTrack& track,
               const std::function<double(double)>& xPix, double plotLeft, double plotRight, double top)
{
    for (const PlacedGene& p : track.genes) {
        if (p.row < 0)
            continue;
        const RegionalGene& g = r.genes[p.gene];
        const double y = top + p.row * kRowHeight; // the bar's middle
        const bool exons = !g.exons.empty();
        // With exons: a thin line for the gene and a block per exon;
        // without: one block for the whole gene.
        c.start("rect");
        c.attr("class", "gene");
        c.attr("data-name", QString::fromStdString(g.name));
        c.attr("x", p.x0);
        c.attr("y", exons ? y - 1 : y - 4);
        c.attr("width", p.x1 - p.x0);
        c.attr("height", exons ? 2 : 8);
        c.attr("fill", "#4d4d4d");
        c.end();
        for (const auto& [from, to] : g.exons) {
            const double a = std::max(xPix(double(std::min(from, to))), plotLeft);
            const double b = std::min(xPix(double(std::max(from, to)) + 1.0), plotRight);
            if (b < plotLeft || a > plotRight)
                continue;
            c.start("rect");
            c.attr("class", "exon");
            c.attr("x", a);
            c.attr("y", y - 5);
            c.attr("width", std::max(b - a, 1.0));
            c.attr("height", 10);
            c.attr("fill", "#4d4d4d");
            c.end();
        }
        strandArrows(c, p.x0, p.x1, y, g.strand, exons ? "#4d4d4d" : "#ffffff");
        c.start("text");
        c.attr("class", "gene-label");
        c.attr("x", p.labelX);
        c.attr("y", y + 18);
        c.attr("font-size", kLabelSize);
        c.attr("text-anchor", "middle");
        c.attr("fill", plotstyle::kAxisColour);
        c.chars(QString::fromStdString(g.name));
        c.end();
    }
}

} // namespace regionalgenes
