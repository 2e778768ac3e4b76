// The -plot figure: one self-contained SVG file with a Manhattan panel and a
// QQ panel beside it, written with QXmlStreamWriter. The same model and
// settings always give the same bytes.
#pragma once
#include "plot/figure_scene.h"
#include "plot/plot_collector.h"
#include "plot/y_axis.h"

#include <QString>

class QIODevice;

// The default size fills a 16:9 slide: 1600 x 900 px with text of 12 px
// and more.
struct PlotSettings {
    QString title;              // the table's file name
    double peakThreshold = 5.0; // -log10 p height of the dashed threshold line
    int width = 1600;           // the whole figure, in px (at least 800)
    int height = 900;           // in px (at least 480)
    YBreakChoice yBreak{};      // whether the Manhattan y axis may break
};

// Writes the figure to out (open for writing). False when a write failed.
bool writeManhattanQqSvg(const PlotModel& model, const PlotSettings& settings, QIODevice& out);
// Writes the figure to path (created or emptied); on failure removes it,
// returns false and sets error to a message naming the path.
bool writeManhattanQqSvg(const PlotModel& model, const PlotSettings& settings, const QString& path,
                         QString* error);

// What the writer drew, for tests and the run's log.
struct PlotDrawStats {
    int64_t manhattanDots = 0; // path commands (dots and vertical runs of dots)
    int64_t manhattanPixels = 0;
    int64_t qqPixels = 0;
    int bands = 0;              // peaks reaching genome-wide significance
    int ticks = 0;              // weaker peaks
    int labels = 0;
    int labelsDropped = 0;      // labels with no free place, left out
    int chromosomeLabels = 0;
    int locusMarks = 0;
    int peaksOffChromosome = 0; // peaks naming a chromosome with no rows: no band
    int lociOffChromosome = 0;
};
bool writeManhattanQqSvg(const PlotModel& model, const PlotSettings& settings, QIODevice& out,
                         PlotDrawStats* stats);
// The whole figure as a scene (figure_scene.h), which the SVG writer and the
// PNG and PDF painter read; stats, when given, gets what was drawn.
Scene manhattanQqScene(const PlotModel& model, const PlotSettings& settings, PlotDrawStats* stats = nullptr);
