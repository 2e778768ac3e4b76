// Matching a table's candidates to the panel's variants and reading their
// genotypes. Design note: the panel is never held in memory; the
// candidates (thousands) are hashed by id and by place, and each part's
// variants (millions) stream past them once. Invariant: a candidate takes
// the first variant with its id; failing that, the first variant at its
// place whose alleles are the table's, else the first at its place; these
// are the choices a full index of the panel would make.
#include "ld/ld_panel.h"

#include "base/thread_pool.h"
#include "genes/gene_index.h"
#include "ld/candidate_lookup.h"
#include "ld/bim_lines.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

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

// The .bim streamed past the lookup in its marked parts, on the pool's
// threads when there is one; each part's hits are taken in file order, as
// one reading in order would take them, and the first fault in file order
// is the one reported.
bool streamBim(const PlinkFileset& set, CandidateLookup& lookup, ThreadPool* pool, std::string& why)
{
    std::vector<PlinkFileset::BimMark> marks = set.bimMarks;
    if (marks.empty())
        marks.emplace_back();
    struct Part {
        std::vector<LookupHit> hits;
        uint64_t variants = 0, badLine = 0;
        int error = 0;
    };
    std::vector<Part> parts(marks.size());
    auto read = [&](size_t i, int) {
        const PlinkFileset::BimMark& from = marks[i];
        BimLines lines(set.bimPath, from.offset, i + 1 < marks.size() ? marks[i + 1].offset : UINT64_MAX,
                       from.lines);
        Part& part = parts[i];
        CandidateLookup::Cursor cursor;
        BimFields f;
        uint64_t v = from.variants;
        while (lines.next(f))
            lookup.hits(cursor, f.chromosome, f.id, f.position, f.allele1, f.allele2, v++, part.hits);
        if (lines.bad()) {
            part.badLine = lines.lineNumber();
            return;
        }
        part.variants = v - from.variants;
        part.error = lines.error();
    };
    if (pool)
        pool->parallelFor(parts.size(), read);
    else
        for (size_t i = 0; i < parts.size(); ++i)
            read(i, 0);
    uint64_t variants = 0;
    for (const Part& part : parts) {
        if (part.badLine > 0) {
            why = "'" + set.bimPath + "' line " + std::to_string(part.badLine) +
                  " is not a .bim line (chromosome, id, cM, position, allele 1, allele 2)";
            return false;
        }
        if (part.error) {
            why = "cannot read '" + set.bimPath + "': " + std::strerror(part.error);
            return false;
        }
        variants += part.variants;
    }
    if (variants != set.variantCount) {
        why = "cannot read '" + set.bimPath + "': it changed while the run read it";
        return false;
    }
    for (const Part& part : parts)
        for (const LookupHit& hit : part.hits)
            lookup.take(hit);
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
    // The .bed rows in bytes: [spanFrom, spanTo) of the open part. Rows at
    // most kRowGap apart are read together, up to kSpanBytes at a time: a
    // read costs as much as copying some kilobytes more.
    constexpr uint64_t kRowGap = 16, kSpanBytes = uint64_t(1) << 18;
    uint64_t spanFrom = 0, spanTo = 0;
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
                spanFrom = spanTo = 0;
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
            const uint64_t row = part.set.bytesPerVariant;
            if (key.second < spanFrom || key.second >= spanTo) {
                // The rows from this one to the last wanted row a few rows
                // after another, in one read.
                spanFrom = key.second;
                spanTo = key.second + 1;
                for (size_t j = i + 1; j < wanted.size() && wanted[j].first.first == key.first; ++j) {
                    const uint64_t v = wanted[j].first.second;
                    if (v - (spanTo - 1) > kRowGap || (v + 1 - spanFrom) * row > kSpanBytes)
                        break;
                    spanTo = v + 1;
                }
                bytes.resize((spanTo - spanFrom) * row);
                const off_t at = static_cast<off_t>(3 + row * spanFrom);
                if (pread(fd, bytes.data(), bytes.size(), at) != static_cast<ssize_t>(bytes.size())) {
                    why = "cannot read '" + part.set.bedPath + "': " + std::strerror(errno ? errno : EIO);
                    ok = false;
                    break;
                }
            }
            slot = static_cast<int32_t>(m.planes.addPacked(bytes.data() + (key.second - spanFrom) * row, part.chosen,
                                                           part.chosen.size() == part.set.sampleIds.size()));
        }
        m.slot[k] = slot;
    }
    if (fd >= 0)
        close(fd);
    return ok;
}

} // namespace

bool matchCandidates(const LociCandidates& c, const LdPanel& panel, int effectField, int otherField,
                     PanelMatch& m, std::string& why, ThreadPool* pool)
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
            if (!streamBim(pp.set, lookup, pool, why))
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
                              why, pool))
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
