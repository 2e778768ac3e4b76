// The study-wide loci table of a list: every table's loci, each with the
// other tables that have a locus nearby.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TableLociText {
    std::string table; // as the list names it
    std::string text;  // its loci file (header line first)
};

// The table: a first column `table`, the loci file's columns up to and
// with best_gqs (and clumped_by and the gene columns, when the files have
// them; carried columns are left out, since tables differ in them), and a
// last column `shared_with`: the other tables with a locus on the same
// chromosome (names compared by chromosomeKey, so "chr1" and "1" are one;
// each row keeps its table's own name) at most window bp away (0 when the ranges overlap, else the gap between
// them), in list order, joined by ","; "." when none. Lines are ordered by
// chromosome in natural order (1-22, X, Y, XY, MT, then other names in
// order of first appearance), start, then the table's place in the list.
// A tab, carriage return or line feed in a table's name is written as a
// space.
std::string studyLociText(const std::vector<TableLociText>& tables, int64_t window);
