// Opening a panel, naming its files, and matching a table's candidates to
// its variants.
#include "ld_panel.h"

#include "gene_index.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

constexpr const char* kChromWord = "{chrom}";

std::string replaced(const std::string& spec, const std::string& name)
{
    std::string out = spec;
    for (size_t at = out.find(kChromWord); at != std::string::npos; at = out.find(kChromWord, at + name.size()))
        out.replace(at, std::strlen(kChromWord), name);
    return out;
}

bool exists(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::string bedOf(const std::string& panel)
{
    std::string bed, bim, fam;
    plinkPaths(panel, bed, bim, fam);
    return bed;
}

// The names a per-chromosome panel is looked for under: 1-22, X, Y, XY,
// MT and M, each as written and with "chr" before it.
std::vector<std::string> usualNames()
{
    std::vector<std::string> names;
    for (int k = 1; k <= 22; ++k)
        names.push_back(std::to_string(k));
    for (const char* n : {"X", "Y", "XY", "MT", "M"})
        names.push_back(n);
    const size_t plain = names.size();
    for (size_t k = 0; k < plain; ++k)
        names.push_back("chr" + names[k]);
    return names;
}

bool openPart(const std::string& path, const std::string& key, const std::string& samplesFile, PanelPart& part,
              size_t& unknown, std::string& why)
{
    part.key = key;
    return openPlinkFileset(path, part.set, why) && selectSamples(part.set, samplesFile, part.chosen, unknown, why);
}

} // namespace

bool openLdPanel(const std::string& spec, const std::string& samplesFile, LdPanel& panel, std::string& why,
                 std::string& warnings)
{
    panel = LdPanel();
    panel.spec = spec;
    panel.perChromosome = spec.find(kChromWord) != std::string::npos;
    size_t unknown = 0;
    if (!panel.perChromosome) {
        panel.parts.emplace_back();
        if (!openPart(spec, "", samplesFile, panel.parts.back(), unknown, why))
            return false;
    } else {
        std::vector<std::string> keys;
        for (const std::string& name : usualNames()) {
            const std::string path = replaced(spec, name);
            const std::string key = chromosomeKey(name);
            if (!exists(bedOf(path)) || std::find(keys.begin(), keys.end(), key) != keys.end())
                continue;
            keys.push_back(key);
            panel.parts.emplace_back();
            size_t partUnknown = 0;
            if (!openPart(path, key, samplesFile, panel.parts.back(), partUnknown, why))
                return false;
            unknown = std::max(unknown, partUnknown);
        }
        if (panel.parts.empty()) {
            why = "no chromosome's file exists for '" + spec + "' (tried " + bedOf(replaced(spec, "1")) + ", " +
                  bedOf(replaced(spec, "chr1")) + " and the other usual names)";
            return false;
        }
    }
    if (unknown > 0)
        warnings += "quorlin: warning: -loci-ld-samples '" + samplesFile + "': " + std::to_string(unknown) +
                    " sample ids are not in the panel\n";
    return true;
}

std::vector<std::string> ldPanelFiles(const LdPanel& panel)
{
    std::vector<std::string> files;
    for (const PanelPart& p : panel.parts)
        for (const std::string* f : {&p.set.bedPath, &p.set.bimPath, &p.set.famPath})
            files.push_back(*f);
    return files;
}

std::vector<std::string> ldPanelFiles(const std::string& spec)
{
    std::vector<std::string> files;
    auto add = [&](const std::string& panel) {
        std::string bed, bim, fam;
        plinkPaths(panel, bed, bim, fam);
        files.insert(files.end(), {bed, bim, fam});
    };
    if (spec.find(kChromWord) == std::string::npos)
        add(spec);
    else
        for (const std::string& name : usualNames())
            if (exists(bedOf(replaced(spec, name))))
                add(replaced(spec, name));
    return files;
}

