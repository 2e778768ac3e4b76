// The peak report's column meanings, as the README's column table states them.
#include "page/report_columns.h"


namespace page {

namespace {

struct Meaning {
    const char* name;
    int occurrence;
    const char* text;
};

constexpr Meaning kMeanings[] = {
    {"filename", 0, "Input table as named on the command line or in the list"},
    {"chrom", 0, "Chromosome name as written in the table"},
    {"range", 0, "First and last position of the peak's marker run, as first-last"},
    {"max", 0, "Summit: the largest -log10(p) of the peak"},
    {"bestslope0", 0,
     "Steepest flank: largest absolute least-squares slope of -log10(p) over position in 5-marker windows "
     "(per position unit)"},
    {"bestslope", 0, "Largest slope times -log10(p) product over those 5-marker windows"},
    {"monot", 0, "Monotony: share of neighbour steps that rise toward the summit (1 = clean single peak)"},
    {"multip", 0, "Share of markers exactly at the summit value"},
    {"reps", 0, "Share of markers whose value repeats the previous one"},
    {"ratio", 0, "Summit height per 1,000,000 position units of width"},
    {"kolmo", 0,
     "1 when the marker positions are compatible with a bell-shaped (normal) spread by a Kolmogorov-Smirnov "
     "test at 5 %, else 0"},
    {"range", 1,
     "Width of the measured peak (its marker run without markers within two of the chromosome's current ends)"},
    {"count", 0, "Number of markers measured"},
    {"spacing", 0, "Width / count, truncated to a whole number"},
    {"balance", 0, "Markers right of the summit / markers left of it"},
    {"skew", 0, "Sum of -log10(p) right of the summit / sum left of it"},
    {"vbal1", 0, "Markers at or above the peak's mean value / markers below it"},
    {"vbal2", 0, "Sum of values at or above the mean / sum of values below it"},
    {"maxbyMean", 0, "Summit / mean value of the peak"},
    {"GQS", 0,
     "Quality score from 1 to 5: expected grade of an ordinal logistic model of height and steepness; tall, "
     "steep peaks score near 5"},
};

} // namespace

std::string reportColumnMeaning(const std::string& name, int occurrence)
{
    for (const Meaning& m : kMeanings)
        if (name == m.name && occurrence == m.occurrence)
            return m.text;
    return {};
}

} // namespace page
