// The regional figure of one locus: the markers of a window around its lead
// (x in Mb), coloured by their r² with the LD reference when a panel gave
// it, the genome-wide line, the overlapping peak ranges as bands along the
// top coloured by quality with their GQS, the other loci's leads, the lead
// labelled, the locus status explained in the title and, optionally, a
// gene track under the axis. One self-contained SVG, like the Manhattan
// figure.
#pragma once
#include "plot/figure_render.h"
#include "plot/figure_scene.h"

#include <QByteArray>
#include <QSize>
#include <QString>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct RegionalPeak {
    int32_t first = 0, last = 0; // range of positions; either order
    double gqs = 1;              // colours the shade
    std::string gqsText;         // written in it (2 decimals)
};

struct RegionalGene {
    std::string name;
    int64_t start = 0, end = 0;
    int row = 0;      // track row by the genes' spans alone, from 0 (the SVG packs by its labels' widths)
    char strand = 0;  // '+', '-', or 0 where the annotation gives none
    std::vector<std::pair<int64_t, int64_t>> exons; // start, end; empty: none annotated
};

// Another locus whose lead lies in the window.
struct RegionalLocus {
    int32_t leadPosition = 0;
    std::string leadId;
    double leadValue = 0; // -log10 p
    int32_t start = 0, end = 0;
};

struct RegionalFigure {
    std::string chromosome;
    int64_t windowStart = 0, windowEnd = 0; // positions shown
    // The markers in the window: position and -log10 p (+inf for p = 0
    // draws at the top; NaN is not drawn).
    std::vector<int32_t> positions;
    std::vector<double> values;
    // Per marker, parallel to positions (either may be empty): its id, and
    // its r2 with the LD reference variant (NaN: not in the panel). r2 is
    // empty when no LD panel was given.
    std::vector<std::string> ids;
    std::vector<float> r2;
    std::string ldReference; // id of the r2 reference variant (the lead unless chosen)
    bool ldReferenceInPanel = true; // false: every r2 is NaN as the reference is not in the panel
    std::string ldPanel;     // the panel's file name, as the legend names it
    std::string ldSamples;   // the sample selection in words ("all 1,000 samples")
    int32_t leadPosition = 0;
    std::string leadId;
    double leadValue = 0;
    double genomeWide = 7.301029995663981; // -log10(5e-8)
    std::vector<RegionalPeak> peaks;
    std::string status; // peak, split, merged, no_peak
    std::string statusNote; // the status in words ("merged: its peak also overlaps locus rs1"); may be empty
    std::vector<RegionalLocus> otherLoci; // the other loci whose lead lies in the window
    std::vector<RegionalGene> genes;
};

struct RegionalSettings {
    int width = 1200;
    int height = 675; // a gene track adds its rows below this
};

// The figure as a scene (figure_scene.h), and as SVG text.
Scene regionalScene(const RegionalFigure& figure, const RegionalSettings& settings = RegionalSettings());
QByteArray regionalSvg(const RegionalFigure& figure, const RegionalSettings& settings = RegionalSettings());

// The size in px that a regional figure's SVG declares (its gene track
// makes it taller than the settings); an empty size when it declares none.
QSize regionalSvgSize(const QByteArray& svg);

// File name of a locus's regional figure: CHROM_LEADPOSITION.EXT, where any
// character of the chromosome name other than a letter, digit, '.', '_' or
// '-' becomes '_' and a leading '.' becomes '_', so the name stays inside
// its folder.
std::string regionalFileName(const std::string& chromosome, int32_t leadPosition, FigureFormat format);
