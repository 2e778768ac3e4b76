// Single-table and list runs. Each table's messages are printed when the
// table is done; the first error stop ends the run. At a terminal, a long
// run shows how far it is on standard error.
#include "cli/run.h"

#include "ld/ld_panel.h"
#include "io/gwas_vcf.h"
#include "io/line_reader.h"
#include "cli/list_run.h"
#include "cli/options.h"
#include "cli/output_plan.h"
#include "cli/page_output.h"
#include "report/peak_row.h"
#include "cli/progress_line.h"
#include "cli/study_loci.h"
#include "cli/table_job.h"

#include <algorithm>
#include <chrono>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace {

bool say(const std::string& out, const std::string& err, bool ok)
{
    std::fputs(out.c_str(), stdout);
    std::fputs(err.c_str(), stderr);
    return ok;
}

bool showProgress() { return isatty(STDERR_FILENO) == 1; }

// The inputs besides the tables that no output may replace.
std::vector<NamedInput> otherInputs(const RunOptions& options, const LdPanel* panel)
{
    std::vector<NamedInput> inputs{{"list file", options.listMode ? options.listFile : std::string()},
                                   {"gene annotation", options.genesPath},
                                   {"LD sample list", options.ldSamples}};
    if (panel)
        for (const std::string& path : ldPanelFiles(*panel))
            inputs.push_back({"LD panel file", path});
    return inputs;
}

bool checkedPaths(PathPlan& paths, const std::vector<TableJob>& jobs, const RunOptions& options,
                  const std::vector<std::string>& listOutputs = {})
{
    const PathConflict conflict =
        paths.check(jobs, otherInputs(options, jobs.empty() ? nullptr : jobs.front().shared.ldPanel), listOutputs);
    return conflict.empty() || say(conflict.message, "quorlin: " + conflict.reason + "\n", false);
}

// The -outdir folder, made when missing (its parents are not).
bool outputFolderReady(const std::string& folder)
{
    const int error = folder.empty() ? 0 : makeFolder(folder);
    return error == 0 || say("Output file could not be written\n",
                             "quorlin: cannot create the output folder '" + folder + "': " + std::strerror(error) +
                                 "\n",
                             false);
}

// One of the list's own outputs (the study's loci table, the index page).
bool writeListOutput(TemporaryFiles& temps, const std::string& path, const char* what, const std::string& text)
{
    OutputFile file(temps);
    if (file.open(path) && (file.write(text), file.commit()))
        return true;
    return say("Output file could not be written\n",
               "quorlin: " + std::string(what) + " '" + path + "' could not be written: " +
                   std::strerror(file.error()) + "\n",
               false);
}

// The gene annotation, read before any output is touched.
bool loadGenes(const RunOptions& options, std::optional<GeneAnnotation>& genes)
{
    if (options.genesPath.empty())
        return true;
    // Exons are drawn only in the regional figures (also on the page).
    const bool exons = !options.regionalDir.empty() || options.html;
    genes = readGeneAnnotation(options.genesPath, options.geneTypes, exons);
    if (genes->ok) {
        std::fputs(geneTypeWarning(*genes, options.genesPath, options.geneTypes).c_str(), stderr);
        std::fputs(annotationBuildLine(options.genesPath, genes->build).c_str(), stderr);
        return true;
    }
    return say("Incorrect genes\n", "quorlin: -genes '" + options.genesPath + "': " + genes->error + "\n", false);
}

// The LD panel's variants and samples, read before any output is touched.
bool loadPanel(const RunOptions& options, std::optional<LdPanel>& panel)
{
    if (options.ldPanel.empty())
        return true;
    panel.emplace();
    std::string why, warnings;
    if (!openLdPanel(options.ldPanel, options.ldSamples, *panel, why, warnings))
        return say("Incorrect loci_ld\n", "quorlin: -loci-ld '" + options.ldPanel + "': " + why + "\n", false);
    std::fputs(warnings.c_str(), stderr);
    return true;
}

bool runOne(const RunOptions& options, const RunShared& shared)
{
    const std::vector<TableJob> jobs{singleTableJob(options, shared)};
    if (!checkedPaths(*shared.paths, jobs, options) || !outputFolderReady(options.outdir))
        return false;
    std::fflush(stdout);
    std::atomic<uint64_t> bytesRead{0};
    const uint64_t size = fileSize(options.table);
    ProgressLine progress(showProgress(), [&] { return options.table + ": " + bytesProgress(bytesRead.load(), size); });
    TableJob counted = jobs.front();
    counted.bytesRead = &bytesRead;
    TableOutcome o = runTableGuarded(options, counted);
    publish(o);
    progress.print(o.out, o.err);
    return o.ok;
}

// The tables of a list: one path per line, blank lines skipped; a list
// holding NUL bytes (find -print0) has one path between NULs, so a path may
// hold any other byte.
std::vector<std::string> tablesOfList(LineReader& list)
{
    std::string text;
    std::string_view line;
    while (!list.atEnd() && list.next(line)) {
        text.append(line);
        text += '\n';
    }
    const char separator = text.find('\0') != std::string::npos ? '\0' : '\n';
    if (separator == '\0' && !text.empty())
        text.pop_back(); // the line end added after the last piece
    std::vector<std::string> tables;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos)
            end = text.size();
        const std::string path = text.substr(start, end - start);
        if (path.find_first_not_of(" \t\n") != std::string::npos)
            tables.push_back(path);
        start = end + 1;
    }
    return tables;
}

