// Reading one association table: rows are split on a second thread, then
// converted and batched here by runs of the same chromosome. Every batch
// holds the retained markers (p <= inlimit) of one run, in input order.
#pragma once
#include "io/byte_source.h"
#include "io/chromosome_order.h"
#include "io/field_splitter.h"
#include "io/line_reader.h"
#include "io/loci_candidates.h"
#include "numerics/vector_ops.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// p-values at or below this are genome-wide significant.
constexpr double kGenomeWideSignificance = 5e-8;

// How a table is laid out: separator, the 1-based columns, header lines and
// the missing-value word, and which rows are loci candidates.
struct TableLayout {
    FieldSeparator separator;
    int positionColumn = 0, pvalueColumn = 0, chromosomeColumn = 0;
    int idColumn = 0;          // marker ids; 0 when the table's ids are not wanted
    int probeIdColumn = 0;     // ids shown only to a RowProbe when idColumn is 0 (and only when
                               // it is not past the last column read); 0: none
    int headerLines = 0;       // lines skipped before the rows
    std::string missing = "NA";
    bool log10Values = false;  // the p column holds -log10(p)
    int filterColumn = 0;      // when set, only rows with filterValue there count
    std::string filterValue;
    std::string missingPosition; // a position field with this text is missing too (GEMMA's -9)
    double lociThreshold = kGenomeWideSignificance; // loci candidates have p <= this, 0 < it <= 1
    double lociMemberThreshold = 0; // rows up to this p are candidates too (LD clump members); 0: none
    std::vector<int> carriedColumns; // the candidates' fields kept for the loci file, 1-based
};

// One run of rows of the same chromosome.
struct ChromosomeBatch {
    std::string chromosome;
    IntVector positions;
    DoubleVector pvalues;         // p-values as read, or -log10(p) when valuesAreLog10
    std::vector<std::string> ids; // marker ids, index-aligned, when an id column is read
    int order = 0;                // the chromosome's first appearance in the table, from 0
    // The values are -log10(p): always for a -log10(p) column; for a
    // p column, once the run holds a p below the doubles' normal range, whose
    // -log10 only the text gives (the run's other p-values are then stored
    // as negativeLog10(p), the value the scan makes of them).
    bool valuesAreLog10 = false;
};

// Turns a batch's p-values into negativeLog10(p), unless they are -log10(p)
// already.
void toLog10Values(ChromosomeBatch& batch);

// The markers at genome-wide significance, for the check that the reported
// peaks cover them: 24 bytes each (a strong table holds hundreds of
// thousands), names and ids kept once.
struct SignificantMarkers {
    struct Marker {
        uint32_t chromosome; // index into chromosomes
        int32_t position;
        double value;        // -log10(p) for log10Values; else p >= 0 as read, or
                             // minus the text's exact -log10(p) for a p below
                             // the normal range (the only negative values)
        uint32_t idStart, idLength;
    };
    std::vector<std::string> chromosomes;
    std::vector<Marker> markers; // in input order
    std::string ids;             // the ids' text, when an id column is read
    bool log10Values = false;

    double p(const Marker& m) const;
    double log10p(const Marker& m) const;
    std::string_view id(const Marker& m) const { return std::string_view(ids).substr(m.idStart, m.idLength); }
};

// What reading one table gathered: the counts behind the warnings and the
// summary, the chromosomes in order, the significant markers and the loci
// candidates.
struct TableReading {
    long long shortRows = 0, badPositions = 0, badPvalues = 0, outsidePvalues = 0, innerCarriageReturns = 0;
    bool ungrouped = false, unsorted = false;
    bool emptyInput = false;    // the table held no bytes at all
    long long dataRows = 0;     // non-empty lines after the header
    long long filteredRows = 0; // rows left out by the row filter
    long long acceptedRows = 0; // rows not skipped as short, filtered or missing
    long long usableRows = 0;   // accepted rows whose position and p-value are numbers
    long long unusableRows = 0; // accepted rows where either is not
    long long retained = 0;     // markers with p <= inlimit
    long long zeroPvalues = 0;  // p fields written as zero, read as the smallest positive double
    std::string firstRow;       // the first data row as read (cut after 200 bytes), for messages
    ChromosomeOrder chromosomes;
    SignificantMarkers significant;
    LociCandidates candidates;
};

// Receives each batch; may take its vectors' contents.
using BatchHandler = std::function<void(ChromosomeBatch&)>;

// A run of accepted rows: positions, p-values as read (or -log10(p)), and
// whether each p-value field was a number; the three are of one length.
// The rows whose p lies below the doubles' normal range keep their value as
// read (a subnormal, or the smallest one) and are listed in exact, in row
// order, with the -log10(p) of their text.
struct ObservedRows {
    struct Exact {
        uint32_t row;
        double log10p;
    };
    std::vector<int32_t> positions;
    std::vector<double> values;
    std::vector<uint8_t> numbers;
    std::vector<Exact> exact;
    size_t size() const { return positions.size(); }
};

// Sees every accepted row, retained or not, as the table is read: for a
// picture of the whole table. Rows come in runs, in input order.
class RowObserver {
public:
    virtual ~RowObserver() = default;
    // The rows that follow belong to this chromosome.
    virtual void chromosome(std::string_view name) = 0;
    // The next run. The observer may take the vectors' contents and leave
    // others (of any contents) in their place; the reader empties them.
    virtual void rows(ObservedRows& rows) = 0;
};

// Sees the chromosome, position and id (idColumn, else probeIdColumn; empty
// without either) of every accepted row whose position is a number, as the
// table is read: for facts about the table that the analysis does not use.
class RowProbe {
public:
    virtual ~RowProbe() = default;
    // The rows that follow belong to this chromosome.
    virtual void chromosome(std::string_view name) = 0;
    virtual void row(int32_t position, std::string_view id) = 0;
};

// Reads the table from source and hands every batch to handle, the last one
// only when the table was read to its end; an observer, when given, sees
// every row, and a probe every row with a position. Returns false when the
// table could not be read to its end. The reading thread has ended when this
// returns.
bool readTable(std::unique_ptr<InputSource> source, const TableLayout& layout, double inlimit,
               const BatchHandler& handle, TableReading& notes, RowObserver* observer = nullptr,
               RowProbe* probe = nullptr);
