// The per-table job: open the table, decide the columns from its own
// header, start every output, read and batch the rows, analyse each batch,
// write the report's rows, then the BED file, the figure, the warnings and
// the summary.
#include "table_job.h"

#include "figure_render.h"
#include "figure_rows.h"
#include "locus_outputs.h"
#include "page_output.h"
#include "output_files.h"
#include "gene_index.h"
#include "peak_collector.h"
#include "peak_row.h"
#include "table_source.h"
#include "table_summary.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>

void warn(TableOutcome& o, const std::string& table, const std::string& what)
{
    o.err += "quorlin: warning: " + table + ": " + what + "\n";
}

std::vector<std::pair<const char*, const std::string*>> TableJob::outputs() const
{
    std::vector<std::pair<const char*, const std::string*>> all{{"report", &reportPath}};
    if (!bedPath.empty())
        all.emplace_back("BED file", &bedPath);
    if (!plotPath.empty())
        all.emplace_back("plot file", &plotPath);
    if (!lociPath.empty())
        all.emplace_back("loci file", &lociPath);
    if (!htmlPath.empty())
        all.emplace_back("page", &htmlPath);
    return all;
}

namespace {

void warnCount(TableOutcome& o, const std::string& table, long long count, const char* what)
{
    if (count != 0)
        warn(o, table, std::to_string(count) + " " + what);
}

void addWarnings(TableOutcome& o, const std::string& table, const ReadNotes& notes, bool sorted)
{
    warnCount(o, table, notes.shortRows, "rows had fewer fields than the largest column number and were skipped");
    warnCount(o, table, notes.badPositions, "rows had a position that is not a whole 32-bit number; it was read as 0");
    warnCount(o, table, notes.badPvalues, "rows had a p-value that is not a number; it was read as 0");
    warnCount(o, table, notes.outsidePvalues, "rows had a p-value outside 0..1 (or nan)");
    warnCount(o, table, notes.zeroPvalues,
              "rows have p = 0, read as p = 4.9e-324; write -log10(p) with -log10p yes for exact values");
    warnCount(o, table, notes.innerCarriageReturns,
              "lines held a carriage return inside the line; carriage returns are dropped, so carriage returns "
              "alone do not end lines");
    if (notes.ungrouped && !sorted)
        warn(o, table,
             "a chromosome appears again after another chromosome's rows; the table is not grouped by "
             "chromosome, so it was analysed in separate batches (-sort yes groups and sorts it)");
    if (notes.unsorted && !sorted)
        warn(o, table, "positions go down within a chromosome batch; the table is not sorted by position "
                       "(-sort yes sorts it)");
}

TableOutcome stop(TableOutcome o, const char* message, const std::string& reason)
{
    o.ok = false;
    o.out += message;
    o.err += "quorlin: " + reason + "\n";
    return o;
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

std::string whyNotOpened(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return "input file " + quoted(path) + " not found";
    if (S_ISDIR(st.st_mode))
        return "input file " + quoted(path) + " is a directory";
    return "input file " + quoted(path) + " cannot be opened: " + std::strerror(errno);
}

// The layout of this table: column names looked up in its own header, read
// from the open source so that a pipe loses no row.
bool decideColumns(const RunOptions& options, const TableJob& job, std::unique_ptr<InputSource>& source,
                   TableLayout& layout, std::vector<std::string>& carriedNames, TableOutcome& o)
{
    layout = options.layout;
    if (!options.columnsByName)
        return true;
    std::string header;
    if (layout.headerLines > 0)
        source = peekLine(std::move(source), layout.headerLines, header);
    const ColumnPlanResult r = planColumns(options.columns, layout.headerLines > 0 ? &header : nullptr,
                                           layout.separator);
    if (!r.ok) {
        o = stop(std::move(o), r.error.stdoutMessage.c_str(), job.table + ": " + r.error.stderrLine);
        return false;
    }
    for (const std::string& w : r.plan.warnings)
        warn(o, job.table, w);
    layout.positionColumn = r.plan.position;
    layout.pvalueColumn = r.plan.pvalue;
    layout.chromosomeColumn = r.plan.chromosome;
    layout.idColumn = r.plan.id;
    layout.log10Values = layout.log10Values || r.plan.pIsLog10;
    layout.filterColumn = r.plan.filterColumn;
    layout.filterValue = r.plan.filterValue;
    layout.missingPosition = r.plan.missingPosition;
    layout.carriedColumns = r.plan.carried;
    carriedNames = r.plan.carriedNames;
    return true;
}

// Starts every output of the job; false (with the stop in o) when one
// cannot be created.
bool startOutputs(const TableJob& job, std::vector<OutputFile>& files, TableOutcome& o)
{
    for (const auto& [what, path] : job.outputs()) {
        files.emplace_back(*job.temps);
        if (!files.back().open(*path)) {
            o = stop(std::move(o), "Output file could not be written\n",
                     std::string("cannot create ") + what + " " + quoted(*path) + ": " + std::strerror(errno));
            return false;
        }
    }
    return true;
}

bool rendersFigures(const RunOptions& options, const TableJob& job)
{
    FigureFormat plot = FigureFormat::Svg, regional = FigureFormat::Svg;
    figureFormatOfPath(QString::fromStdString(job.plotPath), &plot);
    figureFormatOfWord(QString::fromStdString(options.regionalFormat), &regional);
    return plot != FigureFormat::Svg || (!job.regionalDir.empty() && regional != FigureFormat::Svg);
}

} // namespace

TableOutcome runTable(const RunOptions& options, const TableJob& job)
{
    TableOutcome o;
    OpenedTable opened = openTable(options, job.table, job.bytesRead);
    auto source = std::move(opened.source);
    if (!source && !opened.error.empty())
        return stop(std::move(o), "Input file could not be read\n",
                    "input file " + quoted(job.table) + " " + opened.error);
    if (!source)
        return stop(std::move(o), "Input file not found\n", whyNotOpened(job.table));
    if (!opened.warning.empty())
        warn(o, job.table, opened.warning);
    TableLayout layout;
    std::vector<std::string> carriedNames;
    if (!decideColumns(options, job, source, layout, carriedNames, o))
        return o;
    std::vector<OutputFile> files; // report, then BED file and figure as wanted
    if (!startOutputs(job, files, o))
        return o;
    OutputFile& report = files.front();
    report.write(kReportHeader);
    PeakCollector peaks(options, job.table, report);
    std::optional<PlotCollector> figure; // its histogram alone takes 1.6 MB
    std::optional<FigureRows> figureRows; // after figure: stops before it goes
    if (!job.plotPath.empty() || !job.htmlPath.empty()) {
        figure.emplace(options.analysis.inlimit);
        figureRows.emplace(*figure, layout.log10Values);
    }
    ReadNotes notes;
    const bool complete = readTable(std::move(source), layout, options.analysis.inlimit,
                                    [&](ChromosomeBatch& batch) { peaks.take(batch); }, notes,
                                    figureRows ? &*figureRows : nullptr);
    if (figureRows)
        figureRows->finish();
    if (opened.vcf)
        warnCount(o, job.table, opened.vcf->skippedMultiAllelic,
                  "multi-allelic records were skipped: the study's fields do not hold one value per ALT allele");
    if (layout.headerLines > 0 && !notes.emptyInput)
        o.out += "extract header of size " + std::to_string(layout.headerLines) + "\n";
    if (!complete) {
        peaks.finishHanded();
        if (report.close()) // the rows found so far stay in the report
            o.finished.push_back(std::move(report));
        return stop(std::move(o), "Input file could not be read\n",
                    "input file " + quoted(job.table) + " is damaged or cut off; the report holds the peaks found "
                    "before the damage");
    }
    if (const std::string cause = unusableTableCause(job.table, layout, notes); !cause.empty()) {
        addWarnings(o, job.table, notes, options.sortMarkers);
        return stop(std::move(o), "No usable rows in input file\n", cause);
    }
    // The font configuration loads on a second thread while this one finds
    // the loci and writes the SVG text, ready for the PNG or PDF figures.
    std::optional<FontWarmUp> fonts;
    if (rendersFigures(options, job))
        fonts.emplace();
    peaks.finish();
    if (!report.close())
        return stop(std::move(o), "Output file could not be written\n",
                    "report file " + quoted(job.reportPath) + " could not be written: " + std::strerror(report.error()));
    o.finished.push_back(std::move(report));
    const TableLoci loci = tableLoci(options, notes, peaks.peaks(), job.genes);
    if (options.loci || !job.htmlPath.empty()) // the loci file, the list's study table, the page
        o.lociText = lociText(loci, notes, peaks.peaks(), carriedNames);
    size_t next = 1;
    if (!job.bedPath.empty() && !(o = writeBed(std::move(o), std::move(files[next++]), job.table, peaks.peaks())).ok)
        return o;
    std::optional<DrawnFigure> drawn;
    if (figure) {
        addLociToPlot(*figure, loci, notes);
        drawn = drawFigure(job.table, std::move(*figure), peaks.peaks(), options);
    }
    if (!job.plotPath.empty() && !(o = writePlot(std::move(o), std::move(files[next++]), *drawn)).ok)
        return o;
    if (!job.lociPath.empty() && !(o = writeText(std::move(o), std::move(files[next++]), "loci file", o.lociText)).ok)
        return o;
    std::vector<bool> wanted(loci.result.loci.size(), !job.regionalDir.empty());
    if (!job.htmlPath.empty())
        markPageFigures(o.lociText, loci, notes, wanted);
    std::vector<QByteArray> regional;
    if (std::find(wanted.begin(), wanted.end(), true) != wanted.end()) {
        std::string why;
        if (!regionalFigureSvgs(options, job.table, layout, loci, notes, peaks.peaks(), job.genes, wanted, regional,
                                why))
            warn(o, job.table, why + "; no regional figure is drawn");
        else if (!job.regionalDir.empty() &&
                 !writeRegionalFigures(options, loci, notes, regional, job.regionalDir, *job.temps, o.finished, why))
            return stop(std::move(o), "Output file could not be written\n", why);
    }
    addWarnings(o, job.table, notes, options.sortMarkers);
    warnUnsafeFields(o, job.table, peaks.peaks());
    if (job.genes && !anyChromosomeMatches(*job.genes, notes.chromosomes.names()))
        warn(o, job.table, "no chromosome of the table is named as in the gene annotation (a different genome "
                           "build or chromosome naming?); the gene columns are '.'");
    o.err += tableSummary(job.table, layout, notes, peaks.peaks(), loci.result, options.lociWindow, loci.notes);
    o.facts = tableFacts(notes, loci, peaks.peaks(), drawn ? drawn->lambda : std::string());
    if (!job.htmlPath.empty()) {
        const std::string html = tablePageText(options, job.table, peaks.peaks(), drawn ? &*drawn : nullptr, o.lociText,
                                               loci, notes, regional, o.err, o.facts);
        o = writeText(std::move(o), std::move(files[next++]), "page", html);
    }
    return o;
}

void publish(TableOutcome& o)
{
    for (OutputFile& file : o.finished) {
        if (file.commit())
            continue;
        if (o.ok)
            o.out += "Output file could not be written\n";
        o.ok = false;
        o.err += "quorlin: " + file.path() + " could not be put in place: " + std::strerror(file.error()) + "\n";
    }
    o.finished.clear();
}
