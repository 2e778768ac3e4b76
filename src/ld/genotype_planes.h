// Genotypes of a few panel variants over the chosen samples as two bit
// planes per variant, in 64-bit words (sample s is bit s % 64 of word
// s / 64). The planes keep PLINK's 2-bit codes: hi = 1 for a het or a
// homozygote of the second allele, lo = 1 for missing or that homozygote:
//   code   hi lo
//   hom 1   0  0
//   miss    0  1
//   het     1  0
//   hom 2   1  1
// Padding bits past the last sample are "missing" (hi 0, lo 1).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class GenotypePlanes {
public:
    GenotypePlanes(size_t samples) : samples_(samples), words_((samples + 63) / 64) {}
    size_t words() const { return words_; }
    size_t samples() const { return samples_; }
    size_t variants() const { return hi_.size() / (words_ ? words_ : 1); }
    // Adds one variant from its packed .bed bytes (4 samples a byte, low bits
    // first) over the chosen .fam indices; returns its slot.
    size_t addPacked(const uint8_t* bytes, const std::vector<uint32_t>& chosen, bool allChosen);
    // Adds one variant from allele counts of the second allele per chosen
    // sample (0, 1, 2; anything else is missing).
    size_t addCounts(const std::vector<int8_t>& counts);
    const uint64_t* hi(size_t slot) const { return hi_.data() + slot * words_; }
    const uint64_t* lo(size_t slot) const { return lo_.data() + slot * words_; }

private:
    size_t samples_, words_;
    std::vector<uint64_t> hi_, lo_;
};

// The 3×3 table of genotype counts over the samples where both variants
// are called: counts[a][b] holds the samples with a copies of the second
// allele at x and b at y.
struct PairCounts {
    uint64_t counts[3][3] = {};
};
PairCounts pairCounts(const GenotypePlanes& planes, size_t x, size_t y);

// r² of the maximum-likelihood two-locus haplotype frequencies estimated
// from the counts; NaN when either variant is monomorphic over the samples
// both have called (or none has).
double haplotypeR2(const PairCounts& c);
