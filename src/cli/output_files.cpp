// BED and SVG files: the whole text is made in memory (a few hundred KB at
// most), then written and checked like the report.
#include "cli/output_files.h"

#include "report/bed_file.h"
#include "plot/figure_render.h"
#include "plot/plot_svg.h"
#include "report/peak_row.h"

#include <QBuffer>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Writes the whole text; a complete file joins the finished outputs.
bool writeWhole(TableOutcome& o, OutputFile&& file, const char* what, std::string_view text)
{
    file.write(text);
    if (file.close()) {
        o.finished.push_back(std::move(file));
        return true;
    }
    stop(o, "Output file could not be written\n",
         std::string(what) + " " + quoted(file.path()) + " could not be written: " + std::strerror(file.error()));
    return false;
}

} // namespace

bool writeBed(TableOutcome& o, OutputFile&& file, const std::string& table, const std::vector<ReportedPeak>& peaks)
{
    const BedText bed = bedText(peaks);
    if (!writeWhole(o, std::move(file), "BED file", bed.text))
        return false;
    if (bed.leftOut > 0)
        warn(o, table, std::to_string(bed.leftOut) + " peaks lie at negative positions and are not in the BED file");
    if (bed.leadOutside > 0)
        warn(o, table, std::to_string(bed.leadOutside) +
                               " peaks have their lead marker outside their range (the table is not sorted by "
                               "position)");
    return true;
}

bool writeText(TableOutcome& o, OutputFile&& file, const char* what, std::string_view text)
{
    return writeWhole(o, std::move(file), what, text);
}

DrawnFigure drawFigure(const std::string& table, PlotCollector&& collector, const std::vector<ReportedPeak>& peaks,
                       const RunOptions& options)
{
    for (const ReportedPeak& p : peaks) {
        const PeakFeatures& f = p.features;
        collector.addPeak({p.chromosome, f.firstPosition, f.lastPosition, f.quality, f.height, p.leadId});
    }
    PlotModel model = std::move(collector).finish();
    // The title is the table's file name without folders, unless given.
    PlotSettings settings;
    settings.title = options.plotTitle.empty() ? QFileInfo(QString::fromStdString(table)).fileName()
                                               : QString::fromStdString(options.plotTitle);
    settings.peakThreshold = options.analysis.peakThreshold;
    if (options.plotWidth > 0) {
        settings.width = options.plotWidth;
        settings.height = options.plotHeight;
    }
    if (options.plotYBreak == 0)
        settings.yBreak.mode = YBreakChoice::Never;
    else if (options.plotYBreak > 0)
        settings.yBreak = {YBreakChoice::At, options.plotYBreak};
    DrawnFigure drawn;
    drawn.scene = manhattanQqScene(model, settings);
    if (std::isfinite(model.lambda.lambda) && model.lambda.lambda > 0)
        drawn.lambda = QString::number(model.lambda.lambda, 'f', 3).toStdString();
    // As the QQ panel words it: a largest p below 0.5 leaves no median.
    const double largest = model.histogram.largest();
    if (model.histogram.total() > 0 && largest < 0.5)
        drawn.lambdaNote = "not meaningful: the table holds only p \u2264 " +
                           QString::number(largest, 'g', 3).toStdString();
    drawn.width = settings.width;
    drawn.height = settings.height;
    drawn.model = std::move(model);
    return drawn;
}

bool writePlot(TableOutcome& o, OutputFile&& file, const DrawnFigure& drawn)
{
    FigureFormat format = FigureFormat::Svg;
    figureFormatOfPath(QString::fromStdString(file.path()), &format);
    QString renderError;
    const QByteArray figure = format != FigureFormat::Svg ? renderFigure(drawn.scene, format, &renderError)
                              : drawn.svg.isEmpty()       ? sceneSvg(drawn.scene)
                                                          : drawn.svg;
    if (figure.isEmpty()) {
        stop(o, "Output file could not be written\n",
             "plot file " + quoted(file.path()) + " could not be drawn: " + renderError.toStdString());
        return false;
    }
    return writeWhole(o, std::move(file), "plot file",
                      std::string_view(figure.constData(), static_cast<size_t>(figure.size())));
}

void warnUnsafeFields(TableOutcome& o, const std::string& table, const std::vector<ReportedPeak>& peaks)
{
    bool unsafe = !isTsvSafe(table);
    for (const ReportedPeak& p : peaks)
        unsafe = unsafe || !isTsvSafe(p.chromosome) || !isTsvSafe(p.leadId);
    if (unsafe)
        warn(o, table, "a table name, chromosome name or marker id holds a tab, carriage return or line feed; "
                       "each is written as a space in the report and BED file");
}
