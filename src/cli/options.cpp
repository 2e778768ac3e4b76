// Option reading. Whole numbers and reals are read by the tool's own
// conversions; the checks below decide what text that is not a number means
// for each option. Every stop gives the option's message on standard output
// and its reason on standard error.
#include "cli/options.h"

#include "cli/option_reader.h"
#include "io/file_paths.h"

#include "report/number_format.h"
#include "io/number_parsing.h"

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
                                    "-vcf-study", "-build", "-regional-ld-ref", "-plot-ybreak", "-plot-format"};

const char* const kColumnWords[] = {"-lcolumn", "-pcolumn", "-chrcolumn", "-format"};

bool isOptionWord(const char* word)
{
    for (const char* option : kOptionWords)
        if (std::strcmp(word, option) == 0)
            return true;
    return false;
}

// The column numbers of the request into the layout (names and absent
// columns give 0).
void fillNumbers(TableLayout& t, const ColumnRequest& c)
{
    t.positionColumn = c.position ? c.position->number : 0;
    t.pvalueColumn = c.pvalue ? c.pvalue->number : 0;
    t.chromosomeColumn = c.chromosome ? c.chromosome->number : 0;
    t.idColumn = c.id ? c.id->number : 0;
}

} // namespace

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
