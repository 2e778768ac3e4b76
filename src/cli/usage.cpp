// Usage text. The -format names come from the preset table, so the summary
// lists exactly the presets the program knows.
#include "usage.h"

#include "format_presets.h"

#include <cstring>

namespace {

const char* const kSynopsis =
    "Usage: quorlin -file TABLE -lcolumn N|NAME -pcolumn N|NAME\n"
    "               -chrcolumn N|NAME [option value]...\n"
    "       quorlin -list FILE ... (same options)\n"
    "       quorlin -file TABLE -format NAME [option value]...\n"
    "       quorlin -h | -help | --help\n"
    "\n"
    "Finds the peaks of association in the -log10(p) profile of each\n"
    "chromosome of a GWAS results table and writes a tab-separated peak\n"
    "report. Every option is one word followed by its value.\n";

const char* const kInputOptions =
    "\n"
    "Input and output:\n"
    "  -file TABLE         the results table, plain or gzip-compressed\n"
    "  -list FILE          a file of table paths, one per line; each table\n"
    "                      gets its report in TABLE.out\n"
    "  -out REPORT         the report (default: the table's path + \".out\")\n"
    "  -bed FILE           also write the peaks as BED with lead markers\n"
    "                      (in list mode: yes, one file per table)\n"
    "  -plot FILE          also draw a Manhattan and a QQ plot: .svg, .png\n"
    "                      or .pdf (in list mode: yes, one SVG per table)\n"
    "  -plot-title TEXT    the figure's title (default: the table's name)\n"
    "  -plot-size WxH      the figure's size in px (default 1600x900)\n"
    "  -loci FILE          also write the genome-wide loci table\n"
    "                      (in list mode: yes, plus one study-wide table)\n"
    "  -loci-p P           loci significance threshold (default 5e-8)\n"
    "  -loci-window W      loci window in bp (default 500000)\n"
    "  -carry COLS         lead row columns the loci table carries, or none\n"
    "  -genes FILE         GTF, GFF3 or BED genes: nearest and overlapping\n"
    "                      genes of every locus\n"
    "  -gene-types LIST    gene types that count (default protein_coding;\n"
    "                      all for every gene)\n"
    "  -regional DIR       one figure per locus in DIR (list mode: yes)\n"
    "  -regional-format F  svg (default), png or pdf\n"
    "  -html FILE          a self-contained page of the results (in list\n"
    "                      mode: yes, plus an index page of the list)\n"
    "  -outdir DIR         every output into DIR instead of beside its table\n"
    "  -keep-going yes     a failing table of a list does not stop the list\n";

const char* const kTableOptions =
    "\n"
    "Table layout:\n"
    "  -lcolumn N|NAME     column of the marker position (required)\n"
    "  -pcolumn N|NAME     column of the p-value (required)\n"
    "  -chrcolumn N|NAME   column of the chromosome name (required)\n"
    "  -idcolumn N|NAME    column of the marker id (default: none)\n"
    "                      Columns count from 1. A NAME is looked up in the\n"
    "                      last header line: exact first, then ignoring\n"
    "                      letter case; needs -header yes.\n"
    "  -delim WORD         tab (default), space, comma, semicolon, colon,\n"
    "                      bslash, slash, dash, quote, squote, whitespace\n"
    "                      (runs of blanks and tabs), or the literal text\n"
    "  -header yes         skip the header lines (default: no header)\n"
    "  -header-size N      number of header lines (default 1)\n"
    "  -missing WORD       marks a missing position or p-value (default NA)\n"
    "  -log10p yes         the p column holds -log10(p) (default: raw p)\n"
    "  -vcf-study NAME     the study (sample column) of a -format gwas-vcf\n"
    "                      file (default: the first)\n"
    "  -sort yes           sort each chromosome's retained markers by\n"
    "                      position first (default: table order)\n";

const char* const kAnalysisOptions =
    "\n"
    "Analysis:\n"
    "  -inlimit P          largest p-value retained (default 0.001)\n"
    "  -peak-limit X       height threshold on -log10(p) (default 5)\n"
    "  -dots N             a reported peak spans more than N marker steps\n"
    "                      (default 5)\n"
    "  -shrink X           scale of the compression of strong stretches\n"
    "                      (default 2)\n"
    "  -threads N          worker threads (default 1; 0 = all cores)\n";

const char* const kExamples =
    "\n"
    "Examples:\n"
    "  quorlin -file results.tsv.gz -lcolumn 2 -pcolumn 8 -chrcolumn 1 \\\n"
    "          -header yes\n"
    "  quorlin -file trait.assoc.linear -format plink -out trait.peaks \\\n"
    "          -bed trait.bed -plot trait.svg\n";

constexpr size_t kTextColumn = 22; // where option descriptions start
constexpr size_t kLineWidth = 79;

// The preset names as indented lines of at most kLineWidth columns.
std::string wrappedPresetNames()
{
    const std::string indent(kTextColumn, ' ');
    std::string out, line = indent;
    for (const FormatPreset& preset : formatPresets()) {
        const std::string item = std::string(preset.name) + (&preset == &formatPresets().back() ? "" : ",");
        if (line.size() > indent.size() && line.size() + 1 + item.size() > kLineWidth) {
            out += line + "\n";
            line = indent;
        }
        line += (line.size() > indent.size() ? " " : "") + item;
    }
    return out + line + "\n";
}

std::string formatOptionText()
{
    return "  -format NAME        fill in the delimiter, header and column names\n"
           "                      of a program's output; column options given\n"
           "                      as well win. NAME is one of:\n" +
           wrappedPresetNames();
}

} // namespace

std::string usageText()
{
    return std::string(kSynopsis) + kInputOptions + kTableOptions + formatOptionText() + kAnalysisOptions +
           kExamples;
}

bool isHelpRequest(int argc, const char* const* argv)
{
    if (argc != 2 || !argv[1])
        return false;
    const char* word = argv[1];
    return std::strcmp(word, "-h") == 0 || std::strcmp(word, "-help") == 0 || std::strcmp(word, "--help") == 0;
}
