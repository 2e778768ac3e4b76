// Report rows: names as given, whole numbers in decimal, real numbers as
// "%g" writes them.
#include "report/peak_row.h"

#include "report/number_format.h"

namespace {

void appendField(std::string& out, double x)
{
    out += '\t';
    appendReal(out, x);
}

void appendField(std::string& out, int64_t x)
{
    out += '\t';
    out += std::to_string(x);
}

} // namespace

void appendPeakRange(std::string& out, const PeakFeatures& f)
{
    out += std::to_string(f.firstPosition) + '-' + std::to_string(f.lastPosition);
}

void appendPeakRow(std::string& out, std::string_view table, std::string_view chromosome, const PeakFeatures& f)
{
    appendTsvField(out, table);
    out += '\t';
    appendTsvField(out, chromosome);
    out += '\t';
    appendPeakRange(out, f);
    for (double x : {f.height, f.bestSlope0, f.bestSlope, f.monotony, f.multiplicity, f.repetitions, f.heightToWidth})
        appendField(out, x);
    appendField(out, int64_t(f.looksNormal ? 1 : 0));
    appendField(out, f.width);
    appendField(out, f.count);
    for (double x : {f.spacing, f.flanks.counts, f.flanks.sums, f.vertical.counts, f.vertical.sums, f.summitOverMean,
                     f.quality})
        appendField(out, x);
    out += '\n';
}

bool isTsvSafe(std::string_view text)
{
    return text.find_first_of("\t\r\n") == std::string_view::npos;
}

void appendTsvField(std::string& out, std::string_view text)
{
    if (isTsvSafe(text)) {
        out.append(text);
        return;
    }
    for (char c : text)
        out += c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
}
