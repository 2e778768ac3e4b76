// The report's and the BED file's lines on the edges whole runs rarely
// reach: names that would split a line, numbers that are not finite, the
// BED score's rounding and bounds, ranges written backwards or touching
// position 0, peaks at negative positions left out, leads outside their
// range counted, and the BED line order.
#include "report/bed_file.h"
#include "report/peak_row.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

ReportedPeak peak(const std::string& chromosome, int order, int32_t first, int32_t last, int32_t lead, double gqs,
                  const std::string& id = "rs")
{
    ReportedPeak p;
    p.chromosome = chromosome;
    p.chromosomeOrder = order;
    p.features.firstPosition = first;
    p.features.lastPosition = last;
    p.features.leadPosition = lead;
    p.features.height = 7.25;
    p.features.quality = gqs;
    p.features.count = 12;
    p.leadId = id;
    return p;
}

} // namespace

// A report row is one line of 20 fields whatever its names hold, with the
// numbers as "%g" writes them and every not-a-number as "nan".
TEST(PeakRow, OneLineOfTwentyFieldsWithAnyNamesAndValues)
{
    ReportedPeak p = peak("x", 0, 2147483647, -2147483647 - 1, 5, -std::nan(""));
    p.features.height = std::numeric_limits<double>::infinity();
    p.features.bestSlope0 = -0.0;
    p.features.width = INT64_MAX;
    p.features.spacing = 1e-320;
    std::string row;
    appendPeakRow(row, "a\tb\r.tsv", "chr\n1", p.features);
    ASSERT_EQ(row.find('\n'), row.size() - 1) << row;
    EXPECT_EQ(row.find('\r'), std::string::npos) << row;
    const std::string fields[] = {"a b .tsv", "chr 1", "2147483647--2147483648", "inf", "-0"};
    size_t at = 0;
    for (const std::string& field : fields) {
        EXPECT_EQ(row.substr(at, field.size() + 1), field + "\t") << row;
        at += field.size() + 1;
    }
    EXPECT_EQ(std::count(row.begin(), row.end(), '\t'), 19) << row;
    EXPECT_NE(row.find("\t9223372036854775807\t12\t9.99989e-321\t"), std::string::npos) << row;
    EXPECT_EQ(row.substr(row.size() - 5), "\tnan\n");
}

TEST(BedFile, ScoreRoundsToTheNearestAndStaysWithinItsRange)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double gqs;
        int score;
    } cases[] = {{1, 0},      {5, 1000},   {3, 500},    {1.002, 1}, {1.0018, 0}, {0.5, 0}, {-3, 0},
                 {7.5, 1000}, {inf, 1000}, {-inf, 0},   {std::nan(""), 0}, {4.9996, 1000}, {4.9978, 999}};
    for (const auto& c : cases)
        EXPECT_EQ(bedScore(c.gqs), c.score) << "gqs " << c.gqs;
}

// Lines go by the chromosome's first appearance, then start, then end, the
// input order kept on equal keys; the interval is 0-based half-open over the
// range whichever way it was written, and never starts below 0.
TEST(BedFile, IntervalsOrderAndLeftOutPeaks)
{
    const BedText bed = bedText({
        peak("2", 1, 500, 400, 450, 3, "backwards"),
        peak("1", 0, 300, 350, 310, 3, "later"),
        peak("1", 0, 100, 200, 150, 3, "tieA"),
        peak("1", 0, 100, 200, 250, 3, "tieB\twith tab"),
        peak("1", 0, 0, 10, 5, 3, "zero"),
        peak("1", 0, -5, 10, 5, 3, "negative"),
        peak("chr\n3", 2, 1, 1, 1, std::nan(""), "nan"),
    });
    EXPECT_EQ(bed.text, std::string(kBedHeader) +
                            "1\t0\t10\tzero\t500\t.\t5\t7.25\t3\t12\n"
                            "1\t99\t200\ttieA\t500\t.\t150\t7.25\t3\t12\n"
                            "1\t99\t200\ttieB with tab\t500\t.\t250\t7.25\t3\t12\n"
                            "1\t299\t350\tlater\t500\t.\t310\t7.25\t3\t12\n"
                            "2\t399\t500\tbackwards\t500\t.\t450\t7.25\t3\t12\n"
                            "chr 3\t0\t1\tnan\t0\t.\t1\t7.25\tnan\t12\n");
    EXPECT_EQ(bed.leftOut, 1);
    EXPECT_EQ(bed.leadOutside, 1); // tieB's lead at 250 lies past its range's end
    EXPECT_EQ(bedText({}).text, kBedHeader);
}
