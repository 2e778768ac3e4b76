// The per-table job: open the table, decide the columns from its own
// header, start every output, read and batch the rows, analyse each batch,
// write the report's rows, then the BED file, the figure, the loci, the
// regional figures, the page, the warnings and the summary.
#include "cli/table_job.h"

#include "plot/figure_render.h"
#include "cli/figure_rows.h"
#include "genes/gene_index.h"
#include "genes/genome_build.h"
#include "cli/locus_outputs.h"
#include "cli/output_files.h"
#include "cli/output_plan.h"
#include "cli/page_output.h"
#include "cli/peak_collector.h"
#include "report/peak_row.h"
#include "cli/table_source.h"
#include "cli/table_summary.h"
#include "page/table_page.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <cstring>
#include <functional>
#include <optional>
#include <sys/stat.h>

std::vector<std::pair<const char*, const std::string*>> TableOutputs::files() const
{
    std::vector<std::pair<const char*, const std::string*>> all{{"report", &report}};
    if (!bed.empty())
        all.emplace_back("BED file", &bed);
    if (!plot.empty())
        all.emplace_back("plot file", &plot);
    if (!loci.empty())
        all.emplace_back("loci file", &loci);
    if (!members.empty())
        all.emplace_back("members file", &members);
    if (!page.empty())
        all.emplace_back("page", &page);
    return all;
}

TableJob singleTableJob(const RunOptions& options, const RunShared& shared)
{
    TableJob job;
    job.table = options.table;
    job.outputs = {options.reportPath, options.bedPath,         options.plotPath,   options.lociPath,
                   options.lociMembersPath, options.htmlPath, options.regionalDir};
    job.shared = shared;
    return job;
}

namespace {

// The outputs started at the beginning of a table, by name.
struct StartedOutputs {
    std::optional<OutputFile> report, bed, plot, loci, members, page;
};

void warnCount(TableOutcome& o, const std::string& table, long long count, const char* what)
{
    if (count != 0)
        warn(o, table, std::to_string(count) + " " + what);
}

void addWarnings(TableOutcome& o, const std::string& table, const TableReading& notes, bool sorted)
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
        stop(o, r.error.stdoutMessage, job.table + ": " + r.error.stderrLine);
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

// The regional figures' folder is made with the other outputs (a folder
// this table made goes again after a stop).
bool prepareRegionalFolder(const TableJob& job, TableOutcome& o)
{
    const std::string& folder = job.outputs.regionalFolder;
    if (folder.empty())
        return true;
    struct stat st;
    const bool existed = stat(folder.c_str(), &st) == 0;
    if (const int error = makeFolder(folder)) {
        stop(o, "Output file could not be written\n",
             error == EEXIST ? quoted(folder) + " is not a folder (-regional)"
                             : "cannot create the folder " + quoted(folder) + ": " + std::strerror(error));
        return false;
    }
    if (!existed)
        o.madeFolder = folder;
    return true;
}

// Starts every output of the job; false (with the stop in o) when one
// cannot be created.
bool startOutputs(const TableJob& job, StartedOutputs& files, TableOutcome& o)
{
    const TableOutputs& w = job.outputs;
    const std::pair<std::optional<OutputFile>*, const std::string*> slots[] = {
        {&files.report, &w.report}, {&files.bed, &w.bed}, {&files.plot, &w.plot},
        {&files.loci, &w.loci},     {&files.members, &w.members}, {&files.page, &w.page}};
    for (const auto& [what, path] : w.files()) {
        std::optional<OutputFile>* slot = nullptr;
        for (const auto& [s, p] : slots)
            if (p == path)
                slot = s;
        slot->emplace(*job.shared.temps);
        if (!(*slot)->open(*path)) {
            stop(o, "Output file could not be written\n",
                 std::string("cannot create ") + what + " " + quoted(*path) + ": " + std::strerror(errno));
            return false;
        }
    }
    return prepareRegionalFolder(job, o);
}

// The page's genome build card: the declared build, or the one the table's
// positions and rsIDs point to.
std::string pageBuildText(const RunOptions& options, const std::string& table, const TableBuildProbe& probe)
{
    if (!options.build.empty())
        return canonicalBuild(options.build) + " (declared)";
    const BuildCall call = probe.call(table);
    if (call.build.empty())
        return "not known";
    return call.build + " (inferred)";
}

} // namespace

