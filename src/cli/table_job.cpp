// The per-table job: create the report, read and batch the rows, analyse
// each batch as it arrives, write its rows, close and check the report,
// then the BED file, the warnings and the summary.
#include "table_job.h"

#include "bed_file.h"
#include "chromosome_scan.h"
#include "peak_row.h"
#include "report_writer.h"
#include "table_summary.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unordered_map>

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

TableOutcome cannotCreate(TableOutcome o, const char* what, const std::string& path)
{
    o.ok = false;
    o.err += std::string("quorlin: cannot create ") + what + " '" + path + "': " + std::strerror(errno) + "\n";
    return o;
}

// Analyses every batch, writes its report rows and keeps its peaks.
class PeakCollector {
public:
    PeakCollector(const RunOptions& options, const std::string& table, ReportWriter& report)
        : table_(table), report_(report), scan_(options.analysis)
    {
    }

    void analyse(ChromosomeBatch& batch)
    {
        const auto order = orders_.emplace(batch.chromosome, static_cast<int>(orders_.size())).first->second;
        features_.clear();
        IntVector& positions = batch.positions;
        scan_.analyse(positions, batch.pvalues, features_);
        rows_.clear();
        for (const PeakFeatures& f : features_) {
            appendPeakRow(rows_, table_, batch.chromosome, f);
            std::string id = f.leadInput < batch.ids.size() ? batch.ids[f.leadInput]
                                                            : batch.chromosome + ":" + std::to_string(f.leadPosition);
            peaks_.push_back({batch.chromosome, order, f, std::move(id)});
        }
        report_.write(rows_);
    }

    const std::vector<ReportedPeak>& peaks() const { return peaks_; }

private:
    const std::string& table_;
    ReportWriter& report_;
    ChromosomeScan scan_;
    std::unordered_map<std::string, int> orders_;
    std::vector<PeakFeatures> features_;
    std::vector<ReportedPeak> peaks_;
    std::string rows_;
};

// Removes a half-written output, but never a device such as /dev/full.
void removeRegularFile(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        std::remove(path.c_str());
}

// Writes the BED file; on failure no half-written one is left behind.
TableOutcome writeBed(TableOutcome o, const TableJob& job, const std::vector<ReportedPeak>& peaks)
{
    const BedText bed = bedText(peaks);
    ReportWriter file;
    if (!file.open(job.bedPath))
        return cannotCreate(std::move(o), "BED file", job.bedPath);
    file.write(bed.text);
    if (!file.close()) {
        removeRegularFile(job.bedPath);
        o.err += "quorlin: BED file '" + job.bedPath + "' could not be written\n";
        return stop(std::move(o), "Output file could not be written\n");
    }
    if (bed.leftOut > 0)
        warn(o, job.table, std::to_string(bed.leftOut) + " peaks lie at negative positions and are not in the BED file");
    if (bed.leadOutside > 0)
        warn(o, job.table, std::to_string(bed.leadOutside) +
                               " peaks have their lead marker outside their range (the table is not sorted by "
                               "position)");
    return o;
}

} // namespace

TableOutcome runTable(const RunOptions& options, const TableJob& job)
{
    TableOutcome o;
    ReportWriter report;
    if (!report.open(job.reportPath))
        return cannotCreate(std::move(o), "report file", job.reportPath);
    report.write(kReportHeader);
    auto source = openInput(job.table);
    if (!source) {
        report.close();
        return stop(std::move(o), "Input file not found\n");
    }
    PeakCollector peaks(options, job.table, report);
    ReadNotes notes;
    const bool complete = readTable(std::move(source), options.layout, options.analysis.inlimit,
                                    [&](ChromosomeBatch& batch) { peaks.analyse(batch); }, notes);
    if (options.layout.headerLines > 0 && !notes.emptyInput)
        o.out += "extract header of size " + std::to_string(options.layout.headerLines) + "\n";
    if (!complete) {
        report.close(); // the rows found so far stay in the report
        return stop(std::move(o), "Input file could not be read\n");
    }
    if (!report.close())
        return stop(std::move(o), "Output file could not be written\n");
    if (!job.bedPath.empty() && !(o = writeBed(std::move(o), job, peaks.peaks())).ok)
        return o;
    addWarnings(o, job.table, notes);
    o.err += tableSummary(job.table, options.layout, notes, peaks.peaks());
    return o;
}
