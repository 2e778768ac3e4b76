// A table's candidates hashed by id and by place, for the panel's variants
// to stream past: each variant's hits (the candidates it may go to) are
// found without changing the lookup, so that parts of a panel can be read
// on several threads, and the hits are then taken in the panel's order,
// which gives what one reading in order gives.
#pragma once
#include "io/loci_candidates.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

struct PanelMatch;

// A multimap from 64-bit hashes to candidates by open addressing, at most
// half full, so that the millions of panel variants that match no
// candidate mostly end at the first empty slot. Callers check the
// candidate itself, as hashes may collide.
class HashedCandidates {
public:
    void reserve(size_t n);
    // Each slot: the hash's upper 32 bits (never 0) above the candidate.
    void insert(uint64_t h, uint32_t k);
    template <class F> void forEach(uint64_t h, F&& f) const
    {
        const uint64_t bit = (h >> 40) & (kFilterBits - 1);
        if (!(filter_[bit / 64] >> (bit % 64) & 1))
            return; // the usual case, decided in a table small enough for the L1 cache
        const uint64_t t = tag(h);
        for (size_t i = h & mask_; slots_[i] != 0; i = (i + 1) & mask_)
            if (slots_[i] >> 32 == t)
                f(static_cast<uint32_t>(slots_[i]));
    }

private:
    static uint64_t tag(uint64_t h) { return (h >> 32) | 1; }
    static constexpr uint64_t kFilterBits = uint64_t(1) << 17;
    std::vector<uint64_t> slots_;
    std::vector<uint64_t> filter_; // one bit per hash value's bits 40-56: some candidate may have it
    size_t mask_ = 0;
};

// A panel variant that may go to a candidate: by its id, or by its place
// (with whether its alleles are the table's).
struct LookupHit {
    uint64_t variant = 0;
    uint32_t candidate = 0;
    bool byId = false;
    bool byAlleles = false;
    std::string elsewhere; // by id at another place: the panel's "CHR:POS"
};

// The candidates of one part, hashed; panel variants are offered in the
// part's order and taken by the candidates they match.
class CandidateLookup {
public:
    CandidateLookup(const LociCandidates& c, const std::vector<int>& partOfCandidate, int part, int effectField,
                    int otherField);

    bool empty() const { return mine_.empty(); }

    // The last chromosome name seen and its number, kept by each reader.
    struct Cursor {
        std::string chromosome = std::string(1, '\0');
        int64_t number = -1;
    };
    // Appends panel variant v's hits to out, id hits first; changes nothing.
    void hits(Cursor& cursor, std::string_view chrom, std::string_view id, int32_t position, std::string_view a1,
              std::string_view a2, uint64_t v, std::vector<LookupHit>& out) const;
    // Takes a hit: a candidate keeps the first variant with its id, and of
    // those at its place the first whose alleles are the table's, else the
    // first. True when it took the hit.
    bool take(const LookupHit& hit);
    // hits() and take() of one variant; true when a candidate took it.
    bool offer(std::string_view chrom, std::string_view id, int32_t position, std::string_view a1,
               std::string_view a2, uint64_t v);

    // Each candidate's variant into m (id first, then place).
    void finish(int part, PanelMatch& m) const;

private:
    const LociCandidates& c_;
    std::vector<uint32_t> mine_;
    std::unordered_map<std::string, uint32_t> keyNumber_;
    std::vector<int32_t> keyOfChromosome_; // per table chromosome: its number in keyNumber_
    HashedCandidates byId_, byPlace_;
    std::unordered_map<uint32_t, std::pair<std::string, std::string>> alleles_;
    std::unordered_map<uint32_t, std::string> elsewhere_; // "CHR:POS" in the panel
    std::vector<uint64_t> idVariant_, placeVariant_;
    std::vector<uint8_t> placeByAlleles_;
    Cursor cursor_;                 // offer()'s
    std::vector<LookupHit> offered_; // offer()'s hits
};
