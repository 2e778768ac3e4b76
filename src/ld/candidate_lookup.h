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

// A multimap from ids to candidates by open addressing on a 64-bit hash,
// at most half full. Design note: the millions of panel ids that match no
// candidate are turned away by a bit filter indexed by a cheap hash of the
// id's first and last eight bytes (a table small enough for the L1 cache),
// so that the full hash and the slots are reached for a few percent of
// them. Callers check the candidate itself, as hashes may collide.
class HashedIds {
public:
    void reserve(size_t n);
    void insert(std::string_view id, uint32_t k);
    template <class F> void forEach(std::string_view id, F&& f) const
    {
        const uint64_t bit = quickHash(id) >> (64 - kFilterLog2);
        if (!(filter_[bit / 64] >> (bit % 64) & 1))
            return; // the usual case
        const uint64_t h = fullHash(id), t = tag(h);
        for (size_t i = h & mask_; slots_[i] != 0; i = (i + 1) & mask_)
            if (slots_[i] >> 32 == t)
                f(static_cast<uint32_t>(slots_[i]));
    }
    static uint64_t quickHash(std::string_view id);
    static uint64_t fullHash(std::string_view id);

private:
    // Each slot: the hash's upper 32 bits (never 0) above the candidate.
    static uint64_t tag(uint64_t h) { return (h >> 32) | 1; }
    static constexpr unsigned kFilterLog2 = 18;
    std::vector<uint64_t> slots_;
    std::vector<uint64_t> filter_; // one bit per quickHash value's top 18 bits: some candidate may have it
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

    // Kept by each reader: the last chromosome name seen, its number, and
    // where the last position looked up lies among its candidates' places.
    struct Cursor {
        std::string chromosome = std::string(1, '\0');
        int64_t number = -1;
        size_t at = 0;        // the first place at or after lastPosition
        int32_t lastPosition = 0;
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
    HashedIds byId_;
    // Per chromosome number, its candidates' (position, candidate), sorted:
    // a position-sorted panel walks them in step.
    std::vector<std::vector<std::pair<int32_t, uint32_t>>> places_;
    std::unordered_map<uint32_t, std::pair<std::string, std::string>> alleles_;
    std::unordered_map<uint32_t, std::string> elsewhere_; // "CHR:POS" in the panel
    std::vector<uint64_t> idVariant_, placeVariant_;
    std::vector<uint8_t> placeByAlleles_;
    Cursor cursor_;                 // offer()'s
    std::vector<LookupHit> offered_; // offer()'s hits
};
