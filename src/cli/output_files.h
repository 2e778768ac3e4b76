// The files a table writes besides its report: the BED file of the peaks and
// the Manhattan and QQ figure. Each is written whole at the end of the
// table, under the same guards as the report: a file that cannot be created
// or written is an error, and no half-written one is left behind.
#pragma once
#include "plot_collector.h"
#include "reported_peak.h"
#include "table_job.h"
#include "table_reader.h"

#include <string>
#include <vector>

// Feeds every row of the table to the figure's collector.
class PlotRows : public RowObserver {
public:
    PlotRows(PlotCollector& collector, bool valuesAreLog10) : collector_(collector), log10_(valuesAreLog10) {}
    void chromosome(std::string_view name) override;
    void rows(const int32_t* positions, const double* values, const uint8_t* numbers, size_t count) override;

private:
    PlotCollector& collector_;
    const bool log10_;
};

// Writes the BED file of the peaks to job.bedPath.
TableOutcome writeBed(TableOutcome o, const TableJob& job, const std::vector<ReportedPeak>& peaks);
// Writes the figure to job.plotPath.
TableOutcome writePlot(TableOutcome o, const TableJob& job, PlotCollector&& collector,
                       const std::vector<ReportedPeak>& peaks, double peakThreshold);
// Removes an output that must not stay, but never a device such as /dev/full.
void removeRegularFile(const std::string& path);
