// Table reading and chromosome batching: which batches reach the analysis,
// under which name, with which markers.
#include "io/number_parsing.h"
#include "io/table_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <chrono>
#include <random>
#include <thread>

namespace {

struct Batch {
    std::string name;
    IntVector positions;
    DoubleVector pvalues;
    bool operator==(const Batch& o) const
    {
        return name == o.name && positions == o.positions && pvalues == o.pvalues;
    }
};

std::ostream& operator<<(std::ostream& os, const Batch& b)
{
    os << "{" << b.name << ":";
    for (size_t i = 0; i < b.positions.size(); ++i)
        os << " " << b.positions[i] << "/" << b.pvalues[i];
    return os << "}";
}

// The batches of the table, with chromosome, position and p-value in columns
// 1, 2, 3 unless the layout says otherwise. (Compressed input reads as plain
// text: test_reading.cpp and cli/test_cases.cpp.)
std::vector<Batch> batchesOf(const std::string& table, TableLayout layout)
{
    if (layout.positionColumn == 0) {
        layout.positionColumn = 2;
        layout.pvalueColumn = 3;
        layout.chromosomeColumn = 1;
        if (layout.separator.text.empty() && !layout.separator.whitespace)
            layout.separator = separatorForWord("tab");
    }
    const std::string path = makeTempDir() + "/t.tsv";
    writeFile(path, table);
    std::vector<Batch> batches;
    TableReading notes;
    EXPECT_TRUE(readTable(
        openInput(path), layout, 0.001,
        [&](ChromosomeBatch& b) { batches.push_back({b.chromosome, b.positions, b.pvalues}); }, notes));
    return batches;
}

TableLayout withSeparator(const char* word, int headerLines = 0)
{
    TableLayout layout;
    layout.separator = separatorForWord(word);
    layout.headerLines = headerLines;
    return layout;
}

std::vector<Batch> batchesOf(const std::string& table)
{
    return batchesOf(table, withSeparator("tab"));
}

} // namespace

TEST(Batching, MissingAndWeakRows)
{
    const auto b = batchesOf("1\t100\t0.0001\n1\t200\t0.5\n1\t300\tNA\n2\t50\t0.0002\n");
    EXPECT_EQ(b, (std::vector<Batch>{{"1", {100}, {0.0001}}, {"2", {50}, {0.0002}}}));
    // A p-value equal to inlimit is retained; other junk is read as 0.
    EXPECT_EQ(batchesOf("1\t5\t0.001\n1\t6\tjunk\n1\tNA\t1e-9\n"),
              (std::vector<Batch>{{"1", {5, 6}, {0.001, 0.0}}}));
}

TEST(Batching, RunsOfTheSameChromosome)
{
    EXPECT_EQ(batchesOf("1\t1\t1e-5\n1\t2\t1e-5\n2\t3\t1e-5\n1\t4\t1e-5\n"),
              (std::vector<Batch>{{"1", {1, 2}, {1e-5, 1e-5}}, {"2", {3}, {1e-5}}, {"1", {4}, {1e-5}}}));
    // A blank line does not split a batch; names compare exactly.
    EXPECT_EQ(batchesOf("1\t1\t1e-5\n\n\r\n1\t2\t1e-5\n01\t3\t1e-5\nchr1\t4\t1e-5"),
              (std::vector<Batch>{{"1", {1, 2}, {1e-5, 1e-5}}, {"01", {3}, {1e-5}}, {"chr1", {4}, {1e-5}}}));
    // A chromosome without retained markers is still handed over, empty.
    EXPECT_EQ(batchesOf("1\t1\t0.5\n2\t2\t1e-5\n"), (std::vector<Batch>{{"1", {}, {}}, {"2", {2}, {1e-5}}}));
    // An empty input gives one batch with no markers and an empty name.
    EXPECT_EQ(batchesOf(""), (std::vector<Batch>{{"", {}, {}}}));
}

