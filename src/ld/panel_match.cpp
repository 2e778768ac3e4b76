// Matching a table's candidates to the panel's variants and reading their
// genotypes. Design note: the panel is never held in memory; the
// candidates (thousands) are hashed by id and by place, and each part's
// variants (millions) stream past them once. Invariant: a candidate takes
// the first variant with its id; failing that, the first variant at its
// place whose alleles are the table's, else the first at its place; these
// are the choices a full index of the panel would make.
#include "ld/ld_panel.h"

#include "genes/gene_index.h"
#include "ld/text_lines.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <unordered_map>

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

// The part holding a chromosome of the table: the only part, or the one
// whose key is the chromosome's; -1 when there is none.
int partOf(const LdPanel& panel, const std::string& chrom)
{
    if (!panel.perChromosome)
        return 0;
    const std::string key = chromosomeKey(chrom);
    for (size_t p = 0; p < panel.parts.size(); ++p)
        if (panel.parts[p].key == key)
            return static_cast<int>(p);
    return -1;
}

uint64_t placeKey(uint32_t keyNumber, int32_t position)
{
    return (uint64_t(keyNumber) << 32) | static_cast<uint32_t>(position);
}

uint64_t mixed(uint64_t x)
{
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

uint64_t hashOf(std::string_view s)
{
    uint64_t h = 0xcbf29ce484222325ull; // FNV-1a
    for (char ch : s)
        h = (h ^ static_cast<uint8_t>(ch)) * 0x100000001b3ull;
    return mixed(h);
}

// A multimap from 64-bit hashes to candidates by open addressing, at most
// half full, so that the millions of panel variants that match no
// candidate mostly end at the first empty slot. Callers check the
// candidate itself, as hashes may collide.
class HashedCandidates {
public:
    void reserve(size_t n)
    {
        size_t size = 16;
        while (size < 2 * n)
            size *= 2;
        slots_.assign(size, 0);
        mask_ = size - 1;
        filter_.assign(kFilterBits / 64, 0);
    }
    // Each slot: the hash's upper 32 bits (never 0) above the candidate.
    void insert(uint64_t h, uint32_t k)
    {
        size_t i = h & mask_;
        while (slots_[i] != 0)
            i = (i + 1) & mask_;
        slots_[i] = (tag(h) << 32) | k;
        const uint64_t bit = (h >> 40) & (kFilterBits - 1);
        filter_[bit / 64] |= uint64_t(1) << (bit % 64);
    }
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

// The candidates of one part, hashed; panel variants are offered in the
// part's order and taken by the candidates they match.
class CandidateLookup {
public:
    CandidateLookup(const LociCandidates& c, const std::vector<int>& partOfCandidate, int part, int effectField,
                    int otherField)
        : c_(c)
    {
        keyOfChromosome_.assign(c.chromosomes.size(), -1);
        for (size_t k = 0; k < c.candidates.size(); ++k)
            if (partOfCandidate[k] == part)
                mine_.push_back(static_cast<uint32_t>(k));
        byId_.reserve(mine_.size());
        byPlace_.reserve(mine_.size());
        for (uint32_t k : mine_) {
            const uint32_t chrom = c.candidates[k].chromosome;
            if (keyOfChromosome_[chrom] < 0)
                keyOfChromosome_[chrom] = static_cast<int32_t>(
                    keyNumber_.emplace(chromosomeKey(c.chromosomes[chrom]), uint32_t(keyNumber_.size())).first->second);
            if (!c.id(k).empty())
                byId_.insert(hashOf(c.id(k)), k);
            byPlace_.insert(mixed(placeKey(uint32_t(keyOfChromosome_[chrom]), c.candidates[k].position)), k);
        }
        if (effectField >= 0 && otherField >= 0)
            for (uint32_t k : mine_)
                alleles_.emplace(k, std::make_pair(upper(carriedField(c, k, effectField)),
                                                   upper(carriedField(c, k, otherField))));
        idVariant_.assign(c.candidates.size(), kNone);
        placeVariant_.assign(c.candidates.size(), kNone);
        placeByAlleles_.assign(c.candidates.size(), 0);
    }

    bool empty() const { return mine_.empty(); }

    // Offers panel variant v; true when a candidate took it.
    bool offer(std::string_view chrom, std::string_view id, int32_t position, std::string_view a1,
               std::string_view a2, uint64_t v)
    {
        bool took = false;
        if (id != ".") {
            byId_.forEach(hashOf(id), [&](uint32_t k) {
                if (idVariant_[k] != kNone || c_.id(k) != id)
                    return;
                idVariant_[k] = v;
                took = true;
                const LociCandidates::Candidate& cand = c_.candidates[k];
                if (position != cand.position || !sameChromosome(chrom, c_.chromosomes[cand.chromosome]))
                    elsewhere_.emplace(k, std::string(chrom) + ":" + std::to_string(position));
            });
        }
        if (chrom != lastChrom_) {
            lastChrom_.assign(chrom);
            const auto n = keyNumber_.find(chromosomeKey(chrom));
            lastNumber_ = n == keyNumber_.end() ? -1 : int64_t(n->second);
        }
        if (lastNumber_ < 0)
            return took;
        byPlace_.forEach(mixed(placeKey(uint32_t(lastNumber_), position)), [&](uint32_t k) {
            const LociCandidates::Candidate& cand = c_.candidates[k];
            if (placeByAlleles_[k] || cand.position != position ||
                keyOfChromosome_[cand.chromosome] != int32_t(lastNumber_))
                return;
            const auto a = alleles_.find(k);
            const bool byAlleles = a != alleles_.end() && !a->second.first.empty() && !a->second.second.empty() &&
                                   allelesAre(a->second, upper(a1), upper(a2));
            if (byAlleles || placeVariant_[k] == kNone) {
                placeVariant_[k] = v;
                placeByAlleles_[k] = byAlleles;
                took = true;
            }
        });
        return took;
    }

    // Each candidate's variant into m (id first, then place).
    void finish(int part, PanelMatch& m) const
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

private:
    static bool allelesAre(const std::pair<std::string, std::string>& table, const std::string& a1,
                           const std::string& a2)
    {
        return (a1 == table.first && a2 == table.second) || (a1 == table.second && a2 == table.first);
    }
    bool sameChromosome(std::string_view panel, const std::string& table) const
    {
        return panel == table || chromosomeKey(panel) == chromosomeKey(table);
    }

    const LociCandidates& c_;
    std::vector<uint32_t> mine_;
    std::unordered_map<std::string, uint32_t> keyNumber_;
    std::vector<int32_t> keyOfChromosome_; // per table chromosome: its number in keyNumber_
    HashedCandidates byId_, byPlace_;
    std::unordered_map<uint32_t, std::pair<std::string, std::string>> alleles_;
    std::unordered_map<uint32_t, std::string> elsewhere_; // "CHR:POS" in the panel
    std::vector<uint64_t> idVariant_, placeVariant_;
    std::vector<uint8_t> placeByAlleles_;
    std::string lastChrom_ = std::string(1, '\0');
    int64_t lastNumber_ = -1;
};

bool streamBim(const PlinkFileset& set, CandidateLookup& lookup, std::string& why)
{
    TextLines lines(set.bimPath);
    LineFields fields;
    BimFields f;
    uint64_t v = 0;
    while (lines.next(fields)) {
        if (!bimFields(fields, f)) {
            why = "'" + set.bimPath + "' line " + std::to_string(lines.lineNumber()) +
                  " is not a .bim line (chromosome, id, cM, position, allele 1, allele 2)";
            return false;
        }
        lookup.offer(f.chromosome, f.id, f.position, f.allele1, f.allele2, v++);
    }
    if (lines.error() || !lines.opened() || v != set.variantCount) {
        why = "cannot read '" + set.bimPath + "': " +
              (lines.error() ? std::strerror(lines.error()) : "it changed while the run read it");
        return false;
    }
    return true;
}

// The sorted positions of a part's candidates, per table chromosome.
std::vector<VcfWanted> wantedOf(const LociCandidates& c, const std::vector<int>& partOfCandidate, int part)
{
    std::vector<VcfWanted> wanted(c.chromosomes.size());
    for (size_t k = 0; k < c.candidates.size(); ++k)
        if (partOfCandidate[k] == part)
            wanted[c.candidates[k].chromosome].positions.push_back(c.candidates[k].position);
    std::vector<VcfWanted> out;
    for (size_t chrom = 0; chrom < wanted.size(); ++chrom) {
        std::vector<int32_t>& p = wanted[chrom].positions;
        if (p.empty())
            continue;
        std::sort(p.begin(), p.end());
        p.erase(std::unique(p.begin(), p.end()), p.end());
        out.push_back({c.chromosomes[chrom], std::move(p)});
    }
    return out;
}

// The genotypes of the matched variants into m.planes, each (part,
// variant) once, read in file order: from the .bed with pread; a VCF's
// were added to the planes while it was read.
bool readGenotypes(const LdPanel& panel, const std::vector<VcfReadResult>& vcfRead, PanelMatch& m, std::string& why)
{
    const size_t samples = panel.parts.front().chosen.size();
    m.slot.assign(m.part.size(), -1);
    std::vector<std::pair<std::pair<int32_t, uint64_t>, size_t>> wanted;
    for (size_t k = 0; k < m.part.size(); ++k)
        if (m.part[k] >= 0)
            wanted.push_back({{m.part[k], m.variant[k]}, k});
    std::sort(wanted.begin(), wanted.end());
    int fd = -1, openPartNumber = -1;
    std::vector<uint8_t> bytes;
    int32_t slot = -1;
    bool ok = true;
    size_t kept = 0; // the next of the part's kept VCF genotypes
    for (size_t i = 0; i < wanted.size() && ok; ++i) {
        const auto [key, k] = wanted[i];
        if (i > 0 && wanted[i - 1].first == key) {
            m.slot[k] = slot;
            continue;
        }
        const PanelPart& part = panel.parts[static_cast<size_t>(key.first)];
        if (part.chosen.size() != samples) {
            why = "the panel's files hold different samples";
            ok = false;
            break;
        }
        if (key.first != openPartNumber) {
            if (fd >= 0)
                close(fd);
            fd = -1;
            openPartNumber = key.first;
            kept = 0;
            if (!part.vcf) {
                fd = open(part.set.bedPath.c_str(), O_RDONLY | O_CLOEXEC);
                if (fd < 0) {
                    why = "cannot read '" + part.set.bedPath + "': " + std::strerror(errno);
                    return false;
                }
                bytes.resize(part.set.bytesPerVariant);
            }
        }
        if (part.vcf) {
            const auto& g = vcfRead[static_cast<size_t>(key.first)].slots;
            while (kept < g.size() && g[kept].first < key.second)
                ++kept;
            if (kept == g.size() || g[kept].first != key.second) {
                why = "the genotypes of a record of '" + part.vcfFile.path + "' were not kept";
                ok = false;
                break;
            }
            slot = static_cast<int32_t>(g[kept].second);
        } else {
            const off_t at = static_cast<off_t>(3 + part.set.bytesPerVariant * key.second);
            if (pread(fd, bytes.data(), bytes.size(), at) != static_cast<ssize_t>(bytes.size())) {
                why = "cannot read '" + part.set.bedPath + "': " + std::strerror(errno ? errno : EIO);
                ok = false;
                break;
            }
            slot = static_cast<int32_t>(
                m.planes.addPacked(bytes.data(), part.chosen, part.chosen.size() == part.set.sampleIds.size()));
        }
        m.slot[k] = slot;
    }
    if (fd >= 0)
        close(fd);
    return ok;
}

} // namespace

bool matchCandidates(const LociCandidates& c, const LdPanel& panel, int effectField, int otherField,
                     PanelMatch& m, std::string& why)
{
    const size_t n = c.candidates.size();
    m = PanelMatch();
    m.part.assign(n, -1);
    m.variant.assign(n, 0);
    std::vector<int> partOfChromosome(c.chromosomes.size());
    for (size_t k = 0; k < c.chromosomes.size(); ++k)
        partOfChromosome[k] = partOf(panel, c.chromosomes[k]);
    std::vector<int> partOfCandidate(n);
    for (size_t k = 0; k < n; ++k)
        partOfCandidate[k] = partOfChromosome[c.candidates[k].chromosome];
    m.planes = GenotypePlanes(panel.parts.front().chosen.size());
    std::vector<VcfReadResult> vcfRead(panel.parts.size());
    for (size_t p = 0; p < panel.parts.size(); ++p) {
        const int part = static_cast<int>(p);
        CandidateLookup lookup(c, partOfCandidate, part, effectField, otherField);
        if (lookup.empty())
            continue;
        const PanelPart& pp = panel.parts[p];
        if (!pp.vcf) {
            if (!streamBim(pp.set, lookup, why))
                return false;
        } else {
            auto offer = [&](const VcfRecord& r) {
                return lookup.offer(r.chromosome, r.id, r.position, r.allele1, r.allele2, r.ordinal);
            };
            if (pp.chosen.size() != m.planes.samples()) {
                why = "the panel's files hold different samples";
                return false;
            }
            if (!readVcfPanel(pp.vcfFile, wantedOf(c, partOfCandidate, part), offer, pp.chosen, m.planes, vcfRead[p],
                              why))
                return false;
            m.multiAllelic += vcfRead[p].multiAllelic;
        }
        lookup.finish(part, m);
    }
    // The build check's examples: the first three candidates in table order.
    std::sort(m.elsewhere.begin(), m.elsewhere.end());
    m.byIdElsewhere = m.elsewhere.size();
    for (size_t i = 0; i < m.elsewhere.size() && i < 3; ++i) {
        const size_t k = m.elsewhere[i].first;
        m.elsewhereExamples.push_back(std::string(c.id(k)) + " table " + c.chromosomes[c.candidates[k].chromosome] +
                                      ":" + std::to_string(c.candidates[k].position) + " panel " +
                                      m.elsewhere[i].second);
    }
    m.elsewhere.clear();
    return readGenotypes(panel, vcfRead, m, why);
}
