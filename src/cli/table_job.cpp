// The per-table job: decide the columns, create the report, read and batch
// the rows, analyse each batch, write its rows, close and check the report,
// then the BED file, the warnings and the summary.
#include "table_job.h"

#include "output_files.h"
#include "peak_collector.h"
#include "peak_row.h"
#include "table_summary.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

void warn(TableOutcome& o, const std::string& table, const std::string& what)
{
    o.err += "quorlin: warning: " + table + ": " + what + "\n";
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

// The layout of this table: column names looked up in its own header.
bool decideColumns(const RunOptions& options, const TableJob& job, TableLayout& layout, TableOutcome& o)
{
    layout = options.layout;
    if (!options.columnsByName)
        return true;
    std::optional<std::string> header;
    if (layout.headerLines > 0 && !(header = readLineOf(job.table, layout.headerLines)))
        return true; // a table that cannot be opened stops the run below, as it always has
    const ColumnPlanResult r = planColumns(options.columns, header ? &*header : nullptr, layout.separator);
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
    return true;
}

} // namespace

TableOutcome runTable(const RunOptions& options, const TableJob& job)
{
    TableOutcome o;
    TableLayout layout;
    if (!decideColumns(options, job, layout, o))
        return o;
    ReportWriter report;
    if (!report.open(job.reportPath + job.writeSuffix)) {
        o.ok = false;
        o.err += "quorlin: cannot create report file " + quoted(job.reportPath) + ": " + std::strerror(errno) + "\n";
        return o;
    }
    report.write(kReportHeader);
    auto source = openInput(job.table, job.bytesRead);
    if (!source) {
        const std::string why = whyNotOpened(job.table);
        report.close();
        removeRegularFile(job.reportPath + job.writeSuffix); // a header-only report would pass for a clean result
        o.reportRemoved = true;
        return stop(std::move(o), "Input file not found\n", why);
    }
    PeakCollector peaks(options, layout, job.table, report);
    std::optional<PlotCollector> figure; // its histogram alone takes 1.6 MB
    std::optional<PlotRows> figureRows;
    if (!job.plotPath.empty()) {
        figure.emplace(options.analysis.inlimit);
        figureRows.emplace(*figure, layout.log10Values);
    }
    ReadNotes notes;
    const bool complete = readTable(std::move(source), layout, options.analysis.inlimit,
                                    [&](ChromosomeBatch& batch) { peaks.take(batch); }, notes,
                                    figureRows ? &*figureRows : nullptr);
    if (layout.headerLines > 0 && !notes.emptyInput)
        o.out += "extract header of size " + std::to_string(layout.headerLines) + "\n";
    if (!complete) {
        peaks.finishHanded();
        report.close(); // the rows found so far stay in the report
        return stop(std::move(o), "Input file could not be read\n",
                    "input file " + quoted(job.table) + " is damaged or cut off; the report holds the peaks found "
                    "before the damage");
    }
    peaks.finish();
    if (!report.close())
        return stop(std::move(o), "Output file could not be written\n",
                    "report file " + quoted(job.reportPath) + " could not be written: " + std::strerror(report.error()));
    if (!job.bedPath.empty() && !(o = writeBed(std::move(o), job, peaks.peaks())).ok)
        return o;
    if (figure && !(o = writePlot(std::move(o), job, std::move(*figure), peaks.peaks(),
                                  options.analysis.peakThreshold)).ok)
        return o;
    addWarnings(o, job.table, notes, options.sortMarkers);
    LociResult loci = findLoci(notes.candidates, kDefaultLociWindow);
    crossReference(loci, notes.candidates, peaks.peaks());
    o.err += tableSummary(job.table, layout, notes, peaks.peaks(), loci, kDefaultLociWindow);
    return o;
}