TEST(Batching, HeaderSeparatorAndShortRows)
{
    EXPECT_EQ(batchesOf("CHR\tPOS\tP\n1\t7\t1e-4\n", withSeparator("tab", 1)),
              (std::vector<Batch>{{"1", {7}, {1e-4}}}));
    EXPECT_EQ(batchesOf("h1\nh2\n1\t7\t1e-4\n", withSeparator("tab", 2)), (std::vector<Batch>{{"1", {7}, {1e-4}}}));
    // Two blanks enclose an empty field that counts as a column.
    EXPECT_EQ(batchesOf("1  1e-4 7\n", withSeparator("space")), (std::vector<Batch>{{"1", {0}, {1e-4}}}));
    EXPECT_EQ(batchesOf(" 1  7\t1e-4 \n", withSeparator("whitespace")), (std::vector<Batch>{{"1", {7}, {1e-4}}}));
    // A row too short for the three columns is skipped and does not batch.
    EXPECT_EQ(batchesOf("1\t7\t1e-4\n2\t8\n1\t9\t1e-4\n"), (std::vector<Batch>{{"1", {7, 9}, {1e-4, 1e-4}}}));
}

namespace {

// Everything one reading of a table gives: the notes, every observed row,
// and the retained markers as (position, -log10(p)) in input order.
struct Reading {
    TableReading notes;
    ObservedRows seen;
    std::vector<std::pair<int32_t, double>> retained;
};

// With a pause, the observer takes that long over every block of rows,
// as a slow consumer would.
Reading readAll(const std::string& path, const TableLayout& layout, double inlimit,
                std::chrono::milliseconds pause = std::chrono::milliseconds(0))
{
    struct Collect : RowObserver {
        ObservedRows all;
        std::chrono::milliseconds pause;
        void chromosome(std::string_view) override {}
        void rows(ObservedRows& r) override
        {
            std::this_thread::sleep_for(pause);
            for (const ObservedRows::Exact& e : r.exact)
                all.exact.push_back({static_cast<uint32_t>(all.size() + e.row), e.log10p});
            all.positions.insert(all.positions.end(), r.positions.begin(), r.positions.end());
            all.values.insert(all.values.end(), r.values.begin(), r.values.end());
            all.numbers.insert(all.numbers.end(), r.numbers.begin(), r.numbers.end());
        }
    } collect;
    collect.pause = pause;
    Reading r;
    const BatchHandler keep = [&](ChromosomeBatch& b) {
        for (size_t k = 0; k < b.positions.size(); ++k)
            r.retained.emplace_back(b.positions[k], b.valuesAreLog10 ? b.pvalues[k] : negativeLog10(b.pvalues[k]));
    };
    EXPECT_TRUE(readTable(openInput(path), layout, inlimit, keep, r.notes, &collect));
    r.seen = std::move(collect.all);
    return r;
}

} // namespace

