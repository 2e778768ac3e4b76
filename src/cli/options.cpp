// Option reading. Whole numbers and reals are read by the tool's own
// conversions; the checks below decide what text that is not a number means
// for each option. Every stop gives the option's message on standard output
// and its reason on standard error.
#include "cli/options.h"

#include "report/number_format.h"
#include "io/number_parsing.h"
#include "plot/figure_render.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <thread>

namespace {

const char* const kOptionWords[] = {"-file",   "-out",     "-delim",    "-lcolumn",    "-pcolumn", "-chrcolumn",
                                    "-header", "-header-size", "-dots", "-shrink",     "-peak-limit",
                                    "-inlimit", "-list",   "-missing",  "-idcolumn",   "-bed",     "-format",
                                    "-log10p", "-sort",    "-plot",     "-threads",    "-loci",    "-loci-p",
                                    "-loci-window", "-carry", "-genes", "-gene-types", "-plot-title", "-plot-size",
                                    "-regional", "-regional-format", "-keep-going", "-outdir", "-html",
                                    "-loci-ld", "-loci-r2", "-loci-p2", "-loci-ld-samples", "-loci-members",
                                    "-vcf-study", "-build"};

const char* const kColumnWords[] = {"-lcolumn", "-pcolumn", "-chrcolumn", "-format"};

bool isOptionWord(const char* word)
{
    for (const char* option : kOptionWords)
        if (std::strcmp(word, option) == 0)
            return true;
    return false;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// The column numbers of the request into the layout (names and absent
// columns give 0).
void fillNumbers(TableLayout& t, const ColumnRequest& c)
{
    t.positionColumn = c.position ? c.position->number : 0;
    t.pvalueColumn = c.pvalue ? c.pvalue->number : 0;
    t.chromosomeColumn = c.chromosome ? c.chromosome->number : 0;
    t.idColumn = c.id ? c.id->number : 0;
}

// Reads one option group after another; each returns false at the first
// bad option, with its message and reason added.
class OptionReader {
public:
    OptionReader(const std::vector<std::string>& words, ParsedOptions& parsed)
        : words_(words), out_(parsed.options), messages_(parsed.messages), errors_(parsed.errors)
    {
    }

    bool inputs();
    bool columns();
    bool analysis();
    bool outputs();
    bool loci();
    bool lociLd();
    bool figures();
    bool study();

private:
    bool lociOutput();
    bool extraOutput(const char* word, const char* message, const char* extension, bool& wanted, std::string& path);
    bool threads();
    // Value of the first occurrence of word, or null when absent.
    const std::string* value(const char* word) const
    {
        const auto it = std::find(words_.begin(), words_.end(), word);
        if (it == words_.end() || it + 1 == words_.end())
            return nullptr;
        return &*(it + 1);
    }
    bool yes(const char* word) const
    {
        const std::string* v = value(word);
        return v && *v == "yes";
    }
    // A yes/no option: absent or "no" is off, "yes" on, anything else an
    // error with message.
    bool yesNo(const char* word, const char* message, bool& on)
    {
        const std::string* v = value(word);
        on = v && *v == "yes";
        if (!v || *v == "yes" || *v == "no")
            return true;
        return fail(message, std::string(word) + " " + quoted(*v) + " must be yes or no");
    }
    bool fail(const char* message, const std::string& reason)
    {
        messages_ += message;
        errors_ += "quorlin: " + reason + "\n";
        return false;
    }
    bool separator();
    bool column(const char* word, const char* message, std::optional<ColumnChoice>& choice, bool required);
    bool realOption(const char* word, const char* message, double& out);

    const std::vector<std::string>& words_;
    RunOptions& out_;
    std::string& messages_;
    std::string& errors_;
};

// Where a table's default outputs go: beside it, or in -outdir under its
// file name.
std::string outputBase(const std::string& table, const std::string& outdir)
{
    if (outdir.empty())
        return table;
    const size_t slash = table.rfind('/');
    return outdir + "/" + (slash == std::string::npos ? table : table.substr(slash + 1));
}

bool OptionReader::inputs()
{
    const std::string* file = value("-file");
    out_.table = file ? *file : std::string();
    if (const std::string* v = value("-outdir")) {
        if (v->empty())
            return fail("Incorrect outdir\n", "-outdir needs a folder");
        out_.outdir = *v;
    }
    if (const std::string* list = value("-list")) {
        out_.listFile = *list;
        out_.listMode = true;
    }
    if (out_.listFile.empty() && out_.table.empty())
        return fail("You need to specify '-file' or '-list'.\n\n", "no input: give -file TABLE or -list FILE");
    if (const std::string* out = value("-out")) {
        out_.reportPath = *out;
    } else {
        out_.reportPath = outputBase(out_.table, out_.outdir) + ".out";
        messages_ += "output name = input name + '.out'\n";
    }
    return separator();
}

bool OptionReader::separator()
{
    const std::string* format = value("-format");
    if (format && !(out_.columns.preset = findFormatPreset(*format)))
        return fail("Incorrect format\n", "-format " + quoted(*format) + " is not known; the formats are " +
                                              formatPresetNames());
    const std::string* delim = value("-delim");
    if (delim && delim->empty())
        return fail("Incorrect delim\n", "-delim needs a separator word (tab, comma, whitespace, ...) or text");
    if (delim && *delim == "\\t")
        errors_ += "quorlin: warning: -delim '\\t' is the two characters backslash and t; for tabs use -delim tab\n";
    if (const std::string* study = value("-vcf-study"))
        out_.vcfStudy = *study;
    if (const std::string* build = value("-build"))
        out_.build = *build;
    if (!delim && out_.columns.preset)
        out_.layout.separator = presetSeparator(*out_.columns.preset);
    else
        out_.layout.separator = separatorForWord(delim ? *delim : std::string("tab"));
    return true;
}

// A column option: a whole number from 1, a header name, or,
// when absent, whatever the -format preset gives.
bool OptionReader::column(const char* word, const char* message, std::optional<ColumnChoice>& choice, bool required)
{
    const std::string* v = value(word);
    if (!v) {
        if (!required || out_.columns.preset)
            return true;
        return fail(message, std::string(word) + " is missing: give its column number (from 1) or header name");
    }
    choice = parseColumnChoice(*v);
    if (choice->byName) {
        out_.columnsByName = true;
        if (yes("-header") || out_.columns.preset)
            return true;
        return fail(message, std::string(word) + " " + quoted(*v) +
                                 " is not a column number (from 1); as a column name it needs -header yes");
    }
    if (choice->number >= 1)
        return true;
    return fail(message, std::string(word) + " " + quoted(*v) + " is not a column number (from 1) or a header name");
}

bool OptionReader::columns()
{
    ColumnRequest& c = out_.columns;
    if (!column("-lcolumn", "Incorrect lcolumn\n", c.position, true) ||
        !column("-pcolumn", "Incorrect pcolumn\n", c.pvalue, true) ||
        !column("-chrcolumn", "Incorrect chrcolumn\n", c.chromosome, true) ||
        !column("-idcolumn", "Incorrect idcolumn\n", c.id, false))
        return false;
    TableLayout& t = out_.layout;
    const std::string* header = value("-header");
    if (header && *header != "yes")
        errors_ += "quorlin: warning: -header " + quoted(*header) + " is not 'yes', so no header line is skipped\n";
    const std::string* size = value("-header-size");
    bool sizeOk = false;
    const int given = size ? toInt32(size->data(), size->size(), &sizeOk) : 1;
    if (size && !size->empty() && !sizeOk)
        errors_ += "quorlin: warning: -header-size " + quoted(*size) + " is not a whole number that fits; 1 is used\n";
    const int lines = sizeOk ? std::max(given, 1) : 1;
    t.headerLines = header && *header == "yes" ? lines : 0;
    if (!header && c.preset)
        t.headerLines = c.preset->headerLines;
    if (c.preset)
        out_.columnsByName = true;
    else if (!out_.columnsByName)
        fillNumbers(t, c);
    return yesNo("-log10p", "Incorrect log10p\n", t.log10Values);
}

bool OptionReader::realOption(const char* word, const char* message, double& out)
{
    const std::string* v = value(word);
    if (!v)
        return true;
    bool ok = false;
    out = toDouble(*v, &ok);
    if (ok && out >= 0)
        return true;
    return fail(message, std::string(word) + " " + quoted(*v) + " must be a number of 0 or more");
}

bool OptionReader::analysis()
{
    AnalysisSettings& a = out_.analysis;
    if (!realOption("-shrink", "Incorrect shrink\n", a.shrink))
        return false;
    if (const std::string* v = value("-dots"))
        a.dots = toInt32(*v);
    if (a.dots < 1)
        return fail("Incorrect dots\n", "-dots " + quoted(*value("-dots")) + " must be a whole number of 1 or more");
    if (!realOption("-peak-limit", "Incorrect peak_threshold\n", a.peakThreshold))
        return false;
    if (const std::string* missing = value("-missing"))
        out_.layout.missing = *missing;
    if (const std::string* v = value("-inlimit")) {
        bool number = false;
        const double limit = toDouble(v->data(), v->size(), &number);
        if (!number || std::isnan(limit))
            errors_ += "quorlin: warning: -inlimit " + quoted(*v) + " is not a number; 0.001 is used\n";
        a.inlimit = number && limit > 0 ? limit : 0.001;
        messages_ += "inlimit = " + formatReal(a.inlimit) + "\n";
    }
    return yesNo("-sort", "Incorrect sort\n", out_.sortMarkers) && threads();
}

bool OptionReader::threads()
{
    const std::string* v = value("-threads");
    if (!v)
        return true;
    bool ok = false;
    const int n = toInt32(v->data(), v->size(), &ok);
    if (!ok || n < 0)
        return fail("Incorrect threads\n", "-threads " + quoted(*v) + " must be a whole number of 0 (every core) or more");
    out_.threads = n > 0 ? n : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    if (out_.threads > kMaxThreads) {
        errors_ += "quorlin: warning: -threads " + quoted(*v) + " is more than " + std::to_string(kMaxThreads) +
                   "; " + std::to_string(kMaxThreads) + " are used\n";
        out_.threads = kMaxThreads;
    }
    return true;
}

// An extra output file: in list mode only "yes" (each table's file beside its
// report), else a path ("yes": the table's path + extension).
bool OptionReader::extraOutput(const char* word, const char* message, const char* extension, bool& wanted,
                               std::string& path)
{
    const std::string* v = value(word);
    if (!v || *v == "no")
        return true;
    wanted = true;
    if (out_.listMode) {
        if (*v == "yes")
            return true;
        return fail(message, std::string("in list mode ") + word + " takes 'yes': each table's file is written "
                                 "beside its report as TABLE" + extension);
    }
    path = *v == "yes" ? outputBase(out_.table, out_.outdir) + extension : *v;
    if (path.empty() || path == out_.reportPath || (path == out_.bedPath && &path != &out_.bedPath))
        return fail(message, std::string("the ") + word + " file must have a name of its own, not " + quoted(path));
    return true;
}

bool OptionReader::outputs()
{
    return extraOutput("-bed", "Incorrect bed\n", ".bed", out_.bed, out_.bedPath) &&
           extraOutput("-plot", "Incorrect plot\n", ".svg", out_.plot, out_.plotPath) &&
           lociOutput() &&
           extraOutput("-loci-members", "Incorrect loci_members\n", ".loci.members.tsv", out_.lociMembers,
                       out_.lociMembersPath) &&
           extraOutput("-html", "Incorrect html\n", ".html", out_.html, out_.htmlPath);
}

// -loci, or "-loci yes" where only -loci-ld is given.
bool OptionReader::lociOutput()
{
    if (value("-loci") || !value("-loci-ld"))
        return extraOutput("-loci", "Incorrect loci\n", ".loci.tsv", out_.loci, out_.lociPath);
    out_.loci = true;
    if (!out_.listMode)
        out_.lociPath = outputBase(out_.table, out_.outdir) + ".loci.tsv";
    return true;
}

bool OptionReader::lociLd()
{
    const std::string* panel = value("-loci-ld");
    if (!panel) {
        for (const char* word : {"-loci-r2", "-loci-p2", "-loci-ld-samples", "-loci-members"})
            if (value(word))
                errors_ += std::string("quorlin: warning: ") + word + " is used with -loci-ld only\n";
        out_.lociMembers = false;
        out_.lociMembersPath.clear();
        return true;
    }
    if (panel->empty())
        return fail("Incorrect loci_ld\n", "-loci-ld needs a PLINK fileset (its prefix or .bed)");
    out_.ldPanel = *panel;
    if (const std::string* v = value("-loci-r2")) {
        bool ok = false;
        const double r2 = toDouble(*v, &ok);
        if (!ok || !(r2 > 0 && r2 <= 1))
            return fail("Incorrect loci_r2\n", "-loci-r2 " + quoted(*v) + " must be a number above 0 and at most 1");
        out_.lociR2 = r2;
    }
    out_.lociP2 = out_.layout.lociThreshold;
    if (const std::string* v = value("-loci-p2")) {
        bool ok = false;
        const double p2 = toDouble(*v, &ok);
        if (!ok || !(p2 > 0 && p2 <= 1) || p2 < out_.layout.lociThreshold)
            return fail("Incorrect loci_p2\n", "-loci-p2 " + quoted(*v) +
                                                   " must be a number at most 1 and not below -loci-p (" +
                                                   formatReal(out_.layout.lociThreshold) + ")");
        out_.lociP2 = p2;
    }
    out_.layout.lociMemberThreshold = out_.lociP2;
    if (const std::string* v = value("-loci-ld-samples")) {
        if (v->empty())
            return fail("Incorrect loci_ld\n", "-loci-ld-samples needs a file of sample ids");
        out_.ldSamples = *v;
    }
    return true;
}

bool OptionReader::loci()
{
    if (const std::string* v = value("-loci-p")) {
        bool ok = false;
        const double p = toDouble(*v, &ok);
        if (!ok || !(p > 0 && p <= 1))
            return fail("Incorrect loci_p\n", "-loci-p " + quoted(*v) + " must be a number above 0 and at most 1");
        out_.layout.lociThreshold = p;
    }
    if (const std::string* v = value("-loci-window")) {
        bool ok = false;
        const int32_t w = toInt32(*v, &ok);
        if (!ok || w < 0)
            return fail("Incorrect loci_window\n",
                        "-loci-window " + quoted(*v) + " must be a whole number of base pairs, 0 or more");
        out_.lociWindow = w;
    }
    if (const std::string* v = value("-carry")) {
        out_.columns.carry = parseCarryRequest(*v);
        if (!out_.columns.carry->none) {
            if (out_.layout.headerLines == 0 && !out_.columns.preset &&
                std::any_of(out_.columns.carry->columns.begin(), out_.columns.carry->columns.end(),
                            [](const ColumnChoice& c) { return c.byName; }))
                return fail("Incorrect carry\n", "-carry " + quoted(*v) + " names columns; names need -header yes");
            out_.columnsByName = true; // carried columns take their names from each table's header
        }
    }
    if (const std::string* v = value("-genes")) {
        if (v->empty())
            return fail("Incorrect genes\n", "-genes needs a GTF, GFF3 or BED file of genes");
        out_.genesPath = *v;
    }
    if (const std::string* v = value("-gene-types")) {
        std::string why;
        if (!parseGeneTypes(*v, out_.geneTypes, why))
            return fail("Incorrect gene_types\n", "-gene-types " + quoted(*v) + ": " + why);
    }
    return true;
}

bool OptionReader::figures()
{
    if (const std::string* v = value("-plot-title"))
        out_.plotTitle = *v;
    if (const std::string* v = value("-plot-size")) {
        QSize size;
        if (!parseFigureSize(QString::fromStdString(*v), &size))
            return fail("Incorrect plot_size\n", "-plot-size " + quoted(*v) + " must be WIDTHxHEIGHT in pixels, from " +
                                                      std::to_string(kMinFigureSize.width()) + "x" +
                                                      std::to_string(kMinFigureSize.height()) + " to " +
                                                      std::to_string(kMaxFigureSide) + " each way");
        out_.plotWidth = size.width();
        out_.plotHeight = size.height();
    }
    if (const std::string* v = value("-regional-format")) {
        FigureFormat format;
        if (!figureFormatOfWord(QString::fromStdString(*v), &format))
            return fail("Incorrect regional_format\n", "-regional-format " + quoted(*v) + " must be svg, png or pdf");
        out_.regionalFormat = *v;
    }
    if (const std::string* v = value("-regional")) {
        if (out_.listMode && *v != "yes")
            return fail("Incorrect regional\n", "in list mode -regional takes 'yes': each table's figures go to "
                                                 "the folder TABLE.regional beside its report");
        if (v->empty())
            return fail("Incorrect regional\n", "-regional needs a folder");
        out_.regionalDir = *v == "yes" ? outputBase(out_.table, out_.outdir) + ".regional" : *v;
    }
    return true;
}

bool OptionReader::study()
{
    return yesNo("-keep-going", "Incorrect keep_going\n", out_.keepGoing);
}

} // namespace

std::string outputBaseOf(const std::string& table, const std::string& outdir)
{
    return outputBase(table, outdir);
}

std::vector<std::string> knownOptionWords()
{
    return std::vector<std::string>(std::begin(kOptionWords), std::end(kOptionWords));
}

std::vector<std::string> collectOptionWords(int argc, char** argv)
{
    std::vector<std::string> words;
    for (int i = 1; i <= argc - 2; ++i) {
        if (isOptionWord(argv[i])) {
            words.emplace_back(argv[i]);
            words.emplace_back(argv[i + 1]);
        }
    }
    return words;
}

std::vector<std::string> unknownOptionWords(int argc, char** argv)
{
    std::vector<std::string> unknown;
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        const bool valueOfOption = i > 1 && isOptionWord(argv[i - 1]);
        bool number = false;
        toDouble(word, std::strlen(word), &number);
        if (word[0] == '-' && word[1] != '\0' && !number && !isOptionWord(word) && !valueOfOption)
            unknown.emplace_back(word);
    }
    return unknown;
}

ParsedOptions parseOptions(const std::vector<std::string>& words)
{
    ParsedOptions parsed;
    OptionReader reader(words, parsed);
    parsed.ok = reader.inputs() && reader.columns() && reader.analysis() && reader.outputs() && reader.loci() &&
                reader.lociLd() &&
                reader.figures() && reader.study();
    parsed.noColumnOptions = std::none_of(std::begin(kColumnWords), std::end(kColumnWords), [&](const char* word) {
        return std::find(words.begin(), words.end(), word) != words.end();
    });
    return parsed;
}

bool rendersRasterFigures(const RunOptions& options)
{
    FigureFormat plot = FigureFormat::Svg, regional = FigureFormat::Svg;
    figureFormatOfPath(QString::fromStdString(options.plotPath), &plot);
    figureFormatOfWord(QString::fromStdString(options.regionalFormat), &regional);
    return plot != FigureFormat::Svg || (!options.regionalDir.empty() && regional != FigureFormat::Svg);
}
