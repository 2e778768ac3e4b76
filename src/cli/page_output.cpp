// Page texts: the report's text is made again from the peaks with the
// report's own row writer, so the page shows the report byte for byte.
#include "cli/page_output.h"

#include "cli/study_loci.h"
#include "report/number_format.h"
#include "report/peak_row.h"
#include "page/table_page.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

namespace {

constexpr char kVersion[] = "Quorlin 0.1";

// The page's link to target, relative to the folder of from.
std::string relativeLink(const std::string& from, const std::string& target)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::absolute(from).lexically_normal().parent_path();
    const fs::path link = fs::absolute(target).lexically_normal().lexically_relative(folder);
    return link.empty() ? target : link.string();
}

} // namespace

void markPageFigures(const std::string& lociText, const TableLoci& loci, const TableReading& notes,
                     std::vector<bool>& wanted)
{
    const std::vector<page::LocusKey> found = page::figureLoci(lociText);
    const std::set<page::LocusKey> keys(found.begin(), found.end());
    const LociCandidates& c = notes.candidates;
    for (size_t k = 0; k < loci.result.loci.size(); ++k) {
        const Locus& l = loci.result.loci[k];
        if (keys.count(page::LocusKey{c.chromosomes[l.chromosome], l.leadPosition}))
            wanted[k] = true;
    }
}

TableFacts tableFacts(const TableReading& notes, const TableLoci& loci, const std::vector<ReportedPeak>& peaks,
                      const std::string& lambda)
{
    TableFacts f;
    f.rows = notes.dataRows;
    f.used = notes.usableRows;
    f.retained = notes.retained;
    f.chromosomes = static_cast<long long>(notes.chromosomes.size());
    f.loci = loci.result.loci.size();
    f.peaks = peaks.size();
    f.lambda = lambda;
    const Locus* strongest = nullptr;
    for (size_t k = 0; k < loci.result.loci.size(); ++k) {
        const Locus& l = loci.result.loci[k];
        f.lociWithPeak += l.status != LocusStatus::NoPeak;
        if (!strongest || l.log10p > strongest->log10p)
            strongest = &l;
    }
    if (strongest) {
        const LociCandidates& c = notes.candidates;
        const std::string_view id = c.id(strongest->lead);
        f.strongestLocus = id.empty() ? c.chromosomes[strongest->chromosome] + ":" +
                                            std::to_string(strongest->leadPosition)
                                      : std::string(id);
        f.strongestLog10p = formatReal(strongest->log10p);
    }
    return f;
}

std::string elapsedText(double seconds)
{
    char text[48];
    if (!(seconds >= 0) || seconds < 10)
        std::snprintf(text, sizeof text, "%.1f s", std::max(0.0, seconds));
    else if (seconds < 60)
        std::snprintf(text, sizeof text, "%.0f s", seconds);
    else if (seconds < 3600)
        std::snprintf(text, sizeof text, "%d min %02d s", int(seconds / 60), int(seconds) % 60);
    else
        std::snprintf(text, sizeof text, "%d h %02d min", int(seconds / 3600), int(seconds / 60) % 60);
    return text;
}

std::string tablePageText(const RunOptions& options, const std::string& table, const std::vector<ReportedPeak>& peaks,
                          const std::string& lociText, const TableLoci& loci, const TableReading& notes,
                          PageExtras&& extras, const std::string& messages, const TableFacts& facts)
{
    page::TablePage p;
    p.tableName = table;
    p.commandLine = options.commandLine;
    p.rowsRead = facts.rows;
    p.rowsUsed = facts.used;
    p.markersRetained = facts.retained;
    p.chromosomes = facts.chromosomes;
    p.lociWithPeak = static_cast<int64_t>(facts.lociWithPeak);
    p.lociWithoutPeak = static_cast<int64_t>(facts.loci - facts.lociWithPeak);
    p.peaks = static_cast<int64_t>(facts.peaks);
    p.lambdaGcText = facts.lambda;
    p.runTimeText = elapsedText(extras.seconds);
    p.versionText = kVersion;
    p.buildText = extras.buildText;
    p.ldPanelText = extras.ldPanelText;
    const DrawnFigure* figure = extras.figure;
    if (figure) {
        p.manhattanSvg = figure->svg.toStdString();
        p.lambdaNote = figure->lambdaNote;
    }
    // The report's and the loci file's first lines, as many as the page may
    // list; every row is in the files themselves.
    const page::PageSettings settings;
    p.lociTsv = lociText;
    p.lociTotal = loci.result.loci.size();
    p.lociFileName = extras.lociFileName;
    page::ListedText report(settings);
    report.add(kReportHeader);
    std::string row;
    for (const ReportedPeak& peak : peaks) {
        row.clear();
        appendPeakRow(row, table, peak.chromosome, peak.features);
        report.add(row);
        if (report.full())
            break;
    }
    p.reportTsv = report.text();
    p.reportTotal = peaks.size();
    if (extras.markers) {
        p.hasView = true;
        // The view's loci are the rows the loci table lists.
        p.view = pageView(figure ? &figure->model : nullptr, std::move(*extras.markers), loci, notes,
                          settings.pointBytes, page::listedRows(page::parseTsv(lociText), settings));
        p.view.regional = std::move(extras.regional);
    }
    p.messages = messages;
    return page::tablePage(p);
}

std::string indexPageText(const RunOptions& options, const std::string& indexPath,
                          const std::vector<ListedTable>& tables, double seconds)
{
    std::vector<TableLociText> study;
    for (const ListedTable& t : tables)
        if (!t.lociText.empty())
            study.push_back({t.table, t.lociText});
    std::vector<page::IndexRow> rows;
    for (const ListedTable& t : tables) {
        page::IndexRow r;
        r.name = t.table;
        r.link = t.error.empty() ? relativeLink(indexPath, t.page) : "";
        r.rows = t.facts.rows;
        r.lociWithPeak = static_cast<int64_t>(t.facts.lociWithPeak);
        r.lociWithoutPeak = static_cast<int64_t>(t.facts.loci - t.facts.lociWithPeak);
        r.peaks = static_cast<int64_t>(t.facts.peaks);
        r.strongestLocus = t.facts.strongestLocus;
        r.strongestLog10p = t.facts.strongestLog10p;
        r.lambdaGcText = t.facts.lambda;
        r.lambdaNote = t.facts.lambdaNote;
        r.error = t.error;
        rows.push_back(std::move(r));
    }
    page::IndexInfo info;
    info.title = "Quorlin results: " + options.listFile;
    info.commandLine = options.commandLine;
    info.runTimeText = elapsedText(seconds);
    info.versionText = kVersion;
    if (!study.empty())
        info.studyLociTsv = studyLociText(study, options.lociWindow);
    return page::indexPage(rows, info);
}
