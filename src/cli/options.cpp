// Option reading. Whole numbers and reals are read by the tool's own
// conversions: text that is not a number reads as 0, and the checks below
// decide what that means for each option.
#include "options.h"

#include "number_format.h"
#include "number_parsing.h"

#include <algorithm>
#include <cstring>

namespace {

const char* const kOptionWords[] = {"-file",   "-out",        "-delim", "-lcolumn",   "-pcolumn",
                                    "-chrcolumn", "-header", "-header-size", "-dots", "-shrink",
                                    "-peak-limit", "-inlimit", "-list",   "-missing",
                                    "-idcolumn",  "-bed"};

bool isOptionWord(const char* word)
{
    for (const char* option : kOptionWords)
        if (std::strcmp(word, option) == 0)
            return true;
    return false;
}

// Reads one option group after another; each returns false at the first
// bad option, with its message added.
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

private:
    // Value of the first occurrence of word, or null when absent.
    const std::string* value(const char* word) const
    {
        const auto it = std::find(words_.begin(), words_.end(), word);
        if (it == words_.end() || it + 1 == words_.end())
            return nullptr;
        return &*(it + 1);
    }
    bool fail(const char* message)
    {
        messages_ += message;
        return false;
    }
    bool column(const char* word, int& column, const char* message)
    {
        const std::string* v = value(word);
        column = v ? toInt32(*v) : 0;
        return column >= 1 || fail(message);
    }

    const std::vector<std::string>& words_;
    RunOptions& out_;
    std::string& messages_;
    std::string& errors_;
};

bool OptionReader::inputs()
{
    const std::string* file = value("-file");
    out_.table = file ? *file : std::string();
    if (const std::string* list = value("-list")) {
        out_.listFile = *list;
        out_.listMode = true;
    }
    if (out_.listFile.empty() && out_.table.empty())
        return fail("You need to specify '-file' or '-list'.\n\n");
    if (const std::string* out = value("-out")) {
        out_.reportPath = *out;
    } else {
        out_.reportPath = out_.table + ".out";
        messages_ += "output name = input name + '.out'\n";
    }
    const std::string* delim = value("-delim");
    if (delim && delim->empty())
        return fail("Incorrect delim\n");
    out_.layout.separator = separatorForWord(delim ? *delim : std::string("tab"));
    return true;
}

bool OptionReader::columns()
{
    TableLayout& t = out_.layout;
    if (!column("-lcolumn", t.positionColumn, "Incorrect lcolumn\n") ||
        !column("-pcolumn", t.pvalueColumn, "Incorrect pcolumn\n") ||
        !column("-chrcolumn", t.chromosomeColumn, "Incorrect chrcolumn\n"))
        return false;
    if (const std::string* id = value("-idcolumn")) {
        t.idColumn = toInt32(*id);
        if (t.idColumn < 1)
            return fail("Incorrect idcolumn\n");
    }
    const std::string* header = value("-header");
    const std::string* size = value("-header-size");
    const int lines = (size && !size->empty()) ? std::max(toInt32(*size), 1) : 1;
    t.headerLines = header && *header == "yes" ? lines : 0;
    return true;
}

bool OptionReader::analysis()
{
    AnalysisSettings& a = out_.analysis;
    if (const std::string* v = value("-shrink"))
        a.shrink = toDouble(*v);
    if (a.shrink < 0)
        return fail("Incorrect shrink\n");
    if (const std::string* v = value("-dots"))
        a.dots = toInt32(*v);
    if (a.dots < 1)
        return fail("Incorrect dots\n");
    if (const std::string* v = value("-peak-limit"))
        a.peakThreshold = toDouble(*v);
    if (a.peakThreshold < 0)
        return fail("Incorrect peak_threshold\n");
    if (const std::string* missing = value("-missing"))
        out_.layout.missing = *missing;
    if (const std::string* v = value("-inlimit")) {
        const double limit = toDouble(*v);
        a.inlimit = limit <= 0 ? 0.001 : limit;
        messages_ += "inlimit = " + formatReal(a.inlimit) + "\n";
    }
    return true;
}

bool OptionReader::outputs()
{
    const std::string* bed = value("-bed");
    if (!bed)
        return true;
    out_.bed = true;
    if (out_.listMode) {
        if (*bed == "yes")
            return true;
        errors_ += "quorlin: in list mode -bed takes 'yes': each table's BED file is written beside its report as "
                   "TABLE.bed\n";
        return fail("Incorrect bed\n");
    }
    out_.bedPath = *bed == "yes" ? out_.table + ".bed" : *bed;
    if (out_.bedPath.empty() || out_.bedPath == out_.reportPath) {
        errors_ += "quorlin: the BED file must have a name of its own, not '" + out_.bedPath + "'\n";
        return fail("Incorrect bed\n");
    }
    return true;
}

} // namespace

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

ParsedOptions parseOptions(const std::vector<std::string>& words)
{
    ParsedOptions parsed;
    OptionReader reader(words, parsed);
    parsed.ok = reader.inputs() && reader.columns() && reader.analysis() && reader.outputs();
    return parsed;
}
