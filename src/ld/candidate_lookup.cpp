// Hashing the candidates, and each panel variant's hits and their taking.
#include "ld/candidate_lookup.h"

#include "genes/gene_index.h"
#include "ld/ld_panel.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr uint64_t kNone = UINT64_MAX;

std::string carriedField(const LociCandidates& c, size_t k, int field)
{
    std::string_view t = c.carriedText(k);
    for (int f = 0; f < field; ++f) {
        const size_t tab = t.find('\t');
        if (tab == std::string_view::npos)
            return "";
        t.remove_prefix(tab + 1);
    }
    return std::string(t.substr(0, t.find('\t')));
}

std::string upper(std::string_view v)
{
    std::string s(v);
    for (char& ch : s)
        ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
    return s;
}

uint64_t mixed(uint64_t x)
{
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

uint64_t load64(const char* p)
{
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

uint32_t load32(const char* p)
{
    uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

} // namespace

// The id's first and last eight bytes (four, or three single bytes, for a
// shorter one) and its length, multiplied together; its top bits index
// the filter.
uint64_t HashedIds::quickHash(std::string_view s)
{
    const size_t n = s.size();
    uint64_t a, b;
    if (n >= 8) {
        a = load64(s.data());
        b = load64(s.data() + n - 8);
    } else if (n >= 4) {
        a = load32(s.data());
        b = load32(s.data() + n - 4);
    } else {
        a = n == 0 ? 0
                   : uint64_t(static_cast<uint8_t>(s[0])) | uint64_t(static_cast<uint8_t>(s[n / 2])) << 8 |
                         uint64_t(static_cast<uint8_t>(s[n - 1])) << 16;
        b = 0;
    }
    return ((a * 0x9e3779b97f4a7c15ull) ^ b ^ n) * 0xbf58476d1ce4e5b9ull;
}

// Eight bytes a step, each word folded in through mixed(), so that every
// byte counts.
uint64_t HashedIds::fullHash(std::string_view s)
{
    uint64_t h = s.size();
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8)
        h = mixed(h ^ load64(s.data() + i));
    uint64_t w = 0; // the last bytes, without a call for a copy of unknown size
    for (size_t k = i; k < s.size(); ++k)
        w |= uint64_t(static_cast<uint8_t>(s[k])) << (8 * (k - i));
    return mixed(h ^ w ^ 0x9e3779b97f4a7c15ull);
}

namespace {

bool allelesAre(const std::pair<std::string, std::string>& table, const std::string& a1, const std::string& a2)
{
    return (a1 == table.first && a2 == table.second) || (a1 == table.second && a2 == table.first);
}

bool sameChromosome(std::string_view panel, const std::string& table)
{
    return panel == table || chromosomeKey(panel) == chromosomeKey(table);
}

} // namespace

void HashedIds::reserve(size_t n)
{
    size_t size = 16;
    while (size < 2 * n)
        size *= 2;
    slots_.assign(size, 0);
    mask_ = size - 1;
    filter_.assign((size_t(1) << kFilterLog2) / 64, 0);
}

void HashedIds::insert(std::string_view id, uint32_t k)
{
    const uint64_t h = fullHash(id);
    size_t i = h & mask_;
    while (slots_[i] != 0)
        i = (i + 1) & mask_;
    slots_[i] = (tag(h) << 32) | k;
    const uint64_t bit = quickHash(id) >> (64 - kFilterLog2);
    filter_[bit / 64] |= uint64_t(1) << (bit % 64);
}

CandidateLookup::CandidateLookup(const LociCandidates& c, const std::vector<int>& partOfCandidate, int part,
                                 int effectField, int otherField)
    : c_(c)
{
    keyOfChromosome_.assign(c.chromosomes.size(), -1);
    for (size_t k = 0; k < c.candidates.size(); ++k)
        if (partOfCandidate[k] == part)
            mine_.push_back(static_cast<uint32_t>(k));
    byId_.reserve(mine_.size());
    for (uint32_t k : mine_) {
        const uint32_t chrom = c.candidates[k].chromosome;
        if (keyOfChromosome_[chrom] < 0) {
            keyOfChromosome_[chrom] = static_cast<int32_t>(
                keyNumber_.emplace(chromosomeKey(c.chromosomes[chrom]), uint32_t(keyNumber_.size())).first->second);
            places_.resize(keyNumber_.size());
        }
        if (!c.id(k).empty())
            byId_.insert(c.id(k), k);
        places_[size_t(keyOfChromosome_[chrom])].emplace_back(c.candidates[k].position, k);
    }
    for (auto& p : places_)
        std::sort(p.begin(), p.end());
    if (effectField >= 0 && otherField >= 0)
        for (uint32_t k : mine_)
            alleles_.emplace(k, std::make_pair(upper(carriedField(c, k, effectField)),
                                               upper(carriedField(c, k, otherField))));
    idVariant_.assign(c.candidates.size(), kNone);
    placeVariant_.assign(c.candidates.size(), kNone);
    placeByAlleles_.assign(c.candidates.size(), 0);
}

void CandidateLookup::hits(Cursor& cursor, std::string_view chrom, std::string_view id, int32_t position,
                           std::string_view a1, std::string_view a2, uint64_t v, std::vector<LookupHit>& out) const
{
    if (id != ".") {
        byId_.forEach(id, [&](uint32_t k) {
            if (c_.id(k) != id)
                return;
            LookupHit hit;
            hit.variant = v;
            hit.candidate = k;
            hit.byId = true;
            const LociCandidates::Candidate& cand = c_.candidates[k];
            if (position != cand.position || !sameChromosome(chrom, c_.chromosomes[cand.chromosome]))
                hit.elsewhere = std::string(chrom) + ":" + std::to_string(position);
            out.push_back(std::move(hit));
        });
    }
    if (chrom != cursor.chromosome) {
        cursor.chromosome.assign(chrom);
        const auto n = keyNumber_.find(chromosomeKey(chrom));
        cursor.number = n == keyNumber_.end() ? -1 : int64_t(n->second);
        cursor.at = 0;
        cursor.lastPosition = INT32_MIN;
    }
    if (cursor.number < 0)
        return;
    // Forward from the last position in a sorted panel; a step back is
    // found again by bisection.
    const std::vector<std::pair<int32_t, uint32_t>>& places = places_[size_t(cursor.number)];
    size_t at = cursor.at;
    if (position < cursor.lastPosition)
        at = static_cast<size_t>(std::lower_bound(places.begin(), places.end(), std::make_pair(position, uint32_t(0))) -
                                 places.begin());
    while (at < places.size() && places[at].first < position)
        ++at;
    cursor.at = at;
    cursor.lastPosition = position;
    for (; at < places.size() && places[at].first == position; ++at) {
        const uint32_t k = places[at].second;
        const auto a = alleles_.find(k);
        LookupHit hit;
        hit.variant = v;
        hit.candidate = k;
        hit.byAlleles = a != alleles_.end() && !a->second.first.empty() && !a->second.second.empty() &&
                        allelesAre(a->second, upper(a1), upper(a2));
        out.push_back(std::move(hit));
    }
}

bool CandidateLookup::take(const LookupHit& hit)
{
    const uint32_t k = hit.candidate;
    if (hit.byId) {
        if (idVariant_[k] != kNone)
            return false;
        idVariant_[k] = hit.variant;
        if (!hit.elsewhere.empty())
            elsewhere_.emplace(k, hit.elsewhere);
        return true;
    }
    if (placeByAlleles_[k] || !(hit.byAlleles || placeVariant_[k] == kNone))
        return false;
    placeVariant_[k] = hit.variant;
    placeByAlleles_[k] = hit.byAlleles;
    return true;
}

bool CandidateLookup::offer(std::string_view chrom, std::string_view id, int32_t position, std::string_view a1,
                            std::string_view a2, uint64_t v)
{
    offered_.clear();
    hits(cursor_, chrom, id, position, a1, a2, v, offered_);
    bool took = false;
    for (const LookupHit& hit : offered_)
        took = take(hit) || took;
    return took;
}

void CandidateLookup::finish(int part, PanelMatch& m) const
{
    for (uint32_t k : mine_) {
        if (idVariant_[k] != kNone) {
            ++m.byId;
            m.part[k] = part;
            m.variant[k] = idVariant_[k];
            const auto e = elsewhere_.find(k);
            if (e != elsewhere_.end())
                m.elsewhere.emplace_back(k, e->second);
        } else if (placeVariant_[k] != kNone) {
            m.part[k] = part;
            m.variant[k] = placeVariant_[k];
        }
    }
}