// Rows weaker than every threshold take a shortcut past the checks for the
// rare ones. Each table is also read with an inlimit of 2, which no row's
// shortcut can pass, and both readings must agree on every count (but
// `unsorted`, which looks at the retained markers alone), observed row,
// significant marker and candidate, and on the values of the markers both
// retain.
TEST(Batching, WeakRowShortcutAgreesWithTheFullChecks)
{
    const std::vector<std::string> pTexts = {"0.5", "1", "0.0011", "0.001", "1e-4", "5e-8", "5.1e-8", "4e-9", "0",
                                             "1e-320", "1e-400", "junk", "-0.2", "1.5", "nan", "inf", "NA", "0.02"};
    const std::vector<std::string> log10Texts = {"0.3", "2", "3", "7.3", "7.31", "8", "400", "0", "-1", "junk", "inf", "NA"};
    const std::string path = makeTempDir() + "/t.tsv";
    std::mt19937 rng(5);
    for (int t = 0; t < 240; ++t) {
        SCOPED_TRACE("table " + std::to_string(t));
        TableLayout layout;
        layout.separator = separatorForWord("tab");
        layout.chromosomeColumn = 1, layout.positionColumn = 2, layout.pvalueColumn = 3;
        layout.log10Values = t % 4 == 3;
        layout.lociThreshold = t % 5 == 0 ? 1e-3 : kGenomeWideSignificance;
        layout.lociMemberThreshold = t % 3 == 0 ? 0.01 : 0;
        const double inlimit = std::vector<double>{1e-3, 1e-6, 0.05, 1e-9}[static_cast<size_t>(t % 4)];
        const std::vector<std::string>& texts = layout.log10Values ? log10Texts : pTexts;
        std::string table;
        for (int r = 0; r < 80; ++r)
            table += std::to_string(1 + r / 30 + (rng() % 9 == 0)) + "\t" +
                     (rng() % 23 == 0 ? std::string("x") : std::to_string(100 * r + static_cast<int>(rng() % 150))) +
                     "\t" + texts[rng() % texts.size()] + "\n";
        writeFile(path, table);
        const Reading got = readAll(path, layout, inlimit), want = readAll(path, layout, 2.0);
        const TableReading &a = got.notes, &b = want.notes;
        EXPECT_EQ(std::vector<long long>({a.badPositions, a.badPvalues, a.outsidePvalues, a.acceptedRows, a.usableRows,
                                          a.unusableRows, a.zeroPvalues, a.ungrouped}),
                  std::vector<long long>({b.badPositions, b.badPvalues, b.outsidePvalues, b.acceptedRows, b.usableRows,
                                          b.unusableRows, b.zeroPvalues, b.ungrouped}));
        EXPECT_EQ(got.seen.positions, want.seen.positions);
        EXPECT_EQ(got.seen.numbers, want.seen.numbers);
        ASSERT_EQ(got.seen.values.size(), want.seen.values.size());
        for (size_t k = 0; k < got.seen.values.size(); ++k)
            EXPECT_TRUE(std::memcmp(&got.seen.values[k], &want.seen.values[k], sizeof(double)) == 0) << k;
        ASSERT_EQ(got.seen.exact.size(), want.seen.exact.size());
        for (size_t k = 0; k < got.seen.exact.size(); ++k)
            EXPECT_EQ(got.seen.exact[k].row, want.seen.exact[k].row);
        ASSERT_EQ(a.significant.markers.size(), b.significant.markers.size());
        for (size_t k = 0; k < a.significant.markers.size(); ++k)
            EXPECT_EQ(a.significant.log10p(a.significant.markers[k]), b.significant.log10p(b.significant.markers[k]));
        EXPECT_EQ(a.candidates.chromosomes, b.candidates.chromosomes);
        ASSERT_EQ(a.candidates.candidates.size(), b.candidates.candidates.size());
        for (size_t k = 0; k < a.candidates.candidates.size(); ++k) {
            EXPECT_EQ(a.candidates.candidates[k].position, b.candidates.candidates[k].position);
            EXPECT_EQ(a.candidates.strength(k), b.candidates.strength(k));
        }
        // The markers retained at inlimit, among all those retained at 2.
        size_t next = 0;
        for (const auto& [position, value] : got.retained) {
            while (next < want.retained.size() && want.retained[next] != std::make_pair(position, value))
                ++next;
            EXPECT_LT(next++, want.retained.size()) << position << " " << value;
        }
        const double minLog10 = -std::log10(inlimit);
        const auto kept = std::count_if(got.seen.values.begin(), got.seen.values.end(), [&](double v) {
            return layout.log10Values ? v >= minLog10 : v <= inlimit;
        });
        EXPECT_EQ(static_cast<long long>(got.retained.size()), kept);
        EXPECT_EQ(a.retained, kept);
    }
}

