// The data the interactive views of a table's page are drawn from, made
// from the run's own structures, and its JSON form, embedded in the page as
// <script type="application/json">.
//
// The Manhattan view holds every marker at or below the point limit as a
// point of its own (id, position, p as the table gives it) and the rest as
// a thinned layer: per chromosome, columns of a fixed width in bp, each a
// 64-bit mask of the -log10 p bins 0 .. thinTop it holds a marker in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace page {

struct ViewChromosome {
    std::string name;
    int64_t first = 0, last = 0; // smallest and largest position of its rows
    std::vector<uint64_t> thin;  // column c covers first + c * thinColumnBp onwards
    int64_t thinColumnBp = 1;
};

struct ViewMarker {
    uint32_t chromosome = 0; // index into ViewData::chromosomes
    int32_t position = 0;
    double log10p = 0; // +inf for p = 0
    std::string p;     // p as read
    std::string id;
};

struct ViewLocus {
    uint32_t chromosome = 0;
    int32_t start = 0, end = 0, leadPosition = 0;
    std::string leadId, log10p, status, nearestGene;
    std::vector<std::string> genes; // the loci file's genes column, split
};

struct ViewData {
    std::vector<ViewChromosome> chromosomes; // in natural order
    std::vector<ViewMarker> markers;         // by chromosome, then position (see keepStrongestPoints)
    std::vector<ViewLocus> loci; // in the loci file's order
    double pointLimit = 1e-3;    // markers at or below it are points
    size_t pointsLeftOut = 0;    // markers at or below the first limit drawn in the thin layer instead
    double genomeWide = 7.301029995663981;
    // Per locus index, the JSON object of its regional figure (regionalJson).
    std::map<size_t, std::string> regional;
};

// The JSON text of a string, with "<" written \u003c so it can stand
// inside a <script> element.
std::string jsonString(const std::string& text);
// A finite number in the shortest form that reads back the same; null for
// NaN, 1e999 for +inf and -1e999 for -inf.
std::string jsonNumber(double value);

// Keeps as points the strongest markers whose JSON takes at most `bytes`
// (estimated per marker from its position, p and id), and every marker as
// strong as the weakest one kept, so that the rule stays "every marker at or
// below pointLimit is a point": pointLimit becomes the weakest kept p when
// some are left out (counted in pointsLeftOut), and the thin layer covers
// the rest. The markers end sorted by chromosome, then position.
void keepStrongestPoints(ViewData& view, size_t bytes);

// The view data as one JSON object, the regional figures left out except
// those in `regional` (locus indices).
std::string viewJson(const ViewData& view, const std::vector<size_t>& regional);

// The natural-order permutation of loci rows, given each row's chromosome
// name: rows of named chromosomes by rank, then the others in their first
// order; within a chromosome, the rows keep their order.
std::vector<size_t> naturalRowOrder(const std::vector<std::string>& chromosomeOfRow);

// p as text from the value read: the shortest form of p that reads back the
// same, or, for a -log10 p value, p written with three significant digits
// (so p below the doubles' range, such as 1e-400, keeps its size).
std::string pText(double value, bool valueIsLog10);

} // namespace page
