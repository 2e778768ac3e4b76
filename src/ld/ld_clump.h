// LD clumping of a table's candidates as PLINK 1.9's --clump does it, with
// the candidates absent from the panel clumped by distance instead of
// dropped. The rules are in README.md beside this file.
#pragma once
#include "ld/genotype_planes.h"
#include "loci/loci.h"

#include "base/thread_pool.h"

#include <cstdint>
#include <string>
#include <vector>

struct LdSettings {
    double p = 5e-8;       // index variants: p <= this
    double p2 = 5e-8;      // members: p < this
    double r2 = 0.1;       // members: r² > this (for 1: r² = 1 within rounding)
    int64_t window = 500000; // members: |distance| < this
};

struct LdMember {
    uint64_t candidate = 0;
    double r2 = 0; // NaN: clumped by distance
};

struct LdLoci {
    LociResult result;                       // the clumps as loci, in findLoci's order
    std::vector<uint8_t> byDistance;         // per locus: its lead is absent from the panel
    std::vector<std::vector<LdMember>> members; // per locus, by position (then input order), lead included
    uint64_t indexCandidates = 0;            // candidates at p <= settings.p
    uint64_t absent = 0;                     // of those, absent from the panel
    std::vector<std::string> absentExamples; // the first three absent ids (or CHR:POS)
};

// slot[k]: candidate k's genotypes in planes, -1 when absent from the panel.
// With a pool, the chromosomes are clumped on its threads; the result is
// the same.
LdLoci clumpByLd(const LociCandidates& candidates, const std::vector<int32_t>& slot, const GenotypePlanes& planes,
                 const LdSettings& settings, ThreadPool* pool = nullptr);

// Whether candidate k's p is at most (or below) threshold, read from its
// value as the reader compares it.
bool pAtMost(const LociCandidates& c, size_t k, double threshold);
bool pBelow(const LociCandidates& c, size_t k, double threshold);
