// The per-table job: create the report, read and batch the rows, analyse
// each batch as it arrives, write its rows, close and check the report.
#include "table_job.h"

#include "chromosome_scan.h"
#include "peak_row.h"
#include "report_writer.h"

#include <cerrno>
#include <cstring>

namespace {

void warn(TableOutcome& o, const std::string& table, const std::string& what)
{
    o.err += "quorlin: warning: " + table + ": " + what + "\n";
}

void warnCount(TableOutcome& o, const std::string& table, long long count, const char* what)
{
    if (count != 0)
        warn(o, table, std::to_string(count) + " " + what);
}

void addWarnings(TableOutcome& o, const std::string& table, const ReadNotes& notes)
{
    warnCount(o, table, notes.shortRows, "rows had fewer fields than the largest column number and were skipped");
    warnCount(o, table, notes.badPositions, "rows had a position that is not a whole 32-bit number; it was read as 0");
    warnCount(o, table, notes.badPvalues, "rows had a p-value that is not a number; it was read as 0");
    warnCount(o, table, notes.outsidePvalues, "rows had a p-value outside 0..1 (or nan)");
    warnCount(o, table, notes.innerCarriageReturns,
              "lines held a carriage return inside the line; carriage returns are dropped, so carriage returns "
              "alone do not end lines");
    if (notes.ungrouped)
        warn(o, table,
             "a chromosome appears again after another chromosome's rows; the table is not grouped by "
             "chromosome, so it was analysed in separate batches");
    if (notes.unsorted)
        warn(o, table, "positions go down within a chromosome batch; the table is not sorted by position");
}

TableOutcome stop(TableOutcome o, const char* message)
{
    o.ok = false;
    o.out += message;
    return o;
}

} // namespace

TableOutcome runTable(const RunOptions& options, const std::string& table, const std::string& reportPath)
{
    TableOutcome o;
    ReportWriter report;
    if (!report.open(reportPath)) {
        o.ok = false;
        o.err += "quorlin: cannot create report file '" + reportPath + "': " + std::strerror(errno) + "\n";
        return o;
    }
    report.write(kReportHeader);
    auto source = openInput(table);
    if (!source) {
        report.close();
        return stop(std::move(o), "Input file not found\n");
    }

    ChromosomeScan scan(options.analysis);
    std::vector<PeakFeatures> peaks;
    std::string rows;
    const BatchHandler analyse = [&](ChromosomeBatch& batch) {
        peaks.clear();
        scan.analyse(batch.positions, batch.pvalues, peaks);
        rows.clear();
        for (const PeakFeatures& peak : peaks)
            appendPeakRow(rows, table, batch.chromosome, peak);
        report.write(rows);
    };
    ReadNotes notes;
    const bool complete = readTable(std::move(source), options.layout, options.analysis.inlimit, analyse, notes);
    if (options.layout.headerLines > 0 && !notes.emptyInput)
        o.out += "extract header of size " + std::to_string(options.layout.headerLines) + "\n";
    if (!complete) {
        report.close(); // the rows found so far stay in the report
        return stop(std::move(o), "Input file could not be read\n");
    }
    if (!report.close())
        return stop(std::move(o), "Output file could not be written\n");
    addWarnings(o, table, notes);
    return o;
}