void runTable(const RunOptions& options, const TableJob& job, TableOutcome& o)
{
    const auto started = std::chrono::steady_clock::now(); // for the page's run time
    // The regional figures read the table a second time: a pipe or device
    // cannot give them, so such a table stops before anything is opened.
    if (!job.outputs.regionalFolder.empty() && isSpecialFile(job.table))
        return stop(o, "Incorrect regional\n",
                    job.table + ": -regional reads the table a second time for each locus's window, and " +
                        quoted(job.table) + " is a pipe or device; write the table to a file first");
    OpenedTable opened = openTable(options, job.table, job.bytesRead);
    auto source = std::move(opened.source);
    if (!source && !opened.error.empty())
        return stop(o, "Input file could not be read\n", "input file " + quoted(job.table) + " " + opened.error);
    if (!source)
        return stop(o, "Input file not found\n", whyNotOpened(job.table));
    if (!opened.warning.empty())
        warn(o, job.table, opened.warning);
    TableLayout layout;
    std::vector<std::string> carriedNames;
    if (!decideColumns(options, job, source, layout, carriedNames, o))
        return;
    // The genome build's evidence, for standard error and the page's card.
    std::optional<TableBuildProbe> build;
    const bool buildLines = !options.build.empty() || job.shared.genes;
    if (buildLines || !job.outputs.page.empty())
        source = build.emplace().prepare(std::move(source), layout);
    StartedOutputs files;
    if (!startOutputs(job, files, o))
        return;
    OutputFile& report = *files.report;
    report.write(kReportHeader);
    PeakCollector peaks(options, job.table, report);
    std::optional<PlotCollector> figure; // its histogram alone takes 1.1 MB
    std::optional<FigureRows> figureRows; // after figure: stops before it goes
    if (files.plot || files.page) {
        figure.emplace(options.analysis.inlimit);
        figureRows.emplace(*figure, layout.log10Values);
    }
    std::optional<PageMarkers> pageMarkers; // the page's points, taken before the analysis takes the batch
    if (files.page)
        pageMarkers.emplace();
    TableReading notes;
    const bool complete = readTable(std::move(source), layout, options.analysis.inlimit,
                                    [&](ChromosomeBatch& batch) {
                                        if (pageMarkers)
                                            pageMarkers->take(batch);
                                        peaks.take(batch);
                                    },
                                    notes,
                                    figureRows ? &*figureRows : nullptr, build ? &*build : nullptr);
    if (figureRows)
        figureRows->finish();
    if (opened.vcf)
        warnCount(o, job.table, opened.vcf->skippedMultiAllelic,
                  "multi-allelic records were skipped: the study's fields do not hold one value per ALT allele");
    if (layout.headerLines > 0 && !notes.emptyInput)
        o.out += "extract header of size " + std::to_string(layout.headerLines) + "\n";
    if (!complete) {
        peaks.finishHanded();
        if (report.close()) { // the rows found so far stay in the report
            o.finished.push_back(std::move(report));
            o.keepReport = true;
        }
        return stop(o, "Input file could not be read\n",
                    "input file " + quoted(job.table) + " is damaged or cut off; the report holds the peaks found "
                    "before the damage");
    }
    if (const std::string cause = unusableTableCause(job.table, layout, notes); !cause.empty()) {
        addWarnings(o, job.table, notes, options.sortMarkers);
        return stop(o, "No usable rows in input file\n", cause);
    }
    // The font configuration loads on a second thread while this one finds
    // the loci and builds the figure's scene, ready for the PNG or PDF figures.
    std::optional<FontWarmUp> fonts;
    if (rendersRasterFigures(options))
        fonts.emplace();
    peaks.finish();
    if (!report.close())
        return stop(o, "Output file could not be written\n",
                    "report file " + quoted(job.outputs.report) + " could not be written: " +
                        std::strerror(report.error()));
    o.finished.push_back(std::move(report));
    const TableLoci loci =
        tableLoci(options, notes, peaks.peaks(), job.shared.genes, {job.shared.ldPanel, job.table, carriedNames});
    if (!loci.ldError.empty())
        return stop(o, "Incorrect loci_ld\n", loci.ldError);
    // The loci file is written a piece at a time; the list's study table
    // and index page read its whole text, the page only the first lines it
    // lists.
    const bool wholeLociText = options.listMode && (options.loci || files.page);
    if (wholeLociText)
        o.lociText = lociText(loci, notes, peaks.peaks(), carriedNames);
    page::ListedText pageLoci;
    const std::function<void(const std::string&)> toPage = [&](const std::string& piece) { pageLoci.add(piece); };
    if (files.bed && !writeBed(o, std::move(*files.bed), job.table, peaks.peaks()))
        return;
    std::optional<DrawnFigure> drawn;
    if (figure) {
        addLociToPlot(*figure, loci, notes);
        drawn = drawFigure(job.table, std::move(*figure), peaks.peaks(), options);
        // The page embeds the figure's SVG text; a PNG or PDF alone needs none.
        if (files.page)
            drawn->svg = sceneSvg(drawn->scene);
    }
    // Building the scenes takes no font; painting them lays their text out
    // on this thread, once the fonts have loaded, never beside the loading.
    fonts.reset();
    if (files.plot && !writePlot(o, std::move(*files.plot), *drawn))
        return;
    if (files.loci && !(wholeLociText ? writeText(o, std::move(*files.loci), "loci file", o.lociText)
                                      : writeLociFile(o, std::move(*files.loci), loci, notes, peaks.peaks(),
                                                      carriedNames,
                                                      files.page ? toPage : std::function<void(const std::string&)>())))
        return;
    if (files.page && wholeLociText)
        pageLoci.add(o.lociText);
    else if (files.page && !files.loci)
        writeLociFile(loci.result, notes.candidates, peaks.peaks(), carriedNames, toPage, loci.genes);
    if (files.members && !writeText(o, std::move(*files.members), "members file", loci.membersText))
        return;
    const RegionalJob regionalJob{options, job, layout, loci, notes, peaks.peaks()};
    std::vector<bool> wanted(loci.result.loci.size(), !job.outputs.regionalFolder.empty());
    if (files.page)
        markPageFigures(pageLoci.text(), loci, notes, wanted);
    // Each figure is written as it is drawn; the page keeps those it embeds
    // as data.
    std::map<size_t, std::string> pageRegional;
    if (std::find(wanted.begin(), wanted.end(), true) != wanted.end()) {
        std::optional<RegionalWriter> writer;
        if (!job.outputs.regionalFolder.empty())
            writer.emplace(regionalJob, o);
        std::vector<bool> onPage(wanted.size(), false);
        if (files.page)
            markPageFigures(pageLoci.text(), loci, notes, onPage);
        std::string why;
        std::vector<std::string> unusedReferences;
        const bool read = regionalFigures(regionalJob, wanted, [&](size_t k, const RegionalFigure& figure) {
            if (onPage[k])
                pageRegional[k] = regionalJson(figure);
            return !writer || writer->write(k, regionalScene(figure, RegionalSettings()));
        }, why, &unusedReferences);
        if (!o.ok)
            return;
        // In list mode an id is usually meant for one of the tables: only a
        // single table's run names the ids it did not use.
        for (const std::string& id : options.listMode ? std::vector<std::string>() : unusedReferences)
            warn(o, job.table, "-regional-ld-ref " + quoted(id) + " is in no regional figure's window, so no "
                               "figure takes it as its r\u00b2 reference");
        if (!read) {
            if (writer)
                return stop(o, "Input file could not be read\n", why + "; no regional figure is drawn");
            warn(o, job.table, why + "; the page shows no regional figure");
        }
    }
    addWarnings(o, job.table, notes, options.sortMarkers);
    warnUnsafeFields(o, job.table, peaks.peaks());
    if (job.shared.genes && !anyChromosomeMatches(*job.shared.genes, notes.chromosomes.names()))
        warn(o, job.table, "no chromosome of the table is named as in the gene annotation (a different genome "
                           "build or chromosome naming?); the gene columns are '.'");
    if (build && buildLines)
        o.err += tableBuildLines(job.table, options.build, *build, job.shared.genesBuild, job.shared.genes);
    o.err += tableSummary(job.table, layout, notes, peaks.peaks(), loci.result, options.lociWindow,
                          [&](size_t k) { return loci.note(k); });
    o.err += loci.ldNotes;
    o.facts = tableFacts(notes, loci, peaks.peaks(), drawn ? drawn->lambda : std::string());
    o.facts.lambdaNote = drawn ? drawn->lambdaNote : std::string();
    if (files.page) {
        PageExtras extras;
        extras.figure = drawn ? &*drawn : nullptr;
        extras.markers = &*pageMarkers;
        extras.regional = std::move(pageRegional);
        extras.buildText = pageBuildText(options, job.table, *build);
        extras.ldPanelText = options.ldPanel;
        extras.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        extras.lociFileName = job.outputs.loci;
        const std::string html = tablePageText(options, job.table, peaks.peaks(), pageLoci.text(), loci, notes,
                                               std::move(extras), o.err, o.facts);
        writeText(o, std::move(*files.page), "page", html);
    }
}
