// The one rule for chromosome names: which names are one chromosome
// ("chr1" and "1", "chrM", "M" and "MT") and the natural order of the
// human ones, for the figures, the gene annotation, the study-wide loci
// table and the LD panel alike.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// The name two spellings of one chromosome share: a leading "chr" (any
// letter case) dropped when something follows it, and "M" written "MT".
std::string chromosomeKey(std::string_view name);

// Sort key of a chromosome name: 1..22 for the autosomes, 23 X, 24 Y, 25 XY,
// 26 MT (or M), with or without a "chr" prefix and in any letter case
// ("chr01" is 1); -1 for any other name.
int naturalChromosomeRank(std::string_view name);

// Order of names given in order of first appearance: the named chromosomes
// by rank (equal ranks keep their order), then the others as they came.
// Returns indices into names.
std::vector<int> naturalChromosomeOrder(const std::vector<std::string>& names);
