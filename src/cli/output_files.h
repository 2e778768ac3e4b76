// The files a table writes besides its report: the BED file of the peaks and
// the Manhattan and QQ figure. Each is made whole at the end of the table
// and written through its started output: a file that cannot be written is
// an error, and no half-written one is left behind.
#pragma once
#include "plot/figure_scene.h"
#include "plot/plot_collector.h"

#include <QByteArray>
#include "report/reported_peak.h"
#include "cli/options.h"
#include "cli/table_outcome.h"
#include "io/table_reader.h"

#include <string>
#include <vector>

// Writes the BED file of the peaks into file; when it is complete it joins
// the outcome's finished outputs. Each writer returns false with the stop in
// the outcome when its file cannot be made.
bool writeBed(TableOutcome& o, OutputFile&& file, const std::string& table,
                      const std::vector<ReportedPeak>& peaks);
// The Manhattan and QQ figure as SVG, titled and sized by the options, with
// its genomic inflation as the QQ panel states it.
struct DrawnFigure {
    Scene scene;    // what PNG and PDF are painted from
    QByteArray svg; // the scene as SVG text where the page embeds it, else empty
    std::string lambda; // "" when not estimated
    // The QQ panel's caveat on lambda for a table that holds only small
    // p-values; "" when there is none.
    std::string lambdaNote;
    int width = 0, height = 0;
    PlotModel model; // what the figure was drawn from (the page's view reads its grid)
};
DrawnFigure drawFigure(const std::string& table, PlotCollector&& collector, const std::vector<ReportedPeak>& peaks,
                       const RunOptions& options);
// Writes the figure into file in the format its extension names.
bool writePlot(TableOutcome& o, OutputFile&& file, const DrawnFigure& figure);
// Writes text into file (what names it in messages); complete, it joins the
// finished outputs.
bool writeText(TableOutcome& o, OutputFile&& file, const char* what, std::string_view text);
// Warns once when a table name, chromosome name or lead id held a tab or a
// line end: the tab-separated outputs carry a space in its place.
void warnUnsafeFields(TableOutcome& o, const std::string& table, const std::vector<ReportedPeak>& peaks);
