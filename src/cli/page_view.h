// The page's interactive views from the run's own structures: the markers
// at or below the point limit gathered from the analysis's batches, the
// thinned layer from the figure's grid, the loci, and each regional figure
// as data.
#pragma once
#include "cli/locus_outputs.h"
#include "page/view_data.h"
#include "plot/plot_collector.h"
#include "plot/regional_svg.h"

#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

// Gathers, batch by batch, the markers the Manhattan view shows as points.
// Memory stays bounded: past 2 * keep markers, only the strongest keep stay
// (and every one as strong as the weakest of them), and from then on only
// markers stronger than those dropped are taken.
class PageMarkers {
public:
    explicit PageMarkers(double limit = 1e-3, size_t keep = 300'000) : limit_(limit), keep_(keep) {}
    // Before the analysis takes the batch's vectors.
    void take(const ChromosomeBatch& batch);

    double limit() const { return limit_; }
    const std::vector<std::string>& chromosomes() const { return chromosomes_; }
    std::vector<page::ViewMarker>& markers() { return markers_; } // chromosome: index into chromosomes()
    size_t dropped() const { return dropped_; } // markers at or below the limit not kept

private:
    void prune();

    double limit_;
    size_t keep_;
    size_t dropped_ = 0;
    double floor_ = -std::numeric_limits<double>::infinity(); // -log10 p of the strongest dropped
    std::vector<std::string> chromosomes_;
    std::unordered_map<std::string, uint32_t> index_;
    std::vector<page::ViewMarker> markers_;
};

// The view data; model is the figure's (null when none was drawn). The
// points take at most about pointBytes of the page (keepStrongestPoints);
// the view holds the marks and search data of the first lociShown loci.
page::ViewData pageView(const PlotModel* model, PageMarkers&& markers, const TableLoci& loci,
                        const TableReading& notes, size_t pointBytes = 4'000'000,
                        size_t lociShown = std::numeric_limits<size_t>::max());

// A regional figure as the JSON object the page's regional view draws.
std::string regionalJson(const RegionalFigure& figure);