// The whole list is read before any table is analysed, so that a damaged
// list never names a table made of damaged bytes.
bool runList(const RunOptions& options, const RunShared& shared)
{
    const auto started = std::chrono::steady_clock::now(); // for the index page's run time
    const std::string& path = options.listFile;
    auto source = openInput(path);
    if (!source)
        return say("List file not found\n", "quorlin: list file '" + path + "' not found\n", false);
    LineReader list(std::move(source));
    const std::vector<std::string> tables = tablesOfList(list);
    if (list.failed())
        return say("List file could not be read\n",
                   "quorlin: list file '" + path + "' is damaged or cut off; no table of it was analysed\n", false);
    const std::vector<TableJob> jobs = listJobs(options, tables, shared);
    const std::string studyBase = outputBaseOf(path, options.outdir);
    std::vector<std::string> studyOutputs;
    if (options.loci)
        studyOutputs.push_back(studyBase + ".loci.tsv");
    if (options.html)
        studyOutputs.push_back(studyBase + ".html");
    if (!checkedPaths(*shared.paths, jobs, options, studyOutputs) || !outputFolderReady(options.outdir))
        return false;
    std::fflush(stdout);
    std::atomic<size_t> done{0};
    const std::string total = std::to_string(tables.size());
    ProgressLine progress(showProgress(), [&] { return std::to_string(done.load()) + " of " + total + " tables done"; });
    std::vector<TableLociText> loci;
    std::vector<ListedTable> listed;
    std::vector<std::string> failed;
    size_t next = 0;
    const bool finished = runJobs(options, jobs, [&](const TableOutcome& o) {
        ++done;
        progress.print(o.out, o.err);
        const TableJob& job = jobs[next++];
        if (!o.ok)
            failed.push_back(job.table);
        else if (options.loci)
            loci.push_back({job.table, o.lociText});
        const std::string message = o.out.empty() ? o.err : o.out.substr(0, o.out.find('\n'));
        listed.push_back({job.table, job.outputs.page, o.ok ? "" : message, o.facts, o.ok ? o.lociText : ""});
        return o.ok || options.keepGoing;
    });
    if (!finished)
        return false;
    bool ok = failed.empty();
    if (options.loci && std::any_of(tables.begin(), tables.end(), [](const std::string& t) { return !isTsvSafe(t); }))
        std::fputs(("quorlin: warning: " + path + ": a table name holds a tab, carriage return or line feed; each "
                    "is written as a space in the study's loci table\n").c_str(),
                   stderr);
    if (options.loci && !writeListOutput(*shared.temps, studyOutputs.front(), "the study's loci table",
                                         studyLociText(loci, options.lociWindow)))
        ok = false;
    if (options.html && !writeListOutput(*shared.temps, studyOutputs.back(), "the index page",
                                         indexPageText(options, studyOutputs.back(), listed,
                                                       std::chrono::duration<double>(
                                                           std::chrono::steady_clock::now() - started).count())))
        ok = false;
    if (!failed.empty()) {
        std::string names;
        for (const std::string& t : failed)
            names += (names.empty() ? "" : ", ") + t;
        std::fputs(("quorlin: " + std::to_string(failed.size()) + " of " + total + " tables failed: " + names + "\n")
                       .c_str(),
                   stderr);
    }
    return ok;
}

// When the columns are missing and the first table looks like a known
// program's output, the line that suggests its -format.
std::string formatHint(const RunOptions& options)
{
    std::string table = options.table;
    if (options.listMode)
        table = readLineOf(options.listFile, 1).value_or("");
    if (looksLikeVcf(table))
        return "quorlin: '" + table +
               "' is named as a VCF file: for GWAS-VCF summary statistics try -format gwas-vcf\n";
    const std::string suggestion = formatSuggestion(readLineOf(table, 1).value_or(""));
    return suggestion.empty() ? "" : "quorlin: " + suggestion + "\n";
}

} // namespace

bool runQuorlin(ParsedOptions parsed, TemporaryFiles& temps, const std::vector<std::string>& commandLine)
{
    parsed.options.commandLine = commandLine;
    const RunOptions& options = parsed.options;
    if (!parsed.ok)
        return say(parsed.messages, parsed.errors + (parsed.noColumnOptions ? formatHint(options) : ""), false);
    say(parsed.messages, parsed.errors, true);
    std::optional<GeneAnnotation> genes;
    if (!loadGenes(options, genes))
        return false;
    std::optional<LdPanel> panel;
    if (!loadPanel(options, panel))
        return false;
    PathPlan paths;
    RunShared shared;
    shared.temps = &temps;
    shared.paths = &paths;
    shared.genes = genes ? &genes->index : nullptr;
    shared.genesBuild = genes ? &genes->build : nullptr;
    shared.ldPanel = panel ? &*panel : nullptr;
    return options.listMode ? runList(options, shared) : runOne(options, shared);
}
