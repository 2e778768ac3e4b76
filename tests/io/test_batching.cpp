// Table reading and chromosome batching: which batches reach the analysis,
// under which name, with which markers.
#include "io/table_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

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
std::vector<Batch> batchesOf(const std::string& table, TableLayout layout = {})
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