namespace {

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

std::string upper(std::string s)
{
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

struct PartIndex {
    std::unordered_map<std::string_view, uint32_t> byId;
    std::unordered_multimap<uint64_t, uint32_t> byPlace; // (chromosome key number << 32) | position
    std::unordered_map<std::string, uint32_t> keyNumber;
};

uint64_t placeKey(uint32_t keyNumber, int32_t position)
{
    return (uint64_t(keyNumber) << 32) | static_cast<uint32_t>(position);
}

void indexPart(const PlinkFileset& set, PartIndex& index)
{
    index.byId.reserve(set.variants.size());
    std::string lastChrom;
    uint32_t lastNumber = 0;
    for (uint32_t v = 0; v < set.variants.size(); ++v) {
        const PanelVariant& pv = set.variants[v];
        if (pv.id != ".")
            index.byId.emplace(pv.id, v);
        if (v == 0 || pv.chromosome != lastChrom) {
            lastChrom = pv.chromosome;
            lastNumber = index.keyNumber.emplace(chromosomeKey(pv.chromosome), uint32_t(index.keyNumber.size()))
                             .first->second;
        }
        index.byPlace.emplace(placeKey(lastNumber, pv.position), v);
    }
}

bool readGenotypes(const LdPanel& panel, PanelMatch& m, std::string& why)
{
    const size_t samples = panel.parts.front().chosen.size();
    m.planes = GenotypePlanes(samples);
    m.slot.assign(m.part.size(), -1);
    // Each needed (part, variant) once, read in file order.
    std::vector<std::pair<uint64_t, size_t>> wanted;
    for (size_t k = 0; k < m.part.size(); ++k)
        if (m.part[k] >= 0)
            wanted.emplace_back((uint64_t(m.part[k]) << 32) | m.variant[k], k);
    std::sort(wanted.begin(), wanted.end());
    int fd = -1, openPartNumber = -1;
    std::vector<uint8_t> bytes;
    int32_t slot = -1;
    bool ok = true;
    for (size_t i = 0; i < wanted.size() && ok; ++i) {
        const auto [key, k] = wanted[i];
        if (i > 0 && wanted[i - 1].first == key) {
            m.slot[k] = slot;
            continue;
        }
        const PanelPart& part = panel.parts[static_cast<size_t>(m.part[k])];
        if (m.part[k] != openPartNumber) {
            if (fd >= 0)
                close(fd);
            fd = open(part.set.bedPath.c_str(), O_RDONLY | O_CLOEXEC);
            openPartNumber = m.part[k];
            if (fd < 0) {
                why = "cannot read '" + part.set.bedPath + "': " + std::strerror(errno);
                return false;
            }
            bytes.resize(part.set.bytesPerVariant);
        }
        const off_t at = static_cast<off_t>(3 + part.set.bytesPerVariant * m.variant[k]);
        if (pread(fd, bytes.data(), bytes.size(), at) != static_cast<ssize_t>(bytes.size())) {
            why = "cannot read '" + part.set.bedPath + "': " + std::strerror(errno ? errno : EIO);
            ok = false;
            break;
        }
        if (part.chosen.size() != samples) {
            why = "the panel's files hold different samples";
            ok = false;
            break;
        }
        slot = static_cast<int32_t>(
            m.planes.addPacked(bytes.data(), part.chosen, part.chosen.size() == part.set.sampleIds.size()));
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
    std::vector<PartIndex> indices(panel.parts.size());
    std::vector<char> indexed(panel.parts.size(), 0);
    for (size_t k = 0; k < n; ++k) {
        const LociCandidates::Candidate& cand = c.candidates[k];
        const int p = partOfChromosome[cand.chromosome];
        if (p < 0)
            continue;
        const PlinkFileset& set = panel.parts[static_cast<size_t>(p)].set;
        PartIndex& index = indices[static_cast<size_t>(p)];
        if (!indexed[static_cast<size_t>(p)]) {
            indexPart(set, index);
            indexed[static_cast<size_t>(p)] = 1;
        }
        const std::string_view id = c.id(k);
        const std::string key = chromosomeKey(c.chromosomes[cand.chromosome]);
        if (!id.empty()) {
            const auto it = index.byId.find(id);
            if (it != index.byId.end()) {
                const PanelVariant& pv = set.variants[it->second];
                ++m.byId;
                if (pv.position != cand.position || chromosomeKey(pv.chromosome) != key) {
                    if (++m.byIdElsewhere <= 3)
                        m.elsewhereExamples.push_back(std::string(id) + " table " + c.chromosomes[cand.chromosome] +
                                                      ":" + std::to_string(cand.position) + " panel " +
                                                      pv.chromosome + ":" + std::to_string(pv.position));
                }
                m.part[k] = p;
                m.variant[k] = it->second;
                continue;
            }
        }
        const auto number = index.keyNumber.find(key);
        if (number == index.keyNumber.end())
            continue;
        auto [first, last] = index.byPlace.equal_range(placeKey(number->second, cand.position));
        if (first == last)
            continue;
        uint32_t chosen = UINT32_MAX;
        const std::string effect = effectField >= 0 ? upper(carriedField(c, k, effectField)) : "";
        const std::string other = otherField >= 0 ? upper(carriedField(c, k, otherField)) : "";
        for (auto it = first; it != last; ++it) {
            const PanelVariant& pv = set.variants[it->second];
            const std::string a1 = upper(pv.allele1), a2 = upper(pv.allele2);
            const bool alleles = !effect.empty() && !other.empty() &&
                                 ((a1 == effect && a2 == other) || (a1 == other && a2 == effect));
            if (alleles) {
                chosen = it->second;
                break;
            }
            chosen = std::min(chosen, it->second); // the first in the panel's order
        }
        m.part[k] = p;
        m.variant[k] = chosen;
    }
    return readGenotypes(panel, m, why);
}
