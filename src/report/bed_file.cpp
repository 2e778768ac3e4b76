// BED lines: 0-based half-open intervals [first - 1, last) over the peak's
// range, smaller position first; the quality score scaled to 0..1000.
#include "report/bed_file.h"

#include "report/number_format.h"
#include "report/peak_row.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

struct BedLine {
    int order;
    int64_t start, end;
    std::string text;
};

BedLine lineOf(const ReportedPeak& p)
{
    const PeakFeatures& f = p.features;
    const int64_t low = std::min(f.firstPosition, f.lastPosition);
    const int64_t high = std::max(f.firstPosition, f.lastPosition);
    BedLine line{p.chromosomeOrder, std::max<int64_t>(low - 1, 0), high, std::string()};
    appendTsvField(line.text, p.chromosome);
    line.text += '\t' + std::to_string(line.start) + '\t' + std::to_string(line.end) + '\t';
    appendTsvField(line.text, p.leadId);
    line.text += '\t' + std::to_string(bedScore(f.quality)) + "\t.\t" + std::to_string(f.leadPosition) + '\t';
    appendReal(line.text, f.height);
    line.text += '\t';
    appendReal(line.text, f.quality);
    line.text += '\t' + std::to_string(f.count) + '\n';
    return line;
}

} // namespace

int bedScore(double gqs)
{
    if (std::isnan(gqs))
        return 0;
    const double score = std::round((gqs - 1) / 4 * 1000);
    return static_cast<int>(std::clamp(score, 0.0, 1000.0));
}

BedText bedText(const std::vector<ReportedPeak>& peaks)
{
    BedText bed;
    std::vector<BedLine> lines;
    for (const ReportedPeak& p : peaks) {
        const PeakFeatures& f = p.features;
        if (std::min(f.firstPosition, f.lastPosition) < 0) {
            ++bed.leftOut;
            continue;
        }
        lines.push_back(lineOf(p));
        bed.leadOutside += f.leadPosition < std::min(f.firstPosition, f.lastPosition) ||
                           f.leadPosition > std::max(f.firstPosition, f.lastPosition);
    }
    std::stable_sort(lines.begin(), lines.end(), [](const BedLine& a, const BedLine& b) {
        return std::tie(a.order, a.start, a.end) < std::tie(b.order, b.start, b.end);
    });
    bed.text = kBedHeader;
    for (const BedLine& l : lines)
        bed.text += l.text;
    return bed;
}
