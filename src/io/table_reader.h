// Reading one association table: rows are split on a second thread, then
// converted and batched here by runs of the same chromosome. Every batch
// holds the retained markers (p <= inlimit) of one run, in input order.
#pragma once
#include "byte_source.h"
#include "field_splitter.h"
#include "vector_ops.h"

#include <functional>
#include <memory>
#include <string>
#include <unordered_set>

// How a table is laid out: separator, the 1-based columns, header lines and
// the missing-value word.
struct TableLayout {
    FieldSeparator separator;
    int positionColumn = 0, pvalueColumn = 0, chromosomeColumn = 0;
    int headerLines = 0; // lines skipped before the rows
    std::string missing = "NA";
};

// One run of rows of the same chromosome.
struct ChromosomeBatch {
    std::string chromosome;
    IntVector positions;
    DoubleVector pvalues; // raw p-values, index-aligned with positions
};

// What the reader noticed in one table, for warnings that leave the results
// unchanged.
struct ReadNotes {
    long long shortRows = 0, badPositions = 0, badPvalues = 0, outsidePvalues = 0, innerCarriageReturns = 0;
    bool ungrouped = false, unsorted = false;
    bool emptyInput = false; // the table held no bytes at all
    std::unordered_set<std::string> chromosomes;
};

// Receives each batch; may take its vectors' contents.
using BatchHandler = std::function<void(ChromosomeBatch&)>;

// Reads the table from source and hands every batch to handle, the last one
// only when the table was read to its end. Returns false when it could not
// be read to its end. The reading thread has ended when this returns.
bool readTable(std::unique_ptr<InputSource> source, const TableLayout& layout, double inlimit,
               const BatchHandler& handle, ReadNotes& notes);
