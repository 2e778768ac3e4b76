// BED and SVG files: the whole text is made in memory (a few hundred KB at
// most), then written and checked like the report.
#include "output_files.h"

#include "bed_file.h"
#include "figure_render.h"
#include "plot_svg.h"
#include "report_writer.h"

#include <QBuffer>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

std::string quoted(const std::string& path) { return "'" + path + "'"; }

// Writes text to path + the job's suffix; what is named in messages is path.
bool writeWhole(TableOutcome& o, const TableJob& job, const std::string& path, const char* what,
                std::string_view text, bool& removed)
{
    ReportWriter file;
    if (!file.open(path + job.writeSuffix)) {
        o.ok = false;
        o.err += std::string("quorlin: cannot create ") + what + " " + quoted(path) + ": " + std::strerror(errno) + "\n";
        return false;
    }
    file.write(text);
    if (file.close())
        return true;
    removeRegularFile(path + job.writeSuffix);
    removed = true;
    o.ok = false;
    o.out += "Output file could not be written\n";
    o.err += std::string("quorlin: ") + what + " " + quoted(path) + " could not be written: " +
             std::strerror(file.error()) + "\n";
    return false;
}

} // namespace

void PlotRows::chromosome(std::string_view name)
{
    collector_.startChromosome(name);
}

void PlotRows::rows(const int32_t* positions, const double* values, const uint8_t* numbers, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        collector_.addRow(positions[i], log10_ ? std::pow(10.0, -values[i]) : values[i], numbers[i] != 0);
}

void removeRegularFile(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        std::remove(path.c_str());
}

TableOutcome writeBed(TableOutcome o, const TableJob& job, const std::vector<ReportedPeak>& peaks)
{
    const BedText bed = bedText(peaks);
    if (!writeWhole(o, job, job.bedPath, "BED file", bed.text, o.bedRemoved))
        return o;
    if (bed.leftOut > 0)
        warn(o, job.table, std::to_string(bed.leftOut) + " peaks lie at negative positions and are not in the BED file");
    if (bed.leadOutside > 0)
        warn(o, job.table, std::to_string(bed.leadOutside) +
                               " peaks have their lead marker outside their range (the table is not sorted by "
                               "position)");
    return o;
}

TableOutcome writePlot(TableOutcome o, const TableJob& job, PlotCollector&& collector,
                       const std::vector<ReportedPeak>& peaks, double peakThreshold)
{
    for (const ReportedPeak& p : peaks) {
        const PeakFeatures& f = p.features;
        collector.addPeak({p.chromosome, f.firstPosition, f.lastPosition, f.quality, f.height, p.leadId});
    }
    const PlotModel model = std::move(collector).finish();
    // Figure settings: the title is the table's file name without folders;
    // the format follows the figure path's extension (.png, .pdf; else SVG).
    PlotSettings settings;
    settings.title = QFileInfo(QString::fromStdString(job.table)).fileName();
    settings.peakThreshold = peakThreshold;
    FigureFormat format = FigureFormat::Svg;
    figureFormatOfPath(QString::fromStdString(job.plotPath), &format);
    QByteArray svg;
    QBuffer buffer(&svg);
    buffer.open(QIODevice::WriteOnly);
    writeManhattanQqSvg(model, settings, buffer);
    QString renderError;
    const QByteArray figure = renderFigure(svg, format, QSize(settings.width, settings.height), &renderError);
    if (figure.isEmpty()) {
        o.ok = false;
        o.out += "Output file could not be written\n";
        o.err += "quorlin: plot file " + quoted(job.plotPath) + " could not be drawn: " + renderError.toStdString() + "\n";
        return o;
    }
    writeWhole(o, job, job.plotPath, "plot file",
               std::string_view(figure.constData(), static_cast<size_t>(figure.size())), o.plotRemoved);
    return o;
}
