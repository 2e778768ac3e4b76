// Usage text. The option lines are made from doc/options.txt at build time
// (usage_options.h), the one list the man page and the README are made from
// too; the -format names come from the preset table, so the summary lists
// exactly the presets the program knows.
#include "cli/usage.h"

#include "io/format_presets.h"
#include "usage_options.h"

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

} // namespace

std::string usageText()
{
    return std::string(kSynopsis) + usage_options::kBeforePresets + wrappedPresetNames() +
           usage_options::kAfterPresets + kExamples;
}

bool isHelpRequest(int argc, const char* const* argv)
{
    if (argc != 2 || !argv[1])
        return false;
    const char* word = argv[1];
    return std::strcmp(word, "-h") == 0 || std::strcmp(word, "-help") == 0 || std::strcmp(word, "--help") == 0;
}