// A table of many read buffers and row blocks, which the reader hands back
// for refilling once the analysis side lets go: every row arrives intact and
// in order, so no buffer is refilled while a row still points into it.
TEST(Batching, RecycledBuffersKeepEveryRow)
{
    const std::string path = makeTempDir() + "/t.tsv";
    std::string table;
    const int rows = 150000;
    for (int r = 0; r < rows; ++r)
        table += std::to_string(1 + r / 50000) + "\t" + std::to_string(r) + "\t0." + std::to_string(r % 9973 + 1) +
                 "\t" + std::string(static_cast<size_t>(40 + r % 101), 'x') + "\n"; // about 14 MB
    writeFile(path, table);
    TableLayout layout;
    layout.separator = separatorForWord("tab");
    layout.chromosomeColumn = 1, layout.positionColumn = 2, layout.pvalueColumn = 3;
    const Reading got = readAll(path, layout, 1.0);
    ASSERT_EQ(got.seen.positions.size(), static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        ASSERT_EQ(got.seen.positions[static_cast<size_t>(r)], r);
        ASSERT_EQ(got.seen.values[static_cast<size_t>(r)], toDouble("0." + std::to_string(r % 9973 + 1))) << r;
    }
    EXPECT_EQ(got.notes.chromosomes.names(), (std::vector<std::string>{"1", "2", "3"}));
}

// When the consumer falls behind, the reading thread reads the p-values'
// decimals as well: every row's value, every count and every retained
// marker are those of reading them on the consumer's side.
TEST(Batching, DecimalsReadOnEitherThreadGiveTheSameRows)
{
    const std::vector<std::string> texts = {"0.5",    "0.0330", "1",     "1.5e-08", "4.2E-3",  "7e-30", "1e-320",
                                            "0",      "0.000",  "junk",  "-0.2",    "2",       "nan",   "0.05",
                                            "5e-8",   "5.0e-8", "1e-23", "123456789012345678",  "0.1234567890123456"};
    const std::string path = makeTempDir() + "/t.tsv";
    std::mt19937 rng(17);
    std::string table;
    std::vector<std::string> written;
    const int rows = 200000;
    for (int r = 0; r < rows; ++r) {
        written.push_back(texts[rng() % 5 == 0 ? rng() % texts.size() : rng() % 4]);
        table += std::to_string(1 + r / 50000) + "\t" + std::to_string(r) + "\t" + written.back() + "\n";
    }
    writeFile(path, table);
    TableLayout layout;
    layout.separator = separatorForWord("tab");
    layout.chromosomeColumn = 1, layout.positionColumn = 2, layout.pvalueColumn = 3;
    const Reading slow = readAll(path, layout, 0.01, std::chrono::milliseconds(3));
    const Reading fast = readAll(path, layout, 0.01);
    for (const Reading* reading : {&slow, &fast}) {
        ASSERT_EQ(reading->seen.values.size(), static_cast<size_t>(rows));
        for (size_t r = 0; r < written.size(); ++r) {
            bool ok = false;
            double want = toDouble(written[r], &ok);
            if (ok && want == 0)
                want = std::numeric_limits<double>::denorm_min();
            ASSERT_TRUE(std::memcmp(&reading->seen.values[r], &want, sizeof want) == 0) << r << " " << written[r];
            ASSERT_EQ(reading->seen.numbers[r], ok) << r;
        }
    }
    EXPECT_EQ(slow.retained, fast.retained);
    const TableReading &a = slow.notes, &b = fast.notes;
    EXPECT_EQ(std::vector<long long>({a.badPvalues, a.outsidePvalues, a.usableRows, a.retained, a.zeroPvalues,
                                      static_cast<long long>(a.significant.markers.size()),
                                      static_cast<long long>(a.candidates.candidates.size())}),
              std::vector<long long>({b.badPvalues, b.outsidePvalues, b.usableRows, b.retained, b.zeroPvalues,
                                      static_cast<long long>(b.significant.markers.size()),
                                      static_cast<long long>(b.candidates.candidates.size())}));
}
